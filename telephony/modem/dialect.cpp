#include "telephony/modem/dialect.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "telephony/modem/dle_codec.h"
#include "telephony/modem/modem_text.h"

namespace orvane::modem {
namespace {

bool IsAlnum(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

// `word` in `text` with no letter or digit right before it and, when
// `wholeWord`, none right after it.
bool HasWord(std::string_view text, std::string_view word, bool wholeWord) {
    for (std::size_t at = text.find(word); at != std::string_view::npos;
         at = text.find(word, at + 1)) {
        const bool startOk = at == 0 || !std::isalpha(static_cast<unsigned char>(text[at - 1]));
        const std::size_t end = at + word.size();
        const bool endOk = !wholeWord || end == text.size() || !IsAlnum(text[end]);
        if (startOk && endOk) {
            return true;
        }
    }
    return false;
}

bool IsClassToken(std::string_view token) {
    const std::size_t dot = token.find('.');
    const std::string_view whole = token.substr(0, dot);
    const std::string_view fraction =
        dot == std::string_view::npos ? std::string_view() : token.substr(dot + 1);
    const auto digits = [](std::string_view part) {
        return std::all_of(part.begin(), part.end(),
                           [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    };
    return !whole.empty() && digits(whole) &&
           (dot == std::string_view::npos || (!fraction.empty() && digits(fraction)));
}

// "8", "8.0", "8.00": voice; "80", "8.1": not.
bool IsVoiceClass(std::string_view token) {
    if (!token.starts_with('8')) {
        return false;
    }
    token.remove_prefix(1);
    if (token.empty()) {
        return true;
    }
    return token.size() > 1 && token.front() == '.' &&
           std::all_of(token.begin() + 1, token.end(), [](char c) { return c == '0'; });
}

DialectCommands PlusVCommands() {
    DialectCommands c;
    c.reset = "ATZ";
    // S0=0: the modem must never answer on its own; the host decides.
    c.basicSetup = "ATE0V1Q0S0=0";
    c.callerIdOn = "AT+VCID=1";
    c.callerIdOnAlt = "AT#CID=1";
    c.voiceMode = "AT+FCLASS=8";
    c.dataMode = "AT+FCLASS=0";
    // Flow control stays with the driver: only it knows whether its port
    // carries RTS/CTS.
    c.voiceSetup = "AT+VIT=0";
    c.formatQuery = "AT+VSM=?";
    c.formatPrefix = "AT+VSM=";
    c.lineQuery = "AT+VLS=?";
    c.linePrefix = "AT+VLS=";
    c.offHookFallback = "AT+VLS=1";
    c.startReceive = "AT+VRX";
    c.stopReceive = {kDle, kReceiveAbort};
    c.hangUp = "ATH0";
    c.dialPrefix = "ATD";
    c.toneQuery = "AT+VTS=?";
    c.startTransmit = "AT+VTX";
    return c;
}

}  // namespace

std::string_view DialectName(Dialect dialect) {
    switch (dialect) {
        case Dialect::V253:
            return "V.253";
        case Dialect::Rockwell:
            return "Rockwell";
        case Dialect::UsRobotics:
            return "U.S. Robotics";
        case Dialect::Lucent:
            return "Lucent";
    }
    return "V.253";
}

DialectCommands CommandsFor(Dialect dialect) {
    DialectCommands c = PlusVCommands();
    switch (dialect) {
        case Dialect::V253:
            break;
        case Dialect::Lucent:
            // Lucent firmware wants the DTE rate unlocked and the line
            // released before the voice commands.
            c.voiceSetup = "AT+VPR=0;+VIT=0;+VLS=0";
            break;
        case Dialect::Rockwell:
            c.callerIdOn = "AT#CID=1";
            c.callerIdOnAlt = "AT+VCID=1";
            c.voiceMode = "AT#CLS=8";
            c.dataMode = "AT#CLS=0";
            // Report busy, dial tone, silence and the handset as DLE events.
            c.voiceSetup = "AT#VTD=3F,3F,3F";
            // One rate (7200/s); 8-bit linear is the one sample size of
            // these modems that is not Rockwell's own ADPCM.
            c.formatQuery.clear();
            c.formatPrefix.clear();
            c.fixedFormatCommand = "AT#VBS=8";
            c.fixedFormat = VoiceFormatChoice{8, SampleEncoding::Unsigned8, 7200};
            // ATZ leaves #VLS=0 (the telephone line), so ATA takes it off-hook.
            c.lineQuery.clear();
            c.linePrefix = "AT#VLS=";
            c.offHookFallback = "ATA";
            c.startReceive = "AT#VRX";
            c.stopReceive = {static_cast<unsigned char>('!')};
            c.hangUp = "ATH";
            c.toneQuery = "AT#VTS=?";
            c.startTransmit = "AT#VTX";
            break;
        case Dialect::UsRobotics:
            c.callerIdOn = "AT#CID=1";
            c.callerIdOnAlt = "AT+VCID=1";
            c.voiceMode = "AT#CLS=8";
            // A Sportster without +FCLASS would stay in voice class.
            c.dataMode = "AT#CLS=0";
            c.voiceSetup = "AT#VTD=3F,3F,3F";
            c.formatQuery = "AT#VSM=?";
            c.formatPrefix = "AT#VSM=";
            c.lineQuery.clear();
            c.linePrefix = "AT#VLS=";
            c.offHookFallback = "AT#VLS=0A";
            c.startReceive = "AT#VRX";
            c.stopReceive = {kDle};
            c.hangUp = "AT#VLS=0H0";
            c.toneQuery = "AT#VTS=?";
            c.startTransmit = "AT#VTX";
            break;
    }
    return c;
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> commands;
    if (line.size() < 2) {
        return {std::string(line)};
    }
    const std::string_view prefix = line.substr(0, 2);
    std::string_view rest = line.substr(2);
    while (true) {
        const std::size_t semicolon = rest.find(';');
        const std::string_view part = Trim(rest.substr(0, semicolon));
        if (!part.empty()) {
            commands.push_back(std::string(prefix) + std::string(part));
        }
        if (semicolon == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(semicolon + 1);
    }
    if (commands.empty()) {
        commands.emplace_back(line);
    }
    return commands;
}

Dialect DetectDialect(const ProbeReplies& replies) {
    std::string identification;
    for (const std::string& line : replies.identification) {
        identification += Upper(line);
        identification += '\n';
    }
    if (!HasVoiceClass(replies.classList) && replies.poundClassOk) {
        const bool usr = HasWord(identification, "U.S. ROBOTICS", false) ||
                         HasWord(identification, "USROBOTICS", false) ||
                         HasWord(identification, "USR", false) ||
                         HasWord(identification, "SPORTSTER", false) ||
                         HasWord(identification, "COURIER", false);
        return usr ? Dialect::UsRobotics : Dialect::Rockwell;
    }
    if (HasWord(identification, "LUCENT", false) || HasWord(identification, "AGERE", false) ||
        HasWord(identification, "LT", true)) {
        return Dialect::Lucent;
    }
    return Dialect::V253;
}

std::vector<std::string> ParseClassList(std::span<const std::string> lines) {
    std::vector<std::string> classes;
    for (const std::string& raw : lines) {
        std::string_view line = Trim(raw);
        if (line.starts_with("+FCLASS:")) {
            line = Trim(line.substr(8));
        }
        std::size_t start = 0;
        while (start <= line.size()) {
            const std::size_t comma = std::min(line.find(',', start), line.size());
            std::string token;
            for (const char c : line.substr(start, comma - start)) {
                if (c != '(' && c != ')' && !std::isspace(static_cast<unsigned char>(c))) {
                    token.push_back(c);
                }
            }
            start = comma + 1;
            const std::size_t dash = token.find('-');
            if (dash != std::string::npos) {
                // "(0-2)"
                const auto low = ParseInt(std::string_view(token).substr(0, dash));
                const auto high = ParseInt(std::string_view(token).substr(dash + 1));
                if (low && high && *low >= 0 && *low <= *high && *high - *low < 256) {
                    for (int k = *low; k <= *high; ++k) {
                        classes.push_back(std::to_string(k));
                    }
                }
            } else if (IsClassToken(token)) {
                classes.push_back(std::move(token));
            }
        }
    }
    return classes;
}

bool HasVoiceClass(std::span<const std::string> lines) {
    const auto classes = ParseClassList(lines);
    return std::any_of(classes.begin(), classes.end(),
                       [](const std::string& token) { return IsVoiceClass(token); });
}

std::vector<LineSelection> ParseLineSelections(std::span<const std::string> lines) {
    std::vector<LineSelection> selections;
    for (const std::string& raw : lines) {
        std::string_view line = Trim(raw);
        if (line.starts_with("+VLS:")) {
            line = Trim(line.substr(5));
        }
        const std::size_t comma = line.find(',');
        if (comma == std::string_view::npos) {
            continue;
        }
        const auto label = ParseInt(line.substr(0, comma));
        const std::string_view rest = Trim(line.substr(comma + 1));
        if (!label || *label < 0 || !rest.starts_with('"')) {
            continue;
        }
        const std::size_t close = rest.find('"', 1);
        if (close == std::string_view::npos) {
            continue;
        }
        selections.push_back({*label, std::string(rest.substr(1, close - 1))});
    }
    return selections;
}

std::optional<int> ChooseLineLabel(std::span<const LineSelection> selections, bool withHandset) {
    const auto find = [&](std::string_view primitives) -> std::optional<int> {
        for (const LineSelection& selection : selections) {
            if (selection.primitives == primitives) {
                return selection.label;
            }
        }
        return std::nullopt;
    };
    if (withHandset) {
        if (const auto label = find("LT")) {
            return label;
        }
    }
    return find("T");
}

}  // namespace orvane::modem
