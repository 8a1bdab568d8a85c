#pragma once
// The calls list on the main window: the table of calls with the note as a
// blue preview line under its row, the calls-list toolbar and the panel
// that stands in for an empty list. A view over the Program's model.

#include <QPersistentModelIndex>
#include <QPoint>
#include <QStringList>
#include <QTableView>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "calls/list/calls_columns_state.h"
#include "calls/store/call_deletion.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QMimeData;
class QProgressBar;
class QToolBar;

namespace orvane {

class CallsListModel;

class CallsListView final : public QTableView {
    Q_OBJECT
  public:
    explicit CallsListView(CallsListModel& model, QWidget* parent = nullptr);

    // The rows' heights for their notes: one text line + 22 + the note's
    // extra height, 22 without a note.
    void UpdateRowHeights();
    int NoteRowHeight(int row) const;
    // Selected rows, top to bottom.
    std::vector<int> SelectedRows() const;
    int CurrentRow() const;
    // The text a cell shows: the caller's number stays left-to-right in a
    // right-to-left layout.
    QString DisplayText(int row, int column) const;
    void SetCurrentRow(int row);
    // Selects exactly the rows of these calls, the first one current.
    void SelectCalls(const std::vector<CallRef>& calls);

    // The columns the list shows, which are also the ones it sorts by.
    static std::vector<int> ShownColumns();
    // The shown columns left to right with their widths.
    std::vector<CallsColumn> Columns() const;
    // Puts the shown columns in this order with these widths.
    void SetColumns(const std::vector<CallsColumn>& columns);
    // The sort the user last chose by a header click, if any.
    std::optional<CallsSort> Sort() const;
    // Sorts as that header click did.
    void SetSort(const CallsSort& sort);

    // Tests see a drag's data and actions here instead of a real drag (an
    // empty hook brings the real one back).
    using DragHook = std::function<void(const QMimeData& data, Qt::DropActions actions)>;
    static void SetDragHookForTesting(DragHook hook);

  Q_SIGNALS:
    // A mouse press in the list (playback stops and the length label
    // follows the current call).
    void CallClicked();
    void OpenNoteRequested(int row);
    void DeleteRequested();
    // Space: play the current call, or pause and resume its playback.
    void PlayPauseRequested();
    // The context menu was asked for over a call (its row now selected) at
    // this point of the screen.
    void ContextMenuRequested(const QPoint& globalPosition);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    // Drags the selected calls' recordings out of the list.
    void startDrag(Qt::DropActions supportedActions) override;

  private:
    // What the user chose, by call rather than by row: a re-read of the
    // store (another program's write) puts rows elsewhere.
    struct Place {
        QString folder;
        bool hadRows = false;
        std::vector<CallRef> selected;
        std::optional<CallRef> current;
        int currentColumn = 0;
        std::optional<CallRef> top;  // the call at the top of the view
        int topOffset = 0;           // its row's offset there (0 or less)
        int horizontal = 0;
    };
    Place RememberPlace() const;
    // Selects exactly these rows (-1 left out), touching no current row.
    void SelectRows(std::vector<int> rows);
    void RestorePlace(const Place& place);
    void OnHeaderClicked(int column);
    void ShowSortArrow(int arrow);
    // Where the keyboard opens the context menu: under the current call.
    QPoint CurrentRowMenuPoint() const;

    CallsListModel& model_;
    Place place_;
    // The call at the top of the view while rows are inserted, and its offset.
    QPersistentModelIndex insertTop_;
    int insertTopOffset_ = 0;
    // The last press was on the mark column, which toggles and never drags.
    bool pressedOnMark_ = false;
};

// The calls list with its toolbar `tlbrCallsList` and the empty panel
// `picNoItems`.
class CallsListPanel final : public QWidget {
    Q_OBJECT
  public:
    // Toolbar positions; 2, 6 and 9 are separators.
    enum Button {
        kPrevious = 0,
        kNext = 1,
        kNotes = 3,
        kSaveToPc = 4,
        kDelete = 5,
        kMarkUnread = 7,
        kMarkRead = 8,
        kCallBack = 10,
    };

    // The player's commands the rows' context menu offers: Play, and
    // Pause or Resume while a call plays.
    struct PlaybackCommands {
        std::function<void()> play;
        std::function<void()> pauseOrResume;
        std::function<bool()> playing;
        std::function<bool()> paused;
    };

    explicit CallsListPanel(CallsListModel& model, QWidget* parent = nullptr);

    // "Ask before deleting calls": Delete asks first (on by default).
    void SetAskBeforeDeleting(bool ask) { askBeforeDeleting_ = ask; }
    bool AskBeforeDeleting() const { return askBeforeDeleting_; }
    // Edit > Undo delete: brings the calls of the last delete back and
    // selects them.
    void UndoDelete();

    CallsListView* View() const { return view_; }
    QToolBar* Toolbar() const { return toolbar_; }
    // The status bar's progress bar, shown while marking or deleting runs.
    void SetProgressBar(QProgressBar* bar) { progress_ = bar; }
    // Runs the toolbar button at this position; other positions do nothing.
    void ButtonClicked(int position);
    // Adds a command of the main window to the rows' context menu, after
    // those already there; its owner enables it and runs it on the calls
    // selected.
    void AddContextAction(QAction* action);
    const std::vector<QAction*>& ContextActions() const { return contextActions_; }
    // The player's commands for the context menu (none: no Play or Pause).
    void SetPlaybackCommands(PlaybackCommands commands) { playback_ = std::move(commands); }
    // The rows' context menu ("callsContextMenu"): the list's own commands
    // for the selected calls, then those added, after a separator. Opened
    // over the list by a right press, the Menu key or Shift+F10.
    QMenu* ContextMenu() const { return contextMenu_; }
    // Fills the context menu for the calls selected now.
    void UpdateContextMenu();
    // The user mark of every selected call, by the model's one rule.
    void ToggleUserMarkSelected();

  Q_SIGNALS:
    // Actions whose windows come later; the main window connects them.
    // Previous or next call moved the current row (a running playback
    // moves on to it).
    void CurrentCallMoved();
    void OpenNoteRequested(int row);
    void SaveToPcRequested(const QString& path);
    // Save a copy with several calls selected: their recordings, top to
    // bottom.
    void SaveCopiesRequested(const QStringList& paths);
    void CallBackRequested(const QString& number);

  private:
    void UpdateEmptyPanel();
    void ShowContextMenu(const QPoint& globalPosition);
    void MarkSelected(bool read);
    // The note of a call with a recording; a call without one has no record
    // to hold a note.
    void OpenNote(int row);
    void SayNoRecording();
    void DeleteSelected();
    void MoveCurrent(int step);
    void StartProgress(int maximum);
    void EndProgress();

    CallsListModel& model_;
    QToolBar* toolbar_ = nullptr;
    CallsListView* view_ = nullptr;
    QFrame* noItems_ = nullptr;
    QProgressBar* progress_ = nullptr;
    std::vector<QAction*> buttons_;
    std::vector<QAction*> contextActions_;
    PlaybackCommands playback_;
    QMenu* contextMenu_ = nullptr;
    // The list's own entries of the context menu.
    struct ContextEntries {
        QAction* play = nullptr;
        QAction* pause = nullptr;
        QAction* notes = nullptr;
        QAction* saveCopy = nullptr;
        QAction* remove = nullptr;
        QAction* markRead = nullptr;
        QAction* markUnread = nullptr;
        QAction* userMark = nullptr;
        QAction* callBack = nullptr;
    } entries_;
    bool askBeforeDeleting_ = true;
};

}  // namespace orvane
