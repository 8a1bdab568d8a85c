// The whole program places calls from its dialer on the emulated line: a
// record call is recorded and stored as kind 4, a standard call is not, a
// call back dials the row's number, and busy and missing dial tone are
// reported on both status bars and in the journal.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

#include "app/calls_list/calls_list_view.h"
#include "app/main_window.h"
#include "app/program.h"
#include "calls/list/calls_list_model.h"
#include "calls/store/call_store.h"
#include "dialer/dialer_window.h"
#include "journal/journal_writer.h"
#include "settings/names/devices.h"
#include "settings/names/general.h"
#include "settings/names/log.h"
#include "telephony/tapi.h"
#include "tests/support/test_environment.h"
#include "tests/telephony/modemsim_process.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/tray_icon.h"

namespace orvane {
namespace {

const QString kSimName = QStringLiteral("Orvane modemsim V.253 voice modem (modem)");

class DialerEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        env_.makeProgramFolders();
        QFile english(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English"));
        ASSERT_TRUE(english.open(QIODevice::ReadOnly));
        env_.writeFile(QStringLiteral("program/Trans/English"), english.readAll());
        env_.setVariable("SONVEL_NO_ALSA", QStringLiteral("1"));
        for (const QString& subkey : {QString(), kTabDevices, kTabGeneral, kTabLog}) {
            RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey).CreateKey();
        }
        link_ = env_.root() + QStringLiteral("/modem");
        log_ = env_.root() + QStringLiteral("/modemsim.log");
        folder_ = env_.root() + QStringLiteral("/Recordings/");
        ASSERT_TRUE(QDir().mkpath(folder_));
        Store(kTabLog, "chkLogSys", QStringLiteral("1"));
        Store(kTabDevices, "txtLinePorts", link_);
        Store(kTabDevices, "cmbModemDev", kSimName);
        Store(kTabGeneral, "txtPath", folder_);
        Store(kTabGeneral, "cmbRecordFormatRec", QStringLiteral("0"));
        TrayIcon::OverrideAvailability(true);
    }
    void TearDown() override {
        TrayIcon::OverrideAvailability(std::nullopt);
        SetJournalSwitches(false, false);
        ResetMessageSeam();
        ResetStringTableForTesting();
    }

