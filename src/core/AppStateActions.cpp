// Direct actions: the plans the application builds itself, put up for review like an AI plan.
#include "AppState.h"
#include "base/AppPaths.h"
#include "base/FFmpegTools.h"
#include "exec/NativeOps.h"
#include "files/Format.h"
#include "plans/NameText.h"
#include "plans/PlanFactory.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace {

QString fileName(const QString& path)
{
    return QFileInfo(path).fileName();
}

// The name without its last extension; a name whose only dot leads it has none.
QString baseName(const QString& path)
{
    const QString name = fileName(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}

// New files go beside the original, or to the application's own folder when that is not writable.
QString outputFolder(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    return QFileInfo(folder).isWritable() ? folder : AppPaths::fallbackOutputDir();
}

bool existsAt(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// "next to the original" for one file, "next to the originals" for several.
QString originals(qsizetype count)
{
    return count == 1 ? u"next to the original"_s : u"next to the originals"_s;
}

ResolvedStep nativeStep(const NativeJob& job, const QString& output, bool isFolder, const QString& summary,
                        const QString& displayCommand)
{
    ResolvedStep step;
    step.id = QUuid::createUuid();
    step.summary = summary;
    step.outputPath = output;
    step.outputIsFolder = isFolder;
    step.isFinal = true;
    step.native = job;
    step.displayCommand = displayCommand;
    return step;
}

ResolvedOption option(const QString& label, const QString& summary, const QStringList& warnings,
                      const QList<ResolvedStep>& steps, const std::optional<QString>& tempDir = std::nullopt)
{
    ResolvedOption result;
    result.id = QUuid::createUuid();
    result.label = label;
    result.summary = summary;
    result.warnings = warnings;
    result.steps = steps;
    result.tempDir = tempDir;
    return result;
}

// The endings Extract cuts off to name its folder, longest compound first.
QString archiveBase(const QString& name)
{
    const QString lower = name.toLower();
    for (const QString& ending : {u".tar.gz"_s, u".tar.bz2"_s, u".tar.xz"_s, u".tgz"_s, u".zip"_s, u".tar"_s}) {
        if (lower.endsWith(ending)) {
            return name.left(name.size() - ending.size());
        }
    }
    return name;
}

} // namespace

void AppState::perform(const FileAction& action)
{
    setMessage(std::nullopt);
    if (m_files.isEmpty()) {
        return;
    }
    setReview(std::nullopt);
    setOutcome(std::nullopt);

    static const QHash<QString, DialogKind> dialogs{
        {u"info"_s, DialogKind::info},
        {u"rename"_s, DialogKind::rename},
        {u"convertImage"_s, DialogKind::convertImage},
        {u"convertAudio"_s, DialogKind::convertAudio},
        {u"pdfExtract"_s, DialogKind::pdfExtract},
        {u"pdfMerge"_s, DialogKind::pdfMerge},
    };
    const QString& id = action.id;
    if (id == u"copyPath"_s) {
        m_services.workspace->copyText(m_files.join(u'\n'));
        setMessage(u"Path copied."_s);
    } else if (id == u"showInFinder"_s) {
        m_services.workspace->reveal(m_files);
    } else if (dialogs.contains(id)) {
        setDialog(dialogs.value(id));
    } else if (id == u"zip"_s) {
        prepareZip();
    } else if (id == u"extract"_s) {
        prepareExtract();
    } else if (id == u"pdfSmaller"_s) {
        preparePDFSmaller();
    } else if (id == u"pdfImages"_s) {
        preparePDFImages();
    } else if (action.style == ActionStyle::ai) {
        setCurrentAction(action);
        setRequestText({});
        setStage(Stage::asking);
    }
}

bool AppState::prepareCommands(const QString& rawLabel, const QList<QPair<QString, RawStep>>& steps,
                               const QString& label, const QString& summary, const QStringList& warnings)
{
    // One factory for the whole action, so that the outputs of several files get distinct names.
    PlanFactory factory;
    QList<ResolvedStep> resolved;
    for (const auto& [input, step] : steps) {
        RawOption raw;
        raw.label = rawLabel;
        raw.steps = {step};
        auto result = factory.resolve(raw, input, true);
        if (!result.ok()) {
            setMessage(result.error().message);
            return false;
        }
        resolved << result.value().steps;
    }
    putUnderReview(option(label, summary, warnings, resolved, factory.tempDir()));
    return true;
}

void AppState::putUnderReview(const ResolvedOption& option)
{
    setReview(ReviewState{{option}, 0, option.label, option.label, std::nullopt, false, false});
    setStage(Stage::review);
}

void AppState::prepareZip()
{
    QList<QPair<QString, RawStep>> steps;
    for (const QString& file : std::as_const(m_files)) {
        const bool folder = FileKinds::detect(file) == FileKind::folder;
        const QString name = fileName(file);
        steps.append({file,
                      RawStep{u"zip"_s,
                              {u"-r"_s, u"-q"_s, u"-y"_s, u"-X"_s, u"{output}"_s, u"{input}"_s},
                              (folder ? name : baseName(file)) + u".zip"_s,
                              u"Puts “"_s + name + u"” into a zip file."_s,
                              false}});
    }
    const qsizetype count = m_files.size();
    prepareCommands(u"Zip"_s, steps, u"Compress to .zip"_s,
                    u"Makes "_s + plural(count, u"zip file"_s) + u' ' + originals(count)
                        + u". The originals stay as they are."_s,
                    {});
}

void AppState::prepareExtract()
{
    if (m_files.isEmpty()) {
        return;
    }
    const QString file = m_files.first();
    const QString name = fileName(file);
    const QString summary = u"Unpacks “"_s + name + u"” into a new folder."_s;
    // tar archives go through the same safe unpacker as zip: no owners, no special bits, no devices, and
    // nothing outside the new folder.
    const RawStep step = name.toLower().endsWith(u".zip"_s)
        ? RawStep{u"ditto"_s, {u"-x"_s, u"-k"_s, u"{input}"_s, u"{output}"_s}, archiveBase(name), summary, true}
        : RawStep{u"ditto"_s, {u"-x"_s, u"{input}"_s, u"{output}"_s}, archiveBase(name), summary, true};
    prepareCommands(u"Extract"_s, {{file, step}}, u"Extract"_s,
                    u"Unpacks the archive into a new folder next to it. The archive stays as it is."_s, {});
}

void AppState::prepareConvertImage(const QString& format)
{
    setDialog(std::nullopt);
    static const QHash<QString, QPair<QString, QString>> sipsFormats{
        {u"jpg"_s, {u"jpeg"_s, u"JPEG"_s}},
        {u"png"_s, {u"png"_s, u"PNG"_s}},
        {u"heic"_s, {u"heic"_s, u"HEIC"_s}},
    };
    QList<QPair<QString, RawStep>> steps;
    for (const QString& file : std::as_const(m_files)) {
        const QString output = baseName(file) + u" (converted)."_s + format;
        if (sipsFormats.contains(format)) {
            const auto& [sipsName, shown] = sipsFormats.value(format);
            steps.append({file,
                          RawStep{u"sips"_s,
                                  {u"-s"_s, u"format"_s, sipsName, u"{input}"_s, u"-o"_s, u"{output}"_s},
                                  output,
                                  u"Converts “"_s + fileName(file) + u"” to "_s + shown + u'.',
                                  false}});
        } else {
            const QString shown = format == u"webp"_s ? u"WebP"_s : format.toUpper();
            steps.append({file,
                          RawStep{u"ffmpeg"_s,
                                  {u"-i"_s, u"{input}"_s, u"{output}"_s},
                                  output,
                                  u"Converts “"_s + fileName(file) + u"” to "_s + shown + u'.',
                                  false}});
        }
    }
    const qsizetype count = m_files.size();
    QStringList warnings;
    if (format == u"webp"_s && !m_toolsReady) {
        warnings << u"WebP uses ffmpeg, which is downloaded once the first time you press Run."_s;
    }
    prepareCommands(u"Convert"_s, steps, u"Convert to "_s + format,
                    u"Saves "_s + plural(count, u"new ."_s + format + u" picture"_s) + u' ' + originals(count)
                        + u". The originals stay as they are."_s,
                    warnings);
}

void AppState::prepareConvertAudio(const QString& format)
{
    setDialog(std::nullopt);
    QList<QPair<QString, RawStep>> steps;
    for (const QString& file : std::as_const(m_files)) {
        const QString name = fileName(file);
        const QString output = baseName(file) + u" (converted)."_s + format;
        RawStep step{u"afconvert"_s, {}, output, {}, false};
        if (format == u"m4a"_s) {
            step.args = {u"-f"_s, u"m4af"_s, u"-d"_s, u"aac"_s, u"-b"_s, u"192000"_s, u"{input}"_s, u"{output}"_s};
            step.summary = u"Converts “"_s + name + u"” to AAC in an .m4a file."_s;
        } else if (format == u"wav"_s) {
            step.args = {u"-f"_s, u"WAVE"_s, u"-d"_s, u"LEI16"_s, u"{input}"_s, u"{output}"_s};
            step.summary = u"Converts “"_s + name + u"” to a .wav file."_s;
        } else if (format == u"flac"_s) {
            step.args = {u"-f"_s, u"flac"_s, u"-d"_s, u"flac"_s, u"{input}"_s, u"{output}"_s};
            step.summary = u"Converts “"_s + name + u"” to a .flac file."_s;
        } else {
            step.program = u"ffmpeg"_s;
            step.args
                = {u"-i"_s, u"{input}"_s, u"-vn"_s, u"-codec:a"_s, u"libmp3lame"_s, u"-q:a"_s, u"2"_s, u"{output}"_s};
            step.summary = u"Converts “"_s + name + u"” to an ."_s + format + u" file."_s;
        }
        steps.append({file, step});
    }
    const qsizetype count = m_files.size();
    QStringList warnings;
    if (format == u"mp3"_s && !m_toolsReady) {
        warnings << u"MP3 uses ffmpeg, which is downloaded once the first time you press Run."_s;
    }
    prepareCommands(u"Convert"_s, steps, u"Convert to "_s + format,
                    u"Saves "_s + plural(count, u"new ."_s + format + u" file"_s) + u' ' + originals(count)
                        + u". The originals stay as they are."_s,
                    warnings);
}

void AppState::preparePDFSmaller()
{
    PlanFactory factory;
    QList<ResolvedStep> steps;
    for (const QString& file : std::as_const(m_files)) {
        const QString dest = factory.reserver().unique(baseName(file) + u" (smaller)"_s, u"pdf"_s, outputFolder(file));
        steps << nativeStep(
            NativeJobs::PdfShrink{file, dest}, dest, false, u"Saves a smaller copy of “"_s + fileName(file) + u"”."_s,
            u"(done inside Trellick with qpdf and libvips: pictures are stored at the size they are shown at; scanned "
            u"pages may be redrawn with MuPDF) → "_s
                + fileName(dest));
    }
    putUnderReview(option(u"Make smaller"_s,
                          u"Makes smaller copies of "_s + plural(m_files.size(), u"PDF"_s)
                              + u". The originals stay as they are."_s,
                          {u"Pictures inside lose some sharpness; text and drawings stay as they are."_s}, steps));
}

void AppState::preparePDFImages()
{
    PlanFactory factory;
    QList<ResolvedStep> steps;
    for (const QString& file : std::as_const(m_files)) {
        const QString dest = factory.reserver().unique(baseName(file) + u" (pages)"_s, {}, outputFolder(file));
        steps << nativeStep(NativeJobs::PdfImages{file, dest}, dest, true,
                            u"Saves each page of “"_s + fileName(file) + u"” as a PNG picture in a new folder."_s,
                            u"(done inside Trellick with MuPDF and libpng) → "_s + fileName(dest)
                                + u"/page-1.png, page-2.png, ..."_s);
    }
    putUnderReview(option(u"Pages to images"_s, u"Saves every page as a PNG picture in a new folder next to the PDF."_s,
                          {}, steps));
}

void AppState::preparePDFExtract(const QString& pagesText)
{
    if (m_files.isEmpty()) {
        return;
    }
    const QString file = m_files.first();
    // Counted by the helper that probed the file, so that no PDF reader runs in this process.
    const std::optional<int> pageCount = m_details ? m_details->facts.pages : std::nullopt;
    if (!pageCount && m_probing) {
        // Pressed before the count came in: answer once it has, rather than call the PDF unreadable.
        m_afterProbe = [this, pagesText] { preparePDFExtract(pagesText); };
        return;
    }
    if (!pageCount || *pageCount < 1) {
        setMessage(u"That PDF could not be opened."_s);
        return;
    }
    const auto pages = NativeOps::parsePages(pagesText, *pageCount);
    if (!pages) {
        setMessage(u"I could not read “"_s + pagesText + u"”. Use page numbers like 1-3, 5 (this PDF has "_s
                   + QString::number(*pageCount) + u" pages)."_s);
        return;
    }
    // The list as it goes into the file name: no spaces or tabs, and a long one cut after a whole item.
    QString t = pagesText.trimmed();
    t.remove(u' ');
    t.remove(u'\t');
    QString listed = t;
    constexpr qsizetype longestList = 24;
    if (listed.size() > longestList) {
        const qsizetype comma = listed.lastIndexOf(u',', longestList);
        listed = (comma > 0 ? listed.first(comma) : listed.first(longestList)) + u" and more"_s;
    }
    PlanFactory factory;
    const QString dest
        = factory.reserver().unique(baseName(file) + u" (pages "_s + listed + u')', u"pdf"_s, outputFolder(file));
    const ResolvedStep step = nativeStep(
        NativeJobs::PdfExtract{file, *pages, dest}, dest, false, u"Copies pages "_s + t + u" into a new PDF."_s,
        u"(done inside Trellick with qpdf) pages "_s + t + u" of "_s + fileName(file) + u" → "_s + fileName(dest));
    setDialog(std::nullopt);
    putUnderReview(option(u"Extract pages"_s,
                          u"Makes a new PDF with only pages "_s + t + u". The original stays as it is."_s, {}, {step}));
}

void AppState::preparePDFMerge(const QStringList& order)
{
    if (order.size() < 2) {
        setMessage(u"Pick at least two PDFs to merge."_s);
        return;
    }
    PlanFactory factory;
    const QString dest
        = factory.reserver().unique(baseName(order.first()) + u" (merged)"_s, u"pdf"_s, outputFolder(order.first()));
    QStringList names;
    for (const QString& pdf : order) {
        names << fileName(pdf);
    }
    const QString n = QString::number(order.size());
    const ResolvedStep step
        = nativeStep(NativeJobs::PdfMerge{order, dest}, dest, false, u"Joins "_s + n + u" PDFs in the order shown."_s,
                     u"(done inside Trellick with qpdf) "_s + names.join(u" + "_s) + u" → "_s + fileName(dest));
    setDialog(std::nullopt);
    putUnderReview(
        option(u"Merge"_s, u"Joins "_s + n + u" PDFs into one new PDF. The originals stay as they are."_s, {}, {step}));
}

void AppState::prepareRename(const QStringList& names, bool keepCopy)
{
    QList<ResolvedStep> steps;
    QSet<QString> targets; // lower-cased, so that two new names equal but for case are refused
    const qsizetype pairs = std::min(names.size(), m_files.size());
    for (qsizetype i = 0; i < pairs; ++i) {
        const QString& file = m_files[i];
        // Cleaned as plan output names are, so that the name shown is the name made.
        const QString t = NameText::withoutControls(names[i]).trimmed();
        if (t.isEmpty() || t.contains(u'/') || t.contains(u':') || t.startsWith(u'.')) {
            setMessage(u"“"_s + names[i]
                       + u"” is not a usable file name (no empty names, slashes, colons or leading dots)."_s);
            return;
        }
        if (QFile::encodeName(t).size() > 255) {
            setMessage(u"“"_s + t + u"” is too long for a file name. Shorten it and try again."_s);
            return;
        }
        if (t == fileName(file)) {
            setMessage(u"“"_s + t + u"” is already the name. Change it first."_s);
            return;
        }
        const QString target = QFileInfo(file).absolutePath() + u'/' + t;
        if (existsAt(target) || targets.contains(target.toLower())) {
            setMessage(u"A file named “"_s + t + u"” already exists there."_s);
            return;
        }
        targets.insert(target.toLower());
        const QString command
            = (keepCopy ? u"cp -R -n "_s : u"mv -n "_s) + Format::shellQuote(file) + u' ' + Format::shellQuote(target);
        const NativeJob job
            = keepCopy ? NativeJob(NativeJobs::Copy{file, target}) : NativeJob(NativeJobs::Move{file, target});
        const QString summary = keepCopy ? QString(u"Makes a copy called “"_s + t + u"”. The original stays."_s)
                                         : QString(u"Renames “"_s + fileName(file) + u"” to “"_s + t + u"”."_s);
        steps << nativeStep(job, target, false, summary, command);
    }
    if (steps.isEmpty()) {
        return;
    }
    setDialog(std::nullopt);
    putUnderReview(
        option(u"Rename"_s,
               keepCopy ? u"Saves a renamed copy; the original file is not changed."_s : u"Renames the file itself."_s,
               keepCopy ? QStringList() : QStringList{u"This changes the original file's name."_s}, steps));
}

QString AppState::infoCommand() const
{
    if (m_files.isEmpty()) {
        return {};
    }
    const QString path = Format::shellQuote(m_files.first());
    const std::optional<FFmpegPair> tools = FFmpegTools::chosen();
    if (tools && (m_kind == FileKind::video || m_kind == FileKind::audio)) {
        // The system's ffprobe is on PATH under its name; the program's own copy is named by its path.
        const QString ffprobe = tools->fromSystem ? u"ffprobe"_s : Format::shellQuote(tools->ffprobe);
        return ffprobe + u" -v error -show_format -show_streams -of json "_s + path;
    }
    // The desktop's own file-information command, present wherever GLib is.
    return u"gio info "_s + path;
}

void AppState::insertCurrentTime(const QString& role)
{
    if (!m_player) {
        return;
    }
    QString text = m_requestText;
    if (!text.isEmpty() && !text.endsWith(u' ')) {
        text += u' ';
    }
    setRequestText(text + role + u' ' + Format::time(m_player->position()) + u' ');
}
