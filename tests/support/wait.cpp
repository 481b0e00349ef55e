#include "tests/support/wait.h"

#include <thread>

namespace q731::testing {

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

::testing::AssertionResult SettleAfter(ManualClock& clock, const std::function<void()>& poke,
                                       int sleepers) {
    if (!clock.WaitForSleepers(sleepers)) {
        return ::testing::AssertionFailure() << "fewer than " << sleepers << " sleepers";
    }
    // Counted while every worker sleeps: each poked one adds one sleep when it
    // is done, and none adds one before that.
    const std::uint64_t begun = clock.SleepsBegun();
    poke();
    if (!clock.WaitForSleepsBegun(begun + static_cast<std::uint64_t>(sleepers))) {
        return ::testing::AssertionFailure() << "a worker did not go back to sleep";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult AdvanceAndSettle(ManualClock& clock,
                                            std::chrono::steady_clock::duration step,
                                            int sleepers) {
    return SettleAfter(
        clock, [&] { clock.Advance(step); }, sleepers);
}

}  // namespace q731::testing
