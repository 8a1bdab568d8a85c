#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "calls/screening/screening_file.h"
#include "calls/screening/screening_watch.h"
#include "core/atomic_file.h"

namespace orvane {
namespace {

using Kind = CallerMatch::Kind;

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

ScreeningRules SomeRules() {
    ScreeningRules rules;
    rules.everyoneElse = RecordMode::kAsk;
    rules.allowListMode = true;
    rules.recordRules = {{{Kind::kNumber, QStringLiteral("0301*")}, RecordMode::kNever},
                         {{Kind::kContact, QStringLiteral("Anna\tB")}, RecordMode::kAsk},
                         {{Kind::kWithheld, {}}, RecordMode::kAlways}};
    rules.blockList = {{{Kind::kNumber, QStringLiteral("0900?")}, BlockAction::kMessage},
                       {{Kind::kUnknown, {}}, BlockAction::kHangUp}};
    rules.allowList = {{Kind::kContact, QStringLiteral("Dr. Ü")}};
    return rules;
}

TEST(ScreeningFile, SavedRulesReadBackTheSame) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Screening.txt"));
    ScreeningFile file(path);
    EXPECT_EQ(file.Load(), ScreeningFile::LoadOutcome::kMissing);
    EXPECT_EQ(file.Rules(), ScreeningRules());
    ASSERT_TRUE(file.Save(SomeRules()));

    ScreeningFile again(path);
    EXPECT_EQ(again.Load(), ScreeningFile::LoadOutcome::kLoaded);
    ScreeningRules expected = SomeRules();
    expected.recordRules[1].match.value = QStringLiteral("Anna B");  // a tab would split the line
    EXPECT_EQ(again.Rules(), expected);
}

TEST(ScreeningFile, UnreadLinesAreSkippedAndTheFileKeptAside) {
    const QByteArray text =
        "orvane-screening\t1\r\n"
        "# a comment\n"
        "\n"
        "block\thangup\tnumber\t0900*\n"
        "block\tshout\tnumber\t0800*\n"       // no such action
        "record\tnever\tnumber\t../../etc\n"  // no number pattern
        "record\tnever\twithheld\textra\n"    // withheld takes no value
        "allow\tcontact\n"                    // a contact needs a name
        "everyone-else\tsometimes\n"
        "allow-list-mode\ton\n"
        "what is this\n";
    ScreeningRules readable;
    readable.blockList = {{{Kind::kNumber, QStringLiteral("0900*")}, BlockAction::kHangUp}};
    readable.allowListMode = true;
    const ScreeningText read = ParseScreening(text);
    EXPECT_EQ(read.rules, readable);
    EXPECT_EQ(read.unreadLines, 6);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Screening.txt"));
    Write(path, text);
    ScreeningFile file(path);
    EXPECT_EQ(file.Load(), ScreeningFile::LoadOutcome::kSetAside);
    EXPECT_EQ(ReadAll(file.SetAsidePath()), text);
    EXPECT_TRUE(file.Rules().allowListMode);
    ASSERT_TRUE(file.Save(file.Rules()));
    EXPECT_EQ(ReadAll(file.SetAsidePath()), text);
    EXPECT_EQ(ParseScreening(ReadAll(path)).unreadLines, 0);
}

TEST(ScreeningFile, BinaryJunkIsReadAsNoRules) {
    QByteArray junk(4096, '\0');
    for (int i = 0; i < junk.size(); ++i) {
        junk[i] = static_cast<char>((i * 7919) & 0xff);
    }
    const ScreeningText read = ParseScreening(junk);
    EXPECT_EQ(read.rules, ScreeningRules());
    EXPECT_GT(read.unreadLines, 0);
}

TEST(ScreeningFile, BlockThisNumberAddsOneEntryAndSavesIt) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Screening.txt"));
    const NumberPlan de = PlanFor(u"DE", u"30");
    ScreeningFile file(path);
    file.Load();
    using Outcome = ScreeningFile::BlockOutcome;
    const struct {
        const char* number;
        Outcome outcome;
    } cases[] = {
        {"030 1234", Outcome::kBlocked},    {"+49301234", Outcome::kAlreadyBlocked},
        {"1234", Outcome::kAlreadyBlocked}, {"PRIVATE", Outcome::kNoNumber},
        {"", Outcome::kNoNumber},           {"UNKNOWN", Outcome::kNoNumber},
        {"0900-55 55", Outcome::kBlocked},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(file.BlockNumber(QString::fromUtf8(c.number), de), c.outcome) << c.number;
    }
    ScreeningFile again(path);
    ASSERT_EQ(again.Load(), ScreeningFile::LoadOutcome::kLoaded);
    EXPECT_EQ(again.Rules().blockList,
              (std::vector<BlockEntry>{{{Kind::kNumber, QStringLiteral("0301234")}},
                                       {{Kind::kNumber, QStringLiteral("09005555")}}}));

