#include <opus/opusenc.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "audio/export/writers.h"

namespace sonvel {
namespace {

// Complexity 6 of 10: at 12 kb/s narrowband speech it sounds the same to
// the ear, and keeps real-time encoding near half a percent of one core
// (bench/opus_encode_bench.cpp).
constexpr int kComplexity = 6;

struct Sink {
    int fd = -1;
    int error = 0;  // errno of the first failed write
};

int WritePage(void* user, const unsigned char* bytes, opus_int32 length) {
    auto* sink = static_cast<Sink*>(user);
    if (sink->error != 0) {
        return 1;
    }
    if (!WriteAll(sink->fd, bytes, static_cast<size_t>(length))) {
        sink->error = errno != 0 ? errno : EIO;
        return 1;
    }
    return 0;
}

int CloseNothing(void* /*user*/) {
    return 0;  // the caller owns the file
}

// The widest band the source can hold: no bits spent on an empty one.
opus_int32 BandwidthFor(uint32_t rate) {
    if (rate <= 8000) {
        return OPUS_BANDWIDTH_NARROWBAND;
    }
    if (rate <= 12000) {
        return OPUS_BANDWIDTH_MEDIUMBAND;
    }
    if (rate <= 16000) {
        return OPUS_BANDWIDTH_WIDEBAND;
    }
    if (rate <= 24000) {
        return OPUS_BANDWIDTH_SUPERWIDEBAND;
    }
    return OPUS_BANDWIDTH_FULLBAND;
}

struct CommentsDeleter {
    void operator()(OggOpusComments* comments) const { ope_comments_destroy(comments); }
};
struct EncoderDeleter {
    void operator()(OggOpusEnc* encoder) const { ope_encoder_destroy(encoder); }
};

std::string OpusProblem(const char* what, int code) {
    return std::string(what) + " (" + ope_strerror(code) + ")";
}

}  // namespace

std::string WriteOpus(PcmSource& source, int fd, int bitrate, const Comments& comments,
                      const ExportProgress& progress) {
    std::unique_ptr<OggOpusComments, CommentsDeleter> tags(ope_comments_create());
    if (!tags) {
        return "out of memory";
    }
    for (const auto& [name, value] : comments) {
        if (const int code = ope_comments_add(tags.get(), name.c_str(), value.c_str());
            code != OPE_OK) {
            return OpusProblem("cannot add the tags", code);
        }
    }
    Sink sink{fd, 0};
    const OpusEncCallbacks callbacks{WritePage, CloseNothing};
    int code = OPE_OK;
    std::unique_ptr<OggOpusEnc, EncoderDeleter> encoder(ope_encoder_create_callbacks(
        &callbacks, &sink, tags.get(), static_cast<opus_int32>(source.Rate()), 1, 0, &code));
    if (!encoder) {
        return OpusProblem("cannot start the Opus encoder", code);
    }
    const int settings[] = {
        ope_encoder_ctl(encoder.get(), OPUS_SET_APPLICATION(OPUS_APPLICATION_VOIP)),
        ope_encoder_ctl(encoder.get(), OPUS_SET_SIGNAL(OPUS_SIGNAL_VOICE)),
        ope_encoder_ctl(encoder.get(), OPUS_SET_BITRATE(bitrate)),
        ope_encoder_ctl(encoder.get(), OPUS_SET_MAX_BANDWIDTH(BandwidthFor(source.Rate()))),
        ope_encoder_ctl(encoder.get(), OPUS_SET_COMPLEXITY(kComplexity)),
    };
    for (const int setting : settings) {
        if (setting != OPE_OK) {
            return OpusProblem("cannot set up the Opus encoder", setting);
        }
    }
    std::vector<int16_t> samples;
    for (;;) {
        if (std::string problem = source.Read(&samples); !problem.empty()) {
            return problem;
        }
        if (samples.empty()) {
            break;
        }
        code = ope_encoder_write(encoder.get(), samples.data(), static_cast<int>(samples.size()));
        if (sink.error != 0) {
            return std::strerror(sink.error);
        }
        if (code != OPE_OK) {
            return OpusProblem("the Opus encoder failed", code);
        }
        if (!ReportProgress(source, progress)) {
            return "stopped";
        }
    }
    code = ope_encoder_drain(encoder.get());
    if (sink.error != 0) {
        return std::strerror(sink.error);
    }
    if (code != OPE_OK) {
        return OpusProblem("the Opus encoder failed", code);
    }
    return {};
}

}  // namespace sonvel
