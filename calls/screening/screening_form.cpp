#include "calls/screening/screening_form.h"

#include <utility>

namespace orvane {
namespace {

ScreeningRow RowOf(const CallerMatch& match, int choice) {
    return {match.kind, match.value, choice};
}

bool Valued(CallerMatch::Kind kind) {
    return kind == CallerMatch::Kind::kNumber || kind == CallerMatch::Kind::kContact;
}

CallerMatch MatchOf(const ScreeningRow& row) {
    return {row.kind, Valued(row.kind) ? row.value.trimmed() : QString()};
}

// A choice out of range (never from the page's lists) reads as the first.
template <typename Enum>
Enum ChoiceOf(int choice, int count) {
    return static_cast<Enum>(choice >= 0 && choice < count ? choice : 0);
}

}  // namespace

RowProblem ProblemOf(const ScreeningRow& row) {
    const QString value = row.value.trimmed();
    switch (row.kind) {
        case CallerMatch::Kind::kNumber:
            return CleanNumberPattern(value) ? RowProblem::kNone : RowProblem::kBadPattern;
        case CallerMatch::Kind::kContact:
            return value.isEmpty() ? RowProblem::kNoName : RowProblem::kNone;
        case CallerMatch::Kind::kWithheld:
        case CallerMatch::Kind::kUnknown:
            return RowProblem::kNone;
    }
    return RowProblem::kNone;
}

int MoveRow(std::vector<ScreeningRow>& rows, int row, int by) {
    const int count = static_cast<int>(rows.size());
    if (row < 0 || row >= count || by == 0) {
        return row;
    }
    const int to = row + (by < 0 ? -1 : 1);
    if (to < 0 || to >= count) {
        return row;
    }
    std::swap(rows[static_cast<size_t>(row)], rows[static_cast<size_t>(to)]);
    return to;
}

ScreeningForm ScreeningForm::Of(const ScreeningRules& rules) {
    ScreeningForm form;
    for (const RecordRule& rule : rules.recordRules) {
        form.recordRules.push_back(RowOf(rule.match, static_cast<int>(rule.choice)));
    }
    for (const BlockEntry& entry : rules.blockList) {
        form.blockList.push_back(RowOf(entry.match, static_cast<int>(entry.action)));
    }
    for (const CallerMatch& allowed : rules.allowList) {
        form.allowList.push_back(RowOf(allowed, 0));
    }
    form.everyoneElse = rules.everyoneElse;
    form.allowListMode = rules.allowListMode;
    return form;
}

std::optional<ScreeningRules> ScreeningForm::Rules(BadRow* bad) const {
    const std::pair<List, const std::vector<ScreeningRow>*> lists[] = {
        {List::kRecordRules, &recordRules},
        {List::kBlockList, &blockList},
        {List::kAllowList, &allowList}};
    for (const auto& [list, rows] : lists) {
        for (size_t i = 0; i < rows->size(); ++i) {
            const RowProblem problem = ProblemOf((*rows)[i]);
            if (problem != RowProblem::kNone) {
                if (bad != nullptr) {
                    *bad = {list, static_cast<int>(i), problem};
                }
                return std::nullopt;
            }
        }
    }
    ScreeningRules rules;
    for (const ScreeningRow& row : recordRules) {
        rules.recordRules.push_back({MatchOf(row), ChoiceOf<RecordMode>(row.choice, 3)});
    }
    for (const ScreeningRow& row : blockList) {
        rules.blockList.push_back({MatchOf(row), ChoiceOf<BlockAction>(row.choice, 2)});
    }
    for (const ScreeningRow& row : allowList) {
        rules.allowList.push_back(MatchOf(row));
    }
    rules.everyoneElse = everyoneElse;
    rules.allowListMode = allowListMode;
    return rules;
}

}  // namespace orvane
