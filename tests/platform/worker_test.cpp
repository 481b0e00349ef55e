#include "platform/worker_slots.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/log.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

TEST(WorkerSlots, WorkersHonouringTheirEventAreJoined) {
    WorkerSlots slots;
    std::atomic<int> passes{0};
    auto body = [&](const WorkerArgs& args) {
        RunWorkerLoop(args, SteadyClock::Instance(), [&] {
            ++passes;
            return Millis(1);
        });
    };
    ASSERT_TRUE(slots.Start(WorkerSlots::kDeviceScanSlot, "scan", body));
    ASSERT_TRUE(slots.Start(WorkerSlots::kLightingSyncSlot, "sync", body));
    EXPECT_FALSE(slots.Start(WorkerSlots::kDeviceScanSlot, "again", body)) << "slot busy";
    EXPECT_FALSE(slots.Start(20, "out of range", body));
    EXPECT_FALSE(slots.Start(-1, "out of range", body));
    while (passes < 10)
        std::this_thread::sleep_for(1ms);
    const auto report = slots.StopAll();
    EXPECT_EQ(report.stopped, 2);
    EXPECT_EQ(report.abandoned, 0);
    EXPECT_FALSE(slots.IsRunning(WorkerSlots::kDeviceScanSlot));
}

TEST(WorkerSlots, StopIssuedBeforeTheThreadRunsIsNotLost) {
    for (int round = 0; round < 50; ++round) {
        WorkerSlots slots;
        ASSERT_TRUE(slots.Start(1, "quick", [](const WorkerArgs& args) {
            RunWorkerLoop(args, SteadyClock::Instance(), [] { return Millis(1000); });
        }));
        const auto report = slots.StopAll(Millis(2000));
        ASSERT_EQ(report.stopped, 1) << "round " << round;
    }
}

TEST(WorkerSlots, WorkerIgnoringItsEventCostsAboutTheWaitAndIsLeftRunning) {
    LogCapture log;
    auto release = std::make_shared<std::atomic<bool>>(false);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    const auto before = std::chrono::steady_clock::now();
    {
        WorkerSlots slots;
        ASSERT_TRUE(slots.Start(8, "stubborn", [release, finished](const WorkerArgs& args) {
            // Touches its own stop event long after shutdown gave up on it:
            // the slot must still be alive then.
            while (!release->load())
                std::this_thread::sleep_for(1ms);
            args.stopEvent->IsSet();
            finished->store(true);
        }));
        const auto report = slots.StopAll();
        EXPECT_EQ(report.abandoned, 1);
        EXPECT_EQ(report.stopped, 0);
    }
    const auto spent = std::chrono::steady_clock::now() - before;
    EXPECT_GE(spent, 1000ms);
    EXPECT_LT(spent, 3000ms) << "shutdown must not wait for the stubborn worker";
    EXPECT_TRUE(log.Contains("did not stop within 1000 ms"));
    EXPECT_GE(WorkerSlots::AbandonedThreads(), 1);
    release->store(true);
    while (!finished->load())
        std::this_thread::sleep_for(1ms);
}

TEST(WorkerLoop, ManualClockPacesThePasses) {
    ManualClock clock;
    StopEvent stop;
    std::atomic<int> passes{0};
    WorkerArgs args{nullptr, &stop};
    std::thread worker([&] {
        RunWorkerLoop(args, clock, [&] {
            ++passes;
            return Millis(100);
        });
    });
    ASSERT_TRUE(clock.WaitForSleepers(1));
    EXPECT_EQ(passes.load(), 0) << "the first pass waits on the event first";
    clock.Advance(1ms);
    while (passes.load() < 1)
        std::this_thread::yield();
    // The pass has run, so the old sleep is over; wait for the next one before
    // moving time, or its deadline would be taken from the moved clock.
    ASSERT_TRUE(clock.WaitForSleepers(1));
    clock.Advance(99ms);
    ASSERT_TRUE(clock.WaitForSleepers(1));
    EXPECT_EQ(passes.load(), 1);
    clock.Advance(1ms);
    while (passes.load() < 2)
        std::this_thread::yield();
    stop.Set();
    worker.join();
    EXPECT_EQ(passes.load(), 2);
}

TEST(StopEvent, WaitEndsOnSetFromAnotherThreadOrOnTheDeadline) {
    StopEvent event;
    EXPECT_FALSE(event.WaitFor(5ms));
    std::thread setter([&] {
        std::this_thread::sleep_for(10ms);
        event.Set();
    });
    EXPECT_TRUE(event.WaitFor(10s));
    setter.join();
    EXPECT_TRUE(event.WaitFor(0ms)) << "manual reset: stays set";
    event.Reset();
    EXPECT_FALSE(event.IsSet());

    ManualClock clock;
    std::atomic<bool> result{true};
    std::thread waiter([&] { result = event.WaitFor(clock, 50ms); });
    ASSERT_TRUE(clock.WaitForSleepers(1));
    clock.Advance(49ms);
    ASSERT_TRUE(clock.WaitForSleepers(1));
    clock.Advance(1ms);
    waiter.join();
    EXPECT_FALSE(result.load());
}

}  // namespace
}  // namespace q731
