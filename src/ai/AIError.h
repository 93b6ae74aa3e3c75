#pragma once

#include "base/ErrorKind.h"

#include <QString>

// The one failure record of the AI path: its description is exactly `message`, shown as it is. A
// cancelled job ends with the kind `cancelled` and nothing to show; a key the service refused has the
// kind `refused`.
struct AIError
{
    QString message;
    ErrorKind kind = ErrorKind::failed;

    static AIError cancellation() { return {QString(), ErrorKind::cancelled}; }

    bool operator==(const AIError&) const = default;
};
