// The main window as the program runs it: load, hide to the tray, restore,
// the quit request from another copy, shutdown and what it stores; the line
// switch and calls through a scripted telephony control.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <functional>

#include "app/calls_list/calls_list_view.h"
#include "app/live_update_form.h"
#include "app/main_window.h"
#include "app/player/playback_bar.h"
#include "app/program.h"
#include "app/startup.h"
#include "audio/sonvel_host.h"
#include "audio/wave.h"
#include "calls/list/calls_list_model.h"
#include "calls/player/playback_control.h"
#include "calls/recorder/recording_sidecar.h"
#include "calls/store/call_record.h"
#include "calls/store/call_store.h"
#include "core/app_comm.h"
#include "core/paths.h"
#include "core/product.h"
#include "journal/journal_writer.h"
#include "settings/global_options.h"
#include "settings/names/general.h"
#include "settings/store/registry_routines.h"
#include "settings/store/registry_store.h"
#include "telephony/tapi.h"
#include "tests/support/fake_notifications.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/qt_printers.h"
#include "tests/support/reading_order.h"
#include "tests/support/scripted_line_backend.h"
#include "tests/support/test_environment.h"
#include "tests/telephony/telephony_test_support.h"
#include "translation/language_file.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/common_widgets.h"
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
        // No sound card and no modem: the engine's virtual devices and a
        // scripted line.
        env_.setVariable("SONVEL_NO_ALSA", QStringLiteral("1"));
        Program::SetTapiFactory([this](QObject* parent) {
            std::unique_ptr<Tapi> tapi = testing::CreateScriptedTapi(backend_, parent);
            backend_->devices = lines_;
            return tapi;
        });
    }
    void TearDown() override {
        Program::SetTapiFactory({});
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
    std::vector<LineDetails> lines_;
    testing::ScriptedLineBackend* backend_ = nullptr;
};

TEST_F(MainWindowTest, LoadShowsTheWindowWithItsCaptionTrayAndStatusPanels) {
    Program program;
    program.Load(false);
    MainWindow& window = program.Window();
    EXPECT_TRUE(window.isVisible());
    // The same version as the about box shows.
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Orvane Recorder 1.1.0.1"));
    ASSERT_NE(window.Tray(), nullptr);
    EXPECT_TRUE(window.Tray()->IsLoaded());
    EXPECT_EQ(window.Tray()->ToolTip(), QStringLiteral("Orvane 1.1"));
    const QList<QLabel*> panels = window.statusBar()->findChildren<QLabel*>(
        QRegularExpression(QStringLiteral("^statusPanel")));
    ASSERT_EQ(panels.size(), 3);
    EXPECT_FALSE(panels[0]->text().isEmpty());  // the clock
    window.UnLoadApp();
}

TEST_F(MainWindowTest, ClosingHidesToTheTrayAndTheTrayBringsItBack) {
    Program program;
    program.Load(false);
    MainWindow& window = program.Window();
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.IsQuitting());
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
    Program program;
    program.Load(false);
    MainWindow& window = program.Window();
    window.close();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMinimized());

    Program hiddenProgram;
    hiddenProgram.Load(true);
    MainWindow& hiddenStart = hiddenProgram.Window();
    EXPECT_TRUE(hiddenStart.isVisible());
    EXPECT_TRUE(hiddenStart.isMinimized());
    hiddenStart.UnLoadApp();
    window.UnLoadApp();
}

TEST_F(MainWindowTest, HiddenStartShowsOnlyTheTrayIcon) {
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.Tray()->IsLoaded());
    window.Tray()->ReportMouseDown(Qt::LeftButton);
    EXPECT_TRUE(window.isVisible());
    window.UnLoadApp();
}

TEST_F(MainWindowTest, TrayMenuHoldsItsEntriesAndTheLineEntriesDoNothing) {
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
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
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, ExitRemovesTheTrayIconAndSavesThePlacementInTwips) {
    Program program;
    program.Load(false);
    MainWindow& window = program.Window();
    window.move(96, 48);
    window.resize(600, 400);
    window.UnLoadApp();
    EXPECT_TRUE(window.IsQuitting());
    EXPECT_EQ(window.Tray(), nullptr);
    EXPECT_EQ(Stored("lLeft"), QStringLiteral("1440"));
    EXPECT_EQ(Stored("lTop"), QStringLiteral("720"));
    EXPECT_EQ(Stored("lWidth"), QStringLiteral("9000"));
    EXPECT_EQ(Stored("lHeight"), QStringLiteral("6000"));
    EXPECT_EQ(Stored("lState"), QStringLiteral("0"));

    // The next start opens where the last one ended.
    Program nextProgram;
    nextProgram.Load(false);
    MainWindow& next = nextProgram.Window();
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
        Program program;
        program.Load(false);
        MainWindow& window = program.Window();
        window.showMinimized();
        window.UnLoadApp();
    }
    EXPECT_EQ(Stored("lState"), QStringLiteral("1"));
    EXPECT_EQ(Stored("lWidth"), QStringLiteral("9000"));
    {
        // Minimised is read as normal.
        Program program;
        program.Load(false);
        MainWindow& window = program.Window();
        EXPECT_FALSE(window.isMinimized());
        EXPECT_EQ(window.size(), QSize(600, 400));
        window.showMaximized();
        window.UnLoadApp();
    }
    EXPECT_EQ(Stored("lState"), QStringLiteral("2"));
    EXPECT_EQ(Stored("lLeft"), QStringLiteral("1440"));
    EXPECT_EQ(Stored("lWidth"), QStringLiteral("9000"));
    {
        Program program;
        program.Load(false);
        MainWindow& window = program.Window();
        EXPECT_TRUE(window.isMaximized());
        window.showNormal();
        EXPECT_EQ(window.size(), QSize(600, 400));
        window.UnLoadApp();
    }
}

TEST_F(MainWindowTest, QuitMessageFromAnotherCopyEndsTheProgram) {
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    AppComm otherCopy;
    ASSERT_TRUE(otherCopy.Join(product::kInstanceChannel));
    EXPECT_EQ(otherCopy.Send(QStringLiteral("unload_me")), 1);  // not the message
    EXPECT_EQ(otherCopy.Send(product::kQuitMessage), 1);
    ASSERT_TRUE(PumpUntil([&] { return window.IsQuitting(); }));
    EXPECT_EQ(Stored("lState"), QStringLiteral("0"));
    // The quitting copy has left the channel.
    EXPECT_EQ(otherCopy.Send(product::kQuitMessage), 0);
}

