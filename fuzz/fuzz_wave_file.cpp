// WAV files arrive from other programs and from half-finished recordings:
// whatever they hold, reading the header must not crash, must not place
// the sound data outside the file, and reading that data must stop at its
// end. Playback's own opening of the file (Wave::OpenFile, which reads the
// header through the same reader) must agree with it and survive its
// positions and seeks.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/base/block_rate.h"
#include "audio/host/event_loop_window.h"
#include "audio/riff/mmio.h"
#include "audio/riff/wave_file.h"
#include "audio/wave/wave.h"

namespace {

// One scratch file per process, rewritten for every input.
const std::string& ScratchPath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        std::string pattern =
            std::string(dir != nullptr && dir[0] != '\0' ? dir : "/tmp") + "/fuzz_wave_file_XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) {
            std::perror("mkstemp");
            std::abort();
        }
        ::close(fd);
        std::atexit([] { ::unlink(ScratchPath().c_str()); });
        return pattern;
    }();
    return path;
}

void WriteScratch(const uint8_t* data, size_t size) {
    const int fd = ::open(ScratchPath().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        std::abort();
    }
    size_t written = 0;
    while (written < size) {
        const ssize_t rc = ::write(fd, data + written, size - written);
        if (rc <= 0) {
            std::abort();
        }
        written += static_cast<size_t>(rc);
    }
    ::close(fd);
}

// One player per process; only the virtual devices, whatever the machine has.
sonvel::Wave& Player() {
    static sonvel::EventLoopWindow window;
    static sonvel::Wave* const wave = [] {
        ::setenv("SONVEL_NO_ALSA", "1", 1);
        return new sonvel::Wave(&window);
    }();
    return *wave;
}

// Opens the file as StartPlay does, then the position queries and seeks.
void OpenForPlayback(sonvel::MMRESULT read, const sonvel::WaveFileInfo& info) {
    sonvel::Wave& player = Player();
    std::string path = ScratchPath();
    const int32_t opened = player.OpenFile(path);
    const int32_t expected = info.failedPart == sonvel::WaveFilePart::kFile
                                 ? sonvel::kWaveErrOpenFile
                                 : static_cast<int32_t>(read);
    if (opened != expected) {
        std::abort();
    }
    if (opened != 0) {
        return;
    }
    for (int32_t percent : {0, 50, 99, 100}) {
        int32_t position = percent;
        player.FileSeek(position);
        if (player.GetPositionSliderX() < 0 || player.GetPositionSecondsX() < 0) {
            std::abort();
        }
    }
    int32_t seconds = 1;
    player.FileSeekX(seconds);
    player.StopPlayProc();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteScratch(data, size);
    sonvel::WaveFileInfo info;
    sonvel::HMMIO file = nullptr;
    const sonvel::MMRESULT read = sonvel::OpenWaveFile(ScratchPath().c_str(), &file, &info);
    OpenForPlayback(read, info);
    if (read != sonvel::MMSYSERR_NOERROR) {
        return 0;
    }
    // Block codecs are timed by their blocks, the rest by nAvgBytesPerSec.
    const uint64_t seconds =
        sonvel::FramesPerBlock(info.format) > 1
            ? sonvel::SoundFrames(info.format, info.dataSize, info.hasFactSamples,
                                  info.factSamples) /
                  static_cast<uint32_t>(info.format.nSamplesPerSec)
            : info.dataSize / static_cast<uint32_t>(info.format.nAvgBytesPerSec);
    if (static_cast<uint64_t>(info.dataOffset) + info.dataSize > size ||
        info.dataSize > info.dataSizeStored || info.format.nAvgBytesPerSec <= 0 ||
        info.format.nBlockAlign <= 0 || info.format.nSamplesPerSec <= 0 ||
        info.secondsLength != seconds) {
        std::abort();
    }
    // Read the sound the way playback does: block-sized pieces up to the end.
    uint8_t buffer[4096];
    const int32_t block = info.format.nBlockAlign;
    const int32_t piece = std::min<int32_t>(block * std::max<int32_t>(800 / block, 1),
                                            static_cast<int32_t>(sizeof(buffer)));
    uint64_t total = 0;
    while (total < info.dataSize) {
        const uint64_t left = info.dataSize - total;
        const int32_t want =
            static_cast<int32_t>(std::min<uint64_t>(left, static_cast<uint64_t>(piece)));
        const int32_t got = sonvel::mmioRead(file, buffer, want);
        if (got != want) {
            std::abort();  // the data lies inside the file, so it must be readable
        }
        total += static_cast<uint64_t>(got);
    }
    // A seek to the middle of the data and back to its start, as the
    // player's position slider does.
    const int64_t middle = info.dataOffset + info.dataSize / 2;
    if (sonvel::mmioSeek(file, middle, SEEK_SET) != middle ||
        sonvel::mmioSeek(file, info.dataOffset, SEEK_SET) != info.dataOffset) {
        std::abort();
    }
    if (sonvel::mmioClose(file) != sonvel::MMSYSERR_NOERROR) {
        std::abort();
    }
    return 0;
}
