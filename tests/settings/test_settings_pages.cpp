// The settings pages over a real store in a private home: what a missing
// value reads as, typed writes read back, and changed() told once for a
// real change (by a write, or by another writer of the file) and never for
// a value that stays what it was.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <functional>

#include "core/paths.h"
#include "core/product.h"
#include "settings/names/devices.h"
#include "settings/names/general.h"
#include "settings/names/incoming_call.h"
#include "settings/names/language.h"
#include "settings/names/log.h"
#include "settings/names/phone_book.h"
#include "settings/names/retention.h"
#include "settings/names/screening.h"
#include "settings/program_settings.h"
#include "settings/store/registry_routines.h"
#include "tests/support/test_environment.h"

namespace orvane {
namespace {

// How often a page said it changed.
class Told {
  public:
    explicit Told(SettingsPage& page) {
        QObject::connect(&page, &SettingsPage::changed, &context_, [this] { ++count_; });
    }
    int Take() { return std::exchange(count_, 0); }
    int count() const { return count_; }

  private:
    QObject context_;
    int count_ = 0;
};

class SettingsPagesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env_.makeProgramFolders();
        env_.setVariable("ORVANE_PROGRAM_DIR", env_.programFolder());
        for (const QString& key : {QString(), kTabDevices, kTabGeneral, kTabLog, kTabIncomingCall,
                                   kLanguageKey, kTabScreening}) {
            ASSERT_EQ(RegistryRoutines(kHkeyLocalMachine, product::kRootKey, key).CreateKey(), 0);
        }
        ASSERT_EQ(RegistryRoutines(kHkeyCurrentUser, product::kRunKey).CreateKey(), 0);
        settings_ = std::make_unique<ProgramSettings>();
    }
    // Another writer of the file: a handle of its own, as orvane-reg has.
    static void StoreElsewhere(const QString& key, const QString& name, const QVariant& value,
                               quint32 type = kRegSz) {
        ASSERT_TRUE(RegistryRoutines(kHkeyLocalMachine, product::kRootKey, key)
                        .SetRegistryValue(name, value, type));
    }

    testing::TestEnvironment env_;
    std::unique_ptr<ProgramSettings> settings_;
};

// One value of a page, seen through its typed accessor.
struct Accessor {
    const char* label;
    std::function<SettingsPage&(ProgramSettings&)> page;
    std::function<QVariant(ProgramSettings&)> get;
    std::function<bool(ProgramSettings&, const QVariant&)> set;
    QVariant missing;  // what a missing value reads as
    QVariant other;    // a value unlike the missing one
    QString key;       // where it is stored, and as what
    QString name;
    QString stored;
};

