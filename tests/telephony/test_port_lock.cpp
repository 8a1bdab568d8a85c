// The modem's port held for one program at a time: UUCP lock files are
// honoured, written and removed, and a refusal names the holder. The port
// is a bare pseudo-terminal; the lock folder is a private one. TIOCEXCL
// does not stop root, so the lock file is what these cases check.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstring>

#include "telephony/line_backend.h"
#include "telephony/line_devices.h"
#include "telephony/modem_channel.h"
#include "telephony/modem_probe.h"
#include "telephony/port_lock.h"

namespace orvane {
namespace {

class QuietListener : public ModemChannelListener {
  public:
    void OnModemLine(std::string_view) override {}
    void OnModemEvent(char) override {}
    void OnVoiceData(std::span<const uint8_t>) override {}
    void OnVoiceEnd() override {}
    void OnChannelLost(qint32) override {}
    void OnModemInputDone() override {}
};

QByteArray Hdb(qint64 pid) {
    return QByteArray::number(pid).rightJustified(10, ' ') + '\n';
}

QString OwnName() {
    QFile comm(QStringLiteral("/proc/self/comm"));
    EXPECT_TRUE(comm.open(QIODevice::ReadOnly));
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

class PortLockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(locks_.isValid());
        qputenv("ORVANE_LOCK_DIR", locks_.path().toLocal8Bit());
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(::grantpt(master_), 0);
        ASSERT_EQ(::unlockpt(master_), 0);
        port_ = QString::fromLocal8Bit(::ptsname(master_));
        lock_ = locks_.filePath(QStringLiteral("LCK..pts_") + QFileInfo(port_).fileName());
    }
    void TearDown() override {
        if (holder_.state() != QProcess::NotRunning) {
            holder_.kill();
            holder_.waitForFinished();
        }
        ::close(master_);
        qunsetenv("ORVANE_LOCK_DIR");
    }

