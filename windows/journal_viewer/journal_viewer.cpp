#include "windows/journal_viewer/journal_viewer.h"

#include <QAbstractListModel>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <algorithm>
#include <utility>

#include "journal/journal_lists.h"
#include "settings/pages/log_settings.h"
#include "translation/bidi_text.h"
#include "translation/right_to_left.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/common_widgets.h"

namespace orvane {

// The shown file's lines, one column in a table view of fixed row height:
// adding rows costs no layout of the rows already there, so a million
// lines arrive in time linear in their number.
class JournalLinesModel final : public QAbstractListModel {
  public:
    explicit JournalLinesModel(QObject* parent) : QAbstractListModel(parent) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(lines_.size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= lines_.size()) {
            return {};
        }
        if (role == Qt::DisplayRole) {
            return lines_.at(index.row());
        }
        return {};
    }

    void Clear() {
        beginResetModel();
        lines_.clear();
        extent_ = 0;
        endResetModel();
    }

    // Adds lines; true when the widest line got wider.
    bool Append(const QStringList& lines, const QFontMetrics& metrics) {
        if (lines.isEmpty()) {
            return false;
        }
        // A line that cannot be wider than the widest so far is not measured.
        const int widestCharacter = std::max(1, metrics.maxWidth());
        int extent = extent_;
        for (const QString& line : lines) {
            const qint64 bound = line.size() * qint64{widestCharacter} + kExtentMargin;
            if (bound > extent) {
                extent = std::max(extent, metrics.horizontalAdvance(line) + kExtentMargin);
            }
        }
        const int first = static_cast<int>(lines_.size());
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(lines.size()) - 1);
        lines_ += lines;
        endInsertRows();
        const bool wider = extent != extent_;
        extent_ = extent;
        return wider;
    }

    const QStringList& Lines() const { return lines_; }
    int Extent() const { return extent_; }

  private:
    static constexpr int kExtentMargin = 50;
    QStringList lines_;
    int extent_ = 0;
};

namespace {

constexpr JournalKind kKinds[] = {JournalKind::All, JournalKind::System, JournalKind::Calls};
constexpr int kKindTexts[] = {ids::kJournalKindAll, ids::kJournalKindSystem,
                              ids::kJournalKindCalls};

QLabel* NamedLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

}  // namespace

JournalViewer::JournalViewer(const JournalWriter& journal, const LogSettings& settings,
                             QWidget* parent)
    : QDialog(parent), journal_(journal), settings_(settings) {
    setObjectName(QStringLiteral("frmLog"));
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose, false);

    kinds_ = new QComboBox(this);
    kinds_->setObjectName(QStringLiteral("cmbWhatToShow"));
    files_ = new QListWidget(this);
    files_->setObjectName(QStringLiteral("List1"));
    model_ = new JournalLinesModel(this);
    lines_ = new QTableView(this);
    lines_->setObjectName(QStringLiteral("List2"));
    lines_->setModel(model_);
    lines_->setShowGrid(false);
    lines_->setWordWrap(false);
    lines_->setTextElideMode(Qt::ElideNone);
    lines_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lines_->setSelectionMode(QAbstractItemView::SingleSelection);
    lines_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    lines_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lines_->horizontalHeader()->hide();
    lines_->verticalHeader()->hide();
    lines_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lines_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lines_->verticalHeader()->setDefaultSectionSize(lines_->fontMetrics().height() + 2);
    // Names and lines are dates, times and English sources: they read left
    // to right in every language.
    KeepLeftToRight(files_);
    KeepLeftToRight(lines_);

    display_ = NamedLabel("lblDisplay", this);
    date_ = NamedLabel("lblCat", this);
    details_ = NamedLabel("lblDetails", this);
    saveAs_ = new QPushButton(this);
    saveAs_->setObjectName(QStringLiteral("cmdSaveAs"));
    saveAs_->setAutoDefault(false);
    delete_ = new QPushButton(this);
    delete_->setObjectName(QStringLiteral("cmdDelete"));
    delete_->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(display_);
    top->addWidget(kinds_, 1);
    top->addStretch(2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(saveAs_);
    buttons->addWidget(delete_);
    auto* grid = new QGridLayout(this);
    grid->addLayout(top, 0, 0, 1, 2);
    grid->addWidget(date_, 1, 0);
    grid->addWidget(details_, 1, 1);
    grid->addWidget(files_, 2, 0);
    grid->addWidget(lines_, 2, 1);
    grid->addLayout(buttons, 3, 0, 1, 2);
    journalsOff_ = NamedLabel("lblJournalsOff", this);
    journalsOff_->setWordWrap(true);
    journalsOff_->hide();
    grid->addWidget(journalsOff_, 4, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 4);
    grid->setRowStretch(2, 1);
    resize(760, 440);

    loadTimer_.setInterval(0);
    connect(&loadTimer_, &QTimer::timeout, this, [this] {
        if (!LoadStep()) {
            loadTimer_.stop();
        }
    });
    connect(kinds_, &QComboBox::currentIndexChanged, this, [this] { FillFiles(); });
    connect(files_, &QListWidget::currentRowChanged, this,
            [this](int row) { ShowFile(row >= 0 ? files_->item(row)->text() : QString()); });
    connect(saveAs_, &QPushButton::clicked, this, &JournalViewer::SaveSelectedAs);
    connect(delete_, &QPushButton::clicked, this, &JournalViewer::DeleteSelected);
}

