#include "ToolRunner.h"

#include "ToolFailure.h"
#include "platform/SandboxPolicy.h"

#include <QTimer>

using namespace Qt::StringLiterals;

ToolRunner::ToolRunner(QObject* parent)
    : QObject(parent)
{
}

RunJob* ToolRunner::run(const ResolvedOption& option, std::optional<double> fallbackDuration, RunJob::Progress progress)
{
    auto* job = new RunJob(option, fallbackDuration, std::move(progress), this);
    m_current = job;
    // Started later so that the caller can connect to finished() even when the run ends at once.
    QTimer::singleShot(0, job, &RunJob::start);
    return job;
}

void ToolRunner::cancel()
{
    if (m_current) {
        m_current->cancel();
    }
}

RunError ToolRunner::failure(const QString& errorText, int status)
{
    return ToolFailure::describe(errorText, status, [] { return SandboxPolicy::fileSizeFloor; });
}
