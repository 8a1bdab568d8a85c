#include "audio/devices/virtual_devices.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <numbers>
#include <vector>

#include "audio/devices/device_backend.h"

namespace sonvel {

namespace {

// Larger files are refused rather than read into memory.
constexpr uint64_t kMaxFileBytes = 256ull << 20;

// Pushed sound and the device it goes to; shared by the list entry and the
// open device so either may go first.
struct ExternalFeed {
    std::mutex mutex;
    WaveFormat format;
    InputSink* sink = nullptr;
    bool in_use = false;
    bool removed = false;
};

enum class Kind { kSilence, kTone, kFile, kExternal };

struct VirtualInput {
    VirtualDeviceId id = 0;
    std::string name;
    Kind kind = Kind::kSilence;
    double frequency = 0;
    double amplitude = 0;
    WaveFormat file_format;
    std::shared_ptr<const std::vector<uint8_t>> file_data;
    std::shared_ptr<ExternalFeed> feed;
};

bool SameStreamFormat(const WaveFormat& a, const WaveFormat& b) {
    return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels &&
           a.nSamplesPerSec == b.nSamplesPerSec && a.nAvgBytesPerSec == b.nAvgBytesPerSec &&
           a.nBlockAlign == b.nBlockAlign && a.wBitsPerSample == b.wBitsPerSample;
}

uint32_t AllStandardFormats(int channels) {
    uint32_t bits = 0;
    for (int32_t rate : {11025, 22050, 44100, 48000, 96000}) {
        for (int16_t ch = 1; ch <= channels; ++ch) {
            for (int16_t depth : {8, 16}) {
                WaveFormat format = Pcm16Format(rate, ch);
                format.wBitsPerSample = depth;
                format.nBlockAlign = static_cast<int16_t>(ch * depth / 8);
                format.nAvgBytesPerSec = rate * format.nBlockAlign;
                bits |= StandardFormatBit(format);
            }
        }
    }
    return bits;
}

// Writes one sample value (16-bit scale) in the format's sample size.
void PutSample(uint8_t* out, int16_t bits, int value) {
    if (bits == 8) {
        out[0] = static_cast<uint8_t>((value >> 8) + 128);
    } else {
        const auto v = static_cast<uint16_t>(static_cast<int16_t>(value));
        out[0] = static_cast<uint8_t>(v & 0xFF);
        out[1] = static_cast<uint8_t>(v >> 8);
    }
}

class SilenceSource : public InputSource {
  public:
    explicit SilenceSource(const WaveFormat& format) : bits_(format.wBitsPerSample) {}
    bool Paced() const override { return true; }
    void Generate(uint8_t* data, size_t bytes) override {
        std::memset(data, bits_ == 8 ? 0x80 : 0, bytes);
    }
    void Skip(size_t) override {}
    void Connect(InputSink*) override {}

  private:
    int16_t bits_;
};

class ToneSource : public InputSource {
  public:
    ToneSource(const WaveFormat& format, double frequency, double amplitude)
        : format_(format), frequency_(frequency), amplitude_(std::clamp(amplitude, 0.0, 1.0)) {}
    bool Paced() const override { return true; }

    // Sample n of every channel is amplitude * 32767 * sin(2 pi f n / rate), rounded.
    void Generate(uint8_t* data, size_t bytes) override {
        const size_t block = static_cast<size_t>(format_.nBlockAlign);
        const size_t sample_bytes = static_cast<size_t>(format_.wBitsPerSample / 8);
        for (size_t offset = 0; offset + block <= bytes; offset += block) {
            const double phase = 2.0 * std::numbers::pi * frequency_ * static_cast<double>(frame_) /
                                 format_.nSamplesPerSec;
            const int value = static_cast<int>(std::lround(amplitude_ * 32767.0 * std::sin(phase)));
            for (int channel = 0; channel < format_.nChannels; ++channel) {
                PutSample(data + offset + static_cast<size_t>(channel) * sample_bytes,
                          format_.wBitsPerSample, value);
            }
            ++frame_;
        }
    }
    void Skip(size_t bytes) override {
        frame_ += static_cast<int64_t>(bytes / static_cast<size_t>(format_.nBlockAlign));
    }
    void Connect(InputSink*) override {}

