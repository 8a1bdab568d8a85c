#pragma once
// The window's export commands: the calls as CSV and recordings as Ogg Opus
// or FLAC. They ask where with the program's file dialogs, hand the work to
// calls/export and report on the status bar's progress bar and in a message
// naming each file that failed.

#include <QObject>
#include <QString>
#include <vector>

#include "calls/export/calls_csv.h"

class QAction;
class QProgressBar;
class QWidget;

namespace orvane {

class CallsListModel;
class CallsListPanel;
class MainWindowSettings;
class RecordingExport;

class ExportCommands final : public QObject {
    Q_OBJECT
  public:
    ExportCommands(CallsListPanel& list, CallsListModel& model, MainWindowSettings& settings,
                   QWidget* owner);

    void SetProgressBar(QProgressBar* bar) { progress_ = bar; }
    // The phone-book names for the CSV's column and the copies' titles.
    void SetCallerNames(CallerNameLookup nameFor) { nameFor_ = std::move(nameFor); }

    // The selected calls when more than one is selected, else every call
    // the list shows, into a CSV file the user names.
    void ExportCsv();
    // The selected calls' recordings (or the current one's): one into the
    // file the user names, several into the folder of the name chosen, each
    // named after its recording. Files already there are replaced only when
    // the user says so (the dialog asks for one; a question for several).
    void ExportRecordings();

    // The commands for the rows' context menu.
    QAction* CsvAction() const { return csvAction_; }
    QAction* RecordingAction() const { return recordingAction_; }
    // The copies being made (objectName "recordingExport").
    RecordingExport& Export() const { return *export_; }

  private:
    std::vector<int> ChosenRows(bool allWhenOne) const;
    QString StartFolder() const;
    void OnProgress(int done, int total);
    void OnFinished(const QStringList& failures);

    CallsListPanel& list_;
    CallsListModel& model_;
    MainWindowSettings& settings_;
    QWidget* owner_;
    QProgressBar* progress_ = nullptr;
    CallerNameLookup nameFor_;
    RecordingExport* export_ = nullptr;
    QAction* csvAction_ = nullptr;
    QAction* recordingAction_ = nullptr;
};

}  // namespace orvane
