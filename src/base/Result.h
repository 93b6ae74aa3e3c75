#pragma once

#include <optional>
#include <utility>
#include <variant>

// A value, or the error that stands in its place. The errors are small records carrying the one sentence
// the user is shown (PlanError, AIError, ToolError, RunError, NetError). Result<void, E> is for work that
// gives nothing back but may fail.
template <typename T, typename E>
class [[nodiscard]] Result
{
public:
    Result(T value)
        : m_state(std::in_place_index<0>, std::move(value))
    {
    }
    Result(E error)
        : m_state(std::in_place_index<1>, std::move(error))
    {
    }

    bool ok() const { return m_state.index() == 0; }
    const T& value() const { return std::get<0>(m_state); }
    T& value() { return std::get<0>(m_state); }
    const E& error() const { return std::get<1>(m_state); }

    bool operator==(const Result&) const = default;

private:
    std::variant<T, E> m_state;
};

template <typename E>
class [[nodiscard]] Result<void, E>
{
public:
    Result() = default;
    Result(E error)
        : m_error(std::move(error))
    {
    }

    bool ok() const { return !m_error; }
    const E& error() const { return *m_error; }

    bool operator==(const Result&) const = default;

private:
    std::optional<E> m_error;
};
