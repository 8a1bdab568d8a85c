#include "app/menus/save_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

#include "core/save_file.h"

namespace orvane {
namespace {

constexpr qint64 kCopyChunk = 64 * 1024;
const QString kLinkRefused =
    QStringLiteral("is a symbolic link, not a recording; nothing was copied");
const QString kNotRegular = QStringLiteral("is not a regular file; nothing was copied");

SaveFileChooser& Chooser() {
    static SaveFileChooser chooser;
    return chooser;
}

CopyResult Failed(const QString& path, const QString& reason) {
    return {false, path + QStringLiteral(": ") + reason};
}

}  // namespace

CopyResult CopyFileUnchanged(const QString& source, const QString& target) {
    // Only a regular file is a recording: a link planted in the recordings
    // folder would copy whatever it points to (any file the user can read).
    const QByteArray sourceName = QFile::encodeName(source);
    struct stat info {};
    if (::lstat(sourceName.constData(), &info) != 0) {
        return Failed(source, QStringLiteral("the recording's file is missing"));
    }
    if (S_ISLNK(info.st_mode)) {
        return Failed(source, kLinkRefused);
    }
    if (!S_ISREG(info.st_mode)) {
        return Failed(source, kNotRegular);
    }
    if (QFileInfo(target).isDir()) {
        return Failed(target, QStringLiteral("is a folder"));
    }
    if (QFileInfo(source).canonicalFilePath() == QFileInfo(target).canonicalFilePath()) {
        return {true, {}};  // already there
    }
    // O_NOFOLLOW and the check after the open: the name may have been
    // swapped for a link or a FIFO since the lstat.
    const int fd = ::open(sourceName.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return Failed(source,
                      errno == ELOOP ? kLinkRefused : QString::fromLocal8Bit(std::strerror(errno)));
    }
    QFile in;
    if (!in.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Failed(source, in.errorString());
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return Failed(source, kNotRegular);
    }
    // QSaveFile writes a temporary file beside the target and renames it
    // only on commit, so a full disk never leaves a short copy behind.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        return Failed(target, out.errorString());
    }
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kCopyChunk);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) {
            return Failed(source, in.errorString());
        }
        if (out.write(chunk) != chunk.size()) {
            // Dropping `out` uncommitted removes the temporary file.
            return Failed(target, out.errorString());
        }
    }
    if (!CommitSaveFile(out)) {
        return Failed(target, out.errorString());
    }
    return {true, {}};
}

QString ChooseSaveFile(QWidget* parent, const QString& title, const QString& proposedPath,
                       const QString& filter) {
    if (Chooser()) {
        return Chooser()(parent, title, proposedPath, filter);
    }
    return QFileDialog::getSaveFileName(parent, title, proposedPath, filter);
}

SaveFileChooser SetSaveFileChooserForTesting(SaveFileChooser chooser) {
    SaveFileChooser previous = std::move(Chooser());
    Chooser() = std::move(chooser);
    return previous;
}

}  // namespace orvane
