#include "devices/device_manager.h"
#include "devices/lighting/lighting_sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "device_access/device_path.h"
#include "sim/sim_bus.h"
#include "sim/sim_events.h"
#include "sim/sim_firmware.h"
#include "sim/sim_products.h"
#include "tests/support/sim_helpers.h"
#include "tests/support/wait.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

// A device with the base behaviour and counters for what the manager asks of it.
class TestDevice final : public CVexloUSBDevice {
public:
    TestDevice(Product product, std::shared_ptr<IHidBackend> backend)
        : CVexloUSBDevice(product, std::move(backend)) {}
    ~TestDevice() override { CloseDevice(); }

    CBasicProfiledata& ProfileData() override { return profile_; }
    LinkResult Connect() override {
        ++connects;
        if (failConnects > 0) {
            --failConnects;
            return LinkResult::Failed;
        }
        return ConfigurationWrite([this] { return ReadInfoBlock(); }) == LinkResult::Ok
                   ? LinkResult::Ok
                   : LinkResult::Failed;
    }
    LinkResult Resync() override {
        ++resyncs;
        return LinkResult::Ok;
    }
    void LightTick() override { ++ticks; }
    // Listener thread: counted once the base has posted what the value asks for.
    void OnDeviceEvent(std::uint16_t value, Channel channel) override {
        CVexloUSBDevice::OnDeviceEvent(value, channel);
        eventsHandled.fetch_add(1);
    }

    std::atomic<int> eventsHandled{0};
    int connects = 0;
    int failConnects = 0;
    int resyncs = 0;
    int ticks = 0;

private:
    CBasicProfiledata profile_;
};

struct Observer : ITabObserver {
    int created = 0;
    int raised = 0;
    int hiding = 0;
    void TabCreated(int) override { ++created; }
    void RestoreAndRaise() override { ++raised; }
    void SelectedTabHiding() override { ++hiding; }
};

// Short time-outs so that a silent receiver costs milliseconds, not seconds.
constexpr ChannelTimeouts kQuick{2000, 80, 2000, 80};

class DeviceManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager_.SetObserver(&observer_);
        manager_.CreateStartupTabs();
        scanner_ = manager_.MakeScanner([this] { ++wakes_; });
    }
    void TearDown() override { manager_.Shutdown(); }

    int Plug(SimProductSpec product, SimChannel channel, SimMemoryLayout layout) {
        auto firmware = std::make_shared<SimCommandFirmware>(channel, layout);
        firmwares_.push_back(firmware);
        return bus_->Plug(std::move(product), firmware);
    }
    SimCommandFirmware& FirmwareOf(int index) {
        return *firmwares_.at(static_cast<std::size_t>(index));
    }

    void Scan() {
        scanner_->RunPass();
        loop_.ProcessPending();
    }
    void Run(Millis span) { RunFor(loop_, clock_, span); }

    TestDevice& DeviceOfTab(int tab) {
        return static_cast<TestDevice&>(*manager_.Tabs().at(static_cast<std::size_t>(tab)).device);
    }
    std::string EventPath(int unit) {
        for (const std::string& path : bus_->PathsOf(unit)) {
            if (ParseDevicePath(path).collection == 3) return path;
        }
        return {};
    }

    ManualClock clock_;
    UiLoop loop_{clock_};
    std::shared_ptr<SimBus> bus_ = testing::MakeTestBus();
    std::vector<std::shared_ptr<SimCommandFirmware>> firmwares_;
    Observer observer_;
    int wakes_ = 0;
    DeviceManager manager_{loop_, bus_,
                           [this](Product product) -> std::unique_ptr<CVexloUSBDevice> {
                               auto device = std::make_unique<TestDevice>(product, bus_);
                               device->Link().SetTimeouts(Channel::Receiver, kQuick);
                               device->Link().SetTimeouts(Channel::Cable, kQuick);
                               return device;
                           }};
    std::unique_ptr<DeviceScanner> scanner_;
};

TEST_F(DeviceManagerTest, StartsWithHiddenMouseAndKeyboardTabs) {
    ASSERT_EQ(manager_.Tabs().size(), 2u);
    EXPECT_EQ(manager_.Tabs()[0].product, Product::Mouse);
    EXPECT_EQ(manager_.Tabs()[1].product, Product::Keyboard);
    EXPECT_EQ(manager_.VisibleTabCount(), 0);
    EXPECT_EQ(manager_.CurrentDevice(), nullptr);
    Scan();
    EXPECT_EQ(wakes_, 1) << "the window shows after the first pass even with no device";
}

