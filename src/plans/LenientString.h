#pragma once

#include "JsonValue.h"

#include <QString>
#include <optional>

// One element of a step's "args": models write numbers and booleans there as often as strings.
struct LenientString
{
    QString value;

    // A string as is; an integer as its exact decimal text; another number as the shortest text that
    // reads back as the same double; a boolean as "true" or "false". Absent for null, arrays and
    // objects ("Not a simple value"), which fails the step.
    static std::optional<LenientString> decode(const JsonValue& json);
};
