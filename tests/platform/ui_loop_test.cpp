#include "platform/ui_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace q731 {
namespace {

using namespace std::chrono_literals;

struct UiLoopTest : ::testing::Test {
    ManualClock clock;
    UiLoop loop{clock};
    std::vector<std::string> fired;
    const int ownerA = 0;
    const int ownerB = 0;
};

TEST_F(UiLoopTest, TimersFireInDeadlineOrderThenCreationOrder) {
    loop.SetTimer(&ownerA, 1, 30ms, [&] { fired.push_back("A1"); });
    loop.SetTimer(&ownerB, 1, 10ms, [&] { fired.push_back("B1"); });
    loop.SetTimer(&ownerA, 2, 30ms, [&] { fired.push_back("A2"); });
    RunFor(loop, clock, 30ms);
    // At 30 ms all three are due: they run in the order they were set.
    EXPECT_EQ(fired, (std::vector<std::string>{"B1", "B1", "A1", "B1", "A2"}));
}

TEST_F(UiLoopTest, PeriodicKeepsFiringOneShotFiresOnce) {
    int periodic = 0;
    int once = 0;
    loop.SetTimer(&ownerA, 1011, 100ms, [&] { ++periodic; });
    loop.SetOneShotTimer(&ownerA, 1066, 5000ms, [&] { ++once; });
    RunFor(loop, clock, 10s);
    EXPECT_EQ(periodic, 100);
    EXPECT_EQ(once, 1);
    EXPECT_FALSE(loop.HasTimer(&ownerA, 1066));
    EXPECT_TRUE(loop.HasTimer(&ownerA, 1011));
}

TEST_F(UiLoopTest, KilledTimersStopAndResettingRestartsThePeriod) {
    int ticks = 0;
    loop.SetTimer(&ownerA, 7, 100ms, [&] {
        if (++ticks == 3) loop.KillTimer(&ownerA, 7);
    });
    RunFor(loop, clock, 1s);
    EXPECT_EQ(ticks, 3);

    int restarted = 0;
    loop.SetTimer(&ownerB, 1, 100ms, [&] { ++restarted; });
    RunFor(loop, clock, 90ms);
    loop.SetTimer(&ownerB, 1, 100ms, [&] { ++restarted; });  // replaces; period starts again
    RunFor(loop, clock, 90ms);
    EXPECT_EQ(restarted, 0);
    RunFor(loop, clock, 10ms);
    EXPECT_EQ(restarted, 1);
}

TEST_F(UiLoopTest, CallbackMayKillAnotherDueTimerBeforeItRuns) {
    loop.SetTimer(&ownerA, 1, 50ms, [&] {
        fired.push_back("first");
        loop.KillTimers(&ownerB);
    });
    loop.SetTimer(&ownerB, 2, 50ms, [&] { fired.push_back("second"); });
    RunFor(loop, clock, 50ms);
    EXPECT_EQ(fired, std::vector<std::string>{"first"});
}

TEST_F(UiLoopTest, LateLoopFiresPeriodicTimerOnceNotABurst) {
    int ticks = 0;
    loop.SetTimer(&ownerA, 1, 10ms, [&] { ++ticks; });
    clock.Advance(1s);  // the UI thread was busy for a second
    loop.ProcessPending();
    EXPECT_EQ(ticks, 1);
    RunFor(loop, clock, 10ms);
    EXPECT_EQ(ticks, 2);
}

TEST_F(UiLoopTest, PostsFromWorkersRunOnTheUiThreadInOrder) {
    std::vector<int> order;
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i)
            loop.Post([&order, i] { order.push_back(i); });
    });
    worker.join();
    loop.ProcessPending();
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
}

TEST_F(UiLoopTest, SendRunsOnUiThreadAndReturnsTheResult) {
    const auto uiThread = std::this_thread::get_id();
    std::atomic<bool> done{false};
    std::optional<int> result;
    std::thread::id ranOn;
    std::thread worker([&] {
        result = loop.SendFor([&] {
            ranOn = std::this_thread::get_id();
            return 42;
        });
        done = true;
    });
    while (!done) {
        loop.ProcessPending();
        std::this_thread::yield();
    }
    worker.join();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(ranOn, uiThread);
    // On the UI thread itself a send runs inline.
    EXPECT_EQ(loop.SendFor([] { return 7; }), 7);
}

TEST_F(UiLoopTest, ShutdownReleasesABlockedSenderAndLaterSendsFailAtOnce) {
    std::promise<bool> sent;
    std::atomic<bool> ran{false};
    std::promise<void> queued;
    loop.SetWakeHook([&] { queued.set_value(); });
    std::thread worker([&] { sent.set_value(loop.Send([&] { ran = true; })); });
    // The UI thread never processes; once the worker is waiting it begins
    // shutting down and then joins the worker, as the exit path does. Without
    // the release this would deadlock.
    ASSERT_EQ(queued.get_future().wait_for(5s), std::future_status::ready);
    loop.SetWakeHook(nullptr);
    loop.BeginShutdown();
    auto future = sent.get_future();
    ASSERT_EQ(future.wait_for(5s), std::future_status::ready);
    worker.join();
    EXPECT_FALSE(future.get());
    loop.ProcessPending();  // the cancelled call must not run late
    EXPECT_FALSE(ran);

    std::thread late([&] { EXPECT_FALSE(loop.Send([&] { ran = true; })); });
    late.join();
    EXPECT_FALSE(ran);
}

TEST(UiLoopRun, RunSleepsUntilWorkAndQuits) {
    UiLoop loop;  // real clock
    std::atomic<int> ticks{0};
    int owner = 0;
    loop.SetTimer(&owner, 1, 5ms, [&] {
        if (++ticks == 3) loop.Post([&] { loop.Quit(); });
    });
    std::thread runner([&] { loop.Run(); });
    runner.join();
    EXPECT_GE(ticks.load(), 3);
    EXPECT_TRUE(loop.HasQuit());
    EXPECT_FALSE(loop.Post([] {}));
}

TEST(UiLoopRun, WakeHookIsCalledForWorkFromAnyThread) {
    ManualClock clock;
    UiLoop loop(clock);
    std::atomic<int> wakes{0};
    loop.SetWakeHook([&] { ++wakes; });
    std::thread([&] { loop.Post([] {}); }).join();
    int owner = 0;
    loop.SetTimer(&owner, 1, 10ms, [] {});
    EXPECT_GE(wakes.load(), 2);
    EXPECT_EQ(loop.NextDeadline(), clock.Now() + 10ms);
}

}  // namespace
}  // namespace q731
