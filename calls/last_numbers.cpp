#include "calls/last_numbers.h"

#include <QFile>

#include "core/atomic_file.h"
#include "core/private_folder.h"

namespace orvane {
namespace {

// A list of 30 short numbers is far below this; more is not our file.
constexpr qint64 kMaxFileBytes = 64 * 1024;

}  // namespace

QString LastNumbersFile() {
    return UserFilePath(QStringLiteral("DialCalls"));
}

QStringList ReadLastNumbers(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        QFile created(path);
        created.open(QIODevice::WriteOnly);
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QString text = QString::fromUtf8(file.read(kMaxFileBytes));
    QStringList numbers;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        if (!line.isEmpty() && !numbers.contains(line)) {
            numbers.append(line);
        }
        if (numbers.size() == kMaxLastNumbers) {
            break;
        }
    }
    return numbers;
}

QStringList WithNumberFirst(const QStringList& numbers, const QString& number) {
    // A line break would split the number into two entries of the file.
    if (number.isEmpty() || number.contains(QLatin1Char('\n')) ||
        number.contains(QLatin1Char('\r'))) {
        return numbers;
    }
    QStringList result{number};
    for (const QString& kept : numbers) {
        if (kept != number && result.size() < kMaxLastNumbers) {
            result.append(kept);
        }
    }
    return result;
}

bool PutNumberFirst(const QString& path, const QString& number) {
    const QStringList before = ReadLastNumbers(path);
    const QStringList numbers = WithNumberFirst(before, number);
    if (numbers == before) {
        return true;
    }
    QByteArray bytes;
    for (const QString& each : numbers) {
        bytes += each.toUtf8() + "\r\n";
    }
    return ReplaceFileContent(path, bytes, UsersFileMode()) == 0;
}

}  // namespace orvane
