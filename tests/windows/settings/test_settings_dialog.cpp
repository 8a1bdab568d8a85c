// The settings dialog over a real settings store in a private home, with the
// running program reduced to recorded callbacks.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "app/main_window.h"
#include "app/program.h"
#include "calls/screening/screening_file.h"
#include "core/paths.h"
#include "core/product.h"
#include "settings/global_options.h"
#include "settings/names/devices.h"
#include "settings/names/incoming_call.h"
#include "settings/names/log.h"
#include "settings/names/screening.h"
#include "settings/program_settings.h"
#include "settings/store/registry_routines.h"
#include "telephony/tapi.h"
#include "tests/support/folder_mode_guard.h"
#include "tests/support/qt_printers.h"
#include "tests/support/run_as_nobody.h"
#include "tests/support/scripted_line_backend.h"
#include "tests/support/test_environment.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/common_widgets.h"
#include "ui/tray_icon.h"
#include "windows/settings/screening_table.h"
#include "windows/settings/settings_dialog.h"

namespace orvane {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

LineDetails Line(const QString& name, bool recommended) {
    LineDetails details;
    details.deviceName = name;
    details.tapiCapability = recommended;
    details.audioCapability = recommended;
    return details;
}

class SettingsDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env_.makeProgramFolders();
        env_.setVariable("ORVANE_PROGRAM_DIR", env_.programFolder());
        for (const QString& subkey :
             {QString(), kTabDevices, kTabGeneral, kTabLog, kTabIncomingCall}) {
            if (subkey != missingKey_) {
                RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey).CreateKey();
            }
        }
        RegistryRoutines(kHkeyCurrentUser, product::kRunKey).CreateKey();
        ASSERT_EQ(LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English")), 0);
        TrayIcon::OverrideAvailability(tray_);
        ResetMessageSeam();
    }
    void TearDown() override {
        SettingsDialog::SetFolderDialogHook({});
        TrayIcon::OverrideAvailability(std::nullopt);
        ResetMessageSeam();
    }

    SettingsDialog& Dialog() {
        if (!dialog_) {
            SettingsDialog::Host host;
            host.lineDevices = [this] { return lines_; };
            host.soundDevices = [] { return QStringList{"Speakers", "Headset"}; };
            host.playSound = [this](const QString& path) { played_ << path; };
            host.screening = screening_;
            host.contactNames = [] { return QStringList{"Anna Berg", "Dr. Weber"}; };
            settings_ = std::make_unique<ProgramSettings>();
            // What the program follows: each change of the modem.
            QObject::connect(&settings_->Devices(), &SettingsPage::changed, [this] {
                if (settings_->Devices().Modem() != modem_) {
                    modem_ = settings_->Devices().Modem();
                    modemChanges_.append(modem_);
                }
            });
            modem_ = settings_->Devices().Modem();
            dialog_ = std::make_unique<SettingsDialog>(*settings_, std::move(host));
        }
        return *dialog_;
    }
    template <typename T>
    T* Control(const char* name) {
        T* control = Dialog().findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    QVariant Stored(const QString& subkey, const QString& name) {
        return RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey)
            .GetRegistryValue(name);
    }
    void Store(const QString& subkey, const QString& name, const QString& value) {
        ASSERT_TRUE(RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey)
                        .SetRegistryValue(name, value));
    }

    testing::TestEnvironment env_;
    QString missingKey_;
    bool tray_ = true;
    std::unique_ptr<ProgramSettings> settings_;
    std::vector<LineDetails> lines_ = {Line("USB Modem", true), Line("ttyS0", false)};
    QString modem_;
    QStringList modemChanges_;
    std::unique_ptr<SettingsDialog> dialog_;
    QStringList played_;
    ScreeningFile* screening_ = nullptr;
};

