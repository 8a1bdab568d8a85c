#include "app/global_options.h"

#include "app/core/registry_routines.h"
#include "audio/wave.h"

namespace orvane {

GlobalOptions GetGlobalOptions(RegistryRoutines& settings) {
    GlobalOptions options;

    settings.Subkey = kTabDevices;
    options.soundDeviceName = settings.GetRegistryValue(QStringLiteral("cmbSoundDev")).toString();

    settings.Subkey = kTabGeneral;
    options.recordFormat = ReadNumber(settings.GetRegistryValue(QStringLiteral("cmbRecordFormatRec")));
    options.recordingsFolder = settings.GetRegistryValue(QStringLiteral("txtPath")).toString();

    settings.Subkey = kTabLog;
    options.systemJournal = ReadCheck(settings.GetRegistryValue(QStringLiteral("chkLogSys")));
    options.callsJournal = ReadCheck(settings.GetRegistryValue(QStringLiteral("chkLogCalls")));

    settings.Subkey = kTabIncomingCall;
    options.showCallerBalloon = ReadCheck(settings.GetRegistryValue(QStringLiteral("chkViewCD_IC")));
    options.openAppOnCall = ReadCheck(settings.GetRegistryValue(QStringLiteral("chkOpenAppOnCall")));
    options.playSoundOnCall = ReadCheck(settings.GetRegistryValue(QStringLiteral("chkPlayIn_IC")));
    options.incomingCallSound =
        settings.GetRegistryValue(QStringLiteral("CmbPlayWhen_IC")).toString();
    return options;
}

qint32 SoundDeviceIndex(qint32 count, const std::function<QString(qint32)>& nameOf,
                        const QString& name) {
    qint32 index = 0;
    for (qint32 i = 0; i < count; ++i) {
        if (nameOf(i) == name) {
            index = i;
        }
    }
    return index;
}

qint32 SoundDeviceIndex(sonvel::Wave& wave, const QString& name) {
    return SoundDeviceIndex(
        wave.NumOfWaveDevices(),
        [&wave](qint32 device) {
            sonvel::WaveDeviceDetails details;
            wave.GetDetailsDevice(device, details);
            return QString::fromStdString(details.DeviceName);
        },
        name);
}

}  // namespace orvane