    void WriteLock(const QByteArray& content) const {
        QFile file(lock_);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray LockContent() const {
        QFile file(lock_);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A live process other than ours: "sleep".
    qint64 StartHolder(const QString& input = {}) {
        if (!input.isEmpty()) {
            holder_.setStandardInputFile(input);
        }
        holder_.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        EXPECT_TRUE(holder_.waitForStarted());
        return holder_.processId();
    }
    // The id of a process that has ended.
    static qint64 DeadPid() {
        const pid_t child = ::fork();
        if (child == 0) {
            ::_exit(0);
        }
        ::waitpid(child, nullptr, 0);
        return child;
    }

    QTemporaryDir locks_;
    int master_ = -1;
    QString port_;
    QString lock_;
    QProcess holder_;
    QuietListener listener_;
};

TEST_F(PortLockTest, ALockOfALiveProcessRefusesTheLineAndNamesTheHolder) {
    const qint64 pid = StartHolder();
    WriteLock(Hdb(pid));
    ModemChannel channel(&listener_);
    EXPECT_EQ(channel.Open(port_), line_error::kPortInUse);
    EXPECT_EQ(channel.Holder(), QStringLiteral("sleep (PID %1)").arg(pid));
    EXPECT_EQ(LockContent(), Hdb(pid)) << "another program's lock is left alone";
}

TEST_F(PortLockTest, AStaleLockIsReplacedByOursWhichGoesAtClose) {
    const qint64 dead = DeadPid();
    qint32 binary = static_cast<qint32>(dead);
    for (const QByteArray& stale :
         {Hdb(dead), QByteArray(reinterpret_cast<const char*>(&binary), 4), QByteArray("junk\n")}) {
        SCOPED_TRACE(stale.toHex().toStdString());
        WriteLock(stale);
        ModemChannel channel(&listener_);
        ASSERT_EQ(channel.Open(port_), line_error::kNone);
        EXPECT_EQ(LockContent(), Hdb(::getpid()));
        channel.Close();
        EXPECT_FALSE(QFileInfo::exists(lock_));
    }
}

TEST_F(PortLockTest, ASecondLineOnTheSamePortIsRefusedNamingTheFirst) {
    ModemChannel first(&listener_);
    ASSERT_EQ(first.Open(port_), line_error::kNone);
    ModemChannel second(&listener_);
    EXPECT_EQ(second.Open(port_), line_error::kPortInUse);
    EXPECT_EQ(second.Holder(), QStringLiteral("%1 (PID %2)").arg(OwnName()).arg(::getpid()));
    first.Close();
    EXPECT_EQ(second.Open(port_), line_error::kNone);
}

TEST_F(PortLockTest, WithoutALockTheHolderIsFoundByItsOpenPort) {
    EXPECT_EQ(PortHolder(port_), QString()) << "nobody holds it yet";
    const qint64 pid = StartHolder(port_);
    EXPECT_EQ(PortHolder(port_), QStringLiteral("sleep (PID %1)").arg(pid));
}

TEST(PortLockFile, ProcessIdsOfEveryKnownFormat) {
    const qint32 binary = 4321;
    const struct {
        QByteArray content;
        std::optional<qint64> pid;
    } cases[] = {
        {"      1234\n", 1234},
        {"1234\n", 1234},
        {"1234\norvane\nhost\n", 1234},  // Qt's own lock files
        {QByteArray(reinterpret_cast<const char*>(&binary), 4), 4321},
        {"", std::nullopt},
        {"abc\n", std::nullopt},
        {"-5\n", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LockPid(c.content), c.pid) << c.content.toHex().toStdString();
    }
}

// A modem with a /dev/serial/by-id name is listed by it, so it keeps its
// name on another USB socket; the names it had before still find it.
TEST_F(PortLockTest, APortIsListedByItsStableNameAndFoundByItsFormerOnes) {
    QTemporaryDir byId;
    ASSERT_TRUE(byId.isValid());
    qputenv("ORVANE_SERIAL_BY_ID_DIR", byId.path().toLocal8Bit());
    const QString link = byId.filePath(QStringLiteral("usb-Test_Modem_42-if00"));
    const QString stableName = QStringLiteral("Serial port (usb-Test_Modem_42-if00)");
    const auto list = [](const QString& named) {
        std::vector<LineDetails> lines;
        for (const SerialPortCandidate& port : WithNamedPorts({}, {named})) {
            lines.push_back(DetailsOf(port, ModemProbe{}));
        }
        return lines;
    };
    ASSERT_TRUE(QFile::link(port_, link));
    const std::vector<LineDetails> lines = list(port_);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].deviceName, stableName);
    EXPECT_EQ(lines[0].port, link);
    const QString kernelName = QFileInfo(port_).fileName();
    const struct {
        QString stored;
        qint32 index;
    } cases[] = {
        {stableName, 0},
        {QStringLiteral("Serial port (%1)").arg(kernelName), 0},  // stored before by-id names
        {QFileInfo(port_).canonicalFilePath(), 0},
        {QStringLiteral("Serial port (ttyACM7)"), -1},
        {QString(), -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindLineDevice(lines, c.stored), c.index) << c.stored.toStdString();
    }

    // Plugged elsewhere: another device node behind the same by-id name.
    const int other = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::grantpt(other), 0);
    ASSERT_EQ(::unlockpt(other), 0);
    const QString moved = QString::fromLocal8Bit(::ptsname(other));
    ASSERT_TRUE(QFile::remove(link));
    ASSERT_TRUE(QFile::link(moved, link));
    const std::vector<LineDetails> after = list(moved);
    ::close(other);
    qunsetenv("ORVANE_SERIAL_BY_ID_DIR");
    ASSERT_EQ(FindLineDevice(after, stableName), 0);
    EXPECT_EQ(QFileInfo(after[0].port).canonicalFilePath(), QFileInfo(moved).canonicalFilePath());
}

}  // namespace
}  // namespace orvane
