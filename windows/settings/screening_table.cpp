#include "windows/settings/screening_table.h"

#include <QComboBox>
#include <QCompleter>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <utility>

#include "calls/screening/screening_rules.h"
#include "translation/bidi_text.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

enum Column { kWho = 0, kValue = 1, kChoice = 2 };
const int kKindTexts[] = {ids::kScreenWhoNumber, ids::kScreenWhoContact, ids::kScreenWhoWithheld,
                          ids::kScreenWhoUnknown};

bool Valued(CallerMatch::Kind kind) {
    return kind == CallerMatch::Kind::kNumber || kind == CallerMatch::Kind::kContact;
}

// Numbers keep their order in a right-to-left window ("+44 20 7946" is not
// turned around its blanks), on the row's side; names read in their own
// direction. A contact's name is offered from the phone book as it is
// typed: a rule matches only the name the book has.
class ValueDelegate final : public QStyledItemDelegate {
  public:
    ValueDelegate(std::function<QStringList(int row)> names, QObject* parent)
        : QStyledItemDelegate(parent), names_(std::move(names)) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        auto* line = qobject_cast<QLineEdit*>(editor);
        const QStringList names = names_(index.row());
        if (line != nullptr && !names.isEmpty()) {
            auto* completer = new QCompleter(names, line);
            completer->setCaseSensitivity(Qt::CaseInsensitive);
            completer->setFilterMode(Qt::MatchContains);
            line->setCompleter(completer);
        }
        return editor;
    }

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->direction == Qt::RightToLeft && !HasRightToLeftLetters(option->text)) {
            option->direction = Qt::LeftToRight;
            option->displayAlignment = Qt::AlignVCenter | Qt::AlignAbsolute | Qt::AlignRight;
        }
    }

  private:
    std::function<QStringList(int row)> names_;
};

}  // namespace

QString TextWithValue(int id, const QString& value) {
    const QString text = Text(id);
    return RightToLeftRun(
        ReplaceMarker(text, HasRightToLeftLetters(text) ? LeftToRightIsolate(value) : value));
}

namespace {}  // namespace

ScreeningTable::ScreeningTable(const QString& name, bool ordered, QWidget* parent)
    : QWidget(parent) {
    table_ = new QTableWidget(0, 2, this);
    table_->setObjectName(name);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->setWordWrap(false);
    table_->setItemDelegateForColumn(
        kValue, new ValueDelegate(
                    [this](int row) {
                        const auto* kind = qobject_cast<QComboBox*>(table_->cellWidget(row, kWho));
                        return kind != nullptr && kind->currentIndex() ==
                                                      static_cast<int>(CallerMatch::Kind::kContact)
                                   ? contactNames_
                                   : QStringList();
                    },
                    table_));
    // Wide enough for the boxes and a number beside them.
    table_->setMinimumWidth(460);
    add_ = new QPushButton(this);
    remove_ = new QPushButton(this);
    up_ = new QPushButton(this);
    down_ = new QPushButton(this);
    up_->setVisible(ordered);
    down_->setVisible(ordered);
    problem_ = new QLabel(this);
    problem_->setObjectName(name + QStringLiteral("Problem"));
    problem_->setWordWrap(true);
    QPalette palette = problem_->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    problem_->setPalette(palette);
    problem_->hide();

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {add_, remove_, up_, down_}) {
        buttons->addWidget(button);
    }
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table_, 1);
    layout->addWidget(problem_);
    layout->addLayout(buttons);

    connect(add_, &QPushButton::clicked, this, &ScreeningTable::AddRow);
    connect(remove_, &QPushButton::clicked, this, &ScreeningTable::RemoveRow);
    connect(up_, &QPushButton::clicked, this, [this] { MoveRow(-1); });
    connect(down_, &QPushButton::clicked, this, [this] { MoveRow(1); });
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == kValue) {
            CheckRow(item->row());
        }
    });
}

void ScreeningTable::ApplyTexts(const QString& choiceHeader, const QStringList& choices) {
    const std::vector<ScreeningRow> rows = Rows();
    choices_ = choices;
    table_->setColumnCount(choices_.isEmpty() ? 2 : 3);
    QStringList headers = {Text(ids::kColumnWho), Text(ids::kColumnNumberOrName)};
    if (!choices_.isEmpty()) {
        headers.append(choiceHeader);
    }
    table_->setHorizontalHeaderLabels(headers);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(kWho, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(kValue, QHeaderView::Stretch);
    if (!choices_.isEmpty()) {
        header->setSectionResizeMode(kChoice, QHeaderView::ResizeToContents);
    }
    add_->setText(Text(ids::kScreenAdd));
    remove_->setText(Text(ids::kScreenRemove));
    up_->setText(Text(ids::kScreenUp));
    down_->setText(Text(ids::kScreenDown));
    SetRows(rows);
}

void ScreeningTable::SetRows(const std::vector<ScreeningRow>& rows) {
    const QSignalBlocker block(table_);
    table_->setRowCount(0);
    table_->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        FillRow(i, rows[static_cast<size_t>(i)]);
    }
    problem_->hide();
    problem_->clear();
}

