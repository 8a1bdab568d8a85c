#include "telephony/modem/modem_stream.h"

#include <algorithm>

namespace orvane::modem {
namespace {

bool IsLineEnd(uint8_t byte) {
    return byte == '\r' || byte == '\n';
}

bool IsConnect(std::string_view line) {
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return false;
    }
    line.remove_prefix(first);
    line.remove_suffix(line.size() - 1 - line.find_last_not_of(" \t"));
    return line == "CONNECT";
}

}  // namespace

void ModemStream::Feed(std::span<const uint8_t> data, ModemStreamSink& sink) {
    std::size_t used = 0;
    while (used < data.size()) {
        if (inVoice_) {
            used += FeedVoice(data.subspan(used), sink);
        } else {
            FeedText(data, used, sink);
        }
    }
}

void ModemStream::FeedText(std::span<const uint8_t> data, std::size_t& used,
                           ModemStreamSink& sink) {
    while (used < data.size()) {
        const uint8_t byte = data[used++];
        if (textDle_) {
            textDle_ = false;
            sink.OnEvent(static_cast<char>(byte));
            continue;
        }
        if (byte == kDle) {
            textDle_ = true;
            continue;
        }
        if (IsLineEnd(byte)) {
            if (EndLine(sink)) {
                skipLf_ = byte == '\r';
                return;
            }
            continue;
        }
        if (overlong_) {
            continue;
        }
        if (line_.size() >= kMaxLineBytes) {
            overlong_ = true;
            continue;
        }
        line_.push_back(static_cast<char>(byte));
    }
}

std::size_t ModemStream::FeedVoice(std::span<const uint8_t> data, ModemStreamSink& sink) {
    std::size_t used = 0;
    if (skipLf_) {
        skipLf_ = false;
        if (data[0] == '\n') {
            used = 1;
        }
    }
    while (used < data.size()) {
        // Decode up to the end of the next DLE pair, so that the sound before
        // an event reaches the sink before the event does.
        std::size_t end = used + 1;
        if (!decoder_.PendingDle()) {
            const auto dle =
                std::find(data.begin() + static_cast<std::ptrdiff_t>(used), data.end(), kDle);
            end = dle == data.end()
                      ? data.size()
                      : std::min(static_cast<std::size_t>(dle - data.begin()) + 2, data.size());
        }
        audio_.clear();
        events_.clear();
        used += decoder_.Decode(data.subspan(used, end - used), audio_, events_);
        if (!audio_.empty()) {
            sink.OnAudio(audio_);
        }
        for (const char code : events_) {
            sink.OnEvent(code);
        }
        if (decoder_.Ended()) {
            inVoice_ = false;
            decoder_.Reset();
            sink.OnVoiceEnd();
            break;
        }
        if (!inVoice_) {
            break;  // the sink reset the stream
        }
    }
    return used;
}

bool ModemStream::EndLine(ModemStreamSink& sink) {
    overlong_ = false;
    if (line_.empty()) {
        return false;
    }
    std::string line;
    line.swap(line_);
    // The state changes before the sink hears the line, so a sink that asks
    // InVoiceReceive() on "CONNECT" gets the truth.
    const bool toVoice = armed_ && IsConnect(line);
    if (toVoice) {
        armed_ = false;
        inVoice_ = true;
        decoder_.Reset();
    }
    sink.OnLine(line);
    return toVoice;
}

void ModemStream::Reset() {
    line_.clear();
    overlong_ = false;
    textDle_ = false;
    armed_ = false;
    inVoice_ = false;
    skipLf_ = false;
    decoder_.Reset();
    audio_.clear();
    events_.clear();
}

}  // namespace orvane::modem
