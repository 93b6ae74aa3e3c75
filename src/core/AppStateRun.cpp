// The run flow: installing the tools when a plan needs them, running the chosen option, the history.
#include "AppState.h"
#include "base/AppPaths.h"
#include "base/FFmpegTools.h"
#include "exec/ResultCheck.h"
#include "plans/PlanFactory.h"

#include <QFileInfo>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

QDateTime inWholeSeconds(QDateTime time)
{
    time.setTime(QTime(time.time().hour(), time.time().minute(), time.time().second()));
    return time;
}

// The plan's ffmpeg and ffprobe steps pointed at the copy that will really run, whichever was there when
// the plan was checked.
ResolvedOption withTools(ResolvedOption option, const FFmpegPair& tools)
{
    for (ResolvedStep& step : option.steps) {
        if (step.needsFFmpeg && step.executable) {
            step.executable = tools.path(QFileInfo(*step.executable).fileName());
        }
    }
    return option;
}

} // namespace

void AppState::startRun()
{
    if (!m_review || m_review->selected < 0 || m_review->selected >= m_review->options.size()) {
        return;
    }
    const ResolvedOption option = m_review->options.at(m_review->selected);
    RunRecord record;
    record.review = *m_review;
    record.option = option;
    record.fallbackDuration = m_details ? m_details->facts.duration : std::nullopt;
    record.fileName = m_files.size() < 2 ? (m_files.isEmpty() ? QString() : QFileInfo(m_files.first()).fileName())
                                         : QString::number(m_files.size()) + u" files"_s;
    record.inputPath = m_files.isEmpty() ? QString() : m_files.first();
    // The run never checks for cancellation: only the runner's and the installer's own cancel stop it.
    record.task = m_task.start();

    const bool needsTools
        = std::any_of(option.steps.begin(), option.steps.end(), [](const ResolvedStep& s) { return s.needsFFmpeg; });
    if (!needsTools) {
        runOption(record);
        return;
    }
    if (FFmpegTools::needsCheck()) {
        setStage(Stage::running);
        setRunFraction(std::nullopt);
        setRunText(u"Starting..."_s);
    }
    whenToolsKnown([this, record]() mutable {
        if (const std::optional<FFmpegPair> tools = FFmpegTools::chosen()) {
            record.option = withTools(record.option, *tools);
            runOption(record);
            return;
        }
        setStage(Stage::installing);
        runInstall([this, record](const Result<void, ToolError>& installed) mutable {
            const std::optional<FFmpegPair> tools = FFmpegTools::chosen();
            if (installed.ok() && tools) {
                reprobe();
                record.option = withTools(record.option, *tools);
                runOption(record);
                return;
            }
            m_task.finish(record.task);
            if (!installed.ok() && installed.error().kind == ErrorKind::cancelled) {
                setStage(Stage::review);
                setMessage(u"The download was cancelled."_s);
                return;
            }
            setFailureBack(Stage::review);
            fail(u"ffmpeg could not be downloaded. "_s
                     + (installed.ok() ? u"The download failed."_s : installed.error().message),
                 {});
        });
    });
}

void AppState::runOption(const RunRecord& record)
{
    setStage(Stage::running);
    setRunFraction(std::nullopt);
    setRunText(u"Starting..."_s);
    QPointer<AppState> self(this);
    RunJob* job = m_runner->run(record.option, record.fallbackDuration,
                                [self](std::optional<double> fraction, const QString& text) {
                                    if (self) {
                                        self->setRunFraction(fraction);
                                        self->setRunText(text);
                                    }
                                });
    connect(job, &RunJob::finished, this, [this, record](const RunResult& run) {
        if (!run.ok()) {
            finishRun(record, run);
            return;
        }
        // A tool that exits well may still leave a broken file behind: "Done" waits for the check.
        setRunFraction(std::nullopt);
        setRunText(u"Checking the result..."_s);
        ResultCheck::check(record.option, run.value(), m_services.prober, this,
                           [this, record](const RunResult& checked) { finishRun(record, checked); });
    });
}

