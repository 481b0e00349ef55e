#include "devices/device_listener.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <thread>

#include "platform/log.h"
#include "sim/sim_bus.h"
#include "sim/sim_products.h"
#include "tests/support/sim_helpers.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

struct Received {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<std::pair<std::uint16_t, Channel>> values;

    void Add(std::uint16_t value, Channel channel) {
        std::lock_guard lock(mutex);
        values.push_back({value, channel});
        cv.notify_all();
    }
    bool WaitFor(std::size_t count) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, 5s, [&] { return values.size() >= count; });
    }
};

class ListenerTest : public ::testing::Test {
protected:
    void SetUp() override {
        unit_ = bus_->Plug(MouseWiredProduct());
        for (const std::string& path : bus_->PathsOf(unit_)) {
            if (path.find("&mi_01&col03") != std::string::npos) eventPath_ = path;
        }
        ASSERT_FALSE(eventPath_.empty());
    }

    void Send(std::vector<std::uint8_t> report) {
        bus_->SendInput(unit_, kSimCommandInterface, report);
    }
    void SendEvent(std::uint16_t value) {
        Send({kSimEventReportId, static_cast<std::uint8_t>(value),
              static_cast<std::uint8_t>(value >> 8)});
    }

    std::shared_ptr<SimBus> bus_ = testing::MakeTestBus();
    int unit_ = -1;
    std::string eventPath_;
    HidDevice wired_{bus_};
    HidDevice receiver_{bus_};
    Received received_;
};

TEST_F(ListenerTest, EventValuesReachTheHandlerInOrder) {
    DeviceListener listener(
        wired_, receiver_,
        [&](std::uint16_t value, Channel channel) { received_.Add(value, channel); },
        "MS 设备同步线程设定退出");
    ASSERT_TRUE(listener.Open(Channel::Cable, eventPath_));
    EXPECT_TRUE(listener.IsOpen(Channel::Cable));
    EXPECT_FALSE(listener.IsOpen(Channel::Receiver));
    for (std::uint16_t value : {0x1123, 0x0401, 0x0403})
        SendEvent(value);
    ASSERT_TRUE(received_.WaitFor(3));
    EXPECT_EQ(received_.values[0].first, 0x1123);
    EXPECT_EQ(received_.values[1].first, 0x0401);
    EXPECT_EQ(received_.values[2].first, 0x0403);
    EXPECT_EQ(received_.values[0].second, Channel::Cable);
}

TEST_F(ListenerTest, ReportsOfOtherCollectionsAndShortReportsAreIgnored) {
    DeviceListener listener(
        wired_, receiver_,
        [&](std::uint16_t value, Channel channel) { received_.Add(value, channel); }, "ended");
    ASSERT_TRUE(listener.Open(Channel::Cable, eventPath_));
    SendEvent(0x1005);
    ASSERT_TRUE(received_.WaitFor(1));
    Send({kSimEventReportId});  // truncated: the value lies past the end
    Send({kSimEventReportId, 0x23});
    SendEvent(0x0401);  // read after the short ones: once it arrives, they were read
    ASSERT_TRUE(received_.WaitFor(2));
    std::lock_guard lock(received_.mutex);
    ASSERT_EQ(received_.values.size(), 2u) << "a short report must not repeat the last value";
    EXPECT_EQ(received_.values[1].first, 0x0401);
}

TEST_F(ListenerTest, CloseEndsABlockedReadPromptlyAndReopenWorks) {
    LogCapture log;
    DeviceListener listener(
        wired_, receiver_,
        [&](std::uint16_t value, Channel channel) { received_.Add(value, channel); },
        "MS 设备同步线程设定退出");
    ASSERT_TRUE(listener.Open(Channel::Cable, eventPath_));
    std::this_thread::sleep_for(10ms);  // let the thread block in its read
    const auto before = std::chrono::steady_clock::now();
    listener.Close(Channel::Cable);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms);
    EXPECT_FALSE(listener.IsOpen(Channel::Cable));
    EXPECT_TRUE(log.Contains("MS 设备同步线程设定退出"));
    listener.Close(Channel::Cable);  // twice is harmless

    ASSERT_TRUE(listener.Open(Channel::Cable, eventPath_));
    ASSERT_TRUE(listener.Open(Channel::Cable, eventPath_)) << "open is idempotent";
    SendEvent(0x0401);
    ASSERT_TRUE(received_.WaitFor(1));
}

TEST_F(ListenerTest, UnplugDoesNotSpinAndCloseStillEnds) {
    DeviceListener listener(
        wired_, receiver_, [&](std::uint16_t, Channel) {}, "ended");
    ASSERT_TRUE(listener.Open(Channel::Cable, eventPath_));
    bus_->Unplug(unit_);
    std::this_thread::sleep_for(50ms);
    const auto before = std::chrono::steady_clock::now();
    listener.CloseAll();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms);
    EXPECT_FALSE(listener.Open(Channel::Cable, eventPath_)) << "the device is gone";
}

}  // namespace
}  // namespace q731
