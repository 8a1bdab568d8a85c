#pragma once
// The calls as a CSV file for spreadsheets and scripts (RFC 4180): a
// header row, one row per call, CR LF line ends, fields with a comma, a
// quote, CR or LF quoted and their quotes doubled. UTF-8 with a byte order
// mark, since spreadsheets read a CSV file without one in the locale's old
// code page and would garble German and Hebrew names; scripts that read
// UTF-8 skip it (Python's "utf-8-sig", pandas, LibreOffice).
//
// Columns, with fixed English names so that scripts find them whatever the
// program's language: Date (ISO 8601, the moment the recording started, as
// stored), Caller (what the line sent), Number, Phone book name, Kind
// (incoming, outgoing, answered, or the stored digit), Length (seconds),
// Read (1/0), Marked (1/0), Note (its lines kept, CR LF), File (the
// recording's file name, no folder).
//
// A caller ID or a note comes from outside: a text field that a spreadsheet
// would take for a formula (it starts with =, +, -, @, a tab or CR) gets a
// leading apostrophe, which spreadsheets take as "text" and hide. A phone
// number (digits, spaces and + - ( ) . / alone, as "+49 30 1234") is no
// formula that can call a function or open a link, and stays as it is.

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

#include "calls/store/call_record.h"

namespace orvane {

// The phone-book name of a number, empty when it has none.
using CallerNameLookup = std::function<QString(const QString& number)>;

// One text field as it is written: guarded, then quoted where needed.
QString CsvField(const QString& text);

// The whole file. `folder`: the recordings folder, where a call recorded
// under the earlier file-name rule is found under that name (empty: the
// current rule's name).
QByteArray CallsCsv(const std::vector<CallRecord>& calls, const CallerNameLookup& nameFor,
                    const QString& folder = {});

// Writes CallsCsv to `path` whole or not at all (core/atomic_file.h): 0,
// or the errno of the step that failed.
int WriteCallsCsv(const QString& path, const std::vector<CallRecord>& calls,
                  const CallerNameLookup& nameFor, const QString& folder = {});

}  // namespace orvane
