#pragma once

#include <QString>

// The one failure record of the AI path: its description is exactly `message`, shown as it is.
struct AIError
{
    QString message;

    bool operator==(const AIError&) const = default;
};
