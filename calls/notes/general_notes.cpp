#include "calls/notes/general_notes.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/atomic_file.h"
#include "core/posix_file.h"
#include "core/private_folder.h"

namespace orvane {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

QString GeneralNotesFile() {
    return UserFilePath(QStringLiteral("Notes"));
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
    const int code = ReplaceFileContent(path, (text + kCrLf).toUtf8(), {0644, true});
    if (code != 0 && error != nullptr) {
        *error = SystemErrorText(code);
    }
    return code == 0;
}

}  // namespace orvane
