#pragma once
// A recording read as 16-bit PCM, piece by piece: whatever format the WAV
// file holds goes through the compression manager, so the encoders of
// export see plain samples. Memory stays the same whatever the length.

#include <cstdint>
#include <string>
#include <vector>

#include "audio/acm/acm.h"
#include "audio/base/wave_format.h"
#include "audio/riff/mmio.h"
#include "audio/riff/wave_file.h"

namespace sonvel {

class PcmSource {
  public:
    PcmSource() = default;
    ~PcmSource();
    PcmSource(const PcmSource&) = delete;
    PcmSource& operator=(const PcmSource&) = delete;

    // Opens `path`; `channels` 1 mixes down to mono, 0 keeps the file's.
    // Empty on success, else the reason.
    std::string Open(const std::string& path, int channels);

    // The next piece of interleaved samples (a few seconds at most); an
    // empty *samples means the end. Empty on success, else the reason.
    std::string Read(std::vector<int16_t>* samples);

    uint32_t Rate() const { return static_cast<uint32_t>(pcm_.nSamplesPerSec); }
    int Channels() const { return pcm_.nChannels; }
    // Sample frames the file holds: its "fact" count or its blocks.
    uint64_t TotalFrames() const { return totalFrames_; }
    uint64_t FramesRead() const { return framesRead_; }

  private:
    std::string path_;
    HMMIO in_ = nullptr;
    WaveFileInfo info_;
    WaveFormat pcm_;
    HACMSTREAM stream_ = nullptr;
    ACMSTREAMHEADER header_;
    bool prepared_ = false;
    std::vector<uint8_t> source_;
    std::vector<uint8_t> destination_;
    uint32_t held_ = 0;   // source bytes carried to the next call
    uint64_t left_ = 0;   // source bytes not read yet
    uint32_t flags_ = 0;  // the next conversion's flags
    bool ended_ = false;
    uint64_t totalFrames_ = 0;
    uint64_t framesRead_ = 0;
};

}  // namespace sonvel
