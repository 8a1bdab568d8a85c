// Deleting calls takes each call's record and file together, undo brings
// both back, and a crash at any step of either leaves, after the next
// start, every call whole or gone: a record with its file in the folder,
// or no record and its file in the trash with its .trashinfo.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <map>

#include "calls/list/calls_list_model.h"
#include "calls/store/call_deletion.h"
#include "calls/store/call_store.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"

namespace orvane {
namespace {

CallRecord Call(int id) {
    CallRecord record;
    record.Set(CallField::CallKind, QStringLiteral("3"));
    record.Set(CallField::CallerName, QStringLiteral("Caller %1").arg(id));
    record.Set(CallField::CallerNumber, QStringLiteral("555-%1").arg(id));
    record.Set(CallField::CallDate, QStringLiteral("12/7/2026"));
    record.Set(CallField::CallTime, QStringLiteral("2:%1:06 PM").arg(id, 2, 10, QLatin1Char('0')));
    record.Set(CallField::Duration, QStringLiteral("0:00:05"));
    record.Set(CallField::ReadFlag, QStringLiteral("0"));
    return record;
}

QString NameOf(int id) {
    return CallFileName(Call(id));
}

QByteArray Sound(int id) {
    return "RIFF call " + QByteArray::number(id);
}

CallRef Ref(qint32 number, int id) {
    return {number, NameOf(id)};
}

class CallDeletionTest : public ::testing::Test {
  protected:
    QString Folder() const { return env_.root() + QStringLiteral("/recordings/"); }
    QString Trash() const { return env_.dataHome() + QStringLiteral("/Trash"); }

    void SetUp() override { ASSERT_TRUE(QDir().mkpath(Folder())); }
    void TearDown() override { SetCallWorkHookForTesting({}); }

    // Calls `ids`, in this order, each with its file.
    void Store(std::initializer_list<int> ids) const {
        for (int id : ids) {
            ASSERT_TRUE(AppendCallRecord(Call(id), Folder()));
            env_.writeFile(QStringLiteral("recordings/") + NameOf(id), Sound(id));
        }
    }
    std::vector<int> IdsInIndex() const {
        std::vector<int> ids;
        for (const CallRecord& record : ReadAllCallRecords(Folder())) {
            ids.push_back(record.Get(CallField::CallerName).mid(7).toInt());
        }
        return ids;
    }
    QStringList WavesInFolder() const {
        return QDir(Folder()).entryList({QStringLiteral("*.wav")}, QDir::Files, QDir::Name);
    }
    // The trash's files by content, each checked to have its .trashinfo
    // naming the file's place in the folder.
    std::map<QByteArray, QString> TrashedSounds() const {
        std::map<QByteArray, QString> sounds;
        const QStringList files = QDir(Trash() + "/files").entryList(QDir::Files);
        for (const QString& name : files) {
            QFile file(Trash() + "/files/" + name);
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            const QByteArray content = file.readAll();
            QFile info(Trash() + "/info/" + name + ".trashinfo");
            EXPECT_TRUE(info.open(QIODevice::ReadOnly)) << name.toStdString();
            const QByteArray text = info.readAll();
            const qsizetype at = text.indexOf("Path=");
            const QString path = QFile::decodeName(
                QByteArray::fromPercentEncoding(text.mid(at + 5, text.indexOf('\n', at) - at - 5)));
            sounds[content] = path;
        }
        // No .trashinfo without its file.
        for (const QString& info : QDir(Trash() + "/info").entryList(QDir::Files)) {
            EXPECT_TRUE(QFileInfo::exists(Trash() + "/files/" + info.chopped(10)))
                << info.toStdString();
        }
        return sounds;
    }
    // Every call of `kept` has its record and its file in the folder, in
    // file order; every call of `gone` has neither, its file in the trash;
    // no work is pending.
    void ExpectWholeOrGone(const std::vector<int>& kept, const std::vector<int>& gone) const {
        EXPECT_EQ(IdsInIndex(), kept);
        QStringList waves;
        for (int id : kept) {
            waves << NameOf(id);
        }
        waves.sort();
        EXPECT_EQ(WavesInFolder(), waves);
        const std::map<QByteArray, QString> trashed = TrashedSounds();
        EXPECT_EQ(trashed.size(), gone.size());
        for (int id : gone) {
            const auto found = trashed.find(Sound(id));
            ASSERT_NE(found, trashed.end()) << id;
            EXPECT_EQ(found->second, QDir::cleanPath(Folder() + NameOf(id)));
        }
        EXPECT_FALSE(QFileInfo::exists(PendingCallWorkFile(Folder())));
    }

