// The search's matching: which of a few calls each filter lets through.
#include <gtest/gtest.h>

#include <QDate>
#include <QString>
#include <vector>

#include "calls/list/calls_filter.h"
#include "tests/support/qt_printers.h"

namespace orvane {
namespace {

struct Call {
    char id;
    QString name;
    QString number;
    QString bookName;
    QString note;
    int kind;
    bool unread;
    bool marked;
    QDate day;           // null: the date could not be read
    int unrecorded = 0;  // an UnrecordedKind for a call without a recording
};

// A: a caller with accents in area 30, with a note and a phone-book name.
// B: the same number as the network writes it, outgoing and marked.
// C: a withheld number, an answered call of an old folder, no readable date.
// D: a Hebrew name with points, from another area.
// E: a note with a ligature, in the US.
const std::vector<Call> kCalls = {
    {'A', QStringLiteral("Zoë Müller"), QStringLiteral("030 1234"), QStringLiteral("Dr. Ärztin"),
     QStringLiteral("Rückruf wegen\r\nAngebot"), 3, true, false, QDate(2026, 12, 7)},
    {'B',
     QStringLiteral("O"),
     QStringLiteral("+49 30 1234"),
     {},
     {},
     4,
     false,
     true,
     QDate(2026, 12, 1)},
    {'C', QStringLiteral("UNKNOWN"), QStringLiteral("P"), {}, {}, 2, true, false, {}},
    {'D',
     QStringLiteral("שָׁלוֹם כהן"),
     QStringLiteral("089-5550123"),
     {},
     {},
     3,
     false,
     false,
     QDate(2026, 12, 8)},
    {'E',
     QStringLiteral("Bob"),
     QStringLiteral("+1 (212) 555-1234"),
     {},
     QStringLiteral("the ﬁle is ready"),
     3,
     false,
     false,
     QDate(2026, 11, 30)},
    // F: a blocked caller; G: a call its record rule kept unrecorded.
    {'F',
     QStringLiteral("ACME"),
     QStringLiteral("0900 555"),
     {},
     {},
     0,
     false,
     false,
     QDate(2026, 12, 7),
     1},
    {'G',
     QStringLiteral("Zoë"),
     QStringLiteral("030 1234"),
     {},
     {},
     0,
     false,
     false,
     QDate(2026, 12, 7),
     2},
};

QString Matching(const CallsFilter& filter, const NumberPlan& plan) {
    const CallsMatcher matcher(filter, plan);
    QString ids;
    for (const Call& call : kCalls) {
        const CallSearchKeys keys =
            MakeSearchKeys(call.name, call.number, call.bookName, call.note, plan);
        CallFacts facts;
        facts.folded = keys.folded;
        facts.digits = keys.digits;
        facts.normal = keys.normal;
        facts.kind = call.kind;
        facts.unrecorded = call.unrecorded;
        facts.unread = call.unread;
        facts.marked = call.marked;
        facts.day = call.day.isValid() ? call.day.toJulianDay() : 0;
        if (matcher.Matches(facts)) {
            ids += QLatin1Char(call.id);
        }
    }
    return ids;
}

CallsFilter Words(const char* words) {
    CallsFilter filter;
    filter.words = QString::fromUtf8(words);
    return filter;
}

TEST(CallsFilter, WordsMatchNamesNumbersPhoneBookNamesAndNotesInAnyCaseAndAccent) {
    const NumberPlan berlin = PlanFor(u"DE", u"30");
    const struct {
        const char* words;
        const char* expected;
    } cases[] = {
        {"", "ABCDE"},
        {"   \t ", "ABCDE"},
        // Case and accents either way round.
        {"zoe", "A"},
        {"ZOË", "A"},
        {"muller", "A"},
        {"MÜLLER", "A"},
        {"arztin", "A"},   // the phone-book name
        {"ruckruf", "A"},  // the note
        {"file", "E"},     // a ligature decomposes
        {"שלום", "D"},     // Hebrew without its points
        {"unknown", "C"},
        // Every word must match, anywhere.
        {"zoe angebot", "A"},
        {"angebot zoe", "A"},
        {"zoe bob", ""},
        {"wegen angebot", "A"},  // either side of the note's line break
        {"nobody", ""},
        // One number in its written forms: A and B are both 030 1234.
        {"030 1234", "AB"},
        {"+49 30 1234", "AB"},
        {"0049 30 1234", "AB"},
        {"(030) 12-34", "AB"},
        {"301234", "AB"},
        {"1234", "ABE"},
        {"zoe 1234", "A"},
        {"030 5678", ""},
        {"+49 89 1234", ""},
        {"089 555", "D"},
        {"+49 89 5550123", "D"},
        {"212-555", "E"},
        {"+1 212 555 1234", "E"},
        {"0", "ABD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words);
        EXPECT_EQ(Matching(Words(c.words), berlin), QString::fromLatin1(c.expected));
    }
    // Without a country the forms are not one number: only the digits as
    // written are found.
    EXPECT_EQ(Matching(Words("+49 30 1234"), NumberPlan{}), QStringLiteral("B"));
    EXPECT_EQ(Matching(Words("030 1234"), NumberPlan{}), QStringLiteral("A"));
}

TEST(CallsFilter, UnreadMarkedKindAndDaysNarrowWithTheWords) {
    const NumberPlan berlin = PlanFor(u"DE", u"30");
    const auto filter = [](auto change) {
        CallsFilter f;
        change(f);
        return f;
    };
    const struct {
        const char* what;
        CallsFilter filter;
        const char* expected;
    } cases[] = {
        {"unread", filter([](CallsFilter& f) { f.unreadOnly = true; }), "AC"},
        {"marked", filter([](CallsFilter& f) { f.markedOnly = true; }), "B"},
        {"unread and marked", filter([](CallsFilter& f) { f.unreadOnly = f.markedOnly = true; }),
         ""},
        {"incoming", filter([](CallsFilter& f) { f.kind = CallKindChoice::kIncoming; }), "ADE"},
        {"outgoing", filter([](CallsFilter& f) { f.kind = CallKindChoice::kOutgoing; }), "B"},
        {"answered", filter([](CallsFilter& f) { f.kind = CallKindChoice::kAnswered; }), "C"},
        // Calls without a recording show under their own kind alone.
        {"blocked", filter([](CallsFilter& f) { f.kind = CallKindChoice::kBlocked; }), "F"},
        {"not recorded", filter([](CallsFilter& f) { f.kind = CallKindChoice::kNotRecorded; }),
         "G"},
        {"not recorded with a number", filter([](CallsFilter& f) {
             f.kind = CallKindChoice::kNotRecorded;
             f.words = QStringLiteral("1234");
         }),
         "G"},
        {"blocked on another day", filter([](CallsFilter& f) {
             f.kind = CallKindChoice::kBlocked;
             f.from = QDate(2026, 12, 8);
         }),
         ""},
        {"incoming with a number", filter([](CallsFilter& f) {
             f.kind = CallKindChoice::kIncoming;
             f.words = QStringLiteral("1234");
         }),
         "AE"},
        // Days are inclusive at both ends; an unreadable date is in no range.
        {"one day", filter([](CallsFilter& f) { f.from = f.to = QDate(2026, 12, 7); }), "A"},
        {"first day only", filter([](CallsFilter& f) { f.from = QDate(2026, 12, 1); }), "ABD"},
        {"last day only", filter([](CallsFilter& f) { f.to = QDate(2026, 12, 1); }), "BE"},
        {"a week", filter([](CallsFilter& f) {
             f.from = QDate(2026, 12, 1);
             f.to = QDate(2026, 12, 7);
         }),
         "AB"},
        {"a range the wrong way round", filter([](CallsFilter& f) {
             f.from = QDate(2026, 12, 7);
             f.to = QDate(2026, 12, 1);
         }),
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(c.filter.IsActive());
        EXPECT_EQ(Matching(c.filter, berlin), QString::fromLatin1(c.expected));
    }
    EXPECT_FALSE(CallsFilter{}.IsActive());
    EXPECT_EQ(Matching(CallsFilter{}, berlin), QStringLiteral("ABCDE"));
    EXPECT_FALSE(Words(" \t").IsActive());
}

}  // namespace
}  // namespace orvane
