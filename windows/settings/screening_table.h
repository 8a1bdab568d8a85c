#pragma once
// One list of the screening pages as a table: whom each row is for (a
// number pattern, a contact, withheld or unknown numbers), the number or
// name, and, where the list has one, its choice. Buttons beside it add,
// remove and (in lists where the first match wins) move rows. A number
// that is no pattern is marked at its row as soon as it is typed.

#include <QStringList>
#include <QWidget>
#include <vector>

#include "calls/screening/screening_form.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace orvane {

// The text of `id` with `value` (a number, a path) for its marker, the
// value in its own order inside a right-to-left sentence.
QString TextWithValue(int id, const QString& value);

class ScreeningTable final : public QWidget {
  public:
    // `name` names the table for tests ("tblRecordRules"); `ordered`
    // shows the Up and Down buttons.
    ScreeningTable(const QString& name, bool ordered, QWidget* parent = nullptr);

    // The header of the choice column and the choices, in their enum's
    // order; no choices: the table has no such column.
    void ApplyTexts(const QString& choiceHeader, const QStringList& choices);

    void SetRows(const std::vector<ScreeningRow>& rows);
    // The phone book's names, offered while a contact's name is typed.
    void SetContactNames(const QStringList& names);
    std::vector<ScreeningRow> Rows() const;

    // The rows' buttons, for the page and for tests.
    void AddRow();
    void RemoveRow();
    void MoveRow(int by);
    int CurrentRow() const;
    void SelectRow(int row);
    // Says at `row` why it does not read, and selects it; nothing when it does.
    void CheckRow(int row);
    // The message shown for the marked row; empty when none is.
    QString Problem() const;

  private:
    void FillRow(int row, const ScreeningRow& value);
    void FollowKind(int row);

    QTableWidget* table_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    QLabel* problem_ = nullptr;
    QStringList choices_;
    QStringList contactNames_;
};

}  // namespace orvane