TEST_F(DeviceManagerTest, PadArrivesShowsConnectsAndReturnsToTheSameObject) {
    const int pad = Plug(MousePadProduct(), SimChannel::Wired, MousePadMemoryLayout());
    Scan();
    ASSERT_EQ(manager_.Tabs().size(), 3u) << "the pad's tab is made at its first arrival";
    EXPECT_EQ(observer_.created, 3);
    EXPECT_GE(observer_.raised, 1);
    EXPECT_EQ(manager_.CurrentTab(), 2) << "the only visible tab is selected";
    TestDevice& device = DeviceOfTab(2);
    EXPECT_TRUE(device.Link().IsOpen());
    EXPECT_TRUE(device.Listener().IsOpen(Channel::Cable));
    Run(500ms);
    EXPECT_EQ(device.connects, 1);
    Run(200ms);
    EXPECT_GE(device.ticks, 3) << "the 50 ms lighting tick runs";
    EXPECT_EQ(device.Info().KeyCount(), 0);

    bus_->Unplug(pad);
    Scan();
    EXPECT_FALSE(device.Link().IsOpen());
    EXPECT_FALSE(device.Listener().IsOpen(Channel::Cable));
    EXPECT_EQ(manager_.VisibleTabCount(), 0);
    const int ticks = device.ticks;
    Run(1s);
    EXPECT_EQ(device.ticks, ticks) << "no timer outlives the link";

    Plug(MousePadProduct(), SimChannel::Wired, MousePadMemoryLayout());
    Scan();
    EXPECT_EQ(manager_.Tabs().size(), 3u);
    EXPECT_EQ(&DeviceOfTab(2), &device);
    EXPECT_TRUE(manager_.Tabs()[2].visible);
}

TEST_F(DeviceManagerTest, ReceiverMouseShowsOnlyOnceItAnswersAndHidesWhenSwitchedOff) {
    Plug(MouseReceiverProduct(), SimChannel::Receiver, MouseMemoryLayout());
    SimCommandFirmware& firmware = FirmwareOf(0);
    Scan();
    TestDevice& mouse = DeviceOfTab(0);
    EXPECT_TRUE(mouse.OnReceiver());
    EXPECT_EQ(mouse.Link().ChunkSize(), kReceiverChunkBytes);
    EXPECT_FALSE(manager_.Tabs()[0].visible) << "shown only after the link check";
    Run(500ms);
    EXPECT_TRUE(manager_.Tabs()[0].visible);
    EXPECT_EQ(mouse.connects, 1);

    firmware.SetRadioOn(false);
    Run(3000ms);
    EXPECT_FALSE(manager_.Tabs()[0].visible) << "hidden within the 3 s link check";
    firmware.SetRadioOn(true);
    Run(3000ms);
    EXPECT_TRUE(manager_.Tabs()[0].visible);
}

TEST_F(DeviceManagerTest, SwitchedOffReceiverKeepsTheTabHiddenAndRetries) {
    Plug(MouseReceiverProduct(), SimChannel::Receiver, MouseMemoryLayout());
    FirmwareOf(0).SetRadioOn(false);
    FirmwareOf(0).SetRadioOffReply(RadioOffReply::Unsolicited0xAA);
    Scan();
    TestDevice& mouse = DeviceOfTab(0);
    Run(500ms + 3000ms * 3);
    EXPECT_FALSE(manager_.Tabs()[0].visible);
    EXPECT_EQ(mouse.connects, 0) << "nothing is sent to a device that is off";
    FirmwareOf(0).SetRadioOn(true);
    Run(3000ms);
    EXPECT_TRUE(manager_.Tabs()[0].visible);
    EXPECT_EQ(mouse.connects, 1);
}

TEST_F(DeviceManagerTest, CableInAndOutMovesTheSameObjectBetweenChannels) {
    const int receiver = Plug(MouseReceiverProduct(), SimChannel::Receiver, MouseMemoryLayout());
    Scan();
    Run(600ms);
    TestDevice& mouse = DeviceOfTab(0);
    ASSERT_TRUE(mouse.OnReceiver());
    ASSERT_TRUE(mouse.Listener().IsOpen(Channel::Receiver));

    const int cable = Plug(MouseWiredProduct(), SimChannel::Wired, MouseMemoryLayout());
    Scan();
    EXPECT_EQ(&DeviceOfTab(0), &mouse);
    EXPECT_FALSE(mouse.OnReceiver());
    EXPECT_EQ(mouse.Link().ChunkSize(), kWiredChunkBytes);
    EXPECT_TRUE(mouse.Listener().IsOpen(Channel::Cable)) << "the listener follows";
    Run(600ms);
    EXPECT_EQ(mouse.connects, 2) << "connected again on the cable";
    EXPECT_TRUE(manager_.Tabs()[0].visible);

    bus_->Unplug(cable);
    Scan();
    EXPECT_TRUE(mouse.OnReceiver());
    EXPECT_EQ(mouse.Link().ChunkSize(), kReceiverChunkBytes);
    EXPECT_TRUE(mouse.Link().IsOpen());
    EXPECT_FALSE(mouse.Listener().IsOpen(Channel::Cable));
    EXPECT_TRUE(manager_.Tabs()[0].visible);
    Run(3000ms);
    EXPECT_TRUE(manager_.Tabs()[0].visible);
    EXPECT_EQ(manager_.Tabs().size(), 2u);
    (void)receiver;
}

