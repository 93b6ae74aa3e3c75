#pragma once

#include "RunJob.h"

#include <QObject>
#include <QPointer>

// Carries out resolved plan options: command steps as child processes, in-process steps through NativeOps.
// The application keeps one runner; Stop calls cancel().
class ToolRunner : public QObject
{
    Q_OBJECT

public:
    explicit ToolRunner(QObject* parent = nullptr);

    // Starts `option` on the next turn of the event loop and returns the run; connect to its finished()
    // signal for the outcome. `fallbackDuration` is the input's duration in seconds when known; `progress`
    // is called on this object's thread.
    RunJob* run(const ResolvedOption& option, std::optional<double> fallbackDuration, RunJob::Progress progress);
    // Asks the run started last to stop. Harmless at any moment.
    void cancel();

    // Why a tool stopped, from its error output and exit status: one sentence for the user, and the kind
    // `alreadyExists` when the tool refused to replace a file; the output itself becomes the details.
    static RunError failure(const QString& errorText, int status);

private:
    QPointer<RunJob> m_current;
};
