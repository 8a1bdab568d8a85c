#pragma once
// The call note editor `frmCallNotes`: the note of one row of the calls
// list in the text box `txtNote`, saved into the call's record by Add
// (`cmdAdd`), left alone by Cancel (`cmdCancel`) or Esc.

#include <QDialog>
#include <QPersistentModelIndex>
#include <QPlainTextEdit>

#include "calls/store/call_deletion.h"

class QPushButton;

namespace orvane {

class CallsListModel;

// The note's text box: refuses what would take the note past its limits,
// with a balloon tip saying why, and asks for Add on Ctrl+Enter.
class NoteTextEdit final : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit NoteTextEdit(QWidget* parent = nullptr);

    // The text as stored: lines separated by CR LF.
    QString Note() const;
    void SetNote(const QString& note);

  Q_SIGNALS:
    void AddRequested();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

  private:
    // Whether `inserted` may replace the selection; shows the balloon if not.
    bool MayInsert(const QString& inserted);
};

class CallNotesWindow final : public QDialog {
    Q_OBJECT
  public:
    // Edits the note of `row` of `list`.
    CallNotesWindow(CallsListModel& list, int row, QWidget* parent = nullptr);

    NoteTextEdit* NoteBox() const { return note_; }
    QPushButton* AddButton() const { return add_; }

    // cmdAdd: refuses a note over 155 characters (the window stays open),
    // else saves it and closes; a store failure is reported and the window
    // stays open with the text; a call no longer listed is reported and
    // the window closes.
    void Add();

  private:
    CallsListModel& list_;
    // The call's row: it follows calls stored or deleted meanwhile; after a
    // re-read of the whole list it is found again by the call and folder.
    QPersistentModelIndex row_;
    CallRef call_;
    QString folder_;
    NoteTextEdit* note_ = nullptr;
    QPushButton* add_ = nullptr;
};

}  // namespace orvane
