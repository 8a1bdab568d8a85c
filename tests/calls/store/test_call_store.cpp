#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <functional>
#include <limits>

#include "calls/store/call_store.h"
#include "journal/journal_writer.h"
#include "tests/support/qt_printers.h"
#include "tests/support/run_as_nobody.h"
#include "tests/support/test_environment.h"

namespace orvane {
namespace {

// A record told apart from the others by its caller's name.
CallRecord Call(int id) {
    CallRecord record;
    record.Set(CallField::CallDate, QStringLiteral("12/7/2026"));
    record.Set(CallField::CallerName, QStringLiteral("Caller %1").arg(id));
    record.Set(CallField::CallerNumber, QStringLiteral("555-%1").arg(id));
    record.Set(CallField::CallTime, QStringLiteral("10:15:%1 AM").arg(id, 2, 10, QLatin1Char('0')));
    record.Set(CallField::CallLine, QStringLiteral("0"));
    record.Set(CallField::ReadFlag, QStringLiteral("0"));
    record.Set(CallField::ExtraText, QString());
    record.Set(CallField::CallKind, QStringLiteral("3"));
    record.Set(CallField::Duration, QStringLiteral("0:01:23"));
    return record;
}

QByteArray BytesOf(const CallRecord& record) {
    return QByteArray(record.Bytes().data(), kCallRecordSize);
}

QByteArray FileOf(std::initializer_list<int> ids) {
    QByteArray bytes;
    for (const int id : ids) {
        bytes += BytesOf(Call(id));
    }
    return bytes;
}

class CallStoreTest : public ::testing::Test {
  protected:
    QString Folder() const { return env_.root() + QStringLiteral("/recordings/"); }
    QString Index() const { return Folder() + QStringLiteral("Data"); }

    void SetUp() override { ASSERT_TRUE(QDir().mkpath(Folder())); }

