#include "core/common_functions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTimer>
#include <algorithm>
#include <chrono>

namespace orvane {

QString MakeTimeStamp(const QString& date, const QString& time, bool withSeparators) {
    QString stamp;
    stamp.reserve(date.size() + time.size() + 1);
    for (const QChar c : date) {
        if (c == QLatin1Char('/') || c == QLatin1Char(':')) {
            if (withSeparators) {
                stamp += QLatin1Char('-');
            }
        } else {
            stamp += c;
        }
    }
    if (!time.isEmpty()) {
        if (withSeparators) {
            stamp += QLatin1Char('_');
        }
        for (const QChar c : time) {
            // No time format has a "/", but a stamp is a file name: a time
            // text read back from a damaged file must not make it a path.
            if (c == QLatin1Char(':') || c == QLatin1Char('/')) {
                if (withSeparators) {
                    stamp += QLatin1Char('-');
                }
            } else {
                stamp += c;
            }
        }
    }
    return stamp;
}

qint64 WaitDeadlineTenths(qint64 tickMs, qint32 n) {
    // Whole-number arithmetic, so the rounding does not depend on floating
    // point; ticks are never negative.
    return (tickMs + 50) / 100 + n;
}

qint64 WaitTenthsDelayMs(qint64 tickMs, qint32 n) {
    // ticks / 100 > deadline, in whole milliseconds.
    return std::max<qint64>(WaitDeadlineTenths(tickMs, n) * 100 + 1 - tickMs, 0);
}

void WaitTenths(qint32 n, const QObject* context, std::function<void()> next) {
    const qint64 now = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
    // A timer, not a loop here: the caller's handler ends first, and
    // whatever else is queued runs in its turn.
    QTimer::singleShot(std::chrono::milliseconds(WaitTenthsDelayMs(now, n)), Qt::PreciseTimer,
                       context, std::move(next));
}

QString SecondsToClock(qint32 seconds) {
    const qint32 s = std::max<qint32>(seconds, 0);
    const qint32 hours = s / 3600;
    const qint32 minutes = s / 60 - 60 * hours;
    const qint32 rest = s % 60;
    return QStringLiteral("%1:%2:%3")
        .arg(hours)
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(rest, 2, 10, QLatin1Char('0'));
}

QString YesNoText(bool flag) {
    return flag ? QStringLiteral("Yes") : QStringLiteral("No");
}

QString LastPathPart(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

bool SetFileLength(const QString& path, qint64 length) {
    if (length < 0 || path.isEmpty()) {
        return false;
    }
    // No O_CREAT: only an existing file; O_NONBLOCK so a FIFO cannot hang us.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    const bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                    ::ftruncate(fd, static_cast<off_t>(length)) == 0;
    ::close(fd);
    return ok;
}

}  // namespace orvane