std::vector<Accessor> Accessors() {
    using S = ProgramSettings;
    const auto general = [](S& s) -> SettingsPage& { return s.General(); };
    const auto devices = [](S& s) -> SettingsPage& { return s.Devices(); };
    const auto log = [](S& s) -> SettingsPage& { return s.Log(); };
    const auto incoming = [](S& s) -> SettingsPage& { return s.IncomingCall(); };
    const auto numbers = [](S& s) -> SettingsPage& { return s.PhoneNumbers(); };
    const auto screening = [](S& s) -> SettingsPage& { return s.Screening(); };
    return {
        {"record format", general, [](S& s) { return QVariant(s.General().RecordFormat()); },
         [](S& s, const QVariant& v) { return s.General().SetRecordFormat(v.toInt()); }, 0, 2,
         kTabGeneral, setting::kCmbRecordFormatRec, "2"},
        {"recordings folder", general,
         [](S& s) { return QVariant(s.General().RecordingsFolder()); },
         [](S& s, const QVariant& v) { return s.General().SetRecordingsFolder(v.toString()); },
         paths::DefaultRecordingsFolder(), "/srv/calls", kTabGeneral, setting::kTxtPath,
         "/srv/calls/"},
        {"ask before deleting", general,
         [](S& s) { return QVariant(s.General().AskBeforeDeletingCalls()); },
         [](S& s, const QVariant& v) { return s.General().SetAskBeforeDeletingCalls(v.toBool()); },
         true, false, kTabGeneral, setting::kChkAskBeforeDeletingCalls, "0"},
        {"modem", devices, [](S& s) { return QVariant(s.Devices().Modem()); },
         [](S& s, const QVariant& v) { return s.Devices().SetModem(v.toString()); }, QString(),
         "USB Modem", kTabDevices, setting::kCmbModemDev, "USB Modem"},
        {"sound device", devices, [](S& s) { return QVariant(s.Devices().SoundDevice()); },
         [](S& s, const QVariant& v) { return s.Devices().SetSoundDevice(v.toString()); },
         QString(), "Headset", kTabDevices, setting::kCmbSoundDev, "Headset"},
        {"silence limit", devices, [](S& s) { return QVariant(s.Devices().SilenceLimitSeconds()); },
         [](S& s, const QVariant& v) { return s.Devices().SetSilenceLimitSeconds(v.toInt()); }, 0,
         30, kTabDevices, setting::kTxtSilenceLimit, "30"},
        {"longest call", devices, [](S& s) { return QVariant(s.Devices().LongestCallMinutes()); },
         [](S& s, const QVariant& v) { return s.Devices().SetLongestCallMinutes(v.toInt()); }, 0,
         90, kTabDevices, setting::kTxtLongestCall, "90"},
        {"caller-ID standard", devices,
         [](S& s) { return QVariant(s.Devices().CallerIdStandard()); },
         [](S& s, const QVariant& v) { return s.Devices().SetCallerIdStandard(v.toString()); },
         QString(), "02", kTabDevices, setting::kCmbCallerIdStandard, "02"},
        {"system journal", log, [](S& s) { return QVariant(s.Log().SystemJournal()); },
         [](S& s, const QVariant& v) { return s.Log().SetSystemJournal(v.toBool()); }, false, true,
         kTabLog, setting::kChkLogSys, "1"},
        {"calls journal", log, [](S& s) { return QVariant(s.Log().CallsJournal()); },
         [](S& s, const QVariant& v) { return s.Log().SetCallsJournal(v.toBool()); }, false, true,
         kTabLog, setting::kChkLogCalls, "1"},
        {"keep journals for", log, [](S& s) { return QVariant(s.Log().KeepFor()); },
         [](S& s, const QVariant& v) { return s.Log().SetKeepFor(v.toInt()); },
         LogSettings::kKeepForever, 2, kTabLog, setting::kCmbLogFor, "2"},
        {"open on a call", incoming,
         [](S& s) { return QVariant(s.IncomingCall().OpenAppOnCall()); },
         [](S& s, const QVariant& v) { return s.IncomingCall().SetOpenAppOnCall(v.toBool()); },
         false, true, kTabIncomingCall, setting::kChkOpenAppOnCall, "1"},
        {"ring sound", incoming, [](S& s) { return QVariant(s.IncomingCall().Sound()); },
         [](S& s, const QVariant& v) { return s.IncomingCall().SetSound(v.toString()); }, QString(),
         "bell.wav", kTabIncomingCall, setting::kCmbPlayWhenIc, "bell.wav"},
        {"announce", incoming, [](S& s) { return QVariant(s.IncomingCall().Announce()); },
         [](S& s, const QVariant& v) { return s.IncomingCall().SetAnnounce(v.toBool()); }, false,
         true, kTabIncomingCall, setting::kChkAnnounceIc, "1"},
        {"announcement", incoming,
         [](S& s) { return QVariant(s.IncomingCall().AnnouncementSound()); },
         [](S& s, const QVariant& v) {
             return s.IncomingCall().SetAnnouncementSound(v.toString());
         },
         QString(), "notice.wav", kTabIncomingCall, setting::kCmbAnnounceIc, "notice.wav"},
        {"announce while recording", incoming,
         [](S& s) { return QVariant(s.IncomingCall().AnnounceWhileRecording()); },
         [](S& s, const QVariant& v) {
             return s.IncomingCall().SetAnnounceWhileRecording(v.toBool());
         },
         false, true, kTabIncomingCall, setting::kChkAnnounceWhileIc, "1"},
        {"phone country", numbers, [](S& s) { return QVariant(s.PhoneNumbers().Country()); },
         [](S& s, const QVariant& v) { return s.PhoneNumbers().SetCountry(v.toString()); },
         PhoneBookSettings::SystemCountry(), "IL", kPhoneBookKey, setting::kPhoneCountry, "IL"},
        {"area code", numbers, [](S& s) { return QVariant(s.PhoneNumbers().AreaCode()); },
         [](S& s, const QVariant& v) { return s.PhoneNumbers().SetAreaCode(v.toString()); },
         QString(), "030", kPhoneBookKey, setting::kPhoneAreaCode, "030"},
        {"blocked callers' message", screening,
         [](S& s) { return QVariant(s.Screening().BlockMessage()); },
         [](S& s, const QVariant& v) { return s.Screening().SetBlockMessage(v.toString()); },
         kDefaultBlockMessage, "go-away.wav", kTabScreening, setting::kCmbBlockMessage,
         "go-away.wav"},
        {"list unrecorded calls", screening,
         [](S& s) { return QVariant(s.Screening().ListUnrecorded()); },
         [](S& s, const QVariant& v) { return s.Screening().SetListUnrecorded(v.toBool()); }, true,
         false, kTabScreening, setting::kChkListUnrecorded, "0"},
    };
}

