#pragma once
// Saving a copy of a recording somewhere of the user's choosing: the copy
// itself, which never leaves a half-written file under the chosen name, and
// the desktop's save dialog, replaceable in tests.

#include <QString>
#include <functional>

class QWidget;

namespace orvane {

struct CopyResult {
    bool ok = false;
    QString error;  // why it failed, for the user; empty on success
};

// Copies `source` byte for byte to `target` through a temporary file beside
// the target, renamed over it only once every byte is written. On failure
// the target is as it was before (absent, or its old contents).
CopyResult CopyFileUnchanged(const QString& source, const QString& target);

// Asks where to save: the dialog's title, the proposed path (folder and
// name) and its one filter. Returns the chosen path, empty on cancel.
// The desktop's dialog asks before it overwrites a file.
using SaveFileChooser = std::function<QString(QWidget* parent, const QString& title,
                                              const QString& proposedPath, const QString& filter)>;
QString ChooseSaveFile(QWidget* parent, const QString& title, const QString& proposedPath,
                       const QString& filter);
// Replaces the dialog (an empty function brings the desktop's back);
// returns the one it replaces.
SaveFileChooser SetSaveFileChooserForTesting(SaveFileChooser chooser);

}  // namespace orvane
