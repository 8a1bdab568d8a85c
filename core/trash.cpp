#include "core/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <cerrno>
#include <cstdio>

#include "core/posix_file.h"

namespace orvane {
namespace {

constexpr int kNameAttempts = 1000;
constexpr qint64 kInfoLimit = 64 * 1024;
const QString kInfoSuffix = QStringLiteral(".trashinfo");

QByteArray Encoded(const QString& path) {
    return QFile::encodeName(path);
}

QString AbsolutePath(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool StatOf(const QString& path, struct stat* info, bool follow = true) {
    const QByteArray name = Encoded(path);
    return (follow ? ::stat(name.constData(), info) : ::lstat(name.constData(), info)) == 0;
}

bool Exists(const QString& path) {
    struct stat info {};
    return StatOf(path, &info, false);
}

// A folder of ours: made 0700 when missing; a link or something not owned
// by the user is no trash folder.
bool OwnFolder(const QString& path) {
    const QByteArray name = Encoded(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat info {};
    return ::lstat(name.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid();
}

// A trash folder with its "files" and "info" folders, made as needed.
bool UsableTrash(const QString& trash) {
    return OwnFolder(trash) && OwnFolder(trash + QStringLiteral("/files")) &&
           OwnFolder(trash + QStringLiteral("/info"));
}

QString HomeTrash() {
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return dataHome.isEmpty() ? QString() : dataHome + QStringLiteral("/Trash");
}

// The top folder of the disk that holds `folder`: the last folder upwards
// on the same device.
QString TopFolder(const QString& folder) {
    QString at = QFileInfo(folder).canonicalFilePath();
    struct stat here {};
    if (at.isEmpty() || !StatOf(at, &here)) {
        return {};
    }
    while (at != QStringLiteral("/")) {
        const QString up = QFileInfo(at).path();
        struct stat above {};
        if (!StatOf(up, &above) || above.st_dev != here.st_dev) {
            break;
        }
        at = up;
    }
    return at;
}

QString Joined(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// The trash folders of the disk of `folder`, the administrator's first;
// `create` makes the one to use when missing.
QStringList DiskTrashes(const QString& folder, bool create) {
    const QString top = TopFolder(folder);
    if (top.isEmpty()) {
        return {};
    }
    const QString uid = QString::number(::geteuid());
    QStringList trashes;
    // An administrator's $topdir/.Trash: a sticky folder, not a link.
    const QString shared = Joined(top, QStringLiteral(".Trash"));
    struct stat info {};
    if (StatOf(shared, &info, false) && S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX) != 0) {
        const QString mine = shared + QLatin1Char('/') + uid;
        if (create ? UsableTrash(mine) : Exists(mine)) {
            trashes << mine;
        }
    }
    // Else the user's own $topdir/.Trash-$uid, made only when needed.
    const QString own = Joined(top, QStringLiteral(".Trash-") + uid);
    if (create && trashes.isEmpty() ? UsableTrash(own) : Exists(own)) {
        trashes << own;
    }
    return trashes;
}

// The trash folders to try for a file in `folder`, best first.
QStringList TrashesFor(const QString& folder) {
    QStringList trashes;
    const QString home = HomeTrash();
    struct stat file {};
    if (home.isEmpty() || !StatOf(folder, &file)) {
        return home.isEmpty() ? DiskTrashes(folder, true) : trashes;
    }
    // The home trash takes files of its own disk; before it exists, the
    // nearest folder above it tells the disk.
    struct stat trash {};
    bool found = false;
    for (QString at = home; !at.isEmpty() && !found; at = QFileInfo(at).path()) {
        found = StatOf(at, &trash);
        if (at == QStringLiteral("/")) {
            break;
        }
    }
    if (found && trash.st_dev == file.st_dev) {
        if (QDir().mkpath(QFileInfo(home).path()) && UsableTrash(home)) {
            trashes << home;
        }
        return trashes;
    }
    // Another disk: its own trash, never a copy into the home trash.
    return DiskTrashes(folder, true);
}

// "name", then "stem.2.ext", "stem.3.ext", …
QString CandidateName(const QString& name, int attempt) {
    if (attempt == 0) {
        return name;
    }
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString number = QString::number(attempt + 1);
    if (dot <= 0) {
        return name + QLatin1Char('.') + number;
    }
    return name.left(dot) + QLatin1Char('.') + number + name.mid(dot);
}

// rename() that never replaces what is at `to`.
int RenameNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return -1;
    }
    // A file system without RENAME_NOREPLACE: look first.
    struct stat info {};
    if (::lstat(to.constData(), &info) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from.constData(), to.constData());
}

QByteArray InfoText(const QString& original) {
    return "[Trash Info]\nPath=" + Encoded(original).toPercentEncoding("/") + "\nDeletionDate=" +
           QDateTime::currentDateTime().toString(Qt::ISODate).left(19).toUtf8() + '\n';
}

enum class Move { kDone, kOtherDisk, kFailed };

Move MoveInto(const QString& trash, const QString& original, TrashEntry* entry) {
    const QString name = QFileInfo(original).fileName();
    const QByteArray text = InfoText(original);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QString candidate = CandidateName(name, attempt);
        const QString info = trash + QStringLiteral("/info/") + candidate + kInfoSuffix;
        const QString file = trash + QStringLiteral("/files/") + candidate;
        const QByteArray infoName = Encoded(info);
        const int fd = ::open(infoName.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return Move::kFailed;
        }
        // Complete before the file moves: a crash in between leaves a
        // .trashinfo that names the file, which RemoveOrphanedTrashInfo finds.
        const bool written = WriteAll(fd, text);
        const bool closed = ::close(fd) == 0;
        if (!written || !closed) {
            ::unlink(infoName.constData());
            return Move::kFailed;
        }
        if (RenameNoReplace(Encoded(original), Encoded(file)) == 0) {
            if (entry != nullptr) {
                *entry = TrashEntry{original, file, info};
            }
            return Move::kDone;
        }
        const int error = errno;
        ::unlink(infoName.constData());
        if (error == EEXIST) {
            continue;  // a file of that name without a .trashinfo
        }
        return error == EXDEV ? Move::kOtherDisk : Move::kFailed;
    }
    return Move::kFailed;
}

}  // namespace

TrashOutcome MoveToTrash(const QString& path, TrashEntry* entry) {
    if (path.isEmpty() || !Exists(path)) {
        return TrashOutcome::kAbsent;
    }
    const QString original = AbsolutePath(path);
    for (const QString& trash : TrashesFor(QFileInfo(original).path())) {
        const Move move = MoveInto(trash, original, entry);
        if (move == Move::kDone) {
            return TrashOutcome::kTrashed;
        }
        if (move == Move::kFailed && !Exists(original)) {
            return TrashOutcome::kAbsent;
        }
    }
    // No trash takes it: the user asked for it to go.
    if (::unlink(Encoded(original).constData()) == 0) {
        return TrashOutcome::kRemoved;
    }
    return errno == ENOENT ? TrashOutcome::kAbsent : TrashOutcome::kFailed;
}

bool RestoreFromTrash(const TrashEntry& entry) {
    if (entry.IsEmpty() || entry.original.isEmpty()) {
        return false;
    }
    if (RenameNoReplace(Encoded(entry.file), Encoded(entry.original)) != 0) {
        return false;
    }
    ::unlink(Encoded(entry.info).constData());
    return true;
}

QStringList TrashFoldersFor(const QString& path) {
    QStringList trashes;
    const QString home = HomeTrash();
    if (!home.isEmpty() && Exists(home)) {
        trashes << home;
    }
    for (const QString& trash : DiskTrashes(QFileInfo(AbsolutePath(path)).path(), false)) {
        if (!trashes.contains(trash)) {
            trashes << trash;
        }
    }
    return trashes;
}

int RemoveOrphanedTrashInfo(const QStringList& originals) {
    QSet<QString> wanted;
    QStringList trashes;
    for (const QString& original : originals) {
        const QString absolute = AbsolutePath(original);
        wanted.insert(absolute);
        for (const QString& trash : TrashFoldersFor(absolute)) {
            if (!trashes.contains(trash)) {
                trashes << trash;
            }
        }
    }
    int removed = 0;
    for (const QString& trash : trashes) {
        const QDir infoFolder(trash + QStringLiteral("/info"));
        const QStringList infos = infoFolder.entryList({QStringLiteral("*") + kInfoSuffix},
                                                       QDir::Files | QDir::Hidden | QDir::System);
        for (const QString& infoName : infos) {
            // Only a .trashinfo without its file is read.
            if (Exists(trash + QStringLiteral("/files/") + infoName.chopped(kInfoSuffix.size()))) {
                continue;
            }
            QFile info(infoFolder.filePath(infoName));
            if (!info.open(QIODevice::ReadOnly) || info.size() > kInfoLimit) {
                continue;
            }
            QString named;
            for (const QByteArray& line : info.readAll().split('\n')) {
                if (line.startsWith("Path=")) {
                    named =
                        QFile::decodeName(QByteArray::fromPercentEncoding(line.mid(5).trimmed()));
                    break;
                }
            }
            info.close();
            if (wanted.contains(named) && info.remove()) {
                ++removed;
            }
        }
    }
    return removed;
}

}  // namespace orvane
