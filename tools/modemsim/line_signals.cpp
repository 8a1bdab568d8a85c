#include "tools/modemsim/line_signals.h"

#include <ctime>
#include <vector>

#include "telephony/modem/caller_id.h"
#include "telephony/modem/dle_codec.h"

namespace orvane::modemsim {
namespace {

std::string TwoDigits(int value) {
    return std::string{static_cast<char>('0' + value / 10 % 10),
                       static_cast<char>('0' + value % 10)};
}

// "MMDD" and "HHMM" of the local clock where the scenario gave none.
void FillClock(std::string& date, std::string& time) {
    if (!date.empty() && !time.empty()) {
        return;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    if (date.empty()) {
        date = TwoDigits(local.tm_mon + 1) + TwoDigits(local.tm_mday);
    }
    if (time.empty()) {
        time = TwoDigits(local.tm_hour) + TwoDigits(local.tm_min);
    }
}

}  // namespace

SignalContext ContextOf(const AtInterpreter& modem, bool ringText) {
    SignalContext context;
    context.dialect = modem.dialect();
    context.voiceClass = modem.VoiceClass();
    context.model = modem.model();
    context.callerIdMode = modem.CallerIdReported() ? modem.settings().callerId : 0;
    context.ringText = ringText;
    return context;
}

std::string DleEvent(char code) {
    return std::string{static_cast<char>(modem::kDle), code};
}

std::string RingBytes(const SignalContext& context) {
    if (!context.voiceClass) {
        return "\r\nRING\r\n";
    }
    std::string bytes = DleEvent(modem::event::kRing);
    if (context.ringText) {
        bytes += "\r\nRING\r\n";
    }
    return bytes;
}

std::string CallerIdBytes(const SignalContext& context, const CallerIdMessage& message) {
    if (context.callerIdMode == 0) {
        return {};
    }
    CidFormat format = context.callerIdMode == 2 ? CidFormat::Mdmf : CidFormat::Spaces;
    if (message.format) {
        format = *message.format;
    }
    return FormatCallerId(message, format);
}

std::string FormatCallerId(const CallerIdMessage& message, CidFormat format) {
    if (format == CidFormat::Raw) {
        return message.raw;
    }
    std::string date = message.date;
    std::string time = message.time;
    FillClock(date, time);
    if (format == CidFormat::Mdmf) {
        return "\r\n" + modem::EncodeMdmfPacket(date + time, message.number, message.name) + "\r\n";
    }
    if (format == CidFormat::Mesg) {
        return "\r\nMESG = " + modem::EncodeMdmfPacket(date + time, message.number, message.name) +
               "\r\n";
    }
    if (format == CidFormat::Sdmf) {
        return "\r\n" + modem::EncodeSdmfPacket(date + time, message.number) + "\r\n";
    }
    const std::string equals = format == CidFormat::NoSpaces ? "=" : " = ";
    std::vector<std::string> fields = {"DATE" + equals + date, "TIME" + equals + time};
    if (!message.number.empty()) {
        fields.push_back("NMBR" + equals + message.number);
    }
    if (!message.name.empty()) {
        fields.push_back("NAME" + equals + message.name);
    }
    const std::string separator = format == CidFormat::OneLine ? " " : "\r\n";
    std::string text = "\r\n";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        text += (i == 0 ? "" : separator) + fields[i];
    }
    return text + "\r\n";
}

std::string HandsetBytes(const SignalContext& context, bool offHook) {
    if (!context.voiceClass) {
        return {};
    }
    if (context.model == ModemModel::Conexant) {
        // An extension is seen as the line voltage dropping and rising.
        return DleEvent(offHook ? modem::event::kLineVoltageDown : modem::event::kLineVoltageUp);
    }
    if (!offHook) {
        return DleEvent(modem::event::kHandsetOnHook);
    }
    return DleEvent(context.dialect == Dialect::Rockwell ? modem::event::kRockwellOffHook
                                                         : modem::event::kHandsetOffHook);
}

}  // namespace orvane::modemsim
