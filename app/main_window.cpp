#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include "app/core/clock.h"
#include "app/core/product.h"
#include "app/core/registry_store.h"
#include "app/live_update_form.h"
#include "journal/journal_writer.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/tray_icon.h"

static void InitUiResources() { Q_INIT_RESOURCE(ui); }

namespace orvane {
namespace {

bool closing = false;

constexpr int kStatusPanelWidth = 150;
constexpr int kClockIntervalMs = 1000;
constexpr int kNoTrayNoticeMs = 15000;
// The tray's exit entry is padded so the tray menu is wide enough to read.
const QString kTrayExitPadding = QString(22, QLatin1Char(' '));

// Menu keys; the menu's single click handler dispatches on them.
const QString kKeyHide = QStringLiteral("Hide");
const QString kKeyExit = QStringLiteral("Exit");
const QString kKeyTrayExit = QStringLiteral("stExit");
const QString kKeyTrayProperties = QStringLiteral("stProporties");
const QString kKeyTrayCloseLine = QStringLiteral("stCloseLine");
const QString kKeyTrayOpenLine = QStringLiteral("stOpenLine");
const QString kKeyTrayShow = QStringLiteral("stShow");

QAction* AddMenuItem(QMenu* menu, const QString& caption, const QString& key) {
    QAction* action = menu->addAction(caption);
    action->setData(key);
    return action;
}

}  // namespace

bool IsClosing() { return closing; }

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    InitUiResources();
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/orvane.svg")));
}

MainWindow::~MainWindow() = default;

void MainWindow::Load(bool hidden) {
    // The program's initialisation, in its fixed order. Steps marked
    // "pending" belong to parts of the program that are not built yet; each
    // is filled in here, in its place, when its part arrives.
    hiddenStart_ = hidden;
    closing = false;

    // 1. The window's own settings object, on the settings root key.
    settings_.hkey = kHkeyLocalMachine;
    settings_.KeyRoot = product::kRootKey;
    settings_.Subkey.clear();

    // 2. The caption.
    setWindowTitle(product::kMainWindowCaption);

    // 3. The update form, which joins the instance channel for the
    //    program's whole life.
    updateForm_ = new LiveUpdateForm(this);
    updateForm_->Load();
    connect(updateForm_, &LiveUpdateForm::QuitRequested, this, &MainWindow::UnLoadApp);

    // 4. Pending (telephone line): initialise the telephony control.
    // 5. Pending (audio engine): build the record-format table.

    // 6. The menus.
    BuildMenus();

    // 7. The tray icon, with the product string as its tool tip.
    tray_ = new TrayIcon(this);
    tray_->SetMenu(trayMenu_);
    tray_->Load();
    tray_->SetToolTip(product::kProductString);
    connect(tray_, &TrayIcon::SysTrayMouseDown, this, &MainWindow::OnTrayMouseDown);
    connect(tray_, &TrayIcon::BalloonClicked, this, &MainWindow::RestoreWindow);

    // 8. Pending (audio engine): initialise Wave1, WavePlayer, WaveEvents.
    // 9. Pending (recorder, calls list, playback): the toolbars and bands.
    // 10. Pending (calls list): the column headers.

    // 11. The settings the running program acts on.
    options_ = GetGlobalOptions(settings_);
    SetJournalSwitches(options_.systemJournal, options_.callsJournal);

    // 12. Pending (call state machine): hide the caller labels.
    // 13. The calls list's area; pending (calls list): fill it with all calls.
    BuildCallsArea();
    // 14. Pending (recorder): the level display and its idle line.

    // 15. The status bar with its three panels and the clock.
    BuildStatusBar();

    // 16. The window placement of the last run.
    RestorePlacement();

    // 17. Pending (telephone line): open the line.
    // 18. Pending (settings dialog): load it hidden.

    if (!hidden) {
        if (restoredState_ == StoredWindowState::Maximized) {
            showMaximized();
        } else {
            show();
        }
    } else if (!HasTray()) {
        // Nothing would be left on screen to bring the program back.
        showMinimized();
    }
    ReportSettingsProblems();
}

