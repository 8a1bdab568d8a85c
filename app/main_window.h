#pragma once
// The main window: a view over the running program. It shows the line, the
// caller and the status, forwards the user's commands to the Program and
// owns no service. Closing it only hides it in the tray.

#include <QMainWindow>
#include <memory>

#include "app/menus/window_commands.h"
#include "app/window_placement.h"
#include "calls/export/calls_csv.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QTimer;
class QToolBar;

namespace orvane {

class CallView;
class CallsListPanel;
class CallsFolderBar;
class CallsSearchBar;
class PlaybackBar;
class PlaybackControl;
class RecordQuestionBar;
class Program;
class TrayIcon;
class DesktopNotifier;
class ExportCommands;
enum class MenuCommand;

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(Program& program, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The steps of the program's load that build the window, called by
    // Program::Load in its order.
    void BuildMenus();
    void BuildTray();
    void BuildToolbars();
    // The caller labels, hidden until a call comes in.
    void BuildCallerDisplay();
    void BuildCallsArea();
    // Names the folder whose calls the list shows (above the list).
    void ShowCallsFolder(const QString& folder);
    // The playback buttons, slider and time labels under the calls list.
    void BuildPlaybackArea(PlaybackControl& player);
    void BuildStatusBar();
    void RestorePlacement();
    // Shows the window as the start asks: normal, maximised as last time,
    // or (hidden start) not at all; without a tray it is minimised instead.
    void ShowAtStart(bool hidden);
    void ReportSettingsProblems();
    // A problem found while the program started: a message box once the
    // window is up, or a tray balloon when the start is hidden.
    void ShowStartProblem(const QString& text);
    // Shutdown's share of the window: the tray icon goes, the placement is
    // saved, the clock stops.
    void Unload();

    // What the line and the calls show on this window.
    CallView& CallDisplay();

    // Ends the program (Program::Quit).
    void UnLoadApp();

    // Hides the window to the tray, or minimises it where there is no tray.
    void HideWindow();
    // Brings the window back in normal size, in front.
    void RestoreWindow();

    // Runs the menu command with this key; unknown keys do nothing.
    void MenuClick(const QString& key);
    // Runs the main toolbar's button at this position; others do nothing.
    void ToolbarClick(int position);
    // The windows the commands open; an empty function does nothing.
    void SetWindowCommands(WindowCommands commands);
    // Asks where to save a copy of this recording and copies it there.
    void SaveCopy(const QString& recordingPath);
    // Asks for a folder and copies these recordings into it, each under
    // its own name or a numbered one: nothing there is replaced.
    void SaveCopies(const QStringList& recordingPaths);
    // The phone-book names that exports show (empty: none).
    void SetCallerNames(CallerNameLookup nameFor);
    // Export as CSV and of recordings (null before the calls area is built).
    ExportCommands* Exports() const { return exports_; }

    TrayIcon* Tray() const { return tray_; }
    CallsListPanel* CallsList() const { return callsList_; }
    CallsSearchBar* CallsSearch() const { return callsSearch_; }
    PlaybackBar* Playback() const { return playback_; }
    QMenu* TrayMenu() const { return trayMenu_; }
    bool IsQuitting() const;
    // A recording problem on the status bar until the next one (an empty
    // text takes it away); `notify` also raises the tray's notification.
    void ShowRecordingProblem(const QString& text, bool notify);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    class CallDisplayView;

    void RunCommand(MenuCommand command);
    // The groups of RunCommand; each but the last returns false for a
    // command that is not its own.
    bool RunCallsListCommand(MenuCommand command);
    bool RunWindowCommand(MenuCommand command);
    bool RunHelpCommand(MenuCommand command);
    void RunProgramCommand(MenuCommand command);
    void UpdateTrayLineEntries();
    void ShowAbout();
    QString WebSite();

    void SetLineSwitch(bool open);
    void ShowCallDisplay(bool visible);
    void SetCallerTexts(const QString& name, const QString& number);
    void SavePlacement();
    // The calls list's column widths, order and sort, kept across starts.
    void RestoreCallsColumns();
    void SaveCallsColumns();
    // "Name this number" on the calls list's context menu.
    void AddNameThisNumber();
    void AddBlockThisNumber();
    // The record question's answer, from the caller display or the notice.
    void AnswerRecordQuestion(bool keep);
    void OnTrayMouseDown(Qt::MouseButton button);
    void UpdateClock();
    ScreenMetrics CurrentScreen() const;
    bool HasTray() const;
    // "N of M calls" in the status bar while the search narrows the list.
    void ShowCallsCount();

    Program& program_;
    std::unique_ptr<CallDisplayView> callDisplay_;
    TrayIcon* tray_ = nullptr;
    DesktopNotifier* notifier_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    WindowCommands commands_;
    QTimer* tmrStatus_ = nullptr;
    QLabel* statusPanels_[3] = {nullptr, nullptr, nullptr};
    // Why the line is not open; shown left of the panels only then.
    QLabel* lineProblem_ = nullptr;
    // The recorder's last problem, left of the panels; what came before
    // the status bar was built waits in the string.
    QLabel* recordingProblem_ = nullptr;
    QString earlyRecordingProblem_;
    StoredWindowState restoredState_ = StoredWindowState::Normal;

    // The main toolbar and its line switch.
    QToolBar* cToolbar1_ = nullptr;
    QAction* lineSwitch_ = nullptr;
    bool lineSwitchOpen_ = false;

    // The calls list and the status bar's progress bar it reports to.
    CallsListPanel* callsList_ = nullptr;
    CallsFolderBar* callsFolder_ = nullptr;
    // Edit > Undo delete, enabled while there is a delete to undo.
    QAction* undoDelete_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    PlaybackBar* playback_ = nullptr;
    // The search above the calls list.
    CallsSearchBar* callsSearch_ = nullptr;
    ExportCommands* exports_ = nullptr;
    CallerNameLookup callerNames_;

    // The caller display.
    QWidget* callerDisplay_ = nullptr;
    QLabel* lblRingDisplay_ = nullptr;
    QLabel* lblRing_ = nullptr;
    QLabel* lblCallerName_ = nullptr;
    QLabel* lblCallerNumber_ = nullptr;
    QString callerName_;
    QString callerNumber_;
    RecordQuestionBar* recordQuestion_ = nullptr;
};

}  // namespace orvane
