#include "DevCommands.h"
#include "PlanInput.h"
#include "exec/ResultCheck.h"
#include "exec/RunFolders.h"
#include "exec/ToolRunner.h"
#include "files/FileKind.h"
#include "files/ProbeHelper.h"

#include <QDir>
#include <QEventLoop>
#include <QTextStream>

using namespace Qt::StringLiterals;

// Checks a model reply like plan-check, then runs its first option through the real runner and prints
// the progress lines, the outcome and the new files with their checked facts.
int devRunPlan(const QStringList& args)
{
    int status = 0;
    const std::optional<PlanInput> plan = readPlanInput(args, u"run-plan"_s, status);
    if (!plan) {
        return status;
    }
    QTextStream out(stdout);
    RunFolders::removeLeftovers(QDir::tempPath()); // as the application does when it starts
    const ResolvedOption& option = plan->options.first();
    out << option.label << '\n' << option.commandText() << '\n';
    out.flush();
    // The input's own duration measures progress when the plan gives none, as in the application.
    const std::optional<double> duration = ProbeHelper::probeNow(plan->input, FileKinds::detect(plan->input)).duration;

    ToolRunner runner;
    std::optional<RunResult> outcome;
    QEventLoop loop;
    RunJob* job = runner.run(option, duration, [&out](std::optional<double> fraction, const QString& line) {
        out << (fraction ? QString::number(*fraction * 100.0, 'f', 0) + u"% "_s : u"... "_s) << line << '\n';
        out.flush();
    });
    QObject::connect(job, &RunJob::finished, &loop, [&](const RunResult& result) {
        outcome = result;
        loop.quit();
    });
    loop.exec();
    if (outcome->ok()) {
        // The new files are checked as the application checks them before it says "Done".
        ResultCheck::check(option, outcome->value(), &ProbeHelper::probe, &loop, [&](const RunResult& checked) {
            outcome = checked;
            loop.quit();
        });
        loop.exec();
    }
    if (!outcome->ok()) {
        out << outcome->error().message << '\n';
        if (!outcome->error().details.trimmed().isEmpty()) {
            out << outcome->error().details.trimmed() << '\n';
        }
        return 1;
    }
    out << "Done.\n";
    printChecked(out, outcome->value());
    return 0;
}
