// Synchronised lighting: the common effects' colours at chosen steps, the
// start from one device keeping the others' own bytes, the thread's pacing on
// the manual clock, its stop while idle, and the flag shown on the tabs
// agreeing with the links'.

#include "devices/lighting/lighting_sync.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "devices/device_manager.h"
#include "platform/stop_event.h"
#include "sim/sim_firmware.h"
#include "sim/sim_products.h"
#include "tests/support/sim_helpers.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

class SyncDevice final : public CVexloUSBDevice {
public:
    SyncDevice(Product product, std::shared_ptr<IHidBackend> backend)
        : CVexloUSBDevice(product, std::move(backend)) {
        SetLedCount(RecordOf(product).ledCount);
    }
    ~SyncDevice() override { CloseDevice(); }
    CBasicProfiledata& ProfileData() override { return profile_; }

private:
    CBasicProfiledata profile_;
};

// Devices of the family with open links on the simulated bus.
struct Family {
    SyncDevice& Add(Product product, SimProductSpec plugged, SimMemoryLayout layout) {
        const int unit = bus->Plug(std::move(plugged),
                                   std::make_shared<SimCommandFirmware>(SimChannel::Wired, layout));
        devices.push_back(std::make_unique<SyncDevice>(product, bus));
        EXPECT_TRUE(
            devices.back()->Link().OpenChannel(Channel::Cable, testing::CommandPathOf(*bus, unit)));
        return *devices.back();
    }
    std::vector<CVexloUSBDevice*> Pointers() const {
        std::vector<CVexloUSBDevice*> pointers;
        for (const auto& device : devices)
            pointers.push_back(device.get());
        return pointers;
    }
    std::shared_ptr<SimBus> bus = testing::MakeTestBus();
    std::vector<std::unique_ptr<SyncDevice>> devices;
};

LightSetting Light(int mode, int brightness = 4, int speed = 4) {
    LightSetting light;
    light.selectItem = static_cast<std::uint8_t>(mode);
    light.brightness = static_cast<std::uint8_t>(brightness);
    light.speed = static_cast<std::uint8_t>(speed);
    light.red = 10;
    light.green = 20;
    light.blue = 30;
    return light;
}

TEST(SyncTables, ModesTranslateByKindAndSpeedsPaceTheSteps) {
    EXPECT_EQ(SyncEffectOfMode(Product::Keyboard, 23), SyncEffect::Flashing);
    EXPECT_EQ(SyncModeOf(Product::Mouse, SyncEffect::Flashing), 4);
    EXPECT_EQ(SyncModeOf(Product::MousePad, SyncEffect::Off), 8);
    EXPECT_EQ(SyncModeOf(Product::Mouse, SyncEffect::Off), 10);
    EXPECT_FALSE(SyncEffectOfMode(Product::Mouse, 0));
    for (const auto& [level, ticks] :
         {std::pair{0, 28}, {4, 7}, {5, 0}, {14, 0}, {200, 0}, {-3, 28}}) {
        EXPECT_EQ(SyncIntervalTicks(level), ticks) << level;
    }
    EXPECT_EQ(SyncPeriod(4), 14ms);
    EXPECT_EQ(SyncPeriod(9), 1ms) << "an interval of 0 steps on every 1 ms pass";
}

