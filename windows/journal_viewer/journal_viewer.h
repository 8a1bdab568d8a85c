#pragma once
// The journal viewer (frmLog): the kinds of journal, the files of the chosen
// kind newest first, and the lines of the chosen file; delete a file (asking
// first when the user wants that) or save a copy of it. Opening it deletes
// the files past the journal's age. A large file shows its first lines at
// once and the rest piece by piece while the window stays responsive.

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "journal/journal_file_reader.h"
#include "journal/journal_writer.h"

class QComboBox;
class QLabel;
class QTableView;
class QListWidget;
class QPushButton;

namespace orvane {

class JournalLinesModel;
class LogSettings;

class JournalViewer final : public QDialog {
  public:
    // Bytes read before the window first shows a file, and then per step.
    static constexpr qint64 kFirstPieceBytes = qint64{256} << 10;
    static constexpr qint64 kPieceBytes = qint64{1} << 20;

    // `journal` gives the folder, the day reading and the clock; it must
    // outlive the viewer, like `settings`.
    JournalViewer(const JournalWriter& journal, const LogSettings& settings,
                  QWidget* parent = nullptr);
    ~JournalViewer() override;

    // Texts and direction from the loaded language, pruning by age, the
    // files of all kinds with the newest shown; then shows the window modal.
    void Open();

    // Deletes the files older than the "cmbLogFor" age.
    void RangeForLog();

    // The buttons.
    void DeleteSelected();
    void SaveSelectedAs();

    // Loads the next piece of the shown file; false once it is all shown.
    // The window's timer calls it; tests drive it step by step.
    bool LoadStep();
    bool IsLoading() const { return reader_.IsOpen(); }

    QStringList Lines() const;
    // The lines' horizontal extent: the widest line in pixels plus 50.
    int LinesExtent() const;
    QComboBox* Kinds() const { return kinds_; }
    QListWidget* Files() const { return files_; }
    QTableView* LinesView() const { return lines_; }
    // Says that the journals are off and how to switch them on; hidden
    // while both are on.
    QLabel* JournalsOffNote() const { return journalsOff_; }

  private:
    void ApplyTexts();
    void FillFiles();
    void ShowFile(const QString& name);
    void StopLoading();
    void ApplyExtent();
    void ShowJournalsOffNote();

    const JournalWriter& journal_;
    const LogSettings& settings_;
    JournalFileReader reader_;
    QTimer loadTimer_;
    JournalLinesModel* model_ = nullptr;
    QComboBox* kinds_ = nullptr;
    QListWidget* files_ = nullptr;
    QTableView* lines_ = nullptr;
    QLabel* display_ = nullptr;
    QLabel* date_ = nullptr;
    QLabel* details_ = nullptr;
    QPushButton* saveAs_ = nullptr;
    QPushButton* delete_ = nullptr;
    QLabel* journalsOff_ = nullptr;
};

}  // namespace orvane
