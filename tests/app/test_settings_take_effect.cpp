// Settings changed with the settings dialog's OK take effect at once in the
// running program: the calls list shows the new recordings folder's calls
// and names the folder, the next call is recorded in the new folder and
// format, and the journal switches govern the next call. A call being
// recorded meanwhile ends in the folder it was recorded in. Another modem,
// chosen in the dialog or stored by another program, takes the line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QtEndian>

#include "app/main_window.h"
#include "app/program.h"
#include "calls/call_state_machine.h"
#include "calls/list/calls_list_model.h"
#include "calls/store/call_record.h"
#include "calls/store/call_store.h"
#include "journal/journal_writer.h"
#include "settings/global_options.h"
#include "settings/store/registry_routines.h"
#include "telephony/tapi.h"
#include "tests/support/program_on_emulator.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"
#include "tests/telephony/modemsim_process.h"
#include "translation/show_message.h"
#include "ui/tray_icon.h"
#include "windows/settings/settings_dialog.h"

namespace orvane {
namespace {

constexpr int kFormatTagOffset = 20;
// A quarter of a second of PCM: more than a header.
constexpr qint64 kSomeSoundBytes = 4000;

// Two recordings folders of its own instead of the Recordings folder.
class SettingsTakeEffect : public testing::ProgramOnEmulatorTest<> {
  protected:
    SettingsTakeEffect() : ProgramOnEmulatorTest(RecordingsFolder::kNone) {}
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramOnEmulatorTest::SetUp());
        first_ = Folder(QStringLiteral("First"), 2);
        second_ = Folder(QStringLiteral("Second"), 3);
        Store(kTabGeneral, "txtPath", first_);
        Store(kTabGeneral, "cmbRecordFormatRec", QStringLiteral("0"));  // PCM
        // Both journals off at the start, the system journal too.
        Store(kTabLog, "chkLogSys", QStringLiteral("0"));
        Store(kTabLog, "chkLogCalls", QStringLiteral("0"));
        ResetMessageSeam();
    }
    void TearDown() override {
        ResetMessageSeam();
        ProgramOnEmulatorTest::TearDown();
    }

    // A recordings folder holding `calls` earlier calls.
    QString Folder(const QString& name, int calls) const {
        const QString folder = env_.root() + QLatin1Char('/') + name + QLatin1Char('/');
        EXPECT_TRUE(QDir().mkpath(folder));
        for (int i = 0; i < calls; ++i) {
            CallRecord record;
            record.Set(CallField::CallDate, QStringLiteral("12/1/26"));
            record.Set(CallField::CallTime, QStringLiteral("9:1%1:00 AM").arg(i));
            record.Set(CallField::CallerName, name);
            record.Set(CallField::CallerNumber, QString::number(i));
            record.Set(CallField::CallKind, QStringLiteral("3"));
            EXPECT_TRUE(AppendCallRecord(record, folder));
        }
        return folder;
    }
    static QString JournalFile(const QString& name) {
        QFile file(ProgramJournal().folder() + name);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    static QStringList Waves(const QString& folder) {
        return QDir(folder).entryList({QStringLiteral("*.wav")}, QDir::Files);
    }
    static int FormatTag(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return -1;
        }
        const QByteArray bytes = file.read(kFormatTagOffset + 2);
        return bytes.size() < kFormatTagOffset + 2
                   ? -1
                   : qFromLittleEndian<qint16>(bytes.constData() + kFormatTagOffset);
    }

    QString first_;
    QString second_;
};

