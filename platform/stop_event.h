#pragma once
// A manual-reset event that tells a worker thread to stop. Waiting on it is
// clock-aware so that workers paced by a ManualClock can be tested step by step.

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/clock.h"

namespace q731 {

class StopEvent {
public:
    void Set();
    void Reset();
    bool IsSet() const { return set_.load(std::memory_order_acquire); }

    // Waits until the event is set (true) or `clock` reaches `deadline` (false).
    bool WaitUntil(Clock& clock, SteadyTime deadline);
    bool WaitFor(Clock& clock, std::chrono::steady_clock::duration timeout) {
        return WaitUntil(clock, clock.Now() + timeout);
    }
    bool WaitFor(std::chrono::steady_clock::duration timeout) {
        return WaitFor(SteadyClock::Instance(), timeout);
    }
    // Waits until the event is set (true), `clock` reaches `deadline` or
    // `also` is poked (false; the poke is consumed).
    bool WaitUntil(Clock& clock, SteadyTime deadline, Waker& also);
    // Waits with no time-out.
    void Wait();

private:
    void Attach(Waker* waker);
    void Detach(Waker* waker);

    std::atomic<bool> set_{false};
    std::mutex mutex_;
    std::vector<Waker*> wakers_;
};

}  // namespace q731
