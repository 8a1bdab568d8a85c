#include "core/private_folder.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "core/paths.h"

namespace orvane {

bool MakePrivateFolders(const QString& folder) {
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    if (QFileInfo(clean).isDir()) {
        return true;
    }
    const QString parent = QFileInfo(clean).absolutePath();
    if (parent != clean && !MakePrivateFolders(parent)) {
        return false;
    }
    // mkdir's mode is cut by the umask; 0700 is cut by none that matters.
    if (::mkdir(QFile::encodeName(clean).constData(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    return QFileInfo(clean).isDir();
}

QString UserFilePath(const QString& name) {
    MakePrivateFolders(paths::UserFolder());
    return paths::UserFolder() + QLatin1Char('/') + name;
}

}  // namespace orvane
