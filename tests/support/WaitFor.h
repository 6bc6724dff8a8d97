#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace maroka::test {

// Polls `done` until it holds; false when `limit` passed first. Every wait a
// test makes on another thread or process is bounded, so that a fault shows
// as a failure rather than as a hang.
inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace maroka::test
