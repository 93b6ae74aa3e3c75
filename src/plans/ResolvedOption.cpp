#include "ResolvedOption.h"

QString ResolvedOption::commandText() const
{
    QStringList lines;
    for (const ResolvedStep& step : steps) {
        lines << step.displayCommand;
    }
    return lines.join(QLatin1Char('\n'));
}

QStringList ResolvedOption::finalOutputs() const
{
    QStringList outputs;
    for (const ResolvedStep& step : steps) {
        if (step.isFinal) {
            outputs << step.outputPath;
        }
    }
    return outputs;
}
