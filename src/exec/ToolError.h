#pragma once

#include "base/ErrorKind.h"

#include <QMetaType>
#include <QString>

// Why installing the tools failed, as one sentence for the user; the kind `cancelled` marks the user's own stop.
struct ToolError
{
    QString message;
    ErrorKind kind = ErrorKind::failed;

    static ToolError cancellation() { return {QStringLiteral("The download was cancelled."), ErrorKind::cancelled}; }

    bool operator==(const ToolError&) const = default;
};

Q_DECLARE_METATYPE(ToolError)
