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

}  // namespace orvane::setting
