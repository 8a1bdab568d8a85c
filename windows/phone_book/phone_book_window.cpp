#include "windows/phone_book/phone_book_window.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <utility>

#include "calls/call_state.h"
#include "translation/bidi_text.h"
#include "translation/right_to_left.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/common_widgets.h"

namespace orvane {

namespace {

PhoneBookWindow::EntryDialogHook& EntryHook() {
    static PhoneBookWindow::EntryDialogHook hook;
    return hook;
}

NameDialogHook& NameHook() {
    static NameDialogHook hook;
    return hook;
}

QString NumbersText(const PhoneBookEntry& entry, const QString& separator) {
    QStringList numbers;
    for (const VCardPhone& phone : entry.phones) {
        numbers << phone.number;
    }
    return numbers.join(separator);
}

bool Matches(const PhoneBookEntry& entry, const QString& filter, const QString& digits) {
    if (filter.isEmpty() || entry.name.contains(filter, Qt::CaseInsensitive)) {
        return true;
    }
    if (digits.isEmpty()) {
        return false;
    }
    for (const VCardPhone& phone : entry.phones) {
        if (NumberDigits(phone.number).contains(digits)) {
            return true;
        }
    }
    return false;
}

// What the line sent as a name, when it is one: the line's "O" and "P"
// arrive as these words, and a call without caller ID is "UNKNOWN".
QString LineNameOffered(const QString& lineName) {
    const QString name = lineName.trimmed();
    for (const QString& none :
         {kUnknownCaller, QStringLiteral("PRIVATE"), QStringLiteral("UNAVAILABLE"),
          QStringLiteral("O"), QStringLiteral("P")}) {
        if (name.compare(none, Qt::CaseInsensitive) == 0) {
            return QString();
        }
    }
    return name;
}

}  // namespace

PhoneBookWindow::PhoneBookWindow(PhoneBook& book, QWidget* parent) : QDialog(parent), book_(book) {
    setObjectName(QStringLiteral("frmPhoneBook"));
    setWindowTitle(Text(ids::kPhoneBookTitle));
    auto* layout = new QVBoxLayout(this);
    filterBox_ = new QLineEdit(this);
    filterBox_->setObjectName(QStringLiteral("txtFilter"));
    filterBox_->setPlaceholderText(Text(ids::kPhoneBookFilter));
    filterBox_->setClearButtonEnabled(true);
    layout->addWidget(filterBox_);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("lstContacts"));
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({Text(ids::kPhoneBookName), Text(ids::kPhoneBookNumbers)});
    list_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    layout->addWidget(list_, 1);
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("lblCount"));
    layout->addWidget(count_);

    auto* buttons = new QHBoxLayout;
    const auto button = [this, buttons](const char* name, int text,
                                        void (PhoneBookWindow::*run)()) {
        auto* b = new QPushButton(Text(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, run);
        buttons->addWidget(b);
        return b;
    };
    button("cmdAdd", ids::kPhoneBookAdd, &PhoneBookWindow::Add);
    edit_ = button("cmdEdit", ids::kPhoneBookEdit, &PhoneBookWindow::Edit);
    remove_ = button("cmdRemove", ids::kPhoneBookRemove, &PhoneBookWindow::Remove);
    button("cmdImport", ids::kPhoneBookImport, &PhoneBookWindow::ImportVCard);
    buttons->addStretch(1);
    auto* close = new QPushButton(Text(ids::kPhoneBookClose), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(filterBox_, &QLineEdit::textChanged, this, &PhoneBookWindow::SetFilter);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
        edit_->setEnabled(SelectedEntry() >= 0);
        remove_->setEnabled(SelectedEntry() >= 0);
    });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { Edit(); });
    connect(&book_, &PhoneBook::changed, this, &PhoneBookWindow::Refill);
    resize(560, 420);
    ApplyRightToLeft(this);
    Refill();
}

PhoneBookWindow::EntryDialogHook PhoneBookWindow::SetEntryDialogHook(EntryDialogHook hook) {
    return std::exchange(EntryHook(), std::move(hook));
}

void PhoneBookWindow::Open() {
    filterBox_->clear();
    Refill();
    setWindowModality(Qt::WindowModal);
    show();
    raise();
    activateWindow();
}

void PhoneBookWindow::SetFilter(const QString& text) {
    filter_ = text.trimmed();
    if (filterBox_->text() != text) {
        filterBox_->setText(text);
    }
    Refill();
}

void PhoneBookWindow::Refill() {
    const std::vector<PhoneBookEntry>& entries = book_.Entries();
    const QString digits = NumberDigits(filter_).remove(u'+');
    shown_.clear();
    list_->clear();
    QList<QTreeWidgetItem*> items;
    for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
        const PhoneBookEntry& entry = entries[static_cast<size_t>(i)];
        if (!Matches(entry, filter_, digits)) {
            continue;
        }
        shown_.push_back(i);
        // Each number reads left to right, in a right-to-left window too.
        QStringList numbers;
        for (const VCardPhone& phone : entry.phones) {
            numbers << LeftToRightIsolate(phone.number);
        }
        auto* item = new QTreeWidgetItem({entry.name, numbers.join(QStringLiteral(", "))});
        item->setData(0, Qt::UserRole, i);
        items << item;
    }
    list_->addTopLevelItems(items);
    list_->sortItems(0, Qt::AscendingOrder);
    count_->setText(
        ReplaceMarker(ReplaceMarker(Text(ids::kPhoneBookCount), QString::number(shown_.size())),
                      QString::number(entries.size())));
    edit_->setEnabled(false);
    remove_->setEnabled(false);
}

