#include "core/copy_into_folder.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/atomic_file.h"

namespace orvane {
namespace {

// Enough for any folder a person keeps; beyond it the copy is refused
// rather than searched for ever.
constexpr int kLastNumber = 999;

QString NumberedName(const QString& name, int number) {
    if (number == 1) {
        return name;
    }
    const QFileInfo info(name);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    return QStringLiteral("%1 (%2)%3").arg(info.completeBaseName()).arg(number).arg(suffix);
}

bool Taken(const QString& path) {
    struct stat there {};
    return ::lstat(QFile::encodeName(path).constData(), &there) == 0;
}

}  // namespace

FolderCopy CopyIntoFolder(const QString& source, const QString& folder) {
    const QString name = QFileInfo(source).fileName();
    const QDir target(folder);
    if (!QFileInfo(folder).isDir()) {
        return {{}, folder + QStringLiteral(": is not a folder; nothing was copied")};
    }
    for (int number = 1; number <= kLastNumber; ++number) {
        const QString path = target.filePath(NumberedName(name, number));
        // A look first spares copying the bytes for every name taken; the
        // copy itself still refuses a name taken meanwhile.
        if (Taken(path)) {
            continue;
        }
        bool taken = false;
        const CopyResult result = CopyFileToNew(source, path, &taken);
        if (result.ok) {
            return {path, {}};
        }
        if (!taken) {
            return {{}, result.error};
        }
    }
    return {{},
            target.filePath(name) +
                QStringLiteral(": every numbered name is taken; nothing was copied")};
}

}  // namespace orvane
