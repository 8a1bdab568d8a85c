#include "windows/translation_editor/translation_editor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/paths.h"
#include "translation/bidi_text.h"
#include "translation/language_file.h"
#include "translation/right_to_left.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

// The entries of the list texts, in their order in the language files.
enum Caption {
    kTitle,
    kFileTitle,
    kSourceLabel,
    kTargetLabel,
    kLoad,
    kNew,
    kEditValue,
    kRtl,
    kName
};
enum Message { kNameTaken, kBasic, kBadName, kBroken, kNotSaved };

QString ListEntry(int id, int index) {
    return Text(id).split(QLatin1Char('\n')).value(index);
}
QString CaptionText(Caption caption) {
    return ListEntry(ids::kTranslatorCaptions, caption);
}
void Show(Message message, const QString& name = QString()) {
    ShowMessage(ReplaceMarker(ListEntry(ids::kTranslatorMessages, message), name), false);
}

void ShowShipped(const QString& name) {
    ShowMessage(ReplaceMarker(Text(ids::kMsgShippedTranslation), LeftToRightIsolate(name)), false);
}

const int kColumnWidths[] = {70, 120, 200};
constexpr int kColumns = 4;
const QString kCategoryMark = QStringLiteral("''");

QPushButton* Button(const char* name, QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

QDialogButtonBox* OkCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(Text(ids::kOk));
    buttons->button(QDialogButtonBox::Cancel)->setText(Text(ids::kCancel));
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

// Up to kLanguageFileLines lines of a file; what cannot be read stays empty.
QStringList ReadLines(const QString& path) {
    QStringList lines;
    LanguageFileReader reader;
    if (reader.Open(path) == file_error::kNone) {
        QString line;
        while (lines.size() < kLanguageFileLines && reader.ReadLine(line) == file_error::kNone) {
            lines << line;
        }
    }
    while (lines.size() < kLanguageFileLines) {
        lines << QString();
    }
    return lines;
}

}  // namespace

TranslationValueDialog::TranslationValueDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmTrans"));
    setWindowModality(Qt::ApplicationModal);
    code_ = new QLabel(this);
    code_->setObjectName(QStringLiteral("lblCode"));
    category_ = new QLabel(this);
    category_->setObjectName(QStringLiteral("lblCat"));
    source_ = new QPlainTextEdit(this);
    source_->setObjectName(QStringLiteral("txtSrc"));
    source_->setReadOnly(true);
    target_ = new QPlainTextEdit(this);
    target_->setObjectName(QStringLiteral("txtTrn"));
    auto* buttons = OkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* top = new QHBoxLayout;
    top->addWidget(code_);
    top->addWidget(category_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(source_);
    layout->addWidget(target_);
    layout->addWidget(buttons);
    resize(460, 300);
}

void TranslationValueDialog::Fill(int id, const QString& category, const QString& source,
                                  const QString& target, bool targetRightToLeft) {
    id_ = id;
    setWindowTitle(CaptionText(kEditValue));
    code_->setText(QString::number(id));
    category_->setText(category);
    source_->setPlainText(source);
    // The value is written in the target's language, so it reads its way.
    target_->setLayoutDirection(targetRightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    target_->setPlainText(target);
}

TranslationFileDialog::TranslationFileDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmTransFile"));
    setWindowModality(Qt::ApplicationModal);
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("txtTransFileName"));
    rightToLeft_ = new QCheckBox(this);
    rightToLeft_->setObjectName(QStringLiteral("chkRTL"));
    auto* form = new QFormLayout;
    form->addRow(CaptionText(kName), name_);
    form->addRow(QString(), rightToLeft_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancel(this));
    setMinimumWidth(320);
}

void TranslationFileDialog::Fill(const QString& oldName, bool rightToLeft) {
    oldName_ = oldName;
    setWindowTitle(CaptionText(kFileTitle));
    rightToLeft_->setText(CaptionText(kRtl));
    IsolateRightToLeftTexts(this);
    name_->setText(oldName);
    rightToLeft_->setChecked(rightToLeft);
}

