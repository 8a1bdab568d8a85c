#pragma once
// The call index file "Data" of a recordings folder: the calls, oldest
// first, as whole 467-byte records with nothing between them. Record
// numbers start at 1 and are positions: a delete moves later records down.
// Every operation opens the file, does its work and closes it again.
//
// A file whose length is not a whole number of records (a torn write) is
// read as its whole records; an append starts at a record boundary. A
// number outside 1..N changes nothing. A delete writes the shortened file
// beside the old one and renames it over it, so a crash or a full disk
// never loses or duplicates a record. Failures are returned, never thrown.
// An index that is a symbolic link or not a regular file is neither read
// nor written (a journal line says so): the folder's files are never
// written through a link.

#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "calls/store/call_record.h"

namespace orvane {

// folder + "Data"; `folder` ends in "/" (a missing "/" is added). An empty
// folder gives an empty path, on which every operation fails: no folder is
// not the current folder.
QString CallIndexFile(const QString& folder);

// True when the folder's "Data" exists but is refused: a symbolic link
// (wherever it points) or anything but a regular file.
bool CallIndexRefused(const QString& folder);

// Appends `record` as record N + 1, creating the file when missing.
bool AppendCallRecord(const CallRecord& record, const QString& folder);
// Writes the whole record at `number` (1..N).
bool WriteCallRecord(const CallRecord& record, const QString& folder, qint32 number);
// Reads record `number`; leaves `record` as it was when the file or the
// record does not exist.
bool ReadCallRecord(CallRecord& record, const QString& folder, qint32 number);
// Every whole record in file order; nothing when the file does not exist
// (`exists` tells the two empty cases apart).
std::vector<CallRecord> ReadAllCallRecords(const QString& folder, bool* exists = nullptr);
// Hands every whole record to `visit` in file order, through a small
// buffer: a large index is never held twice. Returns whether the file exists.
bool ForEachCallRecord(const QString& folder, const std::function<void(const CallRecord&)>& visit);
// The number of whole records.
qint32 CallRecordCount(const QString& folder);

// Store the first character of `value` into ReadFlag / UserMark of record
// `number`; nothing else in the file changes.
bool SetReadFlag(qint32 number, const QString& folder, const QString& value);
bool SetUserMark(qint32 number, const QString& folder, const QString& value);

// Removes record `number`; later records move down by one.
bool DeleteCallRecord(qint32 number, const QString& folder);
// Removes several records in one rewrite; `numbers` as they stand before
// the delete, in any order, duplicates ignored. One number outside 1..N
// and nothing is removed.
bool DeleteCallRecords(std::vector<qint32> numbers, const QString& folder);

// Puts records into the index in one rewrite, each at its number as it
// stands once the records before it are in (ascending; at most one past
// the records written by then, which appends). A number out of step and
// nothing is written. Undoing a delete uses it (call_deletion.h).
bool InsertCallRecords(const std::vector<std::pair<qint32, CallRecord>>& records,
                       const QString& folder);

// Moves a deleted call's WAV file to the desktop's trash where there is
// one, else removes it (core/trash.h). A file that is already gone counts
// as done.
bool DiscardCallFile(const QString& path);

}  // namespace orvane
