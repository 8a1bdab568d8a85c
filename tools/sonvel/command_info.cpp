#include <cstdio>
#include <ostream>
#include <string>

#include "audio/riff/wave_file.h"
#include "tools/sonvel/commands.h"

namespace sonvel::cli {
namespace {

// Seconds with decimals: from the sample count where the file gives one or
// its blocks do, as nAvgBytesPerSec of block codecs is rounded.
double LengthSeconds(const WaveFileInfo& info) {
    const WaveFormat& format = info.format;
    const uint32_t perBlock = FramesPerBlock(format);
    const auto rate = static_cast<double>(format.nSamplesPerSec);
    if (perBlock > 1) {
        const uint64_t blockFrames =
            uint64_t{info.dataSize} / static_cast<uint32_t>(format.nBlockAlign) * perBlock;
        if (info.hasFactSamples && info.factSamples <= blockFrames) {
            return info.factSamples / rate;
        }
        return static_cast<double>(blockFrames) / rate;
    }
    return static_cast<double>(info.dataSize) / format.nAvgBytesPerSec;
}

void PrintInfo(const std::string& path, const WaveFileInfo& info, std::ostream& out) {
    const WaveFormat& f = info.format;
    const std::string name = FormatTagName(f.wFormatTag);
    char length[32];
    std::snprintf(length, sizeof length, "%.3f", LengthSeconds(info));
    out << path << ":\n"
        << "  format tag:     " << f.wFormatTag << (name.empty() ? "" : " (" + name + ")") << '\n'
        << "  channels:       " << f.nChannels << '\n'
        << "  sample rate:    " << f.nSamplesPerSec << " Hz\n"
        << "  bytes/second:   " << f.nAvgBytesPerSec << '\n'
        << "  block align:    " << f.nBlockAlign << '\n'
        << "  bits/sample:    " << f.wBitsPerSample << '\n'
        << "  cbSize:         " << f.cbSize << '\n'
        << "  data bytes:     " << info.dataSize << '\n';
    if (info.hasFactSamples) {
        out << "  samples (fact): " << info.factSamples << '\n';
    }
    out << "  length:         " << length << " s\n";
}

}  // namespace

int RunInfo(const Args& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        return UsageError(err, "info", "info needs at least one file");
    }
    int status = kExitOk;
    for (const std::string& path : args) {
        WaveFileInfo info;
        const MMRESULT result = GetWaveFileInfo(path.c_str(), &info);
        if (result != MMSYSERR_NOERROR) {
            out.flush();
            err << "sonvel: " << path << ": not a usable WAV file (" << ResultText(result) << ")\n";
            status = kExitFailure;
            continue;
        }
        PrintInfo(path, info, out);
    }
    return status;
}

}  // namespace sonvel::cli
