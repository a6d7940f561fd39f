#pragma once

#include <exception>
#include <utility>

// Runs an action when the scope it guards is left by an exception, and only then: the undo of
// work that must not be left half done. Whatever the action itself throws is dropped, so that the
// exception already on its way goes on.
template <typename Action>
class UnwindGuard {
public:
    explicit UnwindGuard(Action onUnwind) : action(std::move(onUnwind)), exceptionsAtStart(std::uncaught_exceptions())
    {
    }

    ~UnwindGuard()
    {
        if (std::uncaught_exceptions() > exceptionsAtStart) {
            try {
                action();
            } catch (...) {
            }
        }
    }

    UnwindGuard(const UnwindGuard&) = delete;
    UnwindGuard& operator=(const UnwindGuard&) = delete;

private:
    Action action;
    int exceptionsAtStart;
};
