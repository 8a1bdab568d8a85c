#include "app/menus/save_copy.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>

#include "core/save_file.h"

namespace orvane {
namespace {

constexpr qint64 kCopyChunk = 64 * 1024;

SaveFileChooser& Chooser() {
    static SaveFileChooser chooser;
    return chooser;
}

CopyResult Failed(const QString& path, const QString& reason) {
    return {false, path + QStringLiteral(": ") + reason};
}

}  // namespace

CopyResult CopyFileUnchanged(const QString& source, const QString& target) {
    if (!QFileInfo(source).isFile()) {
        return Failed(source, QStringLiteral("the recording's file is missing"));
    }
    if (QFileInfo(target).isDir()) {
        return Failed(target, QStringLiteral("is a folder"));
    }
    if (QFileInfo(source).canonicalFilePath() == QFileInfo(target).canonicalFilePath()) {
        return {true, {}};  // already there
    }
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        return Failed(source, in.errorString());
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
