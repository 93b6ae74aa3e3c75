#pragma once

#include <QtGlobal>
#include <functional>

// The one slot for the user's current background task (an AI request or a run).
//
// Starting a task cancels the one before it. A task's result is applied only while the task is still
// current, so a late answer of a cancelled or replaced task is dropped without touching any state.
class TaskSlot
{
public:
    using Id = quint64;

    // Cancels the current task and makes a new one current; `onCancel` is called if it is cancelled later.
    Id start(std::function<void()> onCancel = {});
    // Cancels the current task, if any, and leaves the slot empty.
    void cancel();
    // Empties the slot when `id` is the current task (it finished on its own); no cancel call.
    void finish(Id id);

    bool isCurrent(Id id) const;
    bool isEmpty() const;

private:
    Id m_current = 0;
    Id m_last = 0;
    std::function<void()> m_onCancel;
};
