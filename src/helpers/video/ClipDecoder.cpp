#include "ClipDecoder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace cropling::video {

namespace {

// The containers opened: MP4, M4V and MOV; Matroska and WebM. Sound-only containers are opened too,
// only to say that they hold no video.
constexpr const char* kContainers = "mov,matroska,mp3,wav,ogg,flac,aac";
// The largest frame decoded: 4096 x 4096 (a 4K phone clip is 3840 x 2160); larger claims are
// refused from the header, before a decoder holds a frame of them.
constexpr long long kMaxFramePixels = 4096LL * 4096;
constexpr int kMaxFrameSide = 8192;
// Frames further ahead than this are reached by seeking rather than by decoding all between.
constexpr qint64 kSeekAheadMs = 3000;
constexpr int kIoBuffer = 1 << 16;

bool isTakenCodec(AVCodecID id) {
    switch (id) {
    case AV_CODEC_ID_H264:
    case AV_CODEC_ID_HEVC:
    case AV_CODEC_ID_VP8:
    case AV_CODEC_ID_VP9:
    case AV_CODEC_ID_AV1:
    case AV_CODEC_ID_MPEG4: return true;
    default: return false;
    }
}

// A codec not taken, as the program may name it.
VideoCodec refusedCodec(AVCodecID id) {
    switch (id) {
    case AV_CODEC_ID_FFV1: return VideoCodec::Ffv1;
    case AV_CODEC_ID_PRORES: return VideoCodec::ProRes;
    case AV_CODEC_ID_MJPEG: return VideoCodec::Mjpeg;
    case AV_CODEC_ID_RAWVIDEO: return VideoCodec::RawVideo;
    case AV_CODEC_ID_MPEG1VIDEO: return VideoCodec::Mpeg1;
    case AV_CODEC_ID_MPEG2VIDEO: return VideoCodec::Mpeg2;
    case AV_CODEC_ID_H263:
    case AV_CODEC_ID_H263P: return VideoCodec::H263;
    case AV_CODEC_ID_THEORA: return VideoCodec::Theora;
    case AV_CODEC_ID_VC1: return VideoCodec::Vc1;
    case AV_CODEC_ID_WMV1:
    case AV_CODEC_ID_WMV2:
    case AV_CODEC_ID_WMV3: return VideoCodec::Wmv;
    case AV_CODEC_ID_DNXHD: return VideoCodec::DnxHd;
    case AV_CODEC_ID_CINEPAK: return VideoCodec::Cinepak;
    case AV_CODEC_ID_PNG:
    case AV_CODEC_ID_APNG: return VideoCodec::Png;
    case AV_CODEC_ID_GIF: return VideoCodec::Gif;
    default: return VideoCodec::Unknown;
    }
}

bool isMovingPicture(const AVStream* stream) {
    return stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
}

// The first video stream in a codec the helper decodes, as the container's header says (not a
// cover picture, an audio file's album art). Every other stream is dropped before a packet is read
// and shown to the probe as data of no codec, for which it opens no decoder: a file of a thousand
// tracks costs what a file of one does.
int chosenStream(AVFormatContext* format) {
    int chosen = -1;
    for (unsigned i = 0; i < format->nb_streams && chosen < 0; ++i) {
        const AVStream* stream = format->streams[i];
        if (isMovingPicture(stream) && isTakenCodec(stream->codecpar->codec_id))
            chosen = int(i);
    }
    for (unsigned i = 0; chosen >= 0 && i < format->nb_streams; ++i) {
        AVStream* stream = format->streams[i];
        if (int(i) == chosen)
            continue;
        stream->discard = AVDISCARD_ALL;
        stream->codecpar->codec_type = AVMEDIA_TYPE_DATA;
        stream->codecpar->codec_id = AV_CODEC_ID_NONE;
    }
    return chosen;
}

// The decoder for the stream: FFmpeg's own, but for VP8 and VP9 with an alpha channel (WebM keeps
// it beside each frame, as stickers have it) libvpx's, the one that decodes the alpha too.
const AVCodec* decoderFor(const AVStream* stream) {
    const AVDictionaryEntry* alpha = av_dict_get(stream->metadata, "alpha_mode", nullptr, 0);
    const AVCodecID id = stream->codecpar->codec_id;
    if (alpha && std::strcmp(alpha->value, "1") == 0 && (id == AV_CODEC_ID_VP8 || id == AV_CODEC_ID_VP9)) {
        if (const AVCodec* withAlpha = avcodec_find_decoder_by_name(id == AV_CODEC_ID_VP9 ? "libvpx-vp9" : "libvpx"))
            return withAlpha;
    }
    return avcodec_find_decoder(id);
}

// Why no stream was chosen: a video stream in another codec, sound alone, or nothing readable.
OpenFailure noStreamReason(const AVFormatContext* format, VideoCodec* codec) {
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (isMovingPicture(format->streams[i])) {
            *codec = refusedCodec(format->streams[i]->codecpar->codec_id);
            return OpenFailure::UnsupportedCodec;
        }
    }
    return format->nb_streams > 0 ? OpenFailure::NoVideo : OpenFailure::Damaged;
}

