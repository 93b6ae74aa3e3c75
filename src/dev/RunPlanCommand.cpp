#include "DevCommands.h"
#include "PlanInput.h"
#include "exec/ToolRunner.h"
#include "files/FileKind.h"
#include "files/ProbeService.h"

#include <QEventLoop>
#include <QTextStream>

using namespace Qt::StringLiterals;

// Checks a model reply like plan-check, then runs its first option through the real runner and prints
// the progress lines, the outcome and the new files.
int devRunPlan(const QStringList& args)
{
    int status = 0;
    const std::optional<PlanInput> plan = readPlanInput(args, u"run-plan"_s, status);
    if (!plan) {
        return status;
    }
    QTextStream out(stdout);
    const ResolvedOption& option = plan->options.first();
    out << option.label << '\n' << option.commandText() << '\n';
    out.flush();
    // The input's own duration measures progress when the plan gives none, as in the application.
    const std::optional<double> duration = ProbeService::probeNow(plan->input, FileKinds::detect(plan->input)).duration;

    ToolRunner runner;
    RunOutcome outcome;
    QEventLoop loop;
    RunJob* job = runner.run(option, duration, [&out](std::optional<double> fraction, const QString& line) {
        out << (fraction ? QString::number(*fraction * 100.0, 'f', 0) + u"% "_s : u"... "_s) << line << '\n';
        out.flush();
    });
    QObject::connect(job, &RunJob::finished, &loop, [&](const RunOutcome& result) {
        outcome = result;
        loop.quit();
    });
    loop.exec();
    out << outcome.summary << '\n';
    if (!outcome.ok && !outcome.details.trimmed().isEmpty()) {
        out << outcome.details.trimmed() << '\n';
    }
    for (const QString& output : outcome.outputs) {
        out << "Output: " << output << '\n';
    }
    return outcome.ok ? 0 : 1;
}
