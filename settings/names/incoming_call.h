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
// Tell the caller that the call is recorded: a file of the Sound folders
// played to the line when a call is answered for recording, before the
// recording starts or (the second check) once it runs.
inline const QString kChkAnnounceIc = QStringLiteral("chkAnnounce_IC");
inline const QString kCmbAnnounceIc = QStringLiteral("CmbAnnounce_IC");
inline const QString kChkAnnounceWhileIc = QStringLiteral("chkAnnounceWhile_IC");
}  // namespace setting

// The shipped announcement, played when none is chosen.
inline const QString kDefaultAnnouncement = QStringLiteral("Recorded.wav");

}  // namespace orvane
