// The main window as the program runs it: load, hide to the tray, restore,
// the quit request from another copy, shutdown and what it stores.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QStatusBar>

#include "app/core/app_comm.h"
#include "app/core/paths.h"
#include "app/core/product.h"
#include "app/core/registry_routines.h"
#include "app/core/registry_store.h"
#include "app/global_options.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "journal/journal_writer.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"
#include "translation/show_message.h"
#include "translation/string_table.h"
#include "ui/tray_icon.h"

namespace orvane {
namespace {

RegistryRoutines Settings(const QString& subkey = QString()) {
    return RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey);
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        env_.makeProgramFolders();
        for (const QString& subkey : {QString(), kLanguageKey, kTabDevices, kTabGeneral, kTabLog,
                                      kTabIncomingCall, kTabDisconnectCall}) {
            Settings(subkey).CreateKey();
        }
        ResetStringTableForTesting();
        ResetMessageSeam();
        SetJournalSwitches(false, false);
        TrayIcon::OverrideAvailability(true);
    }
    void TearDown() override {
        TrayIcon::OverrideAvailability(std::nullopt);
        ResetMessageSeam();
        SetJournalSwitches(false, false);
    }

    static QString Stored(const char* name) {
        return Settings().GetRegistryValue(QString::fromLatin1(name)).toString();
    }
    static void Store(const QString& subkey, const char* name, const QString& value) {
        ASSERT_TRUE(Settings(subkey).SetRegistryValue(QString::fromLatin1(name), value, kRegSz));
    }

    template <typename Predicate>
    static bool PumpUntil(Predicate done) {
        QDeadlineTimer deadline(10000);
        while (!done() && !deadline.hasExpired()) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return done();
    }

    testing::TestEnvironment env_;
};

TEST_F(MainWindowTest, LoadShowsTheWindowWithItsCaptionTrayAndStatusPanels) {
    MainWindow window;
    window.Load(false);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Orvane Recorder 1.0"));
    ASSERT_NE(window.Tray(), nullptr);
    EXPECT_TRUE(window.Tray()->IsLoaded());
    EXPECT_EQ(window.Tray()->ToolTip(), QStringLiteral("Orvane 1.1"));
    const QList<QLabel*> panels =
        window.statusBar()->findChildren<QLabel*>(QRegularExpression(QStringLiteral("^statusPanel")));
    ASSERT_EQ(panels.size(), 3);
    EXPECT_FALSE(panels[0]->text().isEmpty());  // the clock
    window.UnLoadApp();
}

TEST_F(MainWindowTest, ClosingHidesToTheTrayAndTheTrayBringsItBack) {
    MainWindow window;
    window.Load(false);
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.IsQuitting());
    EXPECT_FALSE(IsClosing());
    EXPECT_TRUE(window.Tray()->IsLoaded());

    // A right press only opens the tray menu; the window stays hidden.
    window.Tray()->ReportMouseDown(Qt::RightButton);
    EXPECT_FALSE(window.isVisible());
    window.Tray()->ReportMouseDown(Qt::LeftButton);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());

    window.MenuClick(QStringLiteral("Hide"));
    EXPECT_FALSE(window.isVisible());
    window.Tray()->ReportBalloonClicked();
    EXPECT_TRUE(window.isVisible());
    window.UnLoadApp();
}

TEST_F(MainWindowTest, WithoutATrayTheWindowIsMinimisedNeverHidden) {
    TrayIcon::OverrideAvailability(false);
    MainWindow window;
    window.Load(false);
    window.close();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMinimized());

    MainWindow hiddenStart;
    hiddenStart.Load(true);
    EXPECT_TRUE(hiddenStart.isVisible());
    EXPECT_TRUE(hiddenStart.isMinimized());
    hiddenStart.UnLoadApp();
    window.UnLoadApp();
}

TEST_F(MainWindowTest, HiddenStartShowsOnlyTheTrayIcon) {
    MainWindow window;
    window.Load(true);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.Tray()->IsLoaded());
    window.Tray()->ReportMouseDown(Qt::LeftButton);
    EXPECT_TRUE(window.isVisible());
    window.UnLoadApp();
}

