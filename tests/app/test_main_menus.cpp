// The main window's commands on the real window: every menu key and toolbar
// position reaches its command, the tray's line entries follow the line,
// the Help menu's addresses, the about box and saving a copy of a call.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <csignal>

#include "app/about/about_box.h"
#include "app/calls_list/calls_list_view.h"
#include "app/main_window.h"
#include "app/menus/web_links.h"
#include "app/program.h"
#include "audio/sonvel.h"
#include "calls/list/calls_list_model.h"
#include "calls/store/call_record.h"
#include "core/atomic_file.h"
#include "core/product.h"
#include "settings/names/language.h"
#include "settings/names/main_menus.h"
#include "settings/store/registry_routines.h"
#include "settings/store/registry_store.h"
#include "telephony/tapi.h"
#include "tests/support/qt_printers.h"
#include "tests/support/scripted_line_backend.h"
#include "tests/support/test_environment.h"
#include "tests/telephony/telephony_test_support.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/common_widgets.h"
#include "ui/tray_icon.h"
#include "windows/dialer/dialer_window.h"
#include "windows/journal_viewer/journal_viewer.h"
#include "windows/settings/settings_dialog.h"
#include "windows/translation_editor/translation_editor.h"

namespace orvane {
namespace {

RegistryRoutines Settings(const QString& subkey = QString()) {
    return RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class MainMenusTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env_.makeProgramFolders();
        for (const QString& subkey : {QString(), kLanguageKey, kTabDevices, kTabGeneral, kTabLog,
                                      kTabIncomingCall, kTabDisconnectCall}) {
            Settings(subkey).CreateKey();
        }
        ResetStringTableForTesting();
        LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English"));
        ResetMessageSeam();
        TrayIcon::OverrideAvailability(true);
        env_.setVariable("SONVEL_NO_ALSA", QStringLiteral("1"));
        Program::SetTapiFactory([this](QObject* parent) {
            std::unique_ptr<Tapi> tapi = testing::CreateScriptedTapi(backend_, parent);
            backend_->devices = lines_;
            return tapi;
        });
        SetUrlOpenerForTesting([this](const QUrl& url) {
            Record("open " + url.toString());
            return true;
        });
        SetFileDialogHook([this](const FileDialogRequest& request) {
            Record("save " + request.title + " | " + ProposedSavePath(request) + " | " +
                   request.filter);
            return chosenPath_;
        });
    }
    void TearDown() override {
        SetUrlOpenerForTesting({});
        SetFileDialogHook({});
        Program::SetTapiFactory({});
        TrayIcon::OverrideAvailability(std::nullopt);
        ResetMessageSeam();
    }

    void Record(const QString& effect) { effects_ << effect; }
    QStringList TakeEffects() { return std::exchange(effects_, {}); }

    WindowCommands RecordingCommands() {
        WindowCommands commands;
        commands.showDialer = [this](const QString& number) { Record("dialer " + number); };
        commands.editCallNote = [this] { Record("call note"); };
        commands.showGeneralNotes = [this] { Record("general notes"); };
        commands.showSettings = [this](int page) { Record("settings " + QString::number(page)); };
        commands.showJournalViewer = [this] { Record("journal viewer"); };
        commands.showTranslationEditor = [this] { Record("translation editor"); };
        commands.showPhoneBook = [this] { Record("phone book"); };
        return commands;
    }

    // Every menu item of the bar and the tray, by key.
    static QHash<QString, QAction*> MenuActions(MainWindow& window) {
        QHash<QString, QAction*> actions;
        QList<QMenu*> menus{window.TrayMenu()};
        for (QAction* top : window.menuBar()->actions()) {
            menus << top->menu();
        }
        for (QMenu* menu : menus) {
            for (QAction* action : menu->actions()) {
                if (!action->isSeparator()) {
                    actions.insert(action->data().toString(), action);
                }
            }
        }
        return actions;
    }

