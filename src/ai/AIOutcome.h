#pragma once

#include "AIError.h"

#include <variant>

// The calling task was cancelled: the work stopped and there is nothing to show.
struct AICancelled
{
    bool operator==(const AICancelled&) const = default;
};

// What an AI job ends with: its value, one sentence for the user, or a cancellation.
template <typename T>
using AIOutcome = std::variant<T, AIError, AICancelled>;
