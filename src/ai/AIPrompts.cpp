#include "AIPrompts.h"

#include "base/FFmpegTools.h"
#include "files/Format.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

constexpr int errorLines = 40;

// Each path a step knows and the placeholder the plan wrote for it, the longest first, so that no path is
// replaced only in part.
QList<std::pair<QString, QString>> placeholders(const ResolvedOption& option, int step, const QString& input)
{
    QList<std::pair<QString, QString>> list{{option.steps.at(step).outputPath, u"{output}"_s}, {input, u"{input}"_s}};
    if (step > 0) {
        list.append({option.steps.at(step - 1).outputPath, u"{prev}"_s});
    }
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
    return list;
}

QString neutralCommand(const ResolvedOption& option, int step, const QString& input)
{
    const ResolvedStep& resolved = option.steps.at(step);
    const QList<std::pair<QString, QString>> paths = placeholders(option, step, input);
    const QString name = QFileInfo(input).fileName();
    QStringList words{QFileInfo(resolved.executable.value_or(QString())).fileName()};
    for (const QString& arg : resolved.args) {
        const auto path = std::find_if(paths.begin(), paths.end(), [&arg](const auto& p) { return p.first == arg; });
        if (path != paths.end()) {
            words << path->second;
        } else if (arg == name || arg == u"./"_s + name) { // zip runs beside the input and gets its bare name
            words << u"{input}"_s;
        } else {
            words << Format::shellQuote(arg);
        }
    }
    return words.join(u' ');
}

// The end of a tool's output with every known path put back as its placeholder, and any other mention of
// the input's folder, the scratch folder or the home folder taken out.
QString neutralTail(const QString& text, const ResolvedOption& option, int step, const QString& input)
{
    QStringList lines = text.trimmed().split(u'\n');
    if (lines.size() > errorLines) {
        lines = lines.mid(lines.size() - errorLines);
    }
    QString tail = lines.join(u'\n');
    for (const auto& [path, placeholder] : placeholders(option, step, input)) {
        tail.replace(path, placeholder);
    }
    QStringList folders{QFileInfo(input).absolutePath() + u'/', QDir::homePath() + u'/'};
    if (option.tempDir) {
        folders.prepend(*option.tempDir + u'/');
    }
    for (const QString& folder : folders) {
        tail.replace(folder, QString());
    }
    return tail;
}

// The ffmpeg the plan will run: the version and the software encoders of the copy in use, or of the build a
// download brings when none is there yet.
QString ffmpegRule()
{
    static const QStringList software{u"libx264"_s, u"libx265"_s,    u"libvpx-vp9"_s, u"libaom-av1"_s,
                                      u"aac"_s,     u"libmp3lame"_s, u"libopus"_s,    u"flac"_s};
    QStringList present = software;
    if (const std::optional<FFmpegPair> tools = FFmpegTools::chosen()) {
        if (const std::optional<QStringList> encoders = FFmpegTools::encoders(tools->ffmpeg)) {
            present.removeIf([&encoders](const QString& name) { return !encoders->contains(name); });
        }
    }
    const QString version = FFmpegTools::chosenVersion();
    return u"- This computer runs Linux with ffmpeg"_s + (version.isEmpty() ? QString() : u' ' + version)
        + u". Only software encoders are available: "_s + present.join(u", "_s)
        + u". There are no hardware encoders and no hardware acceleration."_s;
}

} // namespace