TEST(SyncEngine, EachEffectGivesTheColoursOfItsTables) {
    const SteadyTime t0 = SteadyTime{} + 1h;
    SyncSettings s{.brightness = 4, .speed = 4, .red = 10, .green = 20, .blue = 30};

    s.effect = 1;  // steady
    SyncEngine steady;
    EXPECT_EQ(steady.Step(s, t0), (LedColour{10, 20, 30, 255}));

    s.effect = 0;  // breathing up through the curve, single colour
    s.direction = 1;
    SyncEngine breathing;
    std::vector<int> brightness;
    for (int step = 1; step <= 64; ++step)
        brightness.push_back(breathing.Step(s, t0)->brightness);
    EXPECT_EQ(brightness[0], 255 * 1 / 256);
    EXPECT_EQ(brightness[11], 255 * 14 / 256) << "step 12: curve entry 14";
    EXPECT_EQ(brightness[63], 255 * 255 / 256);

    s.multiColor = 1;  // breathing changes colour only when passing 0 or 1, by 16
    SyncEngine wheel;
    EXPECT_EQ(wheel.Step(s, t0)->red, 255);  // step 1: wheel 16 = (255, 81, 0)
    EXPECT_EQ(wheel.Step(s, t0)->green, 81) << "step 2 keeps the colour";
    for (int step = 3; step <= 127; ++step)
        (void)wheel.Step(s, t0);
    EXPECT_EQ(wheel.Step(s, t0)->red, 248) << "step 128 wraps to 0: wheel 32 = (248, 255, 0)";
    EXPECT_EQ(wheel.Step(s, t0)->red, 69) << "and step 1: wheel 48 = (69, 255, 0)";

    s.effect = 3;  // colour cycle: one wheel entry per step
    SyncEngine cycle;
    EXPECT_EQ(cycle.Step(s, t0), (LedColour{255, 3, 0, 255}));
    EXPECT_EQ(cycle.Step(s, t0), (LedColour{255, 5, 0, 255}));

    s.effect = 2;  // flashing: toggles every 7 × 200 ms at speed 4
    SyncEngine flash;
    EXPECT_EQ(flash.Step(s, t0), (LedColour{255, 65, 0, 255})) << "on, wheel 14";
    EXPECT_EQ(flash.Step(s, t0 + 1399ms), (LedColour{255, 65, 0, 255}));
    EXPECT_EQ(flash.Step(s, t0 + 1400ms), LedColour{}) << "off";
    EXPECT_EQ(flash.Step(s, t0 + 2800ms), (LedColour{124, 255, 0, 255})) << "on, wheel 42";

    s.effect = 4;
    EXPECT_EQ(SyncEngine{}.Step(s, t0), LedColour{});
    s.effect = 5;
    EXPECT_FALSE(SyncEngine{}.Step(s, t0)) << "an unknown effect draws nothing";

    s.brightness = 0;  // brightness level 0 is dark whatever the effect
    for (std::uint8_t effect = 0; effect < 5; ++effect) {
        s.effect = effect;
        EXPECT_EQ(SyncEngine{}.Step(s, t0 + 2s)->brightness, 0) << int{effect};
    }
}

TEST(LightingSync, StartFromTheMouseKeepsTheKeyboardsOwnBytesAndPacesTheSteps) {
    Family family;
    SyncDevice& mouse = family.Add(Product::Mouse, MouseWiredProduct(), MouseMemoryLayout());
    SyncDevice& keyboard =
        family.Add(Product::Keyboard, KeyboardWiredProduct(), KeyboardMemoryLayout());
    LightSetting own = Light(31);
    own.zzccMode = 2;
    own.customGroup = 3;
    own.oldMode = 7;
    keyboard.SetLightInfo(own);
    ManualClock clock;
    LightingSync sync(clock);
    sync.SetDevices(family.Pointers());
    std::vector<CVexloUSBDevice*> applied;
    const auto apply = [&](CVexloUSBDevice& device, const LightSetting& light) {
        applied.push_back(&device);
        device.SetLightInfo(light);
    };

    mouse.SetLightInfo(Light(0));  // a mode with no common effect: nothing changes
    EXPECT_FALSE(StartSynchronisation(mouse, family.Pointers(), sync, apply));
    EXPECT_TRUE(applied.empty());
    EXPECT_FALSE(keyboard.Synchronised());

    mouse.SetLightInfo(Light(2, 3, 4));  // breathing
    ASSERT_TRUE(StartSynchronisation(mouse, family.Pointers(), sync, apply));
    EXPECT_EQ(applied, (std::vector<CVexloUSBDevice*>{&keyboard, &mouse})) << "keyboards first";
    const LightSetting shared = keyboard.GetLightInfo();
    EXPECT_EQ(shared.selectItem, 5);
    EXPECT_EQ(shared.brightness, 3);
    EXPECT_EQ(shared.red, 10);
    EXPECT_EQ(shared.zzccMode, 2);
    EXPECT_EQ(shared.customGroup, 3);
    EXPECT_EQ(shared.oldMode, 7);
    EXPECT_TRUE(mouse.Synchronised() && keyboard.Synchronised());
    EXPECT_EQ(sync.Settings().effect, 0);

    // Speed 4: a step every 14 ms; every LED of both devices takes it.
    ASSERT_TRUE(sync.RunPass());
    clock.Advance(13ms);
    (void)sync.RunPass();
    EXPECT_EQ(sync.Steps(), 0u);
    clock.Advance(1ms);
    (void)sync.RunPass();
    EXPECT_EQ(sync.Steps(), 1u);
    const LedColour first = mouse.Leds().Get(0);
    EXPECT_EQ(first.red, 10);
    EXPECT_EQ(keyboard.Leds().Get(169), first);
    EXPECT_EQ(mouse.Leds().Get(14), first);

    // Fewer than one device taking part: the thread goes idle.
    mouse.SetSynchronised(false);
    keyboard.SetSynchronised(false);
    EXPECT_FALSE(sync.RunPass());
}

