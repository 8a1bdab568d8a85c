#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <utility>

#include "app/core/clock.h"
#include "app/core/product.h"
#include "app/core/registry_store.h"
#include "app/live_update_form.h"
#include "app/qt_message_window.h"
#include "audio/wave.h"
#include "journal/journal_writer.h"
#include "telephony/call_state.h"
#include "telephony/call_state_machine.h"
#include "telephony/call_views.h"
#include "telephony/line_connection.h"
#include "telephony/tapi.h"
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

constexpr int kBalloonMs = 30000;
constexpr int kToolbarIconSize = 24;
// Alert sounds play with the control's usual buffer size.
constexpr qint32 kAlertBufferSize = 800;

QAction* AddMenuItem(QMenu* menu, const QString& caption, const QString& key) {
    QAction* action = menu->addAction(caption);
    action->setData(key);
    return action;
}

MainWindow::TapiFactory& TapiFactoryHook() {
    static MainWindow::TapiFactory factory;
    return factory;
}

// A phone number keeps its reading order inside a right-to-left layout.
QString LeftToRight(const QString& text) {
    return QChar(0x2066) + text + QChar(0x2069);
}

// The recorder as far as it exists today: Wave1's own state is real, the
// toolbar and the call store arrive with the recording control, which
// replaces this through CallStateMachine::SetRecorder.
class Wave1Recorder final : public CallRecorder {
  public:
    explicit Wave1Recorder(const std::unique_ptr<sonvel::Wave>& wave) : wave_(wave) {}

    void StartCallRecording() override {}
    void AddCallInfoDat() override {}
    bool IsRecording() const override { return wave_ && wave_->Recording() != sonvel::kFalse; }
    void StopRecord() override {
        if (wave_) {
            wave_->StopRecord();
        }
    }
    bool IsPreScreen() const override { return wave_ && wave_->IsPreScreen() != sonvel::kFalse; }
    void ClosePreScreen() override {
        if (wave_) {
            wave_->ClosePreScreen();
        }
    }
    bool IsPausedIn() const override { return wave_ && wave_->IsPausedIn() != sonvel::kFalse; }
    void UnPauseIn() override {
        if (wave_) {
            wave_->UnPauseIn();
        }
    }
    bool IsRecordPressed() const override { return false; }
    bool IsPausePressed() const override { return false; }
    void SetRecordPressed(bool) override {}
    void ReleaseListen() override {}
    void ReleaseAllButtons() override {}
    void SetTimeText(const QString&) override {}
    void HideIndicators() override {}
    void SetLineScope() override {}

  private:
    const std::unique_ptr<sonvel::Wave>& wave_;
};

// The dialer window arrives with the outgoing calls, which replace this
// through CallStateMachine::SetDialer; until then it is never loaded.
class AbsentDialer final : public DialerView {
  public:
    bool IsLoaded() const override { return false; }
    void CallReady() override {}
    void SetStatusText(const QString&) override {}
    void EnableCallButtons(bool) override {}
    void EnableEndButton(bool) override {}
    QString NumberText() const override { return {}; }
    void Unload() override {}
};

CallOptions CallOptionsFrom(const GlobalOptions& options) {
    CallOptions call;
    call.showCallerBalloon = options.showCallerBalloon;
    call.openAppOnCall = options.openAppOnCall;
    call.playSoundOnCall = options.playSoundOnCall;
    call.incomingCallSound = options.incomingCallSound;
    call.soundDevice = options.soundDevice;
    return call;
}

}  // namespace

// What the line and the calls show on the main window.
class MainWindow::CallDisplay final : public CallView {
  public:
    explicit CallDisplay(MainWindow& window) : w_(window) {}

