#include "telephony/line_devices.h"

#include <algorithm>

#include "telephony/tapi.h"

namespace orvane {

std::vector<LineDetails> ListLineDevices(Tapi& tapi) {
    const qint32 selected = tapi.LineIndex();
    const qint32 count = tapi.LineCount();
    std::vector<LineDetails> lines(static_cast<size_t>(std::max(count, 0)));
    for (qint32 i = 0; i < count; ++i) {
        tapi.SetLineIndex(i);
        tapi.GetLineDetails(lines[static_cast<size_t>(i)]);
    }
    tapi.SetLineIndex(selected);
    return lines;
}

qint32 FindLineDevice(Tapi& tapi, const QString& name) {
    return FindLineDevice(ListLineDevices(tapi), name);
}

bool LineAnswersTo(const LineDetails& line, const QString& name) {
    return !name.isEmpty() && (line.deviceName == name || line.formerNames.contains(name));
}

qint32 FindLineDevice(const std::vector<LineDetails>& lines, const QString& name) {
    auto found = std::find_if(lines.cbegin(), lines.cend(),
                              [&name](const LineDetails& line) { return line.deviceName == name; });
    if (found == lines.cend()) {
        found = std::find_if(lines.cbegin(), lines.cend(), [&name](const LineDetails& line) {
            return LineAnswersTo(line, name);
        });
    }
    return found == lines.cend() ? -1 : static_cast<qint32>(found - lines.cbegin());
}

}  // namespace orvane
