#pragma once

#include "plans/ResolvedOption.h"

#include <QList>
#include <QStringList>
#include <optional>

// A model reply read from standard input and checked for one input file, as plan-check and run-plan
// take it: `--input FILE [--trusted]`.
struct PlanInput
{
    QString input;
    QList<ResolvedOption> options;
};

// Prints the usage or the refusal itself and sets `status` when nothing resolved.
std::optional<PlanInput> readPlanInput(const QStringList& args, const QString& command, int& status);
