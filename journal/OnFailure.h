// Runs an action only when its scope is left by an exception, so that a failed step leaves the journal
// window usable.
#pragma once

#include <exception>
#include <functional>
#include <utility>

class OnFailure {
public:
    explicit OnFailure(std::function<void()> action)
        : m_action(std::move(action)), m_exceptions(std::uncaught_exceptions())
    {
    }
    ~OnFailure()
    {
        if (std::uncaught_exceptions() <= m_exceptions)
            return;
        try {
            m_action();
        } catch (...) {
            // Already on the way out with the error the user is to see.
        }
    }
    OnFailure(const OnFailure &) = delete;
    OnFailure &operator=(const OnFailure &) = delete;

private:
    std::function<void()> m_action;
    int m_exceptions;
};
