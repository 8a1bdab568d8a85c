#pragma once
// Files that come from two folders: the shipped one (read-only) and the
// user's (new, edited or added files). The user's folder is looked at first,
// and a user file hides the shipped file of the same name.

#include <QString>
#include <QStringList>

namespace orvane {

// The user's file called `name` when the user folder holds one (a regular
// file; a link there counts as nothing), else the shipped folder's path for it, whether
// that exists or not. Empty for a name that is not a plain file name
// (empty, "." or "..", holding "/" or NUL).
QString UserFirstPath(const QString& userFolder, const QString& shippedFolder, const QString& name);

// The names of the regular files of both folders that match `patterns`
// (all files when empty): the user's first, then the shipped ones the user
// has no file of that name for, each part sorted without regard to case.
// Links, hidden files and names that are not plain are left out. A missing
// or unreadable folder adds nothing.
QStringList UserFirstNames(const QString& userFolder, const QString& shippedFolder,
                           const QStringList& patterns = {});

// Whether `name` is a regular file in `folder` (links left out).
bool HasPlainFile(const QString& folder, const QString& name);

}  // namespace orvane
