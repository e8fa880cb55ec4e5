// Waiting, with patience, for what another thread or process does.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace brisvane::test_support {

// How long the tests wait for the program: generous, since only a broken program (or a very
// slow machine) takes this long, and a test that fails should fail rather than hang.
inline constexpr std::chrono::milliseconds kPatience{30'000};

// Checks `condition` every few milliseconds until it holds; false when `patience` runs out first.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds patience = kPatience) {
    const auto giveUp = std::chrono::steady_clock::now() + patience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= giveUp) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace brisvane::test_support
