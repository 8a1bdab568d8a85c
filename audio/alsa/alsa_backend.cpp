#include "audio/alsa/alsa_backend.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace sonvel {

namespace {

std::atomic<uint64_t> g_xruns{0};

// A device that stays stuck this long is given up on, so a writer never hangs.
constexpr int kStallLimitMs = 2000;

void DropMessage(const char* /*file*/, int /*line*/, const char* /*function*/, int /*error*/,
                 const char* /*format*/, ...) {}

struct PcmCloser {
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using PcmHandle = std::unique_ptr<snd_pcm_t, PcmCloser>;

struct HwParamsDeleter {
    void operator()(snd_pcm_hw_params_t* params) const { snd_pcm_hw_params_free(params); }
};
using HwParams = std::unique_ptr<snd_pcm_hw_params_t, HwParamsDeleter>;

snd_pcm_stream_t StreamOf(WaveDirection direction) {
    return direction == WaveDirection::kInput ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
}

// Non-blocking open: a busy device answers at once instead of waiting.
int OpenPcm(const std::string& name, WaveDirection direction, PcmHandle* pcm) {
    QuietAlsaErrors();
    snd_pcm_t* raw = nullptr;
    const int error = snd_pcm_open(&raw, name.c_str(), StreamOf(direction), SND_PCM_NONBLOCK);
    if (error < 0) {
        return error;
    }
    pcm->reset(raw);
    return 0;
}

std::string FirstLine(const char* text) {
    std::string line = text == nullptr ? std::string() : std::string(text);
    const size_t end = line.find('\n');
    return end == std::string::npos ? line : line.substr(0, end);
}

std::string TakeHint(void* hint, const char* id) {
    char* value = snd_device_name_get_hint(hint, id);
    std::string text = value == nullptr ? std::string() : std::string(value);
    std::free(value);
    return text;
}

bool FormatOf(const WaveFormat& format, snd_pcm_format_t* alsa_format) {
    if (!IsPlainPcm(format) || format.nChannels < 1 || format.nChannels > 2) {
        return false;
    }
    *alsa_format = format.wBitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
    return true;
}

// Sets the stream up for `format` with 20 ms periods; the period in frames.
MMRESULT Configure(snd_pcm_t* pcm, WaveDirection direction, const WaveFormat& format,
                   snd_pcm_uframes_t* period_frames) {
    snd_pcm_format_t alsa_format{};
    if (!FormatOf(format, &alsa_format)) {
        return WAVERR_BADFORMAT;
    }
    snd_pcm_hw_params_t* raw = nullptr;
    if (snd_pcm_hw_params_malloc(&raw) < 0) {
        return MMSYSERR_NOMEM;
    }
    HwParams hw(raw);
    auto rate = static_cast<unsigned int>(format.nSamplesPerSec);
    if (snd_pcm_hw_params_any(pcm, raw) < 0 ||
        snd_pcm_hw_params_set_access(pcm, raw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(pcm, raw, alsa_format) < 0 ||
        snd_pcm_hw_params_set_channels(pcm, raw, static_cast<unsigned int>(format.nChannels)) < 0 ||
        snd_pcm_hw_params_set_rate_resample(pcm, raw, 1) < 0 ||
        snd_pcm_hw_params_set_rate_near(pcm, raw, &rate, nullptr) < 0) {
        return WAVERR_BADFORMAT;
    }
    // A stream at another rate would play at the wrong speed.
    if (rate != static_cast<unsigned int>(format.nSamplesPerSec)) {
        return WAVERR_BADFORMAT;
    }
    snd_pcm_uframes_t period = std::max<snd_pcm_uframes_t>(rate / 50, 1);
    snd_pcm_uframes_t buffer = period * 6;
    if (snd_pcm_hw_params_set_period_size_near(pcm, raw, &period, nullptr) < 0 ||
        snd_pcm_hw_params_set_buffer_size_near(pcm, raw, &buffer) < 0 ||
        snd_pcm_hw_params(pcm, raw) < 0) {
        return WAVERR_BADFORMAT;
    }
    snd_pcm_hw_params_get_period_size(raw, &period, nullptr);

    snd_pcm_sw_params_t* sw = nullptr;
    snd_pcm_sw_params_alloca(&sw);
    snd_pcm_sw_params_current(pcm, sw);
    snd_pcm_sw_params_set_avail_min(pcm, sw, period);
    snd_pcm_sw_params_set_start_threshold(pcm, sw, direction == WaveDirection::kInput ? 1 : period);
    if (snd_pcm_sw_params(pcm, sw) < 0) {
        return MMSYSERR_ERROR;
    }
    *period_frames = period;
    return MMSYSERR_NOERROR;
}

// Brings a stream back after an xrun or a suspend; false when it is beyond help.
bool Recover(snd_pcm_t* pcm, int error) {
    if (error == -EPIPE || error == -ESTRPIPE) {
        g_xruns.fetch_add(1, std::memory_order_relaxed);
    }
    return snd_pcm_recover(pcm, error, 1) >= 0;
}

// ---- playback -------------------------------------------------------------------

class AlsaOutput : public OutputSink {
  public:
    AlsaOutput(PcmHandle pcm, size_t frame_bytes) : pcm_(std::move(pcm)), frame_(frame_bytes) {}

    ~AlsaOutput() override {
        if (!broken_) {
            // What was written is played out, not cut off.
            snd_pcm_nonblock(pcm_.get(), 0);
            snd_pcm_drain(pcm_.get());
        }
    }

    bool PacesItself() const override { return true; }

    void Render(const uint8_t* data, size_t bytes) override {
        pending_.insert(pending_.end(), data, data + bytes);
        const size_t frames = pending_.size() / frame_;
        size_t done = 0;
        int stalled_ms = 0;
        while (done < frames && !broken_) {
            const snd_pcm_sframes_t written =
                snd_pcm_writei(pcm_.get(), pending_.data() + done * frame_, frames - done);
            if (written >= 0) {
                done += static_cast<size_t>(written);
                stalled_ms = 0;
                continue;
            }
            if (written == -EAGAIN) {
                constexpr int kWaitMs = 100;
                if (snd_pcm_wait(pcm_.get(), kWaitMs) == 0) {
                    stalled_ms += kWaitMs;
                    if (stalled_ms >= kStallLimitMs) {
                        break;  // a stuck device loses this piece, the caller goes on
                    }
                }
                continue;
            }
            if (!Recover(pcm_.get(), static_cast<int>(written))) {
                broken_ = true;
            }
        }
        pending_.erase(pending_.begin(),
                       pending_.begin() + static_cast<std::ptrdiff_t>(frames * frame_));
    }

  private:
    PcmHandle pcm_;
    const size_t frame_;
    std::vector<uint8_t> pending_;  // a part frame waits for the rest of its bytes
    bool broken_ = false;
};

// ---- capture --------------------------------------------------------------------

class AlsaInput : public InputSource {
  public:
    AlsaInput(PcmHandle pcm, size_t frame_bytes, snd_pcm_uframes_t period, int stop_fd)
        : pcm_(std::move(pcm)), frame_(frame_bytes), period_(period), stop_fd_(stop_fd) {
        thread_ = std::thread([this] { Run(); });
    }

    ~AlsaInput() override {
        {
            std::lock_guard lock(sink_mutex_);
            stopping_ = true;
        }
        sink_changed_.notify_all();
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(stop_fd_, &one, sizeof one);
        thread_.join();
        close(stop_fd_);
    }

    bool Paced() const override { return false; }
    void Generate(uint8_t* /*data*/, size_t /*bytes*/) override {}
    void Skip(size_t /*bytes*/) override {}

    void Connect(InputSink* sink) override {
        {
            std::lock_guard lock(sink_mutex_);
            sink_ = sink;
        }
        sink_changed_.notify_all();
    }

  private:
    void Run() {
        snd_pcm_t* pcm = pcm_.get();
        const int count = std::max(snd_pcm_poll_descriptors_count(pcm), 0);
        std::vector<pollfd> fds(static_cast<size_t>(count) + 1);
        snd_pcm_poll_descriptors(pcm, fds.data(), static_cast<unsigned int>(count));
        fds[static_cast<size_t>(count)] = {stop_fd_, POLLIN, 0};
        std::vector<uint8_t> buffer(period_ * frame_);
        {
            // Capture starts when someone listens, so nothing is read and
            // thrown away between opening the device and connecting to it.
            std::unique_lock lock(sink_mutex_);
            sink_changed_.wait(lock, [this] { return sink_ != nullptr || stopping_; });
            if (stopping_) {
                return;
            }
        }
        snd_pcm_start(pcm);
        for (;;) {
            const snd_pcm_sframes_t got = snd_pcm_readi(pcm, buffer.data(), period_);
            if (got > 0) {
                std::lock_guard lock(sink_mutex_);
                if (sink_ != nullptr) {
                    sink_->Deliver(buffer.data(), static_cast<size_t>(got) * frame_);
                }
            } else if (got == -EAGAIN || got == 0) {
                for (auto& fd : fds) {
                    fd.revents = 0;
                }
                if (poll(fds.data(), fds.size(), kStallLimitMs) < 0 && errno != EINTR) {
                    return;
                }
            } else if (Recover(pcm, static_cast<int>(got))) {
                snd_pcm_start(pcm);
            } else {
                return;  // the device is gone: the stream goes quiet
            }
            if (fds.back().revents != 0 || StopRequested()) {
                return;
            }
        }
    }

    bool StopRequested() const {
        pollfd stop{stop_fd_, POLLIN, 0};
        return poll(&stop, 1, 0) > 0;
    }

    PcmHandle pcm_;
    const size_t frame_;
    const snd_pcm_uframes_t period_;
    const int stop_fd_;
    std::mutex sink_mutex_;
    std::condition_variable sink_changed_;
    InputSink* sink_ = nullptr;
    bool stopping_ = false;
    std::thread thread_;
};

// ---- the backend ------------------------------------------------------------------

class AlsaBackend : public DeviceBackend {
  public:
    explicit AlsaBackend(std::vector<AlsaDevice> devices) : devices_(std::move(devices)) {}

    int Count(WaveDirection direction) const override {
        return static_cast<int>(std::count_if(
            devices_.begin(), devices_.end(),
            [direction](const AlsaDevice& device) { return Has(device, direction); }));
    }

    std::optional<int> DefaultDevice(WaveDirection direction) const override {
        const AlsaDevice* device = Find(direction, 0);
        if (device != nullptr && device->pcm == "default") {
            return 0;
        }
        return std::nullopt;
    }

    MMRESULT Describe(WaveDirection direction, int index,
                      DeviceDescription* description) const override {
        const AlsaDevice* device = Find(direction, index);
        if (device == nullptr) {
            return MMSYSERR_BADDEVICEID;
        }
        if (description == nullptr) {
            return MMSYSERR_INVALPARAM;
        }
        description->name = device->name;
        description->channels = 0;
        description->formats = 0;
        PcmHandle pcm;
        snd_pcm_hw_params_t* raw = nullptr;
        if (OpenPcm(device->pcm, direction, &pcm) < 0 || snd_pcm_hw_params_malloc(&raw) < 0) {
            return MMSYSERR_NOERROR;  // a device busy now still has its name
        }
        HwParams hw(raw);
        unsigned int channels = 0;
        if (snd_pcm_hw_params_any(pcm.get(), raw) >= 0 &&
            snd_pcm_hw_params_get_channels_max(raw, &channels) >= 0) {
            description->channels = static_cast<uint16_t>(std::min(channels, 2u));
        }
        snd_pcm_hw_params_set_rate_resample(pcm.get(), raw, 1);
        for (int32_t rate : {11025, 22050, 44100, 48000, 96000}) {
            for (int16_t count = 1; count <= 2; ++count) {
                for (int16_t depth : {8, 16}) {
                    WaveFormat format = Pcm16Format(rate, count);
                    format.wBitsPerSample = depth;
                    format.nBlockAlign = static_cast<int16_t>(count * depth / 8);
                    format.nAvgBytesPerSec = rate * format.nBlockAlign;
                    snd_pcm_format_t alsa_format{};
                    if (FormatOf(format, &alsa_format) &&
                        snd_pcm_hw_params_test_format(pcm.get(), raw, alsa_format) == 0 &&
                        snd_pcm_hw_params_test_channels(pcm.get(), raw,
                                                        static_cast<unsigned int>(count)) == 0 &&
                        snd_pcm_hw_params_test_rate(pcm.get(), raw, static_cast<unsigned int>(rate),
                                                    0) == 0) {
                        description->formats |= StandardFormatBit(format);
                    }
                }
            }
        }
        return MMSYSERR_NOERROR;
    }

    MMRESULT Query(WaveDirection direction, int index, const WaveFormat& format) const override {
        PcmHandle pcm;
        snd_pcm_uframes_t period = 0;
        return Open(direction, index, format, &pcm, &period);
    }

    MMRESULT OpenInput(int index, const WaveFormat& format,
                       std::unique_ptr<InputSource>* source) override {
        if (source == nullptr) {
            return MMSYSERR_INVALPARAM;
        }
        PcmHandle pcm;
        snd_pcm_uframes_t period = 0;
        const MMRESULT result = Open(WaveDirection::kInput, index, format, &pcm, &period);
        if (result != MMSYSERR_NOERROR) {
            return result;
        }
        const int stop_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (stop_fd < 0) {
            return MMSYSERR_NOMEM;
        }
        *source = std::make_unique<AlsaInput>(
            std::move(pcm), static_cast<size_t>(format.nBlockAlign), period, stop_fd);
        return MMSYSERR_NOERROR;
    }

    MMRESULT OpenOutput(int index, const WaveFormat& format,
                        std::unique_ptr<OutputSink>* sink) override {
        if (sink == nullptr) {
            return MMSYSERR_INVALPARAM;
        }
        PcmHandle pcm;
        snd_pcm_uframes_t period = 0;
        const MMRESULT result = Open(WaveDirection::kOutput, index, format, &pcm, &period);
        if (result != MMSYSERR_NOERROR) {
            return result;
        }
        *sink =
            std::make_unique<AlsaOutput>(std::move(pcm), static_cast<size_t>(format.nBlockAlign));
        return MMSYSERR_NOERROR;
    }

  private:
    static bool Has(const AlsaDevice& device, WaveDirection direction) {
        return direction == WaveDirection::kInput ? device.capture : device.playback;
    }

    const AlsaDevice* Find(WaveDirection direction, int index) const {
        for (const AlsaDevice& device : devices_) {
            if (Has(device, direction) && index-- == 0) {
                return &device;
            }
        }
        return nullptr;
    }

    MMRESULT Open(WaveDirection direction, int index, const WaveFormat& format, PcmHandle* pcm,
                  snd_pcm_uframes_t* period) const {
        const AlsaDevice* device = Find(direction, index);
        if (device == nullptr) {
            return MMSYSERR_BADDEVICEID;
        }
        snd_pcm_format_t alsa_format{};
        if (!FormatOf(format, &alsa_format)) {
            return WAVERR_BADFORMAT;
        }
        const int error = OpenPcm(device->pcm, direction, pcm);
        if (error < 0) {
            return AlsaResult(error);
        }
        return Configure(pcm->get(), direction, format, period);
    }

    const std::vector<AlsaDevice> devices_;
};

bool Opens(const std::string& name, WaveDirection direction) {
    PcmHandle pcm;
    return OpenPcm(name, direction, &pcm) == 0;
}

}  // namespace

void QuietAlsaErrors() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(&DropMessage); });
}

