#pragma once
// The main window's placement, on the settings root key: position and size
// in twips, and its state.

#include <QString>

namespace orvane::setting {

inline const QString kLeft = QStringLiteral("lLeft");
inline const QString kTop = QStringLiteral("lTop");
inline const QString kWidth = QStringLiteral("lWidth");
inline const QString kHeight = QStringLiteral("lHeight");
inline const QString kState = QStringLiteral("lState");
// The calls list's columns as the user left them: "2:32,3:100,..." (list
// column and width, left to right) and "5 DESC" (the sorted column).
inline const QString kCallsColumns = QStringLiteral("sCallsColumns");
inline const QString kCallsSort = QStringLiteral("sCallsSort");

}  // namespace orvane::setting
