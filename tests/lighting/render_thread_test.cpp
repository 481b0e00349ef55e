#include "devices/lighting/render_thread.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/log.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

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
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (device.Count() < count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(100us);
    }
    return true;
}

// Lets a woken thread settle, then checks that no frame came.
void ExpectStill(FakeDevice& device, std::size_t count) {
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(device.Count(), count);
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
    ASSERT_TRUE(clock.WaitForSleepers(1));
    clock.Advance(13ms);
    ExpectStill(device, 11);
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
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(clock.WaitForSleepers(1));
        clock.Advance(500ms);  // idle rechecks, but nothing to draw
    }
    ExpectStill(device, 1);
    thread.Wake();  // e.g. the colour changed
    ASSERT_TRUE(WaitForCount(device, 2));
    ExpectStill(device, 2);
}

TEST(RenderThread, IdleDrawsNothingUntilThePlanChanges) {
    ManualClock clock;
    FakeDevice device;
    device.SetPlan({RenderPlan::Kind::Idle, 0});  // link closed or synchronised
    LogCapture log;
    RenderThread thread(clock, device.Hooks(), "MS灯光线程设定退出");
    thread.Start();
    ASSERT_TRUE(clock.WaitForSleepers(1));
    clock.Advance(10s);
    ExpectStill(device, 0);
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
