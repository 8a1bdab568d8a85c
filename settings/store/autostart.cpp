#include "settings/store/autostart.h"

#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <cerrno>

#include "core/atomic_file.h"
#include "core/paths.h"
#include "core/product.h"
#include "settings/store/registry_file_io.h"
#include "settings/store/registry_routines.h"

namespace orvane::autostart {

namespace {

constexpr unsigned int kFolderMode = 0700;
constexpr unsigned int kEntryMode = 0644;

bool IsNameCharacter(QChar c) {
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.') ||
           c == QLatin1Char('_') || c == QLatin1Char('-');
}

// Quotes one argument when it holds a character the Exec rules reserve.
QString QuoteArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument) {
        needsQuotes = needsQuotes || reserved.contains(c) || c == QLatin1Char('\r');
    }
    if (!needsQuotes) {
        return argument;
    }
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\')) {
            quoted += QLatin1Char('\\');
        }
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}

// The escapes of a string value, applied after quoting; a field code
// character is doubled so the launcher passes it on as written.
QString EscapeStringValue(const QString& value) {
    QString escaped;
    for (const QChar c : value) {
        if (c == QLatin1Char('\\')) {
            escaped += QStringLiteral("\\\\");
        } else if (c == QLatin1Char('\n')) {
            escaped += QStringLiteral("\\n");
        } else if (c == QLatin1Char('\r')) {
            escaped += QStringLiteral("\\r");
        } else if (c == QLatin1Char('\t')) {
            escaped += QStringLiteral("\\t");
        } else if (c == QLatin1Char('%')) {
            escaped += QStringLiteral("%%");
        } else {
            escaped += c;
        }
    }
    return escaped;
}

bool IsProgramFile(const QString& path) {
    return path.startsWith(QLatin1Char('/')) && QFileInfo(path).isFile();
}

QString CommandOf(const RegValue* value) {
    if (value == nullptr) {
        return {};
    }
    if (value->type == kRegSz) {
        return DecodeRegString(value->data);
    }
    if (value->type == kRegExpandSz) {
        return ExpandEnvironmentStrings(DecodeRegString(value->data));
    }
    return {};  // the session starts only text entries
}

}  // namespace

QString EntryFileName(const QString& valueName) {
    if (valueName.isEmpty()) {
        return {};
    }
    for (const QChar c : valueName) {
        if (!IsNameCharacter(c)) {
            return {};
        }
    }
    return valueName.toLower() + QStringLiteral(".desktop");
}

QString ExecValue(const QString& commandLine) {
    QString program;
    QString rest;
    // Try the whole line, then each part that ends before a blank.
    for (qsizetype end = commandLine.size(); end > 0;
         end = commandLine.lastIndexOf(QLatin1Char(' '), end - 1)) {
        if (IsProgramFile(commandLine.left(end))) {
            program = commandLine.left(end);
            rest = commandLine.mid(end);
            break;
        }
    }
    if (program.isEmpty()) {
        const QString trimmed = commandLine.trimmed();
        const qsizetype space = trimmed.indexOf(QLatin1Char(' '));
        program = space < 0 ? trimmed : trimmed.left(space);
        rest = space < 0 ? QString() : trimmed.mid(space);
    }
    QStringList arguments{QuoteArgument(program)};
    static const QRegularExpression blanks(QStringLiteral("[ \t]+"));
    for (const QString& word : rest.split(blanks, Qt::SkipEmptyParts)) {
        arguments.append(QuoteArgument(word));
    }
    return EscapeStringValue(arguments.join(QLatin1Char(' ')));
}

QByteArray EntryContent(const QString& valueName, const QString& commandLine) {
    const QString name = valueName.compare(product::kRunValueName, Qt::CaseInsensitive) == 0
                             ? product::kApplicationTitle
                             : valueName;
    const QString text = QStringLiteral(
                             "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=%1\n"
                             "Exec=%2\n"
                             "Terminal=false\n"
                             "X-GNOME-Autostart-enabled=true\n"
                             "X-GNOME-Autostart-Delay=2\n"
                             "X-KDE-autostart-after=panel\n"
                             "X-LXQt-Need-Tray=true\n")
                             .arg(name, ExecValue(commandLine));
    return text.toUtf8();
}

bool Mirror(const QString& valueName, const RegValue* value) {
    const QString fileName = EntryFileName(valueName);
    if (fileName.isEmpty()) {
        return true;
    }
    const QString folder = paths::AutostartFolder();
    const QString path = folder + QLatin1Char('/') + fileName;
    const QString command = CommandOf(value);
    if (command.trimmed().isEmpty()) {
        return ::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT;
    }
    const QByteArray content = EntryContent(valueName, command);
    QFile existing(path);
    if (QFileInfo(path).isFile() && existing.open(QIODevice::ReadOnly) &&
        existing.readAll() == content) {
        return true;
    }
    return registry_io::MakeFolder(folder, kFolderMode) &&
           ReplaceFileContent(path, content, {kEntryMode, false}) == 0;
}

}  // namespace orvane::autostart
