#pragma once

#include "base/ErrorKind.h"

#include <QString>

// Why a run stopped, as one sentence for the user, with the tool's own words behind it.
struct RunError
{
    QString message;
    QString details; // raw tool output, shown on request
    ErrorKind kind = ErrorKind::failed;
    int step = -1; // the zero-based step that failed, when one did

    bool operator==(const RunError&) const = default;
};
