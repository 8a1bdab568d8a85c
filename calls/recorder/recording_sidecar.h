#pragma once
// What a running recording keeps beside its WAV file so that a crash or a
// power cut loses no call: a hidden sidecar ".<wav name>.call" holding the
// 467-byte record exactly as it will be appended (its Duration not yet
// set). It is written and synced before the recording starts and removed
// once the record is in the call index, so any sidecar found at the next
// start stands for a call that was never entered.
//
// Sidecars are never followed through links, and one names no file outside
// its own folder: the WAV it stands for is the one CallFileName builds from
// its record, and that name must be the sidecar's own.

#include <QString>
#include <QStringList>

#include "calls/store/call_record.h"

namespace orvane {

// ".<wave name>.call".
QString SidecarName(const QString& waveName);
// The WAV name a sidecar's name stands for; empty for any other name.
QString WaveNameOfSidecar(const QString& sidecarName);
// The sidecar names in `folder` (hidden files ending ".call"), sorted.
QStringList SidecarNames(const QString& folder);

// Whether anything has this name: a file, a folder, a link (even a
// dangling one).
bool NameTaken(const QString& path);

// Creates the sidecar at `path` (never over an existing name or through a
// link), writes `record`, syncs it and its folder. On failure nothing is
// left and `error` holds the system's text (e.g. "No space left on device").
bool WriteSidecar(const QString& path, const CallRecord& record, QString* error);

enum class SidecarState {
    kRead,        // a regular file of exactly one record
    kMissing,     // no such name
    kNotAFile,    // a link, a folder, a FIFO...: never opened through
    kWrongSize,   // not one whole record
    kUnreadable,  // the read failed
};
SidecarState ReadSidecar(const QString& path, CallRecord* record);

// Removes the name (a link itself, never its target); a name already gone
// counts as done.
bool RemoveSidecar(const QString& path);

}  // namespace orvane
