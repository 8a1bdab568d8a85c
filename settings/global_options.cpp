#include "settings/global_options.h"

#include "audio/wave.h"
#include "settings/program_settings.h"

namespace orvane {

GlobalOptions GlobalOptionsFrom(const ProgramSettings& settings) {
    GlobalOptions options;
    options.soundDeviceName = settings.Devices().SoundDevice();
    options.recordFormat = settings.General().RecordFormat();
    options.recordingsFolder = settings.General().RecordingsFolder();
    options.askBeforeDeletingCalls = settings.General().AskBeforeDeletingCalls();
    options.systemJournal = settings.Log().SystemJournal();
    options.callsJournal = settings.Log().CallsJournal();
    options.showCallerBalloon = settings.IncomingCall().CallerBalloon();
    options.openAppOnCall = settings.IncomingCall().OpenAppOnCall();
    options.playSoundOnCall = settings.IncomingCall().PlaySound();
    options.incomingCallSound = settings.IncomingCall().Sound();
    options.announce = settings.IncomingCall().Announce();
    options.announcementSound = settings.IncomingCall().AnnouncementSound();
    options.announceWhileRecording = settings.IncomingCall().AnnounceWhileRecording();
    options.blockMessageSound = settings.Screening().BlockMessage();
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