uint64_t AlsaRecoveredXruns() {
    return g_xruns.load(std::memory_order_relaxed);
}

MMRESULT AlsaResult(int error) {
    switch (error) {
        case 0:
            return MMSYSERR_NOERROR;
        case -ENOENT:
            return MMSYSERR_BADDEVICEID;
        case -EBUSY:
            return MMSYSERR_ALLOCATED;
        case -ENOMEM:
            return MMSYSERR_NOMEM;
        case -ENODEV:
        case -ENXIO:
            return MMSYSERR_NODRIVER;
        default:
            return MMSYSERR_ERROR;
    }
}

namespace {

// Entries that are not a place to record or play a call: rate converters,
// channel mixers and per-speaker views of a card wrap what "default" and the
// card's own entries already offer, and "jack"/"oss" only talk to servers
// that a probe would try to start (printing to the terminal as it fails).
bool IsWrapperEntry(const std::string& name) {
    static const char* const kNames[] = {"jack",  "oss",   "lavrate",  "samplerate", "speexrate",
                                         "speex", "upmix", "vdownmix", "a52",        "usbstream"};
    static const char* const kPrefixes[] = {
        "front:",      "rear:",       "center_lfe:", "side:",       "surround21:", "surround40:",
        "surround41:", "surround50:", "surround51:", "surround71:", "iec958:",     "spdif:",
        "hdmi:",       "dmix:",       "dsnoop:",     "usbstream:",  "a52:"};
    for (const char* wrapper : kNames) {
        if (name == wrapper) {
            return true;
        }
    }
    for (const char* prefix : kPrefixes) {
        if (name.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

// Configurations differ in case ("PulseAudio sound server").
bool EndsWithAnyCase(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(),
                      text.end() - static_cast<std::ptrdiff_t>(suffix.size()), [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// At most `limit` bytes: cut after the last whole word that fits, without
// the blank or separator it ended on; a single long word is cut between
// characters, never inside one.
std::string FitTo(const std::string& text, size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    std::string cut;
    const size_t blank = text.rfind(' ', limit);
    if (blank != std::string::npos && blank > 0) {
        cut = text.substr(0, blank);
        while (!cut.empty() && std::string(" ,;:-/(").find(cut.back()) != std::string::npos) {
            cut.pop_back();
        }
    }
    if (cut.empty()) {
        size_t length = limit;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
            --length;
        }
        cut = text.substr(0, length);
    }
    return cut;
}

// The sound server that ALSA's default device goes through, as its
// configuration describes it ("Playback/recording through the PulseAudio
// Sound Server"); empty when the description names no server.
std::string ServerBehindDefault(const std::string& description) {
    static const char* const kPrefixes[] = {"Playback/recording through the ",
                                            "Default ALSA Output (currently "};
    std::string server;
    for (const char* prefix : kPrefixes) {
        if (StartsWith(description, prefix)) {
            server = description.substr(std::string(prefix).size());
        }
    }
    if (EndsWithAnyCase(server, ")")) {
        server.pop_back();
    }
    for (const char* suffix : {" Sound Server", " Media Server", " Server"}) {
        if (EndsWithAnyCase(server, suffix)) {
            server.resize(server.size() - std::string(suffix).size());
            break;
        }
    }
    return Trimmed(server);
}

}  // namespace

std::string ReadableDeviceName(const std::string& pcm, const std::string& description,
                               size_t limit) {
    const std::string text = Trimmed(FirstLine(description.c_str()));
    if (pcm == "default") {
        const std::string server = ServerBehindDefault(text);
        if (!server.empty()) {
            const std::string named = "Default (" + server + ")";
            return FitTo(named.size() <= limit ? named : "Default " + server, limit);
        }
        return FitTo(text.empty() ? std::string("Default Audio Device") : text, limit);
    }
    // A card's entries read "card, device": the card's name alone tells
    // more than a cut in the middle of the device's.
    const size_t comma = text.find(", ");
    if (text.size() > limit && comma != std::string::npos && comma > 0) {
        return FitTo(text.substr(0, comma), limit);
    }
    return FitTo(text.empty() ? pcm : text, limit);
}

std::vector<AlsaDevice> ListAlsaDevices() {
    QuietAlsaErrors();
    std::vector<AlsaDevice> devices;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr) {
        return devices;
    }
    std::string default_description;
    for (void** hint = hints; *hint != nullptr; ++hint) {
        const std::string name = TakeHint(*hint, "NAME");
        // "null" discards everything; "hw:" is "plughw:" without the conversions.
        if (name.empty() || name == "null" || name.rfind("hw:", 0) == 0 || IsWrapperEntry(name)) {
            continue;
        }
        const std::string ioid = TakeHint(*hint, "IOID");
        AlsaDevice device;
        device.pcm = name;
        const std::string description = TakeHint(*hint, "DESC");
        device.name = ReadableDeviceName(name, description);
        if (name == "default") {
            default_description = description;
            continue;
        }
        // Only what opens now: a sound server that is not running, or a card
        // that is gone, is no device to offer.
        device.capture = (ioid.empty() || ioid == "Input") && Opens(name, WaveDirection::kInput);
        device.playback = (ioid.empty() || ioid == "Output") && Opens(name, WaveDirection::kOutput);
        if (device.capture || device.playback) {
            devices.push_back(std::move(device));
        }
    }
    snd_device_name_free_hint(hints);

    AlsaDevice fallback;
    fallback.pcm = "default";
    fallback.name = ReadableDeviceName("default", default_description);
    fallback.capture = Opens("default", WaveDirection::kInput);
    fallback.playback = Opens("default", WaveDirection::kOutput);
    if (fallback.capture || fallback.playback) {
        devices.insert(devices.begin(), std::move(fallback));
    }
    return devices;
}

std::shared_ptr<DeviceBackend> MakeAlsaBackend() {
    return std::make_shared<AlsaBackend>(ListAlsaDevices());
}

void RegisterAlsaBackend() {
    if (std::getenv("SONVEL_NO_ALSA") != nullptr) {
        return;
    }
    QuietAlsaErrors();
    auto devices = ListAlsaDevices();
    if (devices.empty()) {
        return;
    }
    RegisterDeviceBackend(std::make_shared<AlsaBackend>(std::move(devices)));
}

}  // namespace sonvel
