#pragma once
// The Devices page: the telephone line and the sound device.

#include <QString>

namespace orvane {

inline const QString kTabDevices = QStringLiteral("Properties\\TabDevices");

namespace setting {
// The chosen line device, by the name the line lists it under.
inline const QString kCmbModemDev = QStringLiteral("cmbModemDev");
// List only the line devices the program recommends.
inline const QString kChkDisplayRecomendedDevices = QStringLiteral("chkDisplayRecomendedDevices");
// The output device for playback, alert sounds and listening in, by name.
inline const QString kCmbSoundDev = QStringLiteral("cmbSoundDev");
// Extra serial ports to look for modems on, separated by ";" or blanks.
inline const QString kTxtLinePorts = QStringLiteral("txtLinePorts");
// An AT command line sent last while the modem is set up.
inline const QString kTxtModemInit = QStringLiteral("txtModemInit");
// Seconds of silence that end a connected call (a far end that hung up
// without the exchange sending a busy tone); 0 or nothing: never.
inline const QString kTxtSilenceLimit = QStringLiteral("txtSilenceLimit");
// Minutes a connected call may last before it is ended; 0 or nothing: no limit.
inline const QString kTxtLongestCall = QStringLiteral("txtLongestCall");
// The caller-ID standard sent to Conexant modems with AT!4886= ("00" Bell
// FSK, "01" V.23, "02" ETSI FSK, "03" UK, "05" ETSI DTMF); missing or
// empty: the modem's own, nothing sent.
inline const QString kCmbCallerIdStandard = QStringLiteral("CmbCallerIdStandard");
}  // namespace setting

}  // namespace orvane
