#pragma once
// Lets GoogleTest print Qt values, so a failed assertion shows the text
// rather than a byte dump.

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& value, std::ostream* os) {
    *os << '"' << value.toStdString() << '"';
}
inline void PrintTo(const QByteArray& value, std::ostream* os) {
    *os << "QByteArray(" << value.toHex(' ').toStdString() << ')';
}
inline void PrintTo(const QStringList& value, std::ostream* os) {
    *os << '[';
    for (qsizetype i = 0; i < value.size(); ++i) {
        *os << (i ? ", " : "") << '"' << value[i].toStdString() << '"';
    }
    *os << ']';
}
inline void PrintTo(const QVariant& value, std::ostream* os) {
    *os << "QVariant(" << value.typeName() << ", " << value.toString().toStdString() << ')';
}
inline void PrintTo(const QDate& value, std::ostream* os) {
    *os << value.toString(Qt::ISODate).toStdString();
}
inline void PrintTo(const QDateTime& value, std::ostream* os) {
    *os << value.toString(Qt::ISODateWithMs).toStdString();
}
QT_END_NAMESPACE
