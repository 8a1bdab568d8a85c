#include "settings/setup/portable_upgrade.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/paths.h"
#include "core/private_folder.h"

namespace orvane::setup {
namespace {

// Marks the upgrade done for this user; its content says what it is.
const QString kDoneMark = QStringLiteral(".portable-upgrade-done");

// Only regular files come over: a link planted in the old folder would copy
// whatever it points at into the user's folder.
bool IsPlainFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && !info.isSymLink();
}

void Bring(const QString& from, const QString& to, UpgradeReport& report) {
    if (!IsPlainFile(from)) {
        return;
    }
    if (QFileInfo::exists(to) || QFileInfo(to).isSymLink()) {
        report.left.append(QStringLiteral("%1 was left in place: %2 exists").arg(from, to));
        return;
    }
    if (!MakePrivateFolders(QFileInfo(to).absolutePath())) {
        report.left.append(QStringLiteral("%1 was left in place: cannot make the folder %2")
                               .arg(from, QFileInfo(to).absolutePath()));
        return;
    }
    // A rename keeps the file whole; across file systems, or out of a
    // read-only folder, the file is copied and the old one stays.
    if (QFile::rename(from, to)) {
        report.brought.append(to);
        return;
    }
    if (!QFileInfo::exists(to) && QFile::copy(from, to)) {
        QFile::remove(from);
        report.brought.append(to);
        return;
    }
    report.left.append(QStringLiteral("%1 was left in place: cannot copy it to %2").arg(from, to));
}

}  // namespace

void BringOldJournals(UpgradeReport& report) {
    const QDir old(paths::ProgramFolder() + QStringLiteral("/Journal"));
    if (!old.exists()) {
        return;
    }
    for (const QString& name : old.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        Bring(old.filePath(name), paths::JournalFolder() + name, report);
    }
}

void BringOldGeneralNotes(UpgradeReport& report) {
    Bring(paths::ProgramFolder() + QStringLiteral("/Notes"),
          paths::UserFolder() + QStringLiteral("/Notes"), report);
}

void BringOldLastNumbers(UpgradeReport& report) {
    Bring(paths::ProgramFolder() + QStringLiteral("/DialCalls"),
          paths::UserFolder() + QStringLiteral("/DialCalls"), report);
}

UpgradeReport BringOldUserFiles() {
    UpgradeReport report;
    const QString mark = paths::UserFolder() + QLatin1Char('/') + kDoneMark;
    if (QFileInfo::exists(mark) || !MakePrivateFolders(paths::UserFolder())) {
        return report;
    }
    BringOldJournals(report);
    BringOldGeneralNotes(report);
    BringOldLastNumbers(report);
    QFile done(mark);
    if (done.open(QIODevice::WriteOnly)) {
        done.write("Files of the portable program folder were brought here.\n");
    }
    return report;
}

}  // namespace orvane::setup
