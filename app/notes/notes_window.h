#pragma once
// The general notes window `frmNotes`: one text box (`Text1`) filling the
// window over the general notes file, read when the window opens and
// written when it closes.

#include <QDialog>
#include <QString>

class QPlainTextEdit;

namespace orvane {

// A note's text box in a right-to-left language: lines start at the right,
// also lines of left-to-right text and the empty box the cursor starts in.
void FollowLanguageDirection(QPlainTextEdit* box);

class NotesWindow final : public QDialog {
    Q_OBJECT
  public:
    // Reads `path` (GeneralNotesFile() by default), creating it when missing.
    explicit NotesWindow(const QString& path = {}, QWidget* parent = nullptr);

    QPlainTextEdit* TextBox() const { return text_; }

    // Closing writes the text. When the file cannot be written it keeps its
    // old text and the user chooses to close anyway or stay; a file that
    // could not be read is not written over unless the user changed the text.
    void done(int result) override;

  private:
    QString path_;
    QPlainTextEdit* text_ = nullptr;
    bool loaded_ = false;
};

}  // namespace orvane
