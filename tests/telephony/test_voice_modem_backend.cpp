// The telephony control over the real voice-modem backend, talking to
// modemsim on a pseudo-terminal through the serial port: the same path a
// modem on a USB port takes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "audio/sonvel_host.h"
#include "audio/telephone_sound.h"
#include "audio/wave.h"
#include "journal/journal_writer.h"
#include "settings/names/devices.h"
#include "settings/store/registry_routines.h"
#include "telephony/modem/voice_format.h"
#include "telephony/tapi.h"
#include "telephony/voice_modem_backend.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"
#include "tests/telephony/modemsim_process.h"
#include "tests/telephony/voice_pattern.h"

namespace orvane {
namespace {

using testing::IntactPatternRun;
using testing::ModemSimProcess;

const QString kSimName = QStringLiteral("Orvane modemsim V.253 voice modem (modem)");

// One line of the emulator's --log transcript: seconds, who, what.
struct TranscriptLine {
    double seconds = 0;
    QString who;
    QString text;
};

std::vector<TranscriptLine> ReadTranscript(const QString& path) {
    std::vector<TranscriptLine> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return lines;
    }
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const qsizetype first = line.indexOf(u' ');
        if (first < 0) {
            continue;
        }
        const QString rest = line.mid(first + 1).trimmed();
        const qsizetype second = rest.indexOf(u' ');
        lines.push_back({line.left(first).toDouble(), rest.left(second),
                         second < 0 ? QString() : rest.mid(second + 1).trimmed()});
    }
    return lines;
}

class VoiceModemLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        link_ = dir_.filePath(QStringLiteral("modem"));
        timing_.ringTimeout = std::chrono::milliseconds(1500);
        MakeTapi();
    }

    void TearDown() override {
        tapi_.reset();
        sim_.Stop();
    }

    void MakeTapi() {
        const QString link = link_;
        auto backend = std::make_unique<VoiceModemBackend>(
            [link, this] {
                VoiceModemSettings settings{{link}, QString()};
                settings.silenceLimitSeconds = silenceLimit_;
                settings.longestCallSeconds = longestCall_;
                settings.callerIdStandard = callerIdStandard_;
                return settings;
            },
            timing_);
        tapi_ = std::make_unique<Tapi>(std::move(backend));
        tapi_->LineInitialize();
        QObject::connect(tapi_.get(), &Tapi::InComeCall,
                         [this] { events_ << QStringLiteral("InComeCall"); });
        QObject::connect(tapi_.get(), &Tapi::Ring,
                         [this](qint32 count) { events_ << QStringLiteral("Ring %1").arg(count); });
        QObject::connect(tapi_.get(), &Tapi::CallerID,
                         [this](const QString& name, const QString& number) {
                             events_ << QStringLiteral("CallerID %1|%2").arg(name, number);
                             callerName_ = name;
                         });
        QObject::connect(tapi_.get(), &Tapi::Connected,
                         [this] { events_ << QStringLiteral("Connected"); });
        QObject::connect(tapi_.get(), &Tapi::Disconnected, [this] {
            events_ << QStringLiteral("Disconnected");
            // What the program's handler does.
            if (tapi_->CallActive()) {
                tapi_->LineDrop();
            }
        });
        QObject::connect(tapi_.get(), &Tapi::Idle, [this] { events_ << QStringLiteral("Idle"); });
        QObject::connect(tapi_.get(), &Tapi::OutgoingProgress,
                         [this] { events_ << QStringLiteral("OutgoingProgress"); });
        QObject::connect(tapi_.get(), &Tapi::LineLost, [this](qint32 code) {
            events_ << QStringLiteral("LineLost %1").arg(code);
        });
    }

    // Selects the emulator among the line devices and opens it.
    qint32 OpenEmulatorLine() {
        const qint32 count = tapi_->LineCount();
        for (qint32 i = 0; i < count; ++i) {
            tapi_->SetLineIndex(i);
            LineDetails details;
            tapi_->GetLineDetails(details);
            if (details.deviceName == kSimName) {
                return tapi_->LineOpen(6, 6);
            }
        }
        return -1;
    }

    // The line device of the emulator's link, listed afresh; selects it.
    std::optional<LineDetails> SelectLinkLine() {
        const qint32 count = tapi_->LineCount();
        for (qint32 i = 0; i < count; ++i) {
            tapi_->SetLineIndex(i);
            LineDetails details;
            tapi_->GetLineDetails(details);
            if (details.port == link_) {
                return details;
            }
        }
        return std::nullopt;
    }

    QStringList ClientLines(const QString& log) const {
        QStringList lines;
        for (const TranscriptLine& line : ReadTranscript(log)) {
            if (line.who == QStringLiteral("client")) {
                lines << line.text;
            }
        }
        return lines;
    }

    // Runs the event loop (and the audio control's window) until `done`;
    // the limit only bounds a failing run.
    bool WaitFor(const std::function<bool()>& done, int limitMs = 20000) {
        const QDeadlineTimer deadline(limitMs);
        while (!done()) {
            if (deadline.hasExpired()) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            window_.Pump();
        }
        return true;
    }

    bool WaitForEvent(const QString& event, int limitMs = 20000) {
        return WaitFor([&] { return events_.contains(event); }, limitMs);
    }

    // Plays `file` to the line and waits for the end of the play: nothing
    // when it did not start, else whether it was played whole.
    std::optional<bool> PlayAndWait(const QString& file) {
        auto played = std::make_shared<std::optional<bool>>();
        if (!tapi_->PlayToLine(file, [played](bool whole) { *played = whole; })) {
            return std::nullopt;
        }
        EXPECT_FALSE(played->has_value()) << "told before the play could run";
        WaitFor([&] { return played->has_value(); }, 20000);
        return played->value_or(false);
    }

    QTemporaryDir dir_;
    QString link_;
    VoiceModemTiming timing_;
    ModemSimProcess sim_;
    std::unique_ptr<Tapi> tapi_;
    int silenceLimit_ = 0;      // seconds
    int longestCall_ = 0;       // seconds
    QString callerIdStandard_;  // the AT!4886= code; empty: none
    QStringList events_;
    QString callerName_;
    qint32 answer_ = -1;
    sonvel::EventLoopWindow window_;
};

TEST_F(VoiceModemLineTest, ListsTheEmulatorWithWhatItCanDo) {
    ASSERT_TRUE(sim_.Start(link_, QStringLiteral("wait-client; sleep 60000")));
    const qint32 count = tapi_->LineCount();
    bool found = false;
    for (qint32 i = 0; i < count; ++i) {
        tapi_->SetLineIndex(i);
        LineDetails details;
        tapi_->GetLineDetails(details);
        if (details.port == link_) {
            found = true;
            EXPECT_EQ(details.deviceName, kSimName);
            EXPECT_TRUE(details.tapiCapability);
            EXPECT_TRUE(details.voiceCapability);
            EXPECT_TRUE(details.audioCapability);
            EXPECT_TRUE(details.monitorDigits);
        }
    }
    EXPECT_TRUE(found) << sim_.ErrorOutput().toStdString();
}