TEST_F(SettingsDialogTest, TheModemIsToldChangedOnlyWhenItChanged) {
    Store(kTabDevices, setting::kCmbModemDev, "USB Modem");
    struct Case {
        const char* label;
        QString choose;  // empty: leave the list as shown
        bool cancel;
        QStringList modemChanges;
        QString stored;
    };
    const Case cases[] = {
        {"unchanged", "", false, {}, "USB Modem"},
        {"cancelled", "ttyS0", true, {}, "USB Modem"},
        {"another modem", "ttyS0", false, {"ttyS0"}, "ttyS0"},
        {"the same again", "", false, {}, "ttyS0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Dialog().Open(0);
        auto* modem = Control<QComboBox>("cmbModemDev");
        if (!c.choose.isEmpty()) {
            modem->setCurrentIndex(modem->findText(c.choose));
        }
        if (c.cancel) {
            Dialog().Cancel();
            EXPECT_EQ(modem->currentText(), c.stored) << "the saved choice is back";
        } else {
            Dialog().Accept();
        }
        EXPECT_EQ(std::exchange(modemChanges_, {}), c.modemChanges);
        EXPECT_EQ(Stored(kTabDevices, setting::kCmbModemDev).toString(), c.stored);
        EXPECT_FALSE(Dialog().isVisible());
    }
}

// The call limits and the caller-ID standard on the Devices page: what is
// stored shows ("Off" for 0, the modem's own for a code it would not be
// sent), and OK stores only what the user changed.
TEST_F(SettingsDialogTest, TheCallLimitsAndTheCallerIdStandardShowAndStore) {
    struct Case {
        const char* label;
        const char* storedSilence;  // nullptr: leave as it is
        const char* storedStandard;
        std::function<void()> edit;
        QString silenceShown, longestShown, standardShown;
        QVariant silence, longest, standard;  // stored after OK; invalid: missing
    };
    auto* silence = Control<QSpinBox>("txtSilenceLimit");
    auto* longest = Control<QSpinBox>("txtLongestCall");
    auto* standard = Control<QComboBox>("CmbCallerIdStandard");
    const auto choose = [standard](const char* code) {
        standard->setCurrentIndex(standard->findData(QString::fromLatin1(code)));
    };
    const Case cases[] = {
        {"missing: off, nothing stored",
         nullptr,
         nullptr,
         [] {},
         "Off",
         "Off",
         "The modem's own",
         {},
         {},
         {}},
        {"chosen", nullptr, nullptr,
         [&] {
             silence->setValue(45);
             longest->setValue(90);
             choose("05");
         },
         "Off", "Off", "The modem's own", "45", "90", "05"},
        {"stored by hand, not in the list", "abc", "04", [] {}, "Off", "90", "The modem's own",
         "abc", "90", "04"},
        {"back to off", "30", "2",
         [&] {
             silence->setValue(0);
             longest->setValue(0);
             choose("");
         },
         "30 seconds", "90", "ETSI FSK (most of Europe)", "0", "0", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.storedSilence != nullptr) {
            Store(kTabDevices, setting::kTxtSilenceLimit, QString::fromLatin1(c.storedSilence));
            Store(kTabDevices, setting::kCmbCallerIdStandard,
                  QString::fromLatin1(c.storedStandard));
            settings_->Reload();
        }
        Dialog().Open(SettingsDialog::kDevices);
        EXPECT_EQ(silence->text(), c.silenceShown);
        EXPECT_EQ(longest->text(), c.longestShown);
        EXPECT_EQ(standard->currentText(), c.standardShown);
        c.edit();
        Dialog().Accept();
        EXPECT_EQ(Stored(kTabDevices, setting::kTxtSilenceLimit), c.silence);
        EXPECT_EQ(Stored(kTabDevices, setting::kTxtLongestCall), c.longest);
        EXPECT_EQ(Stored(kTabDevices, setting::kCmbCallerIdStandard), c.standard);
    }
}

TEST_F(SettingsDialogTest, TheDevicePropertiesPutASpaceBetweenEachLabelAndItsValue) {
    Store(kTabDevices, setting::kCmbModemDev, "USB Modem");
    Dialog().Open(2);
    Control<QPushButton>("cmdDeviceProperties")->click();
    auto* box = Dialog().findChild<QMessageBox*>(QStringLiteral("frmInformation"));
    ASSERT_NE(box, nullptr);
    const QStringList lines = box->text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], QStringLiteral("Line index: 0"));
    EXPECT_EQ(lines[1], QStringLiteral("Device name: USB Modem"));
    for (const QString& line : lines) {
        EXPECT_TRUE(line.contains(QStringLiteral(": "))) << line.toStdString();
    }
    box->close();
    Dialog().Cancel();
}

TEST_F(SettingsDialogTest, AnAbsentModemStaysTheChoiceAndOnlyRecommendedOnesAreListed) {
    Store(kTabDevices, setting::kCmbModemDev, "Gone Modem");
    Store(kTabDevices, setting::kChkDisplayRecomendedDevices, "1");
    Dialog().Open(0);
    auto* modem = Control<QComboBox>("cmbModemDev");
    EXPECT_EQ(modem->currentText(), "Gone Modem (not connected)");
    EXPECT_EQ(modem->findText("ttyS0"), -1);
    Control<QCheckBox>("chkDisplayRecomendedDevices")->click();
    EXPECT_NE(modem->findText("ttyS0"), -1);
    EXPECT_EQ(modem->currentData().toString(), "Gone Modem");
    Dialog().Accept();
    EXPECT_TRUE(modemChanges_.isEmpty());
    EXPECT_EQ(Stored(kTabDevices, setting::kCmbModemDev).toString(), "Gone Modem");
    EXPECT_EQ(Stored(kTabDevices, setting::kChkDisplayRecomendedDevices).toString(), "0");
}

