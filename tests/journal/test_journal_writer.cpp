// The journal's files: names, line layout, switches, forged lines, listing,
// reading and pruning.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>

#include "core/clock.h"
#include "journal/journal_writer.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"

namespace orvane {
namespace {

const QDateTime kAfternoon(QDate(2026, 12, 7), QTime(16, 34, 54));

class JournalTest : public ::testing::Test {
  protected:
    JournalTest() { QDir().mkpath(folder); }

    JournalWriter journal(const char* locale = "en_US") {
        JournalWriter writer(folder, clock, QLocale(QString::fromLatin1(locale)));
        writer.setSwitches(true, true);
        return writer;
    }
    QString path(const QString& name) const { return folder + QLatin1Char('/') + name; }
    QByteArray content(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    void make(const QString& name, const QDateTime& modified = kAfternoon,
              const QByteArray& bytes = "x") const {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.flush();  // a later flush would move the time again
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    QStringList files() const {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

    QTemporaryDir root;
    QString folder = root.filePath(QStringLiteral("Journal"));
    FixedClock clock{kAfternoon};
};

TEST_F(JournalTest, LinesAndNamesHaveTheExactLayout) {
    JournalWriter writer = journal();
    writer.WriteSysLog("Ring 2", 0, "Tapi1_Ring");
    writer.WriteSysLog("Operation failed", -5, "Wave.PauseIn");
    writer.WriteSysLog("errFilFile 2 x", 0, "");
    writer.WriteCallsLog("Ann Lee - 5551234");
    EXPECT_EQ(content("2026-12-07_Sys.txt"),
              "4:34:54 PM : Tapi1_Ring->Ring 2(0)\r\n"
              "4:34:54 PM : Wave.PauseIn->Operation failed(-5)\r\n"
              "4:34:54 PM : ->errFilFile 2 x(0)\r\n");
    EXPECT_EQ(content("2026-12-07_Calls.txt"), "4:34:54 PM : Ann Lee - 5551234\r\n");

    // Other locales later that day write on into the same day's files.
    journal("de_DE").WriteSysLog("Connected", 0, "Tapi1_Connected");
    journal("he_IL").WriteCallsLog("x");
    EXPECT_EQ(files(), (QStringList{"2026-12-07_Calls.txt", "2026-12-07_Sys.txt"}));
    EXPECT_TRUE(
        content("2026-12-07_Sys.txt").endsWith("16:34:54 : Tapi1_Connected->Connected(0)\r\n"));
    EXPECT_EQ(content("2026-12-07_Calls.txt"),
              "4:34:54 PM : Ann Lee - 5551234\r\n16:34:54 : x\r\n");
}

TEST_F(JournalTest, EachSwitchGovernsItsOwnKindAndNoFolderIsMade) {
    JournalWriter writer = journal();
    writer.setSwitches(false, true);
    writer.WriteSysLog("Ring 1", 0, "Tapi1_Ring");
    writer.WriteCallsLog("a");
    EXPECT_EQ(files(), QStringList{"2026-12-07_Calls.txt"});
    writer.setSwitches(true, false);
    writer.WriteSysLog("Ring 1", 0, "Tapi1_Ring");
    writer.WriteCallsLog("b");
    EXPECT_EQ(files(), (QStringList{"2026-12-07_Calls.txt", "2026-12-07_Sys.txt"}));
    EXPECT_EQ(content("2026-12-07_Calls.txt"), "4:34:54 PM : a\r\n");

    // A missing folder is never created.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    writer.WriteSysLog("Ring 1", 0, "Tapi1_Ring");
    writer.DeleteOldLogs(1);
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(writer.ListLogFiles(JournalKind::All).isEmpty());
}

TEST_F(JournalTest, FirstLineAfterMidnightStartsANewFile) {
    clock.set(QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59)));
    JournalWriter writer = journal();
    writer.WriteSysLog("Ring 1", 0, "Tapi1_Ring");
    clock.advanceSecs(1);
    writer.WriteSysLog("Ring 2", 0, "Tapi1_Ring");
    EXPECT_EQ(content("2026-12-07_Sys.txt"), "11:59:59 PM : Tapi1_Ring->Ring 1(0)\r\n");
    EXPECT_EQ(content("2026-12-08_Sys.txt"), "12:00:00 AM : Tapi1_Ring->Ring 2(0)\r\n");
}

TEST_F(JournalTest, OutsideTextCannotForgeOrBloatALine) {
    JournalWriter writer = journal();
    writer.WriteCallsLog("Eve\r\n4:00:00 PM : Mallory - 1\n\r\x1b[2J\x7f" + QString(QChar(0x2028)) +
                         QChar(0x85) + "end");
    writer.WriteSysLog("CallerID A\rB", 0, "Tapi1\n_CallerID\t");
    writer.WriteCallsLog(QString(10000, QLatin1Char('N')));
    EXPECT_EQ(content("2026-12-07_Calls.txt"),
              "4:34:54 PM : Eve 4:00:00 PM : Mallory - 1  ?[2J?  end\r\n4:34:54 PM : " +
                  QByteArray(kJournalValueLimit, 'N') + "...\r\n");
    EXPECT_EQ(content("2026-12-07_Sys.txt"), "4:34:54 PM : Tapi1 _CallerID?->CallerID A B(0)\r\n");
}

TEST_F(JournalTest, DeviceDetailsSpanSeveralLines) {
    const QString indent(26, QLatin1Char(' '));
    journal().WriteSysLogLines(
        {"Device Details -", indent + "Line Index: 0", indent + "Device Name: Modem\r\nFake",
         indent + "Monitor Digits: Yes"},
        0, QString());
    const QByteArray pad(26, ' ');
    EXPECT_EQ(content("2026-12-07_Sys.txt"),
              "4:34:54 PM : ->Device Details -\r\n" + pad + "Line Index: 0\r\n" + pad +
                  "Device Name: Modem Fake\r\n" + pad + "Monitor Digits: Yes(0)\r\n");
}

TEST_F(JournalTest, AFullDiskLeavesOnlyWholeLines) {
    JournalWriter writer = journal();
    writer.WriteCallsLog("first");
    const QByteArray before = content("2026-12-07_Calls.txt");
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tight = old;
    tight.rlim_cur = static_cast<rlim_t>(before.size() + 10);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    writer.WriteCallsLog(QString(200, QLatin1Char('x')));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(content("2026-12-07_Calls.txt"), before);
}

TEST_F(JournalTest, ListsNewestDayFirstAndUnreadableNamesLast) {
    for (const char* name :
         {"12-7-26_Sys.txt", "12-7-26_Calls.txt", "1-15-27_Sys.txt", "2026-12-08_Sys.txt",
          "11-30-26_Calls.txt", "12-31-99_Sys.txt", "notes.txt", "garbage_Sys.txt",
          ".hidden_Sys.txt", "12-6-26_Sys.log"}) {
        make(QString::fromLatin1(name));
    }
    QDir(folder).mkdir(QStringLiteral("1-1-27_Sys.txt"));
    QFile::link(path("notes.txt"), path("1-2-27_Sys.txt"));
    const JournalWriter writer = journal();
    EXPECT_EQ(writer.ListLogFiles(JournalKind::All),
              (QStringList{"1-15-27_Sys.txt", "2026-12-08_Sys.txt", "12-7-26_Calls.txt",
                           "12-7-26_Sys.txt", "11-30-26_Calls.txt", "12-31-99_Sys.txt",
                           "garbage_Sys.txt", "notes.txt"}));
    EXPECT_EQ(writer.ListLogFiles(JournalKind::System),
              (QStringList{"1-15-27_Sys.txt", "2026-12-08_Sys.txt", "12-7-26_Sys.txt",
                           "12-31-99_Sys.txt", "garbage_Sys.txt"}));
    EXPECT_EQ(writer.ListLogFiles(JournalKind::Calls),
              (QStringList{"12-7-26_Calls.txt", "11-30-26_Calls.txt"}));

    for (const char* name : {"07-12-2026_Sys.txt", "31-01-2027_Sys.txt", "01-12-2026_Sys.txt"}) {
        make(QString::fromLatin1(name));
    }
    // Day and month are told apart by a number past 12, else by the locale.
    EXPECT_EQ(journal("en_GB").ListLogFiles(JournalKind::System).mid(0, 4),
              (QStringList{"31-01-2027_Sys.txt", "1-15-27_Sys.txt", "2026-12-08_Sys.txt",
                           "07-12-2026_Sys.txt"}));
}

TEST_F(JournalTest, ReadsLinesWithAnyLineEnd) {
    make("a.txt", kAfternoon, "one\r\ntwo\n\r\nthree\rfour");
    EXPECT_EQ(journal().ReadLogFile("a.txt"), (QStringList{"one", "two", "", "three", "four"}));
}

TEST_F(JournalTest, NamesAndLinksNeverReachOutsideTheFolder) {
    const QString outside = root.filePath(QStringLiteral("outside.txt"));
    const QString missing = root.filePath(QStringLiteral("missing.txt"));
    make("../outside.txt");
    QFile::link(outside, path("link.txt"));
    QFile::link(missing, path("2026-12-07_Sys.txt"));
    const JournalWriter writer = journal();
    for (const char* name : {"../outside.txt", "..", ".", "", "link.txt"}) {
        EXPECT_TRUE(writer.ReadLogFile(QString::fromLatin1(name)).isEmpty()) << name;
        writer.DeleteLogFile(QString::fromLatin1(name));
    }
    writer.DeleteLogFile(outside);
    journal().WriteSysLog("Ring 1", 0, "Tapi1_Ring");
    EXPECT_TRUE(QFileInfo::exists(outside));
    EXPECT_TRUE(QFileInfo(path("link.txt")).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(missing));

    make("12-6-26_Sys.txt");
    writer.DeleteLogFile("12-6-26_Sys.txt");
    EXPECT_FALSE(QFileInfo::exists(path("12-6-26_Sys.txt")));
}

struct PruneCase {
    QDate today;
    int months;
    QDate cutoff;
};

void PrintTo(const PruneCase& c, std::ostream* os) {
    *os << c.today.toString(Qt::ISODate).toStdString() << " - " << c.months << " months";
}

class PruneTest : public JournalTest, public ::testing::WithParamInterface<PruneCase> {};

TEST_P(PruneTest, DeletesAtOrBeforeTheCutoffOnly) {
    const PruneCase& c = GetParam();
    clock.set(QDateTime(c.today, QTime(12, 0)));
    const QDateTime cutoff(c.cutoff, QTime(0, 0));
    make("at_Sys.txt", cutoff);
    make("before.dat", cutoff.addDays(-40));
    make("later_Calls.txt", cutoff.addSecs(1));
    make("LogDir", cutoff.addDays(-400));
    make(".hidden", cutoff.addDays(-400));
    make("../old_outside.txt", cutoff.addDays(-400));
    QFile::link(root.filePath(QStringLiteral("old_outside.txt")), path("link.txt"));

    for (int keepAll : {0, -1}) {
        journal().DeleteOldLogs(keepAll);
    }
    EXPECT_EQ(files().size(), 6);
    journal().DeleteOldLogs(c.months);
    EXPECT_EQ(files(), (QStringList{".hidden", "LogDir", "later_Calls.txt", "link.txt"}));
    EXPECT_TRUE(QFileInfo::exists(root.filePath(QStringLiteral("old_outside.txt"))));
}

INSTANTIATE_TEST_SUITE_P(Cutoffs, PruneTest,
                         ::testing::Values(PruneCase{QDate(2026, 3, 31), 1, QDate(2026, 2, 28)},
                                           PruneCase{QDate(2024, 3, 31), 1, QDate(2024, 2, 29)},
                                           PruneCase{QDate(2026, 3, 31), 2, QDate(2026, 1, 31)},
                                           PruneCase{QDate(2026, 1, 15), 3, QDate(2025, 10, 15)}));

TEST(ProgramWideJournal, WritesIntoTheUserFoldersJournal) {
    testing::TestEnvironment env;
    env.makeProgramFolders();
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    FixedClock clock(kAfternoon);
    ProgramJournal().setClock(clock);
    SetJournalSwitches(true, false);
    WriteSysLog("Idle", 0, "Tapi1_Idle");
    WriteCallsLog("not written");
    // LANG changes while the program runs: the day's file stays the same.
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    WriteSysLog("Idle", 0, "Tapi1_Idle");
    ProgramJournal().setClock(SystemTime());
    SetJournalSwitches(false, false);
    QLocale::setDefault(QLocale::system());

    // In the user folder, made at the first line.
    QFile file(env.dataHome() + QStringLiteral("/orvane/Journal/2026-12-07_Sys.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
              "4:34:54 PM : Tapi1_Idle->Idle(0)\r\n16:34:54 : Tapi1_Idle->Idle(0)\r\n");
    EXPECT_EQ(QDir(env.dataHome() + QStringLiteral("/orvane/Journal")).count(), 3u);  // ".", ".."
}

}  // namespace
}  // namespace orvane
