#include "devices/lighting/render_thread.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/log.h"
#include "tests/support/wait.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;
using testing::AdvanceAndSettle;
using testing::SettleAfter;

// Holds the plan the device would give and counts the frames drawn.
struct FakeDevice {
    std::mutex mutex;
    RenderPlan plan;
    std::vector<SteadyTime> frames;

    RenderThread::Hooks Hooks() {
        return {[this] {
                    std::lock_guard lock(mutex);
                    return plan;
                },
                [this](SteadyTime now) {
                    std::lock_guard lock(mutex);
                    frames.push_back(now);
                }};
    }
    void SetPlan(RenderPlan next) {
        std::lock_guard lock(mutex);
        plan = next;
    }
    std::size_t Count() {
        std::lock_guard lock(mutex);
        return frames.size();
    }
};

bool WaitForCount(FakeDevice& device, std::size_t count) {
    return testing::WaitUntil([&] { return device.Count() >= count; });
}

TEST(RenderThread, PacedModeDrawsOneFramePerTicksTimesTwoMilliseconds) {
    ManualClock clock;
    FakeDevice device;
    device.SetPlan({RenderPlan::Kind::Paced, 7});  // mouse speed 4: 14 ms
    RenderThread thread(clock, device.Hooks(), "render thread ended");
    thread.Start();
    ASSERT_TRUE(WaitForCount(device, 1));
    for (std::size_t frame = 2; frame <= 11; ++frame) {
        ASSERT_TRUE(clock.WaitForSleepers(1));
        clock.Advance(14ms);
        ASSERT_TRUE(WaitForCount(device, frame));
    }
    ASSERT_TRUE(AdvanceAndSettle(clock, 13ms));
    EXPECT_EQ(device.Count(), 11u);
    thread.Stop();
    std::lock_guard lock(device.mutex);
    for (std::size_t i = 1; i < device.frames.size(); ++i) {
        EXPECT_EQ(device.frames[i] - device.frames[i - 1], 14ms);
    }
}

TEST(RenderThread, StaticPictureIsDrawnOncePerChange) {
    ManualClock clock;
    FakeDevice device;
    device.SetPlan({RenderPlan::Kind::Static, 0});
    RenderThread thread(clock, device.Hooks(), "render thread ended");
    thread.Start();
    ASSERT_TRUE(WaitForCount(device, 1));
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(AdvanceAndSettle(clock, 500ms));  // idle rechecks, but nothing to draw
    EXPECT_EQ(device.Count(), 1u);
    ASSERT_TRUE(SettleAfter(clock, [&] { thread.Wake(); }));  // e.g. the colour changed
    EXPECT_EQ(device.Count(), 2u);
}

TEST(RenderThread, IdleDrawsNothingUntilThePlanChanges) {
    ManualClock clock;
    FakeDevice device;
    device.SetPlan({RenderPlan::Kind::Idle, 0});  // link closed or synchronised
    LogCapture log;
    RenderThread thread(clock, device.Hooks(), "MS灯光线程设定退出");
    thread.Start();
    ASSERT_TRUE(AdvanceAndSettle(clock, 10s));
    EXPECT_EQ(device.Count(), 0u);
    device.SetPlan({RenderPlan::Kind::Paced, 1});
    thread.Wake();
    ASSERT_TRUE(WaitForCount(device, 1));
    thread.Stop();
    thread.Stop();
    EXPECT_FALSE(thread.Running());
    EXPECT_TRUE(log.Contains("MS灯光线程设定退出"));
    thread.Start();  // a device that reconnects starts it again
    EXPECT_TRUE(thread.Running());
}

TEST(RenderThread, UnannouncedChangeIsSeenWithinTheRecheckTime) {
    ManualClock clock;
    FakeDevice device;
    device.SetPlan({RenderPlan::Kind::Idle, 0});
    RenderThread thread(clock, device.Hooks(), "ended");
    thread.Start();
    ASSERT_TRUE(clock.WaitForSleepers(1));
    device.SetPlan({RenderPlan::Kind::Paced, 5});  // no Wake
    clock.Advance(RenderThread::kIdleRecheck);
    ASSERT_TRUE(WaitForCount(device, 1));
}

}  // namespace
}  // namespace q731