  private:
    WaveFormat format_;
    double frequency_;
    double amplitude_;
    int64_t frame_ = 0;
};

class FileSource : public InputSource {
  public:
    explicit FileSource(std::shared_ptr<const std::vector<uint8_t>> data)
        : data_(std::move(data)) {}
    bool Paced() const override { return true; }
    void Generate(uint8_t* out, size_t bytes) override {
        const std::vector<uint8_t>& data = *data_;
        if (data.empty()) {
            std::memset(out, 0, bytes);
            return;
        }
        while (bytes > 0) {
            const size_t take = std::min(bytes, data.size() - offset_);
            std::memcpy(out, data.data() + offset_, take);
            out += take;
            bytes -= take;
            offset_ = (offset_ + take) % data.size();
        }
    }
    void Skip(size_t bytes) override {
        if (!data_->empty()) {
            offset_ = (offset_ + bytes % data_->size()) % data_->size();
        }
    }
    void Connect(InputSink*) override {}

  private:
    std::shared_ptr<const std::vector<uint8_t>> data_;
    size_t offset_ = 0;
};

class ExternalSource : public InputSource {
  public:
    explicit ExternalSource(std::shared_ptr<ExternalFeed> feed) : feed_(std::move(feed)) {}
    ~ExternalSource() override {
        std::lock_guard lock(feed_->mutex);
        feed_->sink = nullptr;
        feed_->in_use = false;
    }
    bool Paced() const override { return false; }
    void Generate(uint8_t*, size_t) override {}
    void Skip(size_t) override {}
    void Connect(InputSink* sink) override {
        std::lock_guard lock(feed_->mutex);
        feed_->sink = sink;
    }

  private:
    std::shared_ptr<ExternalFeed> feed_;
};

class SilentSink : public OutputSink {
  public:
    void Render(const uint8_t*, size_t) override {}
};

uint16_t LittleU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t LittleU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Reads the format and sound data of a PCM WAV file; only as much as this
// device needs (walks the chunks, trusts no size).
MMRESULT ReadPcmWave(const std::string& path, WaveFormat* format, std::vector<uint8_t>* data) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return MMIOERR_CANNOTOPEN;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return MMIOERR_CANNOTOPEN;
    }
    file.seekg(0, std::ios::end);
    const std::streamoff length = file.tellg();
    if (length < 0) {
        return MMIOERR_CANNOTREAD;
    }
    if (static_cast<uint64_t>(length) > kMaxFileBytes) {
        return MMIOERR_INVALIDFILE;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    file.seekg(0);
    if (!bytes.empty() && !file.read(reinterpret_cast<char*>(bytes.data()), length)) {
        return MMIOERR_CANNOTREAD;
    }
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return MMIOERR_INVALIDFILE;
    }
    bool have_format = false;
    bool have_data = false;
    size_t data_start = 0;
    size_t data_size = 0;
    size_t pos = 12;
    while (pos + 8 <= bytes.size() && !(have_format && have_data)) {
        const uint8_t* header = bytes.data() + pos;
        const uint64_t size = LittleU32(header + 4);
        const size_t body = pos + 8;
        const size_t available = static_cast<size_t>(std::min<uint64_t>(size, bytes.size() - body));
        if (std::memcmp(header, "fmt ", 4) == 0 && !have_format) {
            if (available < 16) {
                return MMIOERR_INVALIDFILE;
            }
            const uint8_t* f = bytes.data() + body;
            *format = WaveFormat{};
            format->wFormatTag = static_cast<int16_t>(LittleU16(f));
            format->nChannels = static_cast<int16_t>(LittleU16(f + 2));
            format->nSamplesPerSec = static_cast<int32_t>(LittleU32(f + 4));
            format->nAvgBytesPerSec = static_cast<int32_t>(LittleU32(f + 8));
            format->nBlockAlign = static_cast<int16_t>(LittleU16(f + 12));
            format->wBitsPerSample = static_cast<int16_t>(LittleU16(f + 14));
            have_format = true;
        } else if (std::memcmp(header, "data", 4) == 0 && !have_data) {
            data_start = body;
            data_size = available;  // a truncated file keeps what is there
            have_data = true;
        }
        pos =
            body + static_cast<size_t>(std::min<uint64_t>(size + (size & 1), bytes.size() - body));
    }
    if (!have_format || !have_data) {
        return MMIOERR_INVALIDFILE;
    }
    if (!IsPlainPcm(*format) || format->wBitsPerSample != 16) {
        return WAVERR_BADFORMAT;
    }
    data_size -= data_size % static_cast<size_t>(format->nBlockAlign);
    data->assign(bytes.begin() + static_cast<std::ptrdiff_t>(data_start),
                 bytes.begin() + static_cast<std::ptrdiff_t>(data_start + data_size));
    return MMSYSERR_NOERROR;
}

