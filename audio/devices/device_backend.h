#pragma once
// What a device backend provides to the device layer. A backend lists its
// devices, answers format queries and opens streams; the device layer owns
// the buffer queues, the I/O thread, pacing and notifications.
//
// Backends register at start-up; their devices are numbered in registration
// order, and the virtual backend always comes last.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "audio/base/mm_result.h"
#include "audio/base/wave_format.h"

namespace sonvel {

enum class WaveDirection { kInput, kOutput };

struct DeviceDescription {
    std::string name;
    uint16_t channels = 0;
    uint32_t formats = 0;  // WAVE_FORMAT_1M08 ... bits
};

// Receives what an unpaced input delivers (see InputSource::Paced).
class InputSink {
  public:
    virtual ~InputSink() = default;
    // Callable from any thread; the bytes are copied.
    virtual void Deliver(const uint8_t* data, size_t bytes) = 0;
};

// Where the bytes of an input stream come from.
class InputSource {
  public:
    virtual ~InputSource() = default;
    // Paced sources produce on demand at the format's byte rate on the device
    // clock; unpaced ones deliver on their own through the sink.
    virtual bool Paced() const = 0;
    // Paced: fills exactly `bytes`.
    virtual void Generate(uint8_t* data, size_t bytes) = 0;
    // Paced: skips `bytes` of the signal (data that would be overwritten).
    virtual void Skip(size_t bytes) = 0;
    // Unpaced: where to deliver from now on (null: stop). The source must not
    // call the old sink after this returns.
    virtual void Connect(InputSink* sink) = 0;
};

// Where the bytes of an output stream go; the device layer paces the calls.
class OutputSink {
  public:
    virtual ~OutputSink() = default;
    virtual void Render(const uint8_t* data, size_t bytes) = 0;
    // True when Render blocks until the sink's own hardware takes the bytes
    // (a sound card runs on its own clock): the device layer then hands the
    // buffers over as fast as Render returns instead of pacing on its clock.
    virtual bool PacesItself() const { return false; }
};

class DeviceBackend {
  public:
    virtual ~DeviceBackend() = default;
    virtual int Count(WaveDirection direction) const = 0;
    // Index of this backend's default device, if it has one.
    virtual std::optional<int> DefaultDevice(WaveDirection direction) const = 0;
    virtual MMRESULT Describe(WaveDirection direction, int index,
                              DeviceDescription* description) const = 0;
    // MMSYSERR_NOERROR when the device takes the format, else WAVERR_BADFORMAT etc.
    virtual MMRESULT Query(WaveDirection direction, int index, const WaveFormat& format) const = 0;
    virtual MMRESULT OpenInput(int index, const WaveFormat& format,
                               std::unique_ptr<InputSource>* source) = 0;
    virtual MMRESULT OpenOutput(int index, const WaveFormat& format,
                                std::unique_ptr<OutputSink>* sink) = 0;
};

// Adds a backend of real devices (before the virtual ones).
void RegisterDeviceBackend(std::shared_ptr<DeviceBackend> backend);
// Removes it again (for tests).
void UnregisterDeviceBackend(const std::shared_ptr<DeviceBackend>& backend);

// The number of devices of the registered (non-virtual) backends.
int CountRealDevices(WaveDirection direction);

// Checks that a format is a consistent PCM format of 8 or 16 bits.
bool IsPlainPcm(const WaveFormat& format);

// The standard-format bit of a PCM format, 0 when none applies.
uint32_t StandardFormatBit(const WaveFormat& format);

}  // namespace sonvel