TEST_F(VoiceModemLineTest, AHandsetAnsweredCallGivesItsEventsInOrderAndExactlyTheCallersSound) {
    ASSERT_TRUE(sim_.Start(
        link_,
        QStringLiteral(
            "voice pattern; wait-command VCID=1; "
            "call rings=2 every=300 name=\"Alice Example\" number=5551234; pickup; "
            "wait-command VRX; sleep 2500; remote-hangup busy; wait-hangup timeout 20000; exit")));
    ASSERT_EQ(OpenEmulatorLine(), 0) << sim_.ErrorOutput().toStdString();
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Connected"))) << events_.join(u',').toStdString();

    // Record the call's wave-in device as the recorder does.
    sonvel::Wave wave(&window_, nullptr);
    ASSERT_FALSE(wave.InitC());
    const std::string file = dir_.filePath(QStringLiteral("call.wav")).toStdString();
    sonvel::WaveFormat format = sonvel::Pcm16Format(8000, 1);
    int32_t bufferSize = 800;
    sonvel::Bool16 vis = 0;
    ASSERT_EQ(wave.StartRecord(tapi_->GetWaveID(1), file, format, bufferSize, vis), 0);

    ASSERT_TRUE(WaitForEvent(QStringLiteral("Idle")));
    wave.StopRecord();
    window_.Pump();
    EXPECT_EQ(sim_.WaitFinished(), 0) << sim_.ErrorOutput().toStdString();

    // The emulator exits once the call is over: on a loaded machine the
    // closed port may be reported before this point, after the call's events.
    EXPECT_EQ(events_.mid(0, events_.indexOf(QStringLiteral("Idle")) + 1),
              (QStringList{"InComeCall", "Ring 1", "CallerID Alice Example|5551234", "Ring 2",
                           "Connected", "Disconnected", "Idle"}));

    QFile recorded(QString::fromStdString(file));
    ASSERT_TRUE(recorded.open(QIODevice::ReadOnly));
    const QByteArray bytes = recorded.readAll().mid(64);
    const auto* samples = reinterpret_cast<const int16_t*>(bytes.constData());
    const qsizetype count = bytes.size() / 2;
    ASSERT_GE(count, 4000) << "at least half a second of the call";
    // The sound is the emulator's bytes 0..255 over and over as mu-law, in
    // order, with nothing lost or doubled (the DLE bytes among them too).
    const qsizetype intact = IntactPatternRun(samples, count);
    ASSERT_GE(intact, 0);
    // After the hang-up the line carries the busy tone until the receive
    // ends, a moment later.
    EXPECT_GE(intact, 4000);
    EXPECT_LE(count - intact, 4000);
}

// A message played to the connected call reaches the line sample for
// sample in the line's format, and the receive then goes on.
// `count` samples (6000: 0.75 s) of a known sound as a 16-bit 8 kHz WAV file.
std::vector<int16_t> WriteMessage(const QString& file, int count = 6000) {
    std::vector<int16_t> message;
    for (int i = 0; i < count; ++i) {
        message.push_back(static_cast<int16_t>(((i * 131) % 30000) - 15000));
    }
    QByteArray wav("RIFF");
    const auto put = [&wav](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            wav.append(static_cast<char>((value >> (8 * i)) & 0xFF));
        }
    };
    put(36 + message.size() * 2, 4);
    wav.append("WAVEfmt ");
    put(16, 4), put(1, 2), put(1, 2), put(8000, 4), put(16000, 4), put(2, 2), put(16, 2);
    wav.append("data");
    put(static_cast<uint32_t>(message.size() * 2), 4);
    for (const int16_t sample : message) {
        put(static_cast<uint16_t>(sample), 2);
    }
    QFile out(file);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(wav) == wav.size());
    return message;
}

TEST_F(VoiceModemLineTest, PlayToLineSendsTheFileThroughVoiceTransmitAndReceivesAgain) {
    const QString file = dir_.filePath(QStringLiteral("message.wav"));
    const std::vector<int16_t> message = WriteMessage(file);
    const QString played = dir_.filePath(QStringLiteral("played.wav"));
    const QString log = dir_.filePath(QStringLiteral("log"));

    ASSERT_TRUE(sim_.Start(link_,
                           QStringLiteral("voice tone 440; wait-command VCID=1; "
                                          "call rings=2 every=300 number=5550101; pickup; "
                                          "wait-command VTX; wait-command VRX; sleep 300; "
                                          "remote-hangup busy; wait-hangup timeout 20000; exit"),
                           // Two kilobytes of buffer and no flow control, as
                           // on RS-232: written whole, most of it would be lost.
                           {QStringLiteral("--transmit-buffer"), QStringLiteral("2048"),
                            QStringLiteral("--played"), played, QStringLiteral("--log"), log}));
    ASSERT_EQ(OpenEmulatorLine(), 0) << sim_.ErrorOutput().toStdString();
    EXPECT_FALSE(tapi_->PlayToLine(file, {})) << "no call yet";
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Connected"))) << events_.join(u',').toStdString();
    EXPECT_EQ(PlayAndWait(dir_.filePath(QStringLiteral("missing.wav"))), std::nullopt);
    EXPECT_EQ(PlayAndWait(file), std::optional<bool>(true));
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Idle"))) << events_.join(u',').toStdString();
    EXPECT_EQ(sim_.WaitFinished(), 0) << sim_.ErrorOutput().toStdString();

    std::vector<uint8_t> muLaw;
    modem::VoiceEncoder(modem::SampleEncoding::MuLaw).Encode(message, muLaw);
    std::vector<int16_t> expected;
    modem::VoiceDecoder(modem::SampleEncoding::MuLaw, 8000).Decode(muLaw, expected);
    std::vector<int16_t> arrived;
    ASSERT_EQ(sonvel::ReadTelephoneSound(played.toStdString(), 60, &arrived), "");
    EXPECT_TRUE(arrived == expected) << arrived.size() << " samples";
    const QStringList commands = ClientLines(log);
    EXPECT_EQ(commands.filter(QStringLiteral("VRX")).size(), 2)
        << commands.join(u',').toStdString();
}

// Over a link slower than the sound, a Conexant modem's buffer runs dry
// again and again (<DLE>u): the play goes on to its end, the journal
// says so once.
TEST_F(VoiceModemLineTest, ATransmitThatRunsDryPlaysOnAndIsJournaledOnce) {
    testing::TestEnvironment env;
    env.makeProgramFolders();
    SetJournalSwitches(true, false);
    MakeTapi();
    const QString file = dir_.filePath(QStringLiteral("message.wav"));
    const std::vector<int16_t> message = WriteMessage(file);
    const QString played = dir_.filePath(QStringLiteral("played.wav"));
    const QString log = dir_.filePath(QStringLiteral("log"));
    ASSERT_TRUE(sim_.Start(link_,
                           QStringLiteral("voice tone 440; wait-command VCID=1; "
                                          "call rings=1 number=5550101; pickup; "
                                          "wait-command VTX; wait-command VRX; sleep 300; "
                                          "remote-hangup busy; wait-hangup timeout 20000; exit"),
                           {QStringLiteral("--dialect"), QStringLiteral("conexant"),
                            QStringLiteral("--transmit-rate"), QStringLiteral("4000"),
                            QStringLiteral("--played"), played, QStringLiteral("--log"), log}));
    ASSERT_TRUE(SelectLinkLine().has_value());
    ASSERT_EQ(tapi_->LineOpen(6, 6), 0) << sim_.ErrorOutput().toStdString();
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Connected"))) << events_.join(u',').toStdString();
    EXPECT_EQ(PlayAndWait(file), std::optional<bool>(true));
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Idle"))) << events_.join(u',').toStdString();
    EXPECT_EQ(sim_.WaitFinished(), 0) << sim_.ErrorOutput().toStdString();
    const QStringList journal = ProgramJournal().ReadLogFile(ProgramJournal().systemFileName());
    SetJournalSwitches(false, false);
    EXPECT_EQ(journal.filter(QStringLiteral("came slower than the modem played")).size(), 1)
        << journal.join(u'\n').toStdString();

    std::vector<uint8_t> linear;
    modem::VoiceEncoder(modem::SampleEncoding::Unsigned8).Encode(message, linear);
    std::vector<int16_t> expected;
    modem::VoiceDecoder(modem::SampleEncoding::Unsigned8, 8000).Decode(linear, expected);
    std::vector<int16_t> arrived;
    ASSERT_EQ(sonvel::ReadTelephoneSound(played.toStdString(), 60, &arrived), "");
    EXPECT_TRUE(arrived == expected) << arrived.size() << " samples";
    QFile transcript(log);
    ASSERT_TRUE(transcript.open(QIODevice::ReadOnly));
    EXPECT_TRUE(transcript.readAll().contains("ran dry")) << "the buffer did run dry";
}

