#pragma once
// Small helpers shared by the whole program that need no window: a wait
// that goes on from the event loop, time stamps for file names, clock
// texts, file length.

#include <QObject>
#include <QString>
#include <QtGlobal>
#include <functional>

namespace orvane {

// Runs `next` from the event loop after n tenths of a second and returns
// at once; nothing runs when `context` is gone by then. The deadline is
// (ticks / 100 + n) rounded to whole tenths, and `next` runs once ticks / 100
// is past it, so 10 tenths last from 0.95 s to 1.051 s.
void WaitTenths(qint32 n, const QObject* context, std::function<void()> next);

// The deadline in tenths of a second for a wait of n tenths started at
// `tickMs`: halves round up.
qint64 WaitDeadlineTenths(qint64 tickMs, qint32 n);
// Milliseconds from `tickMs` until that wait is over; never negative.
qint64 WaitTenthsDelayMs(qint64 tickMs, qint32 n);

// Compact stamp of a date text and a time text for file names: "/" and ":"
// become "-" (or are dropped without separators), "_" joins date and time
// (with separators, and only when there is a time). Runs no events: the
// journal and the recorder build stamps inside event handlers.
QString MakeTimeStamp(const QString& date, const QString& time, bool withSeparators);

// "h:mm:ss" with as many hour digits as needed; 3725 gives "1:02:05".
// A negative count gives "0:00:00".
QString SecondsToClock(qint32 seconds);

// "Yes" or "No".
QString YesNoText(bool flag);

// The part of a path after its last "/", or the whole text without one.
QString LastPathPart(const QString& path);

// Sets the length of an existing regular file, cutting or extending it with
// zero bytes; never creates a file. False when the file is missing, not a
// regular file, the length is negative or the change fails.
bool SetFileLength(const QString& path, qint64 length);

}  // namespace orvane
