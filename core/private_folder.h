#pragma once
// The user's data folder holds calls and their journals: what we make of it
// is readable by the user alone.

#include <QString>

namespace orvane {

// Makes `folder` and any missing parents with mode 0700; folders that exist
// keep their mode. True when `folder` is a folder afterwards.
bool MakePrivateFolders(const QString& folder);

// The user folder (made when missing) + "/" + `name`: for the files the
// program keeps there.
QString UserFilePath(const QString& name);

}  // namespace orvane
