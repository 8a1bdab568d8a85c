#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "core/paths.h"
#include "settings/setup/setup_command.h"
#include "settings/setup/user_files_upgrade.h"
#include "settings/store/registry_routines.h"
#include "settings/store/registry_store.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"

namespace orvane::setup {
namespace {

struct Result {
    int code = 0;
    QString out;
    QString err;
};

Result Install(const QStringList& arguments, QLocale::Language language = QLocale::English) {
    Result result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.code = RunSetup(arguments, out, err, language);
    return result;
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QVariant Stored(const QString& subkey, const QString& name) {
    return RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey).GetRegistryValue(name);
}

class SetupCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env_.writeFile(QStringLiteral("program/Trans/English"), "0\r\n");
        env_.writeFile(QStringLiteral("program/Trans/German"), "0\r\n");
    }
    testing::TestEnvironment env_;
};

TEST_F(SetupCommandTest, MakesEverythingOnceAndNothingTheSecondTime) {
    const Result first = Install({});
    EXPECT_EQ(first.code, 0) << first.err.toStdString();
    EXPECT_TRUE(first.err.isEmpty());
    const QString recordings = env_.dataHome() + QStringLiteral("/orvane/Recordings/");
    for (const QString& line :
         {QStringLiteral("Created folder ") + paths::JournalFolder(),
          QStringLiteral("Created key HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenzo\\Orvane "
                         "1.1\\Events\\TabDisconnectCall"),
          QStringLiteral(
              "Created key HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"),
          QStringLiteral("Created folder ") + recordings}) {
        EXPECT_TRUE(first.out.split(QLatin1Char('\n')).contains(line)) << line.toStdString();
    }
    EXPECT_FALSE(
        first.out.contains(QStringLiteral("Created folder ") + paths::ShippedTransFolder()));
    // The user's folders; the program folder may be read-only and gets none.
    for (const QString& folder :
         {paths::UserTransFolder(), paths::UserSoundFolder(), paths::JournalFolder()}) {
        EXPECT_TRUE(QFileInfo(folder).isDir()) << folder.toStdString();
    }
    EXPECT_EQ(QDir(paths::ProgramFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Trans")});
    for (const char* key :
         {"", "Language", "Properties\\TabDevices", "Properties\\TabGeneral", "Properties\\TabLog",
          "Properties\\TabInCommingCall", "Events\\TabDisconnectCall"}) {
        EXPECT_TRUE(
            RegistryRoutines(kHkeyLocalMachine, product::kRootKey, QLatin1String(key)).KeyExists())
            << key;
    }
    EXPECT_TRUE(RegistryRoutines(kHkeyCurrentUser, product::kRunKey).KeyExists());
    EXPECT_EQ(Stored(QStringLiteral("Properties\\TabGeneral"), QStringLiteral("txtPath")),
              QVariant(recordings));
    EXPECT_TRUE(QFileInfo(recordings).isDir());
    EXPECT_EQ(Stored(QStringLiteral("Language"), QStringLiteral("Select")),
              QVariant(QStringLiteral("English")));
    // The audio control's class, read back through the settings store.
    EXPECT_EQ(
        RegistryRoutines(kHkeyClassesRoot, QStringLiteral("Sonvel.Wave"), QStringLiteral("CLSID"))
            .GetRegistryValue(QString()),
        QVariant(QStringLiteral("{BB8AD211-E684-4E22-A2D8-2D89D61F772F}")));
    EXPECT_TRUE(first.out.contains(QStringLiteral("Registered the audio control Sonvel.Wave")));

    const QByteArray classes = ReadFile(HivePath(kHkeyClassesRoot));
    const QByteArray machine = ReadFile(HivePath(kHkeyLocalMachine));
    const QByteArray user = ReadFile(HivePath(kHkeyCurrentUser));
    const Result second = Install({});
    EXPECT_EQ(second.code, 0);
    EXPECT_TRUE(second.out.isEmpty()) << second.out.toStdString();
    EXPECT_TRUE(second.err.isEmpty());
    EXPECT_EQ(ReadFile(HivePath(kHkeyLocalMachine)), machine);
    EXPECT_EQ(ReadFile(HivePath(kHkeyCurrentUser)), user);
    EXPECT_EQ(ReadFile(HivePath(kHkeyClassesRoot)), classes);
}

TEST_F(SetupCommandTest, KeepsWhatTheUserHasAndMendsOnlyWhatIsMissing) {
    ASSERT_EQ(Install({}).code, 0);
    RegistryRoutines general(kHkeyLocalMachine, product::kRootKey,
                             QStringLiteral("Properties\\TabGeneral"));
    ASSERT_TRUE(general.SetRegistryValue(QStringLiteral("txtPath"), QStringLiteral("/mine/")));
    RegistryRoutines language(kHkeyLocalMachine, product::kRootKey, QStringLiteral("Language"));
    ASSERT_TRUE(language.SetRegistryValue(QStringLiteral("Select"), QStringLiteral("German")));
    RegistryRoutines tabLog(kHkeyLocalMachine, product::kRootKey,
                            QStringLiteral("Properties\\TabLog"));
    ASSERT_EQ(tabLog.DeleteKey(), kErrorSuccess);

    const QString other = env_.root() + QStringLiteral("/other");
    const Result again =
        Install({QStringLiteral("--recordings"), other, QStringLiteral("--language=English")});
    EXPECT_EQ(again.code, 0);
    EXPECT_EQ(again.out, QStringLiteral("Created key HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenzo\\Orvane "
                                        "1.1\\Properties\\TabLog\n"));
    EXPECT_EQ(general.GetRegistryValue(QStringLiteral("txtPath")),
              QVariant(QStringLiteral("/mine/")));
    EXPECT_EQ(language.GetRegistryValue(QStringLiteral("Select")),
              QVariant(QStringLiteral("German")));
    EXPECT_FALSE(QFileInfo::exists(other));
}

TEST_F(SetupCommandTest, TheShippedRingIsChosenOnlyWhereNoSoundWasChosen) {
    const QString subkey = QStringLiteral("Properties\\TabInCommingCall");
    const QString name = QStringLiteral("CmbPlayWhen_IC");
    ASSERT_EQ(Install({}).code, 0);  // no ring in the program folder: nothing chosen
    EXPECT_FALSE(Stored(subkey, name).isValid());
    env_.writeFile(QStringLiteral("program/Sound/Ring.wav"), "RIFF");
    EXPECT_EQ(Install({}).code, 0);
    EXPECT_EQ(Stored(subkey, name), QVariant(QStringLiteral("Ring.wav")));

    RegistryRoutines incoming(kHkeyLocalMachine, product::kRootKey, subkey);
    for (const QString& choice : {QStringLiteral("Chime.wav"), QString()}) {
        ASSERT_TRUE(incoming.SetRegistryValue(name, choice));
        const Result again = Install({});
        EXPECT_EQ(again.code, 0);
        EXPECT_TRUE(again.out.isEmpty()) << again.out.toStdString();
        EXPECT_EQ(Stored(subkey, name), QVariant(choice));
    }
}

TEST(SetupLanguage, TheSystemLanguagePicksAShippedFile) {
    const QList<std::tuple<QLocale::Language, QStringList, QString>> cases{
        {QLocale::German, {}, QStringLiteral("German")},
        {QLocale::Hebrew, {}, QStringLiteral("English")},  // not shipped here
        {QLocale::French, {}, QStringLiteral("English")},
        {QLocale::Hebrew,
         {QStringLiteral("--language"), QStringLiteral("German")},
         QStringLiteral("German")},
    };
    for (const auto& [language, arguments, expected] : cases) {
        testing::TestEnvironment env;
        env.writeFile(QStringLiteral("program/Trans/English"), "0\r\n");
        env.writeFile(QStringLiteral("program/Trans/German"), "0\r\n");
        const Result result = Install(arguments, language);
        EXPECT_EQ(result.code, 0);
        EXPECT_EQ(Stored(QStringLiteral("Language"), QStringLiteral("Select")), QVariant(expected))
            << QLocale::languageToString(language).toStdString();
    }
    EXPECT_EQ(LanguageFileFor(QLocale::Hebrew), QStringLiteral("Hebrew"));
}

TEST_F(SetupCommandTest, ABadLanguageNameChangesNothing) {
    env_.writeFile(QStringLiteral("outside"), "1\r\n");
    for (const QString& name :
         {QStringLiteral("../../outside"), QStringLiteral("French"), QStringLiteral("..")}) {
        const Result result = Install({QStringLiteral("--language"), name});
        EXPECT_EQ(result.code, 1) << name.toStdString();
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_TRUE(result.err.contains(QStringLiteral("no language file")));
    }
    EXPECT_FALSE(QFileInfo::exists(paths::ConfigFolder()));
    EXPECT_FALSE(QFileInfo::exists(paths::JournalFolder()));
    EXPECT_EQ(Install({QStringLiteral("--colour")}).code, 1);
    EXPECT_EQ(Install({QStringLiteral("--recordings")}).code, 1);
}

TEST_F(SetupCommandTest, ProgramFolderOptionHoldsForTheRunOnly) {
    const QString elsewhere = env_.root() + QStringLiteral("/elsewhere");
    const Result result = Install({QStringLiteral("--program-dir"), elsewhere});
    EXPECT_EQ(result.code, 0);
    EXPECT_FALSE(QFileInfo::exists(elsewhere));  // only read
    EXPECT_EQ(paths::ProgramFolder(), env_.programFolder());
}

TEST_F(SetupCommandTest, FailuresAreReportedWithExitCodeOne) {
    ASSERT_TRUE(QDir().mkpath(paths::ConfigFolder()));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ORVANE_TEST_DATA_DIR "/registry/missing_header.reg"),
                            HivePath(kHkeyLocalMachine)));
    const QByteArray broken = ReadFile(HivePath(kHkeyLocalMachine));
    Result result = Install({});
    EXPECT_EQ(result.code, 1);
    EXPECT_TRUE(result.err.contains(HivePath(kHkeyLocalMachine) + QStringLiteral(" line 1: ")))
        << result.err.toStdString();
    EXPECT_EQ(ReadFile(HivePath(kHkeyLocalMachine)), broken);

    const QString blocked = env_.writeFile(QStringLiteral("blocked"), "a file");
    env_.setVariable("XDG_DATA_HOME", blocked + QStringLiteral("/data"));
    result = Install({});
    EXPECT_EQ(result.code, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("cannot make the folder")));
}

