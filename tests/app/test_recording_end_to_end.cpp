// The whole program records a call on the emulated line: an incoming call
// answered at the handset is recorded in the chosen format, named after
// the caller, entered in the call store and listed unread; the window is
// busy for two seconds in the middle of it and no sound is lost; playing
// the call marks it read in the store.
#include <gsm.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QtEndian>
#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "app/program.h"
#include "audio/wave.h"
#include "calls/list/calls_list_model.h"
#include "calls/recorder/recorder_control.h"
#include "calls/recorder/recording_sidecar.h"
#include "calls/store/call_store.h"
#include "journal/journal_writer.h"
#include "settings/global_options.h"
#include "settings/names/devices.h"
#include "settings/names/general.h"
#include "telephony/tapi.h"
#include "tests/support/program_on_emulator.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"
#include "tests/telephony/modemsim_process.h"
#include "tests/telephony/voice_pattern.h"
#include "translation/show_message.h"
#include "ui/tray_icon.h"

namespace orvane {
namespace {

constexpr int kFormatTagOffset = 20;
constexpr int kRate = 8000;

// The "data" chunk of a RIFF WAVE file; empty when there is none.
QByteArray WaveData(const QByteArray& file) {
    for (qsizetype at = 12; at + 8 <= file.size();) {
        const quint32 size = qFromLittleEndian<quint32>(file.constData() + at + 4);
        if (file.mid(at, 4) == "data") {
            return file.mid(at + 8, size);
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

// GSM 6.10 in WAV49 blocks of two frames (65 bytes, 320 samples), encoded
// by libgsm itself: the oracle for what the recorder stored.
constexpr qsizetype kGsmBlockBytes = 65;
constexpr qsizetype kGsmBlockSamples = 320;

QByteArray GsmEncoded(const std::vector<int16_t>& samples) {
    gsm encoder = gsm_create();
    int one = 1;
    gsm_option(encoder, GSM_OPT_WAV49, &one);
    const qsizetype blocks = static_cast<qsizetype>(samples.size()) / kGsmBlockSamples;
    QByteArray bytes(blocks * kGsmBlockBytes + 1, '\0');
    std::vector<gsm_signal> pcm(samples.begin(), samples.end());
    for (qsizetype block = 0; block < blocks; ++block) {
        auto* out = reinterpret_cast<gsm_byte*>(bytes.data()) + block * kGsmBlockBytes;
        // The second frame starts in the first one's last byte.
        gsm_encode(encoder, pcm.data() + block * kGsmBlockSamples, out);
        gsm_encode(encoder, pcm.data() + block * kGsmBlockSamples + 160, out + 32);
    }
    gsm_destroy(encoder);
    bytes.chop(1);
    return bytes;
}

// How many samples of the stored GSM 6.10 are the emulator's pattern through
// the codec, from whichever point of the pattern the recording began: a
// lost or doubled piece changes every block after it.
qsizetype IntactGsmRun(const QByteArray& data) {
    const qsizetype blocks = data.size() / kGsmBlockBytes;
    qsizetype best = 0;
    for (int start = 0; start < 256; ++start) {
        std::vector<int16_t> pattern(static_cast<size_t>(blocks * kGsmBlockSamples));
        for (size_t i = 0; i < pattern.size(); ++i) {
            pattern[i] = testing::ExpandMuLaw(static_cast<uint8_t>((start + i) % 256));
        }
        const QByteArray expected = GsmEncoded(pattern);
        qsizetype same = 0;
        while (same < blocks && expected.mid(same * kGsmBlockBytes, kGsmBlockBytes) ==
                                    data.mid(same * kGsmBlockBytes, kGsmBlockBytes)) {
            ++same;
        }
        best = std::max(best, same * kGsmBlockSamples);
    }
    return best;
}

struct FormatCase {
    const char* label;
    int setting;
    int16_t formatTag;
};

class RecordingEndToEnd
    : public testing::ProgramOnEmulatorTest<::testing::TestWithParam<FormatCase>> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramOnEmulatorTest::SetUp());
        Store(kTabGeneral, "cmbRecordFormatRec", QString::number(GetParam().setting));
    }
};

TEST_P(RecordingEndToEnd, ACallRecordedAcrossABusyWindowIsStoredListedAndPlayed) {
    // The modem holds a quarter of a second of sound: the window's stall
    // below would lose most of it if the port were read on the window's thread.
    ASSERT_TRUE(
        sim_.Start(link_,
                   QStringLiteral("voice pattern; wait-command VCID=1; "
                                  "call rings=2 every=300 name=\"Alice Example\" number=5551234; "
                                  "pickup; wait-command VRX; sleep 4500; remote-hangup busy; "
                                  "wait-hangup timeout 20000; sleep 120000"),
                   {QStringLiteral("--modem-buffer"), QStringLiteral("2000")}));
    Program program;
    program.Load(true);
    ASSERT_TRUE(PumpUntil([&] { return Journal().contains(QStringLiteral("StartRecordACM")); }))
        << Journal().toStdString();
    PumpUntil([] { return false; }, 500);
    std::this_thread::sleep_for(std::chrono::seconds(2));  // a modal dialog, a slow disk
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
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^0:00:0[3-7]$"))
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
    ASSERT_GT(bytes.size(), kFormatTagOffset + 2);
    EXPECT_EQ(qFromLittleEndian<int16_t>(bytes.constData() + kFormatTagOffset),
              GetParam().formatTag);

    // The caller's sound, unbroken across the stall, until the hang-up's
    // busy tone: sample for sample, or through the codec for GSM 6.10.
    const QByteArray data = WaveData(bytes);
    qsizetype count = 0;
    qsizetype intact = 0;
    switch (GetParam().setting) {
        case 0:
            count = data.size() / 2;
            intact = testing::IntactPatternRun(reinterpret_cast<const int16_t*>(data.constData()),
                                               count);
            break;
        case 1: {
            std::vector<int16_t> samples;
            for (char code : data) {
                samples.push_back(testing::ExpandMuLaw(static_cast<uint8_t>(code)));
            }
            count = static_cast<qsizetype>(samples.size());
            intact = testing::IntactPatternRun(samples.data(), count);
            break;
        }
        default:
            count = data.size() / kGsmBlockBytes * kGsmBlockSamples;
            intact = IntactGsmRun(data);
    }
    EXPECT_GE(intact, 3 * kRate) << "of " << count << " samples";
    EXPECT_LE(count - intact, kRate / 2);

    // Listed, unread (bold); Play marks it read, in the store too.
    CallsListModel& list = program.CallsList();
    ASSERT_EQ(list.rowCount(), 1);
    EXPECT_TRUE(list.data(list.index(0, 0), CallsListModel::kBoldRole).toBool());
    auto* play = program.Window().findChild<QAction*>(QStringLiteral("tlbrPlayButtons0"));
    ASSERT_NE(play, nullptr);
    play->trigger();
    CallRecord played;
    ASSERT_TRUE(ReadCallRecord(played, folder_, 1));
    EXPECT_EQ(played.Bytes()[146], '1');
    EXPECT_EQ(std::string(played.Bytes().data(), 146), std::string(record.Bytes().data(), 146));
    EXPECT_FALSE(list.data(list.index(0, 0), CallsListModel::kBoldRole).toBool());
    program.Window().UnLoadApp();
}

INSTANTIATE_TEST_SUITE_P(Formats, RecordingEndToEnd,
                         ::testing::Values(FormatCase{"Pcm", 0, 1}, FormatCase{"MuLaw", 1, 7},
                                           FormatCase{"Gsm610", 2, 49}),
                         [](const auto& testInfo) { return std::string(testInfo.param.label); });

// The modems people own, each recording a call: the program finds the
// profile's format on its own and the caller's sound arrives whole.
struct ProfileCase {
    const char* dialect;
    int16_t (*expand)(uint8_t);  // the pattern in the format the program picks
};

class ModemProfileRecording
    : public testing::ProgramOnEmulatorTest<::testing::TestWithParam<ProfileCase>> {};

TEST_P(ModemProfileRecording, RecordsACallWhole) {
    Store(kTabGeneral, "cmbRecordFormatRec", QStringLiteral("0"));
    ASSERT_TRUE(sim_.Start(link_,
                           QStringLiteral("voice pattern; wait-command VCID=1; "
                                          "call rings=2 every=300 name=\"Alice Example\" "
                                          "number=5551234; pickup; wait-command VRX; sleep 2500; "
                                          "remote-hangup busy; wait-hangup timeout 20000; "
                                          "sleep 120000"),
                           {QStringLiteral("--dialect"), QString::fromLatin1(GetParam().dialect)}));
    Program program;
    program.Load(true);
    ASSERT_TRUE(PumpUntil([&] { return Journal().contains(QStringLiteral("End Of Call")); }))
        << Journal().toStdString();
    const std::vector<CallRecord> records = ReadAllCallRecords(folder_);
    ASSERT_EQ(records.size(), 1u) << Journal().toStdString();
    EXPECT_EQ(records[0].Get(CallField::CallerNumber), QStringLiteral("5551234"));
    QFile wave(folder_ + CallFileName(records[0]));
    ASSERT_TRUE(wave.open(QIODevice::ReadOnly));
    const QByteArray data = WaveData(wave.readAll());
    const qsizetype count = data.size() / 2;
    const qsizetype intact = testing::IntactPatternRun(
        reinterpret_cast<const int16_t*>(data.constData()), count, GetParam().expand);
    EXPECT_GE(intact, 2 * kRate) << "of " << count << " samples";
    EXPECT_LE(count - intact, kRate / 2);
    program.Window().UnLoadApp();
}

INSTANTIATE_TEST_SUITE_P(Modems, ModemProfileRecording,
                         ::testing::Values(ProfileCase{"conexant", testing::ExpandUnsigned8},
                                           ProfileCase{"usr5637", testing::ExpandMuLaw}),
                         [](const auto& testInfo) { return std::string(testInfo.param.dialect); });

// What the line does during a connected call, seen from the whole program:
// a far end gone silent is ended by the silence limit, and a waiting call's
// rings leave the call and its sound alone. Either way one call is stored.
struct FarEndCase {
    const char* label;
    const char* silenceLimit;
    const char* duringCall;  // after the pickup, while the pattern plays
    const char* journaled;
    double minTailSeconds;  // samples after the pattern's last intact one
    double maxTailSeconds;
};

class FarEndRecording
    : public testing::ProgramOnEmulatorTest<::testing::TestWithParam<FarEndCase>> {};

TEST_P(FarEndRecording, EndsTheRecordingOnlyWhenTheCallIsOver) {
    Store(kTabGeneral, "cmbRecordFormatRec", QStringLiteral("0"));
    Store(kTabDevices, "txtSilenceLimit", QString::fromLatin1(GetParam().silenceLimit));
    ASSERT_TRUE(sim_.Start(link_, QStringLiteral("voice pattern; wait-command VCID=1; "
                                                 "call rings=2 every=300 number=5551234; pickup; "
                                                 "wait-command VRX; %1; "
                                                 "wait-hangup timeout 20000; sleep 120000")
                                      .arg(QString::fromLatin1(GetParam().duringCall))));
    Program program;
    program.Load(true);
    ASSERT_TRUE(PumpUntil([&] { return Journal().contains(QStringLiteral("End Of Call")); }))
        << Journal().toStdString();
    const std::vector<CallRecord> records = ReadAllCallRecords(folder_);
    ASSERT_EQ(records.size(), 1u) << Journal().toStdString();
    QFile wave(folder_ + CallFileName(records[0]));
    ASSERT_TRUE(wave.open(QIODevice::ReadOnly));
    const QByteArray data = WaveData(wave.readAll());
    const qsizetype count = data.size() / 2;
    const qsizetype intact =
        testing::IntactPatternRun(reinterpret_cast<const int16_t*>(data.constData()), count);
    EXPECT_GE(intact, kRate) << "of " << count << " samples";
    EXPECT_GE(count - intact, qsizetype(GetParam().minTailSeconds * kRate));
    EXPECT_LE(count - intact, qsizetype(GetParam().maxTailSeconds * kRate));
    const QString journal = Journal();
    EXPECT_EQ(journal.count(QString::fromLatin1(GetParam().journaled)), 1) << journal.toStdString();
    program.Window().UnLoadApp();
}

INSTANTIATE_TEST_SUITE_P(
    Line, FarEndRecording,
    ::testing::Values(
        // No busy tone ever comes: only the limit ends the call, after two
        // seconds of silence, all of which are in the file.
        FarEndCase{"SilentFarEnd", "2", "sleep 1500; voice silence", "2 s of silence", 1.9, 3.0},
        FarEndCase{"WaitingCallRings", "0",
                   "sleep 1000; ring; sleep 800; ring; sleep 800; remote-hangup busy",
                   "waiting call", 0.0, 0.5}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

// A call that goes on until the program ends, recorded as 16-bit PCM.
const QString kLongCall = QStringLiteral(
    "voice pattern; wait-command VCID=1; "
    "call rings=2 every=300 name=\"Alice Example\" number=5551234; "
    "pickup; wait-command VRX; sleep 120000");
constexpr qint64 kPcmBytesPerSecond = 2 * kRate;
constexpr qint64 kHeaderBytes = 64;
const char kChildVariable[] = "ORVANE_TEST_RECORDING_CHILD";

class RecordingCutOff : public RecordingEndToEnd {
  protected:
    QStringList Waves() const {
        return QDir(folder_).entryList({QStringLiteral("*.wav")}, QDir::Files);
    }
    qint64 WaveBytes() const {
        const QStringList waves = Waves();
        return waves.size() == 1 ? QFileInfo(folder_ + waves[0]).size() : 0;
    }
    // The recorded call, entered with the length of the sound in its file.
    void ExpectEnteredWithItsRealLength() {
        const std::vector<CallRecord> records = ReadAllCallRecords(folder_);
        ASSERT_EQ(records.size(), 1u) << Journal().toStdString();
        ASSERT_EQ(Waves(), QStringList{CallFileName(records[0])});
        QFile wave(folder_ + Waves()[0]);
        ASSERT_TRUE(wave.open(QIODevice::ReadOnly));
        const QByteArray bytes = wave.readAll();
        // The header claims every byte of sound in the file.
        const qint64 data = bytes.size() - kHeaderBytes;
        EXPECT_EQ(WaveData(bytes).size(), data);
        EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 4), bytes.size() - 8);
        EXPECT_GE(data, 2 * kPcmBytesPerSecond);
        EXPECT_EQ(records[0].Get(CallField::Duration),
                  RecordTimeText(static_cast<qint32>(data / kPcmBytesPerSecond)));
        EXPECT_EQ(records[0].Get(CallField::CallerName), QStringLiteral("Alice Example"));
        EXPECT_TRUE(SidecarNames(folder_).isEmpty());
    }
};

TEST_P(RecordingCutOff, QuittingDuringARecordedCallAsksFromTheWindowAndEntersTheCall) {
    ASSERT_TRUE(sim_.Start(link_, kLongCall));
    Program program;
    program.Load(true);
    ASSERT_TRUE(PumpUntil([&] { return WaveBytes() > kHeaderBytes + 2 * kPcmBytesPerSecond; }))
        << Journal().toStdString();

    // Exit from the window asks; No keeps the call and its recording.
    ResetMessageSeam();
    SetNextMessageAnswer(kAnswerNo);
    program.Window().MenuClick(QStringLiteral("Exit"));
    const std::vector<ShownMessage> asked = TakeShownMessages();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].text.startsWith(QStringLiteral("A call is being recorded.")))
        << asked[0].text.toStdString();
    EXPECT_FALSE(program.IsQuitting());
    ASSERT_NE(program.Wave1(), nullptr);
    EXPECT_NE(program.Wave1()->Recording(), 0);
    EXPECT_EQ(CallRecordCount(folder_), 0);

