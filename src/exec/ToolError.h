#pragma once

#include <QMetaType>
#include <QString>

// Why installing the tools failed, as one sentence for the user; `cancelled` marks the user's own stop.
struct ToolError
{
    QString message;
    bool cancelled = false;

    static ToolError cancellation() { return {QStringLiteral("The download was cancelled."), true}; }

    bool operator==(const ToolError&) const = default;
};

Q_DECLARE_METATYPE(ToolError)