// A hang-up while a long message plays ends the play there: the stream is
// closed first, so the modem takes the hang-up as a command, not as sound,
// and the play's end is told as not played.
TEST_F(VoiceModemLineTest, AHangUpDuringAPlayEndsTheStreamFirst) {
    const QString file = dir_.filePath(QStringLiteral("long.wav"));
    WriteMessage(file, 8000 * 20);
    const QString log = dir_.filePath(QStringLiteral("log"));
    ASSERT_TRUE(sim_.Start(link_,
                           QStringLiteral("voice tone 440; wait-command VCID=1; "
                                          "call rings=1 number=5550101; pickup; "
                                          "wait-command VTX; wait-hangup timeout 20000; exit"),
                           {QStringLiteral("--log"), log}));
    ASSERT_EQ(OpenEmulatorLine(), 0) << sim_.ErrorOutput().toStdString();
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Connected"))) << events_.join(u',').toStdString();
    auto played = std::make_shared<std::optional<bool>>();
    ASSERT_TRUE(tapi_->PlayToLine(file, [played](bool whole) { *played = whole; }));
    // Twenty seconds of sound, and the program is free at once.
    EXPECT_FALSE(played->has_value());
    EXPECT_EQ(tapi_->LineDrop(), 0);
    ASSERT_TRUE(WaitFor([&] { return played->has_value(); }, 5000));
    EXPECT_EQ(*played, false);
    EXPECT_EQ(sim_.WaitFinished(), 0) << sim_.ErrorOutput().toStdString();
    QFile transcript(log);
    ASSERT_TRUE(transcript.open(QIODevice::ReadOnly));
    const QByteArray text = transcript.readAll();
    EXPECT_TRUE(text.contains("voice transmit ended")) << text.toStdString();
    EXPECT_FALSE(text.contains("160000 bytes")) << "the whole message was written";
}

// A Conexant modem reports a caller who stops talking (<DLE>q); that is no
// hang-up: the call goes on until the busy tone.
TEST_F(VoiceModemLineTest, AQuietCallerKeepsTheCallGoing) {
    const QString log = dir_.filePath(QStringLiteral("log"));
    ASSERT_TRUE(sim_.Start(
        link_,
        QStringLiteral("voice tone 440; wait-command VCID=1; "
                       "call rings=1 number=5550101; pickup; wait-command VRX; "
                       "sleep 200; voice silence; sleep 2500; "
                       "remote-hangup busy; wait-hangup timeout 20000; exit"),
        {QStringLiteral("--dialect"), QStringLiteral("conexant"), QStringLiteral("--speed"),
         QStringLiteral("10"), QStringLiteral("--log"), log}));
    ASSERT_TRUE(SelectLinkLine().has_value());
    ASSERT_EQ(tapi_->LineOpen(6, 6), 0) << sim_.ErrorOutput().toStdString();
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Idle"))) << events_.join(u',').toStdString();
    EXPECT_EQ(sim_.WaitFinished(), 0) << sim_.ErrorOutput().toStdString();
    QFile transcript(log);
    ASSERT_TRUE(transcript.open(QIODevice::ReadOnly));
    EXPECT_TRUE(transcript.readAll().contains("by the client: ")) << "the program ended it";
    transcript.seek(0);
    EXPECT_TRUE(transcript.readAll().contains(", events <DLE>q, <DLE>b"))
        << "the stream went on past the quiet to the busy tone";
}

// The window may be busy (a modal dialog, a slow disk) in the middle of a
// call: a modem whose buffer holds half a second must lose no sound while
// the GUI thread does nothing for two seconds.
TEST_F(VoiceModemLineTest, AWindowBusyForTwoSecondsCostsTheRecordingNoSound) {
    ASSERT_TRUE(sim_.Start(link_,
                           QStringLiteral("voice pattern; wait-command VCID=1; "
                                          "call rings=1 every=300 name=Bob number=5550100; pickup; "
                                          "wait-command VRX; sleep 4500; remote-hangup busy; "
                                          "wait-hangup timeout 20000; exit"),
                           {QStringLiteral("--modem-buffer"), QStringLiteral("2000")}));
    ASSERT_EQ(OpenEmulatorLine(), 0) << sim_.ErrorOutput().toStdString();
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Connected"))) << events_.join(u',').toStdString();
    sonvel::Wave wave(&window_, nullptr);
    ASSERT_FALSE(wave.InitC());
    const std::string file = dir_.filePath(QStringLiteral("call.wav")).toStdString();
    sonvel::WaveFormat format = sonvel::Pcm16Format(8000, 1);
    int32_t bufferSize = 800;
    sonvel::Bool16 vis = 0;
    ASSERT_EQ(wave.StartRecord(tapi_->GetWaveID(1), file, format, bufferSize, vis), 0);
    WaitFor([] { return false; }, 500);

    std::this_thread::sleep_for(std::chrono::seconds(2));  // the window is busy

    ASSERT_TRUE(WaitForEvent(QStringLiteral("Idle")));
    wave.StopRecord();
    window_.Pump();
    EXPECT_EQ(sim_.WaitFinished(), 0) << sim_.ErrorOutput().toStdString();
    QFile recorded(QString::fromStdString(file));
    ASSERT_TRUE(recorded.open(QIODevice::ReadOnly));
    const QByteArray bytes = recorded.readAll().mid(64);
    const auto* samples = reinterpret_cast<const int16_t*>(bytes.constData());
    const qsizetype count = bytes.size() / 2;
    const qsizetype intact = IntactPatternRun(samples, count);
    // More than the stall and the time around it, unbroken; only the busy
    // tone after the hang-up differs.
    EXPECT_GE(intact, 3 * 8000) << "of " << count << " samples";
    EXPECT_LE(count - intact, 4000);
}

