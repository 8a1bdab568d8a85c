#include "telephony/line_backend.h"

namespace orvane {

QString LineErrorText(qint32 code) {
    using namespace line_error;
    switch (code) {
        case kNone:
            return QStringLiteral("The operation completed successfully.");
        case kNotInitialized:
            return QStringLiteral("The telephony service is not initialised.");
        case kBadDeviceIndex:
            return QStringLiteral("There is no line device with this number.");
        case kAlreadyOpen:
            return QStringLiteral("The line is already open.");
        case kNotOpen:
            return QStringLiteral("The line is not open.");
        case kPortInUse:
            return QStringLiteral("Another program is using the modem's port.");
        case kPermissionDenied:
            return QStringLiteral(
                "No permission to open the modem's port (join the group that owns it, usually "
                "\"dialout\", and log in again).");
        case kPortFailed:
            return QStringLiteral("The modem's port could not be opened or set up.");
        case kNoAnswer:
            return QStringLiteral("The modem did not answer.");
        case kCommandRefused:
            return QStringLiteral("The modem refused a command.");
        case kNotVoiceModem:
            return QStringLiteral("The modem has no voice mode.");
        case kNoCall:
            return QStringLiteral("There is no call on the line.");
        case kCallInProgress:
            return QStringLiteral("A call is already in progress.");
        case kDeviceLost:
            return QStringLiteral("The modem stopped answering or was unplugged.");
        case kBadNumber:
            return QStringLiteral("The number has no digits to dial.");
        case kBusy:
            return QStringLiteral("The called line is busy.");
        case kNoDialTone:
            return QStringLiteral("There is no dial tone on the line.");
        case kNoAnswerFromCallee:
            return QStringLiteral("The called party did not answer.");
        case kNoVoiceFormat:
            return QStringLiteral("The modem offers no sound format that can be recorded.");
        case kNoSuchPort:
            return QStringLiteral("The modem's port does not exist.");
        case kNoModem:
            return QStringLiteral("No modem was found.");
        case kAudioDevice:
            return QStringLiteral("The call's sound channel could not be set up.");
        default:
            return QStringLiteral("Unknown telephony error %1.").arg(code);
    }
}

}  // namespace orvane
