#pragma once
// Loading the language the user selected, with the English texts compiled
// into the program (from Trans/English) beneath it: a language file that is
// missing or cannot be read never leaves the menus and messages empty.

#include <QString>

namespace orvane {

// The built-in English language file (a Qt resource).
QString BuiltInEnglishPath();

// Fills the program's string table with the built-in English texts, then
// with the file at `path` over them. The file is not used at all when it
// is missing, not a regular file (a folder, a FIFO: never opened), a link
// that leads out of both translations folders, or not text (NUL bytes or
// bytes that are not UTF-8); a file cut short gives the lines it has.
// Returns what went wrong, naming the file ("<path>: <reason>"), or an
// empty text when the file was read whole.
QString LoadLanguageOverBuiltIn(const QString& path);

}  // namespace orvane
