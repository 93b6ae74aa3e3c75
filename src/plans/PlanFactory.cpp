#include "PlanFactory.h"

#include "FFmpegArgs.h"
#include "FilterGraph.h"
#include "NameText.h"
#include "SystemTools.h"
#include "base/AppPaths.h"
#include "base/FFmpegTools.h"
#include "files/Format.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTextBoundaryFinder>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace {

constexpr int maxSteps = 6;
constexpr int maxArgs = 199;
constexpr int maxBaseLength = 100;

const QString inputPlaceholder = u"{input}"_s;
const QString prevPlaceholder = u"{prev}"_s;
const QString outputPlaceholder = u"{output}"_s;

const QStringList aiPrograms{u"ffmpeg"_s, u"ffprobe"_s, u"sips"_s, u"afconvert"_s, u"zip"_s};
const QStringList trustedPrograms{u"ffmpeg"_s, u"ffprobe"_s, u"sips"_s, u"afconvert"_s, u"zip"_s, u"ditto"_s, u"tar"_s};

// clang-format off
const QSet<QString> allowedExt{
    u"mp4"_s, u"mov"_s,  u"m4v"_s,  u"mkv"_s, u"webm"_s, u"gif"_s,  u"mp3"_s, u"m4a"_s,
    u"aac"_s, u"wav"_s,  u"flac"_s, u"ogg"_s, u"opus"_s, u"aiff"_s, u"caf"_s, u"jpg"_s,
    u"jpeg"_s, u"png"_s, u"heic"_s, u"tiff"_s, u"bmp"_s, u"webp"_s, u"pdf"_s, u"zip"_s,
};
// clang-format on

// Options that read or write files of their own, compared by name without the leading "-" and without a
// stream specifier. Besides the classic ones: the statistics files of ffmpeg 6 and 7 (both spellings),
// the graph dump of ffmpeg 8, and every encoder's "*-params" string (checked separately), which passes
// options straight to x264, x265, aom, SVT-AV1 or rav1e, several of which name files.
// clang-format off
const QSet<QString> bannedFFmpegOptions{
    u"y"_s,          u"filter_script"_s, u"filter_complex_script"_s, u"protocol_whitelist"_s, u"passlogfile"_s,
    u"dump_attachment"_s, u"attach"_s,   u"vstats_file"_s,  u"vstats"_s,   u"report"_s,     u"progress"_s,
    u"sdp_file"_s,   u"headers"_s,       u"cookies"_s,      u"x264opts"_s, u"x264-params"_s, u"x265-params"_s,
    u"fpre"_s,       u"apre"_s,          u"vpre"_s,         u"spre"_s,     u"pre"_s,        u"stdin"_s,
    u"enc_stats_pre"_s, u"enc_stats_post"_s, u"stats_enc_pre"_s,
    u"stats_enc_post"_s, u"stats_mux_pre"_s, u"print_graphs_file"_s, u"format_whitelist"_s,
};
// clang-format on

// Options that load the graphics drivers for decoding, filtering or encoding: plans run on the processor only.
const QSet<QString> hardwareOptions{
    u"hwaccel"_s,      u"hwaccel_device"_s, u"hwaccel_output_format"_s, u"init_hw_device"_s, u"filter_hw_device"_s,
    u"vaapi_device"_s, u"qsv_device"_s,
};

// Options whose value names an encoder.
const QSet<QString> encoderOptions{u"c"_s, u"codec"_s, u"vcodec"_s, u"acodec"_s, u"scodec"_s};

// Encoders that hand the work to graphics hardware, present in many builds whether or not the hardware is.
const QRegularExpression hardwareEncoder(u"_(nvenc|vaapi|qsv|amf|v4l2m2m|videotoolbox|mediacodec|omx|vulkan|mf)$"_s);

// clang-format off
const QSet<QString> allowedFormats{
    u"mp4"_s,  u"mov"_s, u"matroska"_s, u"webm"_s, u"mp3"_s,    u"ipod"_s, u"wav"_s,  u"flac"_s, u"gif"_s, u"image2"_s,
    u"adts"_s, u"ogg"_s, u"opus"_s,     u"mpegts"_s, u"apng"_s, u"webp"_s, u"mjpeg"_s, u"aiff"_s, u"caf"_s,
};
// clang-format on