TEST_F(VoiceModemLineTest, ARockwellDialectModemIsDrivenWithItsOwnCommands) {
    ASSERT_TRUE(sim_.Start(
        link_,
        QStringLiteral("voice pattern; wait-command CID=1; "
                       "call rings=2 every=300 name=\"Alice Example\" number=5551234; pickup; "
                       "wait-command VRX; sleep 500; remote-hangup busy; wait-hangup timeout "
                       "20000; sleep 30000"),
        {QStringLiteral("--dialect"), QStringLiteral("rockwell")}));
    const qint32 count = tapi_->LineCount();
    qint32 opened = -1;
    for (qint32 i = 0; i < count; ++i) {
        tapi_->SetLineIndex(i);
        LineDetails details;
        tapi_->GetLineDetails(details);
        if (details.port == link_) {
            EXPECT_TRUE(details.voiceCapability) << "from #CLS, as class 8 is not listed";
            EXPECT_TRUE(details.audioCapability);
            opened = tapi_->LineOpen(6, 6);
        }
    }
    ASSERT_EQ(opened, 0) << sim_.ErrorOutput().toStdString();
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Idle"))) << events_.join(u',').toStdString();
    EXPECT_EQ(events_, (QStringList{"InComeCall", "Ring 1", "CallerID Alice Example|5551234",
                                    "Ring 2", "Connected", "Disconnected", "Idle"}));
}

TEST_F(VoiceModemLineTest, LineAnswerTakesTheCallAndAStreamTheModemEndsEndsIt) {
    ASSERT_TRUE(sim_.Start(
        link_,
        QStringLiteral(
            "voice tone 440; wait-command VCID=1; call rings=2 every=300 name=Eve number=5550101; "
            "wait-command VRX; sleep 500; remote-hangup etx; "
            "wait-hangup timeout 20000; sleep 30000")));
    ASSERT_EQ(OpenEmulatorLine(), 0);
    QObject::connect(tapi_.get(), &Tapi::Ring, [this](qint32 count) {
        if (count == 2) {
            answer_ = tapi_->LineAnswer();
        }
    });
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Idle"))) << events_.join(u',').toStdString();
    EXPECT_EQ(answer_, 0);
    EXPECT_EQ(events_, (QStringList{"InComeCall", "Ring 1", "CallerID Eve|5550101", "Ring 2",
                                    "Connected", "Disconnected", "Idle"}));
    EXPECT_FALSE(tapi_->CallActive());
    EXPECT_EQ(tapi_->LineAnswer(), line_error::kNoCall) << "nothing rings any more";
}

// A second call rings and is picked up the moment the first one's hang-up
// puts the modem on-hook, while the backend still sets it up again: what
// the modem says meanwhile is handled once the setup is done, in order, so
// the second call is answered and recorded like the first.
TEST_F(VoiceModemLineTest, ACallPickedUpWhileTheModemIsSetUpAgainIsAnswered) {
    ASSERT_TRUE(sim_.Start(
        link_,
        QStringLiteral(
            "voice pattern; wait-command VCID=1; "
            "call rings=1 name=First number=5550001; pickup; wait-command VRX timeout 10000; "
            "sleep 300; remote-hangup busy; wait-hangup timeout 10000; "
            "call rings=1 name=Second number=5550002; pickup; wait-command VRX timeout 10000; "
            "sleep 300; remote-hangup busy; wait-hangup timeout 10000; exit")));
    ASSERT_EQ(OpenEmulatorLine(), 0) << sim_.ErrorOutput().toStdString();
    ASSERT_TRUE(WaitFor([this] { return events_.count(QStringLiteral("Idle")) == 2; }))
        << events_.join(u',').toStdString();
    EXPECT_EQ(sim_.WaitFinished(), 0) << sim_.ErrorOutput().toStdString();
    EXPECT_EQ(events_,
              (QStringList{"InComeCall", "Ring 1", "CallerID First|5550001", "Connected",
                           "Disconnected", "Idle", "InComeCall", "Ring 1",
                           "CallerID Second|5550002", "Connected", "Disconnected", "Idle"}));
}

struct CallerIdCase {
    const char* label;
    const char* call;
    const char* expected;
};

class CallerIdFormats : public VoiceModemLineTest,
                        public ::testing::WithParamInterface<CallerIdCase> {};

