#pragma once
// What a drag of calls out of the list carries, for a file manager or a
// mail program: their recordings as file addresses (text/uri-list) and
// their paths as plain text, one a line. A drag only ever offers a copy,
// so a drop never moves a recording out of the recordings folder.

#include <QMimeData>
#include <QStringList>
#include <memory>

namespace orvane {

inline constexpr Qt::DropActions kRecordingsDragActions = Qt::CopyAction;

// Only recordings that are regular files now go along: a missing file or a
// link planted in the folder is left out. Null when none is left.
std::unique_ptr<QMimeData> RecordingsMimeData(const QStringList& paths);

}  // namespace orvane
