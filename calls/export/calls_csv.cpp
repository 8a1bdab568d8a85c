#include "calls/export/calls_csv.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <QTime>

#include "calls/list/calls_list_model.h"
#include "core/atomic_file.h"
#include "core/stored_moment.h"

namespace orvane {
namespace {

const QLatin1StringView kCrLf("\r\n");

// Digits, spaces and + - ( ) . / alone, with at least one digit.
bool IsPhoneNumber(const QString& text) {
    bool digit = false;
    for (const QChar c : text) {
        if (c >= u'0' && c <= u'9') {
            digit = true;
        } else if (!QStringView(u" +-()./").contains(c)) {
            return false;
        }
    }
    return digit;
}

bool StartsLikeFormula(const QString& text) {
    return !text.isEmpty() && QStringView(u"=+-@\t\r").contains(text.front());
}

QString MomentText(const CallRecord& record, StoredMomentReader& reader) {
    const QString date = record.Get(CallField::CallDate);
    const QString time = record.Get(CallField::CallTime);
    qint64 seconds = 0;
    if (reader.Read(record.Get(CallField::ExtraText), date, time, seconds)) {
        const QDateTime moment(
            QDate::fromJulianDay(seconds / 86400),
            QTime::fromMSecsSinceStartOfDay(static_cast<int>(seconds % 86400) * 1000));
        return IsoMomentText(moment);
    }
    return (date + QLatin1Char(' ') + time).trimmed();
}

QString KindText(const QString& kind) {
    if (kind == QLatin1String("3")) {
        return QStringLiteral("incoming");
    }
    if (kind == QLatin1String("4")) {
        return QStringLiteral("outgoing");
    }
    if (kind == QLatin1String("2")) {
        return QStringLiteral("answered");
    }
    return kind;
}

// "0:01:23" as 83; empty when the text is no time.
QString LengthSeconds(const QString& duration) {
    const QStringList parts = duration.split(QLatin1Char(':'));
    qint64 seconds = 0;
    for (const QString& part : parts) {
        bool ok = false;
        const qint64 value = part.toLongLong(&ok);
        if (!ok || value < 0 || parts.size() > 3) {
            return {};
        }
        seconds = seconds * 60 + value;
    }
    return QString::number(seconds);
}

QString Flag(const QString& value) {
    return value == QLatin1String("1") ? QStringLiteral("1") : QStringLiteral("0");
}

}  // namespace

QString CsvField(const QString& text) {
    QString field = text;
    if (StartsLikeFormula(field) && !IsPhoneNumber(field)) {
        field.prepend(QLatin1Char('\''));
    }
    if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) ||
        field.contains(QLatin1Char('\r')) || field.contains(QLatin1Char('\n'))) {
        field.replace(QLatin1String("\""), QLatin1String("\"\""));
        field = QLatin1Char('"') + field + QLatin1Char('"');
    }
    return field;
}

QByteArray CallsCsv(const std::vector<CallRecord>& calls, const CallerNameLookup& nameFor,
                    const QString& folder) {
    QString text = QStringLiteral(
        "\uFEFFDate,Caller,Number,Phone book name,Kind,Length,Read,Marked,Note,File");
    text += kCrLf;
    StoredMomentReader reader;
    for (const CallRecord& record : calls) {
        const QString name = record.Get(CallField::CallerName);
        const QString number = record.Get(CallField::CallerNumber);
        const QString notes = record.Get(CallField::Notes);
        const QString fileName =
            folder.isEmpty() ? CallFileName(record)
                             : CallFileNameIn(folder, name, number, record.Get(CallField::CallDate),
                                              record.Get(CallField::CallTime));
        const QStringList fields = {
            CsvField(MomentText(record, reader)),
            CsvField(name),
            CsvField(number),
            CsvField(nameFor ? nameFor(number) : QString()),
            CsvField(KindText(record.Get(CallField::CallKind))),
            LengthSeconds(record.Get(CallField::Duration)),
            Flag(record.Get(CallField::ReadFlag)),
            Flag(record.Get(CallField::UserMark)),
            CsvField(NotePresent(notes) ? notes : QString()),
            CsvField(fileName),
        };
        text += fields.join(QLatin1Char(','));
        text += kCrLf;
    }
    return text.toUtf8();
}

int WriteCallsCsv(const QString& path, const std::vector<CallRecord>& calls,
                  const CallerNameLookup& nameFor, const QString& folder) {
    return ReplaceFileContent(path, CallsCsv(calls, nameFor, folder), UsersFileMode());
}

}  // namespace orvane
