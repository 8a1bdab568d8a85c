#include "calls/screening/screening_rules.h"

#include <array>

namespace orvane {
namespace {

bool IsWildcard(QChar c) {
    return c == QLatin1Char('*') || c == QLatin1Char('?');
}

// "*" any run of characters, "?" exactly one; everything else itself.
bool Glob(QStringView pattern, QStringView text) {
    qsizetype p = 0;
    qsizetype t = 0;
    qsizetype star = -1;
    qsizetype resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == QLatin1Char('?') || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            star = p++;
            resume = t;
        } else if (star >= 0) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
        ++p;
    }
    return p == pattern.size();
}

// The pattern in the plan's form: what comes before the first wildcard is
// a number written as the user writes numbers; the rest stays as it is.
QString PlannedPattern(const QString& pattern, const NumberPlan& plan) {
    qsizetype cut = 0;
    while (cut < pattern.size() && !IsWildcard(pattern[cut])) {
        ++cut;
    }
    const QStringView head = QStringView(pattern).left(cut);
    if (NumberDigits(head).remove(QLatin1Char('+')).isEmpty()) {
        return pattern;
    }
    return NormalizedNumber(head, plan) + pattern.mid(cut);
}

bool NumberMatches(const QString& pattern, const QString& number, const NumberPlan& plan) {
    const std::optional<QString> clean = CleanNumberPattern(pattern);
    if (!clean) {
        return false;
    }
    // As the plan writes both, or digit for digit as written: a prefix the
    // plan cannot place (a short one in a fixed-length plan) still matches.
    return Glob(PlannedPattern(*clean, plan), NormalizedNumber(number, plan)) ||
           Glob(*clean, NumberDigits(number));
}

}  // namespace

CallerIdState CallerIdStateOf(QStringView number) {
    const QString word = number.trimmed().toString().toUpper();
    static const std::array<QLatin1StringView, 6> kWithheld = {
        QLatin1StringView("PRIVATE"),   QLatin1StringView("P"),
        QLatin1StringView("WITHHELD"),  QLatin1StringView("RESTRICTED"),
        QLatin1StringView("ANONYMOUS"), QLatin1StringView("A")};
    static const std::array<QLatin1StringView, 4> kUnavailable = {
        QLatin1StringView("UNAVAILABLE"), QLatin1StringView("O"), QLatin1StringView("OUT OF AREA"),
        QLatin1StringView("OUT-OF-AREA")};
    for (const QLatin1StringView w : kWithheld) {
        if (word == w) {
            return CallerIdState::kWithheld;
        }
    }
    for (const QLatin1StringView w : kUnavailable) {
        if (word == w) {
            return CallerIdState::kUnavailable;
        }
    }
    return NumberDigits(number).remove(QLatin1Char('+')).isEmpty() ? CallerIdState::kMissing
                                                                   : CallerIdState::kPresent;
}

std::optional<QString> CleanNumberPattern(QStringView typed) {
    QString clean;
    for (const QChar c : typed) {
        if (c.isDigit() && c.unicode() < 128) {
            clean += c;
        } else if (c == QLatin1Char('+') || IsWildcard(c)) {
            clean += c;
        } else if (!(c.isSpace() || c == QLatin1Char('-') || c == QLatin1Char('.') ||
                     c == QLatin1Char('/') || c == QLatin1Char('(') || c == QLatin1Char(')'))) {
            return std::nullopt;
        }
    }
    // "+" only at the start; something must be left to match.
    if (clean.isEmpty() || clean.lastIndexOf(QLatin1Char('+')) > 0 || clean == QLatin1String("+")) {
        return std::nullopt;
    }
    return clean;
}

bool Matches(const CallerMatch& match, const ScreenedCaller& caller, const NumberPlan& plan) {
    switch (match.kind) {
        case CallerMatch::Kind::kWithheld:
            return caller.state == CallerIdState::kWithheld;
        case CallerMatch::Kind::kUnknown:
            return caller.state == CallerIdState::kUnavailable ||
                   caller.state == CallerIdState::kMissing;
        case CallerMatch::Kind::kContact:
            return caller.state == CallerIdState::kPresent && !caller.contact.isEmpty() &&
                   caller.contact == match.value;
        case CallerMatch::Kind::kNumber:
            return caller.state == CallerIdState::kPresent &&
                   NumberMatches(match.value, caller.number, plan);
    }
    return false;
}

ScreeningDecision Screen(const ScreeningRules& rules, const ScreenedCaller& caller,
                         const NumberPlan& plan) {
    ScreeningDecision decision;
    const bool present = caller.state == CallerIdState::kPresent;
    decision.record = present ? rules.everyoneElse : RecordMode::kAlways;
    for (const RecordRule& rule : rules.recordRules) {
        if (Matches(rule.match, caller, plan)) {
            decision.record = rule.choice;
            break;
        }
    }
    for (const CallerMatch& allowed : rules.allowList) {
        if (Matches(allowed, caller, plan)) {
            return decision;
        }
    }
    for (const BlockEntry& entry : rules.blockList) {
        if (Matches(entry.match, caller, plan)) {
            decision.block = true;
            decision.blockAction = entry.action;
            break;
        }
    }
    if (rules.allowListMode && !(present && !caller.contact.isEmpty())) {
        decision.block = true;
    }
    if (decision.block) {
        // A blocked call is never recorded.
        decision.record = RecordMode::kNever;
    }
    return decision;
}

}  // namespace orvane
