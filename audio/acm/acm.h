#pragma once
// The engine's audio compression manager: conversion streams between wave
// formats, shaped like the platform's acmStream* calls so that the recording
// and playback pipelines keep their structure. Streams are synchronous.

#include <cstdint>

#include "audio/base/mm_result.h"
#include "audio/base/wave_format.h"

namespace sonvel {

// Opaque stream handle; never dereferenced by callers. A closed or unknown
// handle is answered with MMSYSERR_INVALHANDLE.
struct AcmStreamHandle;
using HACMSTREAM = AcmStreamHandle*;

inline constexpr uint32_t ACM_STREAMOPENF_QUERY = 0x1;
inline constexpr uint32_t ACM_STREAMOPENF_ASYNC = 0x2;
inline constexpr uint32_t ACM_STREAMOPENF_NONREALTIME = 0x4;

inline constexpr uint32_t ACM_STREAMSIZEF_SOURCE = 0x0;
inline constexpr uint32_t ACM_STREAMSIZEF_DESTINATION = 0x1;
inline constexpr uint32_t ACM_STREAMSIZEF_QUERYMASK = 0xF;

inline constexpr uint32_t ACM_STREAMCONVERTF_BLOCKALIGN = 0x4;
inline constexpr uint32_t ACM_STREAMCONVERTF_START = 0x10;
inline constexpr uint32_t ACM_STREAMCONVERTF_END = 0x20;

inline constexpr uint32_t ACMSTREAMHEADER_STATUSF_DONE = 0x10000;
inline constexpr uint32_t ACMSTREAMHEADER_STATUSF_PREPARED = 0x20000;
inline constexpr uint32_t ACMSTREAMHEADER_STATUSF_INQUEUE = 0x100000;

inline constexpr uint32_t ACM_FORMATSUGGESTF_WFORMATTAG = 0x10000;
inline constexpr uint32_t ACM_FORMATSUGGESTF_NCHANNELS = 0x20000;
inline constexpr uint32_t ACM_FORMATSUGGESTF_NSAMPLESPERSEC = 0x40000;
inline constexpr uint32_t ACM_FORMATSUGGESTF_WBITSPERSAMPLE = 0x80000;

// One conversion's buffers. Fill cbStruct, pbSrc, cbSrcLength, pbDst and
// cbDstLength, prepare it on the stream, convert (as often as wanted, with
// cbSrcLength/cbDstLength at most the prepared lengths), then unprepare.
struct ACMSTREAMHEADER {
    uint32_t cbStruct = sizeof(ACMSTREAMHEADER);
    uint32_t fdwStatus = 0;
    uintptr_t dwUser = 0;
    uint8_t* pbSrc = nullptr;
    uint32_t cbSrcLength = 0;
    uint32_t cbSrcLengthUsed = 0;
    uintptr_t dwSrcUser = 0;
    uint8_t* pbDst = nullptr;
    uint32_t cbDstLength = 0;
    uint32_t cbDstLengthUsed = 0;
    uintptr_t dwDstUser = 0;
    uint32_t dwReservedDriver[6] = {};
};

// Opens a stream from src to dst. With ACM_STREAMOPENF_QUERY only answers
// whether the pair converts (out may then be null). ACMERR_NOTPOSSIBLE when
// no driver or chain through 16-bit PCM reaches dst.
MMRESULT acmStreamOpen(HACMSTREAM* out, const WaveFormat& src, const WaveFormat& dst,
                       uint32_t flags);
MMRESULT acmStreamClose(HACMSTREAM h, uint32_t flags);

// Byte count on the other side for `input` bytes: with _SOURCE the
// destination room that `input` source bytes need, with _DESTINATION the
// source bytes whose conversion fits in `input` destination bytes.
MMRESULT acmStreamSize(HACMSTREAM h, uint32_t input, uint32_t* output, uint32_t flags);

MMRESULT acmStreamPrepareHeader(HACMSTREAM h, ACMSTREAMHEADER* header, uint32_t flags);
MMRESULT acmStreamConvert(HACMSTREAM h, ACMSTREAMHEADER* header, uint32_t flags);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM h, ACMSTREAMHEADER* header, uint32_t flags);

// Drops samples the stream holds back between calls; codec state is kept.
MMRESULT acmStreamReset(HACMSTREAM h, uint32_t flags);

// Completes *dst as a format that src converts to. Fields named by the
// ACM_FORMATSUGGESTF_* flags are taken from *dst as given; the others follow
// src (tag PCM, 16 bits when not given). Every field of the result,
// extra bytes included, is set as the codec's files carry it.
MMRESULT acmFormatSuggest(const WaveFormat& src, WaveFormat* dst, uint32_t flags);

}  // namespace sonvel
