#pragma once
// Bringing a modem from whatever state it is in to an idle voice line with
// caller ID on: the commands of opening a line. The functions touch only the
// channel they are given, so a line can be set up on a worker thread while
// the window goes on.

#include <atomic>
#include <optional>
#include <string>

#include "telephony/modem/dialect.h"
#include "telephony/modem/voice_format.h"
#include "telephony/modem_probe.h"

namespace orvane {

class ModemChannel;

// What an idle voice line holds besides its port.
struct ModemLineSetup {
    modem::DialectCommands commands;
    std::optional<modem::VoiceFormatChoice> format;  // empty: no sound to record
    std::optional<int> lineLabel;                    // the +VLS number of the telephone line
    // The last set-up could not turn caller ID on: calls come without a number.
    bool callerIdOff = false;
    // The caller-ID standard sent before caller ID is turned on (the
    // command, e.g. "AT!4886=02"); empty: the modem's own. Refused: the
    // modem said ERROR to it, and the set-up went on.
    std::string callerIdStandard;
    bool callerIdStandardRefused = false;
};

struct ModemSetupTiming {
    int command = 2000;
    int reset = 4000;
    int afterReset = 300;  // modems need a moment after ATZ
    int wake = 700;
};

struct ModemSetup {
    qint32 result = 0;  // a line error code
    ModemProbe probe;   // what the modem is, asked now or known from the listing
    ModemLineSetup line;
    // The modem offered a sample format and then refused to take it.
    bool formatRefused = false;
};

// Wakes and resets the modem, sends our init and then the user's
// `extraInit`, and enters voice idle with `callerIdStandard` (a command;
// empty: none). A `known` probe of a modem that
// answered saves asking again. `cancel`, when set, ends the work between
// two commands (the result is then kNotOpen).
ModemSetup SetUpModem(ModemChannel& channel, const std::optional<ModemProbe>& known,
                      const std::string& extraInit, const ModemSetupTiming& timing,
                      const std::atomic<bool>* cancel = nullptr,
                      const std::string& callerIdStandard = {});

// Voice class with caller ID on, the sample format chosen and the line
// label known. Done after every call too, since some modems lose caller ID
// when they change mode. A refused format is dropped from `line`.
qint32 EnterVoiceIdle(ModemChannel& channel, ModemLineSetup& line, int timeoutMs);

// Turns caller ID on and asks whether it took (a modem that forgot it on a
// reset says so); sends the command again once when it did not. False when
// the modem refused every form or still reports it off.
bool TurnCallerIdOn(ModemChannel& channel, const modem::DialectCommands& commands, int timeoutMs);

}  // namespace orvane
