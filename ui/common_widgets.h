#pragma once
// Helpers shared by the program's windows: file dialogs that copy files,
// file lists in combo boxes, the balloon tip at a text box, window lookup.

#include <QPoint>
#include <QString>
#include <functional>
#include <vector>

class QComboBox;
class QLineEdit;
class QWidget;

namespace orvane {

class Tapi;
struct LineDetails;

// What a file dialog is asked; tests see this instead of a modal window.
struct FileDialogRequest {
    enum class Kind { Open, Save, Folder };
    Kind kind = Kind::Open;
    QWidget* owner = nullptr;
    QString title;
    // Name and pattern as one Qt filter, e.g. "wav (*.wav)".
    QString filter;
    // Save dialogs: the file name offered, in `folder` (empty: the home
    // folder); folder dialogs start in `folder`.
    QString proposedName;
    QString folder;
    // Save dialogs with several filters (";;" between them): where the one
    // the user chose is put; null when the caller does not ask.
    QString* selectedFilter = nullptr;
};

// The path a save dialog offers: the proposed name in its folder.
QString ProposedSavePath(const FileDialogRequest& request);

// Answers file dialogs in place of the user: the chosen path, or "" for a
// cancelled dialog.
using FileDialogHook = std::function<QString(const FileDialogRequest&)>;

// Installs a hook (an empty one brings the real dialogs back) and returns the
// one it replaces.
FileDialogHook SetFileDialogHook(FileDialogHook hook);

// Shows a modal file dialog, or asks the hook; returns the chosen path or "".
QString RunFileDialog(const FileDialogRequest& request);

// True when a top-level widget has exactly this objectName, shown or not.
bool IsFormLoaded(const QString& name);

// Asks for a sound with the "Add Sound" dialog and copies it into the target
// folder under its own name; returns the name the copy got, or "" when
// cancelled or failed. The same file already there is not copied again; a
// different file of that name is kept, and the new one is stored as
// "name (2).wav", "name (3).wav", ...
QString AddSoundFile(QWidget* owner, const QString& targetFolder);

struct SaveCopyOutcome {
    QString chosen;  // where the user chose to save; empty when cancelled
    QString error;   // the path that failed and why; empty unless the copy failed
    bool Failed() const { return !error.isEmpty(); }
    explicit operator bool() const { return !chosen.isEmpty() && error.isEmpty(); }
};

// Asks where to save a copy of `source` (dialog "Save", filter "ext (*.ext)",
// offering the source's own name in `folder`, or in the home folder) and
// copies it there with CopyFileUnchanged: only a regular file is copied,
// and an existing file at the chosen place is replaced only once the whole
// copy is written.
SaveCopyOutcome SaveCopyAs(const QString& source, QWidget* owner, const QString& extension,
                           const QString& folder = QString());

// Refills the box with `names` as they come. Then shows `name` when it is
// not empty, else selects the first entry. A name that is not in a
// non-editable box writes an "errFilFile" line to the system journal.
void FillNameList(QComboBox* box, const QStringList& names, const QString& name);

// Refills the box with the names of the visible files in `folder` that match
// `pattern` (e.g. "*.wav"), by name. Then shows `name` when it is not empty,
// else selects the first entry. A missing folder, or a name that is not in a
// non-editable box, writes an "errFilFile" line to the system journal.
void FillFileList(QComboBox* box, const QString& folder, const QString& pattern,
                  const QString& name);

// A balloon with the information icon under the text box; it goes away when
// clicked, when the user types, or after ten seconds.
void ShowTextBoxBalloon(QLineEdit* box, const QString& title, const QString& text);

// Refills the box with the names of the telephony control's line devices,
// or of the recommended ones only (IsRecommendedLine), in device order (each
// entry's data is its name too), and selects the entry at the index that
// was selected before (none when the list got shorter). True when the list
// is not empty.
bool FillLineDevices(Tapi& tapi, QComboBox* box, bool recommendedOnly);
// The same from a list of devices taken before (ListLineDevices).
bool FillLineDevices(const std::vector<LineDetails>& lines, QComboBox* box, bool recommendedOnly);

// The mouse position on the screen.
QPoint GetMousePosition();

}  // namespace orvane