    // One call in the list whose recording holds `content`; returns its path.
    QString OneCallWithRecording(Program& program, const QByteArray& content) {
        CallRecord record;
        record.Set(CallField::CallKind, QStringLiteral("3"));
        record.Set(CallField::CallerName, QStringLiteral("Ann"));
        record.Set(CallField::CallerNumber, QStringLiteral("+1 555 0100"));
        record.Set(CallField::CallDate, QStringLiteral("12/7/26"));
        record.Set(CallField::CallTime, QStringLiteral("4:34:54 PM"));
        record.Set(CallField::ReadFlag, QStringLiteral("1"));
        const QString folder = env_.root() + QStringLiteral("/calls/");
        program.CallsList().SetRecords({record}, folder);
        program.Window().CallsList()->View()->SetCurrentRow(0);
        const QString path = folder + program.CallsList().CellText(0, calls_column::kMsgFile);
        env_.writeFile(QStringLiteral("calls/") + QFileInfo(path).fileName(), content);
        return path;
    }

    testing::TestEnvironment env_;
    std::vector<LineDetails> lines_;
    testing::ScriptedLineBackend* backend_ = nullptr;
    QStringList effects_;
    QString chosenPath_;
};

TEST_F(MainMenusTest, EveryMenuItemAndToolbarButtonRunsItsCommand) {
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    const QHash<QString, QAction*> actions = MenuActions(window);
    const QString help = QUrl::fromLocalFile(env_.programFolder() + "/Help/").toString();
    const QString site = QStringLiteral("https://www.quenzo.com/call-recorder/");

    // With no rows the calls-list commands do nothing; with no windows
    // installed neither do theirs.
    const struct {
        const char* key;
        QString effect;  // empty: nothing happens
    } cases[] = {
        {"Dialer", "dialer "},
        {"Notes", "general notes"},
        {"PhoneBook", "phone book"},
        {"BackMsg", {}},
        {"NextMsg", {}},
        {"Edit", "call note"},
        {"Delete", {}},
        {"SaveToPC", {}},
        {"General", "settings 1"},
        {"Devices", "settings 2"},
        {"Events", "settings 3"},
        {"Journal", "settings 4"},
        {"mnuTranslator", "translation editor"},
        {"mnuHelp(0)", "open " + help + "index.html"},
        {"ChkForNewVer",
         "open " + site + "newversion/CheckForNewVer.asp?Comment=linux&CurVer=1.1.0.1"},
        {"support", "open " + help + "support.html"},
        {"mnuHelp(1)", "open " + site},
        {"stProporties", "settings 0"},
    };
    SetNextMessageAnswer(kAnswerOk);  // taken only if a message shows
    for (const bool installed : {false, true}) {
        window.SetWindowCommands(installed ? RecordingCommands() : WindowCommands{});
        for (const auto& c : cases) {
            SCOPED_TRACE(c.key);
            ASSERT_TRUE(actions.contains(c.key));
            actions[c.key]->trigger();
            const bool windowCommand = !c.effect.startsWith("open ");
            const QStringList expected = c.effect.isEmpty() || (windowCommand && !installed)
                                             ? QStringList{}
                                             : QStringList{c.effect};
            EXPECT_EQ(TakeEffects(), expected);
        }
    }
    for (const char* key : {"", "mnuFile(4)", "mnuSysTry", "no such key", "dialer"}) {
        window.MenuClick(QString::fromLatin1(key));
    }
    EXPECT_EQ(TakeEffects(), QStringList{});
    EXPECT_TRUE(TakeShownMessages().empty());

    // The main toolbar, by position; the line switch is position 0.
    auto* toolbar = window.findChild<QToolBar*>(QStringLiteral("cToolbar1"));
    ASSERT_NE(toolbar, nullptr);
    const QList<QAction*> buttons = toolbar->actions();
    ASSERT_EQ(buttons.size(), 7);
    const QStringList byPosition = {
        {}, {}, "dialer ", "settings 0", "journal viewer", {}, "general notes"};
    for (int position = 1; position < buttons.size(); ++position) {
        SCOPED_TRACE(position);
        EXPECT_EQ(buttons[position]->isSeparator(), byPosition[position].isEmpty());
        buttons[position]->trigger();
        window.ToolbarClick(position);
        const QStringList once =
            byPosition[position].isEmpty() ? QStringList{} : QStringList{byPosition[position]};
        EXPECT_EQ(TakeEffects(), once + once);
    }
    for (const int position : {-1, 0, 7, 1000}) {
        window.ToolbarClick(position);
    }
    EXPECT_EQ(TakeEffects(), QStringList{});
    const auto shown = [toolbar](QAction* action) {
        return qobject_cast<QToolButton*>(toolbar->widgetForAction(action))->text();
    };
    EXPECT_EQ(shown(buttons[3]), "   " + Text(ids::kMenuView) + "   ");
    EXPECT_EQ(shown(buttons[6]), "     " + Text(ids::kMenuNotes) + "     ");
    window.UnLoadApp();
}

// The running program installs its windows behind the commands.
TEST_F(MainMenusTest, TheProgramsDialerOpensFromTheMenuAndTheToolbar) {
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    ASSERT_NE(program.Dialer(), nullptr);
    for (const bool fromMenu : {true, false}) {
        fromMenu ? window.MenuClick("Dialer") : window.ToolbarClick(2);
        EXPECT_TRUE(program.Dialer()->IsLoaded()) << fromMenu;
        program.Dialer()->Unload();
        QCoreApplication::processEvents();
    }
    window.MenuClick("Edit");  // no calls: no editor waits for an answer
    EXPECT_TRUE(TakeShownMessages().empty());
    window.UnLoadApp();
}

TEST_F(MainMenusTest, TheTranslationEditorOpensOnTheTranslationInUse) {
    QFile::copy(ORVANE_SOURCE_DIR "/Trans/German", env_.programFolder() + "/Trans/German");
    ASSERT_TRUE(Settings(kLanguageKey)
                    .SetRegistryValue(setting::kSelect, QStringLiteral("German"), kRegSz));
    Program program;
    program.Load(true);
    EXPECT_EQ(program.TranslationEditorWindow(), nullptr);
    program.Window().MenuClick("mnuTranslator");
    TranslationEditor* editor = program.TranslationEditorWindow();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->SourceBox()->currentText(), "German");
    EXPECT_GT(editor->Grid()->rowCount(), 0);
    program.Window().UnLoadApp();
}

