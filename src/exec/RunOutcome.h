#pragma once

#include <QMetaType>
#include <QStringList>

// What a run produced, and one sentence about it for the user.
struct RunOutcome
{
    QStringList outputs;
    bool ok = false;
    bool cancelled = false;
    QString summary;
    QString details; // raw tool output, shown on request

    bool operator==(const RunOutcome&) const = default;
};

Q_DECLARE_METATYPE(RunOutcome)
