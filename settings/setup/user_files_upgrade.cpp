#include "settings/setup/user_files_upgrade.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/atomic_file.h"
#include "core/paths.h"
#include "core/private_folder.h"

namespace orvane::setup {
namespace {

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool MadeInTheEditor(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    QByteArray first = file.readLine(16);
    while (first.endsWith('\n') || first.endsWith('\r')) {
        first.chop(1);
    }
    if (first.startsWith("\xEF\xBB\xBF")) {
        first.remove(0, 3);
    }
    return first == "1";
}

bool IsUsers(const QFileInfo& old, const QString& shippedFolder, bool translation) {
    if (translation && MadeInTheEditor(old.filePath())) {
        return true;
    }
    const QFileInfo shipped(shippedFolder + old.fileName());
    if (shipped.canonicalFilePath() == old.canonicalFilePath()) {
        return false;  // the shipped file itself
    }
    if (!shipped.isFile()) {
        return true;
    }
    return shipped.size() != old.size() || Contents(shipped.filePath()) != Contents(old.filePath());
}

void BringOver(const QString& oldFolder, const QString& shippedFolder, const QString& userFolder,
               bool translation, QStringList& report) {
    const QString canonicalOld = QFileInfo(oldFolder).canonicalFilePath();
    if (canonicalOld.isEmpty()) {
        return;
    }
    const bool oldIsShipped = canonicalOld == QFileInfo(shippedFolder).canonicalFilePath();
    const QFileInfoList files =
        QDir(oldFolder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& old : files) {
        if (old.isSymLink() || !IsUsers(old, shippedFolder, translation)) {
            continue;
        }
        const QString target = userFolder + old.fileName();
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) {
            report << QStringLiteral("Kept %1: %2 exists").arg(old.filePath(), target);
            continue;
        }
        if (!MakePrivateFolders(userFolder)) {
            report
                << QStringLiteral("Cannot copy %1: cannot make %2").arg(old.filePath(), userFolder);
            continue;
        }
        const CopyResult copy = CopyFileUnchanged(old.filePath(), target);
        if (!copy.ok) {
            report << QStringLiteral("Cannot copy %1: %2").arg(old.filePath(), copy.error);
            continue;
        }
        report << QStringLiteral("Copied %1 to %2").arg(old.filePath(), target);
        if (oldIsShipped) {
            QFile::remove(old.filePath());
        }
    }
}

}  // namespace

QStringList BringOverUserFiles(const QString& programFolder) {
    QStringList report;
    BringOver(programFolder + QStringLiteral("/Trans/"), paths::ShippedTransFolder(),
              paths::UserTransFolder(), true, report);
    BringOver(programFolder + QStringLiteral("/Sound/"), paths::ShippedSoundFolder(),
              paths::UserSoundFolder(), false, report);
    return report;
}

}  // namespace orvane::setup