    testing::TestEnvironment env_;
};

TEST_F(CallDeletionTest, RecordsAndFilesGoTogetherAndComeBackTogether) {
    Store({1, 2, 3, 4, 5});
    std::vector<int> progress;
    const std::optional<DeletedCalls> deleted =
        DeleteCalls({Ref(4, 4), Ref(2, 2)}, Folder(), [&](int at) { progress.push_back(at); });
    ASSERT_TRUE(deleted.has_value());
    EXPECT_EQ(progress, (std::vector<int>{1, 2}));
    ASSERT_EQ(deleted->calls.size(), 2u);
    EXPECT_EQ(deleted->calls[0].number, 2);
    EXPECT_EQ(deleted->calls[1].number, 4);
    EXPECT_TRUE(deleted->calls[0].hadFile);
    ExpectWholeOrGone({1, 3, 5}, {2, 4});

    // A call stored meanwhile stays after the calls that come back.
    Store({6});
    const RestoredCalls restored = RestoreCalls(*deleted);
    EXPECT_TRUE(restored.ok);
    EXPECT_EQ(restored.lost, 0);
    EXPECT_EQ(restored.calls, (std::vector<CallRef>{Ref(2, 2), Ref(4, 4)}));
    ExpectWholeOrGone({1, 2, 3, 4, 5, 6}, {});
    QFile wave(Folder() + NameOf(4));
    ASSERT_TRUE(wave.open(QIODevice::ReadOnly));
    EXPECT_EQ(wave.readAll(), Sound(4));
}

TEST_F(CallDeletionTest, CallsOutOfStepWithTheFileDeleteNothing) {
    Store({1, 2, 3});
    EXPECT_FALSE(DeleteCalls({Ref(2, 3)}, Folder()));             // record 2 is call 2
    EXPECT_FALSE(DeleteCalls({Ref(1, 1), Ref(4, 4)}, Folder()));  // no record 4
    EXPECT_FALSE(DeleteCalls({Ref(1, 1), {1, NameOf(2)}}, Folder()));
    ExpectWholeOrGone({1, 2, 3}, {});
    EXPECT_TRUE(DeleteCalls({}, Folder()).has_value());
    EXPECT_FALSE(DeleteCalls({Ref(1, 1)}, QString()));
}

// The file of a call deleted before may be gone from the trash (emptied)
// or back in the folder (restored by hand): the first stays deleted, the
// second gets its record back, and a call that had no file comes back too.
TEST_F(CallDeletionTest, UndoBringsBackWhatItCanAndCountsTheRest) {
    Store({1, 2, 3, 4});
    QFile::remove(Folder() + NameOf(4));
    const std::optional<DeletedCalls> deleted =
        DeleteCalls({Ref(1, 1), Ref(2, 2), Ref(3, 3), Ref(4, 4)}, Folder());
    ASSERT_TRUE(deleted.has_value());
    EXPECT_FALSE(deleted->calls[3].hadFile);
    ExpectWholeOrGone({}, {1, 2, 3});
    ASSERT_TRUE(QFile::remove(deleted->calls[0].trash.file));  // emptied
    ASSERT_TRUE(QFile::remove(deleted->calls[0].trash.info));
    ASSERT_TRUE(QFile::rename(deleted->calls[1].trash.file, Folder() + NameOf(2)));  // by hand
    ASSERT_TRUE(QFile::remove(deleted->calls[1].trash.info));

    const RestoredCalls restored = RestoreCalls(*deleted);
    EXPECT_TRUE(restored.ok);
    EXPECT_EQ(restored.lost, 1);
    EXPECT_EQ(restored.calls, (std::vector<CallRef>{Ref(1, 2), Ref(2, 3), Ref(3, 4)}));
    EXPECT_EQ(IdsInIndex(), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(WavesInFolder(), QStringList({NameOf(2), NameOf(3)}));
    EXPECT_TRUE(TrashedSounds().empty());
}

// A crash at each step of a delete, simulated by stopping there; the next
// start (the list's first reading of the folder) finishes or drops it.
TEST_F(CallDeletionTest, ADeleteCutShortAtAnyStepIsFinishedOrDroppedAtTheNextStart) {
    const struct {
        const char* what;
        CallWorkStep step;
        int filesMoved;
        bool recordsGone;
    } cases[] = {
        {"before the index", CallWorkStep::kPendingWritten, 0, false},
        {"after the index", CallWorkStep::kIndexRewritten, 0, true},
        {"after one file", CallWorkStep::kFileMoved, 1, true},
        {"after every file", CallWorkStep::kFileMoved, 3, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(Folder()).removeRecursively();
        QDir(Trash()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(Folder()));
        Store({1, 2, 3, 4, 5});
        SetCallWorkHookForTesting(
            [&](CallWorkStep step, int moved) { return step == c.step && moved == c.filesMoved; });
        EXPECT_FALSE(DeleteCalls({Ref(1, 1), Ref(3, 3), Ref(5, 5)}, Folder()).has_value());
        SetCallWorkHookForTesting({});
        EXPECT_TRUE(QFileInfo::exists(PendingCallWorkFile(Folder())));

        EXPECT_TRUE(FinishInterruptedCallWork(Folder()));
        if (c.recordsGone) {
            ExpectWholeOrGone({2, 4}, {1, 3, 5});
        } else {
            ExpectWholeOrGone({1, 2, 3, 4, 5}, {});
        }
        EXPECT_FALSE(FinishInterruptedCallWork(Folder()));  // nothing left to do
    }
}

// What the testers saw: the crash came between a file's .trashinfo and its
// move, leaving the .trashinfo without its file and the file in the folder.
TEST_F(CallDeletionTest, AnInfoLeftWithoutItsFileIsRemovedAndTheFileTrashedProperly) {
    Store({1, 2});
    SetCallWorkHookForTesting(
        [](CallWorkStep step, int) { return step == CallWorkStep::kIndexRewritten; });
    EXPECT_FALSE(DeleteCalls({Ref(2, 2)}, Folder()).has_value());
    SetCallWorkHookForTesting({});
    const QString wave = QDir::cleanPath(Folder() + NameOf(2));
    env_.writeFile("data/Trash/info/" + NameOf(2) + ".trashinfo",
                   "[Trash Info]\nPath=" + QFile::encodeName(wave).toPercentEncoding("/") +
                       "\nDeletionDate=2026-12-07T14:48:26\n");
    ASSERT_TRUE(QDir().mkpath(Trash() + "/files"));

    // The list's first reading of the folder finishes the work.
    CallsListModel list(FileCallStore());
    list.CreateCallsList(Folder());
    EXPECT_EQ(list.rowCount(), 1);
    ExpectWholeOrGone({1}, {2});
}

TEST_F(CallDeletionTest, ATornOrForeignPendingFileIsDroppedAndChangesNothing) {
    Store({1, 2});
    for (const QByteArray& text :
         {QByteArray("orvane pending calls 1\ndelete\n1 abc Caller"),  // cut short
          QByteArray("something else\n"), QByteArray()}) {
        env_.writeFile(QStringLiteral("recordings/Data.pending"), text);
        EXPECT_TRUE(FinishInterruptedCallWork(Folder()));
        ExpectWholeOrGone({1, 2}, {});
    }
}

// The pending file lies in the recordings folder: one written by someone
// else never moves, trashes or removes a file outside the folder.
TEST_F(CallDeletionTest, APlantedPendingFileReachesNothingOutsideTheFolder) {
    Store({1});
    const QString victim = env_.writeFile(QStringLiteral("victim.txt"), "keep me");
    const QByteArray digest =
        QCryptographicHash::hash(QByteArrayView(Call(1).Bytes().data(), kCallRecordSize),
                                 QCryptographicHash::Sha1)
            .toHex();
    const QByteArray name = NameOf(1).toUtf8().toPercentEncoding();
    const QByteArray outside = victim.toUtf8().toPercentEncoding();
    const QByteArray missing = (env_.root() + QStringLiteral("/none")).toUtf8().toPercentEncoding();
    const struct {
        const char* label;
        QByteArray line;
        bool withoutWave;
    } cases[] = {
        // Undo whose "file" is gone: its "info" would be removed.
        {"InfoOutsideTheTrash", "restore\n1 " + digest + ' ' + name + ' ' + missing + ' ' + outside,
         false},
        // Undo whose "file" is any file: it would move into the folder.
        {"FileOutsideTheTrash", "restore\n1 " + digest + ' ' + name + ' ' + outside + ' ' + missing,
         true},
        // Delete naming a file beside the folder.
        {"NameLeadingOut", "delete\n1 0 ..%2Fvictim.txt", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.withoutWave) {
            QFile::remove(Folder() + NameOf(1));
        }
        env_.writeFile(QStringLiteral("recordings/Data.pending"),
                       "orvane pending calls 1\n" + c.line + "\nend\n");
        FinishInterruptedCallWork(Folder());
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), "keep me");
        EXPECT_FALSE(QFileInfo::exists(PendingCallWorkFile(Folder())));
        env_.writeFile(QStringLiteral("recordings/") + NameOf(1), Sound(1));
    }
}

TEST_F(CallDeletionTest, AnUndoCutShortAtAnyStepIsFinishedOrDroppedAtTheNextStart) {
    const struct {
        const char* what;
        CallWorkStep step;
        int filesMoved;
        bool recordsBack;
    } cases[] = {
        {"before the index", CallWorkStep::kPendingWritten, 0, false},
        {"after the index", CallWorkStep::kIndexRewritten, 0, true},
        {"after one file", CallWorkStep::kFileMoved, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(Folder()).removeRecursively();
        QDir(Trash()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(Folder()));
        Store({1, 2, 3});
        const std::optional<DeletedCalls> deleted = DeleteCalls({Ref(1, 1), Ref(3, 3)}, Folder());
        ASSERT_TRUE(deleted.has_value());
        SetCallWorkHookForTesting(
            [&](CallWorkStep step, int moved) { return step == c.step && moved == c.filesMoved; });
        RestoreCalls(*deleted);
        SetCallWorkHookForTesting({});
        EXPECT_TRUE(FinishInterruptedCallWork(Folder()));
        if (c.recordsBack) {
            ExpectWholeOrGone({1, 2, 3}, {});
        } else {
            ExpectWholeOrGone({2}, {1, 3});
        }
    }
}

// One real crash: a process killed by SIGKILL in the middle of moving the
// files, at a fixed point.
TEST_F(CallDeletionTest, AProcessKilledWhileMovingTheFilesLeavesNothingBehind) {
    Store({1, 2, 3, 4, 5, 6});
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SetCallWorkHookForTesting([](CallWorkStep step, int moved) {
            if (step == CallWorkStep::kFileMoved && moved == 2) {
                ::raise(SIGKILL);
            }
            return false;
        });
        DeleteCalls({Ref(2, 2), Ref(3, 3), Ref(4, 4), Ref(6, 6)}, Folder());
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
    EXPECT_EQ(IdsInIndex(), (std::vector<int>{1, 5}));
    EXPECT_EQ(WavesInFolder().size(), 4);  // two calls' files left behind

    EXPECT_TRUE(FinishInterruptedCallWork(Folder()));
    ExpectWholeOrGone({1, 5}, {2, 3, 4, 6});
}

// The list's Delete and Undo on the real store.
TEST_F(CallDeletionTest, TheListUndoesItsLastDeletesNewestFirst) {
    Store({1, 2, 3, 4});
    CallsListModel list(FileCallStore());
    std::vector<bool> available;
    QObject::connect(&list, &CallsListModel::UndoDeleteAvailable,
                     [&](bool on) { available.push_back(on); });
    list.CreateCallsList(Folder());
    EXPECT_FALSE(list.CanUndoDelete());
    ASSERT_TRUE(list.DeleteSelectedCalls({1}));     // call 2
    ASSERT_TRUE(list.DeleteSelectedCalls({0, 2}));  // calls 1 and 4
    ExpectWholeOrGone({3}, {1, 2, 4});
    EXPECT_EQ(list.rowCount(), 1);

    std::optional<RestoredCalls> restored = list.UndoDelete();
    ASSERT_TRUE(restored.has_value());
    EXPECT_EQ(restored->calls, (std::vector<CallRef>{Ref(1, 1), Ref(3, 4)}));
    EXPECT_EQ(list.rowCount(), 3);
    ExpectWholeOrGone({1, 3, 4}, {2});
    restored = list.UndoDelete();
    ASSERT_TRUE(restored.has_value());
    ExpectWholeOrGone({1, 2, 3, 4}, {});
    EXPECT_EQ(list.rowCount(), 4);
    EXPECT_EQ(list.RowOf(Ref(2, 2)), 1);
    EXPECT_FALSE(list.UndoDelete().has_value());
    EXPECT_EQ(available, (std::vector<bool>{true, false}));

    // Calls removed meanwhile by someone else (the retention rules) leave
    // the deletes undoable, each call back between its neighbours.
    Store({5, 6, 7, 8});  // the index: 1 2 3 4 5 6 7 8
    list.CreateCallsList(Folder());
    ASSERT_TRUE(list.DeleteCalls({Ref(6, 6)}));
    ASSERT_TRUE(list.DeleteCalls({Ref(2, 2), Ref(6, 7)}));
    ASSERT_TRUE(list.Store().Delete({Ref(1, 1), Ref(3, 4)}));  // 1 and 4 by the rules
    EXPECT_EQ(IdsInIndex(), (std::vector<int>{3, 5, 8}));
    ASSERT_TRUE(list.UndoDelete()->ok);
    EXPECT_EQ(IdsInIndex(), (std::vector<int>{2, 3, 5, 7, 8}));
    ASSERT_TRUE(list.UndoDelete()->ok);
    EXPECT_EQ(IdsInIndex(), (std::vector<int>{2, 3, 5, 6, 7, 8}));
    EXPECT_EQ(list.rowCount(), 6);

    // Another folder forgets the deletes of this one.
    ASSERT_TRUE(list.DeleteSelectedCalls({0}));
    EXPECT_TRUE(list.CanUndoDelete());
    list.CreateCallsList(env_.root() + QStringLiteral("/elsewhere/"));
    EXPECT_FALSE(list.CanUndoDelete());
}

}  // namespace
}  // namespace orvane