TEST_F(MainWindowTest, AnotherCopyStartedPlainlyBringsTheWindowUp) {
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    ASSERT_FALSE(window.isVisible());
    LiveUpdateForm secondCopy;
    ASSERT_TRUE(secondCopy.Load());
    EXPECT_EQ(secondCopy.SendShowWindowMessage(), 1);
    ASSERT_TRUE(PumpUntil([&] { return window.isVisible(); }));
    EXPECT_FALSE(window.IsQuitting());
    secondCopy.Unload();
    window.UnLoadApp();
}

// --help and --version answer without a display: a window would need the
// xcb platform, which cannot start here.
TEST_F(MainWindowTest, HelpAndVersionPrintAndEndWithoutADisplay) {
    const struct {
        const char* argument;
        const char* expected;
    } cases[] = {{"--help", "Usage: orvane"}, {"--version", "orvane 1.1.0.1\n"}};
    for (const auto& c : cases) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(ORVANE_BUILT_PROGRAM_DIR "/orvane"),
                      {QString::fromLatin1(c.argument)});
        ASSERT_TRUE(program.waitForFinished(30000)) << c.argument;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << c.argument;
        EXPECT_EQ(program.exitCode(), 0) << c.argument;
        EXPECT_TRUE(program.readAllStandardOutput().startsWith(c.expected)) << c.argument;
        EXPECT_TRUE(program.readAllStandardError().isEmpty()) << c.argument;
    }
}

TEST_F(MainWindowTest, JournalSwitchesComeFromTheSettings) {
    Store(kTabLog, "chkLogSys", QStringLiteral("1"));
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    EXPECT_TRUE(program.Options().systemJournal);
    EXPECT_FALSE(program.Options().callsJournal);
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
    Program program;
    program.Load(false);
    MainWindow& window = program.Window();
    // What could be read is still used.
    EXPECT_TRUE(program.Options().systemJournal);
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
        content +=
            id == 10 ? QByteArray(direction) : (id == 1 ? "0" : "text " + QByteArray::number(id));
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

// Line `id` of the source tree's English language file, which the build
// makes the program's built-in texts.
QString EnglishLine(int id) {
    QFile file(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English"));
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("<unreadable>");
    }
    return QString::fromUtf8(file.readAll().split('\n').value(id - 1).chopped(1))
        .replace(QStringLiteral("\\n"), QStringLiteral("\n"));
}

TEST_F(MainWindowTest, ALanguageNameCannotLeadOutOfTheTranslationsFolder) {
    env_.writeFile(QStringLiteral("program/Outside"), LanguageFile(1000, "RTL"));
    Store(kLanguageKey, "Select", QStringLiteral("../Outside"));
    EXPECT_EQ(LoadSelectedLanguage(),
              paths::ShippedTransFolder() + QStringLiteral(": no language file is selected"));
    EXPECT_FALSE(IsRightToLeft());
    EXPECT_EQ(Text(11), EnglishLine(11));
}

// A language file that cannot be used leaves the built-in English texts
// (made from Trans/English at build time) in the menus and messages; what
// could be read of a short file is kept. The problem names the file, and
// the journal and one message at start say it. A FIFO never hangs the start.
TEST_F(MainWindowTest, AnUnusableLanguageFileLeavesTheBuiltInEnglishTexts) {
    const QString trans = env_.programFolder() + QStringLiteral("/Trans/");
    const QString outsideFifo = env_.root() + QStringLiteral("/fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(outsideFifo).constData(), 0600), 0);
    env_.writeFile(QStringLiteral("program/Outside"), LanguageFile(1000, "LTR"));
    QByteArray binary(4000, '\0');
    binary += LanguageFile(1000, "LTR");
    const struct {
        const char* name;
        std::function<void(const QString& path)> make;
        const char* reason;
        int keptLines;  // lines taken from the file
    } cases[] = {
        {"Missing", [](const QString&) {}, "the file is missing", 0},
        {"Folder", [](const QString& path) { QDir().mkpath(path); }, "is a folder", 0},
        {"Fifo", [](const QString& path) { ::mkfifo(QFile::encodeName(path).constData(), 0600); },
         "is not a regular file", 0},
        {"LinkToFifo", [&](const QString& path) { QFile::link(outsideFifo, path); },
         "is not a regular file", 0},
        {"LinkOutside",
         [&](const QString& path) {
             QFile::link(env_.programFolder() + QStringLiteral("/Outside"), path);
         },
         "is a link to a file outside the translations folder", 0},
        {"Truncated",
         [&](const QString& path) {
             env_.writeFile(path.mid(env_.root().size() + 1), LanguageFile(500, "LTR"));
         },
         "has fewer than 1000 lines", 500},
        {"Binary",
         [&](const QString& path) { env_.writeFile(path.mid(env_.root().size() + 1), binary); },
         "is not a text file", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = trans + QString::fromLatin1(c.name);
        c.make(path);
        Store(kLanguageKey, "Select", QString::fromLatin1(c.name));
        EXPECT_EQ(LoadSelectedLanguage(), path + QStringLiteral(": ") + QLatin1String(c.reason));
        EXPECT_EQ(Text(ids::kMenuFile), c.keptLines > 0
                                            ? QStringLiteral("text %1").arg(ids::kMenuFile)
                                            : EnglishLine(ids::kMenuFile));
        EXPECT_EQ(Text(kLanguageFileLines), EnglishLine(kLanguageFileLines));
        EXPECT_FALSE(Text(kLanguageFileLines).isEmpty());
    }

    // The start tells it once, naming the file, and journals it.
    Store(kLanguageKey, "Select", QStringLiteral("Missing"));
    const QString problem = LoadSelectedLanguage();
    SetNextMessageAnswer(kAnswerOk);
    Program program;
    program.Load(false);
    SetJournalSwitches(true, false);
    ReportLanguageProblem(program.Window(), problem);
    std::vector<ShownMessage> shown;
    ASSERT_TRUE(PumpUntil([&] {
        for (ShownMessage& message : TakeShownMessages()) {
            shown.push_back(message);
        }
        return !shown.empty();
    }));
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_TRUE(
        shown[0].text.startsWith(QStringLiteral("Orvane could not read its language file")));
    EXPECT_TRUE(shown[0].text.contains(trans + QStringLiteral("Missing: the file is missing")))
        << shown[0].text.toStdString();
    const QStringList journal = ProgramJournal().ReadLogFile(ProgramJournal().systemFileName());
    ASSERT_EQ(journal.size(), 1);
    EXPECT_TRUE(journal[0].contains(QStringLiteral("LoadLanguage->")));
    EXPECT_TRUE(journal[0].contains(trans + QStringLiteral("Missing")));
    program.Window().UnLoadApp();
}

// A call index planted as a link to a file outside the recordings folder
// is not read: the list stays empty, the status bar says why, and the file
// it points to keeps its bytes.
TEST_F(MainWindowTest, ACallIndexThatIsALinkIsNamedOnTheStatusBar) {
    LoadSelectedLanguage();  // the built-in English texts
    const QString folder = env_.root() + QStringLiteral("/recordings/");
    const QString outside = env_.writeFile(QStringLiteral("outside"), QByteArray(467 * 2, 'x'));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::link(outside, folder + QStringLiteral("Data")));
    Store(kTabGeneral, "txtPath", folder);
    Program program;
    program.Load(false);
    EXPECT_EQ(
        program.Window().statusBar()->currentMessage(),
        ReplaceMarker(EnglishLine(ids::kMsgCallIndexRefused), folder + QStringLiteral("Data")));
    QFile file(outside);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(467 * 2, 'x'));
    program.Window().UnLoadApp();
}

// A "Data" of random bytes around two calls: the two are listed, and the
// status bar says how many records could not be read; the file is kept.
TEST_F(MainWindowTest, ADamagedCallIndexListsItsCallsAndSaysHowManyRecordsAreUnreadable) {
    LoadSelectedLanguage();  // the built-in English texts
    const QString folder = env_.root() + QStringLiteral("/recordings/");
    ASSERT_TRUE(QDir().mkpath(folder));
    QByteArray bytes;
    quint32 state = 8;
    for (int i = 0; i < 5 * 467; ++i) {
        state = state * 1103515245u + 12345u;  // fixed: the same bytes every run
        bytes.append(static_cast<char>(state >> 16));
    }
    CallRecord call;
    call.Set(CallField::CallerName, QStringLiteral("Ann"));
    call.Set(CallField::CallDate, QStringLiteral("12/7/26"));
    call.Set(CallField::CallTime, QStringLiteral("4:34:54 PM"));
    bytes.insert(2 * 467, call.Bytes().data(), 467);
    bytes.append(call.Bytes().data(), 467);
    const QString data = env_.writeFile(QStringLiteral("recordings/Data"), bytes);
    Store(kTabGeneral, "txtPath", folder);
    Program program;
    program.Load(false);
    EXPECT_EQ(program.CallsList().rowCount(), 2);
    EXPECT_EQ(program.Window().statusBar()->currentMessage(),
              ReplaceMarker(ReplaceMarker(EnglishLine(ids::kMsgCallIndexDamaged), "5"),
                            folder + QStringLiteral("Data")));
    QFile file(data);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == bytes);
    program.Window().UnLoadApp();
}

