// The time an action takes, for tests that show a stop or a teardown is prompt.
#pragma once

#include <chrono>

namespace testsupport
{

/// Milliseconds taken by `action`.
template <class Action> long long MillisecondsOf(Action&& action)
{
    const auto start = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

} // namespace testsupport
