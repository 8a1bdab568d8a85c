#include "telephony/modem_setup.h"

#include "telephony/line_backend.h"
#include "telephony/modem_channel.h"

namespace orvane {
namespace {

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load();
}

}  // namespace

ModemSetup SetUpModem(ModemChannel& channel, const std::optional<ModemProbe>& known,
                      const std::string& extraInit, const ModemSetupTiming& timing,
                      const std::atomic<bool>* cancel, const std::string& callerIdStandard) {
    ModemSetup setup;
    setup.line.callerIdStandard = callerIdStandard;
    const int timeout = timing.command;
    if (!WakeModem(channel, timing.wake)) {
        setup.result = line_error::kNoAnswer;
        return setup;
    }
    if (Cancelled(cancel)) {
        setup.result = line_error::kNotOpen;
        return setup;
    }
    // Our init goes first so the user's own string can change any of it.
    channel.Command("ATZ", timing.reset);
    channel.Discard(timing.afterReset);
    if (Cancelled(cancel)) {
        setup.result = line_error::kNotOpen;
        return setup;
    }
    setup.probe = known && known->answered ? *known : QueryModem(channel, timeout);
    setup.line.commands = modem::CommandsFor(setup.probe.dialect);
    const modem::DialectCommands& commands = setup.line.commands;
    channel.Command(commands.basicSetup, timeout);
    if (!extraInit.empty()) {
        std::string init = extraInit;
        if (init.size() < 2 || (init.compare(0, 2, "AT") != 0 && init.compare(0, 2, "at") != 0)) {
            init = "AT" + init;
        }
        channel.Command(init, timeout);
    }
    if (!setup.probe.voice) {
        setup.result = line_error::kNotVoiceModem;
        return setup;
    }
    setup.line.format = setup.probe.voiceFormat;
    setup.result = EnterVoiceIdle(channel, setup.line, timeout);
    if (setup.result != line_error::kNone) {
        return setup;
    }
    if (setup.probe.voiceFormat && !setup.line.format) {
        // The line works, but without sound that can be recorded.
        setup.formatRefused = true;
        setup.probe.voiceFormat.reset();
    }
    // The "#" families send digits with #VTS, not +VTS.
    if (!commands.toneQuery.empty()) {
        setup.probe.generatesDigits = channel.Command(commands.toneQuery, timeout).ok();
    }
    if (Cancelled(cancel)) {
        setup.result = line_error::kNotOpen;
    }
    return setup;
}

qint32 EnterVoiceIdle(ModemChannel& channel, ModemLineSetup& line, int timeout) {
    const modem::DialectCommands& commands = line.commands;
    if (!channel.Command(commands.voiceMode, timeout).ok()) {
        return channel.IsOpen() ? line_error::kNotVoiceModem : line_error::kDeviceLost;
    }
    // A firmware that lacks one part of a compound line refuses it whole:
    // then each part is sent on its own.
    if (!commands.voiceSetup.empty() && !channel.Command(commands.voiceSetup, timeout).ok()) {
        const auto parts = modem::SplitCommandLine(commands.voiceSetup);
        if (parts.size() > 1) {
            for (const std::string& part : parts) {
                channel.Command(part, timeout);
            }
        }
    }
    // A RAM patch the modem forgets on a reset: sent every time.
    if (!line.callerIdStandard.empty()) {
        line.callerIdStandardRefused = !channel.Command(line.callerIdStandard, timeout).ok();
    }
    line.callerIdOff = !TurnCallerIdOn(channel, commands, timeout);
    if (line.format && !commands.fixedFormatCommand.empty()) {
        // A refused sample size must not be decoded as if it were taken.
        if (!channel.Command(commands.fixedFormatCommand, timeout).ok()) {
            line.format.reset();
        }
    } else if (line.format && !commands.formatPrefix.empty()) {
        const std::string select = commands.formatPrefix + modem::VoiceFormatArgument(*line.format);
        // Some firmwares want the four-value form.
        if (!channel.Command(select, timeout).ok() &&
            !channel.Command(select + ",0,0", timeout).ok()) {
            line.format.reset();
        }
    }
    if (!line.lineLabel && !commands.lineQuery.empty()) {
        const ModemReply labels = channel.Command(commands.lineQuery, timeout);
        if (labels.ok()) {
            line.lineLabel = modem::ChooseLineLabel(modem::ParseLineSelections(labels.lines), true);
        }
    }
    return channel.IsOpen() ? line_error::kNone : line_error::kDeviceLost;
}

namespace {

// "AT+VCID=1" is read back with "AT+VCID?"; the answer is the value alone
// or with the command's name before it ("+VCID: 1").
std::optional<bool> CallerIdTook(ModemChannel& channel, const std::string& enable, int timeout) {
    const std::size_t equals = enable.find('=');
    if (equals == std::string::npos) {
        return std::nullopt;
    }
    const ModemReply reply = channel.Command(enable.substr(0, equals) + "?", timeout);
    if (!reply.ok()) {
        return std::nullopt;  // a firmware that cannot be asked is taken at its word
    }
    const std::string wanted = enable.substr(equals + 1);
    for (const std::string& line : reply.lines) {
        const std::size_t colon = line.find(':');
        std::string value = colon == std::string::npos ? line : line.substr(colon + 1);
        std::erase(value, ' ');
        if (!value.empty()) {
            return value == wanted;
        }
    }
    return std::nullopt;
}

}  // namespace

bool TurnCallerIdOn(ModemChannel& channel, const modem::DialectCommands& commands, int timeoutMs) {
    for (const std::string* enable : {&commands.callerIdOn, &commands.callerIdOnAlt}) {
        if (enable->empty() || !channel.Command(*enable, timeoutMs).ok()) {
            continue;
        }
        if (CallerIdTook(channel, *enable, timeoutMs).value_or(true)) {
            return true;
        }
        // Once more: some firmwares drop the first command after a reset.
        return channel.Command(*enable, timeoutMs).ok() &&
               CallerIdTook(channel, *enable, timeoutMs).value_or(true);
    }
    return false;
}

}  // namespace orvane
