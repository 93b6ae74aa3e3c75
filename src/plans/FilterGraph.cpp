#include "FilterGraph.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

// The filters a plan may use: every filter of ffmpeg 5.1 except those that read or write files, reach the
// network, load code or drive other filters, gone through one by one. A filter that only some options
// make unsafe is allowed and those options are refused (optionRules). Left out: movie and amovie (open
// any file or address), subtitles and ass (subtitle files), sendcmd and asendcmd (command files, and
// commands that change other filters' options), zmq and azmq (listen on the network), ladspa, lv2,
// frei0r and frei0r_src (load plug-ins), arnndn, asr, sofalizer, nnedi, fieldhint, cover_rect, find_rect,
// removelogo, sr, derain and the dnn filters (cannot work without a model, weights or picture file),
// libplacebo, the OpenCL, VAAPI, Vulkan, CUDA and QSV filters and the hw* upload filters (open devices
// and load their drivers), and the buffer and buffersink ends the program itself uses. Filters that
// came after 5.1 are not known here, so they stay refused until someone goes through them too.
const QSet<QString>& allowList()
{
    // clang-format off
    static const QSet<QString> names = [] {
        const QStringList list = QString::fromLatin1(
            "abench abitscope acompressor acontrast acopy acrossfade acrossover acrusher acue addroi adeclick "
            "adeclip adecorrelate adelay adenorm aderivative adrawgraph adynamicequalizer adynamicsmooth aecho "
            "aemphasis aeval aevalsrc aexciter afade afftdn afftfilt afifo afir afirsrc aformat afreqshift afwtdn "
            "agate agraphmonitor ahistogram aiir aintegral ainterleave alatency alimiter allpass allrgb allyuv "
            "aloop alphaextract alphamerge amerge ametadata amix amplify amultiply anequalizer anlmdn anlmf anlms "
            "anoisesrc anull anullsink anullsrc apad aperms aphasemeter aphaser aphaseshift apsyclip apulsator "
            "arealtime aresample areverse asdr asegment aselect asetnsamples asetpts asetrate asettb ashowinfo "
            "asidedata asoftclip aspectralstats asplit astats astreamselect asubboost asubcut asupercut asuperpass "
            "asuperstop atadenoise atempo atilt atrim avectorscope avgblur avsynctest axcorrelate bandpass "
            "bandreject bass bbox bench bilateral biquad bitplanenoise blackdetect blackframe blend blockdetect "
            "blurdetect bm3d boxblur bs2b bwdif cas cellauto channelmap channelsplit chorus chromahold chromakey "
            "chromanr chromashift ciescope codecview color colorbalance colorchannelmixer colorchart colorcontrast "
            "colorcorrect colorhold colorize colorkey colorlevels colormap colormatrix colorspace colorspectrum "
            "colortemperature compand compensationdelay concat convolution convolve copy crop cropdetect crossfeed "
            "crystalizer cue curves datascope dblur dcshift dctdnoiz deband deblock decimate deconvolve dedot "
            "deesser deflate deflicker dejudder delogo deshake despill detelecine dialoguenhance dilation displace "
            "doubleweave drawbox drawgraph drawgrid drawtext drmeter dynaudnorm earwax ebur128 edgedetect elbg "
            "entropy epx eq equalizer erosion estdif exposure extractplanes extrastereo fade feedback fftdnoiz "
            "fftfilt field fieldmatch fieldorder fifo fillborders firequalizer flanger flite floodfill format fps "
            "framepack framerate framestep freezedetect freezeframes fspp gblur geq gradfun gradients graphmonitor "
            "grayworld greyedge guided haas haldclut haldclutsrc hdcd headphone hflip highpass highshelf hilbert "
            "histeq histogram hqdn3d hqx hstack hsvhold hsvkey hue huesaturation hysteresis identity idet il "
            "inflate interlace interleave join kerndeint kirsch lagfun latency lenscorrection life limitdiff "
            "limiter loop loudnorm lowpass lowshelf lumakey lut lut1d lut2 lut3d lutrgb lutyuv mandelbrot "
            "maskedclamp maskedmax maskedmerge maskedmin maskedthreshold maskfun mcompand median mergeplanes "
            "mestimate metadata midequalizer minterpolate mix monochrome morpho mpdecimate mptestsrc msad multiply "
            "negate nlmeans noformat noise normalize null nullsink nullsrc oscilloscope overlay owdenoise pad "
            "pal100bars pal75bars palettegen paletteuse pan perms perspective phase photosensitivity pixdesctest "
            "pixelize pixscope pp pp7 premultiply prewitt pseudocolor psnr pullup qp random readeia608 readvitc "
            "realtime remap removegrain repeatfields replaygain reverse rgbashift rgbtestsrc roberts rotate "
            "rubberband sab scale scale2ref scdet scharr scroll segment select selectivecolor separatefields "
            "setdar setfield setparams setpts setrange setsar settb shear showcqt showfreqs showinfo showpalette "
            "showspatial showspectrum showspectrumpic showvolume showwaves showwavespic shuffleframes shufflepixels "
            "shuffleplanes sidechaincompress sidechaingate sidedata sierpinski signalstats signature silencedetect "
            "silenceremove sinc sine siti smartblur smptebars smptehdbars sobel spectrumsynth speechnorm split "
            "spp ssim stereo3d stereotools stereowiden streamselect super2xsai superequalizer surround swaprect "
            "swapuv tblend telecine testsrc testsrc2 thistogram threshold thumbnail tile tiltshelf tinterlace tlut2 "
            "tmedian tmidequalizer tmix tonemap tpad transpose treble tremolo trim unpremultiply unsharp untile "
            "v360 vaguedenoiser varblur vectorscope vflip vfrdet vibrance vibrato vidstabdetect vidstabtransform "
            "vif vignette virtualbass vmafmotion volume volumedetect vstack w3fdif waveform weave xbr xcorrelate "
            "xfade xmedian xstack yadif yaepblur yuvtestsrc zoompan zscale "
        ).split(u' ', Qt::SkipEmptyParts);
        return QSet<QString>(list.begin(), list.end());
    }();
    // clang-format on
    return names;
}

