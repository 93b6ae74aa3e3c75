#include "ResultCheck.h"

#include "files/Format.h"

#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QPointer>
#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QString counted(qsizetype count, const QString& one, const QString& many)
{
    return QString::number(count) + u" "_s + (count == 1 ? one : many);
}

bool isMedia(FileKind kind)
{
    return kind == FileKind::video || kind == FileKind::audio;
}

// Only these kinds have a reader that can tell a sound file from a broken one.
bool isProbed(FileKind kind)
{
    return isMedia(kind) || kind == FileKind::image || kind == FileKind::pdf;
}

bool knowsNothing(const MediaFacts& facts)
{
    return !facts.duration && !facts.videoCodec && !facts.audioCodec && !facts.width && !facts.pages;
}

// What is wrong with a file of this kind that the reader could not read as expected, or nothing.
std::optional<QString> unreadable(FileKind kind, const MediaFacts& facts)
{
    switch (kind) {
    case FileKind::video:
        if (facts.videoCodec) {
            return std::nullopt;
        }
        return knowsNothing(facts) ? u"can't be read as a video."_s : u"has no video stream."_s;
    case FileKind::audio:
        if (facts.audioCodec) {
            return std::nullopt;
        }
        return knowsNothing(facts) ? u"can't be read as sound."_s : u"has no audio stream."_s;
    case FileKind::image:
        return facts.width && facts.height ? std::nullopt : std::optional(u"can't be read as a picture."_s);
    case FileKind::pdf:
        if (!facts.pages) {
            return u"can't be read as a PDF."_s;
        }
        return *facts.pages > 0 ? std::nullopt : std::optional(u"has no pages."_s);
    case FileKind::archive:
    case FileKind::folder:
    case FileKind::other:
        break;
    }
    return std::nullopt;
}

QString sizeFacts(qint64 bytes, const ExpectedOutput& expected)
{
    QString text = Format::size(bytes);
    if (expected.originalBytes && *expected.originalBytes > 0 && bytes < *expected.originalBytes) {
        const double saved = 100.0 * (1.0 - double(bytes) / double(*expected.originalBytes));
        text += u", "_s + QString::number(std::lround(saved)) + u" % smaller than the original"_s;
    }
    return text;
}

QString factsLine(FileKind kind, const MediaFacts& facts, qint64 bytes, const ExpectedOutput& expected)
{
    QStringList parts;
    if (isMedia(kind) && facts.duration) {
        parts << Format::time(*facts.duration);
    }
    if ((kind == FileKind::video || kind == FileKind::image) && facts.width && facts.height) {
        parts << QString::number(*facts.width) + u" × "_s + QString::number(*facts.height);
    }
    if (kind == FileKind::pdf && facts.pages) {
        parts << counted(*facts.pages, u"page"_s, u"pages"_s);
    }
    parts << sizeFacts(bytes, expected);
    return parts.join(u" · "_s);
}

QString warning(FileKind kind, const MediaFacts& facts, const ExpectedOutput& expected)
{
    // Stream-copy cuts land on key frames, so a few seconds either way are normal.
    if (isMedia(kind) && expected.seconds && facts.duration
        && std::abs(*facts.duration - *expected.seconds) > std::max(1.0, 0.05 * *expected.seconds)) {
        return u"Expected about "_s + Format::time(*expected.seconds) + u", got "_s + Format::time(*facts.duration)
            + u"."_s;
    }
    if (kind == FileKind::pdf && expected.pages && facts.pages && *facts.pages != *expected.pages) {
        return u"Expected "_s + counted(*expected.pages, u"page"_s, u"pages"_s) + u", got "_s
            + QString::number(*facts.pages) + u"."_s;
    }
    return {};
}

QString folderWarning(qsizetype count, const ExpectedOutput& expected)
{
    if (!expected.pages || count == *expected.pages) {
        return {};
    }
    return u"Expected "_s + counted(*expected.pages, u"picture"_s, u"pictures"_s) + u", got "_s + QString::number(count)
        + u"."_s;
}

QString quoted(const QString& path)
{
    return u"“"_s + QFileInfo(path).fileName() + u"”"_s;
}

// The one sentence for a bad new file: its name, then what is wrong with it.
QString fault(const QString& path, const QString& what)
{
    return quoted(path) + u" "_s + what;
}

// The check of one run, moved from file to file as each probe ends.
struct Check
{
    ResolvedOption option;
    RunOutcome outcome;
    ResultCheck::Prober prober;
    QPointer<QObject> context;
    std::function<void(const RunResult&)> done;
    qsizetype index = 0;
    // The page counts of the current output's `pagesOf`, as far as they are probed; none when unknown.
    QList<std::optional<int>> sourcePages;
};

// Probes `path` off the context's thread and hands the facts to `then` on it.
void probe(const std::shared_ptr<Check>& check, const QString& path, FileKind kind,
           const std::function<void(const MediaFacts&)>& then)
{
    auto* watcher = new QFutureWatcher<MediaFacts>(check->context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, check->context, [watcher, then] {
        watcher->deleteLater();
        const QFuture<MediaFacts> future = watcher->future();
        then(future.isValid() && future.resultCount() > 0 ? future.result() : MediaFacts{});
    });
    watcher->setFuture(check->prober(path, kind));
}

