#pragma once
// The main window. It owns every long-lived object of the running program;
// loading it initialises the program and unloading it (after an explicit
// exit) shuts the program down. Closing it only hides it in the tray.

#include <QMainWindow>
#include <QPointer>
#include <memory>

#include "app/core/registry_routines.h"
#include "app/global_options.h"
#include "app/window_placement.h"

class QLabel;
class QMenu;
class QTimer;

namespace orvane {

class LiveUpdateForm;
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

    TrayIcon* Tray() const;
    QMenu* TrayMenu() const { return trayMenu_; }
    const GlobalOptions& Options() const { return options_; }
    RegistryRoutines& Settings() { return settings_; }
    bool IsQuitting() const { return quitting_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
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
};

}  // namespace orvane
