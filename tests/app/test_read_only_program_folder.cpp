// An installed program folder is read-only: every feature that writes
// (the set-up at start, the journal, the general notes, the last numbers,
// the settings dialog, a recorded call) writes into the user's folders and
// leaves the program folder as it was.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTextStream>
#include <functional>

#include "app/main_window.h"
#include "app/program.h"
#include "app/startup.h"
#include "calls/last_numbers.h"
#include "calls/notes/general_notes.h"
#include "calls/store/call_store.h"
#include "core/paths.h"
#include "core/product.h"
#include "journal/journal_writer.h"
#include "settings/names/general.h"
#include "settings/program_settings.h"
#include "settings/store/registry_routines.h"
#include "tests/support/program_on_emulator.h"
#include "tests/support/qt_printers.h"
#include "tests/support/run_as_nobody.h"
#include "tests/support/test_environment.h"
#include "ui/tray_icon.h"
#include "windows/settings/settings_dialog.h"

namespace orvane {
namespace {

constexpr QFile::Permissions kReadOnlyFolder = QFile::ReadOwner | QFile::ExeOwner |
                                               QFile::ReadGroup | QFile::ExeGroup |
                                               QFile::ReadOther | QFile::ExeOther;
constexpr QFile::Permissions kOwnersFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions kOthers = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                       QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

// Every entry below `folder` with its size, time and mode: a write shows.
QStringList Snapshot(const QString& folder) {
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        entries.append(QStringLiteral("%1 %2 %3 %4")
                           .arg(info.filePath())
                           .arg(info.size())
                           .arg(info.lastModified().toMSecsSinceEpoch())
                           .arg(int(info.permissions()), 0, 16));
    }
    entries.sort();
    return entries;
}

// The folders of `program`, deepest first, to 0555 or back to 0700.
void SetFolderModes(const QString& program, QFile::Permissions mode) {
    QStringList folders{program};
    QDirIterator it(program, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        folders.append(it.next());
    }
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        QFile::setPermissions(*folder, mode);
    }
}

// A program folder as an installation leaves it, then made read-only.
void MakeInstalledProgramFolder(const testing::TestEnvironment& env) {
    env.writeFile(QStringLiteral("program/orvane"), "program");
    env.writeFile(QStringLiteral("program/Trans/English"), "1\r\n");
    env.writeFile(QStringLiteral("program/Sound/Ring.wav"), "RIFF");
    env.writeFile(QStringLiteral("program/Help/index.html"), "<html></html>");
    SetFolderModes(env.programFolder(), kReadOnlyFolder);
}

TEST(ReadOnlyProgramFolder, EveryWriterWritesIntoTheUserFolders) {
    // Root writes into a 0555 folder anyway.
    if (testing::RanAsNobody()) {
        return;
    }
    testing::TestEnvironment env;
    MakeInstalledProgramFolder(env);
    const QStringList before = Snapshot(env.programFolder());

    // The set-up at the start: quiet, the user's folders private.
    const QString problems = RunUserSetupQuietly();
    EXPECT_TRUE(problems.isEmpty()) << problems.toStdString();
    EXPECT_EQ(QFileInfo(paths::UserFolder()).permissions() & kOthers, 0);
    RegistryRoutines general(kHkeyLocalMachine, product::kRootKey, kTabGeneral);
    EXPECT_EQ(general.GetRegistryValue(setting::kTxtPath),
              QVariant(paths::DefaultRecordingsFolder()));

    struct Writer {
        const char* label;
        std::function<bool()> write;
        QString written;  // the file it leaves
    };
    const Writer writers[] = {
        {"journal",
         [] {
             SetJournalSwitches(true, false);
             WriteSysLog(QStringLiteral("line"), 0, QStringLiteral("Test"));
             SetJournalSwitches(false, false);
             return true;
         },
         paths::JournalFolder() + ProgramJournal().systemFileName()},
        {"general notes",
         [] { return SaveGeneralNotes(GeneralNotesFile(), QStringLiteral("notes"), nullptr); },
         paths::UserFolder() + QStringLiteral("/Notes")},
        {"last numbers", [] { return PutNumberFirst(LastNumbersFile(), QStringLiteral("555")); },
         paths::UserFolder() + QStringLiteral("/DialCalls")},
    };
    for (const Writer& writer : writers) {
        SCOPED_TRACE(writer.label);
        EXPECT_TRUE(writer.write());
        EXPECT_TRUE(QFileInfo(writer.written).isFile()) << writer.written.toStdString();
    }

    // OK on an empty recordings box stores the default folder.
    ASSERT_TRUE(general.SetRegistryValue(setting::kTxtPath, QStringLiteral("/elsewhere/")));
    TrayIcon::OverrideAvailability(true);
    {
        ProgramSettings settings;
        SettingsDialog::Host host;
        host.lineDevices = [] { return std::vector<LineDetails>{}; };
        host.soundDevices = [] { return QStringList{}; };
        SettingsDialog dialog(settings, std::move(host));
        dialog.Open(0);
        auto* box = dialog.findChild<QLineEdit*>(QStringLiteral("txtPath"));
        ASSERT_NE(box, nullptr);
        box->clear();
        dialog.Accept();
    }
    TrayIcon::OverrideAvailability(std::nullopt);
    EXPECT_EQ(general.GetRegistryValue(setting::kTxtPath),
              QVariant(paths::DefaultRecordingsFolder()));

    EXPECT_EQ(Snapshot(env.programFolder()), before);
    SetFolderModes(env.programFolder(), kOwnersFolder);
}