    // Another copy's quit (orvane -uia) does not ask: the call is ended
    // and entered with the length of what was recorded.
    program.Quit();
    EXPECT_TRUE(TakeShownMessages().empty());
    ResetMessageSeam();
    ExpectEnteredWithItsRealLength();
}

// Runs only inside the child process of the next test, which kills it;
// the settings and folders are the parent's.
TEST(RecordingCutOffChild, RecordsUntilKilled) {
    if (qEnvironmentVariableIsEmpty(kChildVariable)) {
        GTEST_SKIP() << "the child of ACallCutOffByAKillIsEnteredAtTheNextStart";
    }
    TrayIcon::OverrideAvailability(true);
    Program program;
    program.Load(true);
    const QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    ADD_FAILURE() << "not killed";
}

TEST_P(RecordingCutOff, ACallCutOffByAKillIsEnteredAtTheNextStart) {
    ASSERT_TRUE(sim_.Start(link_, kLongCall));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=RecordingCutOffChild.RecordsUntilKilled")});
    ASSERT_TRUE(child.waitForStarted());
    const bool recorded =
        PumpUntil([&] { return WaveBytes() > kHeaderBytes + 2 * kPcmBytesPerSecond; });
    child.kill();  // SIGKILL: nothing of the program runs after it
    ASSERT_TRUE(child.waitForFinished());
    ASSERT_TRUE(recorded) << Journal().toStdString();
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
    sim_.Stop();
    // Cut off: a WAV file and its sidecar, nothing entered.
    ASSERT_EQ(Waves().size(), 1);
    EXPECT_EQ(SidecarNames(folder_), QStringList{SidecarName(Waves()[0])});
    EXPECT_EQ(CallRecordCount(folder_), 0);

    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start);
        Program program;
        program.Load(true);
        ExpectEnteredWithItsRealLength();
        EXPECT_EQ(program.CallsList().rowCount(), 1);
        program.Window().UnLoadApp();
    }
    // Journaled once, by the first start after the crash.
    EXPECT_EQ(Journal().count(QStringLiteral("EnterInterruptedCalls")), 1)
        << Journal().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Pcm, RecordingCutOff, ::testing::Values(FormatCase{"Pcm", 0, 1}),
                         [](const auto& testInfo) { return std::string(testInfo.param.label); });