// A choice stored before the modem had its by-id name shows it as listed.
TEST_F(SettingsDialogTest, AModemStoredUnderItsFormerNameIsShownByItsNameNow) {
    lines_[0].formerNames = {"USB Modem (ttyACM0)", "/dev/ttyACM0"};
    Store(kTabDevices, setting::kCmbModemDev, "USB Modem (ttyACM0)");
    Store(kTabDevices, setting::kChkDisplayRecomendedDevices, "1");
    Dialog().Open(0);
    auto* modem = Control<QComboBox>("cmbModemDev");
    EXPECT_EQ(modem->currentData().toString(), "USB Modem");
    EXPECT_EQ(modem->count(), 1) << "listed once, not also as not connected";
    Dialog().Cancel();
}

TEST_F(SettingsDialogTest, TheRecordingsFolderIsStoredWithItsSlash) {
    struct Case {
        const char* label;
        QString typed;   // put in the box before OK
        QString chosen;  // answered by the folder browser ("" cancels)
        QString stored;
    };
    // An empty box is the default folder, never the program folder.
    const QString fallback = paths::DefaultRecordingsFolder();
    const Case cases[] = {
        {"empty box", "", "", fallback},
        {"chosen without slash", "", "/srv/calls", "/srv/calls/"},
        {"chosen with slash", "", "/srv/calls/", "/srv/calls/"},
        {"typed", "/data/rec/", "", "/data/rec/"},
        {"typed without slash", " /data/rec ", "", "/data/rec/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Store(kTabGeneral, setting::kTxtPath, "/before/");
        Dialog().Open(0);
        Control<QLineEdit>("txtPath")->setText(c.typed);
        SettingsDialog::SetFolderDialogHook([&](const QString& title) {
            EXPECT_EQ(title, Text(ids::kFolderDialogTitle));
            return c.chosen;
        });
        Dialog().ChooseFolder();
        // Chosen or typed, the folder is in use from OK on.
        EXPECT_EQ(settings_->General().RecordingsFolder(), "/before/");
        Dialog().Accept();
        EXPECT_EQ(Stored(kTabGeneral, setting::kTxtPath).toString(), c.stored);
        EXPECT_EQ(settings_->General().RecordingsFolder(), c.stored);
    }
    // Nothing or an empty text stored: the box shows the default folder.
    for (const QString& stored : {QString(), QStringLiteral("")}) {
        if (stored.isNull()) {
            RegistryRoutines(kHkeyLocalMachine, product::kRootKey, kTabGeneral)
                .DeleteValue(setting::kTxtPath);
        } else {
            Store(kTabGeneral, setting::kTxtPath, stored);
        }
        Dialog().Open(0);
        EXPECT_EQ(Control<QLineEdit>("txtPath")->text(), fallback);
        Dialog().Accept();
    }
}

TEST_F(SettingsDialogTest, OkHandsTheFormatAndTheJournalSwitchesToTheProgram) {
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on);
        Dialog().Open(0);
        Control<QComboBox>("cmbRecordFormatRec")->setCurrentIndex(on ? 2 : 1);
        Control<QCheckBox>("chkLogSys")->setChecked(on);
        Control<QCheckBox>("chkLogCalls")->setChecked(!on);
        Dialog().Accept();
        EXPECT_EQ(settings_->General().RecordFormat(), on ? 2 : 1);
        EXPECT_EQ(settings_->Log().SystemJournal(), on);
        EXPECT_EQ(settings_->Log().CallsJournal(), !on);
    }
}

// The dialog shows the journal age the program prunes by, whatever is
// stored; a missing value is for ever, so an OK of another setting does not
// start deleting journals.
TEST_F(SettingsDialogTest, TheJournalAgeShownIsTheOnePrunedByAndOkLeavesItAlone) {
    const struct {
        const char* stored;  // nullptr: no value
        int shown;
        int months;  // 0 keeps every journal
    } cases[] = {
        {nullptr, 3, 0}, {"0", 0, 1}, {"1", 1, 2},  {"2", 2, 3}, {"3", 3, 0},
        {" 2 ", 2, 3},   {"x", 3, 0}, {"-1", 3, 0}, {"4", 3, 0}, {"", 3, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "missing");
        RegistryRoutines log(kHkeyLocalMachine, product::kRootKey, kTabLog);
        if (c.stored) {
            Store(kTabLog, setting::kCmbLogFor, QString::fromLatin1(c.stored));
        } else {
            log.DeleteValue(setting::kCmbLogFor);
        }
        dialog_.reset();
        settings_.reset();
        Dialog().Open(0);
        EXPECT_EQ(Control<QComboBox>("cmbLogFor")->currentIndex(), c.shown);
        EXPECT_EQ(settings_->Log().KeepMonths(), c.months);

        QCheckBox* system = Control<QCheckBox>("chkLogSys");
        system->setChecked(!system->isChecked());
        Dialog().Accept();
        EXPECT_EQ(settings_->Log().KeepMonths(), c.months);
        EXPECT_EQ(ProgramSettings().Log().KeepMonths(), c.months);
    }
}

