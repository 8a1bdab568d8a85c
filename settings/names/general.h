#pragma once
// The General page: how and where calls are recorded.

#include <QString>

namespace orvane {

inline const QString kTabGeneral = QStringLiteral("Properties\\TabGeneral");

namespace setting {
// Start at log-on; the Run entry itself decides.
inline const QString kChkRunOnStart = QStringLiteral("chkRunOnStart");
// Index into the record-format table.
inline const QString kCmbRecordFormatRec = QStringLiteral("cmbRecordFormatRec");
// The recordings folder, ending in "/".
inline const QString kTxtPath = QStringLiteral("txtPath");
// Delete in the calls list asks first; on when missing.
inline const QString kChkAskBeforeDeletingCalls = QStringLiteral("chkAskBeforeDeletingCalls");
}  // namespace setting

}  // namespace orvane