void ScreeningTable::FillRow(int row, const ScreeningRow& value) {
    auto* kind = new QComboBox(table_);
    for (int text : kKindTexts) {
        kind->addItem(Text(text));
    }
    kind->setCurrentIndex(static_cast<int>(value.kind));
    table_->setCellWidget(row, kWho, kind);
    table_->setItem(row, kValue, new QTableWidgetItem(value.value));
    if (!choices_.isEmpty()) {
        auto* choice = new QComboBox(table_);
        choice->addItems(choices_);
        choice->setCurrentIndex(value.choice >= 0 && value.choice < choices_.size() ? value.choice
                                                                                    : 0);
        table_->setCellWidget(row, kChoice, choice);
    }
    FollowKind(row);
    connect(kind, &QComboBox::currentIndexChanged, this, [this, kind] {
        // The row of the box now, after rows were moved or removed.
        for (int i = 0; i < table_->rowCount(); ++i) {
            if (table_->cellWidget(i, kWho) == kind) {
                FollowKind(i);
                CheckRow(i);
            }
        }
    });
}

void ScreeningTable::FollowKind(int row) {
    auto* kind = qobject_cast<QComboBox*>(table_->cellWidget(row, kWho));
    QTableWidgetItem* item = table_->item(row, kValue);
    if (kind == nullptr || item == nullptr) {
        return;
    }
    const QSignalBlocker block(table_);
    // Withheld and unknown numbers have no value to type.
    const bool valued = Valued(static_cast<CallerMatch::Kind>(kind->currentIndex()));
    item->setFlags(valued ? item->flags() | Qt::ItemIsEditable | Qt::ItemIsEnabled
                          : item->flags() & ~(Qt::ItemIsEditable | Qt::ItemIsEnabled));
}

std::vector<ScreeningRow> ScreeningTable::Rows() const {
    std::vector<ScreeningRow> rows;
    for (int i = 0; i < table_->rowCount(); ++i) {
        ScreeningRow row;
        if (auto* kind = qobject_cast<QComboBox*>(table_->cellWidget(i, kWho))) {
            row.kind = static_cast<CallerMatch::Kind>(kind->currentIndex());
        }
        if (const QTableWidgetItem* item = table_->item(i, kValue)) {
            row.value = item->text();
        }
        if (auto* choice = qobject_cast<QComboBox*>(table_->cellWidget(i, kChoice))) {
            row.choice = choice->currentIndex();
        }
        rows.push_back(row);
    }
    return rows;
}

void ScreeningTable::AddRow() {
    std::vector<ScreeningRow> rows = Rows();
    rows.push_back(ScreeningRow{});
    SetRows(rows);
    const int row = static_cast<int>(rows.size()) - 1;
    SelectRow(row);
    table_->editItem(table_->item(row, kValue));
}

void ScreeningTable::RemoveRow() {
    const int row = CurrentRow();
    std::vector<ScreeningRow> rows = Rows();
    if (row < 0 || row >= static_cast<int>(rows.size())) {
        return;
    }
    rows.erase(rows.begin() + row);
    SetRows(rows);
    SelectRow(std::min(row, static_cast<int>(rows.size()) - 1));
}

void ScreeningTable::MoveRow(int by) {
    std::vector<ScreeningRow> rows = Rows();
    const int now = orvane::MoveRow(rows, CurrentRow(), by);
    SetRows(rows);
    SelectRow(now);
}

int ScreeningTable::CurrentRow() const {
    return table_->currentRow();
}

void ScreeningTable::SelectRow(int row) {
    if (row >= 0 && row < table_->rowCount()) {
        table_->setCurrentCell(row, kValue);
    }
}

void ScreeningTable::CheckRow(int row) {
    const std::vector<ScreeningRow> rows = Rows();
    if (row < 0 || row >= static_cast<int>(rows.size())) {
        return;
    }
    const ScreeningRow& value = rows[static_cast<size_t>(row)];
    QString message;
    switch (ProblemOf(value)) {
        case RowProblem::kBadPattern:
            message = TextWithValue(ids::kBadNumberPattern, value.value.trimmed());
            break;
        case RowProblem::kNoName:
            message = Text(ids::kNoContactName);
            break;
        case RowProblem::kNone:
            break;
    }
    const QSignalBlocker block(table_);
    if (QTableWidgetItem* item = table_->item(row, kValue)) {
        item->setForeground(message.isEmpty() ? table_->palette().text() : QBrush(Qt::red));
        item->setToolTip(message);
    }
    // The label speaks of the row marked last; a mended row clears it.
    problem_->setText(message);
    problem_->setVisible(!message.isEmpty());
    if (!message.isEmpty()) {
        SelectRow(row);
    }
}

void ScreeningTable::SetContactNames(const QStringList& names) {
    contactNames_ = names;
}

QString ScreeningTable::Problem() const {
    return problem_->text();
}

}  // namespace orvane
