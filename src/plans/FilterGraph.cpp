#include "FilterGraph.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace {

// The filters a plan may use. Every one works on the streams it is given and on numbers, names of
// colours, channel layouts and expressions; none has an option that names a file, a device, a font, a
// model or code to load, and none sends commands. Left out on purpose, among others: movie and amovie
// (read any file), subtitles and ass (subtitle and font files), drawtext (font and text files),
// sendcmd and zmq (commands), ladspa, lv2 and frei0r (load code), psnr, ssim and vmafmotion (stats
// files), libvmaf (model files), vidstabdetect and vidstabtransform (motion files), firequalizer
// (dump file), signature, removelogo, cover_rect, find_rect, deshake (files), sofalizer (SOFA files),
// showcqt (font files), lut1d, lut3d, haldclut, curves and selectivecolor (colour files), arnndn,
// dnn_* and sr (models), openclsrc and program_opencl (kernel sources), metadata and ametadata (write
// files), ocr and asr (data files), libplacebo (shader files) and the hardware upload filters.
const QSet<QString>& allowList()
{
    // clang-format off
    static const QSet<QString> names{
        // picture size, position and orientation
        u"scale"_s, u"crop"_s, u"pad"_s, u"hflip"_s, u"vflip"_s, u"transpose"_s, u"rotate"_s, u"setsar"_s,
        u"setdar"_s, u"tpad"_s,
        // time, speed and frame rate
        u"trim"_s, u"atrim"_s, u"setpts"_s, u"asetpts"_s, u"atempo"_s, u"fps"_s, u"framerate"_s, u"reverse"_s,
        u"areverse"_s, u"loop"_s, u"aloop"_s, u"select"_s, u"aselect"_s, u"apad"_s, u"asetrate"_s,
        // pixel and sample formats, channels
        u"format"_s, u"aformat"_s, u"aresample"_s, u"pan"_s, u"channelmap"_s, u"channelsplit"_s, u"amerge"_s,
        u"join"_s,
        // animated pictures
        u"palettegen"_s, u"paletteuse"_s,
        // splitting, joining and mixing streams
        u"split"_s, u"asplit"_s, u"concat"_s, u"overlay"_s, u"hstack"_s, u"vstack"_s, u"xstack"_s, u"amix"_s,
        u"acrossfade"_s, u"xfade"_s, u"null"_s, u"anull"_s, u"copy"_s, u"acopy"_s,
        // fades and volume
        u"fade"_s, u"afade"_s, u"volume"_s, u"loudnorm"_s, u"dynaudnorm"_s, u"acompressor"_s, u"alimiter"_s,
        u"compand"_s, u"silenceremove"_s, u"adelay"_s, u"aecho"_s,
        // equalising and filtering sound
        u"highpass"_s, u"lowpass"_s, u"bandpass"_s, u"bandreject"_s, u"equalizer"_s, u"bass"_s, u"treble"_s,
        u"lowshelf"_s, u"highshelf"_s, u"afftdn"_s, u"anlmdn"_s, u"extrastereo"_s, u"stereotools"_s,
        // picture corrections and effects
        u"eq"_s, u"hue"_s, u"colorchannelmixer"_s, u"colorbalance"_s, u"negate"_s, u"unsharp"_s, u"boxblur"_s,
        u"gblur"_s, u"avgblur"_s, u"hqdn3d"_s, u"nlmeans"_s, u"vignette"_s, u"noise"_s, u"drawbox"_s,
        u"edgedetect"_s, u"yadif"_s, u"bwdif"_s, u"deband"_s, u"setrange"_s, u"colorkey"_s, u"chromakey"_s,
        u"thumbnail"_s, u"tile"_s, u"blend"_s, u"minterpolate"_s, u"mpdecimate"_s,
        // simple sources: a colour, silence, a tone
        u"color"_s, u"anullsrc"_s, u"sine"_s,
    };
    // clang-format on
    return names;
}

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\n' || c == u'\t' || c == u'\r';
}

// libavutil's av_get_token: skips leading white space, reads up to an unquoted, unescaped terminator,
// takes a backslash as an escape of the next character and single quotes as quoting (no escapes inside),
// and drops trailing white space that was neither quoted nor escaped.
QString token(QStringView text, qsizetype& pos, QStringView terminators)
{
    while (pos < text.size() && isSpace(text[pos])) {
        ++pos;
    }
    QString out;
    qsizetype keep = 0; // length of the output that trailing-space trimming must not cut into
    while (pos < text.size() && !terminators.contains(text[pos])) {
        const QChar c = text[pos++];
        if (c == u'\\' && pos < text.size()) {
            out += text[pos++];
            keep = out.size();
        } else if (c == u'\'') {
            while (pos < text.size() && text[pos] != u'\'') {
                out += text[pos++];
            }
            if (pos < text.size()) {
                ++pos;
                keep = out.size();
            }
        } else {
            out += c;
        }
    }
    while (out.size() > keep && isSpace(out.back())) {
        out.chop(1);
    }
    return out;
}

void skipSpace(QStringView text, qsizetype& pos)
{
    while (pos < text.size() && isSpace(text[pos])) {
        ++pos;
    }
}

// Link labels such as "[0:v]": false when one is empty or not closed, which ffmpeg refuses too.
bool labels(QStringView text, qsizetype& pos)
{
    while (pos < text.size() && text[pos] == u'[') {
        ++pos;
        if (token(text, pos, u"]").isEmpty() || pos >= text.size() || text[pos] != u']') {
            return false;
        }
        ++pos;
        skipSpace(text, pos);
    }
    return true;
}

} // namespace

namespace FilterGraph {

std::optional<QList<Filter>> parse(QStringView description)
{
    qsizetype pos = 0;
    skipSpace(description, pos);
    // A leading "sws_flags=...;" sets scaler flags and ends at the first semicolon, quoted or not.
    if (description.sliced(pos).startsWith(u"sws_flags=")) {
        const qsizetype end = description.indexOf(u';', pos);
        if (end < 0) {
            return std::nullopt;
        }
        pos = end + 1;
    }
    QList<Filter> filters;
    QChar separator;
    do {
        skipSpace(description, pos);
        if (!labels(description, pos)) {
            return std::nullopt;
        }
        Filter filter;
        filter.name = token(description, pos, u"=,;[");
        if (pos < description.size() && description[pos] == u'=') {
            ++pos;
            filter.options = token(description, pos, u"[],;");
        }
        const qsizetype at = filter.name.indexOf(u'@');
        if (at >= 0 && at + 1 < filter.name.size()) {
            filter.name.truncate(at);
        }
        filters << filter;
        if (!labels(description, pos)) {
            return std::nullopt;
        }
        skipSpace(description, pos);
        separator = pos < description.size() ? description[pos++] : QChar();
    } while (separator == u',' || separator == u';');
    if (!separator.isNull()) {
        return std::nullopt;
    }
    return filters;
}

bool isAllowed(const QString& name)
{
    return allowList().contains(name);
}

bool loadsOptionFromFile(const QString& options)
{
    // An option name begins the text or follows a ':'; white space before it is skipped by ffmpeg.
    bool atName = true;
    for (const QChar c : options) {
        if (atName && c == u'/') {
            return true;
        }
        if (c == u':') {
            atName = true;
        } else if (!isSpace(c)) {
            atName = false;
        }
    }
    return false;
}

} // namespace FilterGraph
