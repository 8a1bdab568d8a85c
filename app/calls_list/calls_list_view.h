#pragma once
// The calls list on the main window: the table of calls with the note as a
// blue preview line under its row, the calls-list toolbar and the panel
// that stands in for an empty list. A view over the Program's model.

#include <QTableView>
#include <QWidget>
#include <vector>

class QAction;
class QFrame;
class QLabel;
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

  Q_SIGNALS:
    // A mouse press in the list (playback stops and the length label
    // follows the current call).
    void CallClicked();
    void OpenNoteRequested(int row);
    void DeleteRequested();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

  private:
    void OnHeaderClicked(int column);

    CallsListModel& model_;
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

    explicit CallsListPanel(CallsListModel& model, QWidget* parent = nullptr);

    CallsListView* View() const { return view_; }
    QToolBar* Toolbar() const { return toolbar_; }
    // The status bar's progress bar, shown while marking or deleting runs.
    void SetProgressBar(QProgressBar* bar) { progress_ = bar; }
    // Runs the toolbar button at this position; other positions do nothing.
    void ButtonClicked(int position);

  Q_SIGNALS:
    // Actions whose windows come later; the main window connects them.
    // Previous or next call moved the current row (a running playback
    // moves on to it).
    void CurrentCallMoved();
    void OpenNoteRequested(int row);
    void SaveToPcRequested(const QString& path);
    void CallBackRequested(const QString& number);

  private:
    void UpdateEmptyPanel();
    void MarkSelected(bool read);
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
};

}  // namespace orvane