class VirtualBackend : public DeviceBackend {
  public:
    VirtualBackend() {
        VirtualInput silence;
        silence.id = kSilenceInputId;
        silence.name = "Sonvel Silence";
        inputs_.push_back(silence);
        VirtualInput tone;
        tone.id = kToneInputId;
        tone.name = "Sonvel Tone 1 kHz";
        tone.kind = Kind::kTone;
        tone.frequency = 1000;
        tone.amplitude = 0.5;
        inputs_.push_back(tone);
    }

    int Count(WaveDirection direction) const override {
        if (direction == WaveDirection::kOutput) {
            return 1;
        }
        std::lock_guard lock(mutex_);
        return static_cast<int>(inputs_.size());
    }

    std::optional<int> DefaultDevice(WaveDirection) const override { return 0; }

    MMRESULT Describe(WaveDirection direction, int index,
                      DeviceDescription* description) const override {
        if (direction == WaveDirection::kOutput) {
            if (index != 0) {
                return MMSYSERR_BADDEVICEID;
            }
            *description = {"Sonvel Silent Output", 2, AllStandardFormats(2)};
            return MMSYSERR_NOERROR;
        }
        VirtualInput input;
        if (!InputAt(index, &input)) {
            return MMSYSERR_BADDEVICEID;
        }
        description->name = input.name;
        switch (input.kind) {
            case Kind::kSilence:
            case Kind::kTone:
                description->channels = 2;
                description->formats = AllStandardFormats(2);
                break;
            case Kind::kFile:
                description->channels = static_cast<uint16_t>(input.file_format.nChannels);
                description->formats = StandardFormatBit(input.file_format);
                break;
            case Kind::kExternal:
                description->channels = static_cast<uint16_t>(input.feed->format.nChannels);
                description->formats = StandardFormatBit(input.feed->format);
                break;
        }
        return MMSYSERR_NOERROR;
    }

    MMRESULT Query(WaveDirection direction, int index, const WaveFormat& format) const override {
        if (direction == WaveDirection::kOutput) {
            if (index != 0) {
                return MMSYSERR_BADDEVICEID;
            }
            return IsPlainPcm(format) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
        }
        VirtualInput input;
        if (!InputAt(index, &input)) {
            return MMSYSERR_BADDEVICEID;
        }
        switch (input.kind) {
            case Kind::kSilence:
            case Kind::kTone:
                return IsPlainPcm(format) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
            case Kind::kFile:
                return SameStreamFormat(format, input.file_format) ? MMSYSERR_NOERROR
                                                                   : WAVERR_BADFORMAT;
            case Kind::kExternal:
                return SameStreamFormat(format, input.feed->format) ? MMSYSERR_NOERROR
                                                                    : WAVERR_BADFORMAT;
        }
        return WAVERR_BADFORMAT;
    }

    MMRESULT OpenInput(int index, const WaveFormat& format,
                       std::unique_ptr<InputSource>* source) override {
        if (MMRESULT result = Query(WaveDirection::kInput, index, format); result != 0) {
            return result;
        }
        VirtualInput input;
        if (!InputAt(index, &input)) {
            return MMSYSERR_BADDEVICEID;
        }
        switch (input.kind) {
            case Kind::kSilence:
                *source = std::make_unique<SilenceSource>(format);
                break;
            case Kind::kTone:
                *source = std::make_unique<ToneSource>(format, input.frequency, input.amplitude);
                break;
            case Kind::kFile:
                *source = std::make_unique<FileSource>(input.file_data);
                break;
            case Kind::kExternal: {
                std::lock_guard lock(input.feed->mutex);
                if (input.feed->in_use) {
                    return MMSYSERR_ALLOCATED;
                }
                input.feed->in_use = true;
                *source = std::make_unique<ExternalSource>(input.feed);
                break;
            }
        }
        return MMSYSERR_NOERROR;
    }

    MMRESULT OpenOutput(int index, const WaveFormat& format,
                        std::unique_ptr<OutputSink>* sink) override {
        if (MMRESULT result = Query(WaveDirection::kOutput, index, format); result != 0) {
            return result;
        }
        *sink = std::make_unique<SilentSink>();
        return MMSYSERR_NOERROR;
    }

    VirtualDeviceId Add(VirtualInput input) {
        std::lock_guard lock(mutex_);
        input.id = next_id_++;
        inputs_.push_back(std::move(input));
        return inputs_.back().id;
    }