// clang-format off
const QStringList sipsFlags{
    u"-s"_s, u"-Z"_s, u"-z"_s, u"-r"_s, u"-f"_s, u"-c"_s, u"-p"_s, u"-o"_s, u"-d"_s,
    u"--deleteProperty"_s, u"--setProperty"_s, u"--rotate"_s, u"--flip"_s, u"--resampleWidth"_s,
    u"--resampleHeight"_s, u"--resampleHeightWidth"_s, u"--resampleHeightWidthMax"_s, u"--cropToHeightWidth"_s,
    u"--padToHeightWidth"_s, u"--padColor"_s, u"--cropOffset"_s,
};
// clang-format on
const QStringList afconvertFlags{u"-f"_s, u"-d"_s, u"-b"_s, u"-q"_s, u"-s"_s, u"-c"_s, u"-r"_s, u"-v"_s};
// -y stores links as links: following one would read outside the chosen folder, which the sandbox refuses.
const QStringList zipFlags{u"-r"_s, u"-q"_s, u"-j"_s, u"-X"_s, u"-D"_s, u"-y"_s};

// Filter and option names through which ffmpeg reads files. Those ending in "=" are names given a
// value; they match as whole names, also with an "@instance" suffix or spaces before the "=".
// clang-format off
const QStringList fileReadingWords{
    u"movie="_s, u"amovie"_s, u"subtitles"_s, u"textfile"_s, u"fontfile"_s,
    u"filename="_s, u"file="_s, u"ass="_s, u"sendcmd"_s, u"zmq"_s,
};
// clang-format on

QString stepText(int step)
{
    return u"Step "_s + QString::number(step);
}

PlanError fail(int step, const QString& rest)
{
    return PlanError{stepText(step) + rest};
}

PlanError quoted(int step, const QString& before, const QString& value, const QString& after)
{
    return PlanError{stepText(step) + before + u"“"_s + value + u"”"_s + after};
}

bool isPlaceholder(const QString& arg)
{
    return arg == inputPlaceholder || arg == prevPlaceholder || arg == outputPlaceholder;
}

// A decimal number such as -90, 1.5 or 2e3 (no "inf", "nan" or hexadecimal forms).
bool isNumber(const QString& arg)
{
    static const QRegularExpression number(u"^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"_s);
    return number.match(arg).hasMatch();
}

bool isNameChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_';
}

// Whether a file-reading word occurs in the lower-cased text as a whole filter or option name.
bool containsWord(const QString& text, const QString& word)
{
    const bool takesValue = word.endsWith(u'=');
    const QString name = takesValue ? word.chopped(1) : word;
    for (qsizetype at = text.indexOf(name); at >= 0; at = text.indexOf(name, at + 1)) {
        if (at > 0 && isNameChar(text[at - 1])) {
            continue;
        }
        qsizetype end = at + name.size();
        if (!takesValue) {
            if (end == text.size() || !isNameChar(text[end])) {
                return true;
            }
            continue;
        }
        if (end < text.size() && text[end] == u'@') {
            while (end < text.size() && text[end] != u'=' && !u",;:[]"_s.contains(text[end])) {
                ++end;
            }
        }
        while (end < text.size() && text[end].isSpace()) {
            ++end;
        }
        if (end < text.size() && text[end] == u'=') {
            return true;
        }
    }
    return false;
}

// The argument as ffmpeg's option and filter parsers may see it after unquoting and unescaping.
QString unquoted(const QString& arg)
{
    QString out;
    for (const QChar c : arg) {
        if (c != u'\'' && c != u'"' && c != u'\\' && !c.isSpace()) {
            out += c;
        }
    }
    return out;
}

// drawtext's text expansions, such as %{pts\:hms} or %{eif\:n\:d}, removed: each writes the frame's time,
// number, type or metadata, the clock, or a number worked out from them, and none reads anything.
QString withoutTextExpansions(const QString& arg)
{
    static const QRegularExpression expansion(
        u"%\\{(expr|e|expr_int_format|eif|gmtime|localtime|metadata|n|frame_num|pict_type|pts)(?=[:}\\\\])[^{}]*\\}"_s);
    return QString(arg).remove(expansion);
}

