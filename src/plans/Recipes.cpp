#include "Recipes.h"

#include "NameText.h"
#include "PageList.h"
#include "PlanFactory.h"
#include "files/FileKind.h"
#include "files/Format.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace {

// One target format of a conversion: the one table both the dialog and the plans read.
struct Conversion
{
    ActionId action;
    QString ext; // also the format's name in the dialog and the option's label
    QString target; // what the step summary converts to
    QString program;
    QStringList args;
    QString warning;
};

const QString ffmpegWarning = u" uses ffmpeg, which is downloaded once the first time you press Run."_s;

const QList<Conversion>& conversions()
{
    const auto sips = [](const QString& format) {
        return QStringList{u"-s"_s, u"format"_s, format, u"{input}"_s, u"-o"_s, u"{output}"_s};
    };
    const auto afconvert = [](const QStringList& options) {
        return options + QStringList{u"{input}"_s, u"{output}"_s};
    };
    static const QList<Conversion> table{
        {ActionId::convertImage, u"jpg"_s, u"JPEG"_s, u"sips"_s, sips(u"jpeg"_s), {}},
        {ActionId::convertImage, u"png"_s, u"PNG"_s, u"sips"_s, sips(u"png"_s), {}},
        {ActionId::convertImage, u"heic"_s, u"HEIC"_s, u"sips"_s, sips(u"heic"_s), {}},
        {ActionId::convertImage,
         u"webp"_s,
         u"WebP"_s,
         u"ffmpeg"_s,
         {u"-i"_s, u"{input}"_s, u"{output}"_s},
         u"WebP"_s + ffmpegWarning},
        {ActionId::convertAudio,
         u"m4a"_s,
         u"AAC in an .m4a file"_s,
         u"afconvert"_s,
         afconvert({u"-f"_s, u"m4af"_s, u"-d"_s, u"aac"_s, u"-b"_s, u"192000"_s}),
         {}},
        {ActionId::convertAudio,
         u"wav"_s,
         u"a .wav file"_s,
         u"afconvert"_s,
         afconvert({u"-f"_s, u"WAVE"_s, u"-d"_s, u"LEI16"_s}),
         {}},
        {ActionId::convertAudio,
         u"flac"_s,
         u"a .flac file"_s,
         u"afconvert"_s,
         afconvert({u"-f"_s, u"flac"_s, u"-d"_s, u"flac"_s}),
         {}},
        {ActionId::convertAudio,
         u"mp3"_s,
         u"an .mp3 file"_s,
         u"ffmpeg"_s,
         {u"-i"_s, u"{input}"_s, u"-vn"_s, u"-codec:a"_s, u"libmp3lame"_s, u"-q:a"_s, u"2"_s, u"{output}"_s},
         u"MP3"_s + ffmpegWarning},
    };
    return table;
}

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