    MMRESULT Remove(VirtualDeviceId id) {
        if (id == kSilentOutputId || id == kSilenceInputId || id == kToneInputId) {
            return MMSYSERR_NOTSUPPORTED;
        }
        std::shared_ptr<ExternalFeed> feed;
        {
            std::lock_guard lock(mutex_);
            auto it = std::find_if(inputs_.begin(), inputs_.end(),
                                   [&](const VirtualInput& input) { return input.id == id; });
            if (it == inputs_.end()) {
                return MMSYSERR_BADDEVICEID;
            }
            feed = it->feed;
            inputs_.erase(it);
        }
        if (feed) {
            std::lock_guard lock(feed->mutex);
            feed->removed = true;
        }
        return MMSYSERR_NOERROR;
    }

    std::shared_ptr<ExternalFeed> Feed(VirtualDeviceId id) const {
        std::lock_guard lock(mutex_);
        for (const VirtualInput& input : inputs_) {
            if (input.id == id) {
                return input.feed;
            }
        }
        return nullptr;
    }

    int IndexOf(VirtualDeviceId id) const {
        std::lock_guard lock(mutex_);
        for (size_t i = 0; i < inputs_.size(); ++i) {
            if (inputs_[i].id == id) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

  private:
    bool InputAt(int index, VirtualInput* out) const {
        std::lock_guard lock(mutex_);
        if (index < 0 || index >= static_cast<int>(inputs_.size())) {
            return false;
        }
        *out = inputs_[static_cast<size_t>(index)];
        return true;
    }

    mutable std::mutex mutex_;
    std::vector<VirtualInput> inputs_;
    VirtualDeviceId next_id_ = kToneInputId + 1;
};

std::shared_ptr<VirtualBackend> Backend() {
    static const auto backend = std::make_shared<VirtualBackend>();
    return backend;
}

}  // namespace

std::shared_ptr<DeviceBackend> VirtualDeviceBackend() {
    return Backend();
}

VirtualDeviceId AddToneInput(const std::string& name, double frequency, double amplitude) {
    VirtualInput input;
    input.name = name;
    input.kind = Kind::kTone;
    input.frequency = frequency;
    input.amplitude = amplitude;
    return Backend()->Add(std::move(input));
}

MMRESULT AddFileInput(const std::string& name, const std::string& path, VirtualDeviceId* id) {
    if (id == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    WaveFormat format;
    auto data = std::make_shared<std::vector<uint8_t>>();
    if (MMRESULT result = ReadPcmWave(path, &format, data.get()); result != MMSYSERR_NOERROR) {
        return result;
    }
    VirtualInput input;
    input.name = name;
    input.kind = Kind::kFile;
    input.file_format = format;
    input.file_data = std::move(data);
    *id = Backend()->Add(std::move(input));
    return MMSYSERR_NOERROR;
}

VirtualDeviceId CreateExternalInput(const std::string& name, const WaveFormat& format) {
    if (!IsPlainPcm(format)) {
        return 0;
    }
    VirtualInput input;
    input.name = name;
    input.kind = Kind::kExternal;
    input.feed = std::make_shared<ExternalFeed>();
    input.feed->format = format;
    return Backend()->Add(std::move(input));
}

MMRESULT PushExternalInput(VirtualDeviceId id, const void* data, size_t bytes) {
    std::shared_ptr<ExternalFeed> feed = Backend()->Feed(id);
    if (!feed) {
        return MMSYSERR_BADDEVICEID;
    }
    if (data == nullptr && bytes > 0) {
        return MMSYSERR_INVALPARAM;
    }
    std::lock_guard lock(feed->mutex);
    if (feed->removed) {
        return MMSYSERR_BADDEVICEID;
    }
    if (feed->sink != nullptr && bytes > 0) {
        feed->sink->Deliver(static_cast<const uint8_t*>(data), bytes);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT RemoveVirtualDevice(VirtualDeviceId id) {
    return Backend()->Remove(id);
}

int32_t WaveInDeviceNumber(VirtualDeviceId id) {
    const int index = Backend()->IndexOf(id);
    return index < 0 ? -1 : CountRealDevices(WaveDirection::kInput) + index;
}

int32_t WaveOutDeviceNumber(VirtualDeviceId id) {
    return id == kSilentOutputId ? CountRealDevices(WaveDirection::kOutput) : -1;
}

}  // namespace sonvel