bool pointsAtPath(const QString& arg)
{
    return arg.startsWith(u'/') || arg.startsWith(u'~') || arg.startsWith(u"file:") || arg.startsWith(u"pipe:")
        || arg.contains(u"../") || arg == u".." || arg.contains(u"=/") || arg.contains(u":/") || arg.contains(u"=~");
}

// Text after the last "." of the last path component.
QString pathExtension(const QString& arg)
{
    QString component = arg;
    while (component.endsWith(u'/')) {
        component.chop(1);
    }
    component = component.sliced(component.lastIndexOf(u'/') + 1);
    const qsizetype dot = component.lastIndexOf(u'.');
    return dot < 0 ? QString() : component.sliced(dot + 1);
}

// Cuts to a number of user-perceived characters, never inside one.
QString cutCharacters(const QString& text, int count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int seen = 0;
    while (finder.toNextBoundary() >= 0) {
        if (++seen == count) {
            return text.left(finder.position());
        }
    }
    return text;
}

// --- ffmpeg and ffprobe ------------------------------------------------------------------------------

Result<void, PlanError> checkFilterGraph(const QString& description, int step)
{
    const std::optional<QList<FilterGraph::Filter>> filters = FilterGraph::parse(description);
    if (!filters) {
        return quoted(step, u" uses the filter description "_s, description, u", which ffmpeg could not read."_s);
    }
    for (const FilterGraph::Filter& filter : *filters) {
        if (!FilterGraph::isAllowed(filter.name)) {
            return quoted(step, u" uses the filter "_s, filter.name,
                          u", which is not on the list of allowed filters."_s);
        }
        if (FilterGraph::loadsOptionFromFile(filter.options)) {
            return quoted(step, u" uses "_s, description, u", which could read other files."_s);
        }
        const std::optional<FilterGraph::OptionRefusal> refusal = FilterGraph::refusedOption(filter);
        if (!refusal) {
            continue;
        }
        const QString ofFilter = u" of the filter “"_s + filter.name + u"”"_s;
        switch (refusal->fault) {
        case FilterGraph::OptionFault::file:
            return quoted(step, u" uses the option "_s, refusal->text,
                          ofFilter + u", which is not allowed because it can read or write other files."_s);
        case FilterGraph::OptionFault::unnamed:
            return quoted(step, u" gives the filter “"_s + filter.name + u"” the value "_s, refusal->text,
                          u" without its option's name; write each option as name=value."_s);
        case FilterGraph::OptionFault::notAPlainName:
            return quoted(step, u" names the file "_s, refusal->text,
                          ofFilter + u", but only a plain name such as transforms.trf is allowed there."_s);
        }
    }
    return {};
}

// Walks the arguments the way ffmpeg's and ffprobe's option parsers do: options, the values they take,
// and the bare arguments that name files. Placeholders may only stand where they mean what they say,
// bare arguments are only placeholders, and filter graphs use allowed filters only. Collects the
// options that were given (for the safety options).
Result<void, PlanError> checkFFmpegGrammar(const QStringList& args, bool probe, int step, QStringList& given)
{
    const QString tool = probe ? u"ffprobe"_s : u"ffmpeg"_s;
    for (qsizetype i = 0; i < args.size();) {
        const QString& arg = args[i];
        if (!arg.startsWith(u'-') || arg == u"-" || arg == u"--") {
            if (isPlaceholder(arg) && (probe || arg == outputPlaceholder)) {
                ++i;
                continue;
            }
            if (arg == inputPlaceholder || arg == prevPlaceholder) {
                return quoted(step, u" may use "_s, arg, u" only right after -i."_s);
            }
            return quoted(step, u" uses "_s, arg,
                          u" where "_s + tool
                              + u" expects a file name. Only the chosen file and the new output may be used."_s);
        }
        const QString name = FFmpegArgs::optionName(arg);
        given << arg;
        if (FFmpegArgs::standsAlone(name)) {
            ++i;
            continue;
        }
        if (i + 1 >= args.size()) {
            break; // a missing value: ffmpeg stops with an error
        }
        const QString& value = args[i + 1];
        if (name == u"i") {
            if (value != inputPlaceholder && value != prevPlaceholder) {
                return fail(step, u" reads an input other than the chosen file."_s);
            }
        } else if (value == inputPlaceholder || value == prevPlaceholder) {
            return quoted(step, u" may use "_s, value, u" only right after -i."_s);
        } else if (value == outputPlaceholder && !(probe && name == u"o")) {
            return quoted(step, u" may use "_s, value, u" only as the output file."_s);
        } else if (FFmpegArgs::takesFilterGraph(name)) {
            if (const Result<void, PlanError> graph = checkFilterGraph(value, step); !graph.ok()) {
                return graph;
            }
        }
        i += 2;
    }
    return {};
}