    void WriteIndex(const QByteArray& bytes) const {
        QFile file(Index());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    QByteArray ReadIndex() const {
        QFile file(Index());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QStringList Entries() const {
        return QDir(Folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                        QDir::Name);
    }

    testing::TestEnvironment env_;
};

TEST_F(CallStoreTest, TheIndexFileIsTheFolderAndData) {
    EXPECT_EQ(CallIndexFile(QStringLiteral("/rec/")), QStringLiteral("/rec/Data"));
    EXPECT_EQ(CallIndexFile(QStringLiteral("/rec")), QStringLiteral("/rec/Data"));
    EXPECT_EQ(CallIndexFile(QString()), QString());
    EXPECT_FALSE(AppendCallRecord(Call(1), QString()));
    EXPECT_TRUE(ReadAllCallRecords(QString()).empty());
}

TEST_F(CallStoreTest, AppendsCreateTheFileAndAddWholeRecordsAtTheEnd) {
    bool exists = true;
    EXPECT_TRUE(ReadAllCallRecords(Folder(), &exists).empty());
    EXPECT_FALSE(exists);
    EXPECT_EQ(CallRecordCount(Folder()), 0);
    CallRecord untouched = Call(9);
    EXPECT_FALSE(ReadCallRecord(untouched, Folder(), 1));
    EXPECT_EQ(BytesOf(untouched), BytesOf(Call(9)));
    // A note saved after the file disappeared makes no file of one record.
    EXPECT_FALSE(WriteCallRecord(Call(9), Folder(), 1));
    EXPECT_FALSE(SetReadFlag(1, Folder(), QStringLiteral("1")));
    EXPECT_FALSE(DeleteCallRecord(1, Folder()));
    EXPECT_TRUE(Entries().isEmpty());

    ASSERT_TRUE(AppendCallRecord(Call(1), Folder()));
    EXPECT_EQ(ReadIndex(), FileOf({1}));
    // Without the final "/" the same file.
    ASSERT_TRUE(AppendCallRecord(Call(2), Folder().chopped(1)));
    ASSERT_TRUE(AppendCallRecord(Call(3), Folder()));
    EXPECT_EQ(ReadIndex(), FileOf({1, 2, 3}));
    EXPECT_EQ(CallRecordCount(Folder()), 3);

    const std::vector<CallRecord> all = ReadAllCallRecords(Folder(), &exists);
    EXPECT_TRUE(exists);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(BytesOf(all[2]), BytesOf(Call(3)));
    CallRecord second;
    ASSERT_TRUE(ReadCallRecord(second, Folder(), 2));
    EXPECT_EQ(BytesOf(second), BytesOf(Call(2)));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("Data")});
}

// A torn write leaves a tail shorter than a record: readers see the whole
// records, and the next append lands on the boundary, replacing the tail.
TEST_F(CallStoreTest, ATornTailIsNeitherReadNorFollowed) {
    for (const int tail : {1, 210, 466}) {
        WriteIndex(FileOf({1, 2}) + QByteArray(tail, 'x'));
        EXPECT_EQ(CallRecordCount(Folder()), 2) << tail;
        EXPECT_EQ(ReadAllCallRecords(Folder()).size(), 2u) << tail;
        CallRecord record = Call(9);
        EXPECT_FALSE(ReadCallRecord(record, Folder(), 3));
        EXPECT_FALSE(SetReadFlag(3, Folder(), QStringLiteral("1")));

        ASSERT_TRUE(AppendCallRecord(Call(3), Folder())) << tail;
        EXPECT_EQ(ReadIndex(), FileOf({1, 2, 3})) << tail;

        WriteIndex(FileOf({1, 2}) + QByteArray(tail, 'x'));
        ASSERT_TRUE(DeleteCallRecord(1, Folder())) << tail;
        EXPECT_EQ(ReadIndex(), FileOf({2})) << tail;
    }
}

// Numbers out of step with the file change nothing at all.
TEST_F(CallStoreTest, ANumberOutsideTheRecordsChangesNothing) {
    WriteIndex(FileOf({1, 2, 3}));
    constexpr qint32 kMin = std::numeric_limits<qint32>::min();
    constexpr qint32 kMax = std::numeric_limits<qint32>::max();
    for (const qint32 number : {0, -1, 4, kMin, kMax}) {
        CallRecord record = Call(9);
        EXPECT_FALSE(ReadCallRecord(record, Folder(), number)) << number;
        EXPECT_EQ(BytesOf(record), BytesOf(Call(9)));
        EXPECT_FALSE(WriteCallRecord(Call(9), Folder(), number)) << number;
        EXPECT_FALSE(SetReadFlag(number, Folder(), QStringLiteral("1"))) << number;
        EXPECT_FALSE(SetUserMark(number, Folder(), QStringLiteral("1"))) << number;
        EXPECT_FALSE(DeleteCallRecord(number, Folder())) << number;
        EXPECT_FALSE(DeleteCallRecords({1, number}, Folder())) << number;
        EXPECT_EQ(ReadIndex(), FileOf({1, 2, 3})) << number;
    }
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("Data")});
}

TEST_F(CallStoreTest, ChangingARecordWritesOnlyItsBytes) {
    const QByteArray before = FileOf({1, 2, 3});
    const struct {
        const char* what;
        std::function<bool()> change;
        int offset;  // in the file
        QByteArray bytes;
    } cases[] = {
        {"read flag", [&] { return SetReadFlag(2, Folder(), QStringLiteral("1")); },
         kCallRecordSize + 146, "1"},
        {"read flag, first character only",
         [&] { return SetReadFlag(3, Folder(), QStringLiteral("10")); }, 2 * kCallRecordSize + 146,
         "1"},
        {"user mark", [&] { return SetUserMark(1, Folder(), QStringLiteral("1")); }, 1, "1"},
        {"whole record", [&] { return WriteCallRecord(Call(7), Folder(), 2); }, kCallRecordSize,
         BytesOf(Call(7))},
    };
    for (const auto& c : cases) {
        WriteIndex(before);
        ASSERT_TRUE(c.change()) << c.what;
        QByteArray expected = before;
        expected.replace(c.offset, c.bytes.size(), c.bytes);
        EXPECT_EQ(ReadIndex(), expected) << c.what;
    }
}

