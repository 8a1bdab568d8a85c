#pragma once
// The Log page: the two daily journals.

#include <QString>

namespace orvane {

inline const QString kTabLog = QStringLiteral("Properties\\TabLog");

namespace setting {
inline const QString kChkLogSys = QStringLiteral("chkLogSys");
inline const QString kChkLogCalls = QStringLiteral("chkLogCalls");
}  // namespace setting

}  // namespace orvane