// An encoder the ffmpeg in use has, or none to check against while it is not known.
Result<void, PlanError> checkEncoder(const QString& encoder, const std::optional<QStringList>& known, int step)
{
    if (encoder == u"copy"_s) {
        return {};
    }
    if (hardwareEncoder.match(encoder).hasMatch()) {
        return quoted(step, u" uses the encoder "_s, encoder,
                      u", which needs the graphics hardware; only software encoders are available."_s);
    }
    if (known && !known->contains(encoder)) {
        return quoted(step, u" uses the encoder "_s, encoder, u", which the ffmpeg on this computer does not have."_s);
    }
    return {};
}

Result<QStringList, PlanError> checkFFmpeg(const QStringList& args, bool probe, int step)
{
    const std::optional<FFmpegPair> tools = probe ? std::nullopt : FFmpegTools::chosen();
    const std::optional<QStringList> encoders = tools ? FFmpegTools::encoders(tools->ffmpeg) : std::nullopt;
    bool readsInput = false;
    for (qsizetype i = 0; i < args.size();) {
        const QString& arg = args[i];
        if (arg == u"-i") {
            if (i + 1 >= args.size() || (args[i + 1] != inputPlaceholder && args[i + 1] != prevPlaceholder)) {
                return fail(step, u" reads an input other than the chosen file."_s);
            }
            readsInput = true;
            i += 2;
            continue;
        }
        const QString name = arg.startsWith(u'-') ? FFmpegArgs::optionName(arg) : QString();
        if (arg.startsWith(u"-/") || bannedFFmpegOptions.contains(name) || name.endsWith(u"-params")) {
            return quoted(step, u" uses the option "_s, arg,
                          u", which is not allowed because it can read or write other files."_s);
        }
        if (hardwareOptions.contains(name)) {
            return quoted(step, u" uses the option "_s, arg,
                          u", which is not allowed because it uses the graphics hardware; only software encoders "
                          u"are available."_s);
        }
        if (!probe && encoderOptions.contains(name) && i + 1 < args.size()) {
            if (const Result<void, PlanError> encoder = checkEncoder(args[i + 1], encoders, step); !encoder.ok()) {
                return encoder.error();
            }
        }
        if (name == u"f") {
            if (i + 1 >= args.size() || !allowedFormats.contains(args[i + 1].toLower())) {
                return fail(step, u" uses a container format (-f) that is not on the allowed list."_s);
            }
        }
        ++i;
    }
    if (!readsInput) {
        return fail(step, u" does not read the chosen file with -i."_s);
    }
    if (args.last() != outputPlaceholder) {
        return fail(step, u": the output file must be the last argument."_s);
    }
    QStringList given;
    if (const Result<void, PlanError> grammar = checkFFmpegGrammar(args, probe, step, given); !grammar.ok()) {
        return grammar.error();
    }
    QStringList result = args;
    if (!probe) {
        for (const QString& safety : {u"-nostdin"_s, u"-n"_s, u"-hide_banner"_s}) {
            if (!given.contains(safety)) {
                result.prepend(safety);
            }
        }
    }
    return result;
}

// --- the system tools ----------------------------------------------------------------------------------

