#include "AvFormatReader.h"

#include "files/SingleFileFormats.h"
#include "platform/FdChannel.h"

#include <QDeadlineTimer>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int bufferSize = 64 * 1024;

// The open file as libavformat reads it: by offset, so nothing else shares the position.
struct Input
{
    int fd = -1;
    qint64 size = 0;
    qint64 position = 0;
};

int readPacket(void* opaque, uint8_t* buffer, int size)
{
    auto* input = static_cast<Input*>(opaque);
    const qint64 got = Descriptor::readAt(input->fd, reinterpret_cast<char*>(buffer), size, input->position);
    if (got < 0) {
        return AVERROR(EIO);
    }
    if (got == 0) {
        return AVERROR_EOF;
    }
    input->position += got;
    return static_cast<int>(got);
}

int64_t seekTo(void* opaque, int64_t offset, int whence)
{
    auto* input = static_cast<Input*>(opaque);
    qint64 position = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return input->size;
    case SEEK_SET:
        position = offset;
        break;
    case SEEK_CUR:
        position = input->position + offset;
        break;
    case SEEK_END:
        position = input->size + offset;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (position < 0) {
        return AVERROR(EINVAL);
    }
    input->position = position;
    return position;
}

// A demuxer that wants a second file (a reference in a container, a segment of a list) gets none.
int refuseSecondFile(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

// Whether the file reads as a list of other files (an HLS or DASH playlist, an ffconcat list...), which
// the format whitelist refuses.
bool isFileList(int fd)
{
    constexpr int headSize = 16 * 1024;
    QByteArray head(headSize + AVPROBE_PADDING_SIZE, '\0');
    const qint64 got = Descriptor::readAt(fd, head.data(), headSize, 0);
    if (got <= 0) {
        return false;
    }
    AVProbeData probe{"", reinterpret_cast<unsigned char*>(head.data()), int(got), nullptr};
    const AVInputFormat* format = av_probe_input_format(&probe, 1);
    return format && av_match_name(format->name, "hls,dash,concat,imf,sdp");
}

int pastDeadline(void* deadline)
{
    return static_cast<QDeadlineTimer*>(deadline)->hasExpired() ? 1 : 0;
}

struct IoCloser
{
    void operator()(AVIOContext* io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct FormatContextCloser
{
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

// ffprobe's codec_name.
QString codecName(const AVCodecParameters* codec)
{
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec->codec_id);
    return descriptor ? QString::fromLatin1(descriptor->name) : u"unknown"_s;
}

// Cover art of a music file is a one-picture video stream; it says nothing about the medium.
const AVStream* firstStream(const AVFormatContext* context, AVMediaType type)
{
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        if (stream->codecpar->codec_type == type && (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0) {
            return stream;
        }
    }
    return nullptr;
}

void readStreams(const AVFormatContext* context, MediaFacts& facts)
{
    if (context->duration != AV_NOPTS_VALUE && context->duration >= 0) {
        facts.duration = static_cast<double>(context->duration) / AV_TIME_BASE;
    }
    if (context->bit_rate > 0) {
        facts.bitRate = context->bit_rate;
    }
    if (const AVStream* video = firstStream(context, AVMEDIA_TYPE_VIDEO)) {
        const AVCodecParameters* codec = video->codecpar;
        if (codec->width > 0 && codec->height > 0) {
            facts.width = codec->width;
            facts.height = codec->height;
        }
        facts.videoCodec = codecName(codec);
        const AVRational rate = video->avg_frame_rate;
        facts.frameRate = MediaFacts::frameRateText(QString::number(rate.num) + u'/' + QString::number(rate.den));
    }
    if (const AVStream* audio = firstStream(context, AVMEDIA_TYPE_AUDIO)) {
        facts.audioCodec = codecName(audio->codecpar);
        if (audio->codecpar->sample_rate > 0) {
            facts.sampleRate = QString::number(audio->codecpar->sample_rate) + u" Hz"_s;
        }
    }
}

} // namespace

namespace AvFormatReader {

void prepare()
{
    // The library would otherwise write its complaints about damaged files to the terminal.
    av_log_set_level(AV_LOG_QUIET);
}

MediaFacts read(int fd)
{
    MediaFacts facts;
    facts.source = u"libavformat"_s;

    Input input{fd, Descriptor::sizeOf(fd)};
    auto* buffer = static_cast<unsigned char*>(av_malloc(bufferSize));
    if (!buffer || input.size < 0) {
        av_free(buffer);
        return facts;
    }
    const std::unique_ptr<AVIOContext, IoCloser> io(
        avio_alloc_context(buffer, bufferSize, 0, &input, readPacket, nullptr, seekTo));
    AVFormatContext* raw = io ? avformat_alloc_context() : nullptr;
    if (!raw) {
        if (!io) {
            av_free(buffer);
        }
        return facts;
    }
    QDeadlineTimer deadline(timeLimitMs);
    raw->interrupt_callback = {pastDeadline, &deadline};
    raw->pb = io.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    raw->io_open = refuseSecondFile;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", singleFileFormats, 0);
    const int opened = avformat_open_input(&raw, nullptr, nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) {
        facts.fileList = isFileList(fd);
        return facts; // avformat_open_input frees the context when it fails
    }
    const std::unique_ptr<AVFormatContext, FormatContextCloser> context(raw);
    // As ffprobe does; a failure here still leaves what the header said. The facts need one decoded picture
    // per video stream at most: the frames between key frames, the costly part of a large video, are skipped.
    std::vector<AVDictionary*> streamOptions(context->nb_streams, nullptr);
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        if (context->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            av_dict_set(&streamOptions[i], "skip_frame", "nonkey", 0);
        }
    }
    avformat_find_stream_info(context.get(), streamOptions.data());
    for (AVDictionary*& options : streamOptions) {
        av_dict_free(&options);
    }
    readStreams(context.get(), facts);
    return facts;
}

} // namespace AvFormatReader
