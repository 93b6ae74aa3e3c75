#include "AvFormatReader.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QtEndian>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <memory>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

struct FormatContextCloser
{
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using FormatContext = std::unique_ptr<AVFormatContext, FormatContextCloser>;

int pastDeadline(void* deadline)
{
    return static_cast<QDeadlineTimer*>(deadline)->hasExpired() ? 1 : 0;
}

// A container's codec tag is stored first character lowest; only a tag of four printable characters is a
// four-character code (a WAV file's tag is the number 1, a Matroska file has none).
std::optional<QString> codecText(const AVCodecParameters* codec)
{
    bool printable = codec->codec_tag != 0;
    for (int shift = 0; shift < 32 && printable; shift += 8) {
        const auto byte = (codec->codec_tag >> shift) & 0xff;
        printable = byte >= 0x20 && byte <= 0x7e;
    }
    if (printable) {
        return MediaFacts::fourCC(qbswap(codec->codec_tag));
    }
    if (codec->codec_id == AV_CODEC_ID_NONE) {
        return std::nullopt;
    }
    return QString::fromLatin1(avcodec_get_name(codec->codec_id));
}

// Cover art of a music file is a one-picture video stream; it says nothing about the medium.
bool isCoverArt(const AVStream* stream)
{
    return (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

const AVStream* firstStream(const AVFormatContext* context, AVMediaType type)
{
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        if (stream->codecpar->codec_type == type && !isCoverArt(stream)) {
            return stream;
        }
    }
    return nullptr;
}

std::optional<double> durationOf(const AVFormatContext* context)
{
    if (context->duration != AV_NOPTS_VALUE && context->duration > 0) {
        return static_cast<double>(context->duration) / AV_TIME_BASE;
    }
    // Before the streams are analysed only the streams' own lengths may be known.
    std::optional<double> longest;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
            longest = std::max(longest.value_or(0), static_cast<double>(stream->duration) * av_q2d(stream->time_base));
        }
    }
    return longest;
}

// Containers such as MP4 and WAV describe every stream in their header. Only when something is missing
// are the first packets read and decoded, which costs more time than the whole header read and puts
// the decoders in front of the file's data.
bool headerIsEnough(const AVFormatContext* context)
{
    if ((context->ctx_flags & AVFMTCTX_NOHEADER) != 0 || context->nb_streams == 0 || !durationOf(context)) {
        return false;
    }
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVCodecParameters* codec = context->streams[i]->codecpar;
        if (codec->codec_id == AV_CODEC_ID_NONE
            || (codec->codec_type == AVMEDIA_TYPE_VIDEO && (codec->width <= 0 || codec->height <= 0))) {
            return false;
        }
    }
    return true;
}

void readVideo(const AVStream* stream, MediaFacts& facts)
{
    const AVCodecParameters* codec = stream->codecpar;
    if (codec->width > 0 && codec->height > 0) {
        facts.width = codec->width;
        facts.height = codec->height;
    }
    if (codec->bit_rate > 0) {
        facts.bitRate = codec->bit_rate;
    }
    const AVRational rate = stream->avg_frame_rate;
    facts.frameRate = MediaFacts::frameRateText(QString::number(rate.num) + u'/' + QString::number(rate.den));
    facts.videoCodec = codecText(codec);
}

void readAudio(const AVStream* stream, MediaFacts& facts)
{
    facts.audioCodec = codecText(stream->codecpar);
    if (!facts.bitRate && stream->codecpar->bit_rate > 0) {
        facts.bitRate = stream->codecpar->bit_rate;
    }
}

} // namespace

namespace AvFormatReader {

MediaFacts read(const QString& path)
{
    static std::once_flag quiet;
    // The library would otherwise write its complaints about damaged files to the terminal.
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });

    MediaFacts facts;
    facts.source = u"libavformat"_s;

    QDeadlineTimer deadline(timeLimitMs);
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) {
        return facts;
    }
    raw->interrupt_callback = {pastDeadline, &deadline};
    // Local files only: a playlist disguised as a video must not make the reader fetch anything.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const QByteArray url = "file:" + QFile::encodeName(path);
    const int opened = avformat_open_input(&raw, url.constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) {
        return facts; // avformat_open_input frees the context when it fails
    }
    const FormatContext context(raw);
    if (!headerIsEnough(context.get())) {
        // A failure here still leaves what the header said.
        avformat_find_stream_info(context.get(), nullptr);
    }
    facts.duration = durationOf(context.get());
    if (const AVStream* video = firstStream(context.get(), AVMEDIA_TYPE_VIDEO)) {
        readVideo(video, facts);
    }
    if (const AVStream* audio = firstStream(context.get(), AVMEDIA_TYPE_AUDIO)) {
        readAudio(audio, facts);
    }
    return facts;
}

} // namespace AvFormatReader
