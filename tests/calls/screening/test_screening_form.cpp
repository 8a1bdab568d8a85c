#include <gtest/gtest.h>

#include "calls/screening/screening_form.h"

namespace orvane {
namespace {

using Kind = CallerMatch::Kind;
using List = ScreeningForm::List;

TEST(ScreeningForm, RulesComeBackAsTheyWereShown) {
    ScreeningRules rules;
    rules.everyoneElse = RecordMode::kNever;
    rules.allowListMode = true;
    rules.recordRules = {{{Kind::kNumber, QStringLiteral("030 1234*")}, RecordMode::kAsk},
                         {{Kind::kContact, QStringLiteral("Anna")}, RecordMode::kNever},
                         {{Kind::kWithheld, {}}, RecordMode::kAlways}};
    rules.blockList = {{{Kind::kNumber, QStringLiteral("0900?")}, BlockAction::kMessage},
                       {{Kind::kUnknown, {}}, BlockAction::kHangUp}};
    rules.allowList = {{Kind::kNumber, QStringLiteral("+4930")}};
    const ScreeningForm form = ScreeningForm::Of(rules);
    EXPECT_EQ(form.recordRules.size(), 3u);
    EXPECT_EQ(form.Rules(), rules);

    // What a row of another kind still holds from typing is not kept.
    ScreeningForm edited = form;
    edited.blockList[1].value = QStringLiteral("left over");
    edited.recordRules[1].value = QStringLiteral("  Anna ");
    EXPECT_EQ(edited.Rules(), rules);
}

TEST(ScreeningForm, ARowThatDoesNotReadIsNamedAndNothingIsTaken) {
    const struct {
        List list;
        ScreeningRow row;
        RowProblem problem;
    } cases[] = {
        {List::kRecordRules, {Kind::kNumber, QStringLiteral("0301-23 45*"), 0}, RowProblem::kNone},
        {List::kRecordRules, {Kind::kNumber, QStringLiteral("../etc"), 0}, RowProblem::kBadPattern},
        {List::kBlockList, {Kind::kNumber, QStringLiteral("  "), 1}, RowProblem::kBadPattern},
        {List::kBlockList,
         {Kind::kNumber, QStringLiteral("0800 CALL"), 1},
         RowProblem::kBadPattern},
        {List::kAllowList, {Kind::kNumber, QStringLiteral("12#3"), 0}, RowProblem::kBadPattern},
        {List::kAllowList, {Kind::kContact, QStringLiteral(" "), 0}, RowProblem::kNoName},
        {List::kBlockList, {Kind::kWithheld, QStringLiteral("anything"), 0}, RowProblem::kNone},
    };
    for (const auto& c : cases) {
        ScreeningForm form;
        // A good row first: the bad one is named by its place.
        const ScreeningRow good{Kind::kUnknown, {}, 0};
        std::vector<ScreeningRow>& rows = c.list == List::kRecordRules ? form.recordRules
                                          : c.list == List::kBlockList ? form.blockList
                                                                       : form.allowList;
        rows = {good, c.row};
        ScreeningForm::BadRow bad;
        const auto rules = form.Rules(&bad);
        EXPECT_EQ(rules.has_value(), c.problem == RowProblem::kNone) << c.row.value.toStdString();
        if (c.problem != RowProblem::kNone) {
            EXPECT_EQ(bad.list, c.list) << c.row.value.toStdString();
            EXPECT_EQ(bad.row, 1) << c.row.value.toStdString();
            EXPECT_EQ(bad.problem, c.problem) << c.row.value.toStdString();
        }
    }
}

TEST(ScreeningForm, MovingARowChangesWhichRuleMatchesFirst) {
    const ScreeningRow a{Kind::kNumber, QStringLiteral("1"), 0};
    const ScreeningRow b{Kind::kNumber, QStringLiteral("2"), 1};
    const ScreeningRow c{Kind::kNumber, QStringLiteral("3"), 2};
    const struct {
        int row;
        int by;
        int now;
        std::vector<ScreeningRow> order;
    } cases[] = {
        {1, -1, 0, {b, a, c}}, {1, 1, 2, {a, c, b}},  {0, -1, 0, {a, b, c}},
        {2, 1, 2, {a, b, c}},  {5, -1, 5, {a, b, c}}, {-1, 1, -1, {a, b, c}},
    };
    for (const auto& t : cases) {
        std::vector<ScreeningRow> rows = {a, b, c};
        EXPECT_EQ(MoveRow(rows, t.row, t.by), t.now) << t.row << " " << t.by;
        EXPECT_EQ(rows, t.order) << t.row << " " << t.by;
    }
}

}  // namespace
}  // namespace orvane
