#pragma once
// The Incoming call page: what the program does while the line rings.

#include <QString>

namespace orvane {

inline const QString kTabIncomingCall = QStringLiteral("Properties\\TabInCommingCall");

namespace setting {
// A balloon with the caller at the tray icon.
inline const QString kChkViewCdIc = QStringLiteral("chkViewCD_IC");
// Bring the main window up.
inline const QString kChkOpenAppOnCall = QStringLiteral("chkOpenAppOnCall");
// Play the incoming-call sound, a file of the Sound folder.
inline const QString kChkPlayInIc = QStringLiteral("chkPlayIn_IC");
inline const QString kCmbPlayWhenIc = QStringLiteral("CmbPlayWhen_IC");
}  // namespace setting

}  // namespace orvane
