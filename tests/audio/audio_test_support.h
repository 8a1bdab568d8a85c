#pragma once
// What the engine's tests share: a temporary folder and the codec format
// records that recordings use. Plain C++ and GoogleTest, no Qt.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "audio/base/wave_format.h"

namespace sonvel::test_support {

// A temporary folder, removed with everything in it when the object goes.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "sonvel_test_XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        } else {
            ADD_FAILURE() << "cannot make a temporary folder";
        }
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ignored);
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }
    bool valid() const { return !path_.empty(); }

  private:
    std::filesystem::path path_;
};

// Mono 8 kHz codec formats, field for field as the program records them.
inline WaveFormat MulawFormat() {
    WaveFormat f;
    f.wFormatTag = WAVE_FORMAT_MULAW;
    f.nChannels = 1;
    f.nSamplesPerSec = 8000;
    f.nAvgBytesPerSec = 8000;
    f.nBlockAlign = 1;
    f.wBitsPerSample = 8;
    return f;
}

inline WaveFormat AlawFormat() {
    WaveFormat f = MulawFormat();
    f.wFormatTag = WAVE_FORMAT_ALAW;
    return f;
}

inline WaveFormat GsmFormat() {
    WaveFormat f;
    f.wFormatTag = WAVE_FORMAT_GSM610;
    f.nChannels = 1;
    f.nSamplesPerSec = 8000;
    f.nAvgBytesPerSec = 1625;
    f.nBlockAlign = 65;
    f.cbSize = 2;
    f.xBytes[0] = 0x40;
    f.xBytes[1] = 0x01;
    return f;
}

inline WaveFormat ImaFormat() {
    WaveFormat f;
    f.wFormatTag = WAVE_FORMAT_ADPCM;
    f.nChannels = 1;
    f.nSamplesPerSec = 8000;
    f.nAvgBytesPerSec = 4055;
    f.nBlockAlign = 256;
    f.wBitsPerSample = 4;
    f.cbSize = 2;
    f.xBytes[0] = 0xF9;
    f.xBytes[1] = 0x01;
    return f;
}

inline WaveFormat TrueSpeechFormat() {
    WaveFormat f;
    f.wFormatTag = WAVE_FORMAT_DSPGROUP_TRUESPEECH;
    f.nChannels = 1;
    f.nSamplesPerSec = 8000;
    f.nAvgBytesPerSec = 1067;
    f.nBlockAlign = 32;
    f.wBitsPerSample = 1;
    f.cbSize = 32;
    const uint8_t extra[10] = {0x01, 0x00, 0xF0, 0x00, 0x00, 0xF0, 0x40, 0x00, 0x00, 0x00};
    std::memcpy(f.xBytes, extra, sizeof extra);
    return f;
}

}  // namespace sonvel::test_support
