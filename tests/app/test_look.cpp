// What the user sees on any desktop: icons without an icon theme that read
// on a dark palette, note text in a colour of the palette, the help pages
// without a browser, a settings page list as wide as its entries and a
// journal viewer that says when the journals are off.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <functional>

#include "app/calls_list/calls_list_view.h"
#include "app/help/help_window.h"
#include "app/main_window.h"
#include "app/menus/web_links.h"
#include "app/program.h"
#include "calls/list/calls_list_model.h"
#include "calls/store/call_record.h"
#include "core/product.h"
#include "settings/names/language.h"
#include "settings/names/log.h"
#include "settings/names/main_menus.h"
#include "settings/store/registry_routines.h"
#include "settings/store/registry_store.h"
#include "telephony/tapi.h"
#include "tests/support/qt_printers.h"
#include "tests/support/scripted_line_backend.h"
#include "tests/support/test_environment.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/palette_colours.h"
#include "ui/tray_icon.h"
#include "windows/journal_viewer/journal_viewer.h"
#include "windows/settings/settings_dialog.h"

namespace orvane {
namespace {

RegistryRoutines Settings(const QString& subkey = QString()) {
    return RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey);
}

// A dark desktop as Fusion draws one; its link colour is the usual light blue.
QPalette DarkPalette(const QColor& link = QColor(42, 130, 218)) {
    QPalette palette;
    for (const auto role : {QPalette::Window, QPalette::Button}) {
        palette.setColor(role, QColor(53, 53, 53));
    }
    palette.setColor(QPalette::Base, QColor(35, 35, 35));
    palette.setColor(QPalette::AlternateBase, QColor(66, 66, 66));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(role, QColor(230, 230, 230));
    }
    palette.setColor(QPalette::Link, link);
    palette.setColor(QPalette::Highlight, QColor(42, 130, 218));
    palette.setColor(QPalette::HighlightedText, Qt::black);
    return palette;
}

// The share of an icon's visible pixels that stand out from `background`
// at 3:1 or more: 0 for a black icon on a dark palette.
double ReadableShare(const QIcon& icon, const QColor& background) {
    const QImage image =
        icon.pixmap(QSize(24, 24)).toImage().convertToFormat(QImage::Format_ARGB32);
    int visible = 0;
    int readable = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) < 128) {
                continue;
            }
            ++visible;
            const double alpha = qAlpha(pixel) / 255.0;
            const auto over = [alpha](int front, int back) {
                return static_cast<int>(front * alpha + back * (1 - alpha));
            };
            const QColor shown(over(qRed(pixel), background.red()),
                               over(qGreen(pixel), background.green()),
                               over(qBlue(pixel), background.blue()));
            readable += ContrastRatio(shown, background) >= 3.0 ? 1 : 0;
        }
    }
    return visible == 0 ? 0.0 : static_cast<double>(readable) / visible;
}

class LookTest : public ::testing::Test {
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
        Program::SetTapiFactory(
            [this](QObject* parent) { return testing::CreateScriptedTapi(backend_, parent); });
        // No icon theme at all: what the program shows is its own.
        themeName_ = QIcon::themeName();
        themePaths_ = QIcon::themeSearchPaths();
        QIcon::setThemeSearchPaths({});
        QIcon::setThemeName(QStringLiteral("no-such-theme"));
        palette_ = QApplication::palette();
        font_ = QApplication::font();
    }
    void TearDown() override {
        QApplication::setPalette(palette_);
        QApplication::setFont(font_);
        QIcon::setThemeSearchPaths(themePaths_);
        QIcon::setThemeName(themeName_);
        SetUrlOpenerForTesting({});
        Program::SetTapiFactory({});
        TrayIcon::OverrideAvailability(std::nullopt);
        ResetMessageSeam();
    }

    // Every icon a button or toolbar entry of the window shows, by name.
    static QList<std::pair<QString, QIcon>> ButtonIcons(QWidget* window) {
        QList<std::pair<QString, QIcon>> icons;
        for (QToolButton* button : window->findChildren<QToolButton*>()) {
            if (!button->objectName().startsWith(QLatin1String("qt_"))) {
                const QAction* action = button->defaultAction();
                icons.append({action != nullptr ? action->objectName() : button->objectName(),
                              button->icon()});
            }
        }
        return icons;
    }

    testing::TestEnvironment env_;
    testing::ScriptedLineBackend* backend_ = nullptr;
    QString themeName_;
    QStringList themePaths_;
    QPalette palette_;
    QFont font_;
};

