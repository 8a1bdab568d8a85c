#include "telephony/line_devices.h"

#include "telephony/tapi.h"

namespace orvane {

qint32 FindLineDevice(Tapi& tapi, const QString& name) {
    const qint32 selected = tapi.LineIndex();
    const qint32 count = tapi.LineCount();
    qint32 found = -1;
    LineDetails details;
    for (qint32 i = 0; i < count && found < 0; ++i) {
        tapi.SetLineIndex(i);
        tapi.GetLineDetails(details);
        if (details.deviceName == name) {
            found = i;
        }
    }
    tapi.SetLineIndex(selected);
    return found;
}

}  // namespace orvane
