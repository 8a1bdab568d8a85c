#pragma once
// Finishing a QSaveFile safely. Qt's commit() renames the new file over the
// old one even when the bytes still in its buffer could not be written (a
// full disk, a file size limit), which would replace a good file with a
// short one. CommitSaveFile writes the buffer out first and gives the new
// file up when that fails, so the old file stays as it was.

class QSaveFile;

namespace orvane {

// Flushes, syncs and renames `file` over its target; on any failure the
// temporary file is removed, the target is untouched and false returned.
bool CommitSaveFile(QSaveFile& file);

}  // namespace orvane
