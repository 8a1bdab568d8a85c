#pragma once
// Replacing a file whole. The new contents go to a temporary file beside
// the old one, reach the disk and are renamed over its name; then the
// folder is synced, so the rename lasts. A crash, a full disk or a killed
// writer leaves the old file as it was, and at most a temporary that the
// next replace of the same file removes. The rename puts a new file in the
// place of a link found at the name: what the link points to is never
// written.

#include <QByteArray>
#include <QString>
#include <functional>

namespace orvane {

// The permission bits of the new file.
struct NewFileMode {
    unsigned int bits = 0600;
    // The replaced file's bits win when there is a regular file at the name.
    bool keepExisting = false;
};

// As for a file the user makes: the bits of the file replaced, else 0666
// less the process's umask.
NewFileMode UsersFileMode();

// Writes the new file through `write`, given the temporary's descriptor
// (which it must not close); `write` returns false with errno set when it
// fails. Returns 0, or the errno of the step that failed (EIO where none
// was set).
int ReplaceFileWith(const QString& path, NewFileMode mode,
                    const std::function<bool(int fd)>& write);

// ReplaceFileWith for a file that must be new: whatever is at the name
// already (a file, a link, a folder) stays as it is, and EEXIST comes back.
int CreateFileWith(const QString& path, NewFileMode mode, const std::function<bool(int fd)>& write);

// ReplaceFileWith for contents at hand.
int ReplaceFileContent(const QString& path, const QByteArray& content, NewFileMode mode);

struct CopyResult {
    bool ok = false;
    QString error;  // the path that failed and why, for the user; empty on success
};

// Copies the regular file `source` byte for byte over `target` (the bytes
// it holds when opened), through ReplaceFileWith with UsersFileMode. A link
// or anything but a regular file as the source is refused: a link planted
// among the user's files would copy whatever it points to. Copying a file
// onto itself succeeds without writing.
CopyResult CopyFileUnchanged(const QString& source, const QString& target);

// CopyFileUnchanged into a new file only: a name already taken fails with
// `taken` set (when given) and what is there is left untouched.
CopyResult CopyFileToNew(const QString& source, const QString& target, bool* taken = nullptr);

}  // namespace orvane
