#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>

#include "core/paths.h"
#include "settings/store/registry_store.h"
#include "tests/support/qt_printers.h"
#include "tests/support/run_as_nobody.h"
#include "tests/support/test_environment.h"

namespace orvane {
namespace {

const QString kKey = QStringLiteral("SOFTWARE\\Quenzo\\Orvane 1.1\\Properties\\TabLog");

RegValue Text(const QString& name, const QString& text) {
    return {name, kRegSz, EncodeRegString(text)};
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

class RegistryStoreTest : public ::testing::Test {
  protected:
    QString HiveFile() const { return HivePath(kHkeyLocalMachine); }

    // The value as text, or "<code>" when it cannot be read.
    static QString Read(RegistryStore& store, const QString& name, const QString& key = kKey) {
        quint32 type = 0;
        quint32 size = 1 << 20;
        QByteArray data;
        const qint32 code = store.QueryValue(key, name, &type, &data, &size);
        return code == kErrorSuccess ? DecodeRegString(data) : QStringLiteral("<%1>").arg(code);
    }

    testing::TestEnvironment env_;
    RegistryStore store_{kHkeyLocalMachine, HivePath(kHkeyLocalMachine)};
};

TEST_F(RegistryStoreTest, MissingKeysAndValuesAreNotFoundAndNothingIsMadeForThem) {
    EXPECT_EQ(Read(store_, QStringLiteral("chkLogSys")), QStringLiteral("<2>"));
    EXPECT_EQ(store_.SetValue(kKey, Text(QStringLiteral("chkLogSys"), QStringLiteral("1"))),
              kErrorFileNotFound);
    EXPECT_FALSE(QFileInfo::exists(paths::ConfigFolder()));  // not even the folder

    ASSERT_EQ(store_.CreateKey(QStringLiteral("SOFTWARE\\Quenzo")), kErrorSuccess);
    const QByteArray before = ReadFile(HiveFile());
    EXPECT_EQ(store_.SetValue(kKey, Text(QStringLiteral("chkLogSys"), QStringLiteral("1"))),
              kErrorFileNotFound);
    EXPECT_EQ(store_.DeleteValue(QStringLiteral("SOFTWARE\\Quenzo"), QStringLiteral("x")),
              kErrorFileNotFound);
    EXPECT_EQ(store_.DeleteKey(kKey), kErrorFileNotFound);
    EXPECT_EQ(ReadFile(HiveFile()), before);
    EXPECT_FALSE(store_.KeyExists(kKey));
}

TEST_F(RegistryStoreTest, InstallerMakesAPrivateFolderAndFile) {
    bool created = false;
    ASSERT_EQ(store_.CreateKey(kKey, &created), kErrorSuccess);
    EXPECT_TRUE(created);
    ASSERT_EQ(store_.CreateKey(kKey.toLower(), &created), kErrorSuccess);
    EXPECT_FALSE(created);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(paths::ConfigFolder()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(QFile::encodeName(HiveFile()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_TRUE(store_.KeyExists(QStringLiteral("software\\QUENZO\\orvane 1.1\\")));
    EXPECT_EQ(store_.CreateKey(QStringLiteral("SOFTWARE\\bad\tname")), kErrorInvalidParameter);
}

TEST_F(RegistryStoreTest, QueryTellsTheSizeWhenTheBufferIsTooSmall) {
    ASSERT_EQ(store_.CreateKey(kKey), kErrorSuccess);
    const QString big(1500, QLatin1Char('x'));
    ASSERT_EQ(store_.SetValue(kKey, Text(QStringLiteral("Big"), big)), kErrorSuccess);

    quint32 type = 0;
    quint32 size = 1024;
    QByteArray data("untouched");
    EXPECT_EQ(store_.QueryValue(kKey, QStringLiteral("big"), &type, &data, &size), kErrorMoreData);
    EXPECT_EQ(size, 3002u);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(data, QByteArray("untouched"));
    EXPECT_EQ(store_.QueryValue(kKey, QStringLiteral("big"), &type, &data, &size), kErrorSuccess);
    EXPECT_EQ(DecodeRegString(data), big);
}

TEST_F(RegistryStoreTest, AWriteByAnotherProcessIsSeenAndNotLost) {
    RegistryStore other(kHkeyLocalMachine, HiveFile());
    ASSERT_EQ(store_.CreateKey(kKey), kErrorSuccess);
    EXPECT_TRUE(other.KeyExists(kKey));

    ASSERT_EQ(store_.SetValue(kKey, Text(QStringLiteral("a"), QStringLiteral("1"))), kErrorSuccess);
    EXPECT_EQ(Read(other, QStringLiteral("a")), QStringLiteral("1"));
    ASSERT_EQ(other.SetValue(kKey, Text(QStringLiteral("b"), QStringLiteral("2"))), kErrorSuccess);
    // store_ has not read since; its write must still keep "b".
    ASSERT_EQ(store_.SetValue(kKey, Text(QStringLiteral("c"), QStringLiteral("3"))), kErrorSuccess);
    EXPECT_EQ(Read(other, QStringLiteral("b")), QStringLiteral("2"));
    EXPECT_EQ(Read(other, QStringLiteral("c")), QStringLiteral("3"));
    EXPECT_EQ(Read(store_, QStringLiteral("b")), QStringLiteral("2"));
    // Replacing a value reaches the file too.
    ASSERT_EQ(store_.SetValue(kKey, Text(QStringLiteral("A"), QStringLiteral("4"))), kErrorSuccess);
    EXPECT_EQ(Read(other, QStringLiteral("a")), QStringLiteral("4"));
}

TEST_F(RegistryStoreTest, AnEditInPlaceOfTheSameSizeIsSeen) {
    ASSERT_EQ(store_.CreateKey(kKey), kErrorSuccess);
    ASSERT_EQ(store_.SetValue(kKey, Text(QStringLiteral("v"), QStringLiteral("1"))), kErrorSuccess);
    EXPECT_EQ(Read(store_, QStringLiteral("v")), QStringLiteral("1"));
    QByteArray content = ReadFile(HiveFile());
    content.replace("\"v\"=\"1\"", "\"v\"=\"2\"");
    // Same inode, same size, and most likely the same time stamp.
    WriteFile(HiveFile(), content);
    EXPECT_EQ(Read(store_, QStringLiteral("v")), QStringLiteral("2"));
}

TEST_F(RegistryStoreTest, AFailedWriteLeavesTheOldFile) {
    ASSERT_EQ(store_.CreateKey(kKey), kErrorSuccess);
    ASSERT_EQ(store_.SetValue(kKey, Text(QStringLiteral("v"), QStringLiteral("old"))),
              kErrorSuccess);
    const QByteArray before = ReadFile(HiveFile());

    // A file size limit makes the new file fail part-way, as a full disk
    // would; it holds for root too, unlike folder permissions.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = saved;
    limit.rlim_cur = static_cast<rlim_t>(before.size()) + 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const qint32 code =
        store_.SetValue(kKey, Text(QStringLiteral("v"), QString(4000, QLatin1Char('n'))));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(code, kErrorCantWrite);
    EXPECT_EQ(ReadFile(HiveFile()), before);
    EXPECT_EQ(Read(store_, QStringLiteral("v")), QStringLiteral("old"));
    EXPECT_EQ(QDir(paths::ConfigFolder()).entryList(QDir::Files),
              QStringList{QStringLiteral("HKEY_LOCAL_MACHINE.reg")});
}

// A writer killed mid-save (here by its file size limit, as a SIGKILL would)
// leaves at most a temporary named after it, which the next save removes;
// a running writer's temporary and other files stay.
TEST_F(RegistryStoreTest, AWriterKilledMidSaveLeavesNoTemporaryAfterTheNextSave) {
    ASSERT_EQ(store_.CreateKey(kKey), kErrorSuccess);
    ASSERT_EQ(store_.SetValue(kKey, Text(QStringLiteral("v"), QStringLiteral("old"))),
              kErrorSuccess);
    const qint64 size = QFileInfo(HiveFile()).size();
    const pid_t writer = ::fork();
    if (writer == 0) {
        struct rlimit limit {
            static_cast<rlim_t>(size) + 100, static_cast<rlim_t>(size) + 100
        };
        struct rlimit noCore {};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_DFL);
        RegistryStore child(kHkeyLocalMachine, HivePath(kHkeyLocalMachine));
        child.SetValue(kKey, Text(QStringLiteral("v"), QString(4000, QLatin1Char('n'))));
        ::_exit(0);
    }
    ASSERT_GT(writer, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(writer, &status, 0), writer);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;

    // The same for the file systems without unnamed files: a named one.
    const QString dead = HiveFile() + QStringLiteral(".tmp-%1-AbC123").arg(writer);
    const QString running = HiveFile() + QStringLiteral(".tmp-%1-AbC123").arg(::getppid());
    const QString usersCopy = HiveFile() + QStringLiteral(".backup");
    for (const QString& path : {dead, running, usersCopy}) {
        WriteFile(path, "x");
    }
    EXPECT_EQ(Read(store_, QStringLiteral("v")), QStringLiteral("old"));
    ASSERT_EQ(store_.SetValue(kKey, Text(QStringLiteral("v"), QStringLiteral("new"))),
              kErrorSuccess);
    EXPECT_EQ(Read(store_, QStringLiteral("v")), QStringLiteral("new"));
    QStringList expected = {QFileInfo(HiveFile()).fileName(), QFileInfo(running).fileName(),
                            QFileInfo(usersCopy).fileName()};
    expected.sort();
    EXPECT_EQ(QDir(paths::ConfigFolder()).entryList(QDir::Files, QDir::Name), expected);
}

TEST_F(RegistryStoreTest, AReadOnlyFolderRefusesTheWriteAndKeepsTheFile) {
    // Root writes into read-only folders.
    if (testing::RanAsNobody()) {
        return;
    }
    ASSERT_EQ(store_.CreateKey(kKey), kErrorSuccess);
    const QByteArray before = ReadFile(HiveFile());
    QFile::setPermissions(paths::ConfigFolder(), QFile::ReadOwner | QFile::ExeOwner);
    const qint32 code = store_.SetValue(kKey, Text(QStringLiteral("v"), QStringLiteral("1")));
    QFile::setPermissions(paths::ConfigFolder(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_TRUE(code == kErrorAccessDenied || code == kErrorCantWrite) << code;
    EXPECT_EQ(ReadFile(HiveFile()), before);
}

TEST_F(RegistryStoreTest, ABrokenHiveIsReadButNeverWritten) {
    ASSERT_TRUE(QDir().mkpath(paths::ConfigFolder()));
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(ORVANE_TEST_DATA_DIR "/registry/broken_line.reg"), HiveFile()));
    const QByteArray before = ReadFile(HiveFile());

    EXPECT_EQ(Read(store_, QStringLiteral("chkLogCalls")), QStringLiteral("1"));
    const QStringList problems = HiveProblems();
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems.first().startsWith(HiveFile() + QStringLiteral(" line 7: ")))
        << problems.first().toStdString();

    EXPECT_EQ(store_.SetValue(kKey, Text(QStringLiteral("chkLogSys"), QStringLiteral("1"))),
              kErrorBadDb);
    EXPECT_EQ(store_.DeleteValue(kKey, QStringLiteral("chkLogCalls")), kErrorBadDb);
    EXPECT_EQ(store_.CreateKey(QStringLiteral("SOFTWARE\\New")), kErrorBadDb);
    EXPECT_EQ(store_.DeleteKey(kKey), kErrorBadDb);
    EXPECT_EQ(ReadFile(HiveFile()), before);

    // Once the user mends the line, writing works again.
    QByteArray mended = before;
    mended.replace("chkLogSys=1", "\"chkLogSys\"=\"1\"");
    WriteFile(HiveFile(), mended);
    EXPECT_TRUE(store_.Problems().isEmpty());
    EXPECT_EQ(store_.SetValue(kKey, Text(QStringLiteral("chkLogSys"), QStringLiteral("0"))),
              kErrorSuccess);
    EXPECT_EQ(Read(store_, QStringLiteral("chkLogSys")), QStringLiteral("0"));
}

TEST_F(RegistryStoreTest, AHiveThatIsNoFileIsReportedAndLeftAlone) {
    ASSERT_TRUE(QDir().mkpath(HiveFile()));  // a folder in the file's place
    EXPECT_FALSE(store_.KeyExists(QString()));
    ASSERT_EQ(store_.Problems().size(), 1);
    EXPECT_TRUE(store_.Problems().first().contains(QStringLiteral("not a regular file")));
    EXPECT_EQ(store_.CreateKey(kKey), kErrorAccessDenied);
    EXPECT_TRUE(QFileInfo(HiveFile()).isDir());
}

TEST_F(RegistryStoreTest, DeletingAKeyTakesItsSubKeysAndKeepsTheRoot) {
    ASSERT_EQ(store_.CreateKey(kKey), kErrorSuccess);
    ASSERT_EQ(store_.CreateKey(QStringLiteral("SOFTWARE\\Quenzo\\Orvane 1.1\\Language")),
              kErrorSuccess);
    EXPECT_EQ(store_.DeleteKey(QStringLiteral("software\\quenzo\\orvane 1.1\\properties")),
              kErrorSuccess);
    EXPECT_FALSE(store_.KeyExists(kKey));
    QStringList names;
    EXPECT_EQ(store_.EnumSubKeys(QStringLiteral("SOFTWARE\\Quenzo\\Orvane 1.1"), &names),
              kErrorSuccess);
    EXPECT_EQ(names, QStringList{QStringLiteral("Language")});
    EXPECT_EQ(store_.DeleteKey(QString()), kErrorAccessDenied);
}

}  // namespace
}  // namespace orvane