TEST(LightingSync, TheThreadSleepsWhileIdleAndAStopEndsItWithoutTimePassing) {
    Family family;
    SyncDevice& mouse = family.Add(Product::Mouse, MouseWiredProduct(), MouseMemoryLayout());
    ManualClock clock;
    LightingSync sync(clock);
    sync.SetDevices(family.Pointers());
    StopEvent stop;
    auto ended = std::async(std::launch::async, [&] { sync.Run({nullptr, &stop}); });
    ASSERT_TRUE(clock.WaitForSleepers(1));
    const std::uint64_t sleeps = clock.SleepsBegun();
    clock.Advance(10s);
    ASSERT_TRUE(clock.WaitForSleepsBegun(sleeps + 1));
    EXPECT_EQ(sync.Steps(), 0u) << "idle: no step and no busy passes";

    // A start wakes it; steps follow the clock, one per 1 ms at speed 9.
    sync.SetSettings({.effect = 1, .brightness = 4, .speed = 9});
    mouse.SetSynchronised(true);
    sync.Wake();
    for (int i = 0; i < 5; ++i) {
        const std::uint64_t begun = clock.SleepsBegun();
        clock.Advance(1ms);
        ASSERT_TRUE(clock.WaitForSleepsBegun(begun + 1));
    }
    EXPECT_GE(sync.Steps(), 3u);
    mouse.SetSynchronised(false);
    const std::uint64_t begun = clock.SleepsBegun();
    clock.Advance(1ms);
    ASSERT_TRUE(clock.WaitForSleepsBegun(begun + 1));
    stop.Set();  // the clock does not move: only the event can end the sleep
    EXPECT_EQ(ended.wait_for(5s), std::future_status::ready);
}

TEST(LightingSync, StepsWhileTheUiReadsLedsAndADeviceArrives) {
    Family family;
    SyncDevice& mouse = family.Add(Product::Mouse, MouseWiredProduct(), MouseMemoryLayout());
    LightingSync sync(SteadyClock::Instance());
    sync.SetDevices(family.Pointers());
    sync.SetSettings({.effect = 3, .brightness = 4, .speed = 9});  // colour cycle, every 1 ms
    mouse.SetSynchronised(true);
    StopEvent stop;
    std::thread thread([&] { sync.Run({nullptr, &stop}); });
    sync.Wake();
    while (sync.Steps() < 20) {
        (void)mouse.Leds().Snapshot();  // what the 50 ms tick reads
        std::this_thread::yield();
    }
    SyncDevice& pad = family.Add(Product::MousePad, MousePadProduct(), MousePadMemoryLayout());
    pad.SetSynchronised(true);
    sync.SetDevices(family.Pointers());
    const std::uint64_t steps = sync.Steps();
    while (sync.Steps() < steps + 20)
        (void)pad.Leds().Snapshot();
    stop.Set();
    thread.join();
    EXPECT_EQ(pad.Leds().Get(0), mouse.Leds().Get(0)) << "both follow one clock";
}

}  // namespace
}  // namespace q731
