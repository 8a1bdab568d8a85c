#pragma once
// Small helpers over POSIX file descriptors, for the writers that must
// control exactly how a file is opened (no following links, atomic
// replacement) and so cannot use QFile.

#include <QByteArray>

namespace orvane {

// Writes all of `bytes`, retrying after interruptions and short writes;
// false on the first real error (a full disk, a file size limit).
bool WriteAll(int fd, const QByteArray& bytes);

}  // namespace orvane
