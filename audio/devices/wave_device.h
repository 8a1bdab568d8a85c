#pragma once
// The engine's wave devices, shaped like the platform's waveIn*/waveOut* API
// with its numbers: devices are numbered globally across backends (real
// devices first, then Sonvel's virtual ones), -1 is the default device, and
// finished buffers and closed devices are posted to a MessageWindow.
//
// A header handed to a device belongs to it until it comes back with
// WHDR_DONE (through MM_WOM_DONE/MM_WIM_DATA, or a reset): read it only then.
// A window must outlive the devices opened on it: close them first.

#include <cstdint>

#include "audio/base/mm_result.h"
#include "audio/base/wave_format.h"

namespace sonvel {

class MessageWindow;

using HWAVEOUT = uint32_t;  // 0 is never a valid handle
using HWAVEIN = uint32_t;

// Open flags.
inline constexpr uint32_t WAVE_FORMAT_QUERY = 0x1;
inline constexpr uint32_t WAVE_ALLOWSYNC = 0x2;
inline constexpr uint32_t WAVE_MAPPED = 0x4;
inline constexpr uint32_t WAVE_FORMAT_DIRECT = 0x8;
inline constexpr uint32_t CALLBACK_NULL = 0;
inline constexpr uint32_t CALLBACK_WINDOW = 0x10000;
inline constexpr uint32_t CALLBACK_TYPEMASK = 0x70000;

// WAVEHDR.dwFlags.
inline constexpr uint32_t WHDR_DONE = 0x01;
inline constexpr uint32_t WHDR_PREPARED = 0x02;
inline constexpr uint32_t WHDR_BEGINLOOP = 0x04;
inline constexpr uint32_t WHDR_ENDLOOP = 0x08;
inline constexpr uint32_t WHDR_INQUEUE = 0x10;

struct WAVEHDR {
    uint8_t* lpData = nullptr;
    uint32_t dwBufferLength = 0;
    uint32_t dwBytesRecorded = 0;
    uintptr_t dwUser = 0;
    uint32_t dwFlags = 0;
    uint32_t dwLoops = 0;
    WAVEHDR* lpNext = nullptr;
    uintptr_t reserved = 0;
};

// MMTIME.wType.
inline constexpr uint32_t TIME_MS = 0x01;
inline constexpr uint32_t TIME_SAMPLES = 0x02;
inline constexpr uint32_t TIME_BYTES = 0x04;

struct MMTIME {
    uint32_t wType = TIME_BYTES;
    uint32_t value = 0;  // milliseconds, samples per channel or bytes, after wType
};

// Standard-format bits of the capabilities (rate 1/2/4/48/96, Mono/Stereo, 8/16 bit).
inline constexpr uint32_t WAVE_FORMAT_1M08 = 0x00000001;
inline constexpr uint32_t WAVE_FORMAT_1S08 = 0x00000002;
inline constexpr uint32_t WAVE_FORMAT_1M16 = 0x00000004;
inline constexpr uint32_t WAVE_FORMAT_1S16 = 0x00000008;
inline constexpr uint32_t WAVE_FORMAT_2M08 = 0x00000010;
inline constexpr uint32_t WAVE_FORMAT_2S08 = 0x00000020;
inline constexpr uint32_t WAVE_FORMAT_2M16 = 0x00000040;
inline constexpr uint32_t WAVE_FORMAT_2S16 = 0x00000080;
inline constexpr uint32_t WAVE_FORMAT_4M08 = 0x00000100;
inline constexpr uint32_t WAVE_FORMAT_4S08 = 0x00000200;
inline constexpr uint32_t WAVE_FORMAT_4M16 = 0x00000400;
inline constexpr uint32_t WAVE_FORMAT_4S16 = 0x00000800;
inline constexpr uint32_t WAVE_FORMAT_48M08 = 0x00001000;
inline constexpr uint32_t WAVE_FORMAT_48S08 = 0x00002000;
inline constexpr uint32_t WAVE_FORMAT_48M16 = 0x00004000;
inline constexpr uint32_t WAVE_FORMAT_48S16 = 0x00008000;
inline constexpr uint32_t WAVE_FORMAT_96M08 = 0x00010000;
inline constexpr uint32_t WAVE_FORMAT_96S08 = 0x00020000;
inline constexpr uint32_t WAVE_FORMAT_96M16 = 0x00040000;
inline constexpr uint32_t WAVE_FORMAT_96S16 = 0x00080000;

inline constexpr int kMaxPnameLen = 32;  // name field, NUL included

struct WAVEOUTCAPS {
    uint16_t wMid = 0;
    uint16_t wPid = 0;
    uint32_t vDriverVersion = 0;
    char szPname[kMaxPnameLen] = {};
    uint32_t dwFormats = 0;
    uint16_t wChannels = 0;
    uint16_t wReserved1 = 0;
    uint32_t dwSupport = 0;
};

struct WAVEINCAPS {
    uint16_t wMid = 0;
    uint16_t wPid = 0;
    uint32_t vDriverVersion = 0;
    char szPname[kMaxPnameLen] = {};
    uint32_t dwFormats = 0;
    uint16_t wChannels = 0;
    uint16_t wReserved1 = 0;
};

uint32_t waveOutGetNumDevs();
uint32_t waveInGetNumDevs();
MMRESULT waveOutGetDevCaps(int32_t device, WAVEOUTCAPS* caps);
MMRESULT waveInGetDevCaps(int32_t device, WAVEINCAPS* caps);

// flags: CALLBACK_WINDOW (window must be given) or CALLBACK_NULL, optionally
// WAVE_FORMAT_QUERY (only ask; `handle` may be null), WAVE_MAPPED,
// WAVE_ALLOWSYNC, WAVE_FORMAT_DIRECT.
MMRESULT waveOutOpen(HWAVEOUT* handle, int32_t device, const WaveFormat& format,
                     MessageWindow* window, uint32_t flags);
MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header);
MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header);
MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header);
MMRESULT waveOutPause(HWAVEOUT handle);
MMRESULT waveOutRestart(HWAVEOUT handle);
MMRESULT waveOutReset(HWAVEOUT handle);
MMRESULT waveOutGetPosition(HWAVEOUT handle, MMTIME* time);
MMRESULT waveOutClose(HWAVEOUT handle);

MMRESULT waveInOpen(HWAVEIN* handle, int32_t device, const WaveFormat& format,
                    MessageWindow* window, uint32_t flags);
MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header);
MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header);
MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header);
MMRESULT waveInStart(HWAVEIN handle);
MMRESULT waveInStop(HWAVEIN handle);
MMRESULT waveInReset(HWAVEIN handle);
MMRESULT waveInGetPosition(HWAVEIN handle, MMTIME* time);
MMRESULT waveInClose(HWAVEIN handle);

}  // namespace sonvel