// The program acts once per page on an OK, and not at all for a page the
// user left as it was.
TEST_F(SettingsDialogTest, OkTellsEachPageThatChangedOnce) {
    struct Case {
        const char* label;
        std::function<void()> edit;
        int general;
        int log;
    };
    const Case cases[] = {
        // The folder and the journal age it shows for missing values.
        {"first OK stores what it showed", [] {}, 1, 1},
        {"format and folder",
         [this] {
             Control<QComboBox>("cmbRecordFormatRec")->setCurrentIndex(2);
             Control<QLineEdit>("txtPath")->setText("/srv/calls");
         },
         1, 0},
        {"both journals and the run box",
         [this] {
             Control<QCheckBox>("chkLogSys")->setChecked(true);
             Control<QCheckBox>("chkLogCalls")->setChecked(true);
             Control<QCheckBox>("chkRunOnStart")->setChecked(true);
         },
         1, 1},
        {"nothing", [] {}, 0, 0},
    };
    Dialog().Open(0);
    int general = 0;
    int log = 0;
    QObject::connect(&settings_->General(), &SettingsPage::changed, [&general] { ++general; });
    QObject::connect(&settings_->Log(), &SettingsPage::changed, [&log] { ++log; });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Dialog().Open(0);
        c.edit();
        Dialog().Accept();
        EXPECT_EQ(std::exchange(general, 0), c.general);
        EXPECT_EQ(std::exchange(log, 0), c.log);
    }
}

// The phone book's number plan on the General page: chosen, stored, shown
// again; "none" is a choice of its own, not the system's country.
TEST_F(SettingsDialogTest, TheNumberPlanIsStoredAndShownAgain) {
    const struct {
        const char* country;
        const char* area;
    } cases[] = {{"DE", "030"}, {"", ""}, {"US", "212"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.country);
        Dialog().Open(1);
        auto* country = Control<QComboBox>("cmbPhoneCountry");
        country->setCurrentIndex(country->findData(QString::fromLatin1(c.country)));
        Control<QLineEdit>("txtPhoneAreaCode")->setText(c.area);
        Dialog().Accept();
        EXPECT_EQ(settings_->PhoneNumbers().Country(), c.country);
        EXPECT_EQ(settings_->PhoneNumbers().AreaCode(), c.area);
        Dialog().Open(1);
        EXPECT_EQ(country->currentData().toString(), c.country);
        EXPECT_EQ(Control<QLineEdit>("txtPhoneAreaCode")->text(), c.area);
        Dialog().Cancel();
    }
}

// Shipped sounds (a read-only folder) and the user's, user's first: adding
// copies into the user's folder, where a shipped name is taken over; only a
// user's sound is deleted, after asking; the only sound is kept.
TEST_F(SettingsDialogTest, DeletingASoundAsksAndTheOnlySoundIsKept) {
    if (testing::RanAsNobody()) {
        return;
    }
    const QString shipped = env_.writeFile("program/Sound/ring.wav", "RIFF shipped");
    const testing::ReadOnlyFolderGuard readOnly(paths::ShippedSoundFolder());
    ASSERT_TRUE(readOnly.ok());
    const QString user = paths::UserSoundFolder();
    Dialog().Open(0);
    SetNextMessageAnswer(kAnswerOk);
    Dialog().DeleteSound();
    const auto refused = TakeShownMessages();
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].text, Text(ids::kMsgOnlySoundLeft));

    QString chosen;
    SetFileDialogHook([&chosen](const FileDialogRequest&) { return chosen; });
    auto* sounds = Control<QComboBox>("CmbPlayWhen_IC");
    auto names = [sounds] {
        QStringList list;
        for (int i = 0; i < sounds->count(); ++i) {
            list << sounds->itemText(i);
        }
        return list;
    };
    for (const char* file : {"picked/bell.wav", "picked/ring.wav"}) {
        chosen = env_.writeFile(QLatin1String(file), file);
        Dialog().AddSound();
    }
    SetFileDialogHook({});
    EXPECT_EQ(names(), (QStringList{"bell.wav", "ring.wav"}));
    const struct {
        const char* name;
        int answer;
        QString message;
        QStringList left;
    } steps[] = {
        {"bell.wav", kAnswerNo, R"(Delete the sound "bell.wav"?)", {"bell.wav", "ring.wav"}},
        {"ring.wav", kAnswerYes, R"(Delete the sound "ring.wav"?)", {"bell.wav"}},
        {"ring.wav",
         kAnswerOk,
         ReplaceMarker(Text(ids::kMsgShippedSound), "ring.wav"),
         {"bell.wav"}},
        {"bell.wav", kAnswerYes, R"(Delete the sound "bell.wav"?)", {}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        sounds->setCurrentIndex(sounds->findText(QLatin1String(step.name)));
        played_.clear();
        Dialog().PlaySound();
        const QString own = user + QLatin1String(step.name);
        EXPECT_EQ(played_, QStringList{QFile::exists(own) ? own : shipped});
        SetNextMessageAnswer(step.answer);
        Dialog().DeleteSound();
        const auto shown = TakeShownMessages();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, step.message);
        EXPECT_EQ(QDir(user).entryList(QDir::Files), step.left);
        EXPECT_EQ(ReadAll(shipped), "RIFF shipped");
    }
    EXPECT_EQ(names(), QStringList{"ring.wav"});
}

