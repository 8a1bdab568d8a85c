#pragma once
// The Log page: the two daily journals.

#include <QString>

namespace orvane {

inline const QString kTabLog = QStringLiteral("Properties\\TabLog");

namespace setting {
inline const QString kChkLogSys = QStringLiteral("chkLogSys");
inline const QString kChkLogCalls = QStringLiteral("chkLogCalls");
// Journal viewer: the age kept ("0".."3", the list position) and whether to
// ask before deleting a file.
inline const QString kCmbLogFor = QStringLiteral("cmbLogFor");
inline const QString kChkWornBeforeDelete = QStringLiteral("chkWornBeforeDelete");
}  // namespace setting

}  // namespace orvane