Result<void, PlanError> checkSips(const QStringList& args, int step)
{
    bool writesNewFile = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg.startsWith(u'-') && !isNumber(arg) && !sipsFlags.contains(arg)) {
            return quoted(step, u" uses the sips option "_s, arg, u", which is not allowed."_s);
        }
        if (arg == u"-o") {
            if (i + 1 >= args.size() || args[i + 1] != outputPlaceholder) {
                return fail(step, u": sips must write to the new output file with -o."_s);
            }
            writesNewFile = true;
        }
    }
    if (!writesNewFile) {
        return fail(step, u": sips would change the original file. It must write to a new file with -o."_s);
    }
    return {};
}

Result<void, PlanError> checkAfconvert(const QStringList& args, int step)
{
    for (const QString& arg : args) {
        if (arg.startsWith(u'-') && !isNumber(arg) && !afconvertFlags.contains(arg)) {
            return quoted(step, u" uses the afconvert option "_s, arg, u", which is not allowed."_s);
        }
    }
    if (args.last() != outputPlaceholder) {
        return fail(step, u": the output file must be the last argument."_s);
    }
    return {};
}

// "-0" (store only) to "-9" (smallest), as a whole argument: in a cluster such as "-1e5" each letter is
// an option of its own.
bool isCompressionLevel(const QString& arg)
{
    return arg.size() == 2 && arg[1] >= u'0' && arg[1] <= u'9';
}

// zip reads every bare argument after the archive as a name to add, relative to the input's folder,
// and any argument starting with "-" (a number too: "-1e5" holds "-e") as options. So options come from
// the list, the archive is the new output, and the only names are the placeholders.
Result<void, PlanError> checkZip(const QStringList& args, int step)
{
    bool archiveNamed = false;
    for (const QString& arg : args) {
        if (arg.startsWith(u'-')) {
            if (!zipFlags.contains(arg) && !isCompressionLevel(arg)) {
                return quoted(step, u" uses the zip option "_s, arg, u", which is not allowed."_s);
            }
            continue;
        }
        if (!isPlaceholder(arg)) {
            return quoted(step, u" uses "_s, arg,
                          u", which zip would add to the archive. Only the chosen file may be added."_s);
        }
        if (!archiveNamed && arg != outputPlaceholder) {
            return fail(step, u": zip must name the new archive “{output}” before the files it adds."_s);
        }
        archiveNamed = true;
    }
    return {};
}

} // namespace