// The announcement: the shipped tone is the first entry (stored as ""), the
// other sounds of both folders follow, a stored name no file has stays the
// choice; its parts are usable only with its check on, and Play and Add act
// on its own list.
TEST_F(SettingsDialogTest, TheAnnouncementIsChosenFromTheSoundsAndFollowsItsCheck) {
    const QString shipped = env_.writeFile("program/Sound/Recorded.wav", "RIFF tone");
    env_.writeFile("program/Sound/Ring.wav", "RIFF ring");
    ASSERT_TRUE(QDir().mkpath(paths::UserSoundFolder()));
    const QString notice = paths::UserSoundFolder() + "notice.wav";
    env_.writeFile(QDir(env_.root()).relativeFilePath(notice), "RIFF notice");
    const QString tone = Text(ids::kAnnouncementShipped);
    struct Case {
        const char* label;
        const char* stored;  // CmbAnnounce_IC; nullptr: missing
        QStringList listed;
        QString shown;
        bool check;    // set before OK; the parts follow it
        QString pick;  // chosen before OK; empty: left as shown
        QString played;
        QString saved;
    };
    const Case cases[] = {
        {"nothing stored", nullptr, {tone, "notice.wav", "Ring.wav"}, tone, false, "", shipped, ""},
        {"the user's sound",
         "",
         {tone, "notice.wav", "Ring.wav"},
         tone,
         true,
         "notice.wav",
         notice,
         "notice.wav"},
        {"stored by name",
         "notice.wav",
         {tone, "notice.wav", "Ring.wav"},
         "notice.wav",
         true,
         "",
         notice,
         "notice.wav"},
        {"the shipped one by name",
         "Recorded.wav",
         {tone, "notice.wav", "Ring.wav"},
         tone,
         true,
         "",
         shipped,
         ""},
        {"a sound that is gone",
         "gone.wav",
         {tone, "notice.wav", "Ring.wav", "gone.wav"},
         "gone.wav",
         true,
         "",
         "",
         "gone.wav"},
        {"a path",
         "../notice.wav",
         {tone, "notice.wav", "Ring.wav", "../notice.wav"},
         "../notice.wav",
         false,
         "",
         "",
         "../notice.wav"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.stored == nullptr) {
            RegistryRoutines(kHkeyLocalMachine, product::kRootKey, kTabIncomingCall)
                .DeleteValue(setting::kCmbAnnounceIc);
        } else {
            Store(kTabIncomingCall, setting::kCmbAnnounceIc, QString::fromUtf8(c.stored));
        }
        Dialog().Open(SettingsDialog::kIncomingCall);
        auto* check = Control<QCheckBox>("chkAnnounce_IC");
        auto* sounds = Control<QComboBox>("CmbAnnounce_IC");
        QStringList listed;
        for (int i = 0; i < sounds->count(); ++i) {
            listed << sounds->itemText(i);
        }
        EXPECT_EQ(listed, c.listed);
        EXPECT_EQ(sounds->currentText(), c.shown);
        check->setChecked(c.check);
        for (const char* part :
             {"CmbAnnounce_IC", "cmdPlayAnnounce_IC", "cmdAddAnnounce_IC", "chkAnnounceWhile_IC"}) {
            EXPECT_EQ(Control<QWidget>(part)->isEnabled(), c.check) << part;
        }
        if (!c.pick.isEmpty()) {
            sounds->setCurrentIndex(sounds->findText(c.pick));
        }
        Control<QCheckBox>("chkAnnounceWhile_IC")->setChecked(c.check);
        played_.clear();
        Dialog().PlayAnnouncement();
        EXPECT_EQ(played_, c.played.isEmpty() ? QStringList() : QStringList{c.played});
        Dialog().Accept();
        EXPECT_EQ(Stored(kTabIncomingCall, setting::kCmbAnnounceIc).toString(), c.saved);
        EXPECT_EQ(settings_->IncomingCall().Announce(), c.check);
        EXPECT_EQ(settings_->IncomingCall().AnnounceWhileRecording(), c.check);
    }
    // Added through the announcement's own button: chosen there, and listed
    // for the ring as well.
    const QString picked = env_.writeFile("picked/hello.wav", "RIFF hello");
    SetFileDialogHook([&picked](const FileDialogRequest&) { return picked; });
    Dialog().Open(SettingsDialog::kIncomingCall);
    Dialog().AddAnnouncement();
    SetFileDialogHook({});
    EXPECT_EQ(Control<QComboBox>("CmbAnnounce_IC")->currentText(), "hello.wav");
    EXPECT_GE(Control<QComboBox>("CmbPlayWhen_IC")->findText("hello.wav"), 0);
    EXPECT_TRUE(QFile::exists(paths::UserSoundFolder() + "hello.wav"));
}

