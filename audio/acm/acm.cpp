#include "audio/acm/acm.h"

#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "audio/acm/acm_stream.h"

namespace sonvel {
namespace {

#if UINTPTR_MAX == UINT64_MAX
static_assert(sizeof(ACMSTREAMHEADER) == 88, "the header keeps the size callers fill in");
#endif

constexpr uint32_t kOpenFlags =
    ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_ASYNC | ACM_STREAMOPENF_NONREALTIME;
constexpr uint32_t kConvertFlags =
    ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END;

// What a header looked like when it was prepared; conversions may shorten
// the lengths but not move the buffers.
struct PreparedBuffers {
    const uint8_t* source = nullptr;
    uint32_t sourceLength = 0;
    const uint8_t* destination = nullptr;
    uint32_t destinationLength = 0;
};

struct StreamEntry {
    std::mutex mutex;
    std::unique_ptr<acm::Stream> stream;
    std::map<const ACMSTREAMHEADER*, PreparedBuffers> prepared;
};

// Handles are numbers looked up here, never pointers into the engine, so a
// stale or made-up handle can only miss.
class Registry {
  public:
    HACMSTREAM Add(std::unique_ptr<acm::Stream> stream) {
        auto entry = std::make_shared<StreamEntry>();
        entry->stream = std::move(stream);
        std::lock_guard lock(mutex_);
        const uintptr_t id = next_++;
        entries_.emplace(id, std::move(entry));
        return reinterpret_cast<HACMSTREAM>(id);
    }
    std::shared_ptr<StreamEntry> Find(HACMSTREAM h) {
        std::lock_guard lock(mutex_);
        const auto it = entries_.find(reinterpret_cast<uintptr_t>(h));
        return it == entries_.end() ? nullptr : it->second;
    }
    bool Remove(HACMSTREAM h) {
        std::lock_guard lock(mutex_);
        return entries_.erase(reinterpret_cast<uintptr_t>(h)) > 0;
    }