    void SetLineSwitch(bool open) override { w_.SetLineSwitch(open); }
    void SetLineStatus(const QString& text) override {
        if (w_.statusPanels_[2] != nullptr) {
            w_.statusPanels_[2]->setText(text);
        }
    }
    QString CallerNameText() const override { return w_.callerName_; }
    QString CallerNumberText() const override { return w_.callerNumber_; }
    void SetCallerTexts(const QString& name, const QString& number) override {
        w_.SetCallerTexts(name, number);
    }
    QString RingText() const override {
        return w_.lblRing_ != nullptr ? w_.lblRing_->text() : QString();
    }
    void SetRingText(const QString& text) override {
        if (w_.lblRing_ != nullptr) {
            w_.lblRing_->setText(text);
        }
    }
    void ShowCallDisplay(bool visible) override { w_.ShowCallDisplay(visible); }
    void DisplayBallonCallSetails(const QString& title, const QString& text) override {
        if (w_.tray_ != nullptr) {
            w_.tray_->ShowBalloonTip(title, text, TrayIcon::BalloonIcon::Information, kBalloonMs);
        }
    }
    void RestoreWindow() override { w_.RestoreWindow(); }
    bool Ask(const QString& question) override { return ShowMessage(question, true) == kAnswerYes; }
    void Inform(const QString& text) override { ShowMessage(text, false); }
    void PlayAlertSound(const QString& path, qint32 device) override {
        if (!w_.waveEvents_) {
            return;
        }
        // A missing file or device fails here, quietly; the call goes on.
        std::string file = QFile::encodeName(path).toStdString();
        qint32 bufferSize = kAlertBufferSize;
        sonvel::Bool16 visOut = sonvel::kFalse;
        w_.waveEvents_->StartPlay(file, device, bufferSize, visOut);
    }

  private:
    MainWindow& w_;
};

bool IsClosing() { return closing; }

MainWindow::TapiFactory MainWindow::SetTapiFactory(TapiFactory factory) {
    return std::exchange(TapiFactoryHook(), std::move(factory));
}

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

    // 4. The telephony control, and the line and call logic on top of it.
    InitializeTelephony();
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

    // 8. The three audio controls.
    InitializeAudio();
    // 9. The main toolbar with the line switch, created closed. Pending
    //    (recorder, calls list, playback): their toolbars.
    BuildToolbars();
    // 10. Pending (calls list): the column headers.

    // 11. The settings the running program acts on.
    options_ = GetGlobalOptions(settings_);
    if (waveEvents_) {
        options_.soundDevice = SoundDeviceIndex(*waveEvents_, options_.soundDeviceName);
    }
    SetJournalSwitches(options_.systemJournal, options_.callsJournal);
    if (calls_) {
        calls_->SetOptions(CallOptionsFrom(options_));
    }

    // 12. The caller labels, hidden until a call comes in.
    BuildCallerDisplay();
    ShowCallDisplay(false);
    // 13. The calls list's area; pending (calls list): fill it with all calls.
    BuildCallsArea();
    // 14. Pending (recorder): the level display and its idle line.

    // 15. The status bar with its three panels and the clock.
    BuildStatusBar();

    // 16. The window placement of the last run.
    RestorePlacement();

    // 17. The telephone line.
    OpenLine();
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
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralArea"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (callerDisplay_ != nullptr) {
        layout->addWidget(callerDisplay_);
    }
    auto* calls = new QFrame(central);
    calls->setObjectName(QStringLiteral("callsArea"));
    calls->setFrameShape(QFrame::StyledPanel);
    calls->setBackgroundRole(QPalette::Base);
    calls->setAutoFillBackground(true);
    layout->addWidget(calls, 1);
    setCentralWidget(central);
}

void MainWindow::InitializeTelephony() {
    const TapiFactory& factory = TapiFactoryHook();
    tapi_ = factory ? factory(this) : Tapi::CreateForModems(this);
    if (!tapi_) {
        // The window works without a line; the line steps do nothing.
        return;
    }
    tapi_->LineInitialize();

    CallState& state = ProgramCallState();
    state = CallState{};
    state.call = ResetCall(QDateTime::currentDateTime());
    callDisplay_ = std::make_unique<CallDisplay>(*this);
    recorder_ = std::make_unique<Wave1Recorder>(wave1_);
    dialer_ = std::make_unique<AbsentDialer>();
    line_ = std::make_unique<LineConnection>(*tapi_, settings_, state, *callDisplay_);
    calls_ = std::make_unique<CallStateMachine>(*tapi_, state, *callDisplay_, *recorder_, *dialer_);
}

void MainWindow::InitializeAudio() {
    audioWindow_ = std::make_unique<QtMessageWindow>();
    wave1_ = std::make_unique<sonvel::Wave>(audioWindow_.get());
    wavePlayer_ = std::make_unique<sonvel::Wave>(audioWindow_.get());
    waveEvents_ = std::make_unique<sonvel::Wave>(audioWindow_.get());
    // A refused attachment leaves that control without notifications; the
    // program goes on.
    wave1_->InitC();
    wavePlayer_->InitC();
    waveEvents_->InitC();
}

void MainWindow::ReleaseAudio() {
    for (std::unique_ptr<sonvel::Wave>* wave : {&wave1_, &wavePlayer_, &waveEvents_}) {
        if (*wave) {
            (*wave)->UnInitC();
        }
    }
    // Destroying a control closes what it still has open.
    waveEvents_.reset();
    wavePlayer_.reset();
    wave1_.reset();
}

