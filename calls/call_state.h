#pragma once
// The state of the one call the open line can carry: the four call flags,
// the current call's details and the recording seconds counter. One object
// serves the whole program; the flags are the only guard of handlers that
// run inside other handlers' event loops.

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QtGlobal>

namespace orvane {

// CallKind values of the current call and of the call store.
inline constexpr qint16 kCallKindNone = 0;
inline constexpr qint16 kCallKindIncoming = 3;
inline constexpr qint16 kCallKindOutgoingRecorded = 4;

// Name and number of a caller nobody identified.
inline const QString kUnknownCaller = QStringLiteral("UNKNOWN");

struct CurrentCall {
    QString CallerName = kUnknownCaller;
    QString CallerNumber = kUnknownCaller;
    QString CallDate;  // the locale's short date text
    QString CallTime;  // the locale's time text
    QString CallFileName;
    qint16 CallKind = kCallKindNone;
};

struct CallState {
    bool incomingCall = false;
    bool recordingIncoming = false;
    bool recordCall = false;
    bool standardCall = false;
    CurrentCall call;
    // Seconds of the running recording, advanced by the recorder's timer.
    qint32 recordSeconds = 0;

    void ClearFlags() { incomingCall = recordingIncoming = recordCall = standardCall = false; }
    // The recorder's buttons act only while one of these is set.
    bool RecorderMayAct() const { return incomingCall || recordingIncoming || recordCall; }
};

// The current call's reset values, dated `now` in the texts of `locale`.
CurrentCall ResetCall(const QDateTime& now, const QLocale& locale = QLocale());

}  // namespace orvane