    // A file that cannot be written keeps the entry for this run and says so.
    ScreeningFile unwritable(dir.filePath(QStringLiteral("missing/Screening.txt")));
    EXPECT_EQ(unwritable.BlockNumber(QStringLiteral("0301234"), de), Outcome::kNotSaved);
    EXPECT_FALSE(unwritable.LastError().isEmpty());
    EXPECT_EQ(unwritable.Rules().blockList.size(), 1u);
}

TEST(ScreeningFile, BlockThisNumberTakesTheSameNumberOffTheAllowList) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Screening.txt"));
    const NumberPlan de = PlanFor(u"DE", u"30");
    using Outcome = ScreeningFile::BlockOutcome;
    const CallerMatch same{Kind::kNumber, QStringLiteral("030 1234")};
    const CallerMatch pattern{Kind::kNumber, QStringLiteral("0301*")};
    const CallerMatch anna{Kind::kContact, QStringLiteral("Anna")};
    const struct {
        std::vector<BlockEntry> blocked;
        const char* number;
        Outcome outcome;
        std::vector<CallerMatch> allowedAfter;
        size_t blockedAfter;
    } cases[] = {
        // The same number, written otherwise, goes; wider choices stay.
        {{}, "+49 30 1234", Outcome::kBlockedAndUnallowed, {pattern, anna}, 1},
        // Blocked already, but the allow entry won: it goes, no second entry.
        {{{{Kind::kNumber, QStringLiteral("0301*")}}},
         "0301234",
         Outcome::kBlockedAndUnallowed,
         {pattern, anna},
         1},
        {{}, "0309999", Outcome::kBlocked, {same, pattern, anna}, 1},
    };
    for (const auto& c : cases) {
        QFile::remove(path);
        ScreeningFile file(path);
        ScreeningRules rules;
        rules.allowList = {same, pattern, anna};
        rules.blockList = c.blocked;
        ASSERT_TRUE(file.Save(rules));
        EXPECT_EQ(file.BlockNumber(QString::fromUtf8(c.number), de), c.outcome) << c.number;
        ScreeningFile again(path);
        ASSERT_EQ(again.Load(), ScreeningFile::LoadOutcome::kLoaded);
        EXPECT_EQ(again.Rules().allowList, c.allowedAfter) << c.number;
        EXPECT_EQ(again.Rules().blockList.size(), c.blockedAfter) << c.number;
    }
}

TEST(ScreeningFile, AChangeOutsideTheProgramIsReadAtOnce) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Screening.txt"));
    ScreeningFile file(path);
    file.Load();
    int reloads = 0;
    ScreeningWatch watch(file, [&reloads] { ++reloads; });
    // Each way an editor or another program writes it: made new, replaced
    // by a rename (which ends the file's own watch), written in place.
    const struct {
        const char* how;
        QByteArray text;
        size_t blocked;
    } cases[] = {
        {"made", "block\thangup\tnumber\t0900*\n", 1},
        {"renamed over", "block\thangup\tnumber\t0900*\nblock\thangup\twithheld\n", 2},
        {"in place", "allow-list-mode\ton\n", 0},
        {"renamed over again", "block\tmessage\tunknown\n", 1},
    };
    for (const auto& c : cases) {
        const int before = reloads;
        if (QByteArray(c.how).startsWith("renamed")) {
            ASSERT_EQ(ReplaceFileContent(path, c.text, NewFileMode{}), 0);
        } else {
            Write(path, c.text);
        }
        // A write in place may be seen half done first: wait for the whole.
        const ScreeningRules expected = ParseScreening(c.text).rules;
        const QDeadlineTimer deadline(10000);
        while ((reloads == before || file.Rules() != expected) && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        EXPECT_GT(reloads, before) << c.how;
        EXPECT_EQ(file.Rules().blockList.size(), c.blocked) << c.how;
        EXPECT_EQ(file.Rules(), expected) << c.how;
    }
    // Nothing changed: nothing is read.
    EXPECT_FALSE(watch.Check());
}

}  // namespace
}  // namespace orvane
