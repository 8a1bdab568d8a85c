#pragma once
// Deleting calls and bringing them back: a call is its record in the index
// file and its WAV file, and both go (or come back) together, also across
// a crash.
//
// Each piece of work writes a small file beside the index ("Data.pending",
// synced) naming its calls before the index is rewritten, rewrites the
// index in one step (crash-safe, call_store.h), then moves the files, and
// removes the file last. FinishInterruptedCallWork reads a file a crash
// left: when the index was rewritten it finishes moving the files, else
// nothing was changed and it drops the file.

#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>
#include <vector>

#include "calls/store/call_record.h"
#include "core/trash.h"

namespace orvane {

// A call as the list knows it: its record number and the name of its file,
// which the record at that number must still give.
struct CallRef {
    qint32 number = 0;
    QString fileName;
    bool operator==(const CallRef&) const = default;
};

// A call DeleteCalls took out, with what brings it back.
struct DeletedCall {
    qint32 number = 0;  // its record number before the delete
    CallRecord record;
    QString fileName;      // its WAV file in the folder
    bool hadFile = false;  // the file was there when the call was deleted
    TrashEntry trash;      // where it went; empty when it was removed or absent
};

struct DeletedCalls {
    QString folder;                  // ends in "/"
    std::vector<DeletedCall> calls;  // by ascending number
};

// Deletes the calls: their records in one rewrite of the index, then their
// files into the trash (or removed where there is none). Every call must
// still be at its number with its file name, or nothing is deleted (the
// list is out of step with the file). `progress` is told each call's
// position as its file goes. Empty when nothing was deleted.
std::optional<DeletedCalls> DeleteCalls(std::vector<CallRef> calls, const QString& folder,
                                        const std::function<void(int)>& progress = {});

struct RestoredCalls {
    bool ok = false;             // the index took the records back
    std::vector<CallRef> calls;  // the calls back, at their numbers now
    int lost = 0;                // left out: their file is no longer in the trash
};

// Brings deleted calls back: their records at the numbers they had (calls
// stored since stay after them), their files out of the trash. A call
// whose file neither is in its place nor in the trash any more stays
// deleted (`lost`); a call that had no file comes back without one.
RestoredCalls RestoreCalls(const DeletedCalls& deleted);

// Keeps deletes that can still be undone (oldest first) in step with
// records removed since by someone else (the retention rules): `removed`
// are record numbers as the index stands now, after the newest delete.
// Each deleted call then comes back between the same neighbours as before.
void FollowRemovedRecords(std::vector<DeletedCalls>& deletes, std::vector<qint32> removed);

// folder + "Data.pending".
QString PendingCallWorkFile(const QString& folder);

// Completes or drops the work a crash interrupted in `folder`: after a
// delete whose records are gone the remaining files go to the trash and
// .trashinfo files of those calls without their file are removed; after
// an undo whose records are back the remaining files come back. Otherwise
// nothing was changed, and only the pending file goes. Returns whether
// there was work to finish.
bool FinishInterruptedCallWork(const QString& folder);

// Test seam: the steps of DeleteCalls and RestoreCalls. A hook that
// returns true stops the work right there, as a crash would (nothing is
// cleaned up). Returns the hook it replaces.
enum class CallWorkStep { kPendingWritten, kIndexRewritten, kFileMoved };
using CallWorkHook = std::function<bool(CallWorkStep step, int filesMoved)>;
CallWorkHook SetCallWorkHookForTesting(CallWorkHook hook);

}  // namespace orvane
