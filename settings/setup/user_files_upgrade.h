#pragma once
// Bringing the translations and sounds a user made in an old portable
// program folder (its Trans/ and Sound/) into the user's folders, where the
// program now keeps them.

#include <QString>
#include <QStringList>

namespace orvane::setup {

// Copies each regular file of `programFolder`/Trans and /Sound that the
// user made into paths::UserTransFolder() / UserSoundFolder(), making them
// when needed. A file is the user's when the shipped folder has no file of
// that name, when it differs from the shipped file of that name, or (a
// translation) when its first line is "1", the mark of a translation made
// in the editor. A user file already there is never overwritten: the old
// file stays where it is. Where the old folder is the shipped folder itself
// (the portable layout), a copied file is then removed from it, so it is
// not listed as shipped; a removal that fails leaves it, hidden by the
// user's copy. Links are left alone. Returns one line per file, for the
// set-up's report: "Copied <from> to <to>", "Kept <from>: <to> exists" or
// "Cannot copy <from>: <why>".
QStringList BringOverUserFiles(const QString& programFolder);

}  // namespace orvane::setup
