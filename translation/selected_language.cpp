#include "translation/selected_language.h"

#include <QFileInfo>

#include "core/paths.h"
#include "translation/language_file.h"
#include "translation/string_table.h"

// Q_INIT_RESOURCE names a global function: it cannot stand in a namespace.
static void InitBuiltInEnglish() {
    Q_INIT_RESOURCE(built_in_english);
}

namespace orvane {
namespace {

bool IsText(const StringTable& table) {
    for (int id = 1; id <= kLanguageFileLines; ++id) {
        const QString& line = table.Text(id);
        if (line.contains(QChar(u'\0')) || line.contains(QChar::ReplacementCharacter)) {
            return false;
        }
    }
    return true;
}

// Why the file at `path` is not even opened, or an empty text.
QString Refusal(const QString& path) {
    if (path == paths::ShippedTransFolder() || path == paths::UserTransFolder()) {
        return QStringLiteral("no language file is selected");  // see LanguageFilePath
    }
    const QFileInfo info(path);
    if (!info.exists()) {
        return info.isSymLink() ? QStringLiteral("is a link to nothing")
                                : QStringLiteral("the file is missing");
    }
    if (info.isDir()) {
        return QStringLiteral("is a folder");
    }
    if (!info.isFile()) {
        return QStringLiteral("is not a regular file");
    }
    if (info.isSymLink()) {
        // A link among the translations may name another translation; one
        // that leads elsewhere would show any file as the program's texts.
        const QString target = info.canonicalFilePath();
        const auto inside = [&target](const QString& folder) {
            const QString canonical = QFileInfo(folder).canonicalFilePath();
            return !canonical.isEmpty() && target.startsWith(canonical + QLatin1Char('/'));
        };
        if (!inside(paths::UserTransFolder()) && !inside(paths::ShippedTransFolder())) {
            return QStringLiteral("is a link to a file outside the translations folder");
        }
    }
    return QString();
}

QString ReasonOf(qint32 error) {
    switch (error) {
        case file_error::kInputPastEndOfFile:
            return QStringLiteral("has fewer than %1 lines").arg(kLanguageFileLines);
        case file_error::kFileNotFound:
        case file_error::kPathNotFound:
            return QStringLiteral("the file is missing");
        default:
            return QStringLiteral("cannot be read");
    }
}

}  // namespace

QString BuiltInEnglishPath() {
    InitBuiltInEnglish();
    return QStringLiteral(":/orvane/built-in/English");
}

QString LoadLanguageOverBuiltIn(const QString& path) {
    StringTable& table = ProgramStringTable();
    table.Clear();
    table.Load(BuiltInEnglishPath());
    const StringTable builtIn = table;
    QString reason = Refusal(path);
    if (reason.isEmpty()) {
        const qint32 error = table.Load(path);
        if (!IsText(table)) {
            table = builtIn;
            reason = QStringLiteral("is not a text file");
        } else if (error != file_error::kNone) {
            reason = ReasonOf(error);
        }
    }
    return reason.isEmpty() ? QString() : path + QStringLiteral(": ") + reason;
}

}  // namespace orvane
