#pragma once

#include "RunError.h"
#include "base/Result.h"

#include <QMetaType>
#include <QStringList>

// What a finished run produced.
struct RunOutcome
{
    QStringList outputs;

    bool operator==(const RunOutcome&) const = default;
};

Q_DECLARE_METATYPE(RunOutcome)

// How a run ended: its outputs, or why it stopped.
using RunResult = Result<RunOutcome, RunError>;
