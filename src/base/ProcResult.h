#pragma once

#include <QString>

// The result of one child process: its termination status (-1 when it could not start or ran past its
// time limit) and both outputs.
struct ProcResult
{
    int status = 0;
    QString out;
    QString err;
    bool cut = false; // an output passed its cap, and what is kept of it was cut there

    bool operator==(const ProcResult&) const = default;
};
