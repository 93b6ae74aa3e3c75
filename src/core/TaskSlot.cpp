#include "TaskSlot.h"

#include <utility>

TaskSlot::Id TaskSlot::start(std::function<void()> onCancel)
{
    cancel();
    m_current = ++m_last;
    m_onCancel = std::move(onCancel);
    return m_current;
}

void TaskSlot::cancel()
{
    // Clear the slot before calling out: the cancel handler may start or finish tasks itself.
    auto onCancel = std::exchange(m_onCancel, {});
    m_current = 0;
    if (onCancel) {
        onCancel();
    }
}

void TaskSlot::finish(Id id)
{
    if (isCurrent(id)) {
        m_current = 0;
        m_onCancel = {};
    }
}

bool TaskSlot::isCurrent(Id id) const
{
    return id != 0 && id == m_current;
}

bool TaskSlot::isEmpty() const
{
    return m_current == 0;
}