TEST_F(SettingsPagesTest, EachValueReadsItsDefaultWritesTypedAndTellsARealChangeOnce) {
    for (const Accessor& a : Accessors()) {
        SCOPED_TRACE(a.label);
        SettingsPage& page = a.page(*settings_);
        Told changed(page);
        EXPECT_EQ(a.get(*settings_), a.missing);

        ASSERT_TRUE(a.set(*settings_, a.other));
        EXPECT_EQ(changed.count(), 1);
        EXPECT_EQ(RegistryRoutines(kHkeyLocalMachine, product::kRootKey, a.key)
                      .GetRegistryValue(a.name)
                      .toString(),
                  a.stored);
        // Read back typed: the folder with its slash, a check box as a flag.
        const QVariant readBack = a.name == setting::kTxtPath ? QVariant(a.stored) : a.other;
        EXPECT_EQ(a.get(*settings_), readBack);

        // The same again, and a reload of a file nobody changed: nothing new.
        ASSERT_TRUE(a.set(*settings_, a.other));
        settings_->Reload();
        EXPECT_EQ(changed.count(), 1);
    }
}

TEST_F(SettingsPagesTest, AnotherWritersChangeIsToldOnReloadButTheSameValueInAnotherFormIsNot) {
    struct Case {
        const char* label;
        QVariant value;
        quint32 type;
        int changes;
    };
    const Case cases[] = {
        {"switched on", "1", kRegSz, 1},
        {"the same as a number", 1, kRegDword, 0},
        {"the same with blanks", " 1", kRegSz, 0},
        {"switched off", "0", kRegSz, 1},
    };
    Told changed(settings_->Log());
    Told other(settings_->General());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        StoreElsewhere(kTabLog, setting::kChkLogCalls, c.value, c.type);
        settings_->Reload();
        EXPECT_EQ(changed.Take(), c.changes);
    }
    EXPECT_EQ(other.count(), 0) << "a page nobody changed";
}