TEST_F(SettingsTakeEffect, OkAppliesFolderFormatAndJournalsFromTheNextCall) {
    // The first call lasts until the program ends it; the second one comes
    // right after and is hung up by the caller.
    ASSERT_TRUE(sim_.Start(
        link_, QStringLiteral("voice pattern; wait-command VCID=1; "
                              "call rings=2 every=300 name=\"Alice Example\" number=5551234; "
                              "pickup; wait-command VRX; wait-hangup timeout 60000; sleep 500; "
                              "call rings=2 every=300 name=\"Bob Builder\" number=5550002; "
                              "pickup; wait-command VRX; sleep 1500; remote-hangup busy; "
                              "wait-hangup timeout 20000; sleep 120000")));
    Program program;
    program.Load(true);
    CallsListModel& list = program.CallsList();
    auto* shown = program.Window().findChild<QLabel*>(QStringLiteral("callsFolder"));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(list.rowCount(), 2);
    EXPECT_EQ(shown->toolTip(), first_);

    // The first call is being recorded in the first folder, sound and all.
    ASSERT_TRUE(PumpUntil([&] {
        return Waves(first_).size() == 1 &&
               QFileInfo(first_ + Waves(first_)[0]).size() > kSomeSoundBytes;
    }));

    // The dialog's OK: the second folder, GSM 6.10, both journals on.
    program.ShowSettings(SettingsDialog::kGeneral);
    SettingsDialog* dialog = program.SettingsWindow();
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QLineEdit*>(QStringLiteral("txtPath"))->setText(second_);
    dialog->findChild<QComboBox*>(QStringLiteral("cmbRecordFormatRec"))->setCurrentIndex(2);
    dialog->findChild<QCheckBox*>(QStringLiteral("chkLogSys"))->setChecked(true);
    dialog->findChild<QCheckBox*>(QStringLiteral("chkLogCalls"))->setChecked(true);
    dialog->Accept();
    EXPECT_TRUE(TakeShownMessages().empty());

    // At once: the list shows the second folder's calls and names it.
    EXPECT_EQ(list.Folder(), second_);
    EXPECT_EQ(list.rowCount(), 3);
    EXPECT_EQ(shown->toolTip(), second_);
    EXPECT_TRUE(shown->text().contains(QStringLiteral("Second")) ||
                shown->text().contains(QChar(0x2026)))
        << shown->text().toStdString();

    // The user ends the first call: it is entered where it was recorded.
    program.Calls()->Disconnected();
    ASSERT_TRUE(PumpUntil([&] { return ReadAllCallRecords(first_).size() == 3; }))
        << JournalFile(ProgramJournal().systemFileName()).toStdString();
    EXPECT_EQ(ReadAllCallRecords(first_).back().Get(CallField::CallerName),
              QStringLiteral("Alice Example"));
    EXPECT_EQ(FormatTag(first_ + Waves(first_)[0]), 1);  // PCM
    EXPECT_EQ(ReadAllCallRecords(second_).size(), 3u);
    EXPECT_TRUE(Waves(second_).isEmpty());

    // The next call: the second folder, GSM 6.10, in both journals.
    ASSERT_TRUE(PumpUntil([&] { return ReadAllCallRecords(second_).size() == 4; }));
    ASSERT_EQ(Waves(second_).size(), 1);
    EXPECT_EQ(FormatTag(second_ + Waves(second_)[0]), 49);
    EXPECT_EQ(list.rowCount(), 4);
    EXPECT_EQ(list.Folder(), second_);
    const QString calls = JournalFile(ProgramJournal().callsFileName());
    EXPECT_TRUE(calls.contains(QStringLiteral("Bob Builder - 5550002"))) << calls.toStdString();
    EXPECT_FALSE(calls.contains(QStringLiteral("Alice Example"))) << "came in while off";
    const QString system = JournalFile(ProgramJournal().systemFileName());
    EXPECT_EQ(system.count(QStringLiteral("StartRecordACM")), 1) << system.toStdString();
    program.Window().UnLoadApp();
}

// Two emulated modems on the line ports; the line starts on the first.
class AnotherModemTakesTheLine : public testing::ProgramOnEmulatorTest<> {
  protected:
    AnotherModemTakesTheLine() : ProgramOnEmulatorTest(RecordingsFolder::kNone) {}
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramOnEmulatorTest::SetUp());
        secondLink_ = env_.root() + QStringLiteral("/modem2");
        Store(kTabDevices, "txtLinePorts", link_ + QLatin1Char(';') + secondLink_);
    }
    // The name of the line device the line is open on; empty while closed.
    static QString OpenModem(Program& program) {
        Tapi* tapi = program.Tapi1();
        if (tapi == nullptr || !tapi->LineOpened()) {
            return {};
        }
        LineDetails details;
        tapi->GetLineDetails(details);
        return details.deviceName;
    }

    QString secondLink_;
    testing::ModemSimProcess secondSim_;
};

TEST_F(AnotherModemTakesTheLine, ChosenInTheDialogOrStoredByAnotherProgram) {
    const QString idle = QStringLiteral("wait-client; sleep 120000");
    ASSERT_TRUE(sim_.Start(link_, idle));
    ASSERT_TRUE(secondSim_.Start(secondLink_, idle));
    const QString first = kSimName;
    QString second = kSimName;
    second.replace(QStringLiteral("(modem)"), QStringLiteral("(modem2)"));
    Program program;
    program.Load(true);
    ASSERT_TRUE(PumpUntil([&] { return OpenModem(program) == first; })) << Journal().toStdString();

    // The dialog's OK: the line closes and opens on the second modem.
    program.ShowSettings(SettingsDialog::kDevices);
    SettingsDialog* dialog = program.SettingsWindow();
    ASSERT_NE(dialog, nullptr);
    auto* modems = dialog->findChild<QComboBox*>(QStringLiteral("cmbModemDev"));
    ASSERT_NE(modems->findData(second), -1);
    modems->setCurrentIndex(modems->findData(second));
    dialog->Accept();
    EXPECT_TRUE(PumpUntil([&] { return OpenModem(program) == second; })) << Journal().toStdString();

    // Another program stores the first one: the line follows it.
    Store(kTabDevices, "cmbModemDev", first);
    EXPECT_TRUE(PumpUntil([&] { return OpenModem(program) == first; })) << Journal().toStdString();
    EXPECT_EQ(Journal().count(QStringLiteral("OpenLine:Tapi1.LineOpen->")), 3);
    program.Window().UnLoadApp();
}

}  // namespace
}  // namespace orvane
