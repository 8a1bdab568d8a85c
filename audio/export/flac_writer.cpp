#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "audio/export/writers.h"

namespace sonvel {
namespace {

// libFLAC's default level: well compressed, fast.
constexpr unsigned kCompressionLevel = 5;

struct Sink {
    int fd = -1;
    int error = 0;  // errno of the first failed write or seek
};

FLAC__StreamEncoderWriteStatus Write(const FLAC__StreamEncoder* /*encoder*/,
                                     const FLAC__byte bytes[], size_t count, uint32_t /*samples*/,
                                     uint32_t /*frame*/, void* user) {
    auto* sink = static_cast<Sink*>(user);
    if (sink->error == 0 && !WriteAll(sink->fd, bytes, count)) {
        sink->error = errno != 0 ? errno : EIO;
    }
    return sink->error == 0 ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
                            : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
}

// Seeking lets the encoder write the length and checksum into the header
// when it is done.
FLAC__StreamEncoderSeekStatus Seek(const FLAC__StreamEncoder* /*encoder*/, FLAC__uint64 offset,
                                   void* user) {
    auto* sink = static_cast<Sink*>(user);
    if (lseek(sink->fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
        sink->error = errno;
        return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    }
    return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
}

FLAC__StreamEncoderTellStatus Tell(const FLAC__StreamEncoder* /*encoder*/, FLAC__uint64* offset,
                                   void* user) {
    const off_t at = lseek(static_cast<Sink*>(user)->fd, 0, SEEK_CUR);
    if (at < 0) {
        return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    }
    *offset = static_cast<FLAC__uint64>(at);
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

struct EncoderDeleter {
    void operator()(FLAC__StreamEncoder* encoder) const { FLAC__stream_encoder_delete(encoder); }
};
struct MetadataDeleter {
    void operator()(FLAC__StreamMetadata* block) const { FLAC__metadata_object_delete(block); }
};

std::string EncoderProblem(const FLAC__StreamEncoder* encoder, const Sink& sink) {
    if (sink.error != 0) {
        return std::strerror(sink.error);
    }
    return std::string("the FLAC encoder failed (") +
           FLAC__StreamEncoderStateString[FLAC__stream_encoder_get_state(encoder)] + ")";
}

}  // namespace

std::string WriteFlac(PcmSource& source, int fd, const Comments& comments,
                      const ExportProgress& progress) {
    std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter> tags(
        FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT));
    std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter> encoder(FLAC__stream_encoder_new());
    if (!tags || !encoder) {
        return "out of memory";
    }
    for (const auto& [name, value] : comments) {
        FLAC__StreamMetadata_VorbisComment_Entry entry;
        // The entry is copied into the block (copy = true below), then freed.
        if (!FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, name.c_str(),
                                                                            value.c_str())) {
            return "cannot add the tag " + name;
        }
        const bool added =
            FLAC__metadata_object_vorbiscomment_append_comment(tags.get(), entry, true);
        std::free(entry.entry);
        if (!added) {
            return "cannot add the tag " + name;
        }
    }
    FLAC__StreamMetadata* blocks[] = {tags.get()};
    FLAC__StreamEncoder* flac = encoder.get();
    const bool set =
        FLAC__stream_encoder_set_channels(flac, static_cast<uint32_t>(source.Channels())) &&
        FLAC__stream_encoder_set_bits_per_sample(flac, 16) &&
        FLAC__stream_encoder_set_sample_rate(flac, source.Rate()) &&
        FLAC__stream_encoder_set_compression_level(flac, kCompressionLevel) &&
        FLAC__stream_encoder_set_total_samples_estimate(flac, source.TotalFrames()) &&
        FLAC__stream_encoder_set_metadata(flac, blocks, 1);
    if (!set) {
        return "cannot set up the FLAC encoder";
    }
    Sink sink{fd, 0};
    const FLAC__StreamEncoderInitStatus init =
        FLAC__stream_encoder_init_stream(flac, Write, Seek, Tell, nullptr, &sink);
    if (init != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
        return std::string("cannot start the FLAC encoder (") +
               FLAC__StreamEncoderInitStatusString[init] + ")";
    }
    std::vector<int16_t> samples;
    std::vector<FLAC__int32> wide;
    for (;;) {
        if (std::string problem = source.Read(&samples); !problem.empty()) {
            FLAC__stream_encoder_finish(flac);
            return problem;
        }
        if (samples.empty()) {
            break;
        }
        wide.assign(samples.begin(), samples.end());
        const auto frames =
            static_cast<uint32_t>(samples.size() / static_cast<size_t>(source.Channels()));
        if (!FLAC__stream_encoder_process_interleaved(flac, wide.data(), frames)) {
            std::string problem = EncoderProblem(flac, sink);
            FLAC__stream_encoder_finish(flac);
            return problem;
        }
        if (!ReportProgress(source, progress)) {
            FLAC__stream_encoder_finish(flac);
            return "stopped";
        }
    }
    if (!FLAC__stream_encoder_finish(flac) || sink.error != 0) {
        return EncoderProblem(flac, sink);
    }
    return {};
}

}  // namespace sonvel
