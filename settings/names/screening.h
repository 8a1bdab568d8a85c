#pragma once
// The screening pages: what is done with calls the record rules or the
// block list touch. The rules and lists themselves live in Screening.txt
// in the user folder; these are the settings around them.

#include <QString>

namespace orvane {

inline const QString kTabScreening = QStringLiteral("Properties\\TabScreening");

namespace setting {
// The message played to a blocked call whose entry says so: a file of the
// Sound folders; empty or missing: the shipped kDefaultBlockMessage.
inline const QString kCmbBlockMessage = QStringLiteral("CmbBlockMessage");
// Calls a record rule kept unrecorded are still entered in the calls list
// (without a recording); "1" when missing. Blocked calls always are.
inline const QString kChkListUnrecorded = QStringLiteral("chkListUnrecorded");
}  // namespace setting

// The shipped message for blocked callers.
inline const QString kDefaultBlockMessage = QStringLiteral("Blocked.wav");

}  // namespace orvane
