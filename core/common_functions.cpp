#include "core/common_functions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <thread>

namespace orvane {
namespace {

bool OnApplicationThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && app->thread() == QThread::currentThread();
}

void PumpUntilEventOrTimeout(qint64 remainingMs) {
    if (!OnApplicationThread()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max<qint64>(remainingMs, 1)));
        return;
    }
    QCoreApplication::processEvents();
    if (remainingMs <= 0) {
        return;
    }
    // The timer wakes the event loop at the deadline; any other event wakes
    // it earlier and is handled at once.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(static_cast<int>(std::min<qint64>(remainingMs, 60'000)));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

template <typename AfterEach>
QString StampText(const QString& date, const QString& time, bool withSeparators,
                  AfterEach afterEach) {
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
        afterEach();
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
            afterEach();
        }
    }
    return stamp;
}

}  // namespace

void ProcessPendingEvents() {
    if (OnApplicationThread()) {
        QCoreApplication::processEvents();
    }
}

WaitHooks SystemWaitHooks() {
    return {[] {
                return static_cast<qint64>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now().time_since_epoch())
                                               .count());
            },
            PumpUntilEventOrTimeout};
}

qint64 WaitDeadlineTenths(qint64 tickMs, qint32 n) {
    // Whole-number arithmetic, so the rounding does not depend on floating
    // point; ticks are never negative.
    return (tickMs + 50) / 100 + n;
}

void WaitTenths(qint32 n) {
    WaitTenths(n, SystemWaitHooks());
}

void WaitTenths(qint32 n, const WaitHooks& hooks) {
    qint64 now = hooks.ticks();
    // ticks / 100 > deadline, in whole milliseconds.
    const qint64 endMs = WaitDeadlineTenths(now, n) * 100 + 1;
    // Events run at least once, even for a wait that is already over.
    do {
        hooks.pump(std::max<qint64>(endMs - now, 0));
        now = hooks.ticks();
    } while (now < endMs);
}

QString MakeTimeStamp(const QString& date, const QString& time, bool withSeparators) {
    return StampText(date, time, withSeparators, [] { ProcessPendingEvents(); });
}

QString TimeStampText(const QString& date, const QString& time, bool withSeparators) {
    return StampText(date, time, withSeparators, [] {});
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