TEST_F(MainWindowTest, TrayMenuHoldsItsEntriesAndTheLineEntriesDoNothing) {
    MainWindow window;
    window.Load(true);
    QStringList keys;
    for (QAction* action : window.TrayMenu()->actions()) {
        keys << (action->isSeparator() ? QStringLiteral("-") : action->data().toString());
    }
    EXPECT_EQ(keys, (QStringList{"stExit", "-", "stProporties", "-", "stCloseLine", "stOpenLine",
                                 "-", "stShow"}));
    window.MenuClick(QStringLiteral("stOpenLine"));
    window.MenuClick(QStringLiteral("stCloseLine"));
    window.MenuClick(QStringLiteral("no such key"));
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.IsQuitting());
    window.MenuClick(QStringLiteral("stShow"));
    EXPECT_TRUE(window.isVisible());
    window.MenuClick(QStringLiteral("stExit"));
    EXPECT_TRUE(window.IsQuitting());
    EXPECT_TRUE(IsClosing());
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, ExitRemovesTheTrayIconAndSavesThePlacementInTwips) {
    MainWindow window;
    window.Load(false);
    window.move(96, 48);
    window.resize(600, 400);
    window.UnLoadApp();
    EXPECT_TRUE(IsClosing());
    EXPECT_EQ(window.Tray(), nullptr);
    EXPECT_EQ(Stored("lLeft"), QStringLiteral("1440"));
    EXPECT_EQ(Stored("lTop"), QStringLiteral("720"));
    EXPECT_EQ(Stored("lWidth"), QStringLiteral("9000"));
    EXPECT_EQ(Stored("lHeight"), QStringLiteral("6000"));
    EXPECT_EQ(Stored("lState"), QStringLiteral("0"));

    // The next start opens where the last one ended.
    MainWindow next;
    next.Load(false);
    EXPECT_EQ(next.pos(), QPoint(96, 48));
    EXPECT_EQ(next.size(), QSize(600, 400));
    next.UnLoadApp();
}

TEST_F(MainWindowTest, MinimisedOrMaximisedAtExitKeepsTheLastNormalPlacement) {
    Store(QString(), "lLeft", QStringLiteral("1440"));
    Store(QString(), "lTop", QStringLiteral("720"));
    Store(QString(), "lWidth", QStringLiteral("9000"));
    Store(QString(), "lHeight", QStringLiteral("6000"));
    Store(QString(), "lState", QStringLiteral("0"));
    {
        MainWindow window;
        window.Load(false);
        window.showMinimized();
        window.UnLoadApp();
    }
    EXPECT_EQ(Stored("lState"), QStringLiteral("1"));
    EXPECT_EQ(Stored("lWidth"), QStringLiteral("9000"));
    {
        // Minimised is read as normal.
        MainWindow window;
        window.Load(false);
        EXPECT_FALSE(window.isMinimized());
        EXPECT_EQ(window.size(), QSize(600, 400));
        window.showMaximized();
        window.UnLoadApp();
    }
    EXPECT_EQ(Stored("lState"), QStringLiteral("2"));
    EXPECT_EQ(Stored("lLeft"), QStringLiteral("1440"));
    EXPECT_EQ(Stored("lWidth"), QStringLiteral("9000"));
    {
        MainWindow window;
        window.Load(false);
        EXPECT_TRUE(window.isMaximized());
        window.showNormal();
        EXPECT_EQ(window.size(), QSize(600, 400));
        window.UnLoadApp();
    }
}

TEST_F(MainWindowTest, QuitMessageFromAnotherCopyEndsTheProgram) {
    MainWindow window;
    window.Load(true);
    AppComm otherCopy;
    ASSERT_TRUE(otherCopy.Join(product::kInstanceChannel));
    EXPECT_EQ(otherCopy.Send(QStringLiteral("unload_me")), 1);  // not the message
    EXPECT_EQ(otherCopy.Send(product::kQuitMessage), 1);
    ASSERT_TRUE(PumpUntil([&] { return window.IsQuitting(); }));
    EXPECT_TRUE(IsClosing());
    EXPECT_EQ(Stored("lState"), QStringLiteral("0"));
    // The quitting copy has left the channel.
    EXPECT_EQ(otherCopy.Send(product::kQuitMessage), 0);
}

TEST_F(MainWindowTest, JournalSwitchesComeFromTheSettings) {
    Store(kTabLog, "chkLogSys", QStringLiteral("1"));
    MainWindow window;
    window.Load(true);
    EXPECT_TRUE(window.Options().systemJournal);
    EXPECT_FALSE(window.Options().callsJournal);
    WriteSysLog(QStringLiteral("Connected"), 0, QStringLiteral("Tapi1_Connected"));
    WriteCallsLog(QStringLiteral("Alice - 555"));
    const QStringList files = QDir(paths::JournalFolder()).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files[0].endsWith(QStringLiteral("_Sys.txt")));
    window.UnLoadApp();
}

