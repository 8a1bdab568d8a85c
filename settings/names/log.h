#pragma once
// The Log page: the two daily journals.

#include <QString>

namespace orvane {

inline const QString kTabLog = QStringLiteral("Properties\\TabLog");

namespace setting {
inline const QString kChkLogSys = QStringLiteral("chkLogSys");
inline const QString kChkLogCalls = QStringLiteral("chkLogCalls");
// Ask before a journal file is deleted.
inline const QString kChkWornBeforeDelete = QStringLiteral("chkWornBeforeDelete");
// How long journal files are kept: 1, 2, 3 months or for ever (0..3);
// missing means for ever.
inline const QString kCmbLogFor = QStringLiteral("cmbLogFor");
}  // namespace setting

}  // namespace orvane