JournalViewer::~JournalViewer() = default;

void JournalViewer::ApplyTexts() {
    setLayoutDirection(Qt::LeftToRight);
    setWindowTitle(Text(ids::kJournalViewerTitle));
    {
        const QSignalBlocker quiet(kinds_);
        kinds_->clear();
        for (const int id : kKindTexts) {
            kinds_->addItem(Text(id));
        }
    }
    display_->setText(Text(ids::kLabelDisplay));
    date_->setText(Text(ids::kLabelDate));
    details_->setText(Text(ids::kLabelDetails));
    saveAs_->setText(Text(ids::kSaveAs));
    delete_->setText(Text(ids::kDelete));
    ApplyRightToLeft(this);
}

void JournalViewer::Open() {
    ApplyTexts();
    RangeForLog();
    {
        const QSignalBlocker quiet(kinds_);
        kinds_->setCurrentIndex(0);
    }
    FillFiles();
    ShowJournalsOffNote();
    show();
    raise();
    activateWindow();
}

void JournalViewer::ShowJournalsOffNote() {
    // An empty list is no surprise when the journals are off: the note
    // names the boxes that are clear and the settings page that holds them.
    QStringList boxes;
    if (!settings_.SystemJournal()) {
        boxes << Text(ids::kLogSystem);
    }
    if (!settings_.CallsJournal()) {
        boxes << Text(ids::kLogCalls);
    }
    const QString text =
        ReplaceMarker(ReplaceMarker(Text(ids::kMsgJournalsOff), boxes.join(QStringLiteral(", "))),
                      Text(ids::kPageJournal));
    journalsOff_->setText(text);
    journalsOff_->setVisible(!boxes.isEmpty() && !text.isEmpty());
}

void JournalViewer::RangeForLog() {
    const int months = settings_.KeepMonths();
    if (months > 0) {
        journal_.DeleteOldLogs(months);
    }
}

void JournalViewer::FillFiles() {
    const int position = std::clamp(kinds_->currentIndex(), 0, 2);
    FillLogFileList(files_, kKinds[position], journal_);
    if (files_->count() == 0) {
        ShowFile(QString());
    }
}

void JournalViewer::StopLoading() {
    loadTimer_.stop();
    reader_.Close();
    lines_->viewport()->unsetCursor();
}

void JournalViewer::ShowFile(const QString& name) {
    StopLoading();
    model_->Clear();
    if (name.isEmpty() || !reader_.Open(journal_.folder(), name)) {
        return;
    }
    // The first piece at once; the rest from the event loop, piece by piece.
    model_->Append(reader_.ReadLines(kFirstPieceBytes), lines_->fontMetrics());
    if (reader_.IsOpen()) {
        lines_->viewport()->setCursor(Qt::BusyCursor);
        loadTimer_.start();
    }
    ApplyExtent();
}

void JournalViewer::ApplyExtent() {
    if (model_->Extent() > 0) {
        lines_->horizontalHeader()->resizeSection(0, model_->Extent());
        lines_->doItemsLayout();  // the scroll bar's range, now
    }
}

bool JournalViewer::LoadStep() {
    if (!reader_.IsOpen()) {
        return false;
    }
    if (model_->Append(reader_.ReadLines(kPieceBytes), lines_->fontMetrics())) {
        ApplyExtent();
    }
    if (reader_.IsOpen()) {
        return true;
    }
    StopLoading();
    return false;
}

void JournalViewer::DeleteSelected() {
    const QListWidgetItem* item = files_->currentItem();
    if (item == nullptr) {
        return;
    }
    const QString name = item->text();
    if (settings_.WarnBeforeDelete() &&
        ShowMessage(ReplaceMarker(Text(ids::kAskDeleteJournalFile), LeftToRightIsolate(name)),
                    true) != kAnswerYes) {
        return;
    }
    StopLoading();
    journal_.DeleteLogFile(name);
    FillFiles();
}

void JournalViewer::SaveSelectedAs() {
    const QListWidgetItem* item = files_->currentItem();
    if (item == nullptr) {
        return;
    }
    // A copy that fails says so: the user would otherwise take the old or
    // a missing file there for the journal. A name that leaves the folder
    // is not copied at all.
    const QString name = item->text();
    QString failed = name;
    if (IsPlainJournalName(name)) {
        const SaveCopyOutcome outcome = SaveCopyAs(journal_.folder() + name, this, "txt");
        failed = outcome.Failed() ? outcome.chosen : QString();
    }
    if (!failed.isEmpty()) {
        ShowMessage(ReplaceMarker(Text(ids::kMsgJournalCopyFailed), LeftToRightIsolate(failed)),
                    false);
    }
}

QStringList JournalViewer::Lines() const {
    return model_->Lines();
}

int JournalViewer::LinesExtent() const {
    return model_->Extent();
}

}  // namespace orvane