TEST_F(MainWindowTest, ABrokenSettingsFileIsReportedAndLeftUntouched) {
    Store(kTabLog, "chkLogSys", QStringLiteral("1"));
    const QString hive = HivePath(kHkeyLocalMachine);
    QFile file(hive);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenzo\\Orvane 1.1\\Extra]\r\n\"broken=\r\n");
    file.close();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    SetNextMessageAnswer(kAnswerOk);
    MainWindow window;
    window.Load(false);
    // What could be read is still used.
    EXPECT_TRUE(window.Options().systemJournal);
    std::vector<ShownMessage> shown;
    ASSERT_TRUE(PumpUntil([&] {
        for (ShownMessage& message : TakeShownMessages()) {
            shown.push_back(message);
        }
        return !shown.empty();
    }));
    EXPECT_TRUE(shown[0].text.contains(QStringLiteral("line ")));
    window.UnLoadApp();

    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    const QStringList journal = QDir(paths::JournalFolder()).entryList(QDir::Files);
    ASSERT_EQ(journal.size(), 1);
    QFile lines(paths::JournalFolder() + journal[0]);
    ASSERT_TRUE(lines.open(QIODevice::ReadOnly));
    EXPECT_TRUE(lines.readAll().contains("RegistryStore->"));
}

// A language file of `lines` lines whose line 10 is `direction`.
QByteArray LanguageFile(int lines, const char* direction) {
    QByteArray content;
    for (int id = 1; id <= lines; ++id) {
        content += id == 10 ? QByteArray(direction) : (id == 1 ? "0" : "text " + QByteArray::number(id));
        content += "\r\n";
    }
    return content;
}

TEST_F(MainWindowTest, TheSelectedLanguageDecidesTheReadingOrderOfMessages) {
    env_.writeFile(QStringLiteral("program/Trans/Full"), LanguageFile(1000, "RTL"));
    Store(kLanguageKey, "Select", QStringLiteral("Full"));
    LoadSelectedLanguage();
    EXPECT_TRUE(IsRightToLeft());
    EXPECT_EQ(Text(999), QStringLiteral("text 999"));
    SetNextMessageAnswer(kAnswerOk);
    ShowMessage(QStringLiteral("x"), false);
    std::vector<ShownMessage> shown = TakeShownMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].direction, Qt::RightToLeft);
}

TEST_F(MainWindowTest, AShortLanguageFileLoadsLeftToRight) {
    env_.writeFile(QStringLiteral("program/Trans/Short"), LanguageFile(999, "RTL"));
    Store(kLanguageKey, "Select", QStringLiteral("Short"));
    LoadSelectedLanguage();
    EXPECT_FALSE(IsRightToLeft());
    EXPECT_EQ(Text(999), QStringLiteral("text 999"));
    SetNextMessageAnswer(kAnswerOk);
    ShowMessage(QStringLiteral("x"), false);
    EXPECT_EQ(TakeShownMessages().at(0).direction, Qt::LeftToRight);
}

TEST_F(MainWindowTest, ALanguageNameCannotLeadOutOfTheTranslationsFolder) {
    env_.writeFile(QStringLiteral("program/Outside"), LanguageFile(1000, "RTL"));
    Store(kLanguageKey, "Select", QStringLiteral("../Outside"));
    LoadSelectedLanguage();
    EXPECT_FALSE(IsRightToLeft());
    EXPECT_TRUE(Text(11).isEmpty());
}

// The settings tool and the running program share one store.
TEST_F(MainWindowTest, AValueWrittenByOrvaneRegIsWhatTheProgramReads) {
    const QString tool = QStringLiteral(ORVANE_BUILT_PROGRAM_DIR "/orvane-reg");
    ASSERT_TRUE(QFile::exists(tool));
    MainWindow window;
    window.Load(true);
    EXPECT_TRUE(Settings(kTabLog).GetRegistryValue(QStringLiteral("chkLogCalls")).isNull());

    QProcess process;
    process.start(tool, {QStringLiteral("add"),
                         QStringLiteral("HKLM\\SOFTWARE\\Quenzo\\Orvane 1.1\\Properties\\TabLog"),
                         QStringLiteral("/v"), QStringLiteral("chkLogCalls"), QStringLiteral("/t"),
                         QStringLiteral("REG_DWORD"), QStringLiteral("/d"), QStringLiteral("1"),
                         QStringLiteral("/f")});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();

    RegistryRoutines log = Settings(kTabLog);
    EXPECT_EQ(log.GetRegistryValue(QStringLiteral("chkLogCalls")), QVariant(1));
    EXPECT_TRUE(GetGlobalOptions(window.Settings()).callsJournal);

    // A key the installer did not make cannot be written into.
    process.start(tool, {QStringLiteral("add"),
                         QStringLiteral("HKLM\\SOFTWARE\\Quenzo\\Orvane 1.1\\NoSuchKey"),
                         QStringLiteral("/v"), QStringLiteral("x"), QStringLiteral("/d"),
                         QStringLiteral("1"), QStringLiteral("/f")});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_FALSE(Settings(QStringLiteral("NoSuchKey")).KeyExists());
    window.UnLoadApp();
}

}  // namespace
}  // namespace orvane