// The options of allowed filters that name a file, as every alias spells them, and how many leading
// values a filter may be given without a name. Unnamed values fill the options in the order of the
// filter's table, and a value after a named one takes the option after that one; so for these filters
// only the leading values before any file option in every version of the table may stay unnamed.
struct OptionRule
{
    QStringList files; // read or written anywhere
    QStringList scratchFiles; // kept in the step's working folder, the scratch folder, by default
    int unnamed = 0;
};

const QHash<QString, OptionRule>& optionRules()
{
    // clang-format off
    static const QHash<QString, OptionRule> rules{
        {u"drawtext"_s, {{u"fontfile"_s, u"textfile"_s}, {}, 0}},
        {u"flite"_s, {{u"textfile"_s}, {}, 0}},
        {u"curves"_s, {{u"psfile"_s, u"plot"_s}, {}, 1}},
        {u"selectivecolor"_s, {{u"psfile"_s}, {}, 1}},
        {u"lut1d"_s, {{u"file"_s}, {}, 0}},
        {u"lut3d"_s, {{u"file"_s}, {}, 0}},
        {u"deshake"_s, {{u"filename"_s}, {}, 0}},
        {u"paletteuse"_s, {{u"debug_kdtree"_s}, {}, 2}},
        {u"psnr"_s, {{u"stats_file"_s, u"f"_s}, {}, 0}},
        {u"ssim"_s, {{u"stats_file"_s, u"f"_s}, {}, 0}},
        {u"vmafmotion"_s, {{u"stats_file"_s}, {}, 0}},
        {u"metadata"_s, {{u"file"_s}, {}, 3}},
        {u"ametadata"_s, {{u"file"_s}, {}, 3}},
        {u"firequalizer"_s, {{u"dumpfile"_s}, {}, 2}},
        {u"showcqt"_s, {{u"fontfile"_s, u"axisfile"_s}, {}, 2}},
        {u"signature"_s, {{u"filename"_s}, {}, 2}},
        {u"cellauto"_s, {{u"filename"_s, u"f"_s}, {}, 0}},
        {u"life"_s, {{u"filename"_s, u"f"_s}, {}, 0}},
        // The motion of the first pass goes to a file the second pass reads, "transforms.trf" in the
        // working folder unless named otherwise.
        {u"vidstabdetect"_s, {{}, {u"result"_s}, 0}},
        {u"vidstabtransform"_s, {{}, {u"input"_s}, 0}},
    };
    // clang-format on
    return rules;
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

// libavutil's key test: the characters an option name may have.
bool isKeyChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_'
        || c == u'/' || c == u'.';
}

// The name of the option at pos when the text there is "name=" (white space allowed around the name),
// moving pos past the "="; absent, pos unchanged, when the value there is given without a name.
std::optional<QString> optionName(QStringView options, qsizetype& pos)
{
    qsizetype at = pos;
    skipSpace(options, at);
    const qsizetype start = at;
    while (at < options.size() && isKeyChar(options[at])) {
        ++at;
    }
    const qsizetype end = at;
    skipSpace(options, at);
    if (at >= options.size() || options[at] != u'=') {
        return std::nullopt;
    }
    pos = at + 1;
    return options.sliced(start, end - start).toString();
}

// A file name with no folder in it, which ffmpeg opens in the step's working folder.
bool isPlainName(const QString& value)
{
    static const QRegularExpression plain(u"^[A-Za-z0-9_][A-Za-z0-9_.-]{0,99}$"_s);
    return plain.match(value).hasMatch();
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

std::optional<OptionRefusal> refusedOption(const Filter& filter)
{
    const auto rule = optionRules().constFind(filter.name);
    if (rule == optionRules().cend()) {
        return std::nullopt;
    }
    const QStringView options = filter.options;
    bool named = false;
    int unnamed = 0;
    // The filter's own option parser: "name=value" or a value alone, separated by ':', each value one
    // more token with quotes and escapes.
    for (qsizetype pos = 0; pos < options.size();) {
        const std::optional<QString> name = optionName(options, pos);
        const QString value = token(options, pos, u":");
        if (pos < options.size()) {
            ++pos;
        }
        if (!name) {
            if (named || unnamed++ >= rule->unnamed) {
                return OptionRefusal{OptionFault::unnamed, value};
            }
            continue;
        }
        named = true;
        const QString lower = name->toLower();
        if (rule->files.contains(lower)) {
            return OptionRefusal{OptionFault::file, *name};
        }
        if (rule->scratchFiles.contains(lower) && !isPlainName(value)) {
            return OptionRefusal{OptionFault::notAPlainName, value};
        }
    }
    return std::nullopt;
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
