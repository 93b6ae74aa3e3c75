#pragma once

#include <QString>

// The result of one child process: its termination status (-1 when it could not start) and both outputs.
struct ProcResult
{
    int status = 0;
    QString out;
    QString err;

    bool operator==(const ProcResult&) const = default;
};