TEST_F(MainMenusTest, TheSettingsJournalAndTranslationWindowsOpenFromMenusAndFromEachOther) {
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    window.MenuClick("Journal");
    SettingsDialog* settings = program.SettingsWindow();
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(settings->isVisible());
    EXPECT_EQ(settings->CurrentPage(), 4);
    settings->findChild<QPushButton*>(QStringLiteral("cmdDisplayLog"))->click();
    ASSERT_NE(program.Journal(), nullptr);
    EXPECT_TRUE(program.Journal()->isVisible());
    program.Journal()->close();
    settings->findChild<QPushButton*>(QStringLiteral("cmdTranslations"))->click();
    ASSERT_NE(program.TranslationEditorWindow(), nullptr);
    EXPECT_TRUE(program.TranslationEditorWindow()->isVisible());
    program.TranslationEditorWindow()->close();
    settings->close();
    window.ToolbarClick(4);
    EXPECT_TRUE(program.Journal()->isVisible());
    program.Journal()->close();
    window.UnLoadApp();
}

TEST_F(MainMenusTest, TheWebSiteSettingDecidesTheAddressesAndABadOneFallsBack) {
    EXPECT_EQ(WebSiteBase(""), kDefaultWebSite);
    const struct {
        const char* stored;
        const char* base;
    } cases[] = {
        {"https://example.org", "https://example.org/"},
        {" http://example.org/orvane/ ", "http://example.org/orvane/"},
        {"ftp://example.org/", "https://www.quenzo.com/"},
        {"javascript:alert(1)", "https://www.quenzo.com/"},
        {"file:///etc/", "https://www.quenzo.com/"},
        {"https://example.org/?a=b", "https://www.quenzo.com/"},
        {"not an address", "https://www.quenzo.com/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WebSiteBase(c.stored), c.base) << c.stored;
    }
    ASSERT_TRUE(Settings().SetRegistryValue(setting::kWebSite, "https://example.org/x", kRegSz));
    Program program;
    program.Load(true);
    program.Window().MenuClick("mnuHelp(1)");
    program.Window().MenuClick("ChkForNewVer");
    EXPECT_EQ(TakeEffects(), (QStringList{"open https://example.org/x/call-recorder/",
                                          "open https://example.org/x/call-recorder/newversion/"
                                          "CheckForNewVer.asp?Comment=linux&CurVer=1.1.0.1"}));
    program.Window().UnLoadApp();
}

TEST_F(MainMenusTest, TheTrayLineEntriesFollowTheLineAndOpenOrCloseIt) {
    ASSERT_TRUE(
        Settings(kTabDevices).SetRegistryValue("cmbModemDev", QStringLiteral("Modem A"), kRegSz));
    lines_ = {testing::ScriptedLineBackend::Device(QStringLiteral("Modem A"))};
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    const QHash<QString, QAction*> actions = MenuActions(window);
    QAction* open = actions.value("stOpenLine");
    QAction* close = actions.value("stCloseLine");
    ASSERT_TRUE(open && close);
    EXPECT_EQ(backend_->TakeRequests(), QStringList{"Open 0"});

    const struct {
        QAction* action;
        QStringList requests;
        bool openAfter;
    } steps[] = {
        {open, {}, true},  // already open: nothing
        {close, {"Close"}, false},
        {close, {}, false},
        {open, {"Open 0"}, true},
    };
    for (const auto& step : steps) {
        window.MenuClick(step.action->data().toString());
        EXPECT_EQ(backend_->TakeRequests(), step.requests);
        EXPECT_EQ(open->isEnabled(), !step.openAfter);
        EXPECT_EQ(close->isEnabled(), step.openAfter);
    }
    window.UnLoadApp();
}

TEST_F(MainMenusTest, SaveACopyProposesTheCallsNameAndCopiesItUnchanged) {
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    QByteArray content("RIFF\0\0\0\0WAVE", 12);
    content += QByteArray(200000, '\x7f');
    const QString source = OneCallWithRecording(program, content);
    const QString name = QFileInfo(source).fileName();

    // Cancelled: nothing is written, the home folder is proposed.
    window.MenuClick("SaveToPC");
    EXPECT_EQ(TakeEffects(),
              QStringList{"save Save | " + QDir::home().filePath(name) + " | wav (*.wav)"});
    const QString folder = env_.root() + QStringLiteral("/copies");
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(QDir(folder).isEmpty());

    chosenPath_ = folder + QStringLiteral("/copy.wav");
    env_.writeFile("copies/copy.wav", "old");  // the dialog asked; the user agreed
    SetNextMessageAnswer(kAnswerOk);           // taken only if a message shows
    window.CallsList()->ButtonClicked(CallsListPanel::kSaveToPc);
    EXPECT_EQ(ReadAll(chosenPath_), content);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"copy.wav"});
    // The next save starts in the folder used last.
    window.MenuClick("SaveToPC");
    EXPECT_TRUE(TakeEffects().value(1).contains(" | " + folder + "/" + name + " | "));
    EXPECT_TRUE(TakeShownMessages().empty());
    ResetMessageSeam();

    // A recording gone from the disk is reported; the earlier copy stays.
    QFile::remove(source);
    SetNextMessageAnswer(kAnswerOk);
    window.MenuClick("SaveToPC");
    const std::vector<ShownMessage> shown = TakeShownMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].text.startsWith("Orvane could not save a copy of the recording:"));
    EXPECT_TRUE(shown[0].text.contains(source));
    EXPECT_EQ(ReadAll(chosenPath_), content);
    window.UnLoadApp();
}

