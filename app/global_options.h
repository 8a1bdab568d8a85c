#pragma once
// The settings the running program acts on, read once while the main
// window loads. The settings dialog's OK updates the same values in memory.

#include <QString>

namespace orvane {

class RegistryRoutines;

struct GlobalOptions {
    // Playback, alert sounds and listening in; turned into a device number
    // once the audio engine can list its devices.
    QString soundDeviceName;
    int soundDevice = 0;
    int recordFormat = 0;      // index into the record-format table
    QString recordingsFolder;  // ends in "/"; empty means the current folder
    bool systemJournal = false;
    bool callsJournal = false;
    bool showCallerBalloon = false;
    bool openAppOnCall = false;
    bool playSoundOnCall = false;
    QString incomingCallSound;  // file name in the Sound folder
};

// Sub-keys below the settings root key.
inline const QString kTabDevices = QStringLiteral("Properties\\TabDevices");
inline const QString kTabGeneral = QStringLiteral("Properties\\TabGeneral");
inline const QString kTabLog = QStringLiteral("Properties\\TabLog");
inline const QString kTabIncomingCall = QStringLiteral("Properties\\TabInCommingCall");
inline const QString kTabDisconnectCall = QStringLiteral("Events\\TabDisconnectCall");
inline const QString kLanguageKey = QStringLiteral("Language");

// Reads the options through `settings`, which is moved from sub-key to
// sub-key on the way. Missing values give the documented defaults.
GlobalOptions GetGlobalOptions(RegistryRoutines& settings);

}  // namespace orvane
