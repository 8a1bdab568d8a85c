// The desktop's trash: files go there with a .trashinfo that names them,
// under names no other entry has, come back only to a free place, and the
// .trashinfo a crash leaves without its file is found and removed.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/trash.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"

namespace orvane {
namespace {

class TrashTest : public ::testing::Test {
  protected:
    QString Trash() const { return env_.dataHome() + QStringLiteral("/Trash"); }
    QString Folder() const { return env_.root() + QStringLiteral("/recordings"); }
    QString Make(const QString& name, const QByteArray& content) const {
        return env_.writeFile(QStringLiteral("recordings/") + name, content);
    }
    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QStringList InTrash(const char* sub) const {
        return QDir(Trash() + QLatin1Char('/') + QLatin1String(sub))
            .entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    testing::TestEnvironment env_;
};

TEST_F(TrashTest, AFileGoesWithAnInfoThatNamesItAndComesBack) {
    const QString name = QStringLiteral("Ann Example_555 1234_12-7-2026_4-34-54 PM.wav");
    const QString path = Make(name, "first");
    TrashEntry entry;
    ASSERT_EQ(MoveToTrash(path, &entry), TrashOutcome::kTrashed);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(entry.original, path);
    EXPECT_EQ(entry.file, Trash() + "/files/" + name);
    EXPECT_EQ(entry.info, Trash() + "/info/" + name + ".trashinfo");
    EXPECT_EQ(Read(entry.file), "first");
    const QList<QByteArray> info = Read(entry.info).split('\n');
    ASSERT_GE(info.size(), 3);
    EXPECT_EQ(info[0], "[Trash Info]");
    // The path escaped as in URLs, the date in local time without a zone.
    EXPECT_EQ(info[1], "Path=" + QFile::encodeName(path).toPercentEncoding("/"));
    EXPECT_TRUE(info[1].contains("%20"));
    ASSERT_TRUE(info[2].startsWith("DeletionDate="));
    const QDateTime when = QDateTime::fromString(QString::fromLatin1(info[2].mid(13)), Qt::ISODate);
    EXPECT_LE(qAbs(when.secsTo(QDateTime::currentDateTime())), 60);

    // A second file of the same name gets a name of its own.
    const QString again = Make(name, "second");
    TrashEntry second;
    ASSERT_EQ(MoveToTrash(again, &second), TrashOutcome::kTrashed);
    EXPECT_EQ(QFileInfo(second.file).fileName(), "Ann Example_555 1234_12-7-2026_4-34-54 PM.2.wav");
    EXPECT_EQ(InTrash("files").size(), 2);
    EXPECT_EQ(InTrash("info").size(), 2);

    // Back only to a free place: the first waits while the second is there.
    ASSERT_TRUE(RestoreFromTrash(second));
    EXPECT_EQ(Read(path), "second");
    EXPECT_FALSE(RestoreFromTrash(entry));
    EXPECT_EQ(Read(path), "second");
    EXPECT_EQ(Read(entry.file), "first");
    QFile::remove(path);
    ASSERT_TRUE(RestoreFromTrash(entry));
    EXPECT_EQ(Read(path), "first");
    EXPECT_TRUE(InTrash("files").isEmpty());
    EXPECT_TRUE(InTrash("info").isEmpty());
    EXPECT_FALSE(RestoreFromTrash(entry));  // no longer in the trash

    EXPECT_EQ(MoveToTrash(Folder() + "/not there.wav"), TrashOutcome::kAbsent);
}

TEST_F(TrashTest, WithoutATrashTheFileIsRemoved) {
    env_.writeFile(QStringLiteral("file"), "not a folder");
    env_.setVariable("XDG_DATA_HOME", env_.root() + QStringLiteral("/file/data"));
    const QString path = Make(QStringLiteral("call.wav"), "x");
    TrashEntry entry;
    EXPECT_EQ(MoveToTrash(path, &entry), TrashOutcome::kRemoved);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_TRUE(entry.IsEmpty());
}

// A crash between writing the .trashinfo and moving the file leaves the
// .trashinfo alone; it is told from a whole entry and from others' entries.
TEST_F(TrashTest, AnInfoWithoutItsFileIsRemovedAndNothingElse) {
    const QString path = Make(QStringLiteral("call.wav"), "x");
    const QString other = Make(QStringLiteral("call other.wav"), "y");
    TrashEntry whole;
    ASSERT_EQ(MoveToTrash(other, &whole), TrashOutcome::kTrashed);
    const QByteArray named =
        "[Trash Info]\nPath=" + QFile::encodeName(path).toPercentEncoding("/") +
        "\nDeletionDate=2026-12-07T14:46:06\n";
    env_.writeFile(QStringLiteral("data/Trash/info/call.wav.trashinfo"), named);
    env_.writeFile(QStringLiteral("data/Trash/info/call.3.wav.trashinfo"), named);
    // Someone else's entry of the same name whose file is there stays.
    env_.writeFile(QStringLiteral("data/Trash/info/call.4.wav.trashinfo"), named);
    env_.writeFile(QStringLiteral("data/Trash/files/call.4.wav"), "z");
    // And an entry of another file without its file is not ours to remove.
    env_.writeFile(QStringLiteral("data/Trash/info/call.5.wav.trashinfo"),
                   "[Trash Info]\nPath=/elsewhere/call.wav\n");

    EXPECT_EQ(RemoveOrphanedTrashInfo({path}), 2);
    EXPECT_EQ(InTrash("info"), QStringList({"call other.wav.trashinfo", "call.4.wav.trashinfo",
                                            "call.5.wav.trashinfo"}));
    EXPECT_EQ(RemoveOrphanedTrashInfo({path}), 0);
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(TrashFoldersFor(path), QStringList{Trash()});
}

}  // namespace
}  // namespace orvane
