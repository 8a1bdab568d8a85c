#pragma once
// Names and numbers that identify the program to the user, to the settings
// store and to other running copies of itself.

#include <QString>

namespace orvane::product {

// Last component of the settings root key and the tray icon's tool tip.
inline const QString kProductString = QStringLiteral("Orvane 1.1");
// The version the about box, --version and the window's title show.
inline const QString kVersionText = QStringLiteral("1.1.0.1");
inline const QString kMainWindowCaption = QStringLiteral("Orvane Recorder ") + kVersionText;
// Caption of the program's message boxes.
inline const QString kApplicationTitle = QStringLiteral("Orvane");

// Running copies talk on this channel; kQuitMessage makes a copy exit,
// kShowWindowMessage brings its window up.
inline constexpr int kInstanceChannel = 500;
inline const QString kQuitMessage = QStringLiteral("UNLOAD_ME");
inline const QString kShowWindowMessage = QStringLiteral("SHOW_WINDOW");

// The settings root key below HKEY_LOCAL_MACHINE.
inline const QString kRootKey = QStringLiteral("SOFTWARE\\Quenzo\\") + kProductString;
// The log-on entry lives below HKEY_CURRENT_USER.
inline const QString kRunKey = QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
inline const QString kRunValueName = QStringLiteral("Orvane");

inline const QString kExecutableName = QStringLiteral("orvane");

// The desktop's name for the program: the menu entry's file name (without
// ".desktop"), the icon's name, the AppStream id and the notifications'
// desktop-entry hint.
inline const QString kDesktopId = QStringLiteral("org.quenzo.Orvane");

}  // namespace orvane::product