TEST_F(LookTest, EveryButtonAndMenuEntryHasItsOwnIconThatReadsOnADarkPalette) {
    QApplication::setPalette(DarkPalette());
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    window.MenuClick("Events");
    ASSERT_NE(program.SettingsWindow(), nullptr);

    QList<std::pair<QString, QIcon>> icons = ButtonIcons(&window);
    const QList<std::pair<QString, QIcon>> settings = ButtonIcons(program.SettingsWindow());
    // Play, Stop, Add and Delete of the sounds; Play, Stop and Add of the
    // announcement.
    EXPECT_EQ(settings.size(), 7);
    icons += settings;
    // Menu entries have icons where a toolbar shows the same command, and
    // the text-only ones stay so.
    const QStringList textOnly{"Hide", "Devices", "mnuTranslator", "support", "stExit", "stShow"};
    QList<QMenu*> menus{window.TrayMenu()};
    for (QAction* top : window.menuBar()->actions()) {
        menus << top->menu();
    }
    for (QMenu* menu : menus) {
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator() && !textOnly.contains(action->data().toString())) {
                icons.append({action->data().toString(), action->icon()});
            }
        }
    }
    ASSERT_GT(icons.size(), 30);
    const QColor background = QApplication::palette().color(QPalette::Window);
    for (const auto& [name, icon] : icons) {
        EXPECT_FALSE(icon.isNull()) << name.toStdString();
        EXPECT_GE(ReadableShare(icon, background), 0.2) << name.toStdString();
    }
    program.SettingsWindow()->close();
    window.UnLoadApp();
}

TEST_F(LookTest, TextsInTheirOwnColoursReadOnADarkPalette) {
    QApplication::setPalette(DarkPalette());
    Program program;
    program.Load(true);
    const QColor background = QApplication::palette().color(QPalette::Window);
    for (const char* name : {"lblRec", "lblPause", "recordingProblem"}) {
        auto* label = program.Window().findChild<QLabel*>(QLatin1String(name));
        ASSERT_NE(label, nullptr) << name;
        label->ensurePolished();
        EXPECT_GE(ContrastRatio(label->palette().color(QPalette::WindowText), background), 4.5)
            << name;
    }
    program.Window().UnLoadApp();
}

TEST_F(LookTest, NoteTextReadsOnLightAndDarkPalettes) {
    const struct {
        const char* label;
        QPalette palette;
    } cases[] = {
        {"light", QPalette(Qt::white)},
        {"dark", DarkPalette()},
        {"dark with a dark link colour", DarkPalette(QColor(0, 0, 191))},
        {"dark with the base colour as link colour", DarkPalette(QColor(35, 35, 35))},
    };
    for (const auto& c : cases) {
        const QColor note = NoteTextColour(c.palette);
        EXPECT_GE(ContrastRatio(note, c.palette.color(QPalette::Base)), 4.5) << c.label;
    }

    // The calls list draws a call's note in that colour, not in a fixed blue.
    QApplication::setPalette(DarkPalette(QColor(0, 0, 191)));
    CallsListModel model{CallStoreOps{}};
    CallsListPanel panel(model);
    panel.resize(700, 300);
    panel.show();
    CallRecord record;
    record.Set(CallField::CallKind, QStringLiteral("3"));
    record.Set(CallField::CallerName, QStringLiteral("Ann"));
    record.Set(CallField::ReadFlag, QStringLiteral("1"));
    record.Set(CallField::Notes, QStringLiteral("WWWWWWWW WWWWWWWW"));
    model.SetRecords({record}, QStringLiteral("/calls/"));
    CallsListView& view = *panel.View();
    view.clearSelection();
    view.setCurrentIndex({});
    const QRect row = view.visualRect(model.index(0, calls_column::kCaller));
    const QRect note(0, row.top() + kCallsDefaultRowHeight, view.viewport()->width(),
                     row.height() - kCallsDefaultRowHeight);
    const QImage image = view.viewport()->grab(note).toImage();
    const QColor base = view.palette().color(QPalette::Base);
    double best = 1.0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            best = std::max(best, ContrastRatio(QColor(image.pixel(x, y)), base));
        }
    }
    EXPECT_GE(best, 4.5);
}

