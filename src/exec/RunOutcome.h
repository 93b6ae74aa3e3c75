#pragma once

#include "RunError.h"
#include "base/Result.h"

#include <QList>
#include <QMetaType>
#include <QStringList>

// One new file as the check after a run found it: its main facts in one line ("0:30 · 1280 × 720 · 4.2 MB"),
// and a warning when it differs from what the plan said.
struct CheckedOutput
{
    QString path;
    QString facts;
    QString warning;

    bool operator==(const CheckedOutput&) const = default;
};

// What a finished run produced; `checked` is filled in by the check of the result, in the order of `outputs`.
struct RunOutcome
{
    QStringList outputs;
    QList<CheckedOutput> checked;

    bool operator==(const RunOutcome&) const = default;
};

Q_DECLARE_METATYPE(RunOutcome)

// How a run ended: its outputs, or why it stopped.
using RunResult = Result<RunOutcome, RunError>;
