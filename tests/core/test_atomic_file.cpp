// Replacing a file whole: the new file has its contents and permission
// bits, a link at the name is replaced and never followed, and a failed
// write (a full disk, a writer that gives up) leaves the old file as it was
// and no temporary behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "core/atomic_file.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"

namespace orvane {
namespace {

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

unsigned int Bits(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(AtomicFileTest, ReplacesWhollyOrLeavesTheOldFile) {
    enum class Before { kNone, kFile, kLink };
    const QByteArray big(20000, 'n');
    const struct {
        const char* name;
        Before before;
        NewFileMode mode;
        QByteArray content;
        bool fullDisk;
        int writerError;  // the writer gives up with this errno
        int result;
        QByteArray after;
        unsigned int bits;
    } cases[] = {
        {"new file", Before::kNone, {0600, false}, "new", false, 0, 0, "new", 0600},
        {"keeps the old bits", Before::kFile, {0600, true}, "new", false, 0, 0, "new", 0640},
        {"sets the bits", Before::kFile, {0604, false}, "new", false, 0, 0, "new", 0604},
        {"new file, kept bits", Before::kNone, {0644, true}, "new", false, 0, 0, "new", 0644},
        {"a link is replaced", Before::kLink, {0600, true}, "new", false, 0, 0, "new", 0600},
        {"full disk", Before::kFile, {0600, false}, big, true, 0, EFBIG, "old", 0640},
        {"writer gives up",
         Before::kFile,
         {0600, false},
         "new",
         false,
         ENOSPC,
         ENOSPC,
         "old",
         0640},
        {"writer gives up silently",
         Before::kNone,
         {0600, false},
         "",
         false,
         -1,
         EIO,
         "<missing>",
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TestEnvironment env;
        const QString outside = env.writeFile("outside/secret", "secret");
        const QString folder = env.root() + QStringLiteral("/folder");
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString target = folder + QStringLiteral("/file");
        if (c.before == Before::kFile) {
            env.writeFile("folder/file", "old");
            ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner |
                                                          QFile::ReadUser | QFile::WriteUser |
                                                          QFile::ReadGroup));
        } else if (c.before == Before::kLink) {
            ASSERT_TRUE(QFile::link(outside, target));
        }
        int result = 0;
        {
            testing::FileSizeLimit limit(c.fullDisk ? 4096 : RLIM_INFINITY);
            result = c.writerError == 0 ? ReplaceFileContent(target, c.content, c.mode)
                                        : ReplaceFileWith(target, c.mode, [&c](int) {
                                              errno = c.writerError < 0 ? 0 : c.writerError;
                                              return false;
                                          });
        }
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(Read(target), c.after);
        EXPECT_EQ(Bits(target), c.bits);
        EXPECT_FALSE(QFileInfo(target).isSymLink());
        EXPECT_EQ(Read(outside), "secret");
        const QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
        EXPECT_EQ(left, c.after == "<missing>" ? QStringList() : QStringList{"file"});
    }
}

// A copy refuses a link or a FIFO as its source, and copies a file onto
// itself without harm.
TEST(AtomicFileTest, CopiesOnlyARegularFile) {
    testing::TestEnvironment env;
    const QString source = env.writeFile("in/source.txt", "line\r\n");
    const QString link = env.root() + QStringLiteral("/in/link.txt");
    ASSERT_TRUE(QFile::link(source, link));
    const QString fifo = env.root() + QStringLiteral("/in/fifo.txt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString target = env.root() + QStringLiteral("/in/copy.txt");
    const struct {
        QString from;
        QString to;
        bool ok;
        QByteArray after;
    } cases[] = {
        {link, target, false, "<missing>"},
        {fifo, target, false, "<missing>"},  // and does not hang
        {source, source, true, "line\r\n"},
        {source, target, true, "line\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from.toStdString());
        const CopyResult result = CopyFileUnchanged(c.from, c.to);
        EXPECT_EQ(result.ok, c.ok);
        EXPECT_EQ(result.error.startsWith(c.from + QStringLiteral(": ")), !c.ok);
        EXPECT_EQ(Read(c.to), c.after);
    }
    EXPECT_EQ(Read(source), "line\r\n");
}

// A copy made as a new file never takes the place of what is at the name:
// a file, a link planted there (not followed) or a folder.
TEST(AtomicFileTest, ACopyToANewFileLeavesATakenNameAsItIs) {
    testing::TestEnvironment env;
    const QString source = env.writeFile("in/source.wav", "new");
    const QString victim = env.writeFile("elsewhere/victim.wav", "victim");
    const QString out = env.root() + QStringLiteral("/out/");
    env.writeFile("out/file.wav", "old");
    ASSERT_TRUE(QFile::link(victim, out + QStringLiteral("link.wav")));
    ASSERT_TRUE(QDir().mkpath(out + QStringLiteral("folder.wav")));
    const struct {
        const char* name;
        bool ok;
        QByteArray after;
    } cases[] = {
        {"free.wav", true, "new"},
        {"file.wav", false, "old"},
        {"link.wav", false, "victim"},
        {"folder.wav", false, "<missing>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool taken = !c.ok;
        const CopyResult result = CopyFileToNew(source, out + QLatin1String(c.name), &taken);
        EXPECT_EQ(result.ok, c.ok) << result.error.toStdString();
        EXPECT_EQ(taken, !c.ok);
        EXPECT_EQ(Read(out + QLatin1String(c.name)), c.after);
    }
    EXPECT_TRUE(QFileInfo(out + QStringLiteral("link.wav")).isSymLink());
    EXPECT_EQ(Read(victim), "victim");
    // Nothing left behind but what was there and the one copy.
    EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size(),
              4);
}

}  // namespace
}  // namespace orvane