TEST_P(CallerIdFormats, ReachTheProgramAsOneCallerIdAndTheUnansweredCallEnds) {
    ASSERT_TRUE(sim_.Start(link_, QStringLiteral("wait-command VCID=1; %1; sleep 200; exit")
                                      .arg(QString::fromUtf8(GetParam().call))));
    ASSERT_EQ(OpenEmulatorLine(), 0) << sim_.ErrorOutput().toStdString();
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Idle"))) << events_.join(u',').toStdString();
    EXPECT_EQ(events_.filter(QStringLiteral("CallerID")),
              QStringList{QString::fromUtf8(GetParam().expected)});
    EXPECT_EQ(events_.first(), QStringLiteral("InComeCall"));
    EXPECT_EQ(events_.count(QStringLiteral("InComeCall")), 1);
    EXPECT_EQ(sim_.WaitFinished(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, CallerIdFormats,
    ::testing::Values(
        CallerIdCase{"Spaces", "call rings=2 every=300 name=\"Alice Example\" number=5551234",
                     "CallerID Alice Example|5551234"},
        CallerIdCase{"NoSpaces",
                     "call rings=2 every=300 name=\"Alice Example\" number=5551234 format=nospaces",
                     "CallerID Alice Example|5551234"},
        CallerIdCase{"OneLine", "call rings=2 every=300 name=Bob number=0207946 format=oneline",
                     "CallerID Bob|0207946"},
        CallerIdCase{"MdmfPacket",
                     "call rings=2 every=300 name=\"Alice Example\" number=5551234 format=mdmf",
                     "CallerID Alice Example|5551234"},
        CallerIdCase{"SdmfPacket", "call rings=2 every=300 number=6095551212 format=sdmf",
                     "CallerID UNKNOWN|6095551212"},
        CallerIdCase{"MesgPacket",
                     "call rings=2 every=300 name=\"Alice Example\" number=5551234 format=mesg",
                     "CallerID Alice Example|5551234"},
        // Some modems wrap the lines in a complex event report in voice class.
        CallerIdCase{"DleFramedReport",
                     "call rings=2 every=300 format=raw "
                     "raw=\"\\x10X\\r\\nNMBR = 5551234\\r\\nNAME = Bob\\r\\n\\x10.\"",
                     "CallerID Bob|5551234"},
        CallerIdCase{"BeforeTheFirstRing",
                     "call rings=2 every=300 name=\"Alice Example\" number=5551234 cid=before",
                     "CallerID Alice Example|5551234"}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

TEST_F(VoiceModemLineTest, CallerIdBeforeTheFirstRingIsReportedBeforeThatRing) {
    ASSERT_TRUE(
        sim_.Start(link_, QStringLiteral("wait-command VCID=1; call rings=2 every=300 name=Carol "
                                         "number=01632960 cid=before; sleep 30000")));
    ASSERT_EQ(OpenEmulatorLine(), 0);
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Idle")));
    EXPECT_EQ(events_,
              (QStringList{"InComeCall", "CallerID Carol|01632960", "Ring 1", "Ring 2", "Idle"}));
}

TEST_F(VoiceModemLineTest, CommandsWaitForTheResultOfAReceiveTheModemEnded) {
    // The modem ends the receive itself and sends its ERROR a moment after
    // <DLE><ETX>; a hang-up sent before it would take that ERROR as its own.
    const QString log = dir_.filePath(QStringLiteral("modem.log"));
    ASSERT_TRUE(sim_.Start(
        link_,
        QStringLiteral("voice tone 440; wait-command VCID=1; "
                       "call rings=1 every=300 name=Eve number=5550101; pickup; "
                       "wait-command VRX; sleep 500; remote-hangup etx error after 300; "
                       "wait-hangup timeout 20000; wait-command VCID=1 timeout 5000; exit"),
        {QStringLiteral("--log"), log}));
    ASSERT_EQ(OpenEmulatorLine(), 0) << sim_.ErrorOutput().toStdString();
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Idle"))) << events_.join(u',').toStdString();
    EXPECT_EQ(sim_.WaitFinished(), 0) << sim_.ErrorOutput().toStdString();
    EXPECT_EQ(events_, (QStringList{"InComeCall", "Ring 1", "CallerID Eve|5550101", "Connected",
                                    "Disconnected", "Idle"}));

    const std::vector<TranscriptLine> transcript = ReadTranscript(log);
    QStringList client;
    double resetAt = -1;
    double afterReset = -1;
    for (const TranscriptLine& line : transcript) {
        if (line.who != QStringLiteral("client")) {
            continue;
        }
        client << line.text;
        if (resetAt >= 0 && afterReset < 0) {
            afterReset = line.seconds;
        }
        if (line.text == QStringLiteral("ATZ")) {
            resetAt = line.seconds;
        }
    }
    EXPECT_TRUE(client.filter(QStringLiteral("while a result is due")).isEmpty())
        << client.join(u',').toStdString();
    const qsizetype received = client.indexOf(QStringLiteral("AT+VRX"));
    ASSERT_GE(received, 0);
    EXPECT_EQ(client.mid(received).count(QStringLiteral("ATH0")), 1)
        << "no hang-up repeated for an ERROR that was not its own";
    // A pause after the reset, and the probe's questions not asked twice.
    ASSERT_GE(resetAt, 0);
    EXPECT_GE(afterReset - resetAt, 0.25);
    EXPECT_EQ(client.count(QStringLiteral("AT+FCLASS=?")), 1) << client.join(u',').toStdString();
}

TEST_F(VoiceModemLineTest, APoundModemThatWantsDleBangAndRefusesEightBitsIsDrivenRight) {
    // Rockwell firmware that ends a receive only on <DLE>! and has only its
    // own ADPCM: the call still ends on-hook, and no sound is claimed.
    timing_.stopReceive = std::chrono::milliseconds(1000);
    MakeTapi();
    const QString log = dir_.filePath(QStringLiteral("modem.log"));
    ASSERT_TRUE(sim_.Start(
        link_,
        QStringLiteral("voice pattern; wait-command CID=1; call rings=2 every=300 name=Ann "
                       "number=5551234; pickup; wait-command VRX; sleep 500; remote-hangup busy; "
                       "wait-hangup timeout 8000; sleep 60000"),
        {QStringLiteral("--dialect"), QStringLiteral("rockwell"),
         QStringLiteral("--dle-abort-only"), QStringLiteral("--adpcm-only"),
         QStringLiteral("--log"), log}));
    ASSERT_TRUE(SelectLinkLine().has_value()) << sim_.ErrorOutput().toStdString();
    ASSERT_EQ(tapi_->LineOpen(6, 6), 0) << sim_.ErrorOutput().toStdString();
    const std::optional<LineDetails> open = SelectLinkLine();
    ASSERT_TRUE(open.has_value());
    EXPECT_FALSE(open->audioCapability) << "#VBS=8 was refused";
    EXPECT_TRUE(open->generateDigits) << "from #VTS=?";
    EXPECT_EQ(tapi_->GetWaveID(1), -1);

    ASSERT_TRUE(WaitForEvent(QStringLiteral("Idle"))) << events_.join(u',').toStdString();
    EXPECT_EQ(events_, (QStringList{"InComeCall", "Ring 1", "CallerID Ann|5551234", "Ring 2",
                                    "Connected", "Disconnected", "Idle"}));
    // The receive ended on request, then the modem went on-hook.
    sim_.Stop();
    QStringList line;
    for (const TranscriptLine& entry : ReadTranscript(log)) {
        if (entry.who == QStringLiteral("line") || entry.who == QStringLiteral("note")) {
            line << entry.text;
        }
    }
    const qsizetype ended =
        line.indexOf(QRegularExpression(QStringLiteral("voice receive ended by the client.*")));
    ASSERT_GE(ended, 0) << line.join(u',').toStdString();
    EXPECT_GE(line.indexOf(QStringLiteral("modem on-hook"), ended), 0)
        << line.join(u',').toStdString();
}

TEST_F(VoiceModemLineTest, AReceiveThatWillNotEndIsHungUpTheHardWayAndJournaled) {
    testing::TestEnvironment env;
    env.makeProgramFolders();
    SetJournalSwitches(true, false);
    timing_.stopReceive = std::chrono::milliseconds(500);
    MakeTapi();
    ASSERT_TRUE(sim_.Start(
        link_,
        QStringLiteral("voice tone 440; wait-command VCID=1; call rings=1 name=Ann number=5551234; "
                       "pickup; wait-command VRX; sleep 300; remote-hangup busy; sleep 60000"),
        {QStringLiteral("--ignore-abort")}));
    ASSERT_EQ(OpenEmulatorLine(), 0) << sim_.ErrorOutput().toStdString();
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Disconnected"))) << events_.join(u',').toStdString();
    const QStringList journal = ProgramJournal().ReadLogFile(ProgramJournal().systemFileName());
    SetJournalSwitches(false, false);
    // A pseudo-terminal has no DTR line: the journal says the line may be
    // off-hook still, never that it ended cleanly.
    EXPECT_EQ(journal.filter(QStringLiteral("did not end the voice receive")).size(), 1)
        << journal.join(u'\n').toStdString();
}

TEST_F(VoiceModemLineTest, AUnitThatMissesTheFirstEndOfAReceiveIsAskedAgain) {
    testing::TestEnvironment env;
    env.makeProgramFolders();
    SetJournalSwitches(true, false);
    MakeTapi();
    ASSERT_TRUE(sim_.Start(
        link_,
        QStringLiteral("voice tone 440; wait-command VCID=1; call rings=1 name=Ann number=5551234; "
                       "pickup; wait-command VRX; sleep 300; remote-hangup busy; "
                       "wait-hangup timeout 20000; exit"),
        {QStringLiteral("--dialect"), QStringLiteral("usr5637"), QStringLiteral("--abort-repeats"),
         QStringLiteral("2")}));
    ASSERT_TRUE(SelectLinkLine().has_value());  // named as a U.S. Robotics modem
    ASSERT_EQ(tapi_->LineOpen(6, 6), 0) << sim_.ErrorOutput().toStdString();
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Idle"))) << events_.join(u',').toStdString();
    EXPECT_EQ(sim_.WaitFinished(), 0) << sim_.ErrorOutput().toStdString();
    const QStringList journal = ProgramJournal().ReadLogFile(ProgramJournal().systemFileName());
    SetJournalSwitches(false, false);
    EXPECT_TRUE(journal.filter(QStringLiteral("did not end the voice receive")).isEmpty())
        << journal.join(u'\n').toStdString();
    // Its caller ID was asked back after each set-up and found on.
    EXPECT_TRUE(journal.filter(QStringLiteral("did not turn caller ID on")).isEmpty());
    EXPECT_TRUE(events_.contains(QStringLiteral("CallerID Ann|5551234")))
        << events_.join(u',').toStdString();
}

TEST_F(VoiceModemLineTest, CallerIdTheModemWillNotTurnOnIsJournaledOnceAndCallsStillRing) {
    testing::TestEnvironment env;
    env.makeProgramFolders();
    SetJournalSwitches(true, false);
    MakeTapi();
    ASSERT_TRUE(sim_.Start(link_,
                           QStringLiteral("voice tone 440; wait-command VCID; sleep 300; "
                                          "call rings=1 name=Ann number=5551234; pickup; "
                                          "wait-command VRX; sleep 300; remote-hangup busy; "
                                          "wait-hangup timeout 20000; wait-command VCID; exit"),
                           {QStringLiteral("--refuse"), QStringLiteral("VCID")}));
    ASSERT_EQ(OpenEmulatorLine(), 0) << sim_.ErrorOutput().toStdString();
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Idle"))) << events_.join(u',').toStdString();
    EXPECT_EQ(sim_.WaitFinished(), 0) << sim_.ErrorOutput().toStdString();
    const QStringList journal = ProgramJournal().ReadLogFile(ProgramJournal().systemFileName());
    SetJournalSwitches(false, false);
    EXPECT_FALSE(events_.join(u',').contains(QStringLiteral("CallerID")));
    EXPECT_EQ(journal.filter(QStringLiteral("did not turn caller ID on")).size(), 1)
        << journal.join(u'\n').toStdString();
}

TEST_F(VoiceModemLineTest, AWaitingCallsRingsDuringAConnectedCallAreIgnoredAndJournaledOnce) {
    testing::TestEnvironment env;
    env.makeProgramFolders();
    SetJournalSwitches(true, false);
    MakeTapi();
    ASSERT_TRUE(sim_.Start(
        link_,
        QStringLiteral("voice tone 440; wait-command VCID=1; call rings=1 name=Ann number=5551234; "
                       "pickup; wait-command VRX; sleep 300; ring; sleep 300; ring; sleep 300; "
                       "remote-hangup busy; wait-hangup timeout 20000; exit")));
    ASSERT_EQ(OpenEmulatorLine(), 0) << sim_.ErrorOutput().toStdString();
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Idle"))) << events_.join(u',').toStdString();
    EXPECT_EQ(sim_.WaitFinished(), 0) << sim_.ErrorOutput().toStdString();
    const QStringList journal = ProgramJournal().ReadLogFile(ProgramJournal().systemFileName());
    SetJournalSwitches(false, false);
    EXPECT_EQ(events_, (QStringList{"InComeCall", "Ring 1", "CallerID Ann|5551234", "Connected",
                                    "Disconnected", "Idle"}));
    EXPECT_EQ(journal.filter(QStringLiteral("waiting call")).size(), 1)
        << journal.join(u'\n').toStdString();
}

// A far end that hangs up without a busy tone: the line goes silent, or the
// call would go on for ever. The limits end it; without them it goes on.
struct CallLimitCase {
    const char* label;
    int silenceLimit;
    int longestCall;
    const char* farEnd;  // after 1 s of tone
    const char* journaled;
};

class CallLimits : public VoiceModemLineTest,
                   public ::testing::WithParamInterface<CallLimitCase> {};

TEST_P(CallLimits, EndTheCallWithoutABusyTone) {
    testing::TestEnvironment env;
    env.makeProgramFolders();
    SetJournalSwitches(true, false);
    silenceLimit_ = GetParam().silenceLimit;
    longestCall_ = GetParam().longestCall;
    ASSERT_TRUE(sim_.Start(
        link_,
        QStringLiteral("voice tone 440; wait-command VCID=1; call rings=1 name=Ann number=5551234; "
                       "pickup; wait-command VRX; sleep 20; %1; wait-hangup timeout 10000; exit")
            .arg(QString::fromLatin1(GetParam().farEnd)),
        {QStringLiteral("--speed"), QStringLiteral("10")}));
    ASSERT_EQ(OpenEmulatorLine(), 0) << sim_.ErrorOutput().toStdString();
    const QString journaled = QString::fromLatin1(GetParam().journaled);
    // Sound comes ten times real time.
    const bool ended = WaitForEvent(QStringLiteral("Idle"), journaled.isEmpty() ? 3000 : 9000);
    const QStringList journal = ProgramJournal().ReadLogFile(ProgramJournal().systemFileName());
    SetJournalSwitches(false, false);
    EXPECT_EQ(ended, !journaled.isEmpty()) << events_.join(u',').toStdString();
    EXPECT_EQ(journal.filter(QStringLiteral("The call was ended")).join(u'|').contains(journaled),
              true)
        << journal.join(u'\n').toStdString();
    if (journaled.isEmpty()) {
        EXPECT_TRUE(journal.filter(QStringLiteral("The call was ended")).isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    FarEnds, CallLimits,
    ::testing::Values(CallLimitCase{"SilenceAtItsLimit", 2, 0, "voice silence", "2 s of silence"},
                      CallLimitCase{"NoLimitsGoesOn", 0, 0, "voice silence", ""},
                      CallLimitCase{"TalkingPastTheLongestCall", 2, 3, "sleep 1", "limit of 3 s"}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

TEST(CallLimitSettings, ReadAsWholeNumbersWithinTheirRanges) {
    testing::TestEnvironment env;
    env.makeProgramFolders();
    RegistryRoutines store(kHkeyLocalMachine, product::kRootKey, kTabDevices);
    store.CreateKey();
    const struct {
        const char* silence;
        const char* longest;
        int silenceSeconds;
        int longestSeconds;
    } kCases[] = {
        {"", "", 0, 0},
        {"8", "90", 8, 90 * 60},
        {" 5 ", "abc", 5, 0},
        {"-3", "1.5", 0, 0},
        {"99999", "99999", 3600, 24 * 60 * 60},
    };
    for (const auto& value : kCases) {
        ASSERT_TRUE(
            store.SetRegistryValue(setting::kTxtSilenceLimit, QString::fromLatin1(value.silence)));
        ASSERT_TRUE(
            store.SetRegistryValue(setting::kTxtLongestCall, QString::fromLatin1(value.longest)));
        const VoiceModemSettings settings = ReadVoiceModemSettings();
        EXPECT_EQ(settings.silenceLimitSeconds, value.silenceSeconds) << value.silence;
        EXPECT_EQ(settings.longestCallSeconds, value.longestSeconds) << value.longest;
    }
}

// Region firmware of a Conexant modem reports no caller ID until it is told
// the line's standard, again on every set-up; a modem that refuses the
// command is journaled once and still rings with its caller ID.
struct CallerIdStandardCase {
    const char* label;
    const char* dialect;
    const char* standard;
    bool callerId;
    qsizetype sent;  // set-ups that sent the standard
    qsizetype journaled;
};

class CallerIdStandards : public VoiceModemLineTest,
                          public ::testing::WithParamInterface<CallerIdStandardCase> {};

TEST_P(CallerIdStandards, AreSentOnEverySetUpAndBringTheCallerId) {
    const CallerIdStandardCase& c = GetParam();
    testing::TestEnvironment env;
    env.makeProgramFolders();
    SetJournalSwitches(true, false);
    callerIdStandard_ = QString::fromLatin1(c.standard);
    MakeTapi();
    const QString log = dir_.filePath(QStringLiteral("modem.log"));
    QStringList options = {QStringLiteral("--dialect"), QString::fromLatin1(c.dialect),
                           QStringLiteral("--log"), log};
    if (options[1] == QStringLiteral("conexant")) {
        options << QStringLiteral("--cid-needs-standard");  // another region's firmware
    }
    ASSERT_TRUE(sim_.Start(link_,
                           QStringLiteral("voice tone 440; wait-command VCID; sleep 300; "
                                          "call rings=1 name=Ann number=5551234; pickup; "
                                          "wait-command VRX; sleep 300; remote-hangup busy; "
                                          "wait-hangup timeout 20000; wait-command VCID; exit"),
                           options));
    ASSERT_TRUE(SelectLinkLine().has_value());
    ASSERT_EQ(tapi_->LineOpen(6, 6), 0) << sim_.ErrorOutput().toStdString();
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Idle"))) << events_.join(u',').toStdString();
    EXPECT_EQ(sim_.WaitFinished(), 0) << sim_.ErrorOutput().toStdString();
    const QStringList journal = ProgramJournal().ReadLogFile(ProgramJournal().systemFileName());
    SetJournalSwitches(false, false);
    EXPECT_EQ(events_.contains(QStringLiteral("CallerID Ann|5551234")), c.callerId)
        << events_.join(u',').toStdString();
    EXPECT_EQ(ClientLines(log).filter(QStringLiteral("AT!4886=")).size(), c.sent);
    EXPECT_EQ(journal.filter(QStringLiteral("refused the caller-ID standard")).size(), c.journaled)
        << journal.join(u'\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Modems, CallerIdStandards,
    ::testing::Values(CallerIdStandardCase{"ConexantToldItsStandard", "conexant", "02", true, 2, 0},
                      CallerIdStandardCase{"ConexantLeftAlone", "conexant", "", false, 0, 0},
                      CallerIdStandardCase{"AModemThatRefusesIt", "v253", "03", true, 2, 1}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

TEST(CallerIdStandardSetting, OnlyAListedCodeIsSent) {
    testing::TestEnvironment env;
    env.makeProgramFolders();
    RegistryRoutines store(kHkeyLocalMachine, product::kRootKey, kTabDevices);
    store.CreateKey();
    const struct {
        const char* stored;
        const char* code;
    } kCases[] = {
        {"", ""},    {"00", "00"}, {"5", "05"},  {" 03 ", "03"}, {"04", ""},  {"06", ""},
        {"256", ""}, {"-1", ""},   {"ETSI", ""}, {"2.0", ""},    {"+02", ""}, {"0002", ""},
    };
    for (const auto& value : kCases) {
        ASSERT_TRUE(store.SetRegistryValue(setting::kCmbCallerIdStandard,
                                           QString::fromLatin1(value.stored)));
        EXPECT_EQ(ReadVoiceModemSettings().callerIdStandard, QString::fromLatin1(value.code))
            << value.stored;
    }
}

TEST_F(VoiceModemLineTest, ACompoundSetupLineTheFirmwareRefusesIsSentPartByPart) {
    const QString log = dir_.filePath(QStringLiteral("modem.log"));
    ASSERT_TRUE(sim_.Start(
        link_, QStringLiteral("wait-command VCID=1; sleep 60000"),
        {QStringLiteral("--dialect"), QStringLiteral("lucent"), QStringLiteral("--refuse"),
         QStringLiteral("VPR"), QStringLiteral("--log"), log}));
    ASSERT_TRUE(SelectLinkLine().has_value()) << sim_.ErrorOutput().toStdString();
    ASSERT_EQ(tapi_->LineOpen(6, 6), 0) << sim_.ErrorOutput().toStdString();
    const QStringList client = ClientLines(log);
    EXPECT_TRUE(client.contains(QStringLiteral("AT+VPR=0;+VIT=0;+VLS=0")))
        << client.join(u',').toStdString();
    EXPECT_TRUE(client.contains(QStringLiteral("AT+VIT=0"))) << client.join(u',').toStdString();
    EXPECT_TRUE(client.contains(QStringLiteral("AT+VLS=0"))) << client.join(u',').toStdString();
}

TEST_F(VoiceModemLineTest, ASlowModemsCallerIdAndALateFieldAreKeptWhole) {
    // Each line of the first caller takes longer than the quiet time, one
    // byte every 40 ms; the second caller's name comes after the report.
    timing_.ringTimeout = std::chrono::milliseconds(4000);
    MakeTapi();
    ASSERT_TRUE(sim_.Start(
        link_, QStringLiteral("wait-command VCID=1; "
                              "call rings=2 every=3500 name=\"Alice Example\" number=5551234 "
                              "pace=40; sleep 5000; call rings=1 number=5550101; sleep 1000; "
                              "cid format=raw raw=\"\\r\\nNAME = Bob\\r\\n\"; ring; sleep 6000")));
    ASSERT_EQ(OpenEmulatorLine(), 0) << sim_.ErrorOutput().toStdString();
    ASSERT_TRUE(WaitFor([&] { return events_.count(QStringLiteral("Idle")) == 2; }, 30000))
        << events_.join(u',').toStdString();
    EXPECT_EQ(events_,
              (QStringList{"InComeCall", "Ring 1", "CallerID Alice Example|5551234", "Ring 2",
                           "Idle", "InComeCall", "Ring 1", "CallerID UNKNOWN|5550101",
                           "CallerID Bob|5550101", "Ring 2", "Idle"}));
}

TEST_F(VoiceModemLineTest, AHostileCallerIdIsCleanedAndTheLineKeepsAnswering) {
    const QString longName = QString(10000, QLatin1Char('A'));
    ASSERT_TRUE(sim_.Start(
        link_,
        QStringLiteral(
            "wait-command VCID=1; ring; raw \"NAME = Evil\\r\\nNMBR = ../../x\\x1b[2J\\0\\r\\n\"; "
            "ring every 300; sleep 2000; "
            "call rings=2 every=300 name=%1 number=5551234 format=nospaces; sleep 2000; "
            "call rings=2 every=300 name=Dave number=5550000; exit")
            .arg(longName)));
    ASSERT_EQ(OpenEmulatorLine(), 0);
    ASSERT_TRUE(WaitFor([&] { return events_.filter(QStringLiteral("CallerID")).size() == 3; }))
        << events_.join(u',').toStdString();
    const QStringList callers = events_.filter(QStringLiteral("CallerID"));
    EXPECT_EQ(callers[0], QStringLiteral("CallerID Evil|..-..-x [2J"));
    EXPECT_EQ(callers[1], QStringLiteral("CallerID %1|5551234").arg(QString(40, QLatin1Char('A'))));
    EXPECT_EQ(callers[2], QStringLiteral("CallerID Dave|5550000"));
    for (const QString& caller : callers) {
        for (const QChar c : caller) {
            EXPECT_GE(c.unicode(), 0x20) << caller.toStdString();
        }
    }
    EXPECT_TRUE(tapi_->LineOpened());
}

TEST_F(VoiceModemLineTest, ClosingFreesThePortAndTheLineOpensAgain) {
    ASSERT_TRUE(sim_.Start(link_, QStringLiteral("wait-client; sleep 60000")));
    ASSERT_EQ(OpenEmulatorLine(), 0);

    QSerialPort other;
    other.setPortName(link_);
    EXPECT_FALSE(other.open(QIODevice::ReadWrite)) << "the open line holds the port";

    EXPECT_EQ(tapi_->LineClose(), 0);
    EXPECT_EQ(tapi_->LineShutdown(), 0);
    EXPECT_FALSE(tapi_->LineOpened());
    ASSERT_TRUE(other.open(QIODevice::ReadWrite)) << other.errorString().toStdString();
    other.close();

    // A later open needs no new LineInitialize.
    EXPECT_EQ(OpenEmulatorLine(), 0);
    EXPECT_TRUE(tapi_->LineOpened());
}

TEST_F(VoiceModemLineTest, AnUnpluggedModemIsReportedAndTheLineReopensOnceItIsBack) {
    ASSERT_TRUE(sim_.Start(link_, QStringLiteral("wait-command VCID=1; sleep 300; exit")));
    ASSERT_EQ(OpenEmulatorLine(), 0);
    ASSERT_TRUE(WaitForEvent(QStringLiteral("LineLost %1").arg(line_error::kDeviceLost)))
        << events_.join(u',').toStdString();
    EXPECT_FALSE(tapi_->LineOpened());
    EXPECT_EQ(tapi_->LineOpen(6, 6), line_error::kNoSuchPort) << "still gone";

    ModemSimProcess again;
    ASSERT_TRUE(again.Start(link_, QStringLiteral("wait-client; sleep 60000")));
    EXPECT_EQ(OpenEmulatorLine(), 0);
    EXPECT_TRUE(tapi_->LineOpened());
}

TEST_F(VoiceModemLineTest, AnAnsweredDialOutConnectsAndABusyOneEnds) {
    ASSERT_TRUE(sim_.Start(
        link_, QStringLiteral(
                   "dial-answer answered after 200; wait-command ATD; wait-command VRX; sleep 300; "
                   "remote-hangup dialtone; wait-hangup timeout 20000; dial-answer busy after 200; "
                   "wait-command ATD; sleep 2000; exit")));
    ASSERT_EQ(OpenEmulatorLine(), 0);
    QString number = QStringLiteral("(555) 123-4567");
    ASSERT_EQ(tapi_->LineMakeCall(number), 0);
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Idle"))) << events_.join(u',').toStdString();
    EXPECT_EQ(events_, (QStringList{"OutgoingProgress", "Connected", "Disconnected", "Idle"}));

    events_.clear();
    ASSERT_EQ(tapi_->LineMakeCall(number), 0);
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Idle"))) << events_.join(u',').toStdString();
    EXPECT_EQ(events_, (QStringList{"OutgoingProgress", "Disconnected", "Idle"}));
}

TEST_F(VoiceModemLineTest, NothingDialableIsRefusedWithoutTouchingTheLine) {
    ASSERT_TRUE(sim_.Start(link_, QStringLiteral("wait-client; sleep 60000")));
    ASSERT_EQ(OpenEmulatorLine(), 0);
    QString number = QStringLiteral("call me");
    EXPECT_EQ(tapi_->LineMakeCall(number), line_error::kBadNumber);
    EXPECT_FALSE(tapi_->CallActive());
}

TEST_F(VoiceModemLineTest, TheLineOpensInTheBackgroundAndAnOpenUnderWayCanBeGivenUp) {
    ASSERT_TRUE(sim_.Start(link_, QStringLiteral("wait-command VCID=1; call rings=2 every=300 "
                                                 "name=\"Bob Example\" number=5550100; "
                                                 "sleep 60000")));
    ASSERT_TRUE(SelectLinkLine());
    qint32 result = -1;
    tapi_->LineOpenInBackground(6, 6, [&](qint32 code) { result = code; });
    EXPECT_TRUE(tapi_->LineOpening());
    EXPECT_FALSE(tapi_->LineOpened());
    ASSERT_TRUE(WaitFor([&] { return result != -1; }));
    EXPECT_EQ(result, line_error::kNone);
    EXPECT_TRUE(tapi_->LineOpened());
    EXPECT_FALSE(tapi_->LineOpening());
    // The port set up on the worker thread works here: the call comes in.
    ASSERT_TRUE(WaitForEvent(QStringLiteral("Ring 2"))) << events_.join(u',').toStdString();
    EXPECT_TRUE(events_.contains(QStringLiteral("CallerID Bob Example|5550100")))
        << events_.join(u',').toStdString();
    EXPECT_EQ(tapi_->LineClose(), line_error::kNone);

    // Closed while the modem is being set up: nothing is opened, nothing
    // answers later, and the port is free.
    result = -1;
    tapi_->LineOpenInBackground(6, 6, [&](qint32 code) { result = code; });
    ASSERT_TRUE(tapi_->LineOpening());
    EXPECT_EQ(tapi_->LineClose(), line_error::kNone);
    EXPECT_FALSE(tapi_->LineOpening());
    EXPECT_FALSE(tapi_->LineOpened());
    QCoreApplication::processEvents();
    EXPECT_EQ(result, -1);
    QSerialPort other;
    other.setPortName(link_);
    EXPECT_TRUE(other.open(QIODevice::ReadWrite)) << other.errorString().toStdString();
}

// A built-in serial port may carry a console, a UPS or a GPS receiver: it is
// listed without a byte sent to it and asked only once it is picked, unless
// the user named it in the settings.
TEST(BuiltInSerialPort, IsAskedOnlyOncePickedOrNamed) {
    int controller = -1;
    int terminal = -1;
    ASSERT_EQ(::openpty(&controller, &terminal, nullptr, nullptr, nullptr), 0);
    ::fcntl(controller, F_SETFL, ::fcntl(controller, F_GETFL) | O_NONBLOCK);
    const QString path = QString::fromLocal8Bit(::ttyname(terminal));
    const auto sent = [&] {
        QByteArray bytes;
        char buffer[256];
        for (ssize_t n; (n = ::read(controller, buffer, sizeof buffer)) > 0;) {
            bytes.append(buffer, n);
        }
        return bytes;
    };
    VoiceModemTiming timing;
    timing.probeCommand = std::chrono::milliseconds(300);
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named in the settings" : "only listed");
        auto backend = std::make_unique<VoiceModemBackend>(
            [&] {
                return VoiceModemSettings{named ? QStringList{path} : QStringList{}, {}};
            },
            timing);
        backend->SetSystemPortLister([&] {
            return std::vector<SerialPortCandidate>{{path, QStringLiteral("ttyS9"), QString(),
                                                     QFileInfo(path).canonicalFilePath(), false,
                                                     QString()}};
        });
        Tapi tapi(std::move(backend));
        tapi.LineInitialize();
        // A port being asked (it takes two unanswered "AT"s) is waited for
        // without holding the caller.
        bool listed = false;
        tapi.WhenLinesListed([&] { listed = true; });
        EXPECT_EQ(listed, !named);
        const QDeadlineTimer limit(20000);
        while (!listed && !limit.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        ASSERT_TRUE(listed);
        ASSERT_EQ(tapi.LineCount(), 1);
        LineDetails details;
        tapi.GetLineDetails(details);
        EXPECT_EQ(details.deviceName, QStringLiteral("Serial port (ttyS9)"));
        EXPECT_EQ(sent().contains("AT"), named);
        if (!named) {
            // Picked: now it is asked (and nothing answers).
            EXPECT_EQ(tapi.LineOpen(6, 6), line_error::kNoAnswer);
            EXPECT_TRUE(sent().contains("AT"));
        }
    }
    ::close(terminal);
    ::close(controller);
}

}  // namespace
}  // namespace orvane
