#pragma once
// The screening rules as the settings pages edit them: rows of text as the
// user typed them, in the order shown, read back into ScreeningRules only
// when every row reads. A row that does not read is named, so the page can
// say so at that row and nothing unreadable is saved.

#include <QString>
#include <optional>
#include <vector>

#include "calls/screening/screening_rules.h"

namespace orvane {

struct ScreeningRow {
    CallerMatch::Kind kind = CallerMatch::Kind::kNumber;
    QString value;   // as typed; only numbers and contacts use it
    int choice = 0;  // a RecordMode (record rules) or a BlockAction (block list)
    bool operator==(const ScreeningRow&) const = default;
};

enum class RowProblem {
    kNone,
    kBadPattern,  // a number that is no pattern of digits, "+", "*" and "?"
    kNoName,      // a contact without a name
};
RowProblem ProblemOf(const ScreeningRow& row);

// Moves `row` one place up (by < 0) or down (by > 0); returns where it is
// now. Out of range or at the end already: stays.
int MoveRow(std::vector<ScreeningRow>& rows, int row, int by);

struct ScreeningForm {
    enum class List { kRecordRules, kBlockList, kAllowList };
    struct BadRow {
        List list = List::kRecordRules;
        int row = -1;
        RowProblem problem = RowProblem::kNone;
    };

    std::vector<ScreeningRow> recordRules;
    std::vector<ScreeningRow> blockList;
    std::vector<ScreeningRow> allowList;
    RecordMode everyoneElse = RecordMode::kAlways;
    bool allowListMode = false;

    static ScreeningForm Of(const ScreeningRules& rules);
    // The rules the rows say; nullopt, and the first row that does not
    // read in `bad`, when one does not.
    std::optional<ScreeningRules> Rules(BadRow* bad = nullptr) const;
};

}  // namespace orvane
