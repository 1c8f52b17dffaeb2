#pragma once

#include <functional>

namespace ui {

// A list's change or click event. It runs at once, inside the assignment or the gesture that
// raised it, so that handlers nest as the lists move each other.
using ListEvent = std::function<void()>;

// Runs what a user's gesture on a list set going and returns whether it went through. The
// dialog installs one that shows failures, since no exception may leave a Qt slot.
using GestureRunner = std::function<bool(const std::function<void()>&)>;

inline void raiseEvent(const ListEvent& event)
{
    if (event)
        event();
}

// Runs `action` through `runner`; without a runner, or when the runner itself throws, a
// failure is dropped so that it cannot reach Qt's event loop.
inline bool runGesture(const GestureRunner& runner, const std::function<void()>& action) noexcept
{
    try {
        if (runner)
            return runner(action);
        action();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace ui
