#pragma once
// Small helpers shared by the whole program that need no window: waiting
// while events go on, time stamps for file names, clock texts, file length.

#include <QString>
#include <QtGlobal>
#include <functional>

namespace orvane {

// Runs the pending events of the application's thread, when called on it;
// does nothing without an application object or on another thread.
void ProcessPendingEvents();

// What WaitTenths reads and does while it waits; tests supply both so the
// deadline rule can be checked without real waiting.
struct WaitHooks {
    // Milliseconds of a steady clock.
    std::function<qint64()> ticks;
    // Runs pending events; may block for up to `remainingMs` for new ones.
    std::function<void(qint64 remainingMs)> pump;
};

// The hooks of the real program: a steady clock, and the event loop with a
// timer, so the wait does not spin.
WaitHooks SystemWaitHooks();

// Returns after n tenths of a second, running pending events meanwhile. The
// deadline is (ticks / 100 + n) rounded to whole tenths, and the wait ends
// once ticks / 100 is past it, so 10 tenths last from 0.95 s to 1.051 s.
void WaitTenths(qint32 n);
void WaitTenths(qint32 n, const WaitHooks& hooks);

// The deadline in tenths of a second for a wait of n tenths started at
// `tickMs`: halves round up.
qint64 WaitDeadlineTenths(qint64 tickMs, qint32 n);

// Compact stamp of a date text and a time text for file names: "/" and ":"
// become "-" (or are dropped without separators), "_" joins date and time
// (with separators, and only when there is a time). Runs pending events after
// each character, as callers in the user interface expect.
QString MakeTimeStamp(const QString& date, const QString& time, bool withSeparators);

// The same stamp without running events, for code that must not be re-entered
// (the journal, which is written from inside event handlers).
QString TimeStampText(const QString& date, const QString& time, bool withSeparators);

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
