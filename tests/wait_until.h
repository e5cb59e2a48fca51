#pragma once

#include <chrono>
#include <thread>

namespace tolvane::testing {

// Checks `done` until it holds, for what another process leaves behind (a
// file, a line in a log) where no event tells when it has happened. The bound
// only guards against a hang: true as soon as `done` holds, false only after
// `hangGuardSeconds`.
template <typename Condition>
bool WaitUntil(Condition done, int hangGuardSeconds = 120) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(hangGuardSeconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace tolvane::testing
