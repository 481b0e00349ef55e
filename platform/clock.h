#pragma once
// Time sources. Everything that waits or schedules takes a Clock so that tests
// can drive time by hand (ManualClock) and get the same result on every run.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace q731 {

using SteadyTime = std::chrono::steady_clock::time_point;
using Millis = std::chrono::milliseconds;

// A one-shot wake-up flag that a sleeping thread waits on. Anyone holding it may
// Poke it; the sleeper consumes the poke. Shared so a poker never outlives it.
class Waker {
public:
    void Poke();
    // Waits until poked or until the steady deadline; returns true when poked
    // (and consumes the poke).
    bool WaitUntil(SteadyTime deadline);
    // Waits until poked; consumes the poke.
    void Wait();
    // Consumes a pending poke without waiting.
    bool TakePoke();

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool poked_ = false;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual SteadyTime Now() const = 0;
    // Sleeps until `waker` is poked or this clock reaches `deadline`. May return
    // early; callers re-check their own conditions. Returns true when poked.
    virtual bool SleepUntil(Waker& waker, SteadyTime deadline) = 0;
};

class SteadyClock final : public Clock {
public:
    SteadyTime Now() const override { return std::chrono::steady_clock::now(); }
    bool SleepUntil(Waker& waker, SteadyTime deadline) override {
        return waker.WaitUntil(deadline);
    }
    // The one real clock of the process.
    static SteadyClock& Instance();
};

// A clock that moves only when told to. Sleepers on it wake whenever it moves.
class ManualClock final : public Clock {
public:
    explicit ManualClock(SteadyTime start = SteadyTime{} + std::chrono::hours(1));

    SteadyTime Now() const override;
    bool SleepUntil(Waker& waker, SteadyTime deadline) override;

    void Advance(std::chrono::steady_clock::duration step);
    void SetTime(SteadyTime time);  // never moves backwards
    // Number of threads currently sleeping on this clock (lets tests wait until
    // a worker has reached its sleep before moving time).
    int SleeperCount() const;
    // Blocks (in real time, at most `timeout`) until at least `count` threads sleep here.
    bool WaitForSleepers(int count, Millis timeout = Millis(5000)) const;
    // Sleeps begun here so far. A worker that begins a new sleep after a change
    // has done all the change asked of it, so a test that waits for the count
    // to grow proves that nothing (more) happened without sleeping itself.
    std::uint64_t SleepsBegun() const;
    bool WaitForSleepsBegun(std::uint64_t count, Millis timeout = Millis(5000)) const;

private:
    void WakeAll();

    mutable std::mutex mutex_;
    mutable std::condition_variable sleepersChanged_;
    SteadyTime now_;
    std::vector<Waker*> sleepers_;
    std::uint64_t sleepsBegun_ = 0;
};

}  // namespace q731
