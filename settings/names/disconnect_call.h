#pragma once
// The Disconnect call page (under Events); its values arrive with the
// settings dialog.

#include <QString>

namespace orvane {

inline const QString kTabDisconnectCall = QStringLiteral("Events\\TabDisconnectCall");

}  // namespace orvane