TEST(UserSetupAtStart, AFolderThatCannotBeMadeIsAMessageNotAStop) {
    testing::TestEnvironment env;
    const QString blocked = env.writeFile(QStringLiteral("blocked"), "a file");
    env.setVariable("XDG_DATA_HOME", blocked + QStringLiteral("/data"));
    const QString problems = RunUserSetupQuietly();
    EXPECT_TRUE(problems.contains(QStringLiteral("cannot make the folder ") + blocked))
        << problems.toStdString();
    // The keys are made all the same.
    EXPECT_TRUE(RegistryRoutines(kHkeyLocalMachine, product::kRootKey, kTabGeneral).KeyExists());
}

class ReadOnlyProgramFolderCall : public testing::ProgramOnEmulatorTest<> {
  protected:
    ReadOnlyProgramFolderCall() : ProgramOnEmulatorTest(RecordingsFolder::kNone) {}
    void TearDown() override {
        SetFolderModes(env_.programFolder(), kOwnersFolder);
        ProgramOnEmulatorTest::TearDown();
    }
};

TEST_F(ReadOnlyProgramFolderCall, ACallIsRecordedIntoTheDefaultRecordingsFolder) {
    env_.writeFile(QStringLiteral("program/Trans/English"), "1\r\n");
    SetFolderModes(env_.programFolder(), kReadOnlyFolder);
    const QStringList before = Snapshot(env_.programFolder());
    ASSERT_TRUE(sim_.Start(
        link_, QStringLiteral("voice pattern; wait-command VCID=1; "
                              "call rings=2 every=300 name=\"Alice\" number=5551234; "
                              "pickup; wait-command VRX; sleep 1500; remote-hangup busy; "
                              "wait-hangup timeout 20000; sleep 120000")));
    {
        Program program;
        program.Load(true);
        ASSERT_TRUE(PumpUntil([] { return Journal().contains(QStringLiteral("End Of Call")); }))
            << Journal().toStdString();
        const std::vector<CallRecord> records =
            ReadAllCallRecords(paths::DefaultRecordingsFolder());
        ASSERT_EQ(records.size(), 1u) << Journal().toStdString();
        EXPECT_TRUE(
            QFileInfo(paths::DefaultRecordingsFolder() + CallFileName(records[0])).isFile());
        program.Window().UnLoadApp();
    }
    EXPECT_EQ(QFileInfo(paths::DefaultRecordingsFolder()).permissions() & kOthers, 0);
    EXPECT_EQ(Snapshot(env_.programFolder()), before);
}

}  // namespace
}  // namespace orvane
