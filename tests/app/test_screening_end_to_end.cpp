// Screening on the emulated line: a blocked caller is answered and hung up
// with nothing recorded and no notice; in allow-list mode a caller the
// phone book names rings through and is recorded as before; a caller with a
// never-record rule rings but leaves no sound file; a block entry with a
// message plays it to the line before hanging up. Blocked calls, and
// never-recorded ones unless the settings say otherwise, are listed under
// their own kind of the calls list's filter.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QStatusBar>

#include "app/calls_list/calls_list_view.h"
#include "app/calls_list/calls_search_bar.h"
#include "app/main_window.h"
#include "app/program.h"
#include "audio/telephone_sound.h"
#include "calls/list/calls_list_model.h"
#include "calls/phonebook/phone_book.h"
#include "calls/screening/screening_file.h"
#include "calls/store/call_store.h"
#include "core/paths.h"
#include "core/product.h"
#include "journal/journal_writer.h"
#include "settings/names/incoming_call.h"
#include "settings/names/log.h"
#include "settings/names/screening.h"
#include "settings/store/registry_routines.h"
#include "settings/store/registry_types.h"
#include "telephony/modem/voice_format.h"
#include "tests/support/fake_notifications.h"
#include "tests/support/program_on_emulator.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

class ScreeningEndToEnd : public testing::ProgramOnEmulatorTest<> {
  protected:
    // A process connects to its session bus once: the tests here share one
    // bus with the desktop's notices on it, registered once.
    static testing::FakeNotifications& Notices() {
        if (notices_ == nullptr) {
            notices_ = new testing::FakeNotifications;
            registered_ = !notices_->Address().isEmpty() && notices_->Register();
        }
        return *notices_;
    }
    static bool NoticesRegistered() { return registered_; }
    static void TearDownTestSuite() {
        delete notices_;
        notices_ = nullptr;
    }

  private:
    static inline testing::FakeNotifications* notices_ = nullptr;
    static inline bool registered_ = false;
};

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