// Every text the window shows comes from the string table; only the
// caller's name and number, the ring count, the clock and the playback times
// are data.
TEST_F(MainWindowTest, EveryTextInTheWindowComesFromTheStringTable) {
    env_.writeFile(QStringLiteral("program/Trans/Full"), LanguageFile(1000, "LTR"));
    Store(kLanguageKey, "Select", QStringLiteral("Full"));
    LoadSelectedLanguage();
    Program program;
    program.Load(false);
    MainWindow& window = program.Window();
    const QStringList data = {QStringLiteral("lblCallerName"), QStringLiteral("lblCallerNumber"),
                              QStringLiteral("lblRing"),       QStringLiteral("statusPanel1"),
                              QStringLiteral("lblTimeRun"),    QStringLiteral("lblLength"),
                              QStringLiteral("callsFolder")};
    const QRegularExpression fromTable(QStringLiteral("^&?text \\d+ *$"));
    QStringList texts;
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (!data.contains(label->objectName())) {
            texts << label->text();
        }
    }
    for (const QAction* action : window.findChildren<QAction*>()) {
        texts << action->text();
    }
    for (const QMenu* menu : window.findChildren<QMenu*>()) {
        texts << menu->title();
    }
    int checked = 0;
    for (const QString& text : texts) {
        if (!text.isEmpty()) {
            EXPECT_TRUE(fromTable.match(text).hasMatch()) << text.toStdString();
            ++checked;
        }
    }
    EXPECT_GE(checked, 10);
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("lblRec"))->text(),
              QStringLiteral("text 705"));
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("lblPause"))->text(),
              QStringLiteral("text 706"));
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("lblRingDisplay"))->text(),
              Text(ids::kRingLabel));
    const QLabel* hint = window.findChild<QLabel*>(QStringLiteral("callsAreaHint"));
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->text(), Text(ids::kCallsAreaEmpty));
    EXPECT_TRUE(hint->isVisible());
    window.UnLoadApp();
}

