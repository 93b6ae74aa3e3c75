#include "RunJob.h"

#include "ExecLog.h"
#include "NativeOps.h"
#include "NoReplace.h"
#include "RunFolders.h"
#include "ToolFailure.h"
#include "base/ProcessJob.h"
#include "files/SingleFileFormats.h"
#include "plans/StepSandbox.h"
#include "platform/Sandbox.h"

#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent>
#include <cerrno>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QString cancelledText = u"Cancelled. Nothing was changed."_s;
const QString notCreatedText = u"The tool finished but did not create the new file."_s;

// lstat rather than QFileInfo::exists, so that a dangling symbolic link counts as taken.
bool pathTaken(const QString& path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// Only lines starting with these carry the position reached, in microseconds (both do, despite the name).
std::optional<double> progressMicroseconds(const QString& line, bool& isPositionLine)
{
    isPositionLine = line.startsWith(u"out_time_us="_s) || line.startsWith(u"out_time_ms="_s);
    if (!isPositionLine) {
        return std::nullopt;
    }
    const QStringList pieces = line.split(QLatin1Char('='), Qt::SkipEmptyParts);
    bool ok = false;
    const double value = pieces.isEmpty() ? 0.0 : pieces.last().toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

// `path` itself, or a path inside it, moved under `to`.
QString moved(const QString& path, const QString& from, const QString& to)
{
    if (path == from) {
        return to;
    }
    return path.startsWith(from + QLatin1Char('/')) ? to + path.mid(from.size()) : path;
}

// The step with every mention of the output `from` (arguments, inputs, the in-process job's target) put at `to`.
void moveOutput(ResolvedStep& step, const QString& from, const QString& to)
{
    step.outputPath = moved(step.outputPath, from, to);
    for (QString& arg : step.args) {
        arg = moved(arg, from, to);
    }
    for (QString& input : step.inputs) {
        input = moved(input, from, to);
    }
    if (!step.native) {
        return;
    }
    std::visit(
        [&](auto& job) {
            using Job = std::decay_t<decltype(job)>;
            if constexpr (std::is_same_v<Job, NativeJobs::PdfImages>) {
                job.src = moved(job.src, from, to);
                job.destDir = moved(job.destDir, from, to);
            } else if constexpr (std::is_same_v<Job, NativeJobs::PdfMerge>) {
                for (QString& source : job.sources) {
                    source = moved(source, from, to);
                }
                job.dest = moved(job.dest, from, to);
            } else if constexpr (std::is_same_v<Job, NativeJobs::Copy> || std::is_same_v<Job, NativeJobs::Move>) {
                job.from = moved(job.from, from, to);
                job.to = moved(job.to, from, to);
            } else {
                job.src = moved(job.src, from, to);
                job.dest = moved(job.dest, from, to);
            }
        },
        *step.native);
}

// The folders of a run, kept as its child.
RunFolders* foldersOf(const QObject* job)
{
    return job->findChild<RunFolders*>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

RunJob::RunJob(ResolvedOption option, std::optional<double> fallbackDuration, Progress progress, QObject* parent)
    : QObject(parent)
    , m_option(std::move(option))
    , m_fallbackDuration(fallbackDuration)
    , m_progress(std::move(progress))
{
}

void RunJob::start()
{
    if (m_step != Step::idle) {
        return;
    }
    // Only a scratch folder this run made itself is deleted at the end: a folder that was already there
    // (or a link planted under that name) is someone else's.
    auto* const folders = new RunFolders(m_option.tempDir.value_or(QString()), QDir::tempPath(), this);
    m_ownsTempDir = folders->ownsScratch();
    // Every output is written under its own name in the run's staging folder beside its final place,
    // and published from there once every step has succeeded. Outputs in the scratch folder stay there.
    // A move is not staged: it is one rename, or a copy that removes its own part on failure, and staging
    // it would put the user's only copy in a folder that a failure deletes.
    const QString scratch = m_option.tempDir.value_or(QString());
    const QList<ResolvedStep> planned = m_option.steps;
    for (const ResolvedStep& step : planned) {
        const bool isMove = step.native && std::holds_alternative<NativeJobs::Move>(*step.native);
        if (isMove || (!scratch.isEmpty() && step.outputPath.startsWith(scratch + QLatin1Char('/')))) {
            continue;
        }
        const Result<QString, PlanError> staged = folders->stage(step.outputPath);
        if (!staged.ok()) {
            fail({u"The new file could not be written in “"_s + QFileInfo(step.outputPath).absoluteDir().dirName()
                      + u"”."_s,
                  staged.error().message});
            return;
        }
        for (ResolvedStep& later : m_option.steps) {
            moveOutput(later, step.outputPath, staged.value());
        }
    }
    startStep();
}

void RunJob::cancel()
{
    m_cancelled = true;
    if (m_process) {
        m_process->cancel();
    }
}

QString RunJob::statusLine() const
{
    const ResolvedStep& step = m_option.steps.at(m_index);
    if (m_option.steps.size() < 2) {
        return step.summary;
    }
    return u"Step "_s + QString::number(m_index + 1) + u" of "_s + QString::number(m_option.steps.size()) + u": "_s
        + step.summary;
}

void RunJob::report(std::optional<double> stepFraction)
{
    if (!m_progress) {
        return;
    }
    const double total = double(m_option.steps.size());
    if (stepFraction) {
        m_progress((*stepFraction + double(m_index)) / total, statusLine());
    } else {
        m_progress(std::nullopt, statusLine());
    }
}

void RunJob::startStep()
{
    if (m_index >= m_option.steps.size()) {
        // Every step succeeded: the results go to their names, never replacing a file that appeared there.
        const RunFolders* const folders = foldersOf(this);
        QStringList outputs;
        for (const QString& staged : m_option.finalOutputs()) {
            const QString finalPath = folders->finalPathOf(staged);
            const Result<QString, PlanError> published
                = staged == finalPath ? Result<QString, PlanError>(staged) : RunFolders::publish(staged, finalPath);
            if (!published.ok()) {
                fail({u"The new file could not be put in its place."_s, published.error().message});
                return;
            }
            outputs << published.value();
        }
        if (m_progress) {
            m_progress(1.0, u"Done"_s);
        }
        finish(RunOutcome{outputs, {}});
        return;
    }
    if (m_cancelled) {
        failCancelled();
        return;
    }
    const ResolvedStep& step = m_option.steps.at(m_index);
    const QString finalPath = foldersOf(this)->finalPathOf(step.outputPath);
    m_madeOutputFolder = false;
    report(0.0);
    if (pathTaken(finalPath) || pathTaken(step.outputPath)) {
        fail({u"A file named “"_s + QFileInfo(finalPath).fileName()
                  + u"” already exists, so nothing was written. Plan the action again to get a fresh name."_s,
              {},
              ErrorKind::alreadyExists});
        return;
    }
    if (step.outputIsFolder) {
        if (::mkdir(QFile::encodeName(step.outputPath).constData(), 0755) != 0) {
            fail({u"Could not create the output folder."_s, qt_error_string(errno)});
            return;
        }
        m_madeOutputFolder = true;
    }
    if (step.native) {
        startNative(step);
    } else {
        startProcess(step);
    }
}

void RunJob::startProcess(const ResolvedStep& step)
{
    m_step = Step::process;
    if (!step.executable) {
        processEnded(-1, u"No program to run."_s);
        return;
    }
    // Every tool starts confined to what its step needs. The confinement is prepared on the thread pool:
    // sizing an input folder and opening the paths of the rules read the disk, which may be slow.
    using Prepared = std::shared_ptr<const Sandbox>;
    auto* watcher = new QFutureWatcher<Prepared>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        launch(m_option.steps.at(m_index), *watcher->result());
    });
    const QString staging = foldersOf(this)->stagingOf(step.outputPath);
    watcher->setFuture(QtConcurrent::run([option = m_option, step, staging]() -> Prepared {
        return std::make_shared<const Sandbox>(StepSandbox::policy(option, step, staging));
    }));
}

void RunJob::launch(const ResolvedStep& step, const Sandbox& sandbox)
{
    if (m_cancelled) {
        processEnded(-2, u"Cancelled"_s);
        return;
    }
    const QString tool = QFileInfo(*step.executable).fileName();
    m_isFFmpeg = tool == u"ffmpeg"_s;
    QStringList args;
    for (const QString& arg : step.args) {
        // Every input is read as a medium of one file, never as a list of others (the checker makes sure
        // that every -i is an input option followed by the chosen file).
        if (arg == u"-i"_s && (m_isFFmpeg || tool == u"ffprobe"_s)) {
            args << u"-format_whitelist"_s << QString::fromLatin1(singleFileFormats);
        }
        args << arg;
    }
    if (m_isFFmpeg) {
        args = QStringList{u"-progress"_s, u"pipe:1"_s, u"-nostats"_s} + args;
    }
    m_lines = std::make_unique<LineSplitter>();

    auto* process = new ProcessJob(this);
    m_process = process;
    if (step.cwd) {
        process->setWorkingDirectory(*step.cwd);
    }
    process->setSandbox(sandbox);
    connect(process, &ProcessJob::outputRead, this, &RunJob::readProgress);
    connect(process, &ProcessJob::finished, this, [this, process](const ProcResult& result) {
        process->deleteLater();
        // Without a deadline, -1 only says that the tool could not start.
        processEnded(result.status, result.status == -1 ? u"Could not start the tool: "_s + result.err : result.err);
    });
    process->start(*step.executable, args);
}

void RunJob::readProgress(const QByteArray& chunk)
{
    if (!m_isFFmpeg) {
        return;
    }
    const std::optional<double> totalSeconds = m_option.resultSeconds ? m_option.resultSeconds : m_fallbackDuration;
    for (const QString& line : m_lines->feed(chunk)) {
        bool isPositionLine = false;
        const std::optional<double> micro = progressMicroseconds(line, isPositionLine);
        if (!isPositionLine) {
            continue;
        }
        if (!micro || !totalSeconds || *totalSeconds <= 0) {
            report(std::nullopt);
        } else {
            report(std::clamp(*micro / 1e6 / *totalSeconds, 0.0, 1.0));
        }
    }
}

void RunJob::processEnded(int status, const QString& errorText)
{
    m_step = Step::idle;
    m_process = nullptr;
    if (m_cancelled) {
        cleanupStep();
        failCancelled();
        return;
    }
    if (status != 0) {
        // The limit is worked out again only when it is what stopped the tool.
        const RunError error = ToolFailure::describe(errorText, status, [this] {
            const ResolvedStep& step = m_option.steps.at(m_index);
            return StepSandbox::policy(m_option, step, foldersOf(this)->stagingOf(step.outputPath)).fileSizeLimit;
        });
        // When the tool says the file was already there, that file is not ours to delete.
        if (error.kind != ErrorKind::alreadyExists) {
            cleanupStep();
        }
        fail(error);
        return;
    }
    stepSucceeded();
}

void RunJob::startNative(const ResolvedStep& step)
{
    m_step = Step::native;
    auto* watcher = new QFutureWatcher<Result<void, PlanError>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        nativeEnded(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([job = *step.native] { return NativeOps::run(job); }));
}

void RunJob::nativeEnded(const Result<void, PlanError>& result)
{
    m_step = Step::idle;
    if (!result.ok()) {
        // The job itself removes any file it began; a folder made for it here goes too.
        cleanupStep();
        const QString& message = result.error().message;
        fail({message == NoReplace::diskFullText ? message : u"That did not work: "_s + message, message});
        return;
    }
    stepSucceeded();
}

void RunJob::stepSucceeded()
{
    if (!pathTaken(m_option.steps.at(m_index).outputPath)) {
        fail({notCreatedText, {}});
        return;
    }
    ++m_index;
    startStep();
}

void RunJob::cleanupStep()
{
    // Only what this step made: a folder made here, or a tool's file. An in-process job removes its own.
    const ResolvedStep& step = m_option.steps.at(m_index);
    if (step.outputIsFolder) {
        if (m_madeOutputFolder && !NoReplace::removeTree(step.outputPath)) {
            qCDebug(lcExec, "could not remove all of %s", qUtf8Printable(step.outputPath));
        }
    } else if (!step.native && !QFile::remove(step.outputPath) && QFileInfo::exists(step.outputPath)) {
        qCDebug(lcExec, "could not remove %s", qUtf8Printable(step.outputPath));
    }
}

void RunJob::fail(const RunError& error)
{
    RunError failed = error;
    failed.step = int(m_index);
    finish(failed);
}

void RunJob::failCancelled()
{
    finish(RunError{cancelledText, {}, ErrorKind::cancelled});
}

void RunJob::finish(const RunResult& result)
{
    m_step = Step::done;
    if (RunFolders* const folders = foldersOf(this)) {
        folders->removeAll();
    }
    if (m_ownsTempDir && !NoReplace::removeTree(*m_option.tempDir)) {
        qCDebug(lcExec, "could not remove all of %s", qUtf8Printable(*m_option.tempDir));
    }
    emit finished(result);
    deleteLater();
}
