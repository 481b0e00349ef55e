#include "platform/ui_loop.h"

#include <algorithm>
#include <condition_variable>
#include <vector>

namespace q731 {

struct UiLoop::SendState {
    enum class Phase { Pending, Running, Done, Cancelled };
    std::mutex mutex;
    std::condition_variable cv;
    Phase phase = Phase::Pending;
};

UiLoop::UiLoop(Clock& clock) : clock_(clock), uiThread_(std::this_thread::get_id()) {}

UiLoop::~UiLoop() {
    BeginShutdown();
}

void UiLoop::BindToCurrentThread() {
    uiThread_.store(std::this_thread::get_id());
}

bool UiLoop::IsUiThread() const {
    return uiThread_.load() == std::this_thread::get_id();
}

void UiLoop::NotifyWork() {
    std::function<void()> hook;
    {
        std::lock_guard lock(mutex_);
        hook = wakeHook_;
    }
    waker_.Poke();
    if (hook) hook();
}

bool UiLoop::Post(Task task) {
    if (quit_.load()) return false;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(task));
    }
    NotifyWork();
    return true;
}

bool UiLoop::Send(const Task& task) {
    if (IsUiThread()) {
        task();
        return true;
    }
    if (shuttingDown_.load() || quit_.load()) return false;

    auto state = std::make_shared<SendState>();
    {
        std::lock_guard lock(mutex_);
        // Checked again under the lock: BeginShutdown cancels what is queued
        // under this same lock, so nothing slips in after it.
        if (shuttingDown_.load()) return false;
        pendingSends_.push_back(state);
        queue_.push_back([state, &task] {
            {
                std::lock_guard stateLock(state->mutex);
                if (state->phase != SendState::Phase::Pending) return;
                state->phase = SendState::Phase::Running;
            }
            task();
            std::lock_guard stateLock(state->mutex);
            state->phase = SendState::Phase::Done;
            state->cv.notify_all();
        });
    }
    NotifyWork();

    std::unique_lock stateLock(state->mutex);
    state->cv.wait(stateLock, [&] {
        return state->phase == SendState::Phase::Done ||
               state->phase == SendState::Phase::Cancelled;
    });
    return state->phase == SendState::Phase::Done;
}

void UiLoop::BeginShutdown() {
    std::deque<std::shared_ptr<SendState>> sends;
    {
        std::lock_guard lock(mutex_);
        shuttingDown_.store(true);
        sends.swap(pendingSends_);
    }
    for (auto& state : sends) {
        std::lock_guard stateLock(state->mutex);
        // A call already running on the UI thread finishes normally.
        if (state->phase == SendState::Phase::Pending) {
            state->phase = SendState::Phase::Cancelled;
            state->cv.notify_all();
        }
    }
}

void UiLoop::AddTimer(TimerOwner owner, int id, Millis period, bool oneShot, Task callback) {
    {
        std::lock_guard lock(mutex_);
        Timer timer;
        timer.deadline = clock_.Now() + period;
        timer.period = std::max(period, Millis(0));
        timer.oneShot = oneShot;
        timer.sequence = nextSequence_++;
        timer.callback = std::make_shared<Task>(std::move(callback));
        timers_[{owner, id}] = std::move(timer);
    }
    NotifyWork();
}

void UiLoop::SetTimer(TimerOwner owner, int id, Millis period, Task callback) {
    AddTimer(owner, id, period, false, std::move(callback));
}

void UiLoop::SetOneShotTimer(TimerOwner owner, int id, Millis delay, Task callback) {
    AddTimer(owner, id, delay, true, std::move(callback));
}

bool UiLoop::KillTimer(TimerOwner owner, int id) {
    std::lock_guard lock(mutex_);
    return timers_.erase({owner, id}) > 0;
}

void UiLoop::KillTimers(TimerOwner owner) {
    std::lock_guard lock(mutex_);
    std::erase_if(timers_, [owner](const auto& entry) { return entry.first.first == owner; });
}

bool UiLoop::HasTimer(TimerOwner owner, int id) const {
    std::lock_guard lock(mutex_);
    return timers_.contains({owner, id});
}

std::optional<SteadyTime> UiLoop::NextDeadline() const {
    std::lock_guard lock(mutex_);
    std::optional<SteadyTime> next;
    for (const auto& [key, timer] : timers_) {
        if (!next || timer.deadline < *next) next = timer.deadline;
    }
    return next;
}

void UiLoop::SetWakeHook(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    wakeHook_ = std::move(hook);
}

int UiLoop::RunDueTimers() {
    const SteadyTime now = clock_.Now();
    struct Due {
        TimerKey key;
        SteadyTime deadline;
        std::uint64_t sequence;
    };
    std::vector<Due> due;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [key, timer] : timers_) {
            if (timer.deadline <= now) due.push_back({key, timer.deadline, timer.sequence});
        }
    }
    std::sort(due.begin(), due.end(), [](const Due& a, const Due& b) {
        return a.deadline != b.deadline ? a.deadline < b.deadline : a.sequence < b.sequence;
    });

    int ran = 0;
    for (const Due& entry : due) {
        std::shared_ptr<Task> callback;
        {
            std::lock_guard lock(mutex_);
            auto it = timers_.find(entry.key);
            // An earlier callback may have killed or replaced this timer.
            if (it == timers_.end() || it->second.sequence != entry.sequence) continue;
            Timer& timer = it->second;
            callback = timer.callback;
            if (timer.oneShot) {
                timers_.erase(it);
            } else {
                timer.deadline += timer.period;
                // Far behind (a stalled loop): resume the cadence from now
                // instead of firing a burst of catch-up ticks.
                if (timer.deadline <= now) timer.deadline = now + timer.period;
                if (timer.period.count() == 0) timer.deadline = now + Millis(1);
            }
        }
        (*callback)();
        ++ran;
    }
    return ran;
}

int UiLoop::ProcessPending() {
    std::deque<Task> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(queue_);
        std::erase_if(pendingSends_, [](const std::shared_ptr<SendState>& state) {
            std::lock_guard stateLock(state->mutex);
            return state->phase != SendState::Phase::Pending;
        });
    }
    int ran = 0;
    for (Task& task : batch) {
        task();
        ++ran;
    }
    return ran + RunDueTimers();
}

void UiLoop::Run() {
    BindToCurrentThread();
    while (!quit_.load()) {
        ProcessPending();
        if (quit_.load()) break;
        bool queued;
        {
            std::lock_guard lock(mutex_);
            queued = !queue_.empty();
        }
        if (queued) continue;
        const auto next = NextDeadline();
        if (next) {
            clock_.SleepUntil(waker_, *next);
        } else {
            waker_.Wait();
        }
    }
    ProcessPending();
}

void UiLoop::Quit() {
    quit_.store(true);
    BeginShutdown();
    NotifyWork();
}

void RunUntil(UiLoop& loop, ManualClock& clock, SteadyTime target) {
    loop.ProcessPending();
    while (true) {
        const auto next = loop.NextDeadline();
        if (!next || *next > target) break;
        clock.SetTime(*next);
        loop.ProcessPending();
    }
    clock.SetTime(target);
    loop.ProcessPending();
}

}  // namespace q731
