#pragma once
// Looking up the telephony control's line devices by name.

#include <QString>
#include <QtGlobal>

#include "telephony/line_backend.h"

namespace orvane {

class Tapi;

// The first line device whose name equals `name` exactly, or -1. Walks the
// devices through LineIndex and GetLineDetails and puts LineIndex back.
qint32 FindLineDevice(Tapi& tapi, const QString& name);

// A device the settings dialog recommends: the driver can drive it and it
// offers a sound format we record from.
inline bool IsRecommendedLine(const LineDetails& details) {
    return details.tapiCapability && details.audioCapability;
}

}  // namespace orvane