void MainWindow::OpenLine() {
    if (line_) {
        line_->OpenLine();
    }
}

void MainWindow::CloseLine() {
    if (line_) {
        line_->CloseLine();
    }
}

void MainWindow::SetOptions(const GlobalOptions& options) {
    options_ = options;
    if (calls_) {
        calls_->SetOptions(CallOptionsFrom(options_));
    }
}

void MainWindow::BuildToolbars() {
    cToolbar1_ = new QToolBar(this);
    cToolbar1_->setObjectName(QStringLiteral("cToolbar1"));
    cToolbar1_->setWindowTitle(QStringLiteral("Toolbar1"));
    cToolbar1_->setIconSize(QSize(kToolbarIconSize, kToolbarIconSize));
    cToolbar1_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    cToolbar1_->setMovable(false);
    addToolBar(Qt::TopToolBarArea, cToolbar1_);

    lineSwitch_ = cToolbar1_->addAction(QString());
    lineSwitch_->setObjectName(QStringLiteral("lineSwitch"));
    lineSwitch_->setCheckable(true);
    lineSwitch_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    lineSwitch_->setShortcutContext(Qt::WindowShortcut);
    if (QWidget* button = cToolbar1_->widgetForAction(lineSwitch_)) {
        button->setObjectName(QStringLiteral("lineSwitchButton"));
        // Toolbar buttons take no focus by default; this one is reached with
        // Tab as well as with its shortcut.
        button->setFocusPolicy(Qt::StrongFocus);
    }
    connect(lineSwitch_, &QAction::triggered, this, [this] {
        if (line_) {
            line_->LineSwitchClicked();
        }
        // The click toggled the button already; the line's state decides.
        SetLineSwitch(lineSwitchOpen_);
    });
    SetLineSwitch(false);
}

void MainWindow::SetLineSwitch(bool open) {
    lineSwitchOpen_ = open;
    if (lineSwitch_ == nullptr) {
        return;
    }
    const QString caption = Text(open ? ids::kLineSwitchOpen : ids::kLineSwitchClosed);
    lineSwitch_->setChecked(open);
    lineSwitch_->setText(caption);
    lineSwitch_->setIcon(QIcon(open ? QStringLiteral(":/icons/line_open.svg")
                                    : QStringLiteral(":/icons/line_closed.svg")));
    const QString shortcut = lineSwitch_->shortcut().toString(QKeySequence::NativeText);
    lineSwitch_->setToolTip(caption.isEmpty()
                                ? shortcut
                                : caption + QStringLiteral(" (") + shortcut + QLatin1Char(')'));
}

void MainWindow::BuildCallerDisplay() {
    callerDisplay_ = new QWidget(this);
    callerDisplay_->setObjectName(QStringLiteral("callerDisplay"));
    auto* layout = new QHBoxLayout(callerDisplay_);
    const auto addLabel = [this, layout](const char* name, const QString& text) {
        auto* label = new QLabel(text, callerDisplay_);
        label->setObjectName(QString::fromLatin1(name));
        // Caller names come from the telephone line: never read as markup.
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(label);
        return label;
    };
    lblRingDisplay_ = addLabel("lblRingDisplay", QStringLiteral("Ring:"));
    lblRing_ = addLabel("lblRing", QString());
    layout->addSpacing(kToolbarIconSize);
    lblCallerName_ = addLabel("lblCallerName", QString());
    lblCallerNumber_ = addLabel("lblCallerNumber", QString());
    QFont bold = lblCallerName_->font();
    bold.setBold(true);
    lblCallerName_->setFont(bold);
    layout->addStretch(1);
    SetCallerTexts(kUnknownCaller, kUnknownCaller);
}

void MainWindow::SetCallerTexts(const QString& name, const QString& number) {
    callerName_ = name;
    callerNumber_ = number;
    if (lblCallerName_ != nullptr) {
        lblCallerName_->setText(name);
        lblCallerNumber_->setText(LeftToRight(number));
    }
}

void MainWindow::ShowCallDisplay(bool visible) {
    if (callerDisplay_ == nullptr) {
        return;
    }
    for (QLabel* label : {lblCallerName_, lblCallerNumber_, lblRing_, lblRingDisplay_}) {
        label->setVisible(visible);
    }
    callerDisplay_->setVisible(visible);
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
    ReleaseAudio();
    CloseLine();
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
