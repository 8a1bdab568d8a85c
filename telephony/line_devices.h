#pragma once
// The telephony control's line devices: the list of them, one by name.

#include <QString>
#include <QtGlobal>
#include <vector>

#include "telephony/line_backend.h"

namespace orvane {

class Tapi;

// Every line device's details in device order (a device's position is its
// line index). The one walk of the devices through LineIndex and
// GetLineDetails; LineIndex is put back.
std::vector<LineDetails> ListLineDevices(Tapi& tapi);

// True when a stored choice `name` means `line`: its name, or one of its
// former names.
bool LineAnswersTo(const LineDetails& line, const QString& name);

// The first line device whose name equals `name` exactly, else the first
// whose former names hold it, or -1. LineIndex is put back.
qint32 FindLineDevice(Tapi& tapi, const QString& name);
// The same in a list from ListLineDevices.
qint32 FindLineDevice(const std::vector<LineDetails>& lines, const QString& name);

// A device the settings dialog recommends: the driver can drive it and it
// offers a sound format we record from.
inline bool IsRecommendedLine(const LineDetails& details) {
    return details.tapiCapability && details.audioCapability;
}

}  // namespace orvane
