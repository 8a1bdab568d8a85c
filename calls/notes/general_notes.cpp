#include "calls/notes/general_notes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/paths.h"
#include "core/posix_file.h"

namespace orvane {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

QString GeneralNotesFile() {
    return paths::ProgramFolder() + QStringLiteral("/Notes");
}

std::optional<QString> LoadGeneralNotes(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        if (!file.open(QIODevice::WriteOnly)) {
            return std::nullopt;
        }
        file.close();
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QString text;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (line.endsWith('\n')) {
            line.chop(1);
        }
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        text += QString::fromUtf8(line) + kCrLf;
    }
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return text.size() > 2 ? text.chopped(2) : QString();
}

bool SaveGeneralNotes(const QString& path, const QString& text, QString* error) {
    // Not QSaveFile: it took a write cut short by a full disk for a whole one
    // and renamed the cut file over the notes.
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary = target + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    bool ok = fd >= 0;
    int code = ok ? 0 : errno;
    if (ok) {
        struct stat old {};
        const mode_t mode = ::stat(target.constData(), &old) == 0 ? (old.st_mode & 07777) : 0644;
        ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, (text + kCrLf).toUtf8()) &&
             ::fdatasync(fd) == 0;
        code = ok ? 0 : errno;
        if (::close(fd) != 0 && ok) {
            ok = false;
            code = errno;
        }
        if (ok && ::rename(temporary.constData(), target.constData()) != 0) {
            ok = false;
            code = errno;
        }
        if (!ok) {
            ::unlink(temporary.constData());
        }
    }
    if (!ok) {
        if (error != nullptr) {
            *error = SystemErrorText(code);
        }
        return false;
    }
    SyncFolderOf(path);
    return true;
}

}  // namespace orvane