void MainWindow::BuildMenus() {
    QMenu* fileMenu = menuBar()->addMenu(QLatin1Char('&') + Text(ids::kMenuFile));
    fileMenu->setObjectName(QStringLiteral("mnuFileTop"));
    AddMenuItem(fileMenu, QLatin1Char('&') + Text(ids::kMenuHide), kKeyHide);
    QAction* exit = AddMenuItem(fileMenu, QLatin1Char('&') + Text(ids::kMenuExit), kKeyExit);
    exit->setShortcut(QKeySequence::Quit);
    connect(fileMenu, &QMenu::triggered, this,
            [this](QAction* action) { MenuClick(action->data().toString()); });

    trayMenu_ = new QMenu(this);
    trayMenu_->setObjectName(QStringLiteral("mnuSysTry"));
    AddMenuItem(trayMenu_, Text(ids::kTrayExit) + kTrayExitPadding, kKeyTrayExit);
    trayMenu_->addSeparator();
    AddMenuItem(trayMenu_, Text(ids::kTrayProperties), kKeyTrayProperties);
    trayMenu_->addSeparator();
    AddMenuItem(trayMenu_, Text(ids::kTrayCloseLine), kKeyTrayCloseLine);
    AddMenuItem(trayMenu_, Text(ids::kTrayOpenLine), kKeyTrayOpenLine);
    trayMenu_->addSeparator();
    AddMenuItem(trayMenu_, Text(ids::kTrayShow), kKeyTrayShow);
    connect(trayMenu_, &QMenu::triggered, this,
            [this](QAction* action) { MenuClick(action->data().toString()); });
}

void MainWindow::MenuClick(const QString& key) {
    if (key == kKeyExit || key == kKeyTrayExit) {
        UnLoadApp();
    } else if (key == kKeyHide) {
        HideWindow();
    } else if (key == kKeyTrayShow) {
        RestoreWindow();
    }
    // "stOpenLine" and "stCloseLine" do nothing by design; "stProporties"
    // opens the settings dialog once it exists.
}

void MainWindow::BuildCallsArea() {
    auto* calls = new QFrame(this);
    calls->setObjectName(QStringLiteral("callsArea"));
    calls->setFrameShape(QFrame::StyledPanel);
    calls->setBackgroundRole(QPalette::Base);
    calls->setAutoFillBackground(true);
    setCentralWidget(calls);
}

void MainWindow::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("vbalStatusBar1"));
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("statusPanel%1").arg(i + 1));
        panel->setFrameShape(QFrame::NoFrame);
        if (i < 2) {
            panel->setMinimumWidth(kStatusPanelWidth);
        }
        bar->addPermanentWidget(panel, i == 2 ? 1 : 0);
        statusPanels_[i] = panel;
    }
    tmrStatus_ = new QTimer(this);
    tmrStatus_->setInterval(kClockIntervalMs);
    connect(tmrStatus_, &QTimer::timeout, this, &MainWindow::UpdateClock);
    tmrStatus_->start();
    UpdateClock();
}

void MainWindow::UpdateClock() {
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    statusPanels_[0]->setText(ShortDateText(now.date(), locale) + QStringLiteral(" - ") +
                              locale.toString(now.time(), QLocale::ShortFormat));
}

ScreenMetrics MainWindow::CurrentScreen() const {
    ScreenMetrics metrics;
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        metrics.geometry = screen->geometry();
        metrics.dpiX = screen->logicalDotsPerInchX();
        metrics.dpiY = screen->logicalDotsPerInchY();
    }
    return metrics;
}