TEST_F(LookTest, WithoutABrowserHelpOpensInTheProgramsOwnWindow) {
    env_.writeFile(QStringLiteral("program/Help/index.html"),
                   "<html><body><h1>Contents</h1><a href=\"dialer.html\">Dialer</a></body></html>");
    env_.writeFile(QStringLiteral("program/Help/dialer.html"),
                   "<html><body><h1>The dialer</h1></body></html>");
    QStringList handed;
    bool desktopOpens = false;
    SetUrlOpenerForTesting([&](const QUrl& url) {
        handed << url.toString();
        return desktopOpens;
    });
    Program program;
    program.Load(false);
    MainWindow& window = program.Window();
    const QString help = QUrl::fromLocalFile(env_.programFolder() + "/Help/").toString();

    // F1 tries the desktop first; it cannot, so the window shows the page
    // and says why.
    QAction* contents = nullptr;
    for (QAction* action : window.findChildren<QAction*>()) {
        if (action->data().toString() == QLatin1String("mnuHelp(0)")) {
            contents = action;
        }
    }
    ASSERT_NE(contents, nullptr);
    EXPECT_EQ(contents->shortcut(), QKeySequence(Qt::Key_F1));
    contents->trigger();
    EXPECT_EQ(handed, QStringList{help + "index.html"});
    auto* helpWindow = window.findChild<HelpWindow*>();
    ASSERT_NE(helpWindow, nullptr);
    EXPECT_TRUE(helpWindow->isVisible());
    EXPECT_EQ(helpWindow->Browser()->source().toString(), help + "index.html");
    EXPECT_TRUE(helpWindow->Browser()->toPlainText().contains("Contents"));
    EXPECT_EQ(helpWindow->Note()->text(), Text(ids::kHelpShownHere));
    EXPECT_TRUE(helpWindow->Note()->isVisible());

    // A link between help pages stays in the window; one to the web goes to
    // the desktop; one out of the Help folder is not followed.
    handed.clear();
    const struct {
        const char* link;
        QString shown;
        QStringList handed;
    } links[] = {
        {"dialer.html", help + "dialer.html", {}},
        {"https://example.org/", help + "dialer.html", {"https://example.org/"}},
        {"../Trans/English", help + "dialer.html", {}},
        {"index.html", help + "index.html", {}},
    };
    for (const auto& link : links) {
        Q_EMIT helpWindow->Browser()->anchorClicked(QUrl(QString::fromLatin1(link.link)));
        EXPECT_EQ(helpWindow->Browser()->source().toString(), link.shown) << link.link;
        EXPECT_EQ(std::exchange(handed, {}), link.handed) << link.link;
    }

    // Where the desktop opens help pages, no window of ours appears.
    helpWindow->close();
    desktopOpens = true;
    window.MenuClick("support");
    EXPECT_EQ(handed, QStringList{help + "support.html"});
    EXPECT_FALSE(helpWindow->isVisible());
    window.UnLoadApp();
}

TEST_F(LookTest, TheSettingsPageListIsAsWideAsItsLongestEntry) {
    QFont large = font_;
    large.setPointSize(22);
    QApplication::setFont(large);
    Program program;
    program.Load(true);
    program.Window().MenuClick("General");
    SettingsDialog* settings = program.SettingsWindow();
    ASSERT_NE(settings, nullptr);
    auto* pages = settings->findChild<QTreeWidget*>();
    ASSERT_NE(pages, nullptr);
    QApplication::processEvents();
    for (int i = 0; i < pages->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = pages->topLevelItem(i);
        EXPECT_GE(pages->viewport()->width(), pages->fontMetrics().horizontalAdvance(item->text(0)))
            << item->text(0).toStdString();
    }
    settings->close();
    program.Window().UnLoadApp();
}

TEST_F(LookTest, TheJournalViewerSaysWhichJournalsAreOffAndWhereToSwitchThemOn) {
    const QString page = Text(ids::kPageJournal);
    const QString system = Text(ids::kLogSystem);
    const QString calls = Text(ids::kLogCalls);
    const struct {
        const char* systemOn;
        const char* callsOn;
        QStringList named;  // empty: no note
    } cases[] = {
        {"0", "0", {system, calls, page}},
        {"1", "0", {calls, page}},
        {"1", "1", {}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Settings(kTabLog).SetRegistryValue(setting::kChkLogSys, c.systemOn, kRegSz));
        ASSERT_TRUE(Settings(kTabLog).SetRegistryValue(setting::kChkLogCalls, c.callsOn, kRegSz));
        Program program;
        program.Load(true);
        program.Window().ToolbarClick(4);
        JournalViewer* viewer = program.Journal();
        ASSERT_NE(viewer, nullptr);
        QLabel* note = viewer->JournalsOffNote();
        EXPECT_EQ(note->isVisible(), !c.named.isEmpty()) << c.systemOn << c.callsOn;
        for (const QString& name : c.named) {
            EXPECT_TRUE(note->text().contains(name)) << name.toStdString();
        }
        if (c.named.size() == 2) {
            EXPECT_FALSE(note->text().contains(system));
        }
        viewer->close();
        program.Window().UnLoadApp();
    }
}

}  // namespace
}  // namespace orvane
