#pragma once
// Where the program's files live on a Linux desktop. Every folder the
// program reads or writes is derived here, so tests can move all of them
// with environment variables.

#include <QString>

namespace orvane::paths {

// The folder that holds the orvane executable, without a trailing "/".
// ORVANE_PROGRAM_DIR overrides it (tests, and tools that act on another
// program folder).
QString ProgramFolder();

// The files that ship with the program (Trans/, Sound/, Help/, LICENSE),
// read-only at run time. ORVANE_DATA_DIR overrides it. Otherwise the
// program folder itself when it holds a Trans folder (the portable layout
// that scripts/run.sh installs), else the installed data folder next to it
// (ORVANE_RELATIVE_DATA_DIR from the program folder, "../share/orvane").
QString DataFolder();

// Data folder + "/Trans/", "/Sound/", "/Help/": what ships.
QString ShippedTransFolder();
QString ShippedSoundFolder();
QString HelpFolder();

// Everything the program or the user writes, apart from the settings:
// $XDG_DATA_HOME/orvane (~/.local/share/orvane). The program folder may be
// read-only and is never written. Not made here; the writers make what they
// need (core/private_folder.h).
QString UserFolder();

// User folder + "/Trans/", "/Sound/", "/Journal/": translations and sounds
// the user made or added (a name there hides the shipped file of that
// name), and the journals.
QString UserTransFolder();
QString UserSoundFolder();
QString JournalFolder();

// The recordings folder of a user who has not chosen one:
// user folder + "/Recordings/".
QString DefaultRecordingsFolder();

// Folder of the settings hives: $ORVANE_CONFIG_DIR, else
// $XDG_CONFIG_HOME/orvane, else ~/.config/orvane.
QString ConfigFolder();

// The user's XDG autostart folder: $XDG_CONFIG_HOME/autostart.
QString AutostartFolder();

// Per-user folder for sockets and locks, readable by the user alone:
// $XDG_RUNTIME_DIR/orvane, else a private folder in the temporary folder.
// Created with mode 0700 when missing; empty when it cannot be made safe.
QString RuntimeFolder();

// The user's XDG data folder: $XDG_DATA_HOME, else ~/.local/share.
QString DataHome();

}  // namespace orvane::paths
