#include "platform/stop_event.h"

#include <algorithm>

namespace q731 {

void StopEvent::Set() {
    std::lock_guard lock(mutex_);
    set_.store(true, std::memory_order_release);
    for (Waker* waker : wakers_)
        waker->Poke();
}

void StopEvent::Reset() {
    set_.store(false, std::memory_order_release);
}

void StopEvent::Attach(Waker* waker) {
    std::lock_guard lock(mutex_);
    wakers_.push_back(waker);
}

void StopEvent::Detach(Waker* waker) {
    std::lock_guard lock(mutex_);
    std::erase(wakers_, waker);
}

bool StopEvent::WaitUntil(Clock& clock, SteadyTime deadline) {
    Waker waker;
    Attach(&waker);
    bool result = false;
    while (true) {
        if (IsSet()) {
            result = true;
            break;
        }
        if (clock.Now() >= deadline) break;
        clock.SleepUntil(waker, deadline);
    }
    Detach(&waker);
    return result;
}

bool StopEvent::WaitUntil(Clock& clock, SteadyTime deadline, Waker& also) {
    Attach(&also);
    bool stopped = false;
    while (true) {
        if (IsSet()) {
            stopped = true;
            break;
        }
        if (clock.Now() >= deadline) break;
        if (clock.SleepUntil(also, deadline)) {
            stopped = IsSet();
            break;
        }
    }
    Detach(&also);
    return stopped;
}

void StopEvent::Wait() {
    Waker waker;
    Attach(&waker);
    while (!IsSet())
        waker.Wait();
    Detach(&waker);
}

}  // namespace q731
