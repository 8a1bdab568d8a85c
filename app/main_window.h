#pragma once
// The main window. It owns every long-lived object of the running program;
// loading it initialises the program and unloading it (after an explicit
// exit) shuts the program down. Closing it only hides it in the tray.

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

#include "app/core/registry_routines.h"
#include "app/global_options.h"
#include "app/window_placement.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;

namespace sonvel {
class Wave;
}

namespace orvane {

class CallRecorder;
class CallStateMachine;
class DialerView;
class LineConnection;
class LiveUpdateForm;
class QtMessageWindow;
class Tapi;
class TrayIcon;

// Set when shutdown begins, so other windows can tell it from an ordinary
// close of their own.
bool IsClosing();

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The program's initialisation. With `hidden` only the tray icon shows
    // (start at log-on); without a tray the window is minimised instead.
    void Load(bool hidden);

    // Ends the program: shutdown runs as the window unloads.
    void UnLoadApp();

    // Hides the window to the tray, or minimises it where there is no tray.
    void HideWindow();
    // Brings the window back in normal size, in front.
    void RestoreWindow();

    // Runs the menu command with this key; unknown keys do nothing.
    void MenuClick(const QString& key);

    // Makes the telephony control the window hosts as Tapi1. The program's
    // is Tapi::CreateForModems; tests install one over a scripted backend.
    using TapiFactory = std::function<std::unique_ptr<Tapi>(QObject* parent)>;
    // Installs `factory` (an empty one brings the modems back) for windows
    // loaded from now on; returns the one it replaces.
    static TapiFactory SetTapiFactory(TapiFactory factory);

    // The telephone line (the settings dialog re-opens it after a change of
    // the line device). Without a telephony control both do nothing.
    void OpenLine();
    void CloseLine();

    // The settings dialog's OK: the options the running program acts on.
    // The journal switches keep their values until the next start.
    void SetOptions(const GlobalOptions& options);

    // Null until the load has made them (and, for the audio controls, after
    // shutdown released them).
    Tapi* Tapi1() const { return tapi_.get(); }
    CallStateMachine* Calls() const { return calls_.get(); }
    sonvel::Wave* Wave1() const { return wave1_.get(); }
    sonvel::Wave* WavePlayer() const { return wavePlayer_.get(); }
    sonvel::Wave* WaveEvents() const { return waveEvents_.get(); }

    TrayIcon* Tray() const;
    QMenu* TrayMenu() const { return trayMenu_; }
    const GlobalOptions& Options() const { return options_; }
    RegistryRoutines& Settings() { return settings_; }
    bool IsQuitting() const { return quitting_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class CallDisplay;

    void InitializeTelephony();
    void InitializeAudio();
    void ReleaseAudio();
    void BuildToolbars();
    void SetLineSwitch(bool open);
    void BuildCallerDisplay();
    void ShowCallDisplay(bool visible);
    void SetCallerTexts(const QString& name, const QString& number);
    void BuildMenus();
    void BuildCallsArea();
    void BuildStatusBar();
    void RestorePlacement();
    void SavePlacement();
    void ReportSettingsProblems();
    void Shutdown();
    void OnTrayMouseDown(Qt::MouseButton button);
    void UpdateClock();
    ScreenMetrics CurrentScreen() const;
    bool HasTray() const;

    RegistryRoutines settings_;
    GlobalOptions options_;
    LiveUpdateForm* updateForm_ = nullptr;
    TrayIcon* tray_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QTimer* tmrStatus_ = nullptr;
    QLabel* statusPanels_[3] = {nullptr, nullptr, nullptr};
    StoredWindowState restoredState_ = StoredWindowState::Normal;
    bool hiddenStart_ = false;
    bool quitting_ = false;
    bool shutDown_ = false;

    // The main toolbar and its line switch.
    QToolBar* cToolbar1_ = nullptr;
    QAction* lineSwitch_ = nullptr;
    bool lineSwitchOpen_ = false;

    // The caller display.
    QWidget* callerDisplay_ = nullptr;
    QLabel* lblRingDisplay_ = nullptr;
    QLabel* lblRing_ = nullptr;
    QLabel* lblCallerName_ = nullptr;
    QLabel* lblCallerNumber_ = nullptr;
    QString callerName_;
    QString callerNumber_;

    // Declared so that each goes before what it uses.
    std::unique_ptr<QtMessageWindow> audioWindow_;
    std::unique_ptr<sonvel::Wave> wave1_;
    std::unique_ptr<sonvel::Wave> wavePlayer_;
    std::unique_ptr<sonvel::Wave> waveEvents_;
    std::unique_ptr<Tapi> tapi_;
    std::unique_ptr<CallDisplay> callDisplay_;
    std::unique_ptr<CallRecorder> recorder_;
    std::unique_ptr<DialerView> dialer_;
    std::unique_ptr<LineConnection> line_;
    std::unique_ptr<CallStateMachine> calls_;
};

}  // namespace orvane
