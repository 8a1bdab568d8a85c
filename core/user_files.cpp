#include "core/user_files.h"

#include <QDir>
#include <QFileInfo>

namespace orvane {
namespace {

bool IsLookupName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(u'\0'));
}

QString Join(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QStringList PlainFiles(const QString& folder, const QStringList& patterns) {
    QStringList names;
    const QFileInfoList entries = QDir(folder).entryInfoList(
        patterns, QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& info : entries) {
        if (!info.isSymLink() && IsLookupName(info.fileName()) &&
            !info.fileName().startsWith(QLatin1Char('.'))) {
            names << info.fileName();
        }
    }
    return names;
}

}  // namespace

QString UserFirstPath(const QString& userFolder, const QString& shippedFolder,
                      const QString& name) {
    if (!IsLookupName(name)) {
        return {};
    }
    // A link in the user's folder counts as nothing there: what the user
    // keeps there is files, and a link could lead anywhere.
    return HasPlainFile(userFolder, name) ? Join(userFolder, name) : Join(shippedFolder, name);
}

QStringList UserFirstNames(const QString& userFolder, const QString& shippedFolder,
                           const QStringList& patterns) {
    QStringList names = PlainFiles(userFolder, patterns);
    const QStringList own = names;
    for (const QString& name : PlainFiles(shippedFolder, patterns)) {
        if (!own.contains(name)) {
            names << name;
        }
    }
    return names;
}

bool HasPlainFile(const QString& folder, const QString& name) {
    if (!IsLookupName(name)) {
        return false;
    }
    const QFileInfo info(Join(folder, name));
    return info.isFile() && !info.isSymLink();
}

}  // namespace orvane