void MainWindow::RestorePlacement() {
    settings_.Subkey.clear();
    StoredPlacement stored;
    stored.width = settings_.GetRegistryValue(QStringLiteral("lWidth"));
    if (!stored.width.toString().isEmpty()) {
        stored.left = settings_.GetRegistryValue(QStringLiteral("lLeft"));
        stored.top = settings_.GetRegistryValue(QStringLiteral("lTop"));
        stored.height = settings_.GetRegistryValue(QStringLiteral("lHeight"));
        stored.state = settings_.GetRegistryValue(QStringLiteral("lState"));
    }
    const Placement placement = PlacementFromStored(stored, CurrentScreen());
    move(placement.geometry.topLeft());
    resize(placement.geometry.size());
    restoredState_ = placement.state;
    if (restoredState_ == StoredWindowState::Maximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
}

void MainWindow::SavePlacement() {
    settings_.Subkey.clear();
    const StoredPlacement stored =
        StoredFromWindow(QRect(pos(), size()), windowState(), CurrentScreen());
    if (!stored.width.isNull()) {
        settings_.SetRegistryValue(QStringLiteral("lLeft"), stored.left, kRegSz);
        settings_.SetRegistryValue(QStringLiteral("lTop"), stored.top, kRegSz);
        settings_.SetRegistryValue(QStringLiteral("lWidth"), stored.width, kRegSz);
        settings_.SetRegistryValue(QStringLiteral("lHeight"), stored.height, kRegSz);
    }
    settings_.SetRegistryValue(QStringLiteral("lState"), stored.state, kRegSz);
}

void MainWindow::ReportSettingsProblems() {
    const QStringList problems = HiveProblems();
    if (problems.isEmpty()) {
        return;
    }
    for (const QString& problem : problems) {
        WriteSysLog(problem, kErrorBadDb, QStringLiteral("RegistryStore"));
    }
    QString text = Text(ids::kMsgSettingsFileBroken);
    if (text.isEmpty()) {
        // Without a language file this warning would be an empty box.
        text = QStringLiteral(
            "Orvane could not read all of its settings file:\n<%S>\nThe file is left exactly as "
            "it is, and changed settings are not saved until it is corrected.");
    }
    text = ReplaceMarker(text, problems.join(QLatin1Char('\n')));
    if (isVisible()) {
        QTimer::singleShot(0, this, [text] { ShowMessage(text, false); });
    } else if (tray_ != nullptr) {
        tray_->ShowBalloonTip(product::kApplicationTitle, text, TrayIcon::BalloonIcon::Warning,
                              30000);
    }
}

bool MainWindow::HasTray() const { return tray_ != nullptr && TrayIcon::IsAvailable(); }

TrayIcon* MainWindow::Tray() const { return tray_; }

void MainWindow::HideWindow() {
    if (HasTray()) {
        hide();
        return;
    }
    showMinimized();
    statusBar()->showMessage(Text(ids::kMsgNoSystemTray), kNoTrayNoticeMs);
}

void MainWindow::RestoreWindow() {
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::OnTrayMouseDown(Qt::MouseButton button) {
    if (button == Qt::LeftButton) {
        RestoreWindow();
    } else if (button == Qt::RightButton && isVisible()) {
        // The tray menu opens next; bring the window forward first.
        raise();
        activateWindow();
    }
}

void MainWindow::UnLoadApp() {
    quitting_ = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!quitting_) {
        event->ignore();
        HideWindow();
        return;
    }
    Shutdown();
    event->accept();
}

void MainWindow::Shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    closing = true;
    // Audio-control instances are released here, then the line is closed.
    if (tray_ != nullptr) {
        tray_->Unload();
        delete tray_;
        tray_ = nullptr;
    }
    SavePlacement();
    if (updateForm_ != nullptr) {
        updateForm_->Unload();
    }
    if (tmrStatus_ != nullptr) {
        tmrStatus_->stop();
    }
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window != this && window != trayMenu_ && window->isWindow()) {
            window->close();
        }
    }
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

}  // namespace orvane
