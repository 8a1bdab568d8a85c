#pragma once
// The log-on entries of the Run key as XDG autostart entries: every value
// written to HKEY_CURRENT_USER\...\CurrentVersion\Run is mirrored into the
// user's autostart folder by the settings store, so the program, orvane-reg
// and orvane-setup all start or stop an entry alike.

#include <QByteArray>
#include <QString>

#include "settings/store/registry_types.h"

namespace orvane::autostart {

// "orvane.desktop" for the value "Orvane"; other names lower-cased with
// ".desktop" when they are made of [A-Za-z0-9._-] only; empty (no entry)
// otherwise, so a name can never become a path.
QString EntryFileName(const QString& valueName);

// The command line of a Run value as a Desktop Entry Exec value: the
// longest leading part that names an existing file is the program, the
// words after it are its arguments; each is quoted as the Desktop Entry
// rules ask. Without such a file the first word is the program.
QString ExecValue(const QString& commandLine);

// The whole .desktop file for one value.
QByteArray EntryContent(const QString& valueName, const QString& commandLine);

// Brings the entry of `valueName` in line with `value` (nullptr: no such
// value): a text value writes the entry, anything else removes it. False
// when the file could not be written or removed.
bool Mirror(const QString& valueName, const RegValue* value);

}  // namespace orvane::autostart
