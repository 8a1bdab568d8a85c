// The whole program tells the caller that the call is recorded: with the
// announcement on, a call answered for recording hears the user's WAV
// through the modem's voice transmit, sample for sample in the line's
// format, and the call is still recorded and stored.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <vector>

#include "app/main_window.h"
#include "app/program.h"
#include "audio/telephone_sound.h"
#include "calls/store/call_store.h"
#include "core/paths.h"
#include "journal/journal_writer.h"
#include "settings/names/incoming_call.h"
#include "telephony/modem/voice_format.h"
#include "tests/support/program_on_emulator.h"

namespace orvane {
namespace {

// A 16-bit 8 kHz mono PCM WAV file of `samples`.
bool WriteWav(const QString& path, const std::vector<int16_t>& samples) {
    QByteArray wav("RIFF");
    const auto put = [&wav](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            wav.append(static_cast<char>((value >> (8 * i)) & 0xFF));
        }
    };
    const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
    put(36 + dataBytes, 4);
    wav.append("WAVEfmt ");
    put(16, 4);
    put(1, 2);
    put(1, 2);
    put(8000, 4);
    put(16000, 4);
    put(2, 2);
    put(16, 2);
    wav.append("data");
    put(dataBytes, 4);
    for (const int16_t sample : samples) {
        put(static_cast<uint16_t>(sample), 2);
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(wav) == wav.size();
}

class AnnouncementEndToEnd : public testing::ProgramOnEmulatorTest<> {};

// Before the recording or while it runs, the caller hears the announcement
// sample for sample and the call is stored. Played while it runs, the
// recording holds the announcement where the caller's sound would be, since
// the modem hears nothing while it plays; played before, it is not in it.
TEST_F(AnnouncementEndToEnd, TheCallerHearsTheUsersAnnouncementAndTheCallIsRecorded) {
    std::vector<int16_t> announcement;
    for (int i = 0; i < 4000; ++i) {
        announcement.push_back(static_cast<int16_t>(((i * 211) % 28000) - 14000));
    }
    ASSERT_TRUE(QDir().mkpath(paths::UserSoundFolder()));
    ASSERT_TRUE(WriteWav(paths::UserSoundFolder() + QStringLiteral("notice.wav"), announcement));
    Store(kTabIncomingCall, "chkAnnounce_IC", QStringLiteral("1"));
    Store(kTabIncomingCall, "CmbAnnounce_IC", QStringLiteral("notice.wav"));
    const QString played = env_.root() + QStringLiteral("/played.wav");

    for (const bool whileRecording : {false, true}) {
        SCOPED_TRACE(whileRecording ? "while recording" : "before recording");
        Store(kTabIncomingCall, "chkAnnounceWhile_IC",
              whileRecording ? QStringLiteral("1") : QStringLiteral("0"));
        sim_.Stop();
        ASSERT_TRUE(sim_.Start(link_,
                               QStringLiteral("voice tone 440; wait-command VCID=1; "
                                              "call rings=2 every=300 number=5551234; pickup; "
                                              "wait-command VTX; wait-command VRX; sleep 1500; "
                                              "remote-hangup busy; wait-hangup timeout 20000; "
                                              "sleep 120000"),
                               {QStringLiteral("--played"), played}));
        Program program;
        program.Load(true);
        ASSERT_TRUE(PumpUntil([&] { return Journal().contains(QStringLiteral("End Of Call")); }))
            << Journal().toStdString();

        std::vector<uint8_t> muLaw;
        modem::VoiceEncoder(modem::SampleEncoding::MuLaw).Encode(announcement, muLaw);
        std::vector<int16_t> expected;
        modem::VoiceDecoder(modem::SampleEncoding::MuLaw, 8000).Decode(muLaw, expected);
        std::vector<int16_t> arrived;
        ASSERT_EQ(sonvel::ReadTelephoneSound(played.toStdString(), 60, &arrived), "")
            << Journal().toStdString();
        EXPECT_TRUE(arrived == expected) << arrived.size() << " samples";
        EXPECT_EQ(ReadAllCallRecords(folder_).size(), 1u) << Journal().toStdString();

        const QStringList waves = QDir(folder_).entryList({QStringLiteral("*.wav")}, QDir::Files);
        ASSERT_EQ(waves.size(), 1);
        std::vector<int16_t> recorded;
        ASSERT_EQ(sonvel::ReadTelephoneSound((folder_ + waves[0]).toStdString(), 60, &recorded),
                  "");
        const bool held = std::search(recorded.begin(), recorded.end(), announcement.begin(),
                                      announcement.end()) != recorded.end();
        EXPECT_EQ(held, whileRecording) << recorded.size() << " samples recorded";

        program.Window().UnLoadApp();
        QFile::remove(ProgramJournal().folder() + ProgramJournal().systemFileName());
        for (const QString& name : QDir(folder_).entryList(QDir::Files | QDir::Hidden)) {
            QFile::remove(folder_ + name);
        }
    }
}

}  // namespace
}  // namespace orvane