TEST_F(SetupCommandTest, TheMenuEntryStartsTheProgramOfThisFolderAndIsKeptUpToDate) {
    const QString folder = env_.root() + QStringLiteral("/my programs/orvane");
    env_.writeFile(QStringLiteral("my programs/orvane/orvane"), "x");
    env_.writeFile(QStringLiteral("my programs/orvane/Trans/English"), "0\r\n");
    const QString entry =
        env_.dataHome() + QStringLiteral("/applications/org.quenzo.Orvane.desktop");
    Result result = Install({QStringLiteral("--program-dir"), folder});
    ASSERT_EQ(result.code, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral("Wrote menu entry ") + entry));
    const QByteArray content = ReadFile(entry);
    EXPECT_TRUE(content.contains("\nExec=\"" + folder.toUtf8() + "/orvane\"\n")) << content.data();
    EXPECT_TRUE(content.contains("\nIcon=" + folder.toUtf8() + "/orvane.svg\n"));

    // Unchanged: not written again; damaged: mended.
    EXPECT_FALSE(Install({QStringLiteral("--program-dir"), folder}).out.contains("menu entry"));
    env_.writeFile(QStringLiteral("data/applications/org.quenzo.Orvane.desktop"), "garbage");
    EXPECT_TRUE(Install({QStringLiteral("--program-dir"), folder}).out.contains("menu entry"));
    EXPECT_EQ(ReadFile(entry), content);
}