ExpectedOutput expectedOf(const Check& check, const QString& path)
{
    ExpectedOutput expected = ResultCheck::expected(check.option, path);
    if (!expected.pagesOf.isEmpty() && !check.sourcePages.contains(std::nullopt)) {
        expected.pages = 0;
        for (const std::optional<int>& pages : check.sourcePages) {
            *expected.pages += *pages;
        }
    }
    return expected;
}

void next(const std::shared_ptr<Check>& check);

void judged(const std::shared_ptr<Check>& check, const MediaFacts& facts)
{
    const QString path = check->outcome.outputs.at(check->index);
    const Result<CheckedOutput, QString> result = ResultCheck::judge(path, facts, expectedOf(*check, path));
    if (!result.ok()) {
        QStringList kept;
        for (const QString& other : check->outcome.outputs) {
            if (other != path) {
                kept << quoted(other);
            }
        }
        QString message = result.error();
        if (!kept.isEmpty()) {
            message += u" The other new files were kept: "_s + kept.join(u", "_s) + u"."_s;
        }
        check->done(RunError{message, {}});
        return;
    }
    check->outcome.checked << result.value();
    ++check->index;
    check->sourcePages.clear();
    next(check);
}

void next(const std::shared_ptr<Check>& check)
{
    if (!check->context) {
        return;
    }
    if (check->index >= check->outcome.outputs.size()) {
        check->done(check->outcome);
        return;
    }
    const QString path = check->outcome.outputs.at(check->index);
    const FileKind kind = FileKinds::detect(path);
    const QFileInfo info(path);
    const ExpectedOutput expected = ResultCheck::expected(check->option, path);
    if (check->sourcePages.size() < expected.pagesOf.size() && info.exists()) {
        probe(check, expected.pagesOf.at(check->sourcePages.size()), FileKind::pdf, [check](const MediaFacts& facts) {
            check->sourcePages << facts.pages;
            next(check);
        });
        return;
    }
    if (!isProbed(kind) || !info.isFile() || info.size() == 0 || expected.asIs) {
        judged(check, {});
        return;
    }
    probe(check, path, kind, [check](const MediaFacts& facts) { judged(check, facts); });
}

} // namespace

namespace ResultCheck {

ExpectedOutput expected(const ResolvedOption& option, const QString& output)
{
    ExpectedOutput expected;
    // The expected length is of "the result": it says nothing about which of several clips is which.
    const QStringList outputs = option.finalOutputs();
    const auto media = std::count_if(outputs.begin(), outputs.end(),
                                     [](const QString& path) { return isMedia(FileKinds::detect(path)); });
    if (media == 1 && isMedia(FileKinds::detect(output))) {
        expected.seconds = option.resultSeconds;
    }
    for (const ResolvedStep& step : option.steps) {
        if (step.outputPath != output || !step.native) {
            continue;
        }
        if (const auto* extract = std::get_if<NativeJobs::PdfExtract>(&*step.native)) {
            expected.pages = int(extract->pages.size());
        } else if (const auto* shrink = std::get_if<NativeJobs::PdfShrink>(&*step.native)) {
            expected.originalBytes = QFileInfo(shrink->src).size();
        } else if (const auto* merge = std::get_if<NativeJobs::PdfMerge>(&*step.native)) {
            expected.pagesOf = merge->sources;
        } else if (const auto* images = std::get_if<NativeJobs::PdfImages>(&*step.native)) {
            expected.pagesOf = {images->src};
        } else {
            expected.asIs = std::holds_alternative<NativeJobs::Copy>(*step.native)
                || std::holds_alternative<NativeJobs::Move>(*step.native);
        }
    }
    return expected;
}

Result<CheckedOutput, QString> judge(const QString& path, const MediaFacts& facts, const ExpectedOutput& expected)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        return fault(path, u"was not created."_s);
    }
    if (info.isDir()) {
        const qsizetype count
            = QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).size();
        if (count == 0) {
            return fault(path, u"is empty."_s);
        }
        return CheckedOutput{path, counted(count, u"item"_s, u"items"_s), folderWarning(count, expected)};
    }
    if (!info.isFile()) {
        return fault(path, u"is not a file."_s);
    }
    if (info.size() == 0) {
        return fault(path, u"is empty."_s);
    }
    const FileKind kind = expected.asIs ? FileKind::other : FileKinds::detect(path);
    if (const std::optional<QString> wrong = unreadable(kind, facts)) {
        return fault(path, *wrong);
    }
    return CheckedOutput{path, factsLine(kind, facts, info.size(), expected), warning(kind, facts, expected)};
}

void check(const ResolvedOption& option, const RunOutcome& outcome, const Prober& prober, QObject* context,
           const std::function<void(const RunResult&)>& done)
{
    auto run = std::make_shared<Check>(Check{option, outcome, prober, context, done, 0, {}});
    run->outcome.checked.clear();
    next(run);
}

} // namespace ResultCheck