TEST_F(CallStoreTest, DeletesRemoveExactlyTheGivenRecordsInOneRewrite) {
    const struct {
        QByteArray before;
        std::vector<qint32> numbers;
        QByteArray after;
    } cases[] = {
        {FileOf({1, 2, 3}), {1}, FileOf({2, 3})},  // 934 bytes
        {FileOf({1, 2, 3}), {3}, FileOf({1, 2})},  // the last: only cut
        {FileOf({1, 2, 3}), {2}, FileOf({1, 3})},
        {FileOf({1, 2, 3}), {3, 2}, FileOf({1})},  // rows shown newest first
        {FileOf({1, 2, 3, 4, 5}), {4, 2, 4, 1}, FileOf({3, 5})},
        {FileOf({1}), {1}, QByteArray()},
        {FileOf({1, 2}), {}, FileOf({1, 2})},
    };
    for (const auto& c : cases) {
        WriteIndex(c.before);
        ASSERT_TRUE(QFile::setPermissions(Index(),
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        EXPECT_TRUE(DeleteCallRecords(c.numbers, Folder()));
        EXPECT_EQ(ReadIndex(), c.after) << c.numbers.size();
        EXPECT_EQ(QFileInfo(Index()).permissions(), QFile::ReadOwner | QFile::WriteOwner |
                                                        QFile::ReadUser | QFile::WriteUser |
                                                        QFile::ReadGroup);
        EXPECT_EQ(Entries(), QStringList{QStringLiteral("Data")});
    }
    EXPECT_EQ(FileOf({2, 3}).size(), 934);
}

// A file size limit makes the rewrite fail part-way, as a full disk would;
// it holds for root too, unlike folder permissions.
TEST_F(CallStoreTest, ADeleteThatFailsPartWayLeavesTheFileAsItWas) {
    const QByteArray before = FileOf({1, 2, 3, 4, 5, 6});
    WriteIndex(before);
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = saved;
    limit.rlim_cur = 2 * kCallRecordSize;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool deleted = DeleteCallRecord(1, Folder());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(deleted);
    EXPECT_EQ(ReadIndex(), before);
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("Data")});
}

TEST_F(CallStoreTest, ADeleteInAReadOnlyFolderLeavesTheFileAsItWas) {
    // Root writes into read-only folders.
    if (testing::RanAsNobody()) {
        return;
    }
    const QByteArray before = FileOf({1, 2, 3});
    WriteIndex(before);
    QFile::setPermissions(Folder(), QFile::ReadOwner | QFile::ExeOwner);
    const bool deleted = DeleteCallRecord(2, Folder());
    QFile::setPermissions(Folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(deleted);
    EXPECT_EQ(ReadIndex(), before);
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("Data")});
}

TEST_F(CallStoreTest, WhatIsNotARegularFileIsNeitherReadNorWritten) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(Index()).constData(), 0600), 0);
    bool exists = true;
    EXPECT_TRUE(ReadAllCallRecords(Folder(), &exists).empty());  // and does not hang
    EXPECT_FALSE(exists);
    EXPECT_EQ(CallRecordCount(Folder()), 0);
    EXPECT_FALSE(AppendCallRecord(Call(1), Folder()));
    EXPECT_FALSE(DeleteCallRecord(1, Folder()));
}