// A display matrix as an EXIF orientation: its turn and its mirror both. The matrix maps a stored
// pixel (x, y) to where it shows, x' = a x + c y, y' = b x + d y; of the eight ways a square can
// land, the one nearest the matrix is taken, so that a slightly rounded or scaled matrix still
// counts as the quarter turn or mirror it stands for. A front camera writes a mirror (a = -1): read
// as a turn alone it would show the clip upside down.
int orientationOf(const AVStream* stream) {
    const auto* matrix = reinterpret_cast<const int32_t*>(av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
    if (!matrix)
        return 1;
    struct Landing {
        int a, b, c, d, orientation;
    };
    static constexpr Landing kLandings[] = {{1, 0, 0, 1, 1},  {-1, 0, 0, 1, 2}, {-1, 0, 0, -1, 3}, {1, 0, 0, -1, 4},
                                            {0, 1, 1, 0, 5},  {0, 1, -1, 0, 6}, {0, -1, -1, 0, 7}, {0, -1, 1, 0, 8}};
    const double a = matrix[0], b = matrix[1], c = matrix[3], d = matrix[4];
    double best = 0;
    int orientation = 1;
    for (const Landing& landing : kLandings) {
        const double match = a * landing.a + b * landing.b + c * landing.c + d * landing.d;
        if (match > best) {
            best = match;
            orientation = landing.orientation;
        }
    }
    return orientation;
}

} // namespace

struct ClipDecoder::Av {
    QByteArray bytes;
    int fd = -1; // or the file, read where the container asks
    qint64 size = 0;
    qint64 at = 0;
    AVIOContext* io = nullptr;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwsContext* scaler = nullptr;
    // Where the scaler writes: its rows aligned and padded as its vector code needs, since it
    // writes whole blocks of pixels, past the last one of a row whose width is not a multiple of 16.
    uint8_t* scratch[4] = {};
    int scratchStride[4] = {};
    QSize scratchSize;
    int scalerSpace = -1;
    bool scalerFullRange = false;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int stream = -1;
    AVRational timeBase{1, 1000};
    int64_t startPts = 0;

    ~Av() {
        sws_freeContext(scaler);
        av_freep(&scratch[0]);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }

    // The container reads the bytes in memory or the file, and seeks only within them.
    static int read(void* opaque, uint8_t* buffer, int wanted) {
        auto* av = static_cast<Av*>(opaque);
        const qint64 left = av->size - av->at;
        if (left <= 0 || wanted <= 0)
            return AVERROR_EOF;
        int n = int(std::min<qint64>(wanted, left));
        if (av->fd >= 0) {
            ssize_t got = -1;
            do
                got = ::pread(av->fd, buffer, size_t(n), off_t(av->at));
            while (got < 0 && errno == EINTR);
            if (got <= 0)
                return AVERROR_EOF;
            n = int(got);
        } else {
            std::memcpy(buffer, av->bytes.constData() + av->at, size_t(n));
        }
        av->at += n;
        return n;
    }
    static int64_t seek(void* opaque, int64_t offset, int whence) {
        auto* av = static_cast<Av*>(opaque);
        const qint64 size = av->size;
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE: return size;
        case SEEK_SET: break;
        case SEEK_CUR: offset += av->at; break;
        case SEEK_END: offset += size; break;
        default: return -1;
        }
        if (offset < 0 || offset > size)
            return -1;
        av->at = offset;
        return offset;
    }

    PixelRows scaled(const AVFrame* from, QSize to);
};