TranslationEditor::TranslationEditor(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmTranser"));
    setWindowModality(Qt::ApplicationModal);
    setSizeGripEnabled(true);

    source_ = new QComboBox(this);
    source_->setObjectName(QStringLiteral("cmbSource"));
    target_ = new QComboBox(this);
    target_->setObjectName(QStringLiteral("cmbTrans"));
    for (QComboBox* box : {source_, target_}) {
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setMinimumContentsLength(14);
        // Picking an entry or pressing Enter loads; each keystroke does not.
        connect(box, &QComboBox::textActivated, this, [this] { FillTable(1); });
    }
    sourceLabel_ = new QLabel(this);
    targetLabel_ = new QLabel(this);
    load_ = Button("cmdLoad", this);
    new_ = Button("cmdNew", this);
    edit_ = Button("cmdEdit", this);
    delete_ = Button("cmdDelete", this);
    editValue_ = Button("cmdEditValue", this);
    connect(load_, &QPushButton::clicked, this, [this] { FillTable(1); });
    connect(new_, &QPushButton::clicked, this, &TranslationEditor::NewTranslation);
    connect(edit_, &QPushButton::clicked, this, &TranslationEditor::EditTranslation);
    connect(delete_, &QPushButton::clicked, this, &TranslationEditor::DeleteTranslation);
    connect(editValue_, &QPushButton::clicked, this, [this] {
        if (valueDialog_->Id() > 0) {
            valueDialog_->show();
        }
    });

    grid_ = new QTableWidget(0, kColumns, this);
    grid_->setObjectName(QStringLiteral("vbalGrid1"));
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setStretchLastSection(true);
    for (int column = 0; column < kColumns - 1; ++column) {
        grid_->setColumnWidth(column, kColumnWidths[column]);
    }
    connect(grid_, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { EditRow(row + 1); });

    valueDialog_ = new TranslationValueDialog(this);
    connect(valueDialog_, &QDialog::accepted, this, &TranslationEditor::SaveValue);
    fileDialog_ = new TranslationFileDialog(this);
    connect(fileDialog_->findChild<QDialogButtonBox*>(), &QDialogButtonBox::accepted, this,
            &TranslationEditor::FileDialogAccepted);

    auto* files = new QHBoxLayout;
    files->addWidget(sourceLabel_);
    files->addWidget(source_, 1);
    files->addWidget(targetLabel_);
    files->addWidget(target_, 1);
    files->addWidget(load_);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {new_, edit_, delete_}) {
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    buttons->addWidget(editValue_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(files);
    layout->addWidget(grid_, 1);
    layout->addLayout(buttons);
    resize(760, 520);
}

void TranslationEditor::ApplyTexts() {
    setWindowTitle(CaptionText(kTitle));
    sourceLabel_->setText(CaptionText(kSourceLabel));
    targetLabel_->setText(CaptionText(kTargetLabel));
    load_->setText(CaptionText(kLoad));
    new_->setText(CaptionText(kNew));
    edit_->setText(Text(ids::kMenuEdit));
    delete_->setText(Text(ids::kDelete));
    editValue_->setText(CaptionText(kEditValue));
    grid_->setHorizontalHeaderLabels(Text(ids::kTranslatorColumns).split(QLatin1Char('\n')));
    // Left-to-right in every language: Hebrew captions need their isolates.
    IsolateRightToLeftTexts(this);
}

void TranslationEditor::Open(const QString& selected) {
    ApplyTexts();
    SetCombos(selected, QString());
    show();
    raise();
    activateWindow();
}

void TranslationEditor::SetCombos(const QString& source, const QString& target) {
    const QStringList names = ListTranslations();
    for (QComboBox* box : {source_, target_}) {
        const QString text = box->currentText();
        box->clear();
        box->addItems(names);
        box->setEditText(text);
    }
    if (!source.isEmpty()) {
        source_->setEditText(source);
    }
    if (!target.isEmpty()) {
        target_->setEditText(target);
    }
    FillTable(1);
}

void TranslationEditor::FillTable(int row) {
    const QStringList source = ReadLines(LanguageFilePath(source_->currentText()));
    const QString targetName = target_->currentText();
    const QString targetPath = LanguageFilePath(targetName);
    document_.Load(targetPath);
    // A target that exists but is not a whole language file is shown as far
    // as it reads and never written; saying so once per load.
    if (document_.IsBroken() && targetPath != paths::ShippedTransFolder() &&
        QFileInfo::exists(targetPath) && documentName_ != targetName) {
        Show(kBroken, targetName);
    }
    documentName_ = targetName;
    const QStringList target = ReadLines(targetPath);

    grid_->setUpdatesEnabled(false);
    grid_->setRowCount(0);
    QString category;
    for (int n = kDirectionLine + 1; n <= kLanguageFileLines; ++n) {
        const QString& text = source[n - 1];
        if (text.isEmpty() || text == kRightToLeftMark || text == kLeftToRightMark) {
            continue;
        }
        const int at = grid_->rowCount();
        grid_->insertRow(at);
        if (text.startsWith(kCategoryMark)) {
            category = text;
            continue;
        }
        const QString cells[kColumns] = {QString::number(n), category, text, target[n - 1]};
        for (int column = 0; column < kColumns; ++column) {
            grid_->setItem(at, column, new QTableWidgetItem(cells[column]));
        }
    }
    if (row >= 1 && row <= grid_->rowCount()) {
        grid_->selectRow(row - 1);
    }
    grid_->setUpdatesEnabled(true);
}

void TranslationEditor::EditRow(int row) {
    const QTableWidgetItem* code = grid_->item(row - 1, 0);
    if (code == nullptr || code->text().isEmpty()) {
        return;
    }
    editedRow_ = row;
    valueDialog_->Fill(code->text().toInt(), grid_->item(row - 1, 1)->text(),
                       grid_->item(row - 1, 2)->text(), grid_->item(row - 1, 3)->text(),
                       IsRightToLeftTranslation(target_->currentText()));
    valueDialog_->show();
}

void TranslationEditor::SaveValue() {
    const QString name = target_->currentText();
    if (document_.IsBroken() || documentName_ != name) {
        Show(kBroken, name);
        return;
    }
    document_.SetLine(valueDialog_->Id(), valueDialog_->TargetBox()->toPlainText());
    // A shipped translation is edited as the user's own copy of it.
    if (!SaveUserTranslation(document_, name)) {
        Show(kNotSaved, name);
    }
    FillTable(editedRow_);
}

void TranslationEditor::NewTranslation() {
    fileDialog_->Fill(QString(), false);
    fileDialog_->show();
}

void TranslationEditor::EditTranslation() {
    const QString name = target_->currentText();
    if (!IsUserTranslation(name)) {
        ShowShipped(name);
        return;
    }
    fileDialog_->Fill(name, IsRightToLeftTranslation(name));
    fileDialog_->show();
}

void TranslationEditor::DeleteTranslation() {
    const QString name = target_->currentText();
    // A shipped translation is refused without a question.
    if (IsUserTranslation(name) &&
        ShowMessage(ReplaceMarker(Text(ids::kAskDeleteTranslation), LeftToRightIsolate(name)),
                    true) != kAnswerYes) {
        return;
    }
    const FileChange change = orvane::DeleteTranslation(name);
    if (change != FileChange::kDone) {
        ShowFileChange(change, name);
        return;
    }
    target_->setEditText(QString());
    SetCombos(source_->currentText(), QString());
}

void TranslationEditor::FileDialogAccepted() {
    const QString name = fileDialog_->NameBox()->text();
    const bool rightToLeft = fileDialog_->RightToLeftBox()->isChecked();
    const QString oldName = fileDialog_->OldName();
    const FileChange change = oldName.isEmpty() ? CreateTranslation(name, rightToLeft)
                                                : RenameTranslation(oldName, name, rightToLeft);
    if (change != FileChange::kDone) {
        ShowFileChange(change, name);
        return;  // the dialog stays open for another name
    }
    documentName_.clear();
    SetCombos(QString(), name);
    fileDialog_->accept();
}

void TranslationEditor::ShowFileChange(FileChange change, const QString& name) {
    switch (change) {
        case FileChange::kDone:
            break;
        case FileChange::kInvalidName:
            Show(kBadName, name);
            break;
        case FileChange::kNameTaken:
            Show(kNameTaken, name);
            break;
        case FileChange::kShipped:
            ShowShipped(name);
            break;
        case FileChange::kBroken:
            Show(kBroken, name);
            break;
        case FileChange::kFailed:
            Show(kNotSaved, name);
            break;
    }
}

}  // namespace orvane