void AppState::finishRun(const RunRecord& record, const RunResult& run)
{
    m_task.finish(record.task);
    QString result;
    if (run.ok()) {
        setOutcome(run.value());
        setStage(Stage::finished);
        QStringList names;
        for (const CheckedOutput& output : run.value().checked) {
            const QString name = QFileInfo(output.path).fileName();
            names << (output.warning.isEmpty() ? name : name + u" ("_s + output.warning + u")"_s);
        }
        result = u"Done: "_s + names.join(u", "_s);
    } else if (run.error().kind == ErrorKind::cancelled) {
        // Files loaded or cleared meanwhile took the plan away; bring it back so that Run can be pressed again.
        if (!m_review) {
            setReview(record.review);
        }
        setStage(Stage::review);
        setMessage(run.error().message);
        result = u"Cancelled"_s;
    } else {
        setFailureBack(Stage::review);
        noteFailedRun(record.review, record.option, record.inputPath, run.error());
        fail(run.error().message, run.error().details);
        result = u"Failed: "_s + run.error().message;
    }
    m_history->add(HistoryEntry{QUuid::createUuid(), inWholeSeconds(m_services.now()), record.fileName,
                                record.inputPath, record.review.request, record.option.commandText(), result,
                                record.review.isAI ? record.option.raw : std::nullopt});
}

void AppState::runInstall(const std::function<void(const Result<void, ToolError>&)>& done)
{
    // An install already under way (from the settings window) is not started twice: this waits for it, and
    // its progress so far stays on show.
    if (!m_toolsInstalling) {
        setToolsInstalling(true);
        setInstallFraction(0);
        setInstallText(u"Starting..."_s);
    }
    connect(
        m_installer.get(), &ToolInstaller::finished, this,
        [this, done](const Result<void, ToolError>& installed) {
            setToolsReady(FFmpegTools::chosen().has_value());
            setToolsInstalling(false);
            done(installed);
        },
        Qt::SingleShotConnection);
    m_installer->install();
}

void AppState::whenToolsKnown(const std::function<void()>& then)
{
    if (!FFmpegTools::needsCheck()) {
        setToolsReady(FFmpegTools::chosen().has_value());
        then();
        return;
    }
    auto* check = new ToolCheck(this);
    connect(check, &ToolCheck::finished, this, [this, check, then] {
        check->deleteLater();
        setToolsReady(FFmpegTools::chosen().has_value());
        then();
    });
    check->start();
}

void AppState::installToolsNow()
{
    if (m_toolsInstalling) {
        return;
    }
    setToolsMessage({});
    runInstall([this](const Result<void, ToolError>& installed) {
        if (installed.ok()) {
            setToolsMessage(u"ffmpeg and ffprobe are installed."_s);
            reprobe();
        } else if (installed.error().kind == ErrorKind::cancelled) {
            setToolsMessage(u"Download cancelled."_s);
        } else {
            setToolsMessage(installed.error().message);
        }
    });
}

void AppState::removeTools()
{
    if (m_toolsInstalling) {
        return;
    }
    ToolInstaller::remove();
    // Removal ignores errors, so the check afterwards decides what the user is told.
    setToolsMessage(FFmpegTools::ownCopy() ? u"ffmpeg and ffprobe could not be removed."_s
                                           : u"ffmpeg and ffprobe were removed."_s);
    whenToolsKnown([] {});
}

void AppState::rerun(const HistoryEntry& entry)
{
    setDialog(std::nullopt);
    if (entry.inputPath.isEmpty() || !QFileInfo::exists(entry.inputPath)) {
        setMessage(u"The original file is no longer where it was."_s);
        return;
    }
    if (!entry.option) {
        setMessage(u"That entry can't be re-run because it was not made by the AI."_s);
        return;
    }
    load({entry.inputPath});
    // The AI's rules apply again, and the outputs get fresh names.
    auto resolved = PlanFactory().resolve(*entry.option, entry.inputPath, false);
    if (!resolved.ok()) {
        setMessage(resolved.error().message);
        return;
    }
    setReview(
        ReviewState{{resolved.value()}, 0, entry.request, u"Re-run"_s, std::nullopt, false, false, 0, std::nullopt});
    setStage(Stage::review);
}

void AppState::playResult()
{
    if (!m_outcome || m_outcome->outputs.isEmpty()) {
        return;
    }
    const QString first = m_outcome->outputs.first();
    if (FileKinds::detect(first) == FileKind::folder) {
        m_services.workspace->reveal({first});
    } else {
        m_services.workspace->open(first);
    }
}
