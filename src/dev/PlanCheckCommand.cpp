#include "DevCommands.h"
#include "PlanInput.h"

#include <QTextStream>

using namespace Qt::StringLiterals;

int devPlanCheck(const QStringList& args)
{
    int status = 0;
    const std::optional<PlanInput> plan = readPlanInput(args, u"plan-check"_s, status);
    if (!plan) {
        return status;
    }
    QTextStream out(stdout);
    for (qsizetype i = 0; i < plan->options.size(); ++i) {
        const ResolvedOption& option = plan->options[i];
        out << (i > 0 ? "\n" : "") << option.label << '\n' << option.commandText() << '\n';
        for (const QString& output : option.finalOutputs()) {
            out << "Output: " << output << '\n';
        }
    }
    return 0;
}