TEST_F(MainMenusTest, AFailedCopyLeavesNoTargetAndAnOldTargetUntouched) {
    const QByteArray content(300000, 'a');
    const QString source = env_.writeFile("source.wav", content);
    const QString out = env_.root() + QStringLiteral("/out");
    ASSERT_TRUE(QDir().mkpath(out + "/a folder"));
    env_.writeFile("out/old.wav", "old");
    // Links planted as recordings: to a file the user can read, to none.
    const QString secret = env_.writeFile("secret", "secret");
    const QString linked = env_.root() + QStringLiteral("/linked.wav");
    const QString dangling = env_.root() + QStringLiteral("/dangling.wav");
    ASSERT_TRUE(QFile::link(secret, linked));
    ASSERT_TRUE(QFile::link(env_.root() + QStringLiteral("/none"), dangling));

    // The file size limit stands in for a full disk: writes past it fail.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const struct {
        const char* name;
        QString source;
        QString target;
        bool fullDisk;
        QByteArray targetAfter;
    } cases[] = {
        {"copied", source, out + "/new.wav", false, content},
        {"replaces", source, out + "/old.wav", false, content},
        {"missing source", source + "x", out + "/none.wav", false, "<missing>"},
        {"missing folder", source, out + "/no/such/folder.wav", false, "<missing>"},
        {"folder as target", source, out + "/a folder", false, "<missing>"},
        {"full disk", source, out + "/full.wav", true, "<missing>"},
        {"source a link", linked, out + "/linked.wav", false, "<missing>"},
        {"source a dangling link", dangling, out + "/dangling.wav", false, "<missing>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.fullDisk) {
            rlimit small = saved;
            small.rlim_cur = 4096;
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        const CopyResult result = CopyFileUnchanged(c.source, c.target);
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(result.ok, c.targetAfter == content);
        EXPECT_EQ(result.error.isEmpty(), result.ok);
        EXPECT_EQ(ReadAll(c.target), c.targetAfter);
    }
    // No temporary file is left behind.
    EXPECT_EQ(QDir(out).entryList(QDir::Files), (QStringList{"new.wav", "old.wav"}));
    // A link is named as such, and what it points to is left alone.
    const CopyResult refused = CopyFileUnchanged(linked, out + "/linked.wav");
    EXPECT_TRUE(refused.error.contains(linked + QStringLiteral(": is a symbolic link")))
        << refused.error.toStdString();
    EXPECT_EQ(ReadAll(secret), "secret");
    // A failed overwrite leaves the old file as it was.
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    env_.writeFile("out/keep.wav", "keep");
    const CopyResult failed = CopyFileUnchanged(source, out + "/keep.wav");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(ReadAll(out + "/keep.wav"), "keep");
}