// The entry earlier versions wrote goes when it starts an Orvane program, so
// the menu lists the program once; someone else's entry of that name stays.
TEST_F(SetupCommandTest, TheOldMenuEntryGoesOnlyWhenItIsOurs) {
    const QString old = env_.dataHome() + QStringLiteral("/applications/orvane.desktop");
    const struct {
        QByteArray content;
        bool removed;
    } cases[] = {
        {"[Desktop Entry]\nName=Orvane\nExec=\"/opt/my programs/orvane\"\n", true},
        {"[Desktop Entry]\nName=Orvane\nExec=/home/u/orvane/orvane -st\n", true},
        {"[Desktop Entry]\nName=Orvane tools\nExec=/usr/bin/orvane-helper\n", false},
        {"[Desktop Entry]\nName=Other\n", false},
    };
    for (const auto& c : cases) {
        env_.writeFile(QStringLiteral("data/applications/orvane.desktop"), c.content);
        const Result result = Install({});
        EXPECT_EQ(result.code, 0) << result.err.toStdString();
        EXPECT_EQ(!QFileInfo::exists(old), c.removed) << c.content.data();
        EXPECT_EQ(result.out.contains(QStringLiteral("Removed the old menu entry ") + old),
                  c.removed);
    }
}

TEST_F(SetupCommandTest, TheInstalledProgramWritesNoMenuEntryOfItsOwn) {
    env_.setVariable("ORVANE_DATA_DIR", env_.root() + QStringLiteral("/share/orvane"));
    env_.writeFile(QStringLiteral("share/orvane/Trans/English"), "1\r\n");
    const Result result = Install({});
    EXPECT_EQ(result.code, 0) << result.err.toStdString();
    EXPECT_FALSE(result.out.contains(QStringLiteral("menu entry")));
    EXPECT_FALSE(QFileInfo::exists(env_.dataHome() + QStringLiteral("/applications")));
}

