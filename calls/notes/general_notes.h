#pragma once
// The general notes: one free text for the whole program in the file
// "Notes" of the program folder, UTF-8, lines separated by CR LF.

#include <QString>
#include <optional>

namespace orvane {

// User folder + "/Notes"; the user folder is made when missing.
QString GeneralNotesFile();

// The file's lines joined with CR LF, without the last CR LF when the text
// is longer than two characters (a lone line break reads as nothing).
// Lines may end in CR LF or LF; bytes that are not UTF-8 read as U+FFFD.
// A missing file is created empty. Nothing when the file cannot be read
// or created.
std::optional<QString> LoadGeneralNotes(const QString& path);

// Writes `text` + CR LF in place of the file: into a new file beside it,
// synced, then renamed over it, so a crash or a full disk never leaves the
// file empty or cut. On failure the old file stays as it was and `error`
// says why.
bool SaveGeneralNotes(const QString& path, const QString& text, QString* error = nullptr);

}  // namespace orvane
