#include "calls/line_problem.h"

#include "telephony/line_backend.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {

QString LineProblemText(qint32 code, const QString& controlText, const QString& holder) {
    int id = ids::kLineOtherProblem;
    switch (code) {
        case line_error::kNoSuchPort:
        case line_error::kBadDeviceIndex:
            id = ids::kLineNoSuchPort;
            break;
        case line_error::kPortInUse:
            id = holder.isEmpty() ? ids::kLinePortInUse : ids::kLinePortHeldBy;
            break;
        case line_error::kPermissionDenied:
            id = ids::kLineNoPermission;
            break;
        case line_error::kNoAnswer:
            id = ids::kLineNoAnswer;
            break;
        case line_error::kDeviceLost:
            id = ids::kLineLost;
            break;
        case line_error::kNoModem:
            id = ids::kLineNoModem;
            break;
        default:
            break;
    }
    QString text = Text(id);
    // A language file older than the holder's text still says the port is in use.
    if (text.isEmpty() && id == ids::kLinePortHeldBy) {
        id = ids::kLinePortInUse;
        text = Text(id);
    }
    // Without a language file the control's own text is better than nothing.
    if (text.isEmpty()) {
        return controlText;
    }
    if (id == ids::kLinePortHeldBy) {
        return ReplaceMarker(text, holder);
    }
    return id == ids::kLineOtherProblem ? ReplaceMarker(text, controlText) : text;
}

}  // namespace orvane
