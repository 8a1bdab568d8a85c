#pragma once
// The formats a recorded call can be stored in, and the capture buffer size
// each needs. The records are handed to the audio engine as copies of all
// 28 bytes, so they are kept here byte for byte.

#include <cstdint>

#include "audio/sonvel_host.h"

namespace orvane {

struct RecordFormats {
    sonvel::WaveFormat pcm16;  // the capture format of every recording
    sonvel::WaveFormat muLaw;
    sonvel::WaveFormat trueSpeech;
    sonvel::WaveFormat gsm610;
    sonvel::WaveFormat imaAdpcm;  // built, but no setting selects it
};

// The table, built once.
const RecordFormats& WaveFormats();

// What the record-format setting ("cmbRecordFormatRec", 0..3) selects.
struct RecordChoice {
    sonvel::WaveFormat codec;
    int32_t bufferSize = 0;  // bytes of capture format: whole codec blocks
};

// A setting outside 0..3 records as 16-bit PCM, the one format every
// machine can write.
RecordChoice RecordChoiceFor(int setting);

}  // namespace orvane
