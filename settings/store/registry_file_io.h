#pragma once
// File access for the settings store and its autostart mirror: whole-file
// reads that also tell which version of the file was read, and folders.
// Writes go through ReplaceFileContent (core/atomic_file.h).

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace orvane::registry_io {

// What identifies one version of a file: a rename gives a new inode, a
// rewrite in place a new size or time stamp.
struct FileIdentity {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 mtimeSeconds = 0;
    qint64 mtimeNanoseconds = 0;
    qint64 ctimeSeconds = 0;
    qint64 ctimeNanoseconds = 0;

    bool operator==(const FileIdentity&) const = default;
};

FileIdentity Identify(const QString& path);

// True while a later change to the file could still keep the same time
// stamp: file systems stamp with a coarse clock, so a rewrite of the same
// size within that tick looks unchanged. Such a file is compared by content.
bool MayChangeUnseen(const FileIdentity& identity);

enum class ReadResult { kRead, kMissing, kFailed };

// Reads the whole file and the identity of exactly the version read.
ReadResult ReadWholeFile(const QString& path, QByteArray* content, FileIdentity* identity,
                         QString* error);

// Makes `folder` (and its parents) when missing; the folder itself gets
// `mode`. True when it exists afterwards.
bool MakeFolder(const QString& folder, unsigned int mode);

}  // namespace orvane::registry_io