    static void Store(const QString& subkey, const char* name, const QString& value) {
        ASSERT_TRUE(RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey)
                        .SetRegistryValue(QString::fromLatin1(name), value, kRegSz));
    }
    QString Journal() const {
        QFile file(ProgramJournal().folder() + ProgramJournal().systemFileName());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    int Count(const QString& text) const { return static_cast<int>(Journal().count(text)); }
    template <typename Predicate>
    static bool PumpUntil(Predicate done, int limitMs = 30000) {
        const QDeadlineTimer deadline(limitMs);
        while (!done() && !deadline.hasExpired()) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return done();
    }
    bool StartOnLine(const QString& scenario) {
        if (!sim_.Start(link_, QStringLiteral("voice pattern; ") + scenario,
                        {QStringLiteral("--log"), log_})) {
            return false;
        }
        program_.Load(true);
        return PumpUntil([&] { return program_.Tapi1()->LineOpened(); });
    }
    // Opens the dialer as the menus do and presses one of its call buttons.
    void Dial(const QString& number, const char* button) {
        program_.ShowDialer(QString());
        program_.Dialer()
            ->findChild<QComboBox*>(QStringLiteral("cmbCallNumber"))
            ->setEditText(number);
        program_.Dialer()->findChild<QPushButton*>(QLatin1String(button))->click();
    }
    QString DialerStatus() const {
        return program_.Dialer()->findChild<QStatusBar*>()->findChild<QLabel*>()->text();
    }
    QString MainStatus() const {
        return program_.Window().findChild<QLabel*>(QStringLiteral("statusPanel3"))->text();
    }
    QString SimLog() const {
        QFile file(log_);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    testing::TestEnvironment env_;
    QString link_;
    QString log_;
    QString folder_;
    testing::ModemSimProcess sim_;
    Program program_;
};

TEST_F(DialerEndToEnd, ARecordCallIsStoredAsKindFourAndCallingBackDialsItsNumber) {
    ASSERT_TRUE(StartOnLine(QStringLiteral(
        "dial-answer answered after 200; wait-command ATD5551234; wait-command VRX; sleep 2500; "
        "remote-hangup busy; wait-hangup timeout 20000; dial-answer busy after 200; "
        "wait-command ATD5551234; sleep 60000")))
        << Journal().toStdString();
    SetNextMessageAnswer(kAnswerYes);
    Dial(QStringLiteral("555-1234"), "cmdRecCall");
    ASSERT_TRUE(PumpUntil([&] { return Count(QStringLiteral("End Of Call")) == 1; }))
        << Journal().toStdString();
    EXPECT_EQ(TakeShownMessages().size(), 1u) << "the question whether to record";
    EXPECT_FALSE(program_.Dialer()->IsLoaded()) << "recording closes the dialer";

    const std::vector<CallRecord> records = ReadAllCallRecords(folder_);
    ASSERT_EQ(records.size(), 1u) << Journal().toStdString();
    EXPECT_EQ(records[0].Get(CallField::CallKind), QStringLiteral("4"));
    EXPECT_EQ(records[0].Get(CallField::CallerName), QStringLiteral("UNKNOWN"));
    EXPECT_EQ(records[0].Get(CallField::CallerNumber), QStringLiteral("5551234"));
    const QStringList waves = QDir(folder_).entryList({QStringLiteral("*.wav")}, QDir::Files);
    ASSERT_EQ(waves, QStringList{CallFileName(records[0])});
    EXPECT_TRUE(waves[0].startsWith(QStringLiteral("UNKNOWN_5551234_")));
    EXPECT_GT(QFile(folder_ + waves[0]).size(), 44 + 8000);

    // Call back from the row: the dialer opens with its number, which is dialled.
    CallsListPanel* calls = program_.Window().CallsList();
    ASSERT_EQ(program_.CallsList().rowCount(), 1);
    calls->View()->setCurrentIndex(program_.CallsList().index(0, 0));
    calls->ButtonClicked(CallsListPanel::kCallBack);
    ASSERT_TRUE(program_.Dialer()->IsLoaded());
    EXPECT_EQ(program_.Dialer()->NumberText(), QStringLiteral("5551234"));
    program_.Dialer()->findChild<QPushButton*>(QStringLiteral("cndSend"))->click();
    ASSERT_TRUE(PumpUntil([&] { return Count(QStringLiteral("End Of Call")) == 2; }))
        << Journal().toStdString();
    EXPECT_EQ(SimLog().count(QStringLiteral("client ATD5551234")), 2) << SimLog().toStdString();
    EXPECT_EQ(MainStatus(), Text(ids::kDialBusy));
    EXPECT_EQ(DialerStatus(), Text(ids::kDialBusy));
    EXPECT_TRUE(Journal().contains(QStringLiteral("The called line is busy.")));
    EXPECT_FALSE(program_.CurrentCallState().standardCall);
    program_.Window().UnLoadApp();
}

TEST_F(DialerEndToEnd, AStandardCallIsNotRecordedAndAMissingDialToneIsReported) {
    ASSERT_TRUE(StartOnLine(QStringLiteral(
        "dial-answer answered after 200; wait-command ATD; wait-command VRX; sleep 1500; "
        "remote-hangup busy; wait-hangup timeout 20000; dial-answer no-dialtone after 200; "
        "wait-command ATD; sleep 60000")))
        << Journal().toStdString();
    SetNextMessageAnswer(kAnswerOk);
    SetNextMessageAnswer(kAnswerOk);
    Dial(QStringLiteral("0123"), "cndSend");
    ASSERT_TRUE(PumpUntil([&] { return Count(QStringLiteral("End Of Call")) == 1; }))
        << Journal().toStdString();
    EXPECT_TRUE(Journal().contains(QStringLiteral("Connected")));
    EXPECT_TRUE(ReadAllCallRecords(folder_).empty());
    EXPECT_TRUE(QDir(folder_).entryList({QStringLiteral("*.wav")}, QDir::Files).isEmpty());

    Dial(QStringLiteral("0123"), "cmdRecCall");
    ASSERT_TRUE(PumpUntil([&] { return Count(QStringLiteral("End Of Call")) == 2; }))
        << Journal().toStdString();
    EXPECT_EQ(MainStatus(), Text(ids::kDialNoDialTone));
    EXPECT_EQ(DialerStatus(), Text(ids::kDialNoDialTone));
    EXPECT_TRUE(Journal().contains(QStringLiteral("There is no dial tone on the line.")));
    EXPECT_TRUE(ReadAllCallRecords(folder_).empty());
    program_.Window().UnLoadApp();
}

}  // namespace
}  // namespace orvane
