#pragma once
// The settings the running program acts on, as one plain snapshot of the
// settings pages; the program takes a new one whenever a page changes.

#include <QString>
#include <QtGlobal>
#include <functional>

// The sub-keys below the settings root key and the names of their values.
#include "settings/names/devices.h"
#include "settings/names/disconnect_call.h"
#include "settings/names/general.h"
#include "settings/names/incoming_call.h"
#include "settings/names/language.h"
#include "settings/names/log.h"
#include "settings/names/screening.h"

namespace sonvel {
class Wave;
}

namespace orvane {

class ProgramSettings;

struct GlobalOptions {
    // Playback, alert sounds and listening in; the number is looked up by
    // name (SoundDeviceIndex) once the audio controls exist.
    QString soundDeviceName;
    int soundDevice = 0;
    int recordFormat = 0;      // index into the record-format table
    QString recordingsFolder;  // ends in "/" (added when stored without); empty: none set
    bool askBeforeDeletingCalls = true;
    bool systemJournal = false;
    bool callsJournal = false;
    bool showCallerBalloon = false;
    bool openAppOnCall = false;
    bool playSoundOnCall = false;
    QString incomingCallSound;  // file name in the Sound folder
    bool announce = false;
    QString announcementSound;  // file name in the Sound folders; empty: the shipped one
    bool announceWhileRecording = false;
    QString blockMessageSound;  // file name in the Sound folders (the shipped one unless chosen)
};

// The pages' values now (soundDevice left 0: the audio controls know the
// number of a name).
GlobalOptions GlobalOptionsFrom(const ProgramSettings& settings);

// The number of the last of `count` sound devices whose name equals `name`
// exactly; 0 when none does.
qint32 SoundDeviceIndex(qint32 count, const std::function<QString(qint32)>& nameOf,
                        const QString& name);
// The same over the audio control's devices (NumOfWaveDevices,
// GetDetailsDevice).
qint32 SoundDeviceIndex(sonvel::Wave& wave, const QString& name);

}  // namespace orvane