// The settings tool and the running program share one store.
TEST_F(MainWindowTest, AValueWrittenByOrvaneRegIsWhatTheProgramReads) {
    const QString tool = QStringLiteral(ORVANE_BUILT_PROGRAM_DIR "/orvane-reg");
    ASSERT_TRUE(QFile::exists(tool));
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
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
    // The running program follows the file once it settles.
    EXPECT_TRUE(PumpUntil([&] { return program.Options().callsJournal; }));

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

// A folder another process stores while the program runs is listed at once
// and named above the list, as if set with the settings dialog's OK.
TEST_F(MainWindowTest, ARecordingsFolderSetByOrvaneRegIsListedAtOnce) {
    const QString before = env_.root() + QStringLiteral("/Before/");
    const QString after = env_.root() + QStringLiteral("/After");
    ASSERT_TRUE(QDir().mkpath(before));
    ASSERT_TRUE(QDir().mkpath(after));
    CallRecord record;
    record.Set(CallField::CallerName, QStringLiteral("Alice"));
    ASSERT_TRUE(AppendCallRecord(record, after + QLatin1Char('/')));
    Store(kTabGeneral, "txtPath", before);
    Program program;
    program.Load(true);
    auto* shown = program.Window().findChild<QLabel*>(QStringLiteral("callsFolder"));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->toolTip(), before);
    EXPECT_EQ(program.CallsList().rowCount(), 0);

    QProcess process;
    process.start(QStringLiteral(ORVANE_BUILT_PROGRAM_DIR "/orvane-reg"),
                  {QStringLiteral("add"),
                   QStringLiteral("HKLM\\SOFTWARE\\Quenzo\\Orvane 1.1\\Properties\\TabGeneral"),
                   QStringLiteral("/v"), QStringLiteral("txtPath"), QStringLiteral("/d"), after,
                   QStringLiteral("/f")});
    ASSERT_TRUE(process.waitForFinished(30000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    // Stored without its slash: the program adds it.
    EXPECT_TRUE(
        PumpUntil([&] { return program.CallsList().Folder() == after + QLatin1Char('/'); }));
    EXPECT_EQ(program.CallsList().rowCount(), 1);
    EXPECT_EQ(shown->toolTip(), after + QLatin1Char('/'));
    program.Window().UnLoadApp();
}

// ---- The telephone line and calls on the main window ----

// `seconds` of 8 kHz 16-bit mono silence as a WAV file.
QByteArray SilentWav(int seconds) {
    const auto le = [](quint32 value, int bytes) {
        QByteArray out;
        for (int i = 0; i < bytes; ++i) {
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
        }
        return out;
    };
    const quint32 data = 16000u * static_cast<quint32>(seconds);
    return "RIFF" + le(36 + data, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(8000, 4) +
           le(16000, 4) + le(2, 2) + le(16, 2) + "data" + le(data, 4) + QByteArray(data, '\0');
}

class MainWindowCallTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English"));
        ProgramJournal().setClock(clock_);
        Store(kTabLog, "chkLogSys", QStringLiteral("1"));
        Store(kTabLog, "chkLogCalls", QStringLiteral("1"));
        Store(kTabDevices, "cmbModemDev", QStringLiteral("Modem B"));
        lines_ = {testing::ScriptedLineBackend::Device(QStringLiteral("Modem A")),
                  testing::ScriptedLineBackend::Device(QStringLiteral("Modem B"))};
    }
    void TearDown() override {
        ProgramJournal().setClock(SystemTime());
        MainWindowTest::TearDown();
    }

    static QAction* LineSwitch(const MainWindow& window) {
        return window.findChild<QAction*>(QStringLiteral("lineSwitch"));
    }
    static QLabel* Label(const MainWindow& window, const char* name) {
        return window.findChild<QLabel*>(QString::fromLatin1(name));
    }
    static QString Panel3(const MainWindow& window) {
        return Label(window, "statusPanel3")->text();
    }
    QStringList SysJournal() const {
        return testing::JournalEntries(ProgramJournal().systemFileName(), clock_);
    }
    // The line's entries: a connected call is also recorded into the default
    // recordings folder, and the scripted line brings no sound.
    QStringList LineJournal() const {
        QStringList entries = SysJournal();
        entries.removeIf([](const QString& entry) {
            return entry.startsWith(QStringLiteral("RecMessage:")) ||
                   entry.startsWith(QStringLiteral("AddCallInfoDat->"));
        });
        return entries;
    }

    FixedClock clock_{QDateTime(QDate(2026, 12, 7), QTime(16, 34, 54))};
};

TEST_F(MainWindowCallTest, TheLineOpensAtLoadTheSwitchTogglesItAndALostLineReleasesIt) {
    Program program;
    program.Load(false);
    MainWindow& window = program.Window();
    auto* bar = window.findChild<QToolBar*>(QStringLiteral("cToolbar1"));
    QAction* lineSwitch = LineSwitch(window);
    ASSERT_TRUE(bar && lineSwitch);
    EXPECT_EQ(bar->actions().value(0), lineSwitch);
    EXPECT_EQ(backend_->TakeRequests(), QStringList{QStringLiteral("Open 1")});
    EXPECT_TRUE(lineSwitch->isChecked());
    EXPECT_EQ(lineSwitch->text(), Text(ids::kLineSwitchOpen));
    EXPECT_EQ(Panel3(window), Text(ids::kStatusLineOpen));
    // Reachable without the mouse.
    auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(lineSwitch));
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus);
    EXPECT_FALSE(lineSwitch->shortcut().isEmpty());
    EXPECT_TRUE(lineSwitch->toolTip().startsWith(Text(ids::kLineSwitchOpen)));

    lineSwitch->trigger();
    EXPECT_EQ(backend_->TakeRequests(), QStringList{QStringLiteral("Close")});
    EXPECT_FALSE(lineSwitch->isChecked());
    EXPECT_EQ(lineSwitch->text(), Text(ids::kLineSwitchClosed));
    EXPECT_EQ(Panel3(window), Text(ids::kStatusLineClosed));
    // The click presses the button; a line that fails to open releases it.
    backend_->openResult = line_error::kPortInUse;
    lineSwitch->trigger();
    EXPECT_FALSE(lineSwitch->isChecked());
    backend_->openResult = line_error::kNone;
    lineSwitch->trigger();
    EXPECT_TRUE(lineSwitch->isChecked());

    backend_->RaiseIncomingCall();
    backend_->RaiseLineLost(line_error::kDeviceLost);
    QCoreApplication::processEvents();
    EXPECT_FALSE(lineSwitch->isChecked());
    EXPECT_EQ(Panel3(window), Text(ids::kStatusLineClosed));
    EXPECT_FALSE(Label(window, "lblCallerName")->isVisible());
    EXPECT_EQ(SysJournal().last(),
              "Tapi1_LineLost->" + LineErrorText(line_error::kDeviceLost) + "(13)");
    lineSwitch->trigger();
    EXPECT_TRUE(lineSwitch->isChecked());
    EXPECT_EQ(backend_->TakeRequests(), (QStringList{"Open 1", "Open 1", "Open 1"}));

    window.UnLoadApp();
    EXPECT_EQ(backend_->TakeRequests(), QStringList{QStringLiteral("Close")});
    EXPECT_EQ(SysJournal().filter(QStringLiteral("CloseLine:Tapi1.LineShutdown->")).size(), 2);
}