// Command steps, each on its own input, checked like any plan. One factory for the whole action, so that
// the outputs of several files get distinct names.
Result<ResolvedOption, PlanError> commands(const QString& rawLabel, const QList<QPair<QString, RawStep>>& steps,
                                           const QString& label, const QString& summary, const QStringList& warnings)
{
    PlanFactory factory;
    QList<ResolvedStep> resolved;
    for (const auto& [input, step] : steps) {
        RawOption raw;
        raw.label = rawLabel;
        raw.steps = {step};
        auto result = factory.resolve(raw, input, true);
        if (!result.ok()) {
            return result.error();
        }
        resolved << result.value().steps;
    }
    return option(label, summary, warnings, resolved, factory.tempDir());
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

namespace Recipes {

QStringList formats(ActionId conversion)
{
    QStringList list;
    for (const Conversion& c : conversions()) {
        if (c.action == conversion) {
            list << c.ext;
        }
    }
    return list;
}

Result<ResolvedOption, PlanError> zip(const QStringList& files)
{
    QList<QPair<QString, RawStep>> steps;
    for (const QString& file : files) {
        const bool folder = FileKinds::detect(file) == FileKind::folder;
        const QString name = fileName(file);
        steps.append({file,
                      RawStep{u"zip"_s,
                              {u"-r"_s, u"-q"_s, u"-y"_s, u"-X"_s, u"{output}"_s, u"{input}"_s},
                              (folder ? name : baseName(file)) + u".zip"_s,
                              u"Puts “"_s + name + u"” into a zip file."_s,
                              false}});
    }
    const qsizetype count = files.size();
    return commands(u"Zip"_s, steps, u"Compress to .zip"_s,
                    u"Makes "_s + Format::plural(count, u"zip file"_s) + u' ' + originals(count)
                        + u". The originals stay as they are."_s,
                    {});
}

Result<ResolvedOption, PlanError> extract(const QString& archive)
{
    const QString name = fileName(archive);
    const QString summary = u"Unpacks “"_s + name + u"” into a new folder."_s;
    // tar archives go through the same safe unpacker as zip: no owners, no special bits, no devices, and
    // nothing outside the new folder.
    const RawStep step = name.toLower().endsWith(u".zip"_s)
        ? RawStep{u"ditto"_s, {u"-x"_s, u"-k"_s, u"{input}"_s, u"{output}"_s}, archiveBase(name), summary, true}
        : RawStep{u"ditto"_s, {u"-x"_s, u"{input}"_s, u"{output}"_s}, archiveBase(name), summary, true};
    return commands(u"Extract"_s, {{archive, step}}, u"Extract"_s,
                    u"Unpacks the archive into a new folder next to it. The archive stays as it is."_s, {});
}

Result<ResolvedOption, PlanError> convert(ActionId conversion, const QStringList& files, const QString& format,
                                          bool ffmpegReady)
{
    const auto& table = conversions();
    const auto it = std::find_if(table.begin(), table.end(),
                                 [&](const Conversion& c) { return c.action == conversion && c.ext == format; });
    if (it == table.end()) {
        return PlanError{u"“"_s + format + u"” is not a format I can convert to."_s};
    }
    QList<QPair<QString, RawStep>> steps;
    for (const QString& file : files) {
        steps.append({file,
                      RawStep{it->program, it->args, baseName(file) + u" (converted)."_s + format,
                              u"Converts “"_s + fileName(file) + u"” to "_s + it->target + u'.', false}});
    }
    const QString noun = conversion == ActionId::convertImage ? u" picture"_s : u" file"_s;
    const qsizetype count = files.size();
    return commands(u"Convert"_s, steps, u"Convert to "_s + format,
                    u"Saves "_s + Format::plural(count, u"new ."_s + format + noun) + u' ' + originals(count)
                        + u". The originals stay as they are."_s,
                    it->warning.isEmpty() || ffmpegReady ? QStringList() : QStringList{it->warning});
}

Result<ResolvedOption, PlanError> pdfSmaller(const QStringList& files)
{
    PlanFactory factory;
    QList<ResolvedStep> steps;
    for (const QString& file : files) {
        const QString dest
            = factory.reserver().unique(baseName(file) + u" (smaller)"_s, u"pdf"_s, PlanFactory::outputFolder(file));
        steps << nativeStep(
            NativeJobs::PdfShrink{file, dest}, dest, false, u"Saves a smaller copy of “"_s + fileName(file) + u"”."_s,
            u"(done inside Trellick with qpdf and libvips: pictures are stored at the size they are shown at; scanned "
            u"pages may be redrawn with MuPDF) → "_s
                + fileName(dest));
    }
    return option(u"Make smaller"_s,
                  u"Makes smaller copies of "_s + Format::plural(files.size(), u"PDF"_s)
                      + u". The originals stay as they are."_s,
                  {u"Pictures inside lose some sharpness; text and drawings stay as they are."_s}, steps);
}

Result<ResolvedOption, PlanError> pdfImages(const QStringList& files)
{
    PlanFactory factory;
    QList<ResolvedStep> steps;
    for (const QString& file : files) {
        const QString dest
            = factory.reserver().unique(baseName(file) + u" (pages)"_s, {}, PlanFactory::outputFolder(file));
        steps << nativeStep(NativeJobs::PdfImages{file, dest}, dest, true,
                            u"Saves each page of “"_s + fileName(file) + u"” as a PNG picture in a new folder."_s,
                            u"(done inside Trellick with MuPDF and libpng) → "_s + fileName(dest)
                                + u"/page-1.png, page-2.png, ..."_s);
    }
    return option(u"Pages to images"_s, u"Saves every page as a PNG picture in a new folder next to the PDF."_s, {},
                  steps);
}

Result<ResolvedOption, PlanError> pdfExtract(const QString& file, const QString& pagesText, int pageCount)
{
    if (pageCount < 1) {
        return PlanError{u"That PDF could not be opened."_s};
    }
    const std::optional<QList<int>> pages = PageList::parse(pagesText, pageCount);
    if (!pages) {
        return PlanError{u"I could not read “"_s + pagesText + u"”. Use page numbers like 1-3, 5 (this PDF has "_s
                         + QString::number(pageCount) + u" pages)."_s};
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
    const QString dest = factory.reserver().unique(baseName(file) + u" (pages "_s + listed + u')', u"pdf"_s,
                                                   PlanFactory::outputFolder(file));
    const ResolvedStep step = nativeStep(
        NativeJobs::PdfExtract{file, *pages, dest}, dest, false, u"Copies pages "_s + t + u" into a new PDF."_s,
        u"(done inside Trellick with qpdf) pages "_s + t + u" of "_s + fileName(file) + u" → "_s + fileName(dest));
    return option(u"Extract pages"_s, u"Makes a new PDF with only pages "_s + t + u". The original stays as it is."_s,
                  {}, {step});
}

Result<ResolvedOption, PlanError> pdfMerge(const QStringList& order)
{
    if (order.size() < 2) {
        return PlanError{u"Pick at least two PDFs to merge."_s};
    }
    PlanFactory factory;
    const QString dest = factory.reserver().unique(baseName(order.first()) + u" (merged)"_s, u"pdf"_s,
                                                   PlanFactory::outputFolder(order.first()));
    QStringList names;
    for (const QString& pdf : order) {
        names << fileName(pdf);
    }
    const QString n = QString::number(order.size());
    const ResolvedStep step
        = nativeStep(NativeJobs::PdfMerge{order, dest}, dest, false, u"Joins "_s + n + u" PDFs in the order shown."_s,
                     u"(done inside Trellick with qpdf) "_s + names.join(u" + "_s) + u" → "_s + fileName(dest));
    return option(u"Merge"_s, u"Joins "_s + n + u" PDFs into one new PDF. The originals stay as they are."_s, {},
                  {step});
}

Result<ResolvedOption, PlanError> rename(const QStringList& files, const QStringList& names, bool keepCopy)
{
    QList<ResolvedStep> steps;
    QSet<QString> targets; // lower-cased, so that two new names equal but for case are refused
    const qsizetype pairs = std::min(names.size(), files.size());
    for (qsizetype i = 0; i < pairs; ++i) {
        const QString& file = files[i];
        // Cleaned as plan output names are, so that the name shown is the name made.
        const QString t = NameText::withoutControls(names[i]).trimmed();
        if (t.isEmpty() || t.contains(u'/') || t.contains(u':') || t.startsWith(u'.')) {
            return PlanError{u"“"_s + names[i]
                             + u"” is not a usable file name (no empty names, slashes, colons or leading dots)."_s};
        }
        if (QFile::encodeName(t).size() > 255) {
            return PlanError{u"“"_s + t + u"” is too long for a file name. Shorten it and try again."_s};
        }
        if (t == fileName(file)) {
            return PlanError{u"“"_s + t + u"” is already the name. Change it first."_s};
        }
        const QString target = QFileInfo(file).absolutePath() + u'/' + t;
        if (existsAt(target) || targets.contains(target.toLower())) {
            return PlanError{u"A file named “"_s + t + u"” already exists there."_s};
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
        return PlanError{u"Type a new name first."_s};
    }
    return option(u"Rename"_s,
                  keepCopy ? u"Saves a renamed copy; the original file is not changed."_s
                           : u"Renames the file itself."_s,
                  keepCopy ? QStringList() : QStringList{u"This changes the original file's name."_s}, steps);
}

} // namespace Recipes
