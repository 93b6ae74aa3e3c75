#pragma once

#include "ProcResult.h"
#include "platform/Sandbox.h"

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <optional>

// One child process, driven by QProcess's signals on the thread that owns the job, so that no thread ever
// waits for it. Standard input is the null device; both outputs are read as they come, so a child that
// floods one never blocks, and each is kept up to a cap (standard output from its start, standard error
// to its end, where tools say what went wrong); the result says when either was cut. Every child is
// killed when the program ends, however it ends, so no tool outlives it. start() once;
// `finished` follows exactly once, never from inside start().
class ProcessJob : public QObject
{
    Q_OBJECT

public:
    // What each output keeps at most.
    static constexpr qsizetype defaultOutputCap = 8 * 1024 * 1024;
    // How long a child may take to end after SIGTERM before it is killed.
    static constexpr int terminateGraceMs = 3000;

    explicit ProcessJob(QObject* parent = nullptr);
    // A child still running is killed.
    ~ProcessJob() override;

    // Before start(): the working folder (the caller's when empty), the confinement, the time limit after
    // which the child is killed, and the cap of each output.
    void setWorkingDirectory(const QString& folder) { m_cwd = folder; }
    void setSandbox(const Sandbox& sandbox) { m_sandbox = sandbox; }
    void setDeadline(int milliseconds) { m_deadlineMs = milliseconds; }
    void setOutputCap(qsizetype bytes) { m_cap = bytes; }

    // Starts `program` (an absolute path) with `args`. A program that cannot start finishes with status -1
    // and the system's description in `err`; one that passes its deadline with status -1 and a sentence
    // saying so.
    void start(const QString& program, const QStringList& args);
    // SIGTERM, and SIGKILL if the child is still there after the grace period; it then finishes as the
    // child's end says. Harmless before the start and after the end.
    void cancel();

    // Runs `program` to its end in an event loop of its own and returns its result: for command-line
    // programs and tests only, never on a thread whose events must go on (the window's, the pool's).
    static ProcResult runBlocking(const QString& program, const QStringList& args, const QString& cwd = {},
                                  std::optional<int> deadlineMs = std::nullopt,
                                  const std::optional<Sandbox>& sandbox = std::nullopt);

signals:
    // Every piece of standard output as it arrives (kept in the result as well, up to the cap).
    void outputRead(const QByteArray& chunk);
    void finished(const ProcResult& result);

private:
    void readOutput();
    void readError();
    void onFinished(int exitCode);
    void onError(QProcess::ProcessError error);
    void finish(const ProcResult& result);

    QProcess m_process;
    QString m_cwd;
    std::optional<Sandbox> m_sandbox;
    std::optional<int> m_deadlineMs;
    qsizetype m_cap = defaultOutputCap;
    QTimer m_deadline;
    QTimer m_grace;
    QByteArray m_out;
    QByteArray m_err;
    bool m_cut = false;
    bool m_timedOut = false;
    bool m_started = false;
    bool m_done = false;
};
