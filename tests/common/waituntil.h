#pragma once

#include <chrono>
#include <thread>

// Polls `condition` every 5 ms until it holds (true) or `limit` has passed (false).
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
