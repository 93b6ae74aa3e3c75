#pragma once

#include "PlanError.h"

#include <utility>
#include <variant>

// Either a value or the PlanError that refused it.
template <typename T>
class PlanResult
{
public:
    PlanResult(T value)
        : m_state(std::move(value))
    {
    }
    PlanResult(PlanError error)
        : m_state(std::move(error))
    {
    }

    bool ok() const { return std::holds_alternative<T>(m_state); }
    const T& value() const { return std::get<T>(m_state); }
    T& value() { return std::get<T>(m_state); }
    const PlanError& error() const { return std::get<PlanError>(m_state); }

private:
    std::variant<T, PlanError> m_state;
};