QString CallsJournal() {
    QFile file(ProgramJournal().folder() + ProgramJournal().callsFileName());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST_F(ScreeningEndToEnd, ABlockedCallerIsHungUpUnrecordedAPhoneBookCallerRingsInAllowListMode) {
    testing::FakeNotifications& service = Notices();
    if (service.Address().isEmpty()) {
        GTEST_SKIP() << "no private session bus: dbus-daemon (package dbus) is missing";
    }
    ASSERT_TRUE(NoticesRegistered());
    env_.setVariable("DBUS_SESSION_BUS_ADDRESS", service.Address());
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
    Store(kTabIncomingCall, "chkViewCD_IC", QStringLiteral("1"));
    Store(kTabLog, "chkLogCalls", QStringLiteral("1"));
    WriteFile(PhoneBook::DefaultFile(),
              "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Anna Berg\r\nTEL:0301234\r\nEND:VCARD\r\n");
    const struct {
        const char* what;
        QByteArray rules;
        const char* number;
        bool rings;
        bool recorded;
        const char* listUnrecorded;  // the setting; "": missing
        CallKindChoice listedAs;     // kAll: listed only if recorded
    } cases[] = {
        {"blocked prefix", "block\thangup\tnumber\t0900*\n", "09001234", false, false, "0",
         CallKindChoice::kBlocked},
        {"allow-list mode, stranger", "allow-list-mode\ton\n", "0305555", false, false, "",
         CallKindChoice::kBlocked},
        {"allow-list mode, phone book", "allow-list-mode\ton\n", "0301234", true, true, "",
         CallKindChoice::kAll},
        {"never recorded", "record\tnever\tcontact\tAnna Berg\n", "0301234", true, false, "",
         CallKindChoice::kNotRecorded},
        {"never recorded, not listed", "record\tnever\tcontact\tAnna Berg\n", "0301234", true,
         false, "0", CallKindChoice::kAll},
        {"allowed number", "allow\tnumber\t030 1234\n", "0301234", true, true, "",
         CallKindChoice::kAll},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(ScreeningFile::DefaultFile(), c.rules);
        RegistryRoutines screening(kHkeyLocalMachine, product::kRootKey, kTabScreening);
        screening.CreateKey();
        if (*c.listUnrecorded == '\0') {
            screening.DeleteValue(setting::kChkListUnrecorded);
        } else {
            Store(kTabScreening, "chkListUnrecorded", QString::fromLatin1(c.listUnrecorded));
        }
        service.calls.clear();
        // A call that rings through is picked up on the handset and recorded;
        // a blocked one is answered by the program, which must hang up.
        const QString number = QString::fromLatin1(c.number);
        const QString script =
            QStringLiteral("voice pattern; wait-command VCID=1; call rings=4 every=300 number=") +
            number +
            (c.rings ? QStringLiteral("; pickup; wait-command VRX; sleep 1500; remote-hangup busy")
                     : QStringLiteral("; wait-command VRX")) +
            QStringLiteral("; wait-hangup timeout 20000; sleep 120000");
        sim_.Stop();
        ASSERT_TRUE(sim_.Start(link_, script));
        {
            Program program;
            program.Load(true);
            ASSERT_TRUE(PumpUntil([&] {
                return Journal().count(QStringLiteral("End Of Call")) > 0;
            })) << Journal().toStdString();
            const std::vector<CallRecord> records = ReadAllCallRecords(folder_);
            const QStringList waves =
                QDir(folder_).entryList({QStringLiteral("*.wav")}, QDir::Files | QDir::Hidden);
            EXPECT_EQ(records.size(), c.recorded ? 1u : 0u);
            EXPECT_EQ(waves.size(), c.recorded ? 1 : 0) << waves.join(u' ').toStdString();
            if (c.rings) {
                EXPECT_FALSE(service.calls.isEmpty());
                EXPECT_FALSE(CallsJournal().contains(QStringLiteral("(blocked)")));
            } else {
                EXPECT_TRUE(service.calls.isEmpty());
                EXPECT_TRUE(CallsJournal().contains(number + QStringLiteral(" (blocked)")))
                    << CallsJournal().toStdString();
                EXPECT_TRUE(Journal().contains(QStringLiteral("Hang up blocked call")));
            }
            // Not among all calls; under its own kind, counted there.
            CallsListModel& list = program.CallsList();
            EXPECT_EQ(list.UnrecordedCount(UnrecordedKind::kBlocked),
                      c.listedAs == CallKindChoice::kBlocked ? 1 : 0);
            EXPECT_EQ(list.UnrecordedCount(UnrecordedKind::kNotRecorded),
                      c.listedAs == CallKindChoice::kNotRecorded ? 1 : 0);
            auto* kind = program.Window().findChild<QComboBox*>(QStringLiteral("searchKind"));
            ASSERT_NE(kind, nullptr);
            for (const CallKindChoice choice :
                 {CallKindChoice::kBlocked, CallKindChoice::kNotRecorded}) {
                const int at = kind->findData(static_cast<int>(choice));
                ASSERT_GE(at, 0);
                EXPECT_TRUE(kind->itemText(at).endsWith(
                    c.listedAs == choice ? QStringLiteral("(1)") : QStringLiteral("(0)")))
                    << kind->itemText(at).toStdString();
                kind->setCurrentIndex(at);
                EXPECT_EQ(list.rowCount(), c.listedAs == choice ? 1 : 0);
                if (c.listedAs == choice) {
                    EXPECT_EQ(list.CellText(0, calls_column::kCallerNumber), number);
                    EXPECT_FALSE(list.HasRecording(0));
                }
            }
            kind->setCurrentIndex(0);
            if (c.recorded) {
                // "Block this number" on the call's row blocks its caller.
                ASSERT_TRUE(PumpUntil([&] { return program.CallsList().rowCount() == 1; }));
                MainWindow& window = program.Window();
                window.findChild<CallsListPanel*>(QStringLiteral("callsArea"))
                    ->View()
                    ->SetCurrentRow(0);
                auto* block = window.findChild<QAction*>(QStringLiteral("actBlockThisNumber"));
                ASSERT_NE(block, nullptr);
                ASSERT_TRUE(block->isEnabled());
                block->trigger();
                QFile saved(ScreeningFile::DefaultFile());
                ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
                const ScreeningRules rules = ParseScreening(saved.readAll()).rules;
                EXPECT_EQ(rules.blockList,
                          (std::vector<BlockEntry>{{{CallerMatch::Kind::kNumber, number}}}));
                // An allow entry for the number would win over the block: it goes.
                const bool wasAllowed = QByteArray(c.rules).startsWith("allow\t");
                EXPECT_TRUE(rules.allowList.empty());
                EXPECT_EQ(window.statusBar()->currentMessage(),
                          ReplaceMarker(Text(wasAllowed ? ids::kMsgNumberBlockedUnallowed
                                                        : ids::kMsgNumberBlocked),
                                        number));
            }
            program.Window().UnLoadApp();
        }
        // The next case starts from an empty journal and folder.
        QFile::remove(ProgramJournal().folder() + ProgramJournal().systemFileName());
        QFile::remove(ProgramJournal().folder() + ProgramJournal().callsFileName());
        for (const QString& name : QDir(folder_).entryList(QDir::Files | QDir::Hidden)) {
            QFile::remove(folder_ + QLatin1Char('/') + name);
        }
    }
}

TEST_F(ScreeningEndToEnd, AnAskRuleKeepsTheWholeRecordingWhenKeptLateAndNoneWhenDiscarded) {
    testing::FakeNotifications& service = Notices();
    if (service.Address().isEmpty()) {
        GTEST_SKIP() << "no private session bus: dbus-daemon (package dbus) is missing";
    }
    ASSERT_TRUE(NoticesRegistered());
    env_.setVariable("DBUS_SESSION_BUS_ADDRESS", service.Address());
    Store(kTabIncomingCall, "chkViewCD_IC", QStringLiteral("1"));
    Store(kTabLog, "chkLogCalls", QStringLiteral("1"));
    WriteFile(ScreeningFile::DefaultFile(), "record\task\tnumber\t0301234\n");
    // Answered on the caller display's button or on the notice's action.
    const struct {
        const char* what;
        bool keep;
        bool onNotice;
    } cases[] = {
        {"kept late on the display", true, false},
        {"discarded late on the notice", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        service.calls.clear();
        sim_.Stop();
        ASSERT_TRUE(sim_.Start(link_, QStringLiteral("voice pattern; wait-command VCID=1; "
                                                     "call rings=2 every=300 number=0301234; "
                                                     "pickup; wait-command VRX; sleep 3000; "
                                                     "remote-hangup busy; wait-hangup timeout "
                                                     "20000; sleep 120000")));
        Program program;
        program.Load(true);
        auto* question = program.Window().findChild<QWidget*>(QStringLiteral("recordQuestion"));
        ASSERT_NE(question, nullptr);
        // The question waits while the call is answered and recorded.
        const auto soundSoFar = [this] {
            qint64 bytes = 0;
            for (const QFileInfo& file :
                 QDir(folder_).entryInfoList({QStringLiteral("*.wav")}, QDir::Files)) {
                bytes += file.size();
            }
            return bytes;
        };
        ASSERT_TRUE(PumpUntil([&] { return soundSoFar() > 4000; })) << Journal().toStdString();
        EXPECT_FALSE(question->isHidden());  // the window itself may be hidden
        const qint64 beforeAnswer = soundSoFar();
        if (c.onNotice) {
            ASSERT_TRUE(PumpUntil([&] {
                return !service.calls.isEmpty() &&
                       service.calls.last().actions.contains(QStringLiteral("dont-record"));
            }));
            ASSERT_TRUE(service.Invoke(service.lastId, QStringLiteral("dont-record")));
            ASSERT_TRUE(PumpUntil(
                [&] { return Journal().contains(QStringLiteral("Recording to be discarded")); }));
        } else {
            auto* keep = question->findChild<QPushButton*>(QStringLiteral("recordQuestionKeep"));
            ASSERT_NE(keep, nullptr);
            ASSERT_FALSE(keep->isHidden());
            keep->click();
            EXPECT_TRUE(keep->isHidden()) << "the choice is shown, the other answer offered";
            EXPECT_TRUE(Journal().contains(QStringLiteral("Recording kept")));
        }
        ASSERT_TRUE(PumpUntil([&] { return Journal().contains(QStringLiteral("End Of Call")); }))
            << Journal().toStdString();
        EXPECT_TRUE(question->isHidden()) << "gone with the call";
        const std::vector<CallRecord> records = ReadAllCallRecords(folder_);
        EXPECT_EQ(records.size(), c.keep ? 1u : 0u);
        EXPECT_EQ(QDir(folder_).entryList(QDir::Files | QDir::Hidden).filter(".wav").size(),
                  c.keep ? 1 : 0);
        if (c.keep) {
            EXPECT_GT(soundSoFar(), beforeAnswer);
        }
        program.Window().UnLoadApp();
        QFile::remove(ProgramJournal().folder() + ProgramJournal().systemFileName());
        for (const QString& name : QDir(folder_).entryList(QDir::Files | QDir::Hidden)) {
            QFile::remove(folder_ + QLatin1Char('/') + name);
        }
    }
}

// The blocked caller hears the chosen message, or the shipped one, in the
// line's format; a name that is no sound of the Sound folders plays nothing.
// Either way the call is hung up and nothing is recorded.
TEST_F(ScreeningEndToEnd, ABlockEntryWithAMessagePlaysItToTheLineThenHangsUp) {
    const QString shipped = env_.programFolder() + QStringLiteral("/Sound/Blocked.wav");
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(ORVANE_BUILT_PROGRAM_DIR "/Sound/Blocked.wav"), shipped));
    ASSERT_TRUE(QDir().mkpath(paths::UserSoundFolder()));
    const QString own = paths::UserSoundFolder() + QStringLiteral("go-away.wav");
    ASSERT_TRUE(QFile::copy(QStringLiteral(ORVANE_BUILT_PROGRAM_DIR "/Sound/Chime.wav"), own));
    RegistryRoutines(kHkeyLocalMachine, product::kRootKey, kTabScreening).CreateKey();
    WriteFile(ScreeningFile::DefaultFile(), "block\tmessage\tnumber\t0900*\n");
    const QString played = env_.root() + QStringLiteral("/played.wav");
    const struct {
        const char* what;
        const char* setting;
        QString heard;  // empty: nothing played
    } cases[] = {
        {"the shipped message", "", shipped},
        {"the user's message", "go-away.wav", own},
        {"a path out of the folders", "../go-away.wav", QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Store(kTabScreening, "CmbBlockMessage", QString::fromLatin1(c.setting));
        QFile::remove(played);
        sim_.Stop();
        ASSERT_TRUE(sim_.Start(link_,
                               QStringLiteral("voice pattern; wait-command VCID=1; "
                                              "call rings=4 every=300 number=09001234; "
                                              "wait-command VRX; wait-hangup timeout 20000; "
                                              "sleep 120000"),
                               {QStringLiteral("--played"), played}));
        Program program;
        program.Load(true);
        ASSERT_TRUE(PumpUntil([&] { return Journal().contains(QStringLiteral("End Of Call")); }))
            << Journal().toStdString();
        EXPECT_TRUE(Journal().contains(QStringLiteral("Hang up blocked call")));
        EXPECT_TRUE(ReadAllCallRecords(folder_).empty());
        EXPECT_TRUE(QDir(folder_).entryList({QStringLiteral("*.wav")}, QDir::Files).isEmpty());
        if (c.heard.isEmpty()) {
            EXPECT_FALSE(QFile::exists(played));
            EXPECT_TRUE(Journal().contains(QStringLiteral("was not played to the line")));
        } else {
            std::vector<int16_t> source;
            ASSERT_EQ(sonvel::ReadTelephoneSound(c.heard.toStdString(), 60, &source), "");
            std::vector<uint8_t> muLaw;
            modem::VoiceEncoder(modem::SampleEncoding::MuLaw).Encode(source, muLaw);
            std::vector<int16_t> expected;
            modem::VoiceDecoder(modem::SampleEncoding::MuLaw, 8000).Decode(muLaw, expected);
            std::vector<int16_t> arrived;
            ASSERT_EQ(sonvel::ReadTelephoneSound(played.toStdString(), 60, &arrived), "")
                << Journal().toStdString();
            EXPECT_TRUE(arrived == expected) << arrived.size() << " of " << expected.size();
        }
        program.Window().UnLoadApp();
        QFile::remove(ProgramJournal().folder() + ProgramJournal().systemFileName());
    }
}

}  // namespace
}  // namespace orvane
