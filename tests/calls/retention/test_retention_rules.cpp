#include <gtest/gtest.h>

#include <QDateTime>
#include <QHash>
#include <algorithm>
#include <vector>

#include "calls/retention/retention_rules.h"
#include "calls/store/call_record.h"
#include "calls/store/stored_calls.h"
#include "core/stored_moment.h"

namespace orvane {
namespace {

constexpr qint64 kDay = 86400;
constexpr qint64 kMB = kRetentionBytesPerMB;
const qint64 kNow = RetentionMoment(QDateTime(QDate(2026, 12, 10), QTime(12, 0)));

// One call of the table: its age in seconds (or undated), length, size.
struct Call {
    qint64 age;  // < 0 with dated false: no date
    bool dated;
    qint32 seconds;
    qint64 bytes;
    bool kept;
    bool readable;
};

// Record numbers are the positions, from 1.
const std::vector<Call> kCalls = {
    {40 * kDay, true, 120, 10 * kMB, false, true},     // 1 old
    {30 * kDay + 1, true, 60, 10 * kMB, false, true},  // 2 one second past 30 days
    {30 * kDay, true, 3, 10 * kMB, false, true},       // 3 exactly 30 days, short
    {30 * kDay - 1, true, 200, 10 * kMB, true, true},  // 4 marked, just within 30 days
    {0, false, 2, 10 * kMB, false, true},              // 5 no date, short
    {1 * kDay, true, 4, 10 * kMB, false, true},        // 6 new, short
    {2 * kDay, true, 1, 0, false, false},              // 7 damaged record
    {50 * kDay, true, 100, 10 * kMB, true, true},      // 8 oldest, noted
    {45 * kDay, true, -1, 10 * kMB, false, true},      // 9 length unreadable
    {-1 * kDay, true, 90, 10 * kMB, false, true},      // 10 dated tomorrow
};

std::vector<RetentionCall> Calls() {
    std::vector<RetentionCall> calls;
    for (size_t i = 0; i < kCalls.size(); ++i) {
        const Call& c = kCalls[i];
        RetentionCall call;
        call.ref = {static_cast<qint32>(i + 1), QStringLiteral("call%1.wav").arg(i + 1)};
        call.dated = c.dated;
        call.moment = kNow - c.age;
        call.seconds = c.seconds;
        call.bytes = c.bytes;
        call.kept = c.kept;
        call.readable = c.readable;
        calls.push_back(call);
    }
    return calls;
}

struct Case {
    const char* what;
    RetentionRules rules;
    std::vector<qint32> going;
    int byAge, byLength, bySize;
    QSet<QString> busy = {};
};

TEST(RetentionRules, ChooseExactlyTheCallsEachRuleNames) {
    // Total of the files: 90 MB (the damaged record's file is unknown).
    const Case cases[] = {
        {"all off", {0, 0, 0, true}, {}, 0, 0, 0},
        {"older than 30 days, marked and noted kept", {30, 0, 0, true}, {1, 2, 9}, 3, 0, 0},
        {"older than 30 days, marks not kept", {30, 0, 0, false}, {1, 2, 8, 9}, 4, 0, 0},
        {"shorter than 5 s, also without a date", {0, 0, 5, true}, {3, 5, 6}, 0, 3, 0},
        {"shorter than 200 s, marks not kept", {0, 0, 200, false}, {1, 2, 3, 5, 6, 8, 10}, 0, 7, 0},
        {"under 60 MB: the oldest go first", {0, 60, 0, true}, {1, 2, 9}, 0, 0, 3},
        {"under 90 MB: nothing over", {0, 90, 0, true}, {}, 0, 0, 0},
        {"under 89 MB: the oldest goes", {0, 89, 0, true}, {9}, 0, 0, 1},
        {"under 5 MB: only what may go goes", {0, 5, 0, true}, {1, 2, 3, 6, 9, 10}, 0, 0, 6},
        {"all three: age, then length, then size",
         {30, 20, 5, true},
         {1, 2, 3, 5, 6, 9, 10},
         3,
         3,
         1},
        {"all three: age and length bring it under",
         {30, 40, 5, true},
         {1, 2, 3, 5, 6, 9},
         3,
         3,
         0},
        {"a busy call stays; size takes the next",
         {30, 60, 0, true},
         {2, 9, 3},
         2,
         0,
         1,
         {QStringLiteral("call1.wav")}},
    };
    const std::vector<RetentionCall> calls = Calls();
    for (const Case& c : cases) {
        const RetentionChoice choice = ChooseForRetention(calls, c.rules, kNow, c.busy);
        std::vector<qint32> numbers;
        for (const CallRef& ref : choice.calls) {
            numbers.push_back(ref.number);
            EXPECT_EQ(ref.fileName, QStringLiteral("call%1.wav").arg(ref.number)) << c.what;
        }
        std::vector<qint32> expected = c.going;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(numbers, expected) << c.what;
        EXPECT_EQ(choice.bytes, static_cast<qint64>(expected.size()) * 10 * kMB) << c.what;
        EXPECT_EQ(choice.byAge, c.byAge) << c.what;
        EXPECT_EQ(choice.byLength, c.byLength) << c.what;
        EXPECT_EQ(choice.bySize, c.bySize) << c.what;
    }
}

TEST(RetentionRules, SizeTiesGoInRecordOrder) {
    std::vector<RetentionCall> calls(3);
    for (qint32 i = 0; i < 3; ++i) {
        calls[static_cast<size_t>(i)] = {
            {i + 1, QStringLiteral("c%1.wav").arg(i + 1)}, true, true, kNow - kDay, 60, kMB, false};
    }
    const RetentionChoice choice = ChooseForRetention(calls, {0, 2, 0, true}, kNow);
    ASSERT_EQ(choice.calls.size(), 1u);
    EXPECT_EQ(choice.calls[0].number, 1);
}

TEST(RetentionRules, LengthsReadAsTheRecorderWritesThem) {
    const std::pair<const char*, qint32> cases[] = {
        {"0:01:23", 83},  {"1:02:03", 3723},  {"5:07", 307},   {"42", 42},
        {" 0:00:04 ", 4}, {"", -1},           {"1:60:00", -1}, {"a:00", -1},
        {"1:2:3", -1},    {"1:02:03:04", -1}, {"-1", -1},      {"0:0x", -1},
    };
    for (const auto& [text, seconds] : cases) {
        EXPECT_EQ(DurationSeconds(QString::fromLatin1(text)), seconds) << text;
    }
}

TEST(RetentionRules, CallsAreReadFromTheStoreAsStored) {
    const auto record = [](const char* name, const char* iso, const char* date,
                           const char* duration) {
        CallRecord r;
        r.Set(CallField::CallKind, QStringLiteral("3"));
        r.Set(CallField::CallerName, QString::fromLatin1(name));
        r.Set(CallField::CallerNumber, QStringLiteral("5550001"));
        r.Set(CallField::CallDate, QString::fromLatin1(date));
        r.Set(CallField::CallTime, QStringLiteral("10:00:00"));
        r.Set(CallField::ExtraText, QString::fromLatin1(iso));
        r.Set(CallField::Duration, QString::fromLatin1(duration));
        r.Set(CallField::ReadFlag, QStringLiteral("1"));
        return r;
    };
    std::vector<CallRecord> records = {
        record("Iso", "2026-12-01T08:30:00", "garbled", "0:00:04"),
        record("Dated", "", "2026-11-02", "1:02:03"),
        record("Undated", "", "someday", "soon"),
        record("Marked", "2026-12-01T08:30:00", "2026-12-01", "0:01:00"),
        record("Noted", "2026-12-01T08:30:00", "2026-12-01", "0:01:00"),
        record("Bro\x01ken", "2026-12-01T08:30:00", "2026-12-01", "0:01:00"),
        record("../../x", "2026-12-01T08:30:00", "2026-12-01", "0:01:00"),
    };
    records[3].Set(CallField::UserMark, QStringLiteral("1"));
    records[4].Set(CallField::Notes, QStringLiteral("call back"));
    CallStore store{CallStoreOps{}};
    store.Replace(records, QStringLiteral("/nowhere/calls"));
    QStringList asked;
    const std::vector<RetentionCall> calls = RetentionCallsOf(store, [&asked](const QString& path) {
        asked << path;
        return qint64{1000} + asked.size();
    });
    ASSERT_EQ(calls.size(), records.size());
    const auto at = [](int month, int day, int hour, int minute) {
        return RetentionMoment(QDateTime(QDate(2026, month, day), QTime(hour, minute)));
    };
    EXPECT_TRUE(calls[0].dated);
    EXPECT_EQ(calls[0].moment, at(12, 1, 8, 30));  // the ISO text wins
    EXPECT_EQ(calls[0].seconds, 4);
    EXPECT_TRUE(calls[1].dated);
    EXPECT_EQ(calls[1].moment, at(11, 2, 10, 0));
    EXPECT_EQ(calls[1].seconds, 3723);
    EXPECT_FALSE(calls[2].dated);
    EXPECT_EQ(calls[2].seconds, -1);
    EXPECT_FALSE(calls[0].kept || calls[1].kept || calls[2].kept);
    EXPECT_TRUE(calls[3].kept);
    EXPECT_TRUE(calls[4].kept);
    EXPECT_FALSE(calls[5].readable);
    EXPECT_EQ(calls[5].bytes, 0);
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].ref.number, static_cast<qint32>(i + 1));
        if (calls[i].readable) {
            EXPECT_EQ(calls[i].ref.fileName, CallFileName(records[i])) << i;
            EXPECT_GT(calls[i].bytes, 1000) << i;
        }
    }
    // Every size asked for lies in the folder, whatever the caller ID said.
    EXPECT_EQ(asked.size(), 6);
    for (const QString& path : asked) {
        EXPECT_TRUE(path.startsWith(QStringLiteral("/nowhere/calls/"))) << path.toStdString();
        EXPECT_FALSE(path.mid(15).contains(QLatin1Char('/'))) << path.toStdString();
    }
}

}  // namespace
}  // namespace orvane