PixelRows ClipDecoder::Av::scaled(const AVFrame* from, QSize to) {
    const bool smaller = to.width() < from->width;
    SwsContext* before = scaler;
    scaler = sws_getCachedContext(scaler, from->width, from->height, AVPixelFormat(from->format), to.width(),
                                  to.height(), AV_PIX_FMT_RGBA, smaller ? SWS_BILINEAR : SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!scaler)
        return {};
    // The clip's own colour matrix; high-definition video without one is BT.709, as players read
    // it. Set once for each new scaler: setting it rebuilds the scaler's tables.
    int space = from->colorspace;
    if (space == AVCOL_SPC_UNSPECIFIED || space == AVCOL_SPC_RESERVED)
        space = from->height >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601;
    const bool full = from->color_range == AVCOL_RANGE_JPEG;
    if (scaler != before || space != scalerSpace || full != scalerFullRange) {
        sws_setColorspaceDetails(scaler, sws_getCoefficients(space), full, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                                 1 << 16, 1 << 16);
        scalerSpace = space;
        scalerFullRange = full;
    }
    if (scratchSize != to) {
        av_freep(&scratch[0]);
        scratchSize = QSize();
        if (av_image_alloc(scratch, scratchStride, to.width(), to.height(), AV_PIX_FMT_RGBA, 64) < 0)
            return {};
        scratchSize = to;
    }
    if (sws_scale(scaler, from->data, from->linesize, 0, from->height, scratch, scratchStride) != to.height())
        return {};
    const size_t rowBytes = size_t(to.width()) * 4;
    PixelRows rows{to.width(), to.height(), 4, std::vector<std::uint8_t>(rowBytes * size_t(to.height()))};
    for (int y = 0; y < to.height(); ++y)
        std::memcpy(rows.bytes.data() + rowBytes * size_t(y), scratch[0] + size_t(scratchStride[0]) * size_t(y), rowBytes);
    return rows;
}

std::unique_ptr<ClipDecoder> ClipDecoder::open(const QByteArray& bytes, int fd, OpenFailure* why, VideoCodec* codec) {
    std::unique_ptr<ClipDecoder> clip(new ClipDecoder);
    clip->av_ = std::make_unique<Av>();
    Av& av = *clip->av_;
    av.bytes = bytes;
    av.size = bytes.size();
    if (fd >= 0) {
        struct stat info {};
        if (::fstat(fd, &info) != 0) {
            *why = OpenFailure::NotReadable;
            return nullptr;
        }
        av.fd = fd;
        av.size = info.st_size;
    }
    *why = OpenFailure::Damaged;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBuffer));
    av.io = buffer ? avio_alloc_context(buffer, kIoBuffer, 0, &av, &Av::read, nullptr, &Av::seek) : nullptr;
    av.format = avformat_alloc_context();
    av.packet = av_packet_alloc();
    av.frame = av_frame_alloc();
    if (!av.io || !av.format || !av.packet || !av.frame) {
        av_free(av.io ? nullptr : buffer);
        *why = OpenFailure::TooLarge;
        return nullptr;
    }
    av.format->pb = av.io;
    av.format->flags |= AVFMT_FLAG_CUSTOM_IO;
    av.format->probesize = 8 << 20;
    av.format->max_analyze_duration = 5 * AV_TIME_BASE;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", kContainers, 0);
    const int opened = avformat_open_input(&av.format, nullptr, nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return nullptr;
    av.stream = chosenStream(av.format);
    if (av.stream < 0) {
        *why = noStreamReason(av.format, codec);
        return nullptr;
    }
    avformat_find_stream_info(av.format, nullptr); // a cut file may say less; what it says is used
    AVStream* stream = av.format->streams[av.stream];
    const AVCodecParameters* parameters = stream->codecpar;
    const int w = parameters->width, h = parameters->height;
    if (w < 1 || h < 1 || w > kMaxFrameSide || h > kMaxFrameSide || (long long)w * h > kMaxFramePixels) {
        *why = w < 1 || h < 1 ? OpenFailure::Damaged : OpenFailure::TooLarge;
        return nullptr;
    }
    const AVCodec* decoder = decoderFor(stream);
    av.codec = decoder ? avcodec_alloc_context3(decoder) : nullptr;
    if (!av.codec || avcodec_parameters_to_context(av.codec, parameters) < 0)
        return nullptr;
    av.codec->pkt_timebase = stream->time_base;
    // A stream may change its size midway: no frame beyond the bound is allocated, whatever it says.
    av.codec->max_pixels = kMaxFramePixels;
    // Two threads: the helper's share of a two-core machine, and a bounded memory for frame threads.
    av.codec->thread_count = 2;
    av.codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (avcodec_open2(av.codec, decoder, nullptr) < 0)
        return nullptr;
    av.timeBase = stream->time_base;
    av.startPts = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    clip->stored_ = QSize(w, h);
    clip->orientation_ = orientationOf(stream);
    if (av.format->duration > 0)
        clip->durationMs_ = av_rescale(av.format->duration, 1000, AV_TIME_BASE);
    else if (stream->duration > 0)
        clip->durationMs_ = av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000});
    const AVRational rate = av_guess_frame_rate(av.format, stream, nullptr);
    if (rate.num > 0 && rate.den > 0)
        clip->frameMs_ = std::clamp(int(std::lround(1000.0 * rate.den / rate.num)), 1, 60'000);
    return clip;
}

