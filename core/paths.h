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

// Program folder + "/Trans/", "/Sound/", "/Journal/", "/Help/".
QString TransFolder();
QString SoundFolder();
QString JournalFolder();
QString HelpFolder();

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
