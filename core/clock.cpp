#include "core/clock.h"

#include <utility>

namespace orvane {
namespace {

bool IsZoneSeparator(QChar c) {
    return c.isSpace() || c == QLatin1Char(',');
}

QChar ClosingBracket(QChar open) {
    if (open == QLatin1Char('(')) {
        return QLatin1Char(')');
    }
    if (open == QLatin1Char('[')) {
        return QLatin1Char(']');
    }
    return {};
}

// Start and end (exclusive) of the first unquoted run of 't' in a format,
// or {-1, -1}.
std::pair<qsizetype, qsizetype> FindZoneToken(const QString& format) {
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
        } else if (!quoted && c == QLatin1Char('t')) {
            qsizetype end = i + 1;
            while (end < format.size() && format.at(end) == QLatin1Char('t')) {
                ++end;
            }
            return {i, end};
        }
    }
    return {-1, -1};
}

}  // namespace

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTime();
}

const Clock& SystemTime() {
    static const SystemClock clock;
    return clock;
}

QString ShortDateText(const QDate& date, const QLocale& locale) {
    return locale.toString(date, QLocale::ShortFormat);
}

QString LongTimeFormatWithoutZone(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::LongFormat);
    for (;;) {
        auto [start, end] = FindZoneToken(format);
        if (start < 0) {
            break;
        }
        // "(t)" and "[t]" go as a whole.
        if (start > 0 && end < format.size()) {
            const QChar closing = ClosingBracket(format.at(start - 1));
            if (!closing.isNull() && format.at(end) == closing) {
                --start;
                ++end;
            }
        }
        // The blank (or ", ") that joined the zone to the time goes with it.
        const qsizetype tokenStart = start;
        while (start > 0 && IsZoneSeparator(format.at(start - 1))) {
            --start;
        }
        if (start == tokenStart) {
            while (end < format.size() && format.at(end).isSpace()) {
                ++end;
            }
        }
        format.remove(start, end - start);
    }
    return format;
}

QString LongTimeText(const QTime& time, const QLocale& locale) {
    return locale.toString(time, LongTimeFormatWithoutZone(locale));
}

}  // namespace orvane