TEST_F(SettingsPagesTest, AWatchedFileTellsThePageOfTheValueAnotherWriterChanged) {
    settings_->Watch();
    Told changed(settings_->General());
    StoreElsewhere(kTabGeneral, setting::kCmbRecordFormatRec, "1");
    const QDeadlineTimer deadline(10000);
    while (changed.count() == 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(settings_->General().RecordFormat(), 1);
}

TEST_F(SettingsPagesTest, TheRunBoxIsTheLogOnEntryOfThisProgramFolder) {
    Told changed(settings_->General());
    EXPECT_FALSE(settings_->General().RunOnStart());
    ASSERT_TRUE(settings_->General().SetRunOnStart(true));
    EXPECT_TRUE(settings_->General().RunOnStart());
    EXPECT_EQ(RegistryRoutines(kHkeyCurrentUser, product::kRunKey)
                  .GetRegistryValue(product::kRunValueName)
                  .toString(),
              GeneralSettings::RunCommand());
    ASSERT_TRUE(settings_->General().SetRunOnStart(false));
    EXPECT_FALSE(RegistryRoutines(kHkeyCurrentUser, product::kRunKey)
                     .GetRegistryValue(product::kRunValueName)
                     .isValid());
    EXPECT_EQ(changed.count(), 2);
}

// The log-on entry starts the program that is running: the portable one
// from its folder, the installed one from the system's program folder.
TEST_F(SettingsPagesTest, TheLogOnEntryStartsTheProgramThatIsInstalled) {
    for (const QString& folder :
         {QStringLiteral("my programs/orvane"), QStringLiteral("usr/bin")}) {
        const QString program = env_.writeFile(folder + QStringLiteral("/orvane"), "#!/bin/sh\n");
        env_.setVariable("ORVANE_PROGRAM_DIR", env_.root() + QLatin1Char('/') + folder);
        ASSERT_TRUE(settings_->General().SetRunOnStart(true));
        QFile entry(paths::AutostartFolder() + QStringLiteral("/orvane.desktop"));
        ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
        const QString exec =
            QStringLiteral("\nExec=\"?%1\"? -st\n").arg(QRegularExpression::escape(program));
        EXPECT_TRUE(QString::fromUtf8(entry.readAll()).contains(QRegularExpression(exec)))
            << folder.toStdString();
    }
}

TEST_F(SettingsPagesTest, AWriteTheStoreRefusesChangesNothingAndIsNotTold) {
    ASSERT_EQ(RegistryRoutines(kHkeyLocalMachine, product::kRootKey, kTabLog).DeleteKey(), 0);
    Told changed(settings_->Log());
    EXPECT_FALSE(settings_->Log().SetCallsJournal(true));
    EXPECT_FALSE(settings_->Log().CallsJournal());
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(SettingsPagesTest, CallLimitsStoredByHandReadAsOffOrWithinBounds) {
    DevicesSettings& page = settings_->Devices();
    struct Case {
        QVariant stored;
        quint32 type;
        int seconds, minutes;
    };
    const Case cases[] = {
        {QStringLiteral("30"), kRegSz, 30, 30},
        {QStringLiteral(" 45 "), kRegSz, 45, 45},
        {QStringLiteral("-5"), kRegSz, 0, 0},
        {QStringLiteral("thirty"), kRegSz, 0, 0},
        {QStringLiteral("1.5"), kRegSz, 0, 0},
        {QStringLiteral("99999"), kRegSz, 3600, 1440},
        {QStringLiteral("99999999999"), kRegSz, 0, 0},
        {7, kRegDword, 7, 7},
    };
    for (const Case& c : cases) {
        StoreElsewhere(kTabDevices, setting::kTxtSilenceLimit, c.stored, c.type);
        StoreElsewhere(kTabDevices, setting::kTxtLongestCall, c.stored, c.type);
        EXPECT_EQ(page.SilenceLimitSeconds(), c.seconds) << c.stored.toString().toStdString();
        EXPECT_EQ(page.LongestCallMinutes(), c.minutes) << c.stored.toString().toStdString();
    }
    // Written values are held to the same bounds.
    ASSERT_TRUE(page.SetSilenceLimitSeconds(5000));
    ASSERT_TRUE(page.SetLongestCallMinutes(-1));
    EXPECT_EQ(page.SilenceLimitSeconds(), 3600);
    EXPECT_EQ(page.LongestCallMinutes(), 0);
}

TEST_F(SettingsPagesTest, RetentionRulesStoredByHandReadAsOffOrWithinBounds) {
    ASSERT_EQ(RegistryRoutines(kHkeyLocalMachine, product::kRootKey, kTabRetention).CreateKey(), 0);
    RetentionSettings& page = settings_->Retention();
    // Missing: every rule off, marked and noted calls kept, nothing accepted.
    EXPECT_EQ(page.MaxAgeDays(), 0);
    EXPECT_EQ(page.MaxFolderMB(), 0);
    EXPECT_EQ(page.MinSeconds(), 0);
    EXPECT_TRUE(page.KeepMarkedOrNoted());
    EXPECT_TRUE(page.Accepted().isEmpty());
    struct Case {
        QVariant stored;
        quint32 type;
        qint64 days, megabytes;
    };
    const Case cases[] = {
        {QStringLiteral("30"), kRegSz, 30, 30},
        {QStringLiteral(" 45 "), kRegSz, 45, 45},
        {QStringLiteral("-5"), kRegSz, 0, 0},
        {QStringLiteral("thirty"), kRegSz, 0, 0},
        {QStringLiteral("99999999999999"), kRegSz, 1000000, qint64{1} << 40},
        {QStringLiteral("999999999999999999999"), kRegSz, 0, 0},
        {7, kRegDword, 7, 7},
    };
    for (const Case& c : cases) {
        StoreElsewhere(kTabRetention, setting::kRetentionMaxAgeDays, c.stored, c.type);
        StoreElsewhere(kTabRetention, setting::kRetentionMaxFolderMB, c.stored, c.type);
        EXPECT_EQ(page.MaxAgeDays(), c.days) << c.stored.toString().toStdString();
        EXPECT_EQ(page.MaxFolderMB(), c.megabytes) << c.stored.toString().toStdString();
    }
    StoreElsewhere(kTabRetention, setting::kRetentionKeepMarked, QStringLiteral("0"));
    EXPECT_FALSE(page.KeepMarkedOrNoted());
}

}  // namespace
}  // namespace orvane
