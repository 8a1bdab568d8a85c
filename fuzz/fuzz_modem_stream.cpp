// Everything a modem sends is read by the driver: whatever the bytes and
// however they are cut into reads, the stream must give the same calls,
// lines must stay within their bound, and a caller taken from them must be
// clean text. The first byte picks the split point, the sample format and
// whether a voice receive is armed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "telephony/modem/caller_id.h"
#include "telephony/modem/modem_stream.h"
#include "telephony/modem/voice_format.h"

namespace {

using orvane::modem::CallerId;
using orvane::modem::CallerIdCollector;
using orvane::modem::ModemStream;
using orvane::modem::ModemStreamSink;
using orvane::modem::SampleEncoding;
using orvane::modem::VoiceDecoder;

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

std::size_t Utf8Chars(std::string_view text) {
    std::size_t chars = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++chars;
        }
    }
    return chars;
}

void CheckClean(std::string_view value, std::size_t maxChars) {
    Check(Utf8Chars(value) <= maxChars);
    Check(value.find('/') == std::string_view::npos);
    Check(value.find('\\') == std::string_view::npos);
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        Check(byte >= 0x20 && byte != 0x7F);
    }
    Check(value.empty() || (value.front() != ' ' && value.back() != ' '));
}

class FuzzSink : public ModemStreamSink {
  public:
    FuzzSink(ModemStream& stream, SampleEncoding encoding, int rate, bool rearm)
        : stream_(stream), decoder_(encoding, rate), rearm_(rearm) {}

    void OnLine(std::string_view line) override {
        Check(!line.empty() && line.size() <= orvane::modem::kMaxLineBytes);
        Check(line.find_first_of("\r\n") == std::string_view::npos);
        log.push_back("L" + std::string(line));
        collector_.FeedLine(line);
        if (const auto packet = orvane::modem::DecodeCallerIdPacket(line)) {
            Check(!packet->Empty());
            CheckCaller(*packet);
        }
        if (line.starts_with("RING")) {
            TakeCaller();
        }
    }
    void OnEvent(char code) override { log.push_back(std::string("E") + code); }
    void OnAudio(std::span<const uint8_t> bytes) override {
        Check(!bytes.empty());
        if (!log.empty() && log.back().starts_with('A')) {
            log.back().append(bytes.begin(), bytes.end());
        } else {
            log.push_back("A" + std::string(bytes.begin(), bytes.end()));
        }
        samples_.clear();
        decoder_.Decode(bytes, samples_);
    }
    void OnVoiceEnd() override {
        log.push_back("V");
        if (rearm_) {
            stream_.ArmVoiceReceive();
        }
    }

    void TakeCaller() {
        const CallerId caller = collector_.Take();
        Check(!caller.name.empty() && !caller.number.empty());
        CheckCaller(caller);
    }

    std::vector<std::string> log;

  private:
    static void CheckCaller(const CallerId& caller) {
        CheckClean(caller.name, orvane::modem::kMaxCallerNameChars);
        CheckClean(caller.number, orvane::modem::kMaxCallerNumberChars);
        CheckClean(caller.date, 8);
        CheckClean(caller.time, 8);
    }

    ModemStream& stream_;
    VoiceDecoder decoder_;
    std::vector<int16_t> samples_;
    CallerIdCollector collector_;
    bool rearm_;
};

std::vector<std::string> Run(std::span<const uint8_t> input, std::size_t split, uint8_t control) {
    constexpr SampleEncoding kEncodings[] = {SampleEncoding::Unsigned8, SampleEncoding::Signed8,
                                             SampleEncoding::MuLaw,     SampleEncoding::ALaw,
                                             SampleEncoding::ImaAdpcm4, SampleEncoding::Signed16Le};
    constexpr int kRates[] = {8000, 7200, 11025, 8000};
    const bool armed = (control & 0x01) != 0;
    ModemStream stream;
    FuzzSink sink(stream, kEncodings[(control >> 1) % 6], kRates[(control >> 4) % 4], armed);
    if (armed) {
        stream.ArmVoiceReceive();
    }
    stream.Feed(input.first(split), sink);
    stream.Feed(input.subspan(split), sink);
    sink.TakeCaller();
    return sink.log;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const uint8_t control = data[0];
    const std::span<const uint8_t> input(data + 1, size - 1);
    const std::size_t split = input.empty() ? 0 : (control * 131u) % (input.size() + 1);
    Check(Run(input, split, control) == Run(input, 0, control));
    return 0;
}
