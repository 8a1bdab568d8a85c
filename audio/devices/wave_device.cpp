#include "audio/devices/wave_device.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/acm/acm.h"
#include "audio/base/block_rate.h"
#include "audio/devices/byte_ring.h"
#include "audio/devices/device_backend.h"
#include "audio/devices/device_clock.h"
#include "audio/devices/virtual_devices.h"
#include "audio/host/message_window.h"

namespace sonvel {

namespace {

constexpr int64_t kNanosPerSecond = 1'000'000'000;
// Captured sound an input keeps while the host gives it no buffers.
constexpr int64_t kInputCushionSeconds = 60;
constexpr int64_t kMaxCushionBytes = 32 << 20;

// Bytes a stream of `rate` bytes per second has moved after `elapsed`.
uint64_t BytesIn(ClockDuration elapsed, int64_t rate) {
    const int64_t ns = std::max<int64_t>(elapsed.count(), 0);
    const int64_t seconds = ns / kNanosPerSecond;
    const int64_t rest = ns % kNanosPerSecond;
    return static_cast<uint64_t>(seconds * rate + rest * rate / kNanosPerSecond);
}

// The first instant at which BytesIn reaches `bytes`.
ClockDuration TimeFor(uint64_t bytes, int64_t rate) {
    const auto b = static_cast<int64_t>(bytes);
    const int64_t seconds = b / rate;
    const int64_t rest = b % rate;
    return ClockDuration(seconds * kNanosPerSecond + (rest * kNanosPerSecond + rate - 1) / rate);
}

// ---- backend registry ------------------------------------------------------

std::mutex g_backends_mutex;
std::vector<std::shared_ptr<DeviceBackend>> g_backends;

std::vector<std::shared_ptr<DeviceBackend>> Backends() {
    std::vector<std::shared_ptr<DeviceBackend>> all;
    {
        std::lock_guard lock(g_backends_mutex);
        all = g_backends;
    }
    all.push_back(VirtualDeviceBackend());
    return all;
}

struct Resolved {
    std::shared_ptr<DeviceBackend> backend;
    int index = 0;
};

MMRESULT Resolve(WaveDirection direction, int32_t device, Resolved* out) {
    const auto backends = Backends();
    if (device == WAVE_MAPPER) {
        for (const auto& backend : backends) {
            if (auto index = backend->DefaultDevice(direction)) {
                *out = {backend, *index};
                return MMSYSERR_NOERROR;
            }
        }
        return MMSYSERR_NODRIVER;
    }
    if (device < 0) {
        return MMSYSERR_BADDEVICEID;
    }
    int remaining = device;
    for (const auto& backend : backends) {
        const int count = backend->Count(direction);
        if (remaining < count) {
            *out = {backend, remaining};
            return MMSYSERR_NOERROR;
        }
        remaining -= count;
    }
    return MMSYSERR_BADDEVICEID;
}

uint32_t CountDevices(WaveDirection direction) {
    int total = 0;
    for (const auto& backend : Backends()) {
        total += backend->Count(direction);
    }
    return static_cast<uint32_t>(total);
}

void CopyName(const std::string& name, char (&field)[kMaxPnameLen]) {
    size_t length = std::min(name.size(), static_cast<size_t>(kMaxPnameLen - 1));
    // Never cut inside a UTF-8 sequence.
    while (length > 0 && length < name.size() &&
           (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) {
        --length;
    }
    std::memset(field, 0, kMaxPnameLen);
    std::memcpy(field, name.data(), length);
}

// ---- an open device ----------------------------------------------------------

class OpenDevice : public InputSink {
  public:
    OpenDevice(WaveDirection direction, uint32_t handle, const WaveFormat& format,
               MessageWindow* window, std::shared_ptr<Clock> clock)
        : direction_(direction),
          handle_(handle),
          format_(format),
          // Paced by the sound the bytes hold, not by what nAvgBytesPerSec claims.
          rate_(std::max<int64_t>(SoundBytesPerSecond(format), 1)),
          block_(static_cast<uint64_t>(std::max<int16_t>(format.nBlockAlign, 1))),
          window_(window),
          clock_(std::move(clock)),
          waiter_(clock_->MakeWaiter()),
          ring_(direction == WaveDirection::kInput
                    ? static_cast<size_t>(std::min(rate_ * kInputCushionSeconds, kMaxCushionBytes))
                    : 1) {}

    ~OpenDevice() override { Stop(); }

    void AttachOutput(std::unique_ptr<OutputSink> sink) {
        sink_ = std::move(sink);
        self_paced_ = sink_ && sink_->PacesItself();
    }

    void AttachInput(std::unique_ptr<InputSource> source) {
        source_ = std::move(source);
        paced_ = source_->Paced();
        if (!paced_) {
            source_->Connect(this);
        }
    }

    WaveDirection direction() const { return direction_; }

    void Launch() {
        {
            std::lock_guard lock(mutex_);
            launched_ = true;
            PostLocked(direction_ == WaveDirection::kOutput ? MM_WOM_OPEN : MM_WIM_OPEN, nullptr);
        }
        thread_ = std::thread([this] { Run(); });
    }

    // Stops the thread and detaches the source; posts the close notification.
    void Stop() {
        if (source_ && !paced_) {
            source_->Connect(nullptr);  // outside our lock: the source calls Deliver under its own
        }
        {
            std::lock_guard lock(mutex_);
            if (closing_) {
                return;
            }
            closing_ = true;
        }
        waiter_->Notify();
        if (thread_.joinable()) {
            thread_.join();
        }
        std::lock_guard lock(mutex_);
        if (launched_) {
            PostLocked(direction_ == WaveDirection::kOutput ? MM_WOM_CLOSE : MM_WIM_CLOSE, nullptr);
        }
    }

    MMRESULT Prepare(WAVEHDR* header) {
        if (header == nullptr || (header->lpData == nullptr && header->dwBufferLength > 0)) {
            return MMSYSERR_INVALPARAM;
        }
        std::lock_guard lock(mutex_);
        if ((header->dwFlags & WHDR_PREPARED) == 0) {
            header->dwFlags |= WHDR_PREPARED;
        }
        return MMSYSERR_NOERROR;
    }

    MMRESULT Unprepare(WAVEHDR* header) {
        if (header == nullptr) {
            return MMSYSERR_INVALPARAM;
        }
        std::lock_guard lock(mutex_);
        if ((header->dwFlags & WHDR_INQUEUE) != 0) {
            return WAVERR_STILLPLAYING;
        }
        header->dwFlags &= ~WHDR_PREPARED;
        return MMSYSERR_NOERROR;
    }

    MMRESULT Queue(WAVEHDR* header) {
        if (header == nullptr || (header->lpData == nullptr && header->dwBufferLength > 0)) {
            return MMSYSERR_INVALPARAM;
        }
        {
            std::lock_guard lock(mutex_);
            if ((header->dwFlags & WHDR_PREPARED) == 0) {
                return WAVERR_UNPREPARED;
            }
            if ((header->dwFlags & WHDR_INQUEUE) != 0) {
                return WAVERR_STILLPLAYING;
            }
            header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
            header->dwBytesRecorded = 0;
            queue_.push_back(header);
            if (direction_ == WaveDirection::kOutput && !paused_ && !running_) {
                // The sound starts now, not when the thread gets round to it.
                StartRunningLocked(clock_->Now());
            }
        }
        waiter_->Notify();
        return MMSYSERR_NOERROR;
    }

    MMRESULT Pause() {
        {
            std::lock_guard lock(mutex_);
            ServiceOutputLocked(clock_->Now());
            paused_ = true;
            running_ = false;
        }
        waiter_->Notify();
        return MMSYSERR_NOERROR;
    }

    MMRESULT Restart() {
        {
            std::lock_guard lock(mutex_);
            paused_ = false;
            if (!running_ && !queue_.empty()) {
                StartRunningLocked(clock_->Now());
            }
        }
        waiter_->Notify();
        return MMSYSERR_NOERROR;
    }

    MMRESULT StartInput() {
        {
            std::lock_guard lock(mutex_);
            if (!started_) {
                started_ = true;
                start_time_ = clock_->Now();
                generated_since_start_ = 0;
            }
        }
        waiter_->Notify();
        return MMSYSERR_NOERROR;
    }

    MMRESULT StopInput() {
        {
            std::lock_guard lock(mutex_);
            ServiceInputLocked(clock_->Now());
            started_ = false;
            ring_.clear();
            if (!queue_.empty() && front_offset_ > 0) {
                FinishFrontLocked();
            }
        }
        waiter_->Notify();
        return MMSYSERR_NOERROR;
    }

    MMRESULT Reset() {
        {
            std::lock_guard lock(mutex_);
            if (direction_ == WaveDirection::kInput) {
                ServiceInputLocked(clock_->Now());
                started_ = false;
                ring_.clear();
            }
            while (!queue_.empty()) {
                FinishFrontLocked();
            }
            position_ = 0;
            running_ = false;
        }
        waiter_->Notify();
        return MMSYSERR_NOERROR;
    }

    MMRESULT Position(MMTIME* time) {
        if (time == nullptr) {
            return MMSYSERR_INVALPARAM;
        }
        uint64_t bytes = 0;
        {
            std::lock_guard lock(mutex_);
            bytes = PositionLocked(clock_->Now());
        }
        switch (time->wType) {
            case TIME_SAMPLES:
                // Through the mapper's conversion the bytes are compressed ones.
                time->value = static_cast<uint32_t>(
                    bytes * static_cast<uint64_t>(std::max(format_.nSamplesPerSec, 0)) /
                    static_cast<uint64_t>(rate_));
                break;
            case TIME_MS:
                time->value = static_cast<uint32_t>(bytes * 1000 / static_cast<uint64_t>(rate_));
                break;
            default:
                // Units a wave device cannot give are answered in bytes.
                time->wType = TIME_BYTES;
                time->value = static_cast<uint32_t>(bytes);
                break;
        }
        return MMSYSERR_NOERROR;
    }

    bool HasQueuedBuffers() {
        std::lock_guard lock(mutex_);
        return !queue_.empty();
    }

    // From an unpaced source, any thread. The queued buffers are filled
    // here, not on the device's thread: a source that delivers in small
    // pieces would otherwise wake that thread for each.
    void Deliver(const uint8_t* data, size_t bytes) override {
        std::lock_guard lock(mutex_);
        if (!started_ || closing_) {
            return;
        }
        ring_.Write(data, bytes);
        position_ += bytes;
        ServiceInputLocked(clock_->Now());
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        while (!closing_) {
            if (self_paced_) {
                // Render blocks on the card's clock: never hold the lock through it.
                if (TakeChunkLocked()) {
                    lock.unlock();
                    sink_->Render(scratch_.data(), scratch_.size());
                    lock.lock();
                } else {
                    waiter_->Wait(lock, std::nullopt);
                }
                continue;
            }
            const ClockDuration now = waiter_->Now();
            std::optional<ClockDuration> deadline = direction_ == WaveDirection::kOutput
                                                        ? ServiceOutputLocked(now)
                                                        : ServiceInputLocked(now);
            waiter_->Wait(lock, deadline);
        }
    }

    void StartRunningLocked(ClockDuration now) {
        running_ = true;
        sync_time_ = now;
        sync_bytes_ = position_;
    }

    void PostLocked(uint32_t message, WAVEHDR* header) {
        if (window_ != nullptr) {
            window_->Post({message, handle_, header});
        }
    }

    // Hands the front buffer back (its filled bytes, for input).
    void FinishFrontLocked() {
        WAVEHDR* header = queue_.front();
        queue_.pop_front();
        if (direction_ == WaveDirection::kInput) {
            header->dwBytesRecorded = static_cast<uint32_t>(front_offset_);
        }
        front_offset_ = 0;
        header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        PostLocked(direction_ == WaveDirection::kOutput ? MM_WOM_DONE : MM_WIM_DATA, header);
    }

    // Self-paced output: copies the next piece of the queue into scratch_ and
    // counts it as played. False when there is nothing to play.
    bool TakeChunkLocked() {
        if (!running_ || paused_) {
            return false;
        }
        const uint64_t chunk = std::max<uint64_t>(rate_ / 50 / block_, 1) * block_;
        while (!queue_.empty()) {
            WAVEHDR* header = queue_.front();
            const size_t left = header->dwBufferLength - front_offset_;
            if (left == 0) {
                FinishFrontLocked();
                continue;
            }
            const size_t take = static_cast<size_t>(std::min<uint64_t>(left, chunk));
            scratch_.assign(header->lpData + front_offset_, header->lpData + front_offset_ + take);
            front_offset_ += take;
            position_ += take;
            if (front_offset_ == header->dwBufferLength) {
                FinishFrontLocked();
            }
            return true;
        }
        running_ = false;
        return false;
    }

    // Plays what is due by `now`; returns when the front buffer will be done.
    std::optional<ClockDuration> ServiceOutputLocked(ClockDuration now) {
        if (!running_ || paused_ || self_paced_) {
            return std::nullopt;
        }
        const uint64_t due = sync_bytes_ + BytesIn(now - sync_time_, rate_);
        while (!queue_.empty()) {
            WAVEHDR* header = queue_.front();
            const size_t left = header->dwBufferLength - front_offset_;
            if (left == 0) {
                FinishFrontLocked();
                continue;
            }
            if (position_ >= due) {
                break;
            }
            const size_t take = static_cast<size_t>(std::min<uint64_t>(left, due - position_));
            if (sink_) {
                sink_->Render(header->lpData + front_offset_, take);
            }
            front_offset_ += take;
            position_ += take;
        }
        if (queue_.empty()) {
            running_ = false;  // under-run: the clock of this stream waits for the next buffer
            return std::nullopt;
        }
        const size_t left = queue_.front()->dwBufferLength - front_offset_;
        return sync_time_ + TimeFor(position_ - sync_bytes_ + left, rate_);
    }

    // Captures what is due by `now` and fills queued buffers; returns when
    // the front buffer will be full.
    std::optional<ClockDuration> ServiceInputLocked(ClockDuration now) {
        if (started_ && paced_) {
            const uint64_t due = BytesIn(now - start_time_, rate_) / block_ * block_;
            if (due > generated_since_start_) {
                uint64_t count = due - generated_since_start_;
                position_ += count;
                generated_since_start_ = due;
                if (count > ring_.capacity()) {
                    // Older sound could not be kept anyway.
                    const uint64_t skip = (count - ring_.capacity()) / block_ * block_ + block_;
                    source_->Skip(static_cast<size_t>(skip));
                    count -= skip;
                }
                scratch_.resize(static_cast<size_t>(count));
                source_->Generate(scratch_.data(), scratch_.size());
                ring_.Write(scratch_.data(), scratch_.size());
            }
        }
        if (started_) {
            while (!queue_.empty()) {
                WAVEHDR* header = queue_.front();
                const size_t room = header->dwBufferLength - front_offset_;
                front_offset_ += ring_.Read(header->lpData + front_offset_, room);
                if (front_offset_ < header->dwBufferLength) {
                    break;
                }
                FinishFrontLocked();
            }
        }
        if (!started_ || !paced_ || queue_.empty()) {
            return std::nullopt;
        }
        const uint64_t need = queue_.front()->dwBufferLength - front_offset_ - ring_.size();
        const uint64_t target = (generated_since_start_ + need + block_ - 1) / block_ * block_;
        return start_time_ + TimeFor(target, rate_);
    }

    uint64_t PositionLocked(ClockDuration now) const {
        if (direction_ == WaveDirection::kOutput) {
            if (!running_ || paused_ || self_paced_) {
                return position_;
            }
            uint64_t queued = 0;
            for (const WAVEHDR* header : queue_) {
                queued += header->dwBufferLength;
            }
            queued -= front_offset_;
            const uint64_t due = sync_bytes_ + BytesIn(now - sync_time_, rate_);
            return std::clamp(due, position_, position_ + queued);
        }
        if (started_ && paced_) {
            const uint64_t due = BytesIn(now - start_time_, rate_) / block_ * block_;
            return position_ + (due > generated_since_start_ ? due - generated_since_start_ : 0);
        }
        return position_;
    }

    const WaveDirection direction_;
    const uint32_t handle_;
    const WaveFormat format_;
    const int64_t rate_;
    const uint64_t block_;
    MessageWindow* const window_;
    const std::shared_ptr<Clock> clock_;
    const std::unique_ptr<ClockWaiter> waiter_;
    std::unique_ptr<OutputSink> sink_;
    std::unique_ptr<InputSource> source_;
    bool paced_ = true;
    bool self_paced_ = false;  // output whose sink keeps time itself

    std::mutex mutex_;
    std::thread thread_;
    bool closing_ = false;
    bool launched_ = false;
    std::deque<WAVEHDR*> queue_;
    size_t front_offset_ = 0;  // bytes of the front buffer played or filled
    uint64_t position_ = 0;    // bytes played or captured since open or reset

    // Output: the stream runs from sync_time_, when position_ was sync_bytes_.
    bool paused_ = false;
    bool running_ = false;
    ClockDuration sync_time_{0};
    uint64_t sync_bytes_ = 0;

    // Input.
    bool started_ = false;
    ClockDuration start_time_{0};
    uint64_t generated_since_start_ = 0;
    ByteRing ring_;
    std::vector<uint8_t> scratch_;
};

// ---- the wave mapper's conversion ---------------------------------------------

// Decodes what a compressed output stream plays into PCM for the device, as
// the platform's mapper does. Whole source blocks only: a trailing part block
// waits for the rest of its bytes.
class ConvertingSink : public OutputSink {
  public:
    ConvertingSink(HACMSTREAM stream, uint32_t source_block, std::unique_ptr<OutputSink> device)
        : stream_(stream),
          source_block_(std::max<uint32_t>(source_block, 1)),
          device_(std::move(device)) {}
    ~ConvertingSink() override { acmStreamClose(stream_, 0); }

    bool PacesItself() const override { return device_->PacesItself(); }

    void Render(const uint8_t* data, size_t bytes) override {
        pending_.insert(pending_.end(), data, data + bytes);
        const auto whole = static_cast<uint32_t>(pending_.size() / source_block_ * source_block_);
        uint32_t room = 0;
        if (whole == 0 ||
            acmStreamSize(stream_, whole, &room, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR) {
            return;
        }
        converted_.resize(room);
        ACMSTREAMHEADER header;
        header.pbSrc = pending_.data();
        header.cbSrcLength = whole;
        header.pbDst = converted_.data();
        header.cbDstLength = room;
        if (acmStreamPrepareHeader(stream_, &header, 0) != MMSYSERR_NOERROR) {
            return;
        }
        const uint32_t flags =
            ACM_STREAMCONVERTF_BLOCKALIGN | (started_ ? 0 : ACM_STREAMCONVERTF_START);
        if (acmStreamConvert(stream_, &header, flags) == MMSYSERR_NOERROR) {
            started_ = true;
            device_->Render(converted_.data(), header.cbDstLengthUsed);
            pending_.erase(pending_.begin(), pending_.begin() + header.cbSrcLengthUsed);
        } else {
            pending_.clear();  // undecodable: drop it rather than retry forever
        }
        acmStreamUnprepareHeader(stream_, &header, 0);
    }

  private:
    HACMSTREAM stream_;
    uint32_t source_block_;
    std::unique_ptr<OutputSink> device_;
    std::vector<uint8_t> pending_;
    std::vector<uint8_t> converted_;
    bool started_ = false;
};

// ---- handles -----------------------------------------------------------------

std::mutex g_handles_mutex;
std::map<uint32_t, std::shared_ptr<OpenDevice>> g_handles;
uint32_t g_next_handle = 1;

std::shared_ptr<OpenDevice> Find(uint32_t handle, WaveDirection direction) {
    std::lock_guard lock(g_handles_mutex);
    auto it = g_handles.find(handle);
    if (it == g_handles.end() || it->second->direction() != direction) {
        return nullptr;
    }
    return it->second;
}

uint32_t NewHandle() {
    std::lock_guard lock(g_handles_mutex);
    while (g_next_handle == 0 || g_handles.count(g_next_handle) != 0) {
        ++g_next_handle;
    }
    return g_next_handle++;
}

MMRESULT Open(WaveDirection direction, uint32_t* handle, int32_t device, const WaveFormat& format,
              MessageWindow* window, uint32_t flags) {
    constexpr uint32_t kKnown =
        WAVE_FORMAT_QUERY | WAVE_ALLOWSYNC | WAVE_MAPPED | WAVE_FORMAT_DIRECT | CALLBACK_TYPEMASK;
    if ((flags & ~kKnown) != 0) {
        return MMSYSERR_INVALFLAG;
    }
    const uint32_t callback = flags & CALLBACK_TYPEMASK;
    if (callback != CALLBACK_NULL && callback != CALLBACK_WINDOW) {
        return MMSYSERR_INVALFLAG;  // only window notifications exist here
    }
    const bool query = (flags & WAVE_FORMAT_QUERY) != 0;
    if (!query && (handle == nullptr || (callback == CALLBACK_WINDOW && window == nullptr))) {
        return MMSYSERR_INVALPARAM;
    }
    Resolved target;
    if (MMRESULT result = Resolve(direction, device, &target); result != MMSYSERR_NOERROR) {
        return result;
    }
    // The mapper plays compressed formats through a conversion to PCM.
    WaveFormat device_format = format;
    bool convert = false;
    if (MMRESULT result = target.backend->Query(direction, target.index, format);
        result != MMSYSERR_NOERROR) {
        const bool mapped = device == WAVE_MAPPER || (flags & WAVE_MAPPED) != 0;
        if (result != WAVERR_BADFORMAT || direction != WaveDirection::kOutput || !mapped ||
            format.wFormatTag == WAVE_FORMAT_PCM || (flags & WAVE_FORMAT_DIRECT) != 0 ||
            format.nAvgBytesPerSec <= 0 || format.nBlockAlign <= 0 ||
            acmFormatSuggest(format, &device_format, 0) != MMSYSERR_NOERROR ||
            target.backend->Query(direction, target.index, device_format) != MMSYSERR_NOERROR ||
            acmStreamOpen(nullptr, format, device_format, ACM_STREAMOPENF_QUERY) !=
                MMSYSERR_NOERROR) {
            return result;
        }
        convert = true;
    }
    if (query) {
        return MMSYSERR_NOERROR;
    }
    const uint32_t id = NewHandle();
    auto opened = std::make_shared<OpenDevice>(
        direction, id, format, callback == CALLBACK_WINDOW ? window : nullptr, DeviceClock());
    if (direction == WaveDirection::kOutput) {
        std::unique_ptr<OutputSink> sink;
        if (MMRESULT result = target.backend->OpenOutput(target.index, device_format, &sink);
            result != MMSYSERR_NOERROR) {
            return result;
        }
        if (convert) {
            HACMSTREAM stream = nullptr;
            if (MMRESULT result = acmStreamOpen(&stream, format, device_format, 0);
                result != MMSYSERR_NOERROR) {
                return result;
            }
            sink = std::make_unique<ConvertingSink>(
                stream, static_cast<uint32_t>(format.nBlockAlign), std::move(sink));
        }
        opened->AttachOutput(std::move(sink));
    } else {
        std::unique_ptr<InputSource> source;
        if (MMRESULT result = target.backend->OpenInput(target.index, format, &source);
            result != MMSYSERR_NOERROR) {
            return result;
        }
        opened->AttachInput(std::move(source));
    }
    {
        std::lock_guard lock(g_handles_mutex);
        g_handles[id] = opened;
    }
    opened->Launch();
    *handle = id;
    return MMSYSERR_NOERROR;
}

MMRESULT Close(uint32_t handle, WaveDirection direction) {
    std::shared_ptr<OpenDevice> device;
    {
        std::lock_guard lock(g_handles_mutex);
        auto it = g_handles.find(handle);
        if (it == g_handles.end() || it->second->direction() != direction) {
            return MMSYSERR_INVALHANDLE;
        }
        if (it->second->HasQueuedBuffers()) {
            return WAVERR_STILLPLAYING;
        }
        device = it->second;
        g_handles.erase(it);
    }
    device->Stop();
    return MMSYSERR_NOERROR;
}

template <typename Call>
MMRESULT WithDevice(uint32_t handle, WaveDirection direction, Call call) {
    std::shared_ptr<OpenDevice> device = Find(handle, direction);
    if (!device) {
        return MMSYSERR_INVALHANDLE;
    }
    return call(*device);
}

}  // namespace

void RegisterDeviceBackend(std::shared_ptr<DeviceBackend> backend) {
    if (!backend) {
        return;
    }
    std::lock_guard lock(g_backends_mutex);
    g_backends.push_back(std::move(backend));
}

void UnregisterDeviceBackend(const std::shared_ptr<DeviceBackend>& backend) {
    std::lock_guard lock(g_backends_mutex);
    g_backends.erase(std::remove(g_backends.begin(), g_backends.end(), backend), g_backends.end());
}

int CountRealDevices(WaveDirection direction) {
    std::vector<std::shared_ptr<DeviceBackend>> real;
    {
        std::lock_guard lock(g_backends_mutex);
        real = g_backends;
    }
    int total = 0;
    for (const auto& backend : real) {
        total += backend->Count(direction);
    }
    return total;
}

bool IsPlainPcm(const WaveFormat& format) {
    if (format.wFormatTag != WAVE_FORMAT_PCM || format.nChannels < 1 || format.nChannels > 8 ||
        format.nSamplesPerSec < 1000 || format.nSamplesPerSec > 384000 ||
        (format.wBitsPerSample != 8 && format.wBitsPerSample != 16)) {
        return false;
    }
    const int block = format.nChannels * format.wBitsPerSample / 8;
    return format.nBlockAlign == block && format.nAvgBytesPerSec == format.nSamplesPerSec * block;
}

uint32_t StandardFormatBit(const WaveFormat& format) {
    if (!IsPlainPcm(format) || format.nChannels > 2) {
        return 0;
    }
    int rate_index = 0;
    switch (format.nSamplesPerSec) {
        case 11025:
            rate_index = 0;
            break;
        case 22050:
            rate_index = 1;
            break;
        case 44100:
            rate_index = 2;
            break;
        case 48000:
            rate_index = 3;
            break;
        case 96000:
            rate_index = 4;
            break;
        default:
            return 0;
    }
    const int within = (format.nChannels == 2 ? 1 : 0) + (format.wBitsPerSample == 16 ? 2 : 0);
    return 1u << (rate_index * 4 + within);
}

uint32_t waveOutGetNumDevs() {
    return CountDevices(WaveDirection::kOutput);
}
uint32_t waveInGetNumDevs() {
    return CountDevices(WaveDirection::kInput);
}

MMRESULT waveOutGetDevCaps(int32_t device, WAVEOUTCAPS* caps) {
    if (caps == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    Resolved target;
    if (MMRESULT result = Resolve(WaveDirection::kOutput, device, &target); result != 0) {
        return result;
    }
    DeviceDescription description;
    if (MMRESULT result =
            target.backend->Describe(WaveDirection::kOutput, target.index, &description);
        result != 0) {
        return result;
    }
    *caps = WAVEOUTCAPS{};
    CopyName(description.name, caps->szPname);
    caps->dwFormats = description.formats;
    caps->wChannels = description.channels;
    caps->vDriverVersion = 0x0100;
    return MMSYSERR_NOERROR;
}

MMRESULT waveInGetDevCaps(int32_t device, WAVEINCAPS* caps) {
    if (caps == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    Resolved target;
    if (MMRESULT result = Resolve(WaveDirection::kInput, device, &target); result != 0) {
        return result;
    }
    DeviceDescription description;
    if (MMRESULT result =
            target.backend->Describe(WaveDirection::kInput, target.index, &description);
        result != 0) {
        return result;
    }
    *caps = WAVEINCAPS{};
    CopyName(description.name, caps->szPname);
    caps->dwFormats = description.formats;
    caps->wChannels = description.channels;
    caps->vDriverVersion = 0x0100;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutOpen(HWAVEOUT* handle, int32_t device, const WaveFormat& format,
                     MessageWindow* window, uint32_t flags) {
    return Open(WaveDirection::kOutput, handle, device, format, window, flags);
}

MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header) {
    return WithDevice(handle, WaveDirection::kOutput,
                      [&](OpenDevice& d) { return d.Prepare(header); });
}
MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header) {
    return WithDevice(handle, WaveDirection::kOutput,
                      [&](OpenDevice& d) { return d.Unprepare(header); });
}
MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header) {
    return WithDevice(handle, WaveDirection::kOutput,
                      [&](OpenDevice& d) { return d.Queue(header); });
}
MMRESULT waveOutPause(HWAVEOUT handle) {
    return WithDevice(handle, WaveDirection::kOutput, [](OpenDevice& d) { return d.Pause(); });
}
MMRESULT waveOutRestart(HWAVEOUT handle) {
    return WithDevice(handle, WaveDirection::kOutput, [](OpenDevice& d) { return d.Restart(); });
}
MMRESULT waveOutReset(HWAVEOUT handle) {
    return WithDevice(handle, WaveDirection::kOutput, [](OpenDevice& d) { return d.Reset(); });
}
MMRESULT waveOutGetPosition(HWAVEOUT handle, MMTIME* time) {
    return WithDevice(handle, WaveDirection::kOutput,
                      [&](OpenDevice& d) { return d.Position(time); });
}
MMRESULT waveOutClose(HWAVEOUT handle) {
    return Close(handle, WaveDirection::kOutput);
}

MMRESULT waveInOpen(HWAVEIN* handle, int32_t device, const WaveFormat& format,
                    MessageWindow* window, uint32_t flags) {
    return Open(WaveDirection::kInput, handle, device, format, window, flags);
}
MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header) {
    return WithDevice(handle, WaveDirection::kInput,
                      [&](OpenDevice& d) { return d.Prepare(header); });
}
MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header) {
    return WithDevice(handle, WaveDirection::kInput,
                      [&](OpenDevice& d) { return d.Unprepare(header); });
}
MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header) {
    return WithDevice(handle, WaveDirection::kInput,
                      [&](OpenDevice& d) { return d.Queue(header); });
}
MMRESULT waveInStart(HWAVEIN handle) {
    return WithDevice(handle, WaveDirection::kInput, [](OpenDevice& d) { return d.StartInput(); });
}
MMRESULT waveInStop(HWAVEIN handle) {
    return WithDevice(handle, WaveDirection::kInput, [](OpenDevice& d) { return d.StopInput(); });
}
MMRESULT waveInReset(HWAVEIN handle) {
    return WithDevice(handle, WaveDirection::kInput, [](OpenDevice& d) { return d.Reset(); });
}
MMRESULT waveInGetPosition(HWAVEIN handle, MMTIME* time) {
    return WithDevice(handle, WaveDirection::kInput,
                      [&](OpenDevice& d) { return d.Position(time); });
}
MMRESULT waveInClose(HWAVEIN handle) {
    return Close(handle, WaveDirection::kInput);
}

}  // namespace sonvel
