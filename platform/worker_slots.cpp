#include "platform/worker_slots.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/log.h"

namespace q731 {

namespace {
std::atomic<int> gAbandoned{0};
}

struct WorkerSlots::Slot {
    StopEvent stop;
    WorkerArgs args;
    std::string name;
    Body body;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable ended;
    bool running = false;
};

WorkerSlots::WorkerSlots(void* mainWindow) : mainWindow_(mainWindow) {
    for (auto& slot : slots_) {
        slot = std::make_shared<Slot>();
        slot->args = {mainWindow_, &slot->stop};
    }
}

WorkerSlots::~WorkerSlots() {
    StopAll();
}

bool WorkerSlots::Start(int slotIndex, std::string name, Body body) {
    if (slotIndex < 0 || slotIndex >= kSlotCount || !body) return false;
    std::shared_ptr<Slot> slot = slots_[slotIndex];
    {
        std::lock_guard lock(slot->mutex);
        if (slot->running) return false;
        slot->running = true;
    }
    if (slot->thread.joinable()) slot->thread.join();
    slot->stop.Reset();
    slot->name = std::move(name);
    slot->body = std::move(body);
    // The thread holds its own reference to the slot: if it has to be abandoned
    // at exit, the event, arguments and body it uses stay valid.
    slot->thread = std::thread([slot] {
        slot->body(slot->args);
        LogInfo("worker '" + slot->name + "' ended");
        std::lock_guard lock(slot->mutex);
        slot->running = false;
        slot->ended.notify_all();
    });
    return true;
}

StopEvent* WorkerSlots::EventOf(int slot) {
    if (slot < 0 || slot >= kSlotCount) return nullptr;
    return &slots_[slot]->stop;
}

WorkerArgs WorkerSlots::ArgsOf(int slot) {
    if (slot < 0 || slot >= kSlotCount) return {};
    return slots_[slot]->args;
}

bool WorkerSlots::IsRunning(int slot) const {
    if (slot < 0 || slot >= kSlotCount) return false;
    std::lock_guard lock(slots_[slot]->mutex);
    return slots_[slot]->running;
}

WorkerSlots::ShutdownReport WorkerSlots::StopAll(Millis perWorker) {
    ShutdownReport report;
    for (auto& slot : slots_)
        slot->stop.Set();
    for (auto& slot : slots_) {
        if (!slot->thread.joinable()) continue;
        bool ended;
        {
            std::unique_lock lock(slot->mutex);
            ended = slot->ended.wait_for(lock, perWorker, [&] { return !slot->running; });
        }
        if (ended) {
            slot->thread.join();
            ++report.stopped;
        } else {
            LogError("worker '" + slot->name + "' did not stop within " +
                     std::to_string(perWorker.count()) + " ms; left running");
            slot->thread.detach();
            ++report.abandoned;
            gAbandoned.fetch_add(1);
        }
    }
    return report;
}

int WorkerSlots::AbandonedThreads() {
    return gAbandoned.load();
}

void RunWorkerLoop(const WorkerArgs& args, Clock& clock, const std::function<Millis()>& pass,
                   Millis firstWait) {
    if (!args.stopEvent) return;
    Millis wait = firstWait;
    while (!args.stopEvent->WaitFor(clock, wait)) {
        wait = pass();
    }
}

}  // namespace q731
