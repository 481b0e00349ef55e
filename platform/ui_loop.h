#pragma once
// The UI thread's work queue: calls posted or sent from any thread, and timers
// keyed by (owner, id). A GUI toolkit drives it through SetWakeHook, NextDeadline
// and ProcessPending; without one, Run() drives it alone.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

#include "platform/clock.h"

namespace q731 {

class UiLoop {
public:
    using Task = std::function<void()>;
    using TimerOwner = const void*;

    explicit UiLoop(Clock& clock = SteadyClock::Instance());
    ~UiLoop();
    UiLoop(const UiLoop&) = delete;
    UiLoop& operator=(const UiLoop&) = delete;

    Clock& GetClock() const { return clock_; }

    // The thread that calls this becomes the UI thread (the constructing thread
    // is until then).
    void BindToCurrentThread();
    bool IsUiThread() const;

    // Queues `task` for the UI thread. Never blocks. False once the loop has quit.
    bool Post(Task task);

    // Runs `task` on the UI thread and waits for it; runs it inline when called
    // on the UI thread. Fails at once (false) once shutdown has begun, and a
    // sender already waiting is released with false, so no worker blocked here
    // can hold up an exit.
    bool Send(const Task& task);

    // Send with a result: nullopt when the call did not run.
    template <typename F, typename R = std::invoke_result_t<F&>>
    requires(!std::is_void_v<R>) std::optional<R> SendFor(F&& fn) {
        std::optional<R> result;
        Send([&] { result.emplace(fn()); });
        return result;
    }

    // Timers. Setting an existing (owner, id) replaces it. Periodic timers fire
    // at most once per ProcessPending call however late they are.
    void SetTimer(TimerOwner owner, int id, Millis period, Task callback);
    void SetOneShotTimer(TimerOwner owner, int id, Millis delay, Task callback);
    bool KillTimer(TimerOwner owner, int id);
    void KillTimers(TimerOwner owner);
    bool HasTimer(TimerOwner owner, int id) const;

    // Runs queued calls and due timers once. Call on the UI thread.
    // Returns the number of calls and timer callbacks that ran.
    int ProcessPending();
    // Earliest timer deadline, if any timer is set.
    std::optional<SteadyTime> NextDeadline() const;

    // Called from any thread whenever new work is queued or the timer set changes,
    // so an outer event loop can schedule ProcessPending. Must not block.
    void SetWakeHook(std::function<void()> hook);

    // Drives the loop on the calling thread until Quit(): sleeps until work
    // arrives or the next timer is due on this loop's clock.
    void Run();
    void Quit();
    bool HasQuit() const { return quit_.load(); }

    // From now on Send fails fast and waiting senders are released. Posting and
    // timers keep working so that shutdown itself can use them.
    void BeginShutdown();
    bool ShuttingDown() const { return shuttingDown_.load(); }

private:
    struct SendState;
    struct Timer {
        SteadyTime deadline;
        Millis period;
        bool oneShot = false;
        std::uint64_t sequence = 0;
        std::shared_ptr<Task> callback;
    };
    using TimerKey = std::pair<TimerOwner, int>;

    void AddTimer(TimerOwner owner, int id, Millis period, bool oneShot, Task callback);
    void NotifyWork();
    int RunDueTimers();

    Clock& clock_;
    std::atomic<std::thread::id> uiThread_;
    mutable std::mutex mutex_;
    std::deque<Task> queue_;
    std::deque<std::shared_ptr<SendState>> pendingSends_;
    std::map<TimerKey, Timer> timers_;
    std::uint64_t nextSequence_ = 0;
    std::function<void()> wakeHook_;
    Waker waker_;
    std::atomic<bool> quit_{false};
    std::atomic<bool> shuttingDown_{false};
};

// Test helper: moves a manual clock forward to `target`, stopping at every timer
// deadline on the way and processing the loop there, so timers fire in order
// and as often as they would in real time.
void RunUntil(UiLoop& loop, ManualClock& clock, SteadyTime target);
inline void RunFor(UiLoop& loop, ManualClock& clock, std::chrono::steady_clock::duration span) {
    RunUntil(loop, clock, clock.Now() + span);
}

}  // namespace q731
