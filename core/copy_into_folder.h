#pragma once
// Copies of the user's files into a folder the user chose: each under its
// own name, or "name (2).wav", "name (3).wav", ... when that name is taken
// there. A file already in the folder is never replaced, not even by one
// that appears there while the copy is written.

#include <QString>

namespace orvane {

struct FolderCopy {
    QString copy;   // the new file's path; empty when nothing was copied
    QString error;  // what failed and why, for the user; empty on success
};

FolderCopy CopyIntoFolder(const QString& source, const QString& folder);

}  // namespace orvane