// "Data" as a link to a file outside the folder, planted before any call:
// no operation of the store goes through it. The outside file keeps every
// byte (a dangling link creates nothing), the link stays as it is, and
// the journal says why.
TEST_F(CallStoreTest, AnIndexThatIsALinkIsNeitherWrittenNorReadThrough) {
    struct Case {
        const char* name;
        std::function<bool(const QString&)> run;  // true: went through
    };
    const Case cases[] = {
        {"append", [](const QString& f) { return AppendCallRecord(Call(9), f); }},
        {"write", [](const QString& f) { return WriteCallRecord(Call(9), f, 1); }},
        {"read flag", [](const QString& f) { return SetReadFlag(1, f, QStringLiteral("1")); }},
        {"user mark", [](const QString& f) { return SetUserMark(1, f, QStringLiteral("1")); }},
        {"delete", [](const QString& f) { return DeleteCallRecord(1, f); }},
        {"read",
         [](const QString& f) {
             CallRecord record;
             bool exists = false;
             const bool any = !ReadAllCallRecords(f, &exists).empty();
             return ReadCallRecord(record, f, 1) || any || exists || CallRecordCount(f) != 0;
         }},
    };
    env_.makeProgramFolders();
    SetJournalSwitches(true, false);
    const QString outside = env_.root() + QStringLiteral("/outside");
    const QByteArray original = FileOf({1, 2});
    for (const Case& c : cases) {
        for (const bool dangling : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (dangling ? " (dangling link)" : ""));
            QFile::remove(outside);
            QFile::remove(Index());
            if (!dangling) {
                QFile file(outside);
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                ASSERT_EQ(file.write(original), original.size());
            }
            ASSERT_TRUE(QFile::link(outside, Index()));
            const qsizetype journalLines =
                ProgramJournal().ReadLogFile(ProgramJournal().systemFileName()).size();

            EXPECT_FALSE(c.run(Folder()));

            QFile file(outside);
            if (dangling) {
                EXPECT_FALSE(file.exists());
            } else {
                ASSERT_TRUE(file.open(QIODevice::ReadOnly));
                EXPECT_TRUE(file.readAll() == original) << "the outside file changed";
            }
            EXPECT_EQ(QFile::symLinkTarget(Index()), outside);
            EXPECT_TRUE(CallIndexRefused(Folder()));
            const QStringList journal =
                ProgramJournal().ReadLogFile(ProgramJournal().systemFileName());
            ASSERT_GT(journal.size(), journalLines) << "no journal line";
            EXPECT_TRUE(journal.back().contains(Index() + QStringLiteral(" is a symbolic link")))
                << journal.back().toStdString();
        }
    }
    SetJournalSwitches(false, false);
    QFile::remove(Index());
    EXPECT_FALSE(CallIndexRefused(Folder()));  // missing is not refused
    WriteIndex(FileOf({1}));
    EXPECT_FALSE(CallIndexRefused(Folder()));
}

// A caller ID is outside text: whatever it holds, the call's file is named
// inside the recordings folder, and discarding it removes just that file.
TEST_F(CallStoreTest, AHostileCallerIdNamesAFileInsideTheFolder) {
    CallRecord record = Call(1);
    record.Set(CallField::CallerName, QStringLiteral("../../etc/passwd"));
    record.Set(CallField::CallerNumber, QString::fromUtf8("..\0/\n..", 7));
    ASSERT_TRUE(AppendCallRecord(record, Folder()));
    const std::vector<CallRecord> all = ReadAllCallRecords(Folder());
    ASSERT_EQ(all.size(), 1u);
    const QString fileName = CallFileName(all[0]);
    QFile wav(Folder() + fileName);
    ASSERT_TRUE(wav.open(QIODevice::WriteOnly)) << fileName.toStdString();
    wav.close();
    QStringList expected = {QStringLiteral("Data"), fileName};
    expected.sort();
    EXPECT_EQ(Entries(), expected);

    EXPECT_TRUE(DiscardCallFile(Folder() + fileName));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("Data")});
}

TEST_F(CallStoreTest, ADiscardedCallGoesToTheTrashOrIsRemoved) {
    const QString wav = Folder() + QStringLiteral("UNKNOWN_UNKNOWN_12-7-2026_10-15-30 AM.wav");
    const struct {
        const char* what;
        QString dataHome;  // where the desktop's trash lives
        bool trashed;
    } cases[] = {
        {"a trash", env_.dataHome(), true},
        {"no trash can be made", env_.root() + QStringLiteral("/file/data"), false},
    };
    env_.writeFile(QStringLiteral("file"), "not a folder");
    for (const auto& c : cases) {
        env_.setVariable("XDG_DATA_HOME", c.dataHome);
        QFile file(wav);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        EXPECT_TRUE(DiscardCallFile(wav)) << c.what;
        EXPECT_FALSE(QFileInfo::exists(wav)) << c.what;
        QStringList inTrash;
        for (QDirIterator it(env_.root(), {QStringLiteral("*.wav")}, QDir::Files,
                             QDirIterator::Subdirectories);
             it.hasNext();) {
            inTrash += it.next();
        }
        EXPECT_EQ(inTrash.size(), c.trashed ? 1 : 0) << c.what << inTrash.join(' ').toStdString();
        EXPECT_TRUE(DiscardCallFile(wav)) << c.what << ": already gone";
        // Nothing lands in the current folder, where Qt puts what finds no trash.
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("files"))) << c.what;
        QDir(env_.dataHome() + QStringLiteral("/Trash")).removeRecursively();
    }
}

}  // namespace
}  // namespace orvane
