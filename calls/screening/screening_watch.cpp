#include "calls/screening/screening_watch.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <utility>

#include "calls/screening/screening_file.h"

namespace orvane {

ScreeningWatch::ScreeningWatch(ScreeningFile& file, std::function<void()> reloaded, QObject* parent)
    : QObject(parent), file_(file), reloaded_(std::move(reloaded)) {
    stamp_ = StampNow();
    const QString path = file_.Path();
    if (path.isEmpty()) {
        return;
    }
    // The folder tells of the file made, removed or renamed over (an
    // atomic replace); the file of writes in place.
    const QString folder = QFileInfo(path).absolutePath();
    if (QFileInfo(folder).isDir()) {
        watcher_.addPath(folder);
    }
    if (QFile::exists(path)) {
        watcher_.addPath(path);
    }
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { Check(); });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { Check(); });
}

ScreeningWatch::Stamp ScreeningWatch::StampNow() const {
    Stamp stamp;
    struct stat info {};
    const QString path = file_.Path();
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return stamp;
    }
    stamp.size = static_cast<qint64>(info.st_size);
    stamp.modified = static_cast<qint64>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.inode = static_cast<quint64>(info.st_ino);
    return stamp;
}

bool ScreeningWatch::Check() {
    const QString path = file_.Path();
    // A rename over the file ends its watch; the new file is watched again.
    if (!path.isEmpty() && !watcher_.files().contains(path) && QFile::exists(path)) {
        watcher_.addPath(path);
    }
    const Stamp now = StampNow();
    if (now == stamp_) {
        return false;
    }
    stamp_ = now;
    file_.Load();
    if (reloaded_) {
        reloaded_();
    }
    return true;
}

}  // namespace orvane
