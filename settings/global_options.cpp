#include "settings/global_options.h"

#include "audio/wave.h"
#include "settings/store/registry_routines.h"

namespace orvane {

GlobalOptions GetGlobalOptions(RegistryRoutines& settings) {
    GlobalOptions options;

    settings.Subkey = kTabDevices;
    options.soundDeviceName = settings.GetRegistryValue(setting::kCmbSoundDev).toString();

    settings.Subkey = kTabGeneral;
    options.recordFormat = ReadNumber(settings.GetRegistryValue(setting::kCmbRecordFormatRec));
    options.recordingsFolder = settings.GetRegistryValue(setting::kTxtPath).toString();
    // File paths are the folder and the name put together.
    if (!options.recordingsFolder.isEmpty() &&
        !options.recordingsFolder.endsWith(QLatin1Char('/'))) {
        options.recordingsFolder += QLatin1Char('/');
    }
    options.askBeforeDeletingCalls = ReadCheck(
        settings.GetRegistryValue(setting::kChkAskBeforeDeletingCalls, QStringLiteral("1")));

    settings.Subkey = kTabLog;
    options.systemJournal = ReadCheck(settings.GetRegistryValue(setting::kChkLogSys));
    options.callsJournal = ReadCheck(settings.GetRegistryValue(setting::kChkLogCalls));

    settings.Subkey = kTabIncomingCall;
    options.showCallerBalloon = ReadCheck(settings.GetRegistryValue(setting::kChkViewCdIc));
    options.openAppOnCall = ReadCheck(settings.GetRegistryValue(setting::kChkOpenAppOnCall));
    options.playSoundOnCall = ReadCheck(settings.GetRegistryValue(setting::kChkPlayInIc));
    options.incomingCallSound = settings.GetRegistryValue(setting::kCmbPlayWhenIc).toString();
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
