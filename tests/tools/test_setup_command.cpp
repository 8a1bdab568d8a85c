#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "core/paths.h"
#include "settings/setup/setup_command.h"
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
        env_.writeFile(QStringLiteral("program/Trans/English"), "1\r\n");
        env_.writeFile(QStringLiteral("program/Trans/German"), "1\r\n");
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
    EXPECT_FALSE(first.out.contains(QStringLiteral("Created folder ") + paths::TransFolder()));
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
        env.writeFile(QStringLiteral("program/Trans/English"), "1\r\n");
        env.writeFile(QStringLiteral("program/Trans/German"), "1\r\n");
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
    env_.writeFile(QStringLiteral("my programs/orvane/Trans/English"), "1\r\n");
    const QString entry = env_.dataHome() + QStringLiteral("/applications/orvane.desktop");
    Result result = Install({QStringLiteral("--program-dir"), folder});
    ASSERT_EQ(result.code, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral("Wrote menu entry ") + entry));
    const QByteArray content = ReadFile(entry);
    EXPECT_TRUE(content.contains("\nExec=\"" + folder.toUtf8() + "/orvane\"\n")) << content.data();
    EXPECT_TRUE(content.contains("\nIcon=" + folder.toUtf8() + "/orvane.svg\n"));

    // Unchanged: not written again; damaged: mended.
    EXPECT_FALSE(Install({QStringLiteral("--program-dir"), folder}).out.contains("menu entry"));
    env_.writeFile(QStringLiteral("data/applications/orvane.desktop"), "garbage");
    EXPECT_TRUE(Install({QStringLiteral("--program-dir"), folder}).out.contains("menu entry"));
    EXPECT_EQ(ReadFile(entry), content);
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

}  // namespace
}  // namespace orvane::setup
