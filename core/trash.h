#pragma once
// The desktop's trash (the freedesktop.org trash): moving a file there with
// its .trashinfo, bringing it back, and removing a .trashinfo a crash left
// without its file. Where the file goes is returned, so the program can
// bring it back itself (Edit > Undo delete). No widgets.
//
// The trash of a file is the home trash ($XDG_DATA_HOME/Trash) when the
// file is on that trash's disk, else its own disk's ($topdir/.Trash/$uid
// when an administrator made $topdir/.Trash, sticky and no link, else
// $topdir/.Trash-$uid). The .trashinfo is written completely before the
// file moves, under a name no other entry has, and the move never replaces
// a file: a crash leaves the file where it was or in the trash, and at
// worst a .trashinfo naming it without the file (RemoveOrphanedTrashInfo).

#include <QString>
#include <QStringList>

namespace orvane {

// Where a trashed file went.
struct TrashEntry {
    QString original;  // the absolute path the file had
    QString file;      // <trash>/files/<name>
    QString info;      // <trash>/info/<name>.trashinfo
    bool IsEmpty() const { return file.isEmpty(); }
};

enum class TrashOutcome {
    kTrashed,  // in the trash; `entry` says where
    kRemoved,  // no trash took it, so it was removed
    kAbsent,   // there was nothing at `path`
    kFailed,   // it is still there
};

// Moves the file (or link) at `path` to the trash of its disk; where no
// trash takes it, removes it. `entry` is filled for kTrashed only.
TrashOutcome MoveToTrash(const QString& path, TrashEntry* entry = nullptr);

// Moves a trashed file back to `entry.original` and removes its .trashinfo.
// Never replaces a file at the original place; false when that place is
// taken or the file is no longer in the trash (then nothing changes).
bool RestoreFromTrash(const TrashEntry& entry);

// The trash folders a file at `path` may have gone to: the home trash and
// the trash folders of its own disk, those that exist.
QStringList TrashFoldersFor(const QString& path);

// Removes the .trashinfo files in the trash folders of `originals` that
// name one of them while their file is not in the trash: what a crash
// leaves between writing the .trashinfo and moving the file. Each trash
// folder is read once. Returns how many went.
int RemoveOrphanedTrashInfo(const QStringList& originals);

}  // namespace orvane
