#pragma once
// A WAV file whose recording was cut off (the process killed, the power
// gone) holds more sound than its header claims: the recorder writes the
// sizes only after the sound they cover. This measures the sound actually
// in the file and, where the header's RIFF and "data" sizes say otherwise,
// writes them so that every player takes the whole file.

#include <QString>
#include <QtGlobal>

namespace orvane {

enum class WaveRepairResult {
    kWhole,     // the header already claimed what the file holds
    kRepaired,  // the sizes were written anew
    kNoSound,   // the header, or less: no sound at all
    kNotAWave,  // no RIFF "WAVE" with "fmt " and "data", or not a regular file
    kFailed,    // the file could not be opened or written
};

struct WaveRepair {
    WaveRepairResult result = WaveRepairResult::kFailed;
    qint64 dataBytes = 0;       // whole blocks of sound in the file
    qint32 bytesPerSecond = 0;  // the format's nAvgBytesPerSec
};

// Never follows a link. Sound is measured from the "data" chunk's start to
// the end of the file, in whole blocks of the format.
WaveRepair RepairWaveHeader(const QString& path);

}  // namespace orvane
