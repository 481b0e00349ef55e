#pragma once
// The main window's fixed table of worker threads. Each slot has a manual-reset
// stop event and an argument record; a thread started in a slot waits on its
// event at the top of every pass and ends when it is set. Shutdown never kills
// a thread: one that does not end in time is logged and left detached, with its
// slot state kept alive until the process exits.

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/stop_event.h"

namespace q731 {

struct WorkerArgs {
    void* mainWindow = nullptr;
    StopEvent* stopEvent = nullptr;
};

class WorkerSlots {
public:
    static constexpr int kSlotCount = 20;
    static constexpr int kDeviceScanSlot = 0;
    static constexpr int kAudioWatchdogSlot = 1;
    static constexpr int kLightingSyncSlot = 8;

    using Body = std::function<void(const WorkerArgs&)>;

    explicit WorkerSlots(void* mainWindow = nullptr);
    ~WorkerSlots();
    WorkerSlots(const WorkerSlots&) = delete;
    WorkerSlots& operator=(const WorkerSlots&) = delete;

    // Starts `body` on a new thread in `slot`. The slot's event is reset before
    // the thread starts, so a stop issued right after Start is never lost.
    // Fails for a slot out of range or one whose thread is still running.
    bool Start(int slot, std::string name, Body body);

    StopEvent* EventOf(int slot);
    WorkerArgs ArgsOf(int slot);
    bool IsRunning(int slot) const;

    struct ShutdownReport {
        int stopped = 0;    // threads that ended and were joined
        int abandoned = 0;  // threads left running (detached)
    };
    // Signals every slot's event, then waits up to `perWorker` for each started
    // thread in slot order.
    ShutdownReport StopAll(Millis perWorker = Millis(1000));

    // Threads abandoned by any StopAll of the process.
    static int AbandonedThreads();

private:
    struct Slot;
    void* mainWindow_;
    std::array<std::shared_ptr<Slot>, kSlotCount> slots_;
};

// The common worker loop: waits on the stop event for `firstWait`, runs `pass`,
// waits for the interval `pass` returns, and so on until the event is set. Each
// wait uses `clock`, so a ManualClock paces the loop in tests.
void RunWorkerLoop(const WorkerArgs& args, Clock& clock, const std::function<Millis()>& pass,
                   Millis firstWait = Millis(1));

}  // namespace q731
