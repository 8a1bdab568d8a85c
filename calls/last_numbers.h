#pragma once
// The last numbers dialled: the file "DialCalls" in the program folder,
// UTF-8, one number a line with CR LF ends, the most recent first, at most
// 30, no two equal (exact comparison). The dialer offers them again.

#include <QString>
#include <QStringList>

namespace orvane {

inline constexpr qsizetype kMaxLastNumbers = 30;

// User folder + "/DialCalls"; the user folder is made when missing.
QString LastNumbersFile();

// The numbers in `path`, first line first; a missing file is created empty.
// Blank lines are skipped and at most kMaxLastNumbers are returned. An
// unreadable file gives what could be read (nothing).
QStringList ReadLastNumbers(const QString& path);

// `numbers` with `number` at the head: an equal entry moves up instead of
// appearing twice, and the list is cut to kMaxLastNumbers. An empty
// `number`, or one holding a line break, changes nothing.
QStringList WithNumberFirst(const QStringList& numbers, const QString& number);

// Puts `number` at the head of the file in `path` and writes it through a
// temporary file that replaces it once complete, so a crash leaves the old
// list or the new one. False when it could not be written; when the list
// stays as it is nothing is written.
bool PutNumberFirst(const QString& path, const QString& number);

}  // namespace orvane
