// The whole program records a call on the emulated line: an incoming call
// answered at the handset is recorded in the chosen format, named after
// the caller, entered in the call store and listed unread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtEndian>

#include "app/main_window.h"
#include "app/program.h"
#include "calls/list/calls_list_model.h"
#include "calls/store/call_store.h"
#include "journal/journal_writer.h"
#include "settings/global_options.h"
#include "settings/names/general.h"
#include "telephony/tapi.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"
#include "tests/telephony/modemsim_process.h"
#include "tests/telephony/voice_pattern.h"
#include "ui/tray_icon.h"

namespace orvane {
namespace {

const QString kSimName = QStringLiteral("Orvane modemsim V.253 voice modem (modem)");
constexpr int kWaveDataOffset = 64;
constexpr int kFormatTagOffset = 20;

struct FormatCase {
    const char* label;
    int setting;
    int16_t formatTag;
};

class RecordingEndToEnd : public ::testing::TestWithParam<FormatCase> {
  protected:
    void SetUp() override {
        env_.makeProgramFolders();
        env_.setVariable("SONVEL_NO_ALSA", QStringLiteral("1"));
        for (const QString& subkey : {QString(), kLanguageKey, kTabDevices, kTabGeneral, kTabLog,
                                      kTabIncomingCall, kTabDisconnectCall}) {
            RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey).CreateKey();
        }
        link_ = env_.root() + QStringLiteral("/modem");
        folder_ = env_.root() + QStringLiteral("/Recordings/");
        ASSERT_TRUE(QDir().mkpath(folder_));
        Store(kTabLog, "chkLogSys", QStringLiteral("1"));
        Store(kTabDevices, "txtLinePorts", link_);
        Store(kTabDevices, "cmbModemDev", kSimName);
        Store(kTabGeneral, "txtPath", folder_);
        Store(kTabGeneral, "cmbRecordFormatRec", QString::number(GetParam().setting));
        TrayIcon::OverrideAvailability(true);
    }
    void TearDown() override {
        TrayIcon::OverrideAvailability(std::nullopt);
        SetJournalSwitches(false, false);
    }

    static void Store(const QString& subkey, const char* name, const QString& value) {
        ASSERT_TRUE(RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey)
                        .SetRegistryValue(QString::fromLatin1(name), value, kRegSz));
    }
    QString Journal() const {
        QFile file(ProgramJournal().folder() + ProgramJournal().systemFileName());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    template <typename Predicate>
    static bool PumpUntil(Predicate done, int limitMs = 30000) {
        const QDeadlineTimer deadline(limitMs);
        while (!done() && !deadline.hasExpired()) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return done();
    }

    testing::TestEnvironment env_;
    QString link_;
    QString folder_;
    testing::ModemSimProcess sim_;
};

TEST_P(RecordingEndToEnd, AHandsetAnsweredCallIsRecordedStoredAndListedUnread) {
    ASSERT_TRUE(sim_.Start(
        link_, QStringLiteral("voice pattern; wait-command VCID=1; "
                              "call rings=2 every=300 name=\"Alice Example\" number=5551234; "
                              "pickup; wait-command VRX; sleep 2500; remote-hangup busy; "
                              "wait-hangup timeout 20000; sleep 120000")));
    Program program;
    program.Load(true);
    ASSERT_TRUE(PumpUntil([&] { return Journal().contains(QStringLiteral("End Of Call")); }))
        << Journal().toStdString();

    // One call in the store, with the caller, the kind and the length.
    const std::vector<CallRecord> records = ReadAllCallRecords(folder_);
    ASSERT_EQ(records.size(), 1u) << Journal().toStdString();
    EXPECT_EQ(QFile(CallIndexFile(folder_)).size(), kCallRecordSize);
    const CallRecord& record = records[0];
    EXPECT_EQ(record.Get(CallField::CallerName), QStringLiteral("Alice Example"));
    EXPECT_EQ(record.Get(CallField::CallerNumber), QStringLiteral("5551234"));
    EXPECT_EQ(record.Get(CallField::CallKind), QStringLiteral("3"));
    EXPECT_EQ(record.Get(CallField::ReadFlag), QStringLiteral("0"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^0:00:0[1-4]$"))
                    .match(record.Get(CallField::Duration))
                    .hasMatch())
        << record.Get(CallField::Duration).toStdString();

    // The one WAV file is the one the record names, in the chosen format.
    const QStringList waves = QDir(folder_).entryList({QStringLiteral("*.wav")}, QDir::Files);
    ASSERT_EQ(waves, QStringList{CallFileName(record)});
    EXPECT_TRUE(waves[0].startsWith(QStringLiteral("Alice Example_5551234_")));
    QFile wave(folder_ + waves[0]);
    ASSERT_TRUE(wave.open(QIODevice::ReadOnly));
    const QByteArray bytes = wave.readAll();
    ASSERT_GT(bytes.size(), kWaveDataOffset);
    EXPECT_EQ(qFromLittleEndian<int16_t>(bytes.constData() + kFormatTagOffset),
              GetParam().formatTag);
    if (GetParam().setting == 0) {
        // The caller's sound, sample for sample, until the hang-up's tone.
        const QByteArray pcm = bytes.mid(kWaveDataOffset);
        const qsizetype intact = testing::IntactPatternRun(
            reinterpret_cast<const int16_t*>(pcm.constData()), pcm.size() / 2);
        EXPECT_GE(intact, 8000) << "at least a second of the caller, nothing lost or doubled";
        EXPECT_LE(pcm.size() / 2 - intact, 8000);
    }

    // Listed, unread (bold).
    CallsListModel& list = program.CallsList();
    ASSERT_EQ(list.rowCount(), 1);
    EXPECT_TRUE(list.data(list.index(0, 0), CallsListModel::kBoldRole).toBool());
    program.Window().UnLoadApp();
}

INSTANTIATE_TEST_SUITE_P(Formats, RecordingEndToEnd,
                         ::testing::Values(FormatCase{"Pcm", 0, 1}, FormatCase{"MuLaw", 1, 7},
                                           FormatCase{"Gsm610", 2, 49}),
                         [](const auto& testInfo) { return std::string(testInfo.param.label); });

}  // namespace
}  // namespace orvane