ClipDecoder::~ClipDecoder() = default;

qint64 ClipDecoder::lastPacketMs() {
    Av& av = *av_;
    if (av_seek_frame(av.format, av.stream, av.startPts, AVSEEK_FLAG_BACKWARD) < 0)
        return -1;
    avcodec_flush_buffers(av.codec);
    int64_t last = AV_NOPTS_VALUE;
    while (av_read_frame(av.format, av.packet) >= 0) {
        const int64_t pts = av.packet->pts != AV_NOPTS_VALUE ? av.packet->pts : av.packet->dts;
        if (av.packet->stream_index == av.stream && pts != AV_NOPTS_VALUE && (last == AV_NOPTS_VALUE || pts > last))
            last = pts;
        av_packet_unref(av.packet);
    }
    return last == AV_NOPTS_VALUE ? -1 : av_rescale_q(last - av.startPts, av.timeBase, AVRational{1, 1000});
}

int ClipDecoder::takeFrames(qint64 startMs, int stepMs, int count, QSize size,
                            const std::function<void(PixelRows&& frame)>& take) {
    Av& av = *av_;
    lastFrameMs_ = -1;
    const AVRational milliseconds{1, 1000};
    // The decoder forgets its reference frames only when the container did move.
    const auto seekTo = [&](qint64 ms) {
        if (av_seek_frame(av.format, av.stream, av.startPts + av_rescale_q(ms, milliseconds, av.timeBase), AVSEEK_FLAG_BACKWARD) >= 0)
            avcodec_flush_buffers(av.codec);
    };
    seekTo(startMs);
    // A frame counts for a time when it is shown from half a frame before it.
    const int early = std::max(1, frameMs_ / 2);
    int taken = 0;
    qint64 target = startMs;
    qint64 lastMs = -1;
    bool draining = false;
    bool unusable = false;
    while (taken < count) {
        const int received = avcodec_receive_frame(av.codec, av.frame);
        if (received == 0) {
            int64_t pts = av.frame->best_effort_timestamp;
            if (pts == AV_NOPTS_VALUE)
                pts = av.frame->pts;
            const qint64 ms = pts != AV_NOPTS_VALUE ? av_rescale_q(pts - av.startPts, av.timeBase, milliseconds)
                                                    : (lastMs < 0 ? target : lastMs + std::max(frameMs_, 1));
            lastMs = ms;
            lastFrameMs_ = ms;
            if (ms + early >= target) {
                if (av.frame->width > kMaxFrameSide || av.frame->height > kMaxFrameSide ||
                    (long long)av.frame->width * av.frame->height > kMaxFramePixels) {
                    unusable = true;
                    break;
                }
                PixelRows frame = av.scaled(av.frame, size);
                if (frame.bytes.empty()) {
                    unusable = true;
                    break;
                }
                // A frame shown for longer than a step stands for every time it covers.
                while (taken < count && ms + early >= target) {
                    take(taken + 1 < count && ms + early >= startMs + qint64(taken + 1) * stepMs ? PixelRows(frame) : std::move(frame));
                    ++taken;
                    target = startMs + qint64(taken) * stepMs;
                }
                if (taken < count && target - ms > kSeekAheadMs && !draining)
                    seekTo(target);
            }
            av_frame_unref(av.frame);
            continue;
        }
        if (received != AVERROR(EAGAIN) || draining)
            break;
        if (av_read_frame(av.format, av.packet) < 0) {
            // The end, or where the file is cut: what the decoder still holds comes out.
            avcodec_send_packet(av.codec, nullptr);
            draining = true;
            continue;
        }
        // A damaged packet is passed over; the frames after it still come.
        if (av.packet->stream_index == av.stream)
            avcodec_send_packet(av.codec, av.packet);
        av_packet_unref(av.packet);
    }
    // Nothing at all decoded from the start asked for: where the clip's frames end tells a span
    // past them from a damaged file, for a clip whose length its container does not say. A frame
    // that could not be used says nothing of where the clip ends.
    if (unusable)
        lastFrameMs_ = -1;
    else if (taken == 0 && lastFrameMs_ < 0)
        lastFrameMs_ = lastPacketMs();
    return taken;
}

} // namespace cropling::video
