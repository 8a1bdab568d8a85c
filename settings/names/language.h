#pragma once
// The interface language: the file name in the Trans folder.

#include <QString>

namespace orvane {

inline const QString kLanguageKey = QStringLiteral("Language");

namespace setting {
inline const QString kSelect = QStringLiteral("Select");
}  // namespace setting

}  // namespace orvane
