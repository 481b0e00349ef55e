#include "platform/clock.h"

#include <algorithm>

namespace q731 {

void Waker::Poke() {
    std::lock_guard lock(mutex_);
    poked_ = true;
    cv_.notify_all();
}

bool Waker::WaitUntil(SteadyTime deadline) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_until(lock, deadline, [this] { return poked_; })) return false;
    poked_ = false;
    return true;
}

void Waker::Wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return poked_; });
    poked_ = false;
}

bool Waker::TakePoke() {
    std::lock_guard lock(mutex_);
    const bool was = poked_;
    poked_ = false;
    return was;
}

SteadyClock& SteadyClock::Instance() {
    static SteadyClock clock;
    return clock;
}

ManualClock::ManualClock(SteadyTime start) : now_(start) {}

SteadyTime ManualClock::Now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

bool ManualClock::SleepUntil(Waker& waker, SteadyTime deadline) {
    {
        std::lock_guard lock(mutex_);
        if (now_ >= deadline) return false;
        sleepers_.push_back(&waker);
        ++sleepsBegun_;
        sleepersChanged_.notify_all();
    }
    // Registered before waiting, and pokes are sticky, so an Advance between
    // the check above and the wait below is never lost.
    waker.Wait();
    std::lock_guard lock(mutex_);
    std::erase(sleepers_, &waker);
    sleepersChanged_.notify_all();
    return now_ < deadline;
}

void ManualClock::Advance(std::chrono::steady_clock::duration step) {
    {
        std::lock_guard lock(mutex_);
        now_ += step;
    }
    WakeAll();
}

void ManualClock::SetTime(SteadyTime time) {
    {
        std::lock_guard lock(mutex_);
        now_ = std::max(now_, time);
    }
    WakeAll();
}

void ManualClock::WakeAll() {
    // Poking under our mutex keeps a sleeper from unregistering (and its waker
    // from going away) while we touch it.
    std::lock_guard lock(mutex_);
    for (Waker* waker : sleepers_)
        waker->Poke();
}

int ManualClock::SleeperCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(sleepers_.size());
}

bool ManualClock::WaitForSleepers(int count, Millis timeout) const {
    std::unique_lock lock(mutex_);
    return sleepersChanged_.wait_for(lock, timeout,
                                     [&] { return static_cast<int>(sleepers_.size()) >= count; });
}

std::uint64_t ManualClock::SleepsBegun() const {
    std::lock_guard lock(mutex_);
    return sleepsBegun_;
}

bool ManualClock::WaitForSleepsBegun(std::uint64_t count, Millis timeout) const {
    std::unique_lock lock(mutex_);
    return sleepersChanged_.wait_for(lock, timeout, [&] { return sleepsBegun_ >= count; });
}

}  // namespace q731
