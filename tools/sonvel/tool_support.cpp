#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "audio/host/event_loop_window.h"
#include "audio/wave/wave.h"
#include "tools/sonvel/commands.h"

namespace sonvel::cli {

std::string ResultText(int32_t code) {
    // The control owns the texts; it is made only when a text is wanted, as
    // it starts the device backends.
    static EventLoopWindow window;
    static Wave wave(&window);
    std::string text = wave.WaveOutErrText(code);
    if (text.empty()) {
        text = "Unknown error.";
    }
    return "error " + std::to_string(code) + ": " + text;
}

std::string FormatTagName(int16_t tag) {
    switch (tag) {
        case WAVE_FORMAT_PCM:
            return "PCM";
        case WAVE_FORMAT_MULAW:
            return "mu-law";
        case WAVE_FORMAT_ALAW:
            return "A-law";
        case WAVE_FORMAT_GSM610:
            return "GSM 6.10";
        case WAVE_FORMAT_ADPCM:
            return "IMA ADPCM";
        case WAVE_FORMAT_DSPGROUP_TRUESPEECH:
            return "TrueSpeech";
        default:
            return {};
    }
}

std::string FormatMaskText(uint32_t formats) {
    static constexpr const char* kRates[] = {"11.025 kHz", "22.05 kHz", "44.1 kHz", "48 kHz",
                                             "96 kHz"};
    static constexpr const char* kShapes[] = {"mono 8-bit", "stereo 8-bit", "mono 16-bit",
                                              "stereo 16-bit"};
    constexpr uint32_t kAll = 0xFFFFF;
    if ((formats & kAll) == kAll) {
        return "all standard formats (11.025 to 96 kHz, mono and stereo, 8 and 16-bit)";
    }
    std::string text;
    for (int rate = 0; rate < 5; ++rate) {
        for (int shape = 0; shape < 4; ++shape) {
            if ((formats & (1u << (rate * 4 + shape))) != 0) {
                text += text.empty() ? "" : ", ";
                text += std::string(kRates[rate]) + ' ' + kShapes[shape];
            }
        }
    }
    return text.empty() ? "no standard format" : text;
}

std::optional<SplitArgs> SplitArguments(const Args& args, const std::vector<std::string>& switches,
                                        std::string* problem) {
    SplitArgs split;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg.size() <= 2 || arg.compare(0, 2, "--") != 0) {
            split.files.push_back(arg);
            continue;
        }
        if (std::find(switches.begin(), switches.end(), arg) != switches.end()) {
            split.options.emplace_back(arg, "");
            continue;
        }
        std::string value;
        const size_t equals = arg.find('=');
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            *problem = arg + " needs a value";
            return std::nullopt;
        }
        split.options.emplace_back(arg, value);
    }
    return split;
}

std::optional<long> ParseInteger(const std::string& text, long low, long high) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::string digits = negative ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const long magnitude = std::strtol(digits.c_str(), nullptr, 10);
    const long value = negative ? -magnitude : magnitude;
    if (value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<int32_t> ParseDevice(const std::string& text, std::string* problem) {
    const auto device = ParseInteger(text, -1, 9999);
    if (!device) {
        *problem = "--device needs a device number (-1 for the default), not '" + text + "'";
        return std::nullopt;
    }
    return static_cast<int32_t>(*device);
}

}  // namespace sonvel::cli