TEST_F(MainMenusTest, TheAboutBoxNamesVersionsLicenceAndLibraries) {
    Program program;
    program.Load(false);
    program.Window().MenuClick("mnuHelp(3)");
    program.Window().MenuClick("mnuHelp(3)");
    const QList<AboutBox*> boxes = program.Window().findChildren<AboutBox*>();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0]->isVisible());
    EXPECT_TRUE(boxes[0]->isModal());
    const QString text = boxes[0]->PlainText();
    for (const QString& part : {product::kVersionText, QString::fromLatin1(sonvel::Version()),
                                QStringLiteral("GNU General Public License, version 3 or later"),
                                QString::fromLatin1(qVersion()), QStringLiteral("libgsm"),
                                QStringLiteral("ALSA"), QStringLiteral("libFLAC")}) {
        EXPECT_TRUE(text.contains(part)) << part.toStdString();
    }
    program.Window().UnLoadApp();
}

TEST_F(MainMenusTest, TheAboutBoxNamesTheLibrariesInTheSelectedLanguage) {
    ASSERT_EQ(LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/German")), 0);
    AboutBox box;
    const QStringList lines = box.PlainText().split(QLatin1Char('\n'));
    for (int id : {ids::kAboutLibraryGsm, ids::kAboutLibraryAlsa}) {
        EXPECT_TRUE(lines.contains(Text(id))) << id;
    }
    EXPECT_TRUE(
        lines.contains(ReplaceMarker(Text(ids::kAboutLibraryQt), QString::fromLatin1(qVersion()))));
    EXPECT_TRUE(box.PlainText().contains(QStringLiteral("ALSA-Bibliothek")));
}

}  // namespace
}  // namespace orvane
