#include "FFmpegArgs.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace FFmpegArgs {

bool opensProtocol(QStringView argument)
{
    // libavformat's URL schemes, including those of optional libraries and of later versions.
    // clang-format off
    static const QSet<QString> protocols{
        u"android_content"_s, u"amqp"_s,    u"async"_s,    u"bluray"_s,   u"cache"_s,   u"concat"_s,
        u"concatf"_s,         u"content"_s, u"crypto"_s,   u"data"_s,     u"dtls"_s,    u"fd"_s,
        u"ffrtmpcrypt"_s,     u"ffrtmphttp"_s, u"file"_s,  u"ftp"_s,      u"gopher"_s,  u"gophers"_s,
        u"hls"_s,             u"http"_s,    u"httpproxy"_s, u"https"_s,   u"icecast"_s, u"ipfs"_s,
        u"ipns"_s,            u"md5"_s,     u"mmsh"_s,     u"mmst"_s,     u"pipe"_s,    u"prompeg"_s,
        u"quic"_s,            u"rist"_s,    u"rtmp"_s,     u"rtmpe"_s,    u"rtmps"_s,   u"rtmpt"_s,
        u"rtmpte"_s,          u"rtmpts"_s,  u"rtp"_s,      u"rtsp"_s,     u"sctp"_s,    u"sftp"_s,
        u"smb"_s,             u"srt"_s,     u"srtp"_s,     u"subfile"_s,  u"tee"_s,     u"tcp"_s,
        u"tls"_s,             u"udp"_s,     u"udplite"_s,  u"unix"_s,     u"zmq"_s,
    };
    // clang-format on
    if (argument.startsWith(u"subfile,", Qt::CaseInsensitive)) {
        return true;
    }
    // ffmpeg takes the leading run of letters, digits, "+", "-" and "." as the scheme when a ":" follows.
    qsizetype end = 0;
    while (end < argument.size()) {
        const QChar c = argument[end];
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'+' && c != u'-' && c != u'.') {
            break;
        }
        ++end;
    }
    if (end == 0 || end >= argument.size() || argument[end] != u':') {
        return false;
    }
    const QString scheme = argument.first(end).toString().toLower();
    const QStringList parts = scheme.split(u'+');
    for (const QString& part : parts) {
        if (protocols.contains(part)) {
            return true;
        }
    }
    return false;
}

QString optionName(QStringView argument)
{
    QStringView name = argument.sliced(1);
    const qsizetype colon = name.indexOf(u':');
    if (colon >= 0) {
        name = name.first(colon);
    }
    return name.toString().toLower();
}

bool standsAlone(const QString& name)
{
    // clang-format off
    static const QSet<QString> alone{
        // ffmpeg
        u"y"_s, u"n"_s, u"ignore_unknown"_s, u"copy_unknown"_s, u"recast_media"_s, u"accurate_seek"_s, u"dump"_s,
        u"hex"_s, u"re"_s, u"copyts"_s, u"start_at_zero"_s, u"shortest"_s, u"bitexact"_s, u"xerror"_s,
        u"copyinkf"_s, u"stats"_s, u"debug_ts"_s, u"psnr"_s, u"vstats"_s, u"qphist"_s, u"force_fps"_s,
        u"autorotate"_s, u"autoscale"_s, u"vn"_s, u"an"_s, u"sn"_s, u"dn"_s, u"fix_sub_duration"_s,
        u"fix_sub_duration_heartbeat"_s, u"find_stream_info"_s, u"auto_conversion_filters"_s, u"benchmark"_s,
        u"benchmark_all"_s, u"stdin"_s, u"hide_banner"_s, u"report"_s, u"display_hflip"_s, u"display_vflip"_s,
        u"drop_changed"_s, u"print_graphs"_s, u"l"_s, u"version"_s, u"buildconf"_s, u"formats"_s, u"muxers"_s,
        u"demuxers"_s, u"devices"_s, u"codecs"_s, u"decoders"_s, u"encoders"_s, u"bsfs"_s, u"protocols"_s,
        u"filters"_s, u"pix_fmts"_s, u"layouts"_s, u"sample_fmts"_s, u"dispositions"_s, u"colors"_s,
        u"hwaccels"_s, u"sections"_s,
        // ffprobe
        u"unit"_s, u"prefix"_s, u"byte_binary_prefix"_s, u"sexagesimal"_s, u"pretty"_s, u"show_data"_s,
        u"show_error"_s, u"show_format"_s, u"show_frames"_s, u"show_packets"_s, u"show_programs"_s,
        u"show_stream_groups"_s, u"show_streams"_s, u"show_chapters"_s, u"count_frames"_s, u"count_packets"_s,
        u"show_program_version"_s, u"show_library_versions"_s, u"show_versions"_s, u"show_pixel_formats"_s,
        u"show_private_data"_s, u"private"_s, u"analyze_frames"_s,
    };
    // clang-format on
    if (alone.contains(name)) {
        return true;
    }
    // "-nostdin", "-noautorotate": the negated form of a value-less option.
    return name.startsWith(u"no") && alone.contains(name.sliced(2));
}

bool takesFilterGraph(const QString& name)
{
    return name == u"vf" || name == u"af" || name == u"filter" || name == u"filter_complex" || name == u"lavfi";
}

} // namespace FFmpegArgs
