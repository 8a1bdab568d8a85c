#pragma once
// A test backend with one PCM-only output that keeps what it is given, so a
// test can compare what reached "the speaker" with what it expected. It
// registers ahead of the virtual devices: output 0, and the default.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "audio/devices/device_backend.h"

namespace sonvel::test_support {

class CaptureOutput : public DeviceBackend {
  public:
    // With `freshEachOpen` every open starts an empty recording of what is
    // played; otherwise it accumulates over all opens. With `everyFormat` it
    // takes compressed formats as they are, so the file's own bytes arrive.
    explicit CaptureOutput(bool freshEachOpen = false, bool everyFormat = false)
        : freshEachOpen_(freshEachOpen), everyFormat_(everyFormat) {}

    int Count(WaveDirection direction) const override {
        return direction == WaveDirection::kOutput ? 1 : 0;
    }
    std::optional<int> DefaultDevice(WaveDirection direction) const override {
        return direction == WaveDirection::kOutput ? std::optional<int>(0) : std::nullopt;
    }
    MMRESULT Describe(WaveDirection, int, DeviceDescription* description) const override {
        *description = {"Capture output", 1, 0};
        return MMSYSERR_NOERROR;
    }
    MMRESULT Query(WaveDirection, int, const WaveFormat& format) const override {
        return everyFormat_ || IsPlainPcm(format) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
    }
    MMRESULT OpenInput(int, const WaveFormat&, std::unique_ptr<InputSource>*) override {
        return MMSYSERR_BADDEVICEID;
    }
    MMRESULT OpenOutput(int, const WaveFormat& format, std::unique_ptr<OutputSink>* sink) override {
        std::lock_guard lock(mutex_);
        if (freshEachOpen_) {
            rendered_.clear();
        }
        opened_ = format;
        ++opens_;
        ++live_;
        *sink = std::make_unique<Sink>(this);
        return MMSYSERR_NOERROR;
    }

    std::vector<uint8_t> Rendered() {
        std::lock_guard lock(mutex_);
        return rendered_;
    }
    std::vector<int16_t> Samples() {
        const std::vector<uint8_t> bytes = Rendered();
        std::vector<int16_t> out(bytes.size() / 2);
        for (size_t i = 0; i < out.size(); ++i) {
            out[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        }
        return out;
    }
    WaveFormat Opened() {
        std::lock_guard lock(mutex_);
        return opened_;
    }
    int Opens() {
        std::lock_guard lock(mutex_);
        return opens_;
    }
    // Outputs open now.
    int Live() {
        std::lock_guard lock(mutex_);
        return live_;
    }

  private:
    struct Sink : OutputSink {
        explicit Sink(CaptureOutput* backend) : owner(backend) {}
        ~Sink() override {
            std::lock_guard lock(owner->mutex_);
            --owner->live_;
        }
        void Render(const uint8_t* data, size_t bytes) override {
            std::lock_guard lock(owner->mutex_);
            owner->rendered_.insert(owner->rendered_.end(), data, data + bytes);
        }
        CaptureOutput* owner;
    };

    const bool freshEachOpen_;
    const bool everyFormat_;
    std::mutex mutex_;
    std::vector<uint8_t> rendered_;
    WaveFormat opened_{};
    int opens_ = 0;
    int live_ = 0;
};

}  // namespace sonvel::test_support