int PhoneBookWindow::SelectedEntry() const {
    const QTreeWidgetItem* item = list_->currentItem();
    return item != nullptr && item->isSelected() ? item->data(0, Qt::UserRole).toInt() : -1;
}

std::optional<PhoneBookEntry> PhoneBookWindow::AskEntry(const PhoneBookEntry& shown) {
    if (EntryHook()) {
        return EntryHook()(shown);
    }
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("frmContact"));
    dialog.setWindowTitle(Text(ids::kPhoneBookTitle));
    auto* form = new QFormLayout(&dialog);
    auto* name = new QLineEdit(shown.name, &dialog);
    auto* numbers = new QPlainTextEdit(NumbersText(shown, QStringLiteral("\n")), &dialog);
    form->addRow(Text(ids::kPhoneBookName), name);
    form->addRow(Text(ids::kPhoneBookNumbersOneALine), numbers);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    box->button(QDialogButtonBox::Ok)->setText(Text(ids::kOk));
    box->button(QDialogButtonBox::Cancel)->setText(Text(ids::kCancel));
    connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(box);
    ApplyRightToLeft(&dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    PhoneBookEntry entry{name->text(), {}, true};
    for (const QString& line : numbers->toPlainText().split(u'\n', Qt::SkipEmptyParts)) {
        // A number kept as it was keeps its types.
        QStringList types;
        for (const VCardPhone& phone : shown.phones) {
            if (phone.number == line.simplified()) {
                types = phone.types;
            }
        }
        entry.phones.push_back({line, types});
    }
    return entry;
}

void PhoneBookWindow::Add() {
    if (const std::optional<PhoneBookEntry> entry = AskEntry({})) {
        Report(book_.AddEntry(*entry));
    }
}

void PhoneBookWindow::Edit() {
    const int index = SelectedEntry();
    if (index < 0) {
        return;
    }
    if (const std::optional<PhoneBookEntry> entry =
            AskEntry(book_.Entries()[static_cast<size_t>(index)])) {
        // An entry left without a name or a number goes, as Remove would.
        const bool empty = entry->name.trimmed().isEmpty() || entry->phones.empty();
        Report(empty ? book_.RemoveEntry(index) : book_.ReplaceEntry(index, *entry));
    }
}

void PhoneBookWindow::Remove() {
    const int index = SelectedEntry();
    if (index < 0) {
        return;
    }
    const QString& name = book_.Entries()[static_cast<size_t>(index)].name;
    if (ShowMessage(ReplaceMarker(Text(ids::kAskRemoveContact), name), true) == kAnswerYes) {
        Report(book_.RemoveEntry(index));
    }
}

void PhoneBookWindow::ImportVCard() {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Open;
    request.owner = this;
    request.title = Text(ids::kPhoneBookImport);
    request.filter = Text(ids::kVCardFileFilter);
    const QString path = RunFileDialog(request);
    if (path.isEmpty()) {
        return;
    }
    const PhoneBookImport import = book_.Import(path);
    QString text = ImportReportText(import);
    if (!book_.LastError().isEmpty() && import.numbersAdded > 0) {
        text += QStringLiteral("\n\n");
        text += ReplaceMarker(Text(ids::kMsgPhoneBookNotSaved), book_.LastError());
    }
    ShowMessage(text, false);
}

void PhoneBookWindow::Report(bool saved) {
    if (!saved && !book_.LastError().isEmpty()) {
        ShowMessage(ReplaceMarker(Text(ids::kMsgPhoneBookNotSaved), book_.LastError()), false);
    }
}

NameDialogHook SetNameDialogHook(NameDialogHook hook) {
    return std::exchange(NameHook(), std::move(hook));
}

void NameThisNumber(PhoneBook& book, const QString& number, const QString& lineName,
                    QWidget* parent) {
    if (NormalizedNumber(number, book.Plan()).isEmpty()) {
        return;
    }
    const QString booked = book.NameFor(number);
    const QString offered = booked.isEmpty() ? LineNameOffered(lineName) : booked;
    const QString question = ReplaceMarker(Text(ids::kAskNameForNumber), number.trimmed());
    std::optional<QString> answer;
    if (NameHook()) {
        answer = NameHook()(question, offered);
    } else {
        bool ok = false;
        const QString text =
            QInputDialog::getText(parent, QString(Text(ids::kNameThisNumber)).remove(u'…'),
                                  question, QLineEdit::Normal, offered, &ok);
        if (ok) {
            answer = text;
        }
    }
    if (!answer) {
        return;
    }
    if (!book.SetName(number, *answer) && !book.LastError().isEmpty()) {
        ShowMessage(ReplaceMarker(Text(ids::kMsgPhoneBookNotSaved), book.LastError()), false);
    }
}

}  // namespace orvane