TEST_F(SetupCommandTest, TheProgramRunsTwiceQuietlyTheSecondTime) {
    const QString program = QStringLiteral(ORVANE_BUILT_PROGRAM_DIR "/orvane-setup");
    for (const bool firstRun : {true, false}) {
        QProcess process;
        process.start(program, {});
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        EXPECT_EQ(process.readAllStandardOutput().isEmpty(), !firstRun);
    }
    EXPECT_TRUE(Stored(QStringLiteral("Language"), QStringLiteral("Select")).isValid());
}

// An old portable folder's own translations and sounds reach the user's
// folders, whether the shipped files now live elsewhere (an installed
// package) or still in that folder; nothing the user has is overwritten.
TEST_F(SetupCommandTest, TheUsersOwnFilesOfAnOldProgramFolderAreBroughtOver) {
    const QString old = env_.programFolder();
    const QByteArray english = ReadFile(old + "/Trans/English");
    const QString userTrans = env_.dataHome() + "/orvane/Trans/";
    const QString userSound = env_.dataHome() + "/orvane/Sound/";
    const struct {
        const char* file;  // below the old program folder
        QByteArray content;
        QByteArray user;  // the user's file of that name afterwards
        bool keptInOld;   // the old copy still there
    } files[] = {
        {"Trans/Mine", "1\r\nmine\r\n", "1\r\nmine\r\n", false},  // made in the editor
        {"Trans/Taken", "1\r\nold\r\n", "1\r\nnew\r\n", true},    // never overwritten
        {"Sound/Mine.wav", "RIFF mine", "", true},                // portable: read in place
    };
    env_.writeFile("data/orvane/Trans/Taken", "1\r\nnew\r\n");
    for (const auto& f : files) {
        env_.writeFile(QStringLiteral("program/") + f.file, f.content);
    }
    // The portable layout: the old folder is the shipped one.
    const Result portable = Install({});
    EXPECT_EQ(portable.code, 0) << portable.err.toStdString();
    EXPECT_TRUE(portable.out.contains("Copied " + old + "/Trans/Mine to " + userTrans + "Mine"));
    EXPECT_TRUE(
        portable.out.contains("Kept " + old + "/Trans/Taken: " + userTrans + "Taken exists"));
    for (const auto& f : files) {
        const QString name = QFileInfo(f.file).fileName();
        const QString user = (QString(f.file).startsWith("Trans") ? userTrans : userSound) + name;
        EXPECT_EQ(QFileInfo::exists(old + "/" + f.file), f.keptInOld) << f.file;
        EXPECT_EQ(ReadFile(user), f.user) << f.file;
    }

    // Installed data elsewhere: a changed shipped file and an unknown sound
    // are the user's, a shipped file as it ships is not; the old folder stays.
    env_.writeFile("shared/Trans/English", english);
    env_.writeFile("shared/Trans/German", "0\r\nshipped\r\n");
    env_.writeFile("shared/Sound/Ring.wav", "RIFF ring");
    env_.writeFile("program/Sound/Ring.wav", "RIFF ring");
    env_.setVariable("ORVANE_DATA_DIR", env_.root() + "/shared");
    const QStringList report = BringOverUserFiles(old);
    EXPECT_EQ(report,
              (QStringList{"Copied " + old + "/Trans/German to " + userTrans + "German",
                           "Kept " + old + "/Trans/Taken: " + userTrans + "Taken exists",
                           "Copied " + old + "/Sound/Mine.wav to " + userSound + "Mine.wav"}));
    EXPECT_EQ(ReadFile(userSound + "Mine.wav"), "RIFF mine");
    EXPECT_FALSE(QFileInfo::exists(userTrans + "English"));
    EXPECT_FALSE(QFileInfo::exists(userSound + "Ring.wav"));
    EXPECT_TRUE(QFileInfo::exists(old + "/Trans/German"));
    EXPECT_EQ(BringOverUserFiles(old).filter("Copied"), QStringList{});
}

}  // namespace
}  // namespace orvane::setup
