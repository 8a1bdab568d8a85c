#include "audio/acm/gsm610.h"

#include <gsm.h>

#include <algorithm>
#include <cstring>

namespace sonvel::gsm610 {
namespace {

constexpr size_t kFrameSamples = 160;
// WAV49 splits a block 33 + 32 when decoding; the encoder writes the second
// frame from byte 32, whose low nibble still belongs to the first.
constexpr size_t kFirstHalfBytes = 33;
constexpr size_t kSecondHalfEncodeOffset = 32;

gsm CreateWav49() {
    gsm handle = gsm_create();
    if (handle == nullptr) {
        return nullptr;
    }
    int one = 1;
    if (gsm_option(handle, GSM_OPT_WAV49, &one) < 0) {
        gsm_destroy(handle);
        return nullptr;
    }
    return handle;
}

}  // namespace

struct Codec::State {
    gsm handle = nullptr;
};

Codec::Codec() {
    gsm handle = CreateWav49();
    if (handle != nullptr) {
        state_ = new State{handle};
    }
}

Codec::~Codec() {
    if (state_ != nullptr) {
        gsm_destroy(state_->handle);
        delete state_;
    }
}

bool Codec::Reset() {
    if (state_ == nullptr) {
        return false;
    }
    gsm handle = CreateWav49();
    if (handle == nullptr) {
        return false;
    }
    gsm_destroy(state_->handle);
    state_->handle = handle;
    return true;
}

void Codec::EncodeBlock(const int16_t* samples, uint8_t* out) {
    gsm_signal pcm[kSamplesPerBlock];
    std::copy(samples, samples + kSamplesPerBlock, pcm);
    gsm_byte bytes[kBlockBytes + 1] = {};
    gsm_encode(state_->handle, pcm, bytes);
    gsm_encode(state_->handle, pcm + kFrameSamples, bytes + kSecondHalfEncodeOffset);
    std::memcpy(out, bytes, kBlockBytes);
}

bool Codec::DecodeBlock(const uint8_t* in, int16_t* samples) {
    gsm_byte bytes[kBlockBytes];
    std::memcpy(bytes, in, kBlockBytes);
    gsm_signal pcm[kSamplesPerBlock];
    bool ok = true;
    if (gsm_decode(state_->handle, bytes, pcm) < 0) {
        std::fill(pcm, pcm + kFrameSamples, gsm_signal{0});
        ok = false;
    }
    if (gsm_decode(state_->handle, bytes + kFirstHalfBytes, pcm + kFrameSamples) < 0) {
        std::fill(pcm + kFrameSamples, pcm + kSamplesPerBlock, gsm_signal{0});
        ok = false;
    }
    std::copy(pcm, pcm + kSamplesPerBlock, samples);
    return ok;
}

}  // namespace sonvel::gsm610