  private:
    std::mutex mutex_;
    std::unordered_map<uintptr_t, std::shared_ptr<StreamEntry>> entries_;
    uintptr_t next_ = 1;
};

Registry& Streams() {
    static Registry registry;
    return registry;
}

bool HeaderUsable(const ACMSTREAMHEADER* header) {
    return header != nullptr && header->cbStruct >= sizeof(ACMSTREAMHEADER);
}

// The buffers `header` was prepared with on this stream, when it may be used
// now; else the code that refuses it. The caller holds the entry's mutex.
MMRESULT FindPrepared(StreamEntry& entry, const ACMSTREAMHEADER* header,
                      std::map<const ACMSTREAMHEADER*, PreparedBuffers>::iterator* found) {
    const auto it = entry.prepared.find(header);
    if ((header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) == 0 || it == entry.prepared.end()) {
        return ACMERR_UNPREPARED;
    }
    if (header->fdwStatus & ACMSTREAMHEADER_STATUSF_INQUEUE) {
        return ACMERR_BUSY;
    }
    *found = it;
    return MMSYSERR_NOERROR;
}

bool Overlap(const uint8_t* a, size_t aLength, const uint8_t* b, size_t bLength) {
    const auto aStart = reinterpret_cast<uintptr_t>(a);
    const auto bStart = reinterpret_cast<uintptr_t>(b);
    return aLength > 0 && bLength > 0 && aStart < bStart + bLength && bStart < aStart + aLength;
}

}  // namespace

MMRESULT acmStreamOpen(HACMSTREAM* out, const WaveFormat& src, const WaveFormat& dst,
                       uint32_t flags) {
    if (out != nullptr && (flags & ACM_STREAMOPENF_QUERY) == 0) {
        *out = nullptr;
    }
    if ((flags & ~kOpenFlags) != 0) {
        return MMSYSERR_INVALFLAG;
    }
    if (out == nullptr && (flags & ACM_STREAMOPENF_QUERY) == 0) {
        return MMSYSERR_INVALPARAM;
    }
    // Every driver here converts on the caller's thread.
    if (flags & ACM_STREAMOPENF_ASYNC) {
        return ACMERR_NOTPOSSIBLE;
    }
    if (flags & ACM_STREAMOPENF_QUERY) {
        return acm::Stream::Check(src, dst);
    }
    MMRESULT result = MMSYSERR_NOERROR;
    auto stream = acm::Stream::Open(src, dst, &result);
    if (!stream) {
        return result;
    }
    *out = Streams().Add(std::move(stream));
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM h, uint32_t flags) {
    if (!Streams().Find(h)) {
        return MMSYSERR_INVALHANDLE;
    }
    if (flags != 0) {
        return MMSYSERR_INVALFLAG;
    }
    return Streams().Remove(h) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

MMRESULT acmStreamSize(HACMSTREAM h, uint32_t input, uint32_t* output, uint32_t flags) {
    const auto entry = Streams().Find(h);
    if (!entry) {
        return MMSYSERR_INVALHANDLE;
    }
    if (flags != ACM_STREAMSIZEF_SOURCE && flags != ACM_STREAMSIZEF_DESTINATION) {
        return MMSYSERR_INVALFLAG;
    }
    if (output == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    std::lock_guard lock(entry->mutex);
    return entry->stream->Size(input, output, flags);
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM h, ACMSTREAMHEADER* header, uint32_t flags) {
    const auto entry = Streams().Find(h);
    if (!entry) {
        return MMSYSERR_INVALHANDLE;
    }
    if (flags != 0) {
        return MMSYSERR_INVALFLAG;
    }
    if (!HeaderUsable(header) || (header->pbSrc == nullptr && header->cbSrcLength > 0) ||
        (header->pbDst == nullptr && header->cbDstLength > 0)) {
        return MMSYSERR_INVALPARAM;
    }
    std::lock_guard lock(entry->mutex);
    entry->prepared[header] = {header->pbSrc, header->cbSrcLength, header->pbDst,
                               header->cbDstLength};
    header->fdwStatus =
        (header->fdwStatus & ~ACMSTREAMHEADER_STATUSF_INQUEUE) | ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM h, ACMSTREAMHEADER* header, uint32_t flags) {
    const auto entry = Streams().Find(h);
    if (!entry) {
        return MMSYSERR_INVALHANDLE;
    }
    if ((flags & ~kConvertFlags) != 0) {
        return MMSYSERR_INVALFLAG;
    }
    if (!HeaderUsable(header)) {
        return MMSYSERR_INVALPARAM;
    }
    std::lock_guard lock(entry->mutex);
    std::map<const ACMSTREAMHEADER*, PreparedBuffers>::iterator it;
    if (const MMRESULT refused = FindPrepared(*entry, header, &it); refused != MMSYSERR_NOERROR) {
        return refused;
    }
    const PreparedBuffers& buffers = it->second;
    if (header->pbSrc != buffers.source || header->pbDst != buffers.destination ||
        header->cbSrcLength > buffers.sourceLength ||
        header->cbDstLength > buffers.destinationLength) {
        return MMSYSERR_INVALPARAM;
    }
    header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
    const uint8_t* source = header->pbSrc;
    std::vector<uint8_t> copy;
    if (Overlap(header->pbSrc, header->cbSrcLength, header->pbDst, header->cbDstLength)) {
        copy.assign(header->pbSrc, header->pbSrc + header->cbSrcLength);
        source = copy.data();
    }
    const auto used = entry->stream->Convert(source, header->cbSrcLength, header->pbDst,
                                             header->cbDstLength, flags);
    header->cbSrcLengthUsed = static_cast<uint32_t>(used.source);
    header->cbDstLengthUsed = static_cast<uint32_t>(used.destination);
    header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM h, ACMSTREAMHEADER* header, uint32_t flags) {
    const auto entry = Streams().Find(h);
    if (!entry) {
        return MMSYSERR_INVALHANDLE;
    }
    if (flags != 0) {
        return MMSYSERR_INVALFLAG;
    }
    if (!HeaderUsable(header)) {
        return MMSYSERR_INVALPARAM;
    }
    std::lock_guard lock(entry->mutex);
    std::map<const ACMSTREAMHEADER*, PreparedBuffers>::iterator it;
    if (const MMRESULT refused = FindPrepared(*entry, header, &it); refused != MMSYSERR_NOERROR) {
        return refused;
    }
    if (header->pbSrc != it->second.source || header->pbDst != it->second.destination) {
        return MMSYSERR_INVALPARAM;
    }
    entry->prepared.erase(it);
    header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamReset(HACMSTREAM h, uint32_t flags) {
    const auto entry = Streams().Find(h);
    if (!entry) {
        return MMSYSERR_INVALHANDLE;
    }
    if (flags != 0) {
        return MMSYSERR_INVALFLAG;
    }
    std::lock_guard lock(entry->mutex);
    entry->stream->DropPending();
    return MMSYSERR_NOERROR;
}

}  // namespace sonvel