PlanFactory::PlanFactory()
    : m_tempDir(QDir::tempPath() + u"/Trellick-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper())
{
}

QString PlanFactory::tempDir() const
{
    return m_tempDir;
}

NameReserver& PlanFactory::reserver()
{
    return m_reserver;
}

Result<void, PlanError> PlanFactory::checkGeneric(const QString& argument, int step)
{
    if (argument.isEmpty()) {
        return fail(step, u" contains an empty argument."_s);
    }
    if (argument.contains(u'\n') || argument.contains(u'\r') || argument.contains(QChar(0))) {
        return fail(step, u" contains a line break in an argument."_s);
    }
    if (isPlaceholder(argument)) {
        return {};
    }
    const QString braces = withoutTextExpansions(argument);
    if (braces.contains(u'{') || braces.contains(u'}')) {
        return quoted(step, u" uses "_s, argument, u", which is not one of the file placeholders I know."_s);
    }
    // Also in the form ffmpeg's filter and dictionary parsers see after removing quotes and escapes.
    if (pointsAtPath(argument) || pointsAtPath(unquoted(argument))) {
        return quoted(step, u" uses "_s, argument,
                      u", which points at a file or folder. Only the chosen file and the output folder may be used."_s);
    }
    if (FFmpegArgs::opensProtocol(argument)) {
        return quoted(step, u" uses "_s, argument, u", which could reach the network or other files."_s);
    }
    const QString lower = argument.toLower();
    for (const QString& word : fileReadingWords) {
        if (containsWord(lower, word)) {
            return quoted(step, u" uses "_s, argument, u", which could read other files."_s);
        }
    }
    if (argument.startsWith(u'-') || argument.contains(u'=') || argument.contains(u':') || argument.contains(u',')) {
        return {};
    }
    const QString ext = pathExtension(argument);
    if (ext.isEmpty() || ext.size() > 5 || !ext[0].isLetter()) {
        return {};
    }
    return quoted(step, u" uses "_s, argument,
                  u", which looks like another file name. Only the chosen file and the new output may be used."_s);
}

Result<QStringList, PlanError> PlanFactory::checkArgs(const QStringList& args, const QString& program, int step)
{
    if (args.isEmpty()) {
        return fail(step, u" has no arguments."_s);
    }
    if (args.size() > maxArgs) {
        return fail(step, u" has too many arguments."_s);
    }
    for (const QString& arg : args) {
        if (const Result<void, PlanError> generic = checkGeneric(arg, step); !generic.ok()) {
            return generic.error();
        }
    }
    if (program == u"ffmpeg" || program == u"ffprobe") {
        return checkFFmpeg(args, program == u"ffprobe", step);
    }
    Result<void, PlanError> checked;
    if (program == u"sips") {
        checked = checkSips(args, step);
    } else if (program == u"afconvert") {
        checked = checkAfconvert(args, step);
    } else if (program == u"zip") {
        checked = checkZip(args, step);
    }
    if (!checked.ok()) {
        return checked.error();
    }
    return args;
}

Result<PlanFactory::OutputName, PlanError> PlanFactory::splitOutput(const QString& name, const QString& fallbackBase,
                                                                    bool folder, int step)
{
    QString cleaned = NameText::withoutControls(name);
    for (const QChar bad : {u'/', u':', u'\\', u'%'}) {
        cleaned.replace(bad, u'-');
    }
    cleaned = cleaned.trimmed();
    const auto withoutLeadingDots = [](QString text) {
        while (text.startsWith(u'.')) {
            text.remove(0, 1);
        }
        return text;
    };
    if (folder) {
        const QString base = withoutLeadingDots(cleaned);
        return OutputName{base.isEmpty() ? fallbackBase + u" (new)"_s : cutCharacters(base, maxBaseLength), QString()};
    }
    // The type comes from the text after the last "."; leading dots go from the base, so that ".mp4"
    // names an mp4 without a base (the fallback is used) and no output becomes a hidden file.
    const qsizetype dot = cleaned.lastIndexOf(u'.');
    const QString ext = dot < 0 ? QString() : cleaned.sliced(dot + 1).toLower();
    if (!allowedExt.contains(ext)) {
        return PlanError{
            stepText(step) + u" names its output “"_s + name
            + u"”, which does not end in a file type I allow (for example mp4, mp3, jpg, png, pdf, zip)."_s};
    }
    const QString base = withoutLeadingDots(cleaned.first(dot)).trimmed();
    return OutputName{base.isEmpty() ? fallbackBase + u" (new)"_s : cutCharacters(base, maxBaseLength), ext};
}

QString PlanFactory::outputFolder(const QString& input)
{
    const QString folder = QFileInfo(QDir::cleanPath(QFileInfo(input).absoluteFilePath())).absolutePath();
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable() ? folder : AppPaths::fallbackOutputDir();
}

Result<ResolvedOption, PlanError> PlanFactory::resolve(const RawOption& raw, const QString& input, bool trusted)
{
    const qsizetype count = raw.steps.size();
    if (count == 0) {
        return PlanError{u"The answer had no steps."_s};
    }
    if (count > maxSteps) {
        return PlanError{u"The answer had too many steps ("_s + QString::number(count) + u")."_s};
    }
    const QString inputPath = QDir::cleanPath(QFileInfo(input).absoluteFilePath());
    const QFileInfo inputInfo(inputPath);
    const QString inputFolder = inputInfo.absolutePath();
    const QString outputFolder = PlanFactory::outputFolder(inputPath);
    const QString inputName = inputInfo.fileName();
    const qsizetype dot = inputName.lastIndexOf(u'.');
    const QString fallbackBase = dot > 0 ? inputName.first(dot) : inputName;

    ResolvedOption option;
    std::optional<QString> prev;
    for (qsizetype index = 0; index < count; ++index) {
        const RawStep& step = raw.steps[index];
        const int k = static_cast<int>(index) + 1;
        const bool last = index == count - 1;

        const QString program = step.program.trimmed().toLower();
        if (!(trusted ? trustedPrograms : aiPrograms).contains(program)) {
            return quoted(k, u" wants to use "_s, step.program,
                          u", which is not on the list of allowed tools (ffmpeg, ffprobe, sips, afconvert, zip)."_s);
        }
        ResolvedStep resolved;
        if (program == u"ffmpeg" || program == u"ffprobe") {
            // The copy in use now; the run points the step at the one in use then, once it is installed.
            const std::optional<FFmpegPair> tools = FFmpegTools::chosen();
            resolved.executable = tools ? tools->path(program) : AppPaths::binDir() + QLatin1Char('/') + program;
            resolved.needsFFmpeg = true;
        } else {
            const QString path = SystemTools::path(program);
            const QFileInfo tool(path);
            if (path.isEmpty() || !tool.isFile() || !tool.isExecutable()) {
                return PlanError{u"The tool “"_s + program + u"” was not found on this computer."_s};
            }
            resolved.executable = path;
        }

        const Result<OutputName, PlanError> name = splitOutput(step.output, fallbackBase, step.isFolder, k);
        if (!name.ok()) {
            return name.error();
        }
        if (last) {
            resolved.outputPath = m_reserver.unique(name.value().base, name.value().ext, outputFolder);
        } else {
            resolved.outputPath = m_tempDir + u"/step"_s + QString::number(k) + QLatin1Char('-')
                + QUuid::createUuid().toString(QUuid::WithoutBraces).left(6).toUpper()
                + (name.value().ext.isEmpty() ? QString() : QLatin1Char('.') + name.value().ext);
        }

        const Result<QStringList, PlanError> checked = checkArgs(step.args, program, k);
        if (!checked.ok()) {
            return checked.error();
        }

        bool readsInput = false;
        int outputs = 0;
        for (const QString& arg : checked.value()) {
            if (arg == inputPlaceholder) {
                // zip runs in the input's folder and gets the bare name; "./" keeps a name such as "-m"
                // from being read as an option.
                if (program == u"zip") {
                    resolved.args << (inputName.startsWith(u'-') ? u"./"_s + inputName : inputName);
                } else {
                    resolved.args << inputPath;
                }
                if (!resolved.inputs.contains(inputPath)) {
                    resolved.inputs << inputPath;
                }
                readsInput = true;
            } else if (arg == prevPlaceholder) {
                if (!prev) {
                    return fail(k, u" uses the result of an earlier step, but there is none."_s);
                }
                resolved.args << *prev;
                if (!resolved.inputs.contains(*prev)) {
                    resolved.inputs << *prev;
                }
                readsInput = true;
            } else if (arg == outputPlaceholder) {
                resolved.args << resolved.outputPath;
                ++outputs;
            } else {
                resolved.args << arg;
            }
        }
        if (outputs != 1) {
            return fail(k, u" must write exactly one output file."_s);
        }
        if (!readsInput) {
            return fail(k, u" does not read the chosen file."_s);
        }

        resolved.cwd = program == u"zip" ? inputFolder : m_tempDir;
        QStringList words{program};
        for (const QString& arg : std::as_const(resolved.args)) {
            words << Format::shellQuote(arg);
        }
        resolved.displayCommand = words.join(QLatin1Char(' '));
        if (program == u"zip") {
            resolved.displayCommand
                = u"cd "_s + Format::shellQuote(*resolved.cwd) + u" && "_s + resolved.displayCommand;
        }
        const QString summary = step.summary.trimmed();
        resolved.summary = summary.isEmpty() ? u"Runs "_s + program + u"."_s : summary;
        resolved.id = QUuid::createUuid();
        resolved.outputIsFolder = step.isFolder;
        resolved.isFinal = last;
        prev = resolved.outputPath;
        option.steps << resolved;
    }
    option.id = QUuid::createUuid();
    option.label = raw.label;
    option.summary = raw.summary.trimmed();
    option.warnings = raw.warnings;
    option.resultSeconds = raw.resultSeconds;
    option.tempDir = m_tempDir;
    option.raw = raw;
    return option;
}
