#include "Transcoder.h"

#include "Failure.h"
#include "files/SingleFileFormats.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <cstdio>
#include <memory>
#include <string>

namespace {

std::string inQuotes(const std::string& text)
{
    return "“" + text + "”";
}

std::string describe(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

void check(int result, const std::string& what)
{
    if (result < 0) {
        throw Failure(what + ": " + describe(result) + ".");
    }
}

struct InputCloser
{
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct OutputCloser
{
    void operator()(AVFormatContext* context) const
    {
        if (context->pb) {
            avio_closep(&context->pb);
        }
        avformat_free_context(context);
    }
};
struct CodecCloser
{
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree
{
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree
{
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct SwrFree
{
    void operator()(SwrContext* context) const { swr_free(&context); }
};
struct FifoFree
{
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};

using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;

// Without a data format, uncompressed types keep the input's precision instead of cutting it to 16 bits.
std::string pcmFor(const std::string& sixteenBit, const AVCodecContext& decoder)
{
    const bool little = sixteenBit.ends_with("le");
    const AVSampleFormat format = av_get_packed_sample_fmt(decoder.sample_fmt);
    if (format == AV_SAMPLE_FMT_FLT || format == AV_SAMPLE_FMT_DBL) {
        return little ? "pcm_f32le" : (sixteenBit == "pcm_s16be" ? "pcm_s24be" : "pcm_f32be");
    }
    if (format == AV_SAMPLE_FMT_S32 || format == AV_SAMPLE_FMT_S64) {
        const bool twentyFour = decoder.bits_per_raw_sample > 16 && decoder.bits_per_raw_sample <= 24;
        return std::string(twentyFour ? "pcm_s24" : "pcm_s32") + (little ? "le" : "be");
    }
    return sixteenBit;
}

int pickSampleRate(const AVCodec& codec, int wanted)
{
    if (!codec.supported_samplerates) {
        return wanted;
    }
    int best = codec.supported_samplerates[0];
    for (const int* rate = codec.supported_samplerates; *rate; ++rate) {
        if (std::abs(*rate - wanted) < std::abs(best - wanted)) {
            best = *rate;
        }
    }
    return best;
}

AVSampleFormat pickSampleFormat(const AVCodec& codec, const AVCodecContext& decoder)
{
    const AVSampleFormat* formats = codec.sample_fmts;
    if (!formats) {
        return decoder.sample_fmt;
    }
    // Prefer the input's own format (or its planar/packed twin), then the deepest one offered.
    for (const AVSampleFormat* f = formats; *f != AV_SAMPLE_FMT_NONE; ++f) {
        if (av_get_packed_sample_fmt(*f) == av_get_packed_sample_fmt(decoder.sample_fmt)) {
            return *f;
        }
    }
    AVSampleFormat best = formats[0];
    for (const AVSampleFormat* f = formats; *f != AV_SAMPLE_FMT_NONE; ++f) {
        if (av_get_bytes_per_sample(*f) > av_get_bytes_per_sample(best)) {
            best = *f;
        }
    }
    return best;
}

class Pipeline
{
public:
    Pipeline(const AudioCommand& command, const std::filesystem::path& output)
        : m_command(command)
        , m_outputPath(output)
    {
    }

    void run()
    {
        openInput();
        openOutput();
        Packet packet(av_packet_alloc());
        Frame frame(av_frame_alloc());
        int read;
        while ((read = av_read_frame(m_input.get(), packet.get())) >= 0) {
            if (packet->stream_index == m_streamIndex) {
                decode(packet.get(), frame.get());
            }
            av_packet_unref(packet.get());
        }
        if (read != AVERROR_EOF) {
            check(read, "Could not read " + inQuotes(m_command.input));
        }
        decode(nullptr, frame.get());
        convert(nullptr, 0);
        drainFifo(true);
        encode(nullptr);
        check(av_write_trailer(m_output.get()), "Could not finish " + inQuotes(m_outputPath.string()));
    }

private:
    void openInput()
    {
        AVFormatContext* input = nullptr;
        // Only formats that read this one file: a playlist or list named like a song is refused.
        AVDictionary* options = nullptr;
        av_dict_set(&options, "format_whitelist", singleFileFormats, 0);
        const int opened = avformat_open_input(&input, m_command.input.c_str(), nullptr, &options);
        av_dict_free(&options);
        if (opened == AVERROR(ENOENT)) {
            throw Failure(inQuotes(m_command.input) + ": No such file or directory.");
        }
        if (opened == AVERROR(EINVAL)) {
            throw Failure(inQuotes(m_command.input) + ": Format not on whitelist.");
        }
        check(opened, "Could not read " + inQuotes(m_command.input));
        m_input.reset(input);
        check(avformat_find_stream_info(input, nullptr), "Could not read " + inQuotes(m_command.input));
        const AVCodec* decoder = nullptr;
        m_streamIndex = av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
        if (m_streamIndex < 0 || !decoder) {
            throw Failure(inQuotes(m_command.input) + " holds no audio that can be read.");
        }
        m_decoder.reset(avcodec_alloc_context3(decoder));
        check(avcodec_parameters_to_context(m_decoder.get(), input->streams[m_streamIndex]->codecpar),
              "Could not read " + inQuotes(m_command.input));
        check(avcodec_open2(m_decoder.get(), decoder, nullptr), "Could not decode " + inQuotes(m_command.input));
        if (m_decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
            const int channels = m_decoder->ch_layout.nb_channels;
            av_channel_layout_uninit(&m_decoder->ch_layout);
            av_channel_layout_default(&m_decoder->ch_layout, channels);
        }
    }

    void openOutput()
    {
        std::string codecName = m_command.codec;
        if (codecName.empty()) {
            codecName = m_command.defaultCodec.starts_with("pcm_s16") ? pcmFor(m_command.defaultCodec, *m_decoder)
                                                                      : m_command.defaultCodec;
        }
        const AVCodec* codec = avcodec_find_encoder_by_name(codecName.c_str());
        if (!codec) {
            throw Failure("Unknown encoder " + inQuotes(codecName) + ".");
        }
        AVFormatContext* output = nullptr;
        check(avformat_alloc_output_context2(&output, nullptr, m_command.muxer.c_str(), m_outputPath.c_str()),
              "Could not write a " + m_command.fileType + " file");
        m_output.reset(output);

        m_encoder.reset(avcodec_alloc_context3(codec));
        AVCodecContext& encoder = *m_encoder;
        encoder.sample_rate
            = pickSampleRate(*codec, m_command.sampleRate ? m_command.sampleRate : m_decoder->sample_rate);
        if (m_command.channels) {
            av_channel_layout_default(&encoder.ch_layout, m_command.channels);
        } else {
            check(av_channel_layout_copy(&encoder.ch_layout, &m_decoder->ch_layout), "Could not set the channels");
        }
        encoder.sample_fmt = pickSampleFormat(*codec, *m_decoder);
        if (codec->id == AV_CODEC_ID_FLAC || codec->id == AV_CODEC_ID_ALAC) {
            // Lossless encoders write 24 bits when the input has more than 16.
            const int inputBits = m_decoder->bits_per_raw_sample ? m_decoder->bits_per_raw_sample
                                                                 : av_get_bytes_per_sample(m_decoder->sample_fmt) * 8;
            encoder.bits_per_raw_sample
                = std::min(inputBits > 16 ? 24 : 16, av_get_bytes_per_sample(encoder.sample_fmt) * 8);
        }
        encoder.time_base = AVRational{1, encoder.sample_rate};
        if (m_command.bitRate) {
            encoder.bit_rate = m_command.bitRate;
        }
        if (m_command.codecQuality) {
            // The codec quality trades time for quality: the fast AAC coder, or FLAC's compression level.
            const int q = *m_command.codecQuality;
            if (codec->id == AV_CODEC_ID_AAC) {
                av_opt_set(encoder.priv_data, "aac_coder", q < 32 ? "fast" : "twoloop", 0);
            } else if (codec->id == AV_CODEC_ID_FLAC) {
                encoder.compression_level = (q * 12 + 63) / 127;
            }
        }
        if (output->oformat->flags & AVFMT_GLOBALHEADER) {
            encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        check(avcodec_open2(&encoder, codec, nullptr),
              "Could not encode " + m_command.dataFormat + " audio at " + std::to_string(encoder.sample_rate) + " Hz");

        AVStream* stream = avformat_new_stream(output, nullptr);
        check(avcodec_parameters_from_context(stream->codecpar, &encoder), "Could not set up the output");
        stream->time_base = encoder.time_base;
        if (m_command.fileType == "AIFC" && codec->id == AV_CODEC_ID_PCM_S16BE) {
            stream->codecpar->codec_tag = MKTAG('t', 'w', 'o', 's'); // makes the muxer write AIFC, not AIFF
        }
        const AVStream* source = m_input->streams[m_streamIndex];
        av_dict_copy(&output->metadata, m_input->metadata, 0);
        av_dict_copy(&output->metadata, source->metadata, AV_DICT_DONT_OVERWRITE);
        for (const char* stale : {"encoder", "handler_name", "vendor_id", "language", "major_brand", "minor_version",
                                  "compatible_brands"}) {
            av_dict_set(&output->metadata, stale, nullptr, 0);
        }

        SwrContext* swr = nullptr;
        check(swr_alloc_set_opts2(&swr, &encoder.ch_layout, encoder.sample_fmt, encoder.sample_rate,
                                  &m_decoder->ch_layout, m_decoder->sample_fmt, m_decoder->sample_rate, 0, nullptr),
              "Could not convert the audio");
        m_resampler.reset(swr);
        if (m_command.converterQuality) {
            // Longer filters give a cleaner rate conversion at more cost.
            av_opt_set_int(swr, "filter_size", 16 << (*m_command.converterQuality / 43), 0);
        }
        check(swr_init(swr), "Could not convert the audio");
        m_fifo.reset(av_audio_fifo_alloc(encoder.sample_fmt, encoder.ch_layout.nb_channels, 4096));
        m_frameSize = (codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || encoder.frame_size <= 0
            ? 4096
            : encoder.frame_size;

        check(avio_open(&output->pb, m_outputPath.c_str(), AVIO_FLAG_WRITE),
              "Could not write " + inQuotes(m_outputPath.string()));
        check(avformat_write_header(output, nullptr), "Could not write " + inQuotes(m_outputPath.string()));
        if (m_command.verbose) {
            std::printf("Input file: %s, %d Hz, %d channels\nOutput file: %s, %s, %d Hz, %d channels\n",
                        m_command.input.c_str(), m_decoder->sample_rate, m_decoder->ch_layout.nb_channels,
                        m_command.output.c_str(), codec->name, encoder.sample_rate, encoder.ch_layout.nb_channels);
        }
    }

    void decode(const AVPacket* packet, AVFrame* frame)
    {
        const int sent = avcodec_send_packet(m_decoder.get(), packet);
        if (sent < 0 && sent != AVERROR_EOF) {
            check(sent, "Could not decode " + inQuotes(m_command.input));
        }
        int received;
        while ((received = avcodec_receive_frame(m_decoder.get(), frame)) >= 0) {
            convert(const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
            av_frame_unref(frame);
        }
        if (received != AVERROR(EAGAIN) && received != AVERROR_EOF) {
            check(received, "Could not decode " + inQuotes(m_command.input));
        }
    }

    // Converts decoded samples (or, with none, what the converter still holds) into the FIFO.
    void convert(const uint8_t** samples, int count)
    {
        const int room = swr_get_out_samples(m_resampler.get(), count);
        if (room <= 0) {
            return;
        }
        check(av_audio_fifo_realloc(m_fifo.get(), av_audio_fifo_size(m_fifo.get()) + room), "Out of memory");
        uint8_t** buffer = nullptr;
        check(av_samples_alloc_array_and_samples(&buffer, nullptr, m_encoder->ch_layout.nb_channels, room,
                                                 m_encoder->sample_fmt, 0),
              "Out of memory");
        const int made = swr_convert(m_resampler.get(), buffer, room, samples, count);
        if (made > 0) {
            av_audio_fifo_write(m_fifo.get(), reinterpret_cast<void**>(buffer), made);
        }
        av_freep(&buffer[0]);
        av_freep(&buffer);
        check(made, "Could not convert the audio");
        drainFifo(false);
    }

    void drainFifo(bool all)
    {
        while (av_audio_fifo_size(m_fifo.get()) >= m_frameSize || (all && av_audio_fifo_size(m_fifo.get()) > 0)) {
            Frame frame(av_frame_alloc());
            frame->nb_samples = std::min(m_frameSize, av_audio_fifo_size(m_fifo.get()));
            frame->format = m_encoder->sample_fmt;
            frame->sample_rate = m_encoder->sample_rate;
            check(av_channel_layout_copy(&frame->ch_layout, &m_encoder->ch_layout), "Out of memory");
            check(av_frame_get_buffer(frame.get(), 0), "Out of memory");
            av_audio_fifo_read(m_fifo.get(), reinterpret_cast<void**>(frame->data), frame->nb_samples);
            frame->pts = m_nextPts;
            m_nextPts += frame->nb_samples;
            encode(frame.get());
        }
    }

    void encode(const AVFrame* frame)
    {
        check(avcodec_send_frame(m_encoder.get(), frame), "Could not encode the audio");
        Packet packet(av_packet_alloc());
        int received;
        while ((received = avcodec_receive_packet(m_encoder.get(), packet.get())) >= 0) {
            AVStream* stream = m_output->streams[0];
            av_packet_rescale_ts(packet.get(), m_encoder->time_base, stream->time_base);
            packet->stream_index = 0;
            check(av_interleaved_write_frame(m_output.get(), packet.get()),
                  "Could not write " + inQuotes(m_outputPath.string()));
        }
        if (received != AVERROR(EAGAIN) && received != AVERROR_EOF) {
            check(received, "Could not encode the audio");
        }
    }

    const AudioCommand& m_command;
    std::filesystem::path m_outputPath;
    std::unique_ptr<AVFormatContext, InputCloser> m_input;
    std::unique_ptr<AVFormatContext, OutputCloser> m_output;
    std::unique_ptr<AVCodecContext, CodecCloser> m_decoder;
    std::unique_ptr<AVCodecContext, CodecCloser> m_encoder;
    std::unique_ptr<SwrContext, SwrFree> m_resampler;
    std::unique_ptr<AVAudioFifo, FifoFree> m_fifo;
    int m_streamIndex = -1;
    int m_frameSize = 4096;
    int64_t m_nextPts = 0;
};

} // namespace

namespace Transcoder {

void run(const AudioCommand& command, const std::filesystem::path& output)
{
    Pipeline(command, output).run();
}

} // namespace Transcoder
