// The whole program on the emulated modem line: orvane (offscreen) and
// modemsim as processes, the program's journal read back as a user would.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include "journal/journal_writer.h"
#include "settings/store/registry_routines.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"
#include "tests/telephony/modemsim_process.h"

namespace orvane {
namespace {

using testing::ModemSimProcess;
using testing::TestEnvironment;

const QString kSimName = QStringLiteral("Orvane modemsim V.253 voice modem (modem)");
const QString kBuilt = QStringLiteral(ORVANE_BUILT_PROGRAM_DIR);

class ProgramOnModemLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env_.makeProgramFolders();
        QFile english(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English"));
        ASSERT_TRUE(english.open(QIODevice::ReadOnly));
        env_.writeFile(QStringLiteral("program/Trans/English"), english.readAll());
        env_.setVariable("LANG", QStringLiteral("en_US.UTF-8"));
        env_.setVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen"));
        QProcess setup;
        setup.start(kBuilt + QStringLiteral("/orvane-setup"), {});
        ASSERT_TRUE(setup.waitForFinished(60000));
        ASSERT_EQ(setup.exitCode(), 0) << setup.readAllStandardError().toStdString();

        link_ = env_.root() + QStringLiteral("/modem");
        RegistryRoutines log(kHkeyLocalMachine, product::kRootKey,
                             QStringLiteral("Properties\\TabLog"));
        ASSERT_TRUE(log.SetRegistryValue(QStringLiteral("chkLogSys"), QStringLiteral("1")));
        ASSERT_TRUE(log.SetRegistryValue(QStringLiteral("chkLogCalls"), QStringLiteral("1")));
        RegistryRoutines devices(kHkeyLocalMachine, product::kRootKey,
                                 QStringLiteral("Properties\\TabDevices"));
        ASSERT_TRUE(devices.SetRegistryValue(QStringLiteral("txtLinePorts"), link_));
        ASSERT_TRUE(devices.SetRegistryValue(QStringLiteral("cmbModemDev"), kSimName));
    }

    void TearDown() override {
        if (program_.state() != QProcess::NotRunning) {
            QProcess::execute(kBuilt + QStringLiteral("/orvane"), {QStringLiteral("-uia")});
            if (!program_.waitForFinished(15000)) {
                program_.kill();
                program_.waitForFinished(5000);
            }
        }
        sim_.Stop();
    }

    void StartProgram() {
        program_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program_.start(kBuilt + QStringLiteral("/orvane"), {});
        ASSERT_TRUE(program_.waitForStarted(10000));
    }

    QStringList Journal(const QString& fileName) const {
        QFile file(ProgramJournal().folder() + fileName);
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }
    QStringList SysJournal() const { return Journal(ProgramJournal().systemFileName()); }
    QStringList CallsJournal() const { return Journal(ProgramJournal().callsFileName()); }

    // Waits until the system journal holds `count` entries with `text`.
    bool WaitForJournal(const QString& text, int count = 1, int limitMs = 60000) {
        const QDeadlineTimer deadline(limitMs);
        while (SysJournal().filter(text).size() < count) {
            if (deadline.hasExpired() || program_.state() == QProcess::NotRunning) {
                return false;
            }
            QThread::msleep(50);
        }
        return true;
    }

    // The entries of the system journal without their time, in order.
    QStringList Entries() const {
        QStringList entries;
        static const QRegularExpression time(QStringLiteral("^.*? : "));
        for (const QString& line : SysJournal()) {
            if (!line.startsWith(QLatin1Char(' '))) {
                entries << QString(line).remove(time);
            }
        }
        return entries;
    }

    TestEnvironment env_;
    QString link_;
    ModemSimProcess sim_;
    QProcess program_;
};

struct CallCase {
    const char* label;
    const char* callerId;  // the call step's caller-ID options
    bool callerIdFirst;    // reported before the first ring
};

class ProgramCalls : public ProgramOnModemLineTest,
                     public ::testing::WithParamInterface<CallCase> {};

TEST_P(ProgramCalls, AHandsetAnsweredCallIsJournaledInOrder) {
    ASSERT_TRUE(sim_.Start(
        link_, QStringLiteral(
                   "voice speech; wait-command VCID=1; "
                   "call rings=2 every=500 name=\"Alice Example\" number=5551234 %1; pickup; "
                   "wait-command VRX; sleep 1000; remote-hangup busy; wait-hangup timeout 30000; "
                   "sleep 120000")
                   .arg(QString::fromUtf8(GetParam().callerId))));
    StartProgram();
    ASSERT_TRUE(WaitForJournal(QStringLiteral("Tapi1_Idle->End Of Call(0)")))
        << SysJournal().join(u'\n').toStdString();

    const QStringList lines = SysJournal();
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines[0].section(QStringLiteral(" : "), 1), QStringLiteral("->Device Details -"));
    const QString indent(26, QLatin1Char(' '));
    EXPECT_TRUE(lines[1].startsWith(indent + QStringLiteral("Line Index: ")));
    EXPECT_EQ(lines[2], indent + QStringLiteral("Device Name: ") + kSimName);
    EXPECT_EQ(lines[3], indent + QStringLiteral("Tapi Capability: Yes"));
    EXPECT_EQ(lines[4], indent + QStringLiteral("Voice Capability: Yes"));
    EXPECT_EQ(lines[5], indent + QStringLiteral("Monitor Digits: Yes(0)"));