TEST_F(SettingsDialogTest, TheRunBoxAndTheAutostartEntryAgreeAfterOk) {
    const QString entry = paths::AutostartFolder() + "/orvane.desktop";
    RegistryRoutines run(kHkeyCurrentUser, product::kRunKey);
    ASSERT_TRUE(run.SetRegistryValue(product::kRunValueName, "/elsewhere/orvane -st"));
    Dialog().Open(0);
    auto* box = Control<QCheckBox>("chkRunOnStart");
    EXPECT_FALSE(box->isChecked()) << "an entry for another folder";
    for (bool checked : {true, false, true}) {
        box->setChecked(checked);
        Dialog().Accept();
        EXPECT_EQ(QFile::exists(entry), checked);
        EXPECT_EQ(Stored(kTabGeneral, setting::kChkRunOnStart).toString(), checked ? "1" : "0");
        Dialog().Open(0);
        EXPECT_EQ(box->isChecked(), checked);
    }
}

TEST_F(SettingsDialogTest, TrueSpeechIsShownButCannotBeChosen) {
    Store(kTabGeneral, setting::kCmbRecordFormatRec, "3");
    Dialog().Open(0);
    auto* formats = Control<QComboBox>("cmbRecordFormatRec");
    auto* model = qobject_cast<QStandardItemModel*>(formats->model());
    ASSERT_NE(model, nullptr);
    for (int i = 0; i < formats->count(); ++i) {
        EXPECT_EQ(model->item(i)->isEnabled(), i != 3) << i;
    }
    EXPECT_EQ(formats->currentIndex(), 3);
    EXPECT_TRUE(formats->currentText().contains("cannot be recorded here"));
    Dialog().Accept();
    EXPECT_EQ(Stored(kTabGeneral, setting::kCmbRecordFormatRec).toString(), "3");
}

class SettingsDialogWithoutLogKey : public SettingsDialogTest {
  protected:
    void SetUp() override {
        missingKey_ = kTabLog;
        SettingsDialogTest::SetUp();
    }
};

TEST_F(SettingsDialogWithoutLogKey, WhatWasNotSavedIsNamedInOneMessage) {
    Dialog().Open(0);
    Control<QCheckBox>("chkLogCalls")->setChecked(true);
    Control<QCheckBox>("chkOpenAppOnCall")->setChecked(true);
    SetNextMessageAnswer(kAnswerOk);
    Dialog().Accept();
    const auto shown = TakeShownMessages();
    ASSERT_EQ(shown.size(), 1u);
    for (const char* name :
         {"Log system events", "Log calls", "Warn me before deleting", "Keep journals for"}) {
        EXPECT_TRUE(shown[0].text.contains(name)) << name;
    }
    EXPECT_FALSE(shown[0].text.contains("Bring Orvane up"));
    EXPECT_EQ(Stored(kTabIncomingCall, setting::kChkOpenAppOnCall).toString(), "1");
    EXPECT_TRUE(settings_->IncomingCall().OpenAppOnCall());
}

class SettingsDialogOverABrokenFile : public SettingsDialogTest {
  protected:
    void SetUp() override {
        SettingsDialogTest::SetUp();
        // A line the reader cannot take: every write to the file is refused.
        QFile hive(env_.configHome() + "/orvane/HKEY_LOCAL_MACHINE.reg");
        ASSERT_TRUE(hive.open(QIODevice::Append));
        hive.write("this is no registry line\r\n");
    }
};

TEST_F(SettingsDialogOverABrokenFile, EverySettingIsNamedAndTheFileIsLeftAlone) {
    QFile hive(env_.configHome() + "/orvane/HKEY_LOCAL_MACHINE.reg");
    ASSERT_TRUE(hive.open(QIODevice::ReadOnly));
    const QByteArray before = hive.readAll();
    Dialog().Open(0);
    SetNextMessageAnswer(kAnswerOk);
    Dialog().Accept();
    const auto shown = TakeShownMessages();
    ASSERT_EQ(shown.size(), 1u);
    for (const char* name :
         {"Modem line", "Sound device", "Save recordings in", "Log calls", "Play the sound"}) {
        EXPECT_TRUE(shown[0].text.contains(name)) << name;
    }
    hive.seek(0);
    EXPECT_EQ(hive.readAll(), before);
}

class SettingsDialogWithoutTray : public SettingsDialogTest {
  protected:
    void SetUp() override {
        tray_ = false;
        SettingsDialogTest::SetUp();
    }
};

