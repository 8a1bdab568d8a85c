#pragma once
// Calls that left no recording: blocked callers, and calls a record rule
// kept unrecorded. They are listed in a small file of their own beside the
// call index ("Unrecorded.txt" in the recordings folder), because a record
// in the index names a WAV file and every reader of the index expects it.
//
// One call a line, tab-separated: the moment (ISO, local time), "blocked"
// or "unrecorded", the number, the name. Oldest first; only the newest
// kUnrecordedCallsLimit are kept. Every change replaces the file whole
// (core/atomic_file.h). A file with lines that cannot be read is copied
// aside before it is written again, and journaled; when it cannot be copied
// aside (a link, a folder, no room) it is never written over.

#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <vector>

namespace orvane {

enum class UnrecordedKind : quint8 {
    kBlocked = 1,      // answered and hung up by the block list
    kNotRecorded = 2,  // connected, kept unrecorded by its record rule
};

struct UnrecordedCall {
    QDateTime moment;  // to the second, local time
    UnrecordedKind kind = UnrecordedKind::kBlocked;
    QString number;
    QString name;
    bool operator==(const UnrecordedCall&) const = default;
};

inline constexpr int kUnrecordedCallsLimit = 5000;

// The file in `folder` (which ends in "/"); empty for an empty folder.
QString UnrecordedCallsFile(const QString& folder);

struct UnrecordedCallsText {
    std::vector<UnrecordedCall> calls;
    int unreadLines = 0;  // lines skipped; a file that could not be read counts one
};

// The lines of the file; blank lines are skipped without counting.
UnrecordedCallsText ParseUnrecordedCalls(const QByteArray& text);
// The file's text for these calls, the newest kUnrecordedCallsLimit of them.
QByteArray FormatUnrecordedCalls(const std::vector<UnrecordedCall>& calls);

// The calls of `folder`'s file; none when it is missing. Only a regular
// file is read, never through a link (which counts as one unread line).
UnrecordedCallsText ReadUnrecordedCalls(const QString& folder);
// Adds a call at the end. False (journaled) when the file was not written.
bool AddUnrecordedCall(const QString& folder, const UnrecordedCall& call);
// Removes one line equal to each of `calls`. False (journaled) when the
// file was not written.
bool RemoveUnrecordedCalls(const QString& folder, const std::vector<UnrecordedCall>& calls);

}  // namespace orvane
