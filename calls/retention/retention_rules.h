#pragma once
// Retention rules: which calls of a recordings folder go by age, by the
// folder's size and by their length. The choice is a pure function of the
// calls as the rules see them (RetentionCall), the rules and the moment, so
// the preview the user accepts and the run that follows choose the same
// calls. No widgets, no writes.
//
// What a rule never removes: a call whose record is damaged, a call the
// user marked or noted while keepMarkedOrNoted is on, a busy call (being
// played), and, by age or size, a call whose date cannot be read. A call
// being recorded is not in the index yet, so no rule sees it.

#include <QSet>
#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <functional>
#include <vector>

#include "calls/store/call_deletion.h"

class QDateTime;

namespace orvane {

class CallStore;

// 1 MB here is 1,000,000 bytes, as file managers count.
inline constexpr qint64 kRetentionBytesPerMB = 1000000;

struct RetentionRules {
    int maxAgeDays = 0;      // calls older than this many days go; 0 off
    qint64 maxFolderMB = 0;  // oldest calls go until the recordings take no more; 0 off
    int minSeconds = 0;      // calls shorter than this go; 0 off
    bool keepMarkedOrNoted = true;
    // At least one rule removes calls.
    bool Active() const { return maxAgeDays > 0 || maxFolderMB > 0 || minSeconds > 0; }
    bool operator==(const RetentionRules&) const = default;
};

// The rules over a folder as one line of text: what the settings keep of
// the rules the user accepted with the preview of that folder's calls. A
// folder's "/" at the end does not count.
QString RulesFingerprint(const RetentionRules& rules, const QString& folder);

// One call of the index as the rules see it.
struct RetentionCall {
    CallRef ref;
    bool readable = true;  // IsReadableCallRecord
    bool dated = false;    // the stored moment could be read
    qint64 moment = 0;     // seconds on the StoredMomentReader scale
    qint32 seconds = -1;   // length from the Duration field; -1 unreadable
    qint64 bytes = 0;      // the file's size; 0 when it is missing or not a plain file
    bool kept = false;     // marked by the user or noted
};

// The moment on the StoredMomentReader scale (Julian day * 86400 + second
// of the day, no zone).
qint64 RetentionMoment(const QDateTime& moment);
// "h:mm:ss", "m:ss" or "s" as seconds; -1 when it does not read as a length.
qint32 DurationSeconds(QStringView text);

// The calls of the store's open folder, in record order. `sizeOf` gives a
// file's size from its path; by default the size of a regular file of
// that name (a link or anything else counts 0 and is never followed).
using FileSizeOf = std::function<qint64(const QString& path)>;
qint64 PlainFileSize(const QString& path);
std::vector<RetentionCall> RetentionCallsOf(const CallStore& store,
                                            const FileSizeOf& sizeOf = &PlainFileSize);

struct RetentionChoice {
    std::vector<CallRef> calls;  // ascending record number
    qint64 bytes = 0;            // their files together
    // How many each rule chose; a call is counted once, under the first of
    // age, length and size that chose it.
    int byAge = 0;
    int byLength = 0;
    int bySize = 0;
    bool IsEmpty() const { return calls.empty(); }
};

// The calls the rules remove at `now` (RetentionMoment). Age: older than
// maxAgeDays * 86400 seconds. Length: shorter than minSeconds. Size: the
// files of every listed call together, less what age and length remove,
// over the limit: the oldest remaining calls go, ties in record order,
// until the total is within it. `busy` names files (in the folder) left
// alone this time.
RetentionChoice ChooseForRetention(const std::vector<RetentionCall>& calls,
                                   const RetentionRules& rules, qint64 now,
                                   const QSet<QString>& busy = {});

}  // namespace orvane