TEST_F(SettingsDialogWithoutTray, TheBalloonIsDisabledWithTheReason) {
    Dialog().Open(SettingsDialog::kIncomingCall);
    EXPECT_FALSE(Control<QCheckBox>("chkViewCD_IC")->isEnabled());
    EXPECT_TRUE(Control<QLabel>("lblNoTray")->isVisible());
    EXPECT_TRUE(Control<QCheckBox>("chkOpenAppOnCall")->isEnabled());
}

TEST_F(SettingsDialogTest, OpensOnTheAskedPageAndReadsRightToLeftInHebrew) {
    struct Case {
        int page;
        int shown;
    };
    const Case cases[] = {{0, 1}, {4, 4}, {0, 4}, {2, 2}, {9, 2}, {-1, 2}, {3, 3}, {1, 1}};
    for (const Case& c : cases) {
        Dialog().Open(c.page);
        EXPECT_EQ(Dialog().CurrentPage(), c.shown) << c.page;
        Dialog().Cancel();
    }
    dialog_.reset();
    ASSERT_EQ(LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/Hebrew")), 0);
    Dialog().Open(0);
    EXPECT_EQ(Dialog().layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(Dialog().windowTitle(), Text(ids::kTrayProperties));
    ResetStringTableForTesting();
}

TEST(ProgramSettings, TheMenuOpensTheDialogOnItsPageAndOkReachesTheProgram) {
    testing::TestEnvironment env;
    env.makeProgramFolders();
    for (const QString& subkey : {QString(), kTabDevices, kTabGeneral, kTabLog, kTabIncomingCall}) {
        RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey).CreateKey();
    }
    env.setVariable("SONVEL_NO_ALSA", QStringLiteral("1"));
    TrayIcon::OverrideAvailability(true);
    testing::ScriptedLineBackend* backend = nullptr;
    Program::SetTapiFactory(
        [&](QObject* parent) { return testing::CreateScriptedTapi(backend, parent); });
    {
        Program program;
        program.Load(true);
        ASSERT_NE(backend, nullptr);
        EXPECT_EQ(program.SettingsWindow(), nullptr);
        program.ShowSettings(SettingsDialog::kIncomingCall);
        SettingsDialog* dialog = program.SettingsWindow();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->CurrentPage(), SettingsDialog::kIncomingCall);
        dialog->findChild<QCheckBox*>("chkOpenAppOnCall")->setChecked(true);
        dialog->Accept();
        EXPECT_TRUE(program.Options().openAppOnCall);
        program.ShowSettings(0);
        EXPECT_EQ(program.SettingsWindow(), dialog);
        EXPECT_EQ(dialog->CurrentPage(), SettingsDialog::kIncomingCall);
        dialog->Cancel();
        program.Window().UnLoadApp();
    }
    Program::SetTapiFactory({});
    TrayIcon::OverrideAvailability(std::nullopt);
}

// The device properties answer Yes and No in the user's language.
TEST_F(SettingsDialogTest, DevicePropertiesAnswerInTheSelectedLanguage) {
    ASSERT_EQ(LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/German")), 0);
    Store(kTabDevices, setting::kCmbModemDev, "USB Modem");
    QPushButton* properties = nullptr;
    for (QPushButton* button : Dialog().findChildren<QPushButton*>()) {
        if (button->text() == Text(ids::kDeviceProperties)) {
            properties = button;
        }
    }
    ASSERT_NE(properties, nullptr);
    properties->click();
    auto* box = Dialog().findChild<QMessageBox*>(QStringLiteral("frmInformation"));
    ASSERT_NE(box, nullptr);
    const QStringList lines = box->text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[2], Text(ids::kInfoTapiCapability) + QStringLiteral(" Ja"));
    EXPECT_EQ(lines[3], Text(ids::kInfoVoiceModem) + QStringLiteral(" Nein"));
    box->close();
}

