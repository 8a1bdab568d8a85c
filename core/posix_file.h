#pragma once
// Small helpers over POSIX file descriptors, for the writers that must
// control exactly how a file is opened (no following links, atomic
// replacement) and so cannot use QFile.

#include <QByteArray>
#include <QString>

namespace orvane {

// Writes all of `bytes`, retrying after interruptions and short writes;
// false on the first real error (a full disk, a file size limit).
bool WriteAll(int fd, const QByteArray& bytes);

// The system's words for an errno value ("No space left on device").
QString SystemErrorText(int code);

// fsync of a folder: a rename, a new name or a removal in it only lasts
// through a power cut once the folder is on the disk. False if it could
// not be opened or synced.
bool SyncFolder(const QString& folder);
// SyncFolder of the folder that holds `path`.
bool SyncFolderOf(const QString& path);

}  // namespace orvane
