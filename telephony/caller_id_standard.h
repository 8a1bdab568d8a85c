#pragma once
// The caller-ID standard a Conexant CX93001/CX93010 modem listens for. Its
// region firmware may listen for another region's standard and then reports
// no caller ID at all; "AT!4886=<code>" chooses the line's, until the next
// reset, so it is sent on every set-up.

#include <QString>
#include <array>
#include <string>

namespace orvane {

// The codes the firmware takes, in the order the Devices page lists them:
// Bell FSK, V.23, ETSI FSK, UK (BT), ETSI DTMF.
inline constexpr std::array<const char*, 5> kCallerIdStandards = {"00", "01", "02", "03", "05"};

// The code of a stored choice ("2" and " 02 " are "02"); empty for the
// modem's own standard, and for anything not in the list.
QString CallerIdStandardCode(const QString& stored);

// The command that sets `code` (a code of the list).
std::string CallerIdStandardCommand(const QString& code);

}  // namespace orvane