// The Record rules and Blocking pages over a real rules file: what the
// user made is taken by the running rules on OK, and nothing unreadable or
// unwritten is lost or saved.
TEST_F(SettingsDialogTest, ScreeningPagesSaveOnlyRulesThatReadAndKeepThemWhenNotWritten) {
    ASSERT_EQ(RegistryRoutines(kHkeyLocalMachine, product::kRootKey, kTabScreening).CreateKey(), 0);
    const QString path = env_.configHome() + "/Screening.txt";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "record\tnever\tcontact\tAnna\nblock\thangup\tnumber\t0900*\n"
            "allow\tnumber\t0900 1234\n");
    }
    ScreeningFile rules(path);
    ASSERT_EQ(rules.Load(), ScreeningFile::LoadOutcome::kLoaded);
    screening_ = &rules;
    const auto table = [this](const char* name) {
        auto* widget = Control<QTableWidget>(name);
        return std::pair{widget, static_cast<ScreeningTable*>(widget->parentWidget())};
    };
    Dialog().Open(SettingsDialog::kRecordRules);
    EXPECT_EQ(Dialog().CurrentPage(), SettingsDialog::kRecordRules);
    auto [recordTable, record] = table("tblRecordRules");
    ASSERT_EQ(recordTable->rowCount(), 1);
    EXPECT_EQ(recordTable->item(0, 1)->text(), "Anna");
    EXPECT_EQ(table("tblBlockList").first->item(0, 1)->text(), "0900*");
    // A contact's name is offered from the phone book; a number's is not.
    const auto offered = [&](int row) {
        QWidget* editor = recordTable->itemDelegateForColumn(1)->createEditor(
            recordTable->viewport(), QStyleOptionViewItem(), recordTable->model()->index(row, 1));
        auto* line = qobject_cast<QLineEdit*>(editor);
        QCompleter* completer = line != nullptr ? line->completer() : nullptr;
        QStringList names;
        for (int i = 0; completer != nullptr && i < completer->model()->rowCount(); ++i) {
            names.append(completer->model()->index(i, 0).data().toString());
        }
        delete editor;
        return names;
    };
    EXPECT_EQ(offered(0), QStringList({"Anna Berg", "Dr. Weber"}));

    // A number that is no pattern is named at its row, and OK saves nothing.
    const QByteArray before = ReadAll(path);
    record->AddRow();
    recordTable->item(1, 1)->setText("0800 CALL");
    EXPECT_EQ(record->Problem(), TextWithValue(ids::kBadNumberPattern, "0800 CALL"));
    EXPECT_EQ(offered(1), QStringList());
    QTreeWidget* pageList = Dialog().findChild<QTreeWidget*>();
    pageList->setCurrentItem(pageList->topLevelItem(0));
    Control<QCheckBox>("chkListUnrecorded")->setChecked(false);
    Dialog().Accept();
    EXPECT_TRUE(Dialog().isVisible());
    EXPECT_EQ(Dialog().CurrentPage(), SettingsDialog::kRecordRules);
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_TRUE(settings_->Screening().ListUnrecorded());

    // Mended and moved first, it decides before the rule above it.
    recordTable->item(1, 1)->setText("0800*");
    EXPECT_EQ(record->Problem(), "");
    record->SelectRow(1);
    record->MoveRow(-1);
    Control<QCheckBox>("chkAllowListMode")->setChecked(true);
    Dialog().Accept();
    EXPECT_FALSE(Dialog().isVisible());
    ScreeningRules expected;
    expected.recordRules = {{{CallerMatch::Kind::kNumber, "0800*"}, RecordMode::kAlways},
                            {{CallerMatch::Kind::kContact, "Anna"}, RecordMode::kNever}};
    expected.blockList = {{{CallerMatch::Kind::kNumber, "0900*"}, BlockAction::kHangUp}};
    expected.allowList = {{CallerMatch::Kind::kNumber, "0900 1234"}};
    expected.allowListMode = true;
    EXPECT_EQ(rules.Rules(), expected);
    ScreeningFile reread(path);
    reread.Load();
    EXPECT_EQ(reread.Rules(), expected);
    EXPECT_EQ(Stored(kTabScreening, setting::kChkListUnrecorded).toString(), "0");

    // Rules that cannot be written: said so, and the pages keep them.
    dialog_.reset();
    ScreeningFile unwritable(env_.configHome() + "/missing/Screening.txt");
    screening_ = &unwritable;
    Dialog().Open(SettingsDialog::kBlocking);
    // No message chosen yet: the shipped one.
    EXPECT_EQ(Control<QComboBox>("cmbBlockMessage")->currentText(), kDefaultBlockMessage);
    table("tblAllowList").second->AddRow();
    table("tblAllowList").first->item(0, 1)->setText("030 555");
    SetNextMessageAnswer(kAnswerOk);
    Dialog().Accept();
    const auto shown = TakeShownMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text,
              ReplaceMarker(Text(ids::kMsgScreeningRulesNotSaved), unwritable.LastError()));
    EXPECT_TRUE(Dialog().isVisible());
    EXPECT_EQ(table("tblAllowList").first->item(0, 1)->text(), "030 555");
    // Until they are saved, the calls are screened by the rules as they were.
    EXPECT_EQ(unwritable.Rules(), ScreeningRules());

    // A damaged file read in part: the pages say where it was kept.
    dialog_.reset();
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("block\thangup\tnumber\t0900*\nblock\tshout\tnumber\t1\n");
    }
    ASSERT_EQ(rules.Load(), ScreeningFile::LoadOutcome::kSetAside);
    screening_ = &rules;
    Dialog().Open(SettingsDialog::kBlocking);
    EXPECT_EQ(table("tblBlockList").first->rowCount(), 1);
    EXPECT_TRUE(Control<QLabel>("lblBlockingNote")->text().contains(rules.SetAsidePath()));
}

}  // namespace
}  // namespace orvane
