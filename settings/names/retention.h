#pragma once
// The Retention page: the rules that remove calls by themselves.

#include <QString>

namespace orvane {

inline const QString kTabRetention = QStringLiteral("Properties\\TabRetention");

namespace setting {
// Calls older than this many days go; 0 or missing: off.
inline const QString kRetentionMaxAgeDays = QStringLiteral("txtMaxAgeDays");
// The recordings are kept under this many megabytes (10^6 bytes), oldest
// calls going first; 0 or missing: off.
inline const QString kRetentionMaxFolderMB = QStringLiteral("txtMaxFolderMB");
// Calls shorter than this many seconds go; 0 or missing: off.
inline const QString kRetentionMinSeconds = QStringLiteral("txtMinSeconds");
// Calls with a user mark or a note are never removed by a rule; "1" when missing.
inline const QString kRetentionKeepMarked = QStringLiteral("chkKeepMarkedOrNoted");
// The rules the user last accepted with their preview, as RulesFingerprint
// writes them; rules that differ do not run.
inline const QString kRetentionAccepted = QStringLiteral("AcceptedRules");
}  // namespace setting

}  // namespace orvane