namespace AIPrompts {

QString planSystem()
{
    // The answer shape and, in plain words, the rules the plan checker enforces: a model that follows them is
    // accepted on the first try.
    return QStringList{
        uR"(You turn a user's plain-words request about ONE file on a Linux computer into command-line steps. Reply with JSON only, no prose, no code fences.)"_s,
        QString(),
        uR"(JSON shape:)"_s,
        uR"({"options":[{"label":"Fast","summary":"one plain sentence a non-technical person understands","warnings":["short plain warning"],"result_seconds":330,"steps":[{"program":"ffmpeg","args":["-ss","130","-i","{input}","-t","200","-c","copy","{output}"],"output":"name (cut).mp4","summary":"plain sentence for this step"}]}]})"_s,
        uR"(If the request cannot be done with the allowed tools, reply {"error":"short plain explanation"}.)"_s,
        QString(),
        uR"(Rules:)"_s,
        uR"(- program must be one of: ffmpeg, ffprobe, sips, afconvert, zip. Nothing else.)"_s,
        uR"(- args is an array of separate strings. It is never a shell line. No pipes, no redirects, no quotes around values.)"_s,
        uR"(- Write the input file as {input}. In a later step, the previous step's result is {prev}. The step's new file is {output}. Never write any real path, never use ~ or ..)"_s,
        uR"(- "output" is only a new file name with an extension, based on the original name plus a short label, like "holiday (cut).mp4". Never reuse the original name. Never write a folder.)"_s,
        uR"(- Never overwrite. Always give ffmpeg the -n option. The output goes last in ffmpeg and afconvert commands.)"_s,
        uR"(- sips edits in place unless you give -o {output}, so always use: sips ... {input} -o {output}. sips handles images only and cannot write webp.)"_s,
        uR"(- afconvert handles audio only and cannot write mp3. Use ffmpeg with libmp3lame for mp3.)"_s,
        uR"(- zip: zip -r -X {output} {input})"_s,
        uR"(- Use common encoders only: libx264, aac, libmp3lame, libvpx-vp9, libopus, libwebp, gif.)"_s,
        ffmpegRule(),
        uR"(- Trimming: use "-ss START -i {input} -t DURATION" with START and DURATION in seconds. Put -ss before -i. Without re-encoding (-c copy) the cut snaps to the nearest keyframe and may be about a second off. With re-encoding it is exact but slower.)"_s,
        uR"(- When trimming or cutting, give two options when it fits: label "Fast" (stream copy, no re-encode, may be slightly off) and label "Exact" (re-encode). For other requests one option is fine.)"_s,
        uR"(- Cutting out a middle part needs several steps (keep part 1, keep part 2, then join them): if you cannot do it with allowed arguments, use a single ffmpeg step with -filter_complex and trim/atrim and concat filters.)"_s,
        uR"(- Speed: video uses setpts=PTS/FACTOR and audio uses atempo (each atempo value must be between 0.5 and 2.0; chain them for more). Volume evening: loudnorm. Remove sound: -an. Audio only: -vn.)"_s,
        uR"(- result_seconds is the expected length in seconds of the finished result (used for a progress bar). Leave it out if unknown.)"_s,
        uR"(- warnings: honest short notes, for example "This re-encodes, so it takes longer" or "Cutting without re-encoding can be a second off".)"_s,
        uR"(- Use only facts you were given. Do not invent a duration.)"_s,
    }
        .join(u'\n');
}

QString renameSystem()
{
    static const QString text = QStringList{
        uR"(You suggest new file names. Reply with JSON only: {"names":["new name 1","new name 2"]}.)"_s,
        uR"(Give exactly one new name per file, in the same order as the list, each including its original extension. No folders, no slashes. Follow the user's request literally.)"_s,
    }.join(u'\n');
    return text;
}

QString user(const QString& request, const QString& task, const FileDetails& details)
{
    QStringList lines{u"Request: "_s + request};
    if (!task.isEmpty()) {
        lines.append(u"Kind of task: "_s + task);
    }
    lines.append(u"File name: "_s + details.name);
    lines.append(u"Extension: "_s + (details.ext.isEmpty() ? u"(none)"_s : details.ext));
    lines.append(u"Size: "_s + details.sizeText);
    lines.append(u"Kind: "_s + FileKinds::word(details.kind));
    const QList<FactLine> facts = details.facts.lines();
    if (!facts.isEmpty()) {
        lines.append(u"Facts:"_s);
        for (const FactLine& fact : facts) {
            lines.append(u"- "_s + fact.label + u": "_s + fact.value);
        }
    }
    return lines.join(u'\n');
}

QString fixUser(const QString& user, const ResolvedOption& option, const QString& input, int failedStep,
                const QString& errorText)
{
    QStringList lines{user, QString(), u"That plan was run on this computer and failed. The commands that ran:"_s};
    for (int i = 0; i < option.steps.size(); ++i) {
        lines.append(QString::number(i + 1) + u". "_s + neutralCommand(option, i, input));
    }
    // A step that ran but left a bad file has no step of its own: the last one wrote it.
    const int last = int(option.steps.size()) - 1;
    const int step = failedStep < 0 ? last : std::min(failedStep, last);
    lines.append(u"Step "_s + QString::number(step + 1) + u" failed. The last lines it printed:"_s);
    lines.append(neutralTail(errorText, option, step, input));
    lines.append(QString());
    lines.append(u"Answer with a corrected plan in the same JSON format. Change only what the error needs."_s);
    return lines.join(u'\n');
}

QString renameUser(const QString& request, const QStringList& files)
{
    QStringList lines{u"Request: "_s + request, u"Today's date: "_s + Format::today(), u"Files:"_s};
    for (qsizetype i = 0; i < files.size(); ++i) {
        lines.append(QString::number(i + 1) + u". "_s + QFileInfo(files[i]).fileName());
    }
    return lines.join(u'\n');
}

QString preview(const QString& provider, const QString& system, const QString& user)
{
    return u"Sent to: "_s + provider + u"\n\nInstructions (the same every time):\n"_s + system
        + u"\n\nYour message:\n"_s + user + u"\n\nThe file itself is never sent. Only the text above."_s;
}

} // namespace AIPrompts