// The program's wiring: a lost line comes back by itself once its device is
// listed again; closing the line with a call on it ends the call.
TEST_F(MainWindowCallTest, ALostLineComesBackByItselfAndClosingTheLineEndsItsCall) {
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    QAction* lineSwitch = LineSwitch(window);
    ASSERT_TRUE(lineSwitch->isChecked());
    backend_->RaiseLineLost(line_error::kDeviceLost);
    ASSERT_TRUE(PumpUntil([&] { return !lineSwitch->isChecked(); }));
    QLabel* problem = Label(window, "lineProblem");
    ASSERT_NE(problem, nullptr);
    EXPECT_EQ(problem->text(), Text(ids::kLineLost));
    EXPECT_FALSE(problem->isHidden());
    // On a narrow window the whole reason can still be read beside the
    // clock and the line's panel: it wraps, and the bar makes room.
    window.show();
    window.resize(640, window.height());
    QCoreApplication::processEvents();
    const QRect needed = problem->fontMetrics().boundingRect(
        QRect(0, 0, problem->contentsRect().width(), 10000), Qt::TextWordWrap, problem->text());
    EXPECT_LE(needed.height(), problem->contentsRect().height()) << problem->width();
    // ... and the bar grows no more than that.
    EXPECT_LT(problem->height(), needed.height() + problem->fontMetrics().height());
    ASSERT_TRUE(PumpUntil([&] { return lineSwitch->isChecked(); }));
    EXPECT_TRUE(problem->isHidden());
    EXPECT_TRUE(SysJournal().contains("LineConnection.Reopen->Line device back: Modem B(0)"));

    backend_->RaiseIncomingCall();
    backend_->RaiseRing(1);
    backend_->RaiseRing(2);
    backend_->callActive = true;
    backend_->RaiseConnected();
    QCoreApplication::processEvents();
    ASSERT_EQ(Label(window, "lblRing")->text(), QStringLiteral("2"));
    lineSwitch->trigger();
    EXPECT_FALSE(lineSwitch->isChecked());
    const QStringList journal = LineJournal();
    const qsizetype closed = journal.indexOf(QRegularExpression(QStringLiteral("CloseLine:.*")));
    ASSERT_GE(closed, 2);
    EXPECT_EQ(journal.mid(closed - 2, 2),
              (QStringList{"Tapi1_Disconnected->Disconnected(0)", "Tapi1_Idle->End Of Call(0)"}));
    EXPECT_TRUE(Label(window, "lblRing")->text().isEmpty());

    lineSwitch->trigger();
    backend_->RaiseIncomingCall();
    backend_->RaiseRing(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(Label(window, "lblRing")->text(), QStringLiteral("1"));
    window.UnLoadApp();
}

TEST_F(MainWindowCallTest, AScriptedCallShowsTheCallerInStatusBalloonsAndJournals) {
    Store(kTabIncomingCall, "chkViewCD_IC", QStringLiteral("1"));
    Program program;
    program.Load(false);
    MainWindow& window = program.Window();
    QLabel* name = Label(window, "lblCallerName");
    QLabel* number = Label(window, "lblCallerNumber");
    QLabel* ring = Label(window, "lblRing");
    ASSERT_TRUE(name && number && ring && Label(window, "lblRingDisplay"));
    EXPECT_FALSE(name->isVisible());
    const qsizetype journalBefore = LineJournal().size();
    QStringList balloons;
    QObject::connect(window.Tray(), &TrayIcon::BalloonShown,
                     [&balloons](const QString& title, const QString& text, int timeoutMs) {
                         balloons << QStringLiteral("%1 | %2 | %3").arg(title, text).arg(timeoutMs);
                     });

    backend_->RaiseIncomingCall();
    backend_->RaiseRing(1);
    backend_->RaiseCallerId(QStringLiteral("Ann <b>Lee</b>"), QStringLiteral("555 1234"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(name->isVisible());
    EXPECT_TRUE(Label(window, "lblRingDisplay")->isVisible());
    EXPECT_EQ(name->text(), QStringLiteral("Ann <b>Lee</b>"));
    EXPECT_EQ(name->textFormat(), Qt::PlainText);
    EXPECT_TRUE(number->text().contains(QStringLiteral("555 1234")));
    EXPECT_EQ(ring->text(), QStringLiteral("1"));
    EXPECT_EQ(Panel3(window), Text(ids::kStatusRinging) + QStringLiteral(" 1"));
    const QString title = Text(ids::kBalloonIncomingCall);
    // Nothing about the caller before the caller ID.
    EXPECT_EQ(balloons,
              (QStringList{title + " |  | 30000", title + " | Ann <b>Lee</b> - 555 1234 | 30000"}));

    backend_->callActive = true;
    backend_->RaiseConnected();
    QCoreApplication::processEvents();
    EXPECT_EQ(Panel3(window), Text(ids::kStatusConnected));
    backend_->RaiseDisconnected();
    backend_->RaiseIdle();
    QCoreApplication::processEvents();
    EXPECT_FALSE(name->isVisible());
    EXPECT_TRUE(ring->text().isEmpty());
    EXPECT_EQ(Panel3(window), Text(ids::kStatusLineOpen));
    EXPECT_TRUE(backend_->requests.contains(QStringLiteral("Drop")));
    EXPECT_EQ(LineJournal().mid(journalBefore),
              (QStringList{"Tapi1_InComeCall->Incoming Call(0)", "Tapi1_Ring->Ring 1(0)",
                           "Tapi1_CallerID->CallerID Ann <b>Lee</b> 555 1234(0)",
                           "Tapi1_Connected->Connected(0)", "Tapi1_Disconnected->Disconnected(0)",
                           "Tapi1_Idle->End Of Call(0)"}));
    EXPECT_EQ(testing::JournalEntries(ProgramJournal().callsFileName(), clock_),
              QStringList{QStringLiteral("Ann <b>Lee</b> - 555 1234")});
    window.UnLoadApp();
}

// With a notification service on the session bus the caller goes there, not
// to the tray balloon, and a click on the notice brings the window up.
TEST_F(MainWindowCallTest, TheCallerIsANoticeOfTheDesktopWhoseClickBringsTheWindowUp) {
    testing::FakeNotifications service;
    if (service.Address().isEmpty()) {
        GTEST_SKIP() << "no private session bus: dbus-daemon (package dbus) is missing";
    }
    ASSERT_TRUE(service.Register());
    env_.setVariable("DBUS_SESSION_BUS_ADDRESS", service.Address());
    if (!QDBusConnection::sessionBus().isConnected()) {
        GTEST_SKIP() << "an earlier test in this process took the session bus; run it alone";
    }
    Store(kTabIncomingCall, "chkViewCD_IC", QStringLiteral("1"));
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    int balloons = 0;
    QObject::connect(window.Tray(), &TrayIcon::BalloonShown, [&balloons] { ++balloons; });

    backend_->RaiseIncomingCall();
    backend_->RaiseRing(1);
    backend_->RaiseCallerId(QStringLiteral("Ann Lee"), QStringLiteral("555 1234"));
    ASSERT_TRUE(PumpUntil([&] { return service.calls.size() == 2; }));
    EXPECT_EQ(service.calls[1].summary, Text(ids::kBalloonIncomingCall));
    EXPECT_EQ(service.calls[1].body, QStringLiteral("Ann Lee - 555 1234"));
    EXPECT_EQ(service.calls[0].replacesId, 0U);
    EXPECT_EQ(service.calls[1].replacesId, service.lastId);
    EXPECT_TRUE(service.calls[1].actions.contains(Text(ids::kTrayShow)));
    EXPECT_EQ(balloons, 0);
    EXPECT_FALSE(window.isVisible());

    ASSERT_TRUE(service.Invoke(service.lastId, QStringLiteral("show")));
    EXPECT_TRUE(PumpUntil([&] { return window.isVisible(); }));
    window.UnLoadApp();
}

TEST_F(MainWindowCallTest, AnIncomingCallBringsTheWindowUpAndPlaysItsSoundIfThereIsOne) {
    Store(kTabIncomingCall, "chkOpenAppOnCall", QStringLiteral("1"));
    Store(kTabIncomingCall, "chkPlayIn_IC", QStringLiteral("1"));
    Store(kTabIncomingCall, "CmbPlayWhen_IC", QStringLiteral("missing.wav"));
    Store(kTabDevices, "cmbSoundDev", QStringLiteral("Sonvel Silent Output"));
    env_.writeFile(QStringLiteral("program/Sound/ring.wav"), SilentWav(10));
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    EXPECT_EQ(program.Options().soundDevice, sonvel::WaveOutDeviceNumber(sonvel::kSilentOutputId));

    backend_->RaiseIncomingCall();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    // Without its sound file the call goes on in silence.
    EXPECT_EQ(program.WaveEvents()->Playing(), sonvel::kFalse);
    EXPECT_EQ(SysJournal().last(), QStringLiteral("Tapi1_InComeCall->Incoming Call(0)"));

    GlobalOptions options = program.Options();
    options.incomingCallSound = QStringLiteral("ring.wav");
    program.SetOptions(options);
    backend_->RaiseIdle();
    backend_->RaiseIncomingCall();
    QCoreApplication::processEvents();
    EXPECT_NE(program.WaveEvents()->Playing(), sonvel::kFalse);
    window.UnLoadApp();
    EXPECT_EQ(program.WaveEvents(), nullptr);
}

TEST_F(MainWindowCallTest, ClosingTheLineLeavesARecordingRunningAndExitReleasesTheAudio) {
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    sonvel::WaveFormat format = sonvel::Pcm16Format(8000, 1);
    ASSERT_EQ(program.Wave1()->StartRecord(
                  sonvel::WaveInDeviceNumber(sonvel::kSilenceInputId),
                  QFile::encodeName(env_.root() + "/call.wav").toStdString(), format),
              0);
    program.CloseLine();
    EXPECT_NE(program.Wave1()->Recording(), sonvel::kFalse);
    window.UnLoadApp();
    EXPECT_EQ(program.Wave1(), nullptr);
    EXPECT_EQ(program.WavePlayer(), nullptr);
}

TEST_F(MainWindowCallTest, ACallTheDiskCannotTakeIsShownBesideThePanelsAndByTheTray) {
    const QString folder = env_.root() + QStringLiteral("/Recordings/");
    ASSERT_TRUE(QDir().mkpath(folder));
    Store(kTabGeneral, "txtPath", folder);
    Program program;
    program.Load(false);
    MainWindow& window = program.Window();
    window.resize(900, 600);
    QStringList balloons;
    QObject::connect(window.Tray(), &TrayIcon::BalloonShown,
                     [&balloons](const QString&, const QString& text, int) { balloons << text; });
    backend_->waveInDevice = sonvel::WaveInDeviceNumber(sonvel::kSilenceInputId);
    backend_->RaiseIncomingCall();
    backend_->RaiseCallerId(QStringLiteral("Ann"), QStringLiteral("555"));
    backend_->callActive = true;
    backend_->RaiseConnected();
    QCoreApplication::processEvents();
    ASSERT_NE(program.Wave1()->Recording(), sonvel::kFalse);
    const QString wave = folder + program.CurrentCallState().call.CallFileName;
    ASSERT_TRUE(PumpUntil([&] { return QFileInfo(wave).size() > 64 + 1000; }));
    {
        const testing::FileSizeLimit full(100);  // the disk fills up
        backend_->callActive = false;
        backend_->RaiseDisconnected();
        backend_->RaiseIdle();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(CallRecordCount(folder), 0);
    // Left of the panels, wide enough to read, naming the kept recording;
    // and the tray says it too.
    QLabel* problem = Label(window, "recordingProblem");
    ASSERT_NE(problem, nullptr);
    EXPECT_TRUE(problem->isVisible());
    EXPECT_TRUE(problem->text().contains(wave)) << problem->text().toStdString();
    EXPECT_GE(problem->width(), 200);
    EXPECT_EQ(Panel3(window), Text(ids::kStatusLineOpen));
    EXPECT_EQ(balloons, QStringList{problem->text()});
    EXPECT_EQ(SidecarNames(folder), QStringList{SidecarName(QFileInfo(wave).fileName())});
    window.UnLoadApp();
}

// ---- A steady window: keys, the slider and the columns ----

void SendKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(widget, &press);
}

void LeftClick(QWidget* widget, QPoint at) {
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
}

class SteadyWindowTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English"));
        folder_ = env_.root() + QStringLiteral("/Recordings/");
        ASSERT_TRUE(QDir().mkpath(folder_));
        // Two calls of half a minute each, long enough to pause and seek.
        for (const char* name : {"Ann", "Bob"}) {
            CallRecord record;
            record.Set(CallField::CallKind, QStringLiteral("3"));
            record.Set(CallField::CallerName, QString::fromLatin1(name));
            record.Set(CallField::CallerNumber, QStringLiteral("555"));
            record.Set(CallField::CallDate, QStringLiteral("12/7/26"));
            record.Set(CallField::CallTime, QStringLiteral("4:34:54 PM"));
            ASSERT_TRUE(AppendCallRecord(record, folder_));
            QFile wave(folder_ + CallFileName(record));
            ASSERT_TRUE(wave.open(QIODevice::WriteOnly));
            wave.write(SilentWav(30));
        }
        Store(kTabGeneral, "txtPath", folder_);
    }

    QString folder_;
};

TEST_F(SteadyWindowTest, TabLeavesTheListForThePlayerAndSpacePlaysAndPauses) {
    Program program;
    program.Load(false);
    MainWindow& window = program.Window();
    window.activateWindow();
    ASSERT_TRUE(PumpUntil([&] { return window.isActiveWindow(); }));
    CallsListView* list = window.CallsList()->View();
    PlaybackBar* bar = window.Playback();
    ASSERT_EQ(program.CallsList().rowCount(), 2);
    list->setFocus(Qt::OtherFocusReason);

    // One Tab stop for the list, then the player's controls in reading order.
    const QList<QWidget*> order = {bar->ButtonOf(bar->PlayButton()),
                                   bar->ButtonOf(bar->PauseButton()),
                                   bar->ButtonOf(bar->StopButton()), bar->Slider()};
    for (QWidget* next : order) {
        SendKey(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    bar->ButtonOf(bar->PlayButton())->setFocus(Qt::OtherFocusReason);
    SendKey(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), list);

    // Space plays the current call, pauses it and goes on, from the list
    // and from the slider alike.
    sonvel::Wave* wave = program.WavePlayer();
    ASSERT_NE(wave, nullptr);
    const struct {
        QWidget* target;
        bool playing;
        bool paused;
    } presses[] = {{list, true, false},
                   {list, true, true},
                   {list, true, false},
                   {bar->Slider(), true, true},
                   {bar->Slider(), true, false}};
    for (const auto& press : presses) {
        SendKey(press.target, Qt::Key_Space);
        EXPECT_EQ(wave->Playing() != sonvel::kFalse, press.playing);
        EXPECT_EQ(wave->IsPausedOut() != sonvel::kFalse, press.paused);
        EXPECT_EQ(bar->PauseButton()->isChecked(), press.paused);
    }
    // Paused, Play goes on with the call, and Stop ends it.
    bar->PauseButton()->trigger();
    ASSERT_NE(wave->IsPausedOut(), sonvel::kFalse);
    bar->PlayButton()->trigger();
    EXPECT_NE(wave->Playing(), sonvel::kFalse);
    EXPECT_EQ(wave->IsPausedOut(), sonvel::kFalse);
    EXPECT_FALSE(bar->PauseButton()->isChecked());
    bar->PauseButton()->trigger();
    bar->StopButton()->trigger();
    EXPECT_TRUE(PumpUntil([&] { return wave->Playing() == sonvel::kFalse; }));
    EXPECT_FALSE(bar->PauseButton()->isChecked());
    window.UnLoadApp();
}

TEST_F(SteadyWindowTest, AClickOnTheSliderTrackJumpsThere) {
    Program program;
    program.Load(false);
    MainWindow& window = program.Window();
    PlaybackBar* bar = window.Playback();
    bar->PlayButton()->trigger();
    sonvel::Wave* wave = program.WavePlayer();
    ASSERT_NE(wave->Playing(), sonvel::kFalse);
    PositionSlider* slider = bar->Slider();
    for (const int percent : {75, 30}) {
        SCOPED_TRACE(percent);
        int x = 0;
        while (x < slider->width() && slider->ValueAt(QPoint(x, 0)) < percent) {
            ++x;
        }
        LeftClick(slider, QPoint(x, slider->height() / 2));
        EXPECT_NEAR(slider->value(), percent, 1);
        // The sound goes on from there (half a minute: a second is 3 %).
        EXPECT_NEAR(wave->GetPositionSliderX(), percent, 4);
    }
    window.UnLoadApp();
}

TEST_F(SteadyWindowTest, ColumnWidthsOrderAndSortSurviveARestart) {
    namespace col = calls_column;
    std::vector<CallsColumn> columns;
    {
        Program program;
        program.Load(false);
        CallsListView* list = program.Window().CallsList()->View();
        QHeaderView* header = list->horizontalHeader();
        header->resizeSection(col::kKind, 120);
        header->moveSection(header->visualIndex(col::kDateTime), header->visualIndex(col::kKind));
        // Newest first: the date header twice.
        for (int click = 0; click < 2; ++click) {
            LeftClick(header->viewport(),
                      QPoint(header->sectionViewportPosition(col::kDateTime) + 4, 4));
        }
        ASSERT_EQ(program.CallsList().SortOrder(), Qt::DescendingOrder);
        columns = list->Columns();
        program.Window().UnLoadApp();
    }
    EXPECT_EQ(Stored("sCallsSort"), QStringLiteral("5 DESC"));
    const auto order = [](const std::vector<CallsColumn>& shown) {
        std::vector<int> numbers;
        for (const CallsColumn& column : shown) {
            numbers.push_back(column.column);
        }
        return numbers;
    };
    const std::vector<int> moved = {col::kUserMark, col::kDateTime, col::kKind, col::kCaller};
    const std::vector<int> built = {col::kUserMark, col::kKind, col::kCaller, col::kDateTime};
    ASSERT_EQ(order(columns), moved);
    {
        Program program;
        program.Load(false);
        CallsListView* list = program.Window().CallsList()->View();
        EXPECT_EQ(order(list->Columns()), moved);
        EXPECT_EQ(list->columnWidth(col::kKind), 120);
        EXPECT_EQ(list->columnWidth(col::kDateTime), columns[1].width);
        EXPECT_EQ(program.CallsList().SortHeader(), col::kDateTime);
        EXPECT_EQ(program.CallsList().SortOrder(), Qt::DescendingOrder);
        EXPECT_EQ(list->horizontalHeader()->sortIndicatorSection(), col::kDateTime);
        EXPECT_EQ(list->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
        program.Window().UnLoadApp();
    }
    // A state naming a column the list does not show is left aside.
    Store(QString(), "sCallsColumns", QStringLiteral("2:32,3:100,6:200,4:200"));
    Store(QString(), "sCallsSort", QStringLiteral("9 ASC"));
    {
        Program program;
        program.Load(false);
        CallsListView* list = program.Window().CallsList()->View();
        EXPECT_EQ(order(list->Columns()), built);
        EXPECT_EQ(list->columnWidth(col::kKind), 100);
        EXPECT_EQ(program.CallsList().SortHeader(), -1);
        program.Window().UnLoadApp();
    }
}

// The rows' context menu in the real window: what it offers for one call
// and for both, and its commands acting on every call selected: copies of
// both into a folder (a file there is kept, the copy numbered), the mark on
// both, and Play then Pause for one.
TEST_F(SteadyWindowTest, TheContextMenuActsOnTheSelectedCalls) {
    const QString out = env_.root() + QStringLiteral("/out/");
    const QString ann = CallFileName(ReadAllCallRecords(folder_).at(0));
    const QString bob = CallFileName(ReadAllCallRecords(folder_).at(1));
    env_.writeFile(QStringLiteral("out/") + ann, "kept");
    QStringList asked;
    SetFileDialogHook([&](const FileDialogRequest& request) {
        asked << request.title;
        return request.kind == FileDialogRequest::Kind::Folder ? out : QString();
    });
    Program program;
    program.Load(false);
    MainWindow& window = program.Window();
    CallsListView& list = *window.CallsList()->View();
    QMenu& menu = *window.CallsList()->ContextMenu();
    const auto open = [&](int row) {
        const QPoint at = list.visualRect(list.model()->index(row, calls_column::kCaller)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, list.viewport()->mapToGlobal(at));
        QApplication::sendEvent(list.viewport(), &event);
        EXPECT_TRUE(menu.isVisible());
    };
    const auto entry = [&](const char* name) {
        for (QAction* action : menu.actions()) {
            if (action->objectName() == QLatin1String(name)) {
                return action;
            }
        }
        ADD_FAILURE() << name;
        return new QAction(&menu);
    };
    list.selectAll();
    open(1);
    EXPECT_EQ(list.SelectedRows(), (std::vector<int>{0, 1}));
    EXPECT_FALSE(entry("callsMenuPlay")->isEnabled());
    EXPECT_FALSE(entry("callsMenuCallBack")->isEnabled());
    entry("callsMenuSaveCopy")->trigger();
    EXPECT_EQ(asked, QStringList{Text(ids::kSaveCopiesTitle)});
    QStringList copies = QDir(out).entryList(QDir::Files, QDir::Name);
    QStringList expected = {ann, QFileInfo(ann).completeBaseName() + QStringLiteral(" (2).wav"),
                            bob};
    expected.sort();
    EXPECT_EQ(copies, expected);
    QFile kept(out + ann);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "kept");
    EXPECT_EQ(Stored("sLastSaveFolder"), QDir(out).absolutePath());
    // A recording gone meanwhile is named in one message; the others are
    // copied all the same.
    ResetMessageSeam();
    SetNextMessageAnswer(kAnswerOk);
    window.SaveCopies({folder_ + QStringLiteral("gone.wav"), folder_ + bob});
    const std::vector<ShownMessage> told = TakeShownMessages();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].text.contains(folder_ + QStringLiteral("gone.wav")))
        << told[0].text.toStdString();
    EXPECT_TRUE(
        QFile::exists(out + QFileInfo(bob).completeBaseName() + QStringLiteral(" (2).wav")));

    entry("callsMenuUserMark")->trigger();
    for (const CallRecord& record : ReadAllCallRecords(folder_)) {
        EXPECT_EQ(record.Get(CallField::UserMark).trimmed(), QStringLiteral("1"));
    }
    menu.hide();

    // One call: Play plays it, and the menu then offers Pause.
    list.SetCurrentRow(0);
    open(0);
    EXPECT_EQ(list.SelectedRows(), std::vector<int>{0});
    EXPECT_TRUE(entry("callsMenuPlay")->isEnabled());
    EXPECT_TRUE(entry("callsMenuCallBack")->isEnabled());
    entry("callsMenuPlay")->trigger();
    sonvel::Wave* wave = program.WavePlayer();
    EXPECT_NE(wave->Playing(), sonvel::kFalse);
    open(0);
    entry("callsMenuPause")->trigger();
    EXPECT_NE(wave->IsPausedOut(), sonvel::kFalse);
    EXPECT_TRUE(window.Playback()->PauseButton()->isChecked());
    menu.hide();
    SetFileDialogHook({});
    window.UnLoadApp();
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

// The ring strip keeps its room, so the calls list never moves on a ring;
// it reads left to right (label then value, name then number) for a Hebrew
// caller too, and says nothing about the caller before the caller ID.
TEST_F(MainWindowCallTest, TheRingStripKeepsTheCallsListInPlaceAndReadsLeftToRight) {
    ASSERT_EQ(LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/Hebrew")), 0);
    Store(kTabIncomingCall, "chkViewCD_IC", QStringLiteral("1"));
    Program program;
    program.Load(false);
    MainWindow& window = program.Window();
    auto* list = window.findChild<QWidget*>(QStringLiteral("callsArea"));
    QLabel* ringLabel = Label(window, "lblRingDisplay");
    QLabel* name = Label(window, "lblCallerName");
    QLabel* number = Label(window, "lblCallerNumber");
    ASSERT_TRUE(list && ringLabel && name && number);
    QStringList balloons;
    QObject::connect(window.Tray(), &TrayIcon::BalloonShown,
                     [&balloons](const QString&, const QString& text, int) { balloons << text; });
    // Where the list's first row stands (the status bar below may grow
    // when the call ends, which is not the strip's doing).
    const auto place = [&] {
        QCoreApplication::processEvents();
        return list->mapTo(&window, QPoint(0, 0));
    };
    const QPoint idle = place();
    const auto leftToRight = [](const QString& text, const QStringList& words) {
        return testing::InReadingOrder(testing::WordMiddles(text, words, Qt::LayoutDirectionAuto),
                                       false);
    };

    backend_->RaiseIncomingCall();
    backend_->RaiseRing(1);
    EXPECT_EQ(place(), idle);
    EXPECT_TRUE(name->isVisible());
    EXPECT_TRUE(name->text().isEmpty());
    EXPECT_TRUE(number->text().isEmpty());
    EXPECT_EQ(balloons, QStringList{QString()});

    const QString caller = QStringLiteral("ישראל כהן");
    backend_->RaiseCallerId(caller, QStringLiteral("050 1234567"));
    EXPECT_EQ(place(), idle);
    EXPECT_TRUE(leftToRight(ringLabel->text(), {QStringLiteral("צלצול"), QStringLiteral(":")}))
        << ringLabel->text().toStdString();
    EXPECT_LT(ringLabel->mapTo(&window, QPoint(0, 0)).x(),
              Label(window, "lblRing")->mapTo(&window, QPoint(0, 0)).x());
    EXPECT_EQ(name->text(), caller);
    EXPECT_LT(name->mapTo(&window, QPoint(0, 0)).x(), number->mapTo(&window, QPoint(0, 0)).x());
    ASSERT_EQ(balloons.size(), 2);
    EXPECT_TRUE(leftToRight(balloons[1], {QStringLiteral("ישראל"), QStringLiteral("050")}))
        << balloons[1].toStdString();

    backend_->callActive = true;
    backend_->RaiseConnected();
    backend_->RaiseDisconnected();
    backend_->RaiseIdle();
    EXPECT_EQ(place(), idle);
    EXPECT_FALSE(name->isVisible());
    EXPECT_TRUE(name->text().isEmpty());
    window.UnLoadApp();
}

}  // namespace
}  // namespace orvane