    QStringList expected{
        QStringLiteral("OpenLine:Tapi1.LineOpen->The operation completed successfully.(0)"),
        QStringLiteral("Tapi1_InComeCall->Incoming Call(0)"),
        QStringLiteral("Tapi1_Ring->Ring 1(0)"),
        QStringLiteral("Tapi1_CallerID->CallerID Alice Example 5551234(0)"),
        QStringLiteral("Tapi1_Ring->Ring 2(0)"),
        // The connected call is recorded before its line is journaled.
        QStringLiteral("RecMessage:StartRecordACM->The operation completed successfully.(0)"),
        QStringLiteral("Tapi1_Connected->Connected(0)"),
        QStringLiteral("Tapi1_Disconnected->Disconnected(0)"),
        QStringLiteral("Tapi1_Idle->End Of Call(0)")};
    if (GetParam().callerIdFirst) {
        expected.swapItemsAt(2, 3);
    }
    QStringList entries = Entries();
    entries.removeFirst();  // the device details
    EXPECT_EQ(entries, expected);
    const QStringList calls = CallsJournal();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_TRUE(calls[0].endsWith(QStringLiteral(" : Alice Example - 5551234")))
        << calls[0].toStdString();
}

INSTANTIATE_TEST_SUITE_P(CallerIdForms, ProgramCalls,
                         ::testing::Values(CallCase{"WithBlanks", "", false},
                                           CallCase{"WithoutBlanks", "format=nospaces", false},
                                           CallCase{"HexPacket", "format=mdmf", false},
                                           CallCase{"BeforeTheFirstRing", "cid=before", true}),
                         [](const auto& testInfo) { return std::string(testInfo.param.label); });

TEST_F(ProgramOnModemLineTest, AHostileCallerIdLeavesEveryJournalEntryOneLineAndTheLineAnswering) {
    const QString longName = QString(10000, QLatin1Char('A'));
    ASSERT_TRUE(sim_.Start(
        link_, QStringLiteral("wait-command VCID=1; ring; "
                              "raw \"NAME = Evil\\r\\nName\\r\\nNMBR = "
                              "../../x\\x1b[2J\\0\\x07\\r\\n\"; ring every 500; "
                              "sleep 9000; call rings=2 every=500 name=%1 number=5551234 "
                              "format=nospaces; sleep 9000; "
                              "call rings=2 every=500 name=Dave number=5550000; sleep 120000")
                   .arg(longName)));
    StartProgram();
    ASSERT_TRUE(WaitForJournal(QStringLiteral("CallerID Dave 5550000"), 1, 90000))
        << SysJournal().join(u'\n').toStdString();
    ASSERT_TRUE(WaitForJournal(QStringLiteral("End Of Call"), 3, 30000));

    const QStringList lines = SysJournal();
    static const QRegularExpression entry(QStringLiteral("^\\S.* : [^\\x00-\\x1f]*\\(-?\\d+\\)$"));
    for (const QString& line : lines) {
        // The device details are the one entry over several lines.
        if (!line.startsWith(QString(26, QLatin1Char(' '))) &&
            !line.endsWith(QStringLiteral("->Device Details -"))) {
            EXPECT_TRUE(entry.match(line).hasMatch()) << line.toStdString();
        }
        EXPECT_FALSE(line.contains(QLatin1Char('/'))) << line.toStdString();
    }
    EXPECT_EQ(SysJournal().filter(QStringLiteral("CallerID Evil ..-..-x [2J")).size(), 1);
    EXPECT_EQ(SysJournal()
                  .filter(QStringLiteral("CallerID ") + QString(40, QLatin1Char('A')) +
                          QStringLiteral(" 5551234(0)"))
                  .size(),
              1);
    EXPECT_EQ(CallsJournal().size(), 3);
    EXPECT_EQ(program_.state(), QProcess::Running);
}

TEST_F(ProgramOnModemLineTest, AnUnpluggedModemIsJournaledAndTheProgramKeepsRunning) {
    ASSERT_TRUE(sim_.Start(link_, QStringLiteral("wait-command VCID=1; sleep 500; exit")));
    StartProgram();
    ASSERT_TRUE(WaitForJournal(QStringLiteral("Tapi1_LineLost->")))
        << SysJournal().join(u'\n').toStdString();
    EXPECT_EQ(Entries().filter(QStringLiteral("Tapi1_LineLost->")).first(),
              QStringLiteral("Tapi1_LineLost->The modem stopped answering or was unplugged.(13)"));
    QThread::msleep(200);
    EXPECT_EQ(program_.state(), QProcess::Running);
}

}  // namespace
}  // namespace orvane
