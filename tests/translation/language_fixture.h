#pragma once
// Language files made to measure for the translation tests.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

namespace orvane::testing {

// `count` lines: line 10 is `direction`, every other line n reads
// `prefix` + n; each line ends in `lineEnd`.
inline QByteArray LanguageLines(int count, const QByteArray& direction = "LTR",
                                const QByteArray& prefix = "text ",
                                const QByteArray& lineEnd = "\r\n") {
    QByteArray bytes;
    for (int n = 1; n <= count; ++n) {
        bytes += (n == 10 ? direction : prefix + QByteArray::number(n)) + lineEnd;
    }
    return bytes;
}

inline QString WriteBytes(const QString& folder, const QString& name, const QByteArray& bytes) {
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        return {};
    }
    return path;
}

}  // namespace orvane::testing
