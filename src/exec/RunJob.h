#pragma once

#include "LineSplitter.h"
#include "RunOutcome.h"
#include "plans/PlanError.h"
#include "plans/ResolvedOption.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

class ProcessJob;
class Sandbox;

// One run of a resolved option, step by step, on the thread that owns it (the interface thread): child
// processes are driven by their signals and in-process jobs run on the thread pool, so nothing here blocks.
// It emits finished() exactly once and deletes itself afterwards.
class RunJob : public QObject
{
    Q_OBJECT

public:
    // Receives the fraction done (absent while there is no measure) and the status line.
    using Progress = std::function<void(std::optional<double> fraction, const QString& status)>;

    // Quitting in the middle of a run stops the tool with the job, rather than leave it writing.
    RunJob(ResolvedOption option, std::optional<double> fallbackDuration, Progress progress, QObject* parent);

    void start();
    // Asks the run to stop: a running tool gets SIGTERM, and SIGKILL if it does not go; harmless before
    // the start and after the end.
    void cancel();

signals:
    void finished(const RunResult& result);

private:
    enum class Step { idle, process, native, done };

    void startStep();
    void startProcess(const ResolvedStep& step);
    void launch(const ResolvedStep& step, const Sandbox& sandbox);
    void startNative(const ResolvedStep& step);
    void readProgress(const QByteArray& chunk);
    void processEnded(int status, const QString& errorText);
    void nativeEnded(const Result<void, PlanError>& result);
    void stepSucceeded();
    void fail(const RunError& error);
    void failCancelled();
    void finish(const RunResult& result);
    void cleanupStep();
    QString statusLine() const;
    void report(std::optional<double> stepFraction);

    ResolvedOption m_option;
    std::optional<double> m_fallbackDuration;
    Progress m_progress;
    Step m_step = Step::idle;
    qsizetype m_index = 0;
    bool m_cancelled = false;
    bool m_ownsTempDir = false;
    bool m_madeOutputFolder = false;
    QPointer<ProcessJob> m_process;
    bool m_isFFmpeg = false;
    std::unique_ptr<LineSplitter> m_lines;
};
