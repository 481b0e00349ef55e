#pragma once
// Waiting for what other threads do. Presence is waited for in real time with
// a generous limit; absence is proved by the manual clock's hand-shake: a
// worker sleeping on it is poked (or the clock moved), and the test waits until
// the worker has begun its next sleep, so whatever it was going to do is done.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "platform/clock.h"

namespace q731::testing {

// Polls `done` until it holds, at most `limit` of real time.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(5));

// Waits until `sleepers` workers sleep on `clock`, runs `poke` (which wakes
// them: a Wake, a change they watch) and waits until each has gone back to
// sleep.
::testing::AssertionResult SettleAfter(ManualClock& clock, const std::function<void()>& poke,
                                       int sleepers = 1);
// The same with the clock moved on by `step` as the poke.
::testing::AssertionResult AdvanceAndSettle(ManualClock& clock,
                                            std::chrono::steady_clock::duration step,
                                            int sleepers = 1);

}  // namespace q731::testing