TEST_F(DeviceManagerTest, ListenerValuesReachTheDeviceOnTheUiThread) {
    const int unit = Plug(MouseWiredProduct(), SimChannel::Wired, MouseMemoryLayout());
    Scan();
    TestDevice& mouse = DeviceOfTab(0);
    auto send = [&](std::uint16_t value) {
        const std::uint8_t report[] = {kSimEventReportId, static_cast<std::uint8_t>(value),
                                       static_cast<std::uint8_t>(value >> 8)};
        bus_->SendInput(unit, kSimCommandInterface, report);
    };
    int sent = 0;
    auto settle = [&] {
        // Once the listener has handed over every value sent, all it posted is
        // queued: running the loop then shows the whole effect, or its absence.
        ++sent;
        ASSERT_TRUE(testing::WaitUntil([&] { return mouse.eventsHandled.load() >= sent; }));
        loop_.ProcessPending();
    };
    send(0x1123);
    settle();
    EXPECT_EQ(mouse.ActiveProfile(), 3);
    EXPECT_EQ(mouse.ActiveStage(), 2);
    send(0x11F4);  // stage 15 does not exist
    settle();
    EXPECT_EQ(mouse.ActiveProfile(), 3);
    EXPECT_EQ(mouse.ActiveStage(), 2);
    send(0x1005);
    settle();
    EXPECT_EQ(mouse.ActiveProfile(), 5);
    EXPECT_EQ(mouse.ActiveStage(), 2);
    send(0x0401);
    settle();
    EXPECT_EQ(mouse.resyncs, 0) << "re-read 50 ms later, not at once";
    Run(50ms);
    EXPECT_EQ(mouse.resyncs, 1);
}

TEST_F(DeviceManagerTest, ButtonsPressedOnTheDeviceChangeItsMemoryAndReachTheHost) {
    const int unit = Plug(MouseWiredProduct(), SimChannel::Wired, MouseMemoryLayout());
    Scan();
    TestDevice& mouse = DeviceOfTab(0);
    PressDpiButton(*bus_, unit, FirmwareOf(0), 1, 3);
    EXPECT_EQ(FirmwareOf(0).Region(SimRegion::Settings)[128 + 12], 3);
    for (int i = 0; i < 100 && mouse.ActiveStage() != 3; ++i) {
        std::this_thread::sleep_for(2ms);
        loop_.ProcessPending();
    }
    EXPECT_EQ(mouse.ActiveProfile(), 1);
    EXPECT_EQ(mouse.ActiveStage(), 3);
    const std::uint8_t changed[] = {7};
    RequestResync(*bus_, unit, FirmwareOf(0), 1, changed);
    for (int i = 0; i < 100 && !loop_.HasTimer(&mouse, CVexloUSBDevice::kTimerResync); ++i) {
        std::this_thread::sleep_for(2ms);
        loop_.ProcessPending();
    }
    Run(50ms);
    EXPECT_EQ(mouse.resyncs, 1);
}

TEST_F(DeviceManagerTest, UnplugInTheMiddleOfAChunkedWriteStopsItAndHidesTheTab) {
    const int pad = Plug(MousePadProduct(), SimChannel::Wired, MousePadMemoryLayout());
    Scan();
    TestDevice& device = DeviceOfTab(2);
    SimFault fault;
    fault.kind = SimFaultKind::UnplugBeforeFrame;
    fault.frame = 3;
    FirmwareOf(0).AddFault(fault);
    const std::vector<std::uint8_t> block(600, 0x5A);
    EXPECT_NE(device.Link().WriteMemory(block, 0), LinkResult::Ok);
    EXPECT_LE(FirmwareOf(0).FramesReceived(), 4);
    Scan();
    EXPECT_FALSE(manager_.Tabs()[2].visible);
    EXPECT_FALSE(device.Link().IsOpen());
    EXPECT_FALSE(bus_->IsPlugged(pad));
    Plug(MousePadProduct(), SimChannel::Wired, MousePadMemoryLayout());
    Scan();
    EXPECT_EQ(&DeviceOfTab(2), &device);
    EXPECT_TRUE(device.Link().IsOpen());
}