// Record on a ringing call asks in a box that leaves the window running;
// the line is answered only if the call still rings when the user says Yes.
class RecordQuestion : public testing::ProgramOnEmulatorTest<::testing::TestWithParam<bool>> {
  protected:
    static int OpenBoxes() {
        int open = 0;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            open += qobject_cast<QMessageBox*>(window) != nullptr && window->isVisible() ? 1 : 0;
        }
        return open;
    }
};

TEST_P(RecordQuestion, AYesAnswersTheRingingCallAndALineClosedMeanwhileAnswersNothing) {
    const bool closeLine = GetParam();
    {
        ASSERT_TRUE(sim_.Start(
            link_, QStringLiteral("voice pattern; wait-command VCID=1; "
                                  "call rings=2 every=300 name=\"Alice Example\" number=5551234; "
                                  "wait-command VRX; sleep 1500; remote-hangup busy; "
                                  "wait-hangup timeout 20000; sleep 120000")));
        ResetMessageSeam();
        const qsizetype journalBefore = Journal().size();
        const auto journal = [&] { return Journal().mid(journalBefore); };
        Program program;
        program.Load(true);
        ASSERT_TRUE(PumpUntil([&] { return journal().contains(QStringLiteral("Ring 1")); }))
            << journal().toStdString();
        auto* record = program.Window().findChild<QAction*>(QStringLiteral("Record"));
        ASSERT_NE(record, nullptr);
        record->trigger();
        record->trigger();  // the box is open: no second one
        EXPECT_EQ(OpenBoxes(), 1);
        if (closeLine) {
            program.CloseLine();
            EXPECT_EQ(OpenBoxes(), 0);
            EXPECT_FALSE(AnswerOpenQuestion(kAnswerYes));
            QApplication::processEvents();
            EXPECT_FALSE(journal().contains(QStringLiteral("Tapi.LineAnswer")));
            EXPECT_FALSE(record->isChecked());
        } else {
            ASSERT_TRUE(AnswerOpenQuestion(kAnswerYes));
            ASSERT_TRUE(PumpUntil([&] {
                return journal().contains(QStringLiteral("End Of Call"));
            })) << journal().toStdString();
            EXPECT_EQ(journal().count(QStringLiteral("Tapi.LineAnswer")), 1);
            EXPECT_EQ(CallRecordCount(folder_), 1) << journal().toStdString();
        }
        program.Window().UnLoadApp();
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, RecordQuestion, ::testing::Bool(), [](const auto& testInfo) {
    return std::string(testInfo.param ? "LineClosedWhileAsking" : "YesWhileRinging");
});

}  // namespace
}  // namespace orvane
