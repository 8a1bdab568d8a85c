#pragma once
// What the main window's commands keep, on the settings root key: the
// maker's web site the Help menu's addresses start from, and the folder a
// copy of a recording was last saved in.

#include <QString>

namespace orvane::setting {

inline const QString kWebSite = QStringLiteral("sWebSite");
inline const QString kLastSaveFolder = QStringLiteral("sLastSaveFolder");

}  // namespace orvane::setting