TEST_F(DeviceManagerTest, AFailedConnectIsTriedAgainAndNothingRunsBeforeIt) {
    Plug(MousePadProduct(), SimChannel::Wired, MousePadMemoryLayout());
    Scan();
    TestDevice& pad = DeviceOfTab(2);
    pad.failConnects = 2;
    Run(600ms);
    EXPECT_EQ(pad.connects, 1);
    EXPECT_EQ(pad.ticks, 0) << "no lighting tick for a device that is not connected";
    Run(3000ms);
    EXPECT_EQ(pad.connects, 2);
    Run(3000ms);
    EXPECT_EQ(pad.connects, 3);
    Run(200ms);
    EXPECT_GE(pad.ticks, 3);
    Run(10s);
    EXPECT_EQ(pad.connects, 3) << "connected: no more attempts";
}

TEST_F(DeviceManagerTest, AFailedSwitchKeepsTheChannelThatWorked) {
    const int receiver = Plug(MouseReceiverProduct(), SimChannel::Receiver, MouseMemoryLayout());
    Scan();
    Run(600ms);
    TestDevice& mouse = DeviceOfTab(0);
    ASSERT_TRUE(mouse.OnReceiver());
    EXPECT_FALSE(
        mouse.Link().OpenChannel(Channel::Cable, "sim-gone#vid_320f&pid_221c&mi_01&col04"));
    EXPECT_TRUE(mouse.Link().IsOpen());
    EXPECT_TRUE(mouse.OnReceiver());
    EXPECT_EQ(mouse.Link().ChunkSize(), kReceiverChunkBytes);
    bool up = false;
    EXPECT_EQ(mouse.Link().QueryLinkDetailed(up), LinkResult::Ok);
    EXPECT_TRUE(up) << "still talking through the receiver";
    (void)receiver;
}

TEST_F(DeviceManagerTest, PreviousAndNextWalkVisibleTabsOnly) {
    Plug(MouseWiredProduct(), SimChannel::Wired, MouseMemoryLayout());
    Plug(MousePadProduct(), SimChannel::Wired, MousePadMemoryLayout());
    Scan();
    ASSERT_EQ(manager_.VisibleTabCount(), 2);  // mouse and pad; the keyboard is absent
    manager_.SelectTab(0);
    manager_.SelectNext();
    EXPECT_EQ(manager_.CurrentTab(), 2) << "the hidden keyboard tab is skipped";
    manager_.SelectNext();
    EXPECT_EQ(manager_.CurrentTab(), 2);
    manager_.SelectPrevious();
    EXPECT_EQ(manager_.CurrentTab(), 0);
    manager_.SelectTab(1);
    EXPECT_EQ(manager_.CurrentTab(), 0) << "a hidden tab cannot be selected";
    manager_.SetSynchronised(0, true);
    manager_.SetSynchronised(2, true);
    manager_.HideTab(2);
    EXPECT_FALSE(manager_.Tabs()[0].synchronised) << "one synchronised tab left: cleared";
}

// The mark on a tab and the flag the render and sync threads read are one.
TEST_F(DeviceManagerTest, TheTabsMarkAndTheLinksFlagChangeTogether) {
    Plug(MouseWiredProduct(), SimChannel::Wired, MouseMemoryLayout());
    const int pad = Plug(MousePadProduct(), SimChannel::Wired, MousePadMemoryLayout());
    Scan();
    ASSERT_EQ(manager_.VisibleTabCount(), 2);
    const auto agree = [this](const char* after) {
        for (const TabState& tab : manager_.Tabs())
            EXPECT_EQ(tab.synchronised, tab.device->Synchronised()) << after;
    };
    ManualClock clock;
    LightingSync sync(clock);
    const auto start = [&] {
        CVexloUSBDevice& mouse = DeviceOfTab(0);
        LightSetting light = mouse.GetLightInfo();
        light.selectItem = 3;  // steady
        mouse.SetLightInfo(light);
        const std::vector<CVexloUSBDevice*> devices = manager_.Devices();
        ASSERT_TRUE(StartSynchronisation(
            mouse, devices, sync,
            [](CVexloUSBDevice& device, const LightSetting& set) { device.SetLightInfo(set); }));
        EXPECT_TRUE(manager_.Tabs()[0].synchronised && manager_.Tabs()[2].synchronised);
        EXPECT_FALSE(manager_.Tabs()[1].synchronised) << "the absent keyboard takes no part";
        agree("start");
    };
    start();
    DeviceOfTab(2).SetSynchronised(false);  // another mode chosen, a game event, a re-read
    EXPECT_FALSE(manager_.Tabs()[2].synchronised);
    agree("one device leaves");
    start();
    manager_.SetSynchronised(0, false);
    agree("the manager clears a tab");
    start();
    bus_->Unplug(pad);
    Scan();
    EXPECT_FALSE(DeviceOfTab(0).Synchronised()) << "fewer than two: ended for all";
    agree("removal");
}

}  // namespace
}  // namespace q731
