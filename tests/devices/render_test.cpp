// The mouse's and keyboard's host-side lighting: which modes are drawn and
// how often, what stops the drawing, the button flash handed over from the
// listener, counters cleared on every mode change, the keyboard's host colour
// and zones, and the light stream's back-off against a slow device.

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "device_fixture.h"
#include "devices/lighting/keyboard_layout.h"
#include "platform/log.h"
#include "sim/sim_events.h"
#include "tests/support/wait.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;
using Kind = RenderPlan::Kind;

constexpr int kStreamCommand = 0x12;

using testing::AdvanceAndSettle;
using testing::SettleAfter;

bool WaitFor(const std::function<bool()>& done) {
    return testing::WaitUntil(done);
}

bool SamePlan(RenderPlan plan, Kind kind, int ticks = 1) {
    return plan.kind == kind && (kind != Kind::Paced || plan.ticks == ticks);
}

int StreamFrames(const SimCommandFirmware& firmware) {
    return testing::CountFrames(firmware, kStreamCommand);
}

template <typename Device>
class RenderTest : public DeviceTest<Device> {
protected:
    using Base = DeviceTest<Device>;
    // The main window's lighting change, without the write.
    void SetMode(int mode, int speed = 4, int brightness = 4, bool wheel = false) {
        LightSetting light = Base::device_->GetLightInfo();
        light.selectItem = static_cast<std::uint8_t>(mode);
        light.speed = static_cast<std::uint8_t>(speed);
        light.brightness = static_cast<std::uint8_t>(brightness);
        light.multiColor = wheel ? 1 : 0;
        light.direction = 1;
        light.red = 200;
        light.green = 100;
        light.blue = 50;
        Base::device_->SetLightInfo(light);
        Base::device_->ApplyProfile();
    }
    void Render(int frames = 1) {
        for (int i = 0; i < frames; ++i) {
            now_ += 14ms;
            Base::device_->RenderFrame(now_);
        }
    }
    // Started on the manual clock, connected, the render thread stopped so
    // the test draws the frames itself.
    void StartStill(SimChannel channel) {
        Base::manualClock_ = &clock_;
        Base::Attach(channel);
        // Hidden while it connects, so the thread draws nothing before it is
        // stopped (on a slow machine it could otherwise draw a first frame).
        Base::device_->SetAttention(false);
        Base::ConnectAndClear();
        Base::device_->Renderer().Stop();
        Base::device_->SetAttention(true);
    }

    ManualClock clock_;
    SteadyTime now_{};
};

using MouseRenderTest = RenderTest<CVexloMouseDevice>;

class KeyboardRenderTest : public RenderTest<CVexloKeyboardDevice> {
protected:
    // Connected with the factory key table and LED of position p at (p * 7) % 170.
    void StartKeyboard() {
        StartStill(SimChannel::Wired);
        FillKeyTable(kKeyboardFactoryCodes);
        Bytes ledMap;
        for (int p = 0; p < kKeyboardLogicalKeys; ++p)
            ledMap.push_back(static_cast<std::uint8_t>(p * 7 % 170));
        firmware_->FillRegion(SimRegion::LedMap, 0, ledMap);
        ASSERT_EQ(device_->Connect(), LinkResult::Ok);
        device_->Renderer().Stop();
    }
    // Every level `level`, or one column's.
    void Push(std::int32_t level, int only = -1) {
        MusicLevels levels{};
        for (int i = 0; i < kMusicLevels; ++i) {
            if (only < 0 || i == only) levels[static_cast<std::size_t>(i)] = level;
        }
        device_->PushAudioLevels(levels);
    }
    LedColour Key(int column, int row) const {
        return device_->Leds().Get(KeyMatrixCell(column, row));
    }
};

TEST(RenderPlans, MouseModesArePacedByTheMouseRowAndStillPicturesDrawOnce) {
    EXPECT_TRUE(SamePlan(MousePlanFor(0, 0), Kind::Paced, 28));
    EXPECT_TRUE(SamePlan(MousePlanFor(9, 4), Kind::Paced, 7));
    EXPECT_TRUE(SamePlan(MousePlanFor(4, 9), Kind::Paced, 7)) << "speed clamped";
    EXPECT_TRUE(SamePlan(MousePlanFor(3, 0), Kind::Static));
    EXPECT_TRUE(SamePlan(MousePlanFor(10, 0), Kind::Static));
    EXPECT_TRUE(SamePlan(MousePlanFor(5, 0), Kind::Paced, kTimedStepTicksPerWake))
        << "timed steps count every tick, a batch per wake";
    EXPECT_TRUE(SamePlan(MousePlanFor(11, 2), Kind::Paced, kTimedStepTicksPerWake));
    EXPECT_TRUE(SamePlan(MousePlanFor(12, 0), Kind::Idle));
    EXPECT_TRUE(SamePlan(MousePlanFor(-1, 0), Kind::Idle));
}

TEST(RenderPlans, KeyboardModesWithRenderersAndZonesThatKeepEveryModeMoving) {
    struct Row {
        int mode, speed;
        Kind kind;
        int ticks;
    };
    const Row rows[] = {
        {1, 0, Kind::Paced, 5},
        {4, 0, Kind::Paced, 5},
        {23, 4, Kind::Paced, 1},
        {26, 1, Kind::Paced, 4},
        {10, 0, Kind::Paced, 20},
        {25, 4, Kind::Paced, 2},
        {29, 1, Kind::Paced, 12},
        {16, 0, Kind::Paced, 7},
        {21, 0, Kind::Paced, 2},
        {21, 4, Kind::Paced, 2},
        {0, 0, Kind::Paced, kTimedStepTicksPerWake},
        {30, 0, Kind::Paced, kTimedStepTicksPerWake},
        {6, 0, Kind::Static, 1},
        {17, 0, Kind::Static, 1},
        {20, 0, Kind::Static, 1},
        {28, 0, Kind::Static, 1},
        {31, 0, Kind::Static, 1},
        {32, 0, Kind::Idle, 1},
        {-1, 0, Kind::Idle, 1},
    };
    for (const Row& row : rows) {
        EXPECT_TRUE(SamePlan(KeyboardPlanFor(row.mode, row.speed, false), row.kind, row.ticks))
            << row.mode << " at speed " << row.speed;
    }
    EXPECT_TRUE(SamePlan(KeyboardPlanFor(20, 0, true), Kind::Paced, 5));
    EXPECT_TRUE(SamePlan(KeyboardPlanFor(6, 4, true), Kind::Paced, 1));
}

TEST_F(MouseRenderTest, NothingIsDrawnWhileClosedSynchronisedOrUnneeded) {
    StartStill(SimChannel::Wired);
    SetMode(1, 4);
    EXPECT_TRUE(SamePlan(device_->Plan(), Kind::Paced, 7));
    device_->Link().SetSyncFlag(true);
    EXPECT_TRUE(SamePlan(device_->Plan(), Kind::Idle));
    device_->Link().SetSyncFlag(false);
    device_->SetAttention(false);
    EXPECT_TRUE(SamePlan(device_->Plan(), Kind::Idle)) << "window hidden, mode not streamed";
    SetMode(11);
    EXPECT_TRUE(SamePlan(device_->Plan(), Kind::Paced, kTimedStepTicksPerWake))
        << "the streamed mode still runs";
    device_->SetHostLighting(false);
    EXPECT_TRUE(SamePlan(device_->Plan(), Kind::Idle));
    device_->SetHostLighting(true);
    device_->Link().Close();
    EXPECT_TRUE(SamePlan(device_->Plan(), Kind::Idle));
}

TEST_F(MouseRenderTest, TheThreadDrawsNothingWhileSynchronisedAndEndsWithItsText) {
    manualClock_ = &clock_;
    Attach(SimChannel::Wired);
    ConnectAndClear();
    SetMode(1, 4);  // 14 ms a frame
    device_->Link().SetSyncFlag(true);
    // The tick sees the flag change and wakes the thread, which goes idle.
    ASSERT_TRUE(SettleAfter(clock_, [&] { device_->LightTick(); }));
    const std::uint64_t frames = device_->Renderer().FramesDrawn();
    const std::vector<LedColour> picture = device_->Leds().Snapshot();
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(AdvanceAndSettle(clock_, 25ms));
    EXPECT_EQ(device_->Renderer().FramesDrawn(), frames);
    EXPECT_EQ(device_->Leds().Snapshot(), picture);

    device_->Link().SetSyncFlag(false);
    device_->LightTick();
    ASSERT_TRUE(WaitFor([&] {
        clock_.Advance(14ms);
        return device_->Renderer().FramesDrawn() > frames + 2;
    }));
    LogCapture log;
    device_->CloseDevice();
    EXPECT_FALSE(device_->Renderer().Running());
    EXPECT_TRUE(log.Contains("MS灯光线程设定退出"));
}

TEST_F(MouseRenderTest, ButtonFlashesOnlyInTheReactiveMode) {
    StartStill(SimChannel::Wired);
    auto press = [this] {
        std::thread listener(
            [this] { device_->OnDeviceEvent(device_event::kMouseButton, Channel::Cable); });
        listener.join();
    };
    auto lit = [this] {
        int count = 0;
        for (const LedColour& led : device_->Leds().Snapshot())
            count += led.brightness > 0;
        return count;
    };
    SetMode(9, 4, 4, true);
    press();
    EXPECT_FALSE(device_->ReactivePending()) << "ripple mode: no flash";

    SetMode(6, 4, 4, true);
    Render();
    EXPECT_EQ(lit(), 0);
    press();
    EXPECT_TRUE(device_->ReactivePending());
    Render();
    EXPECT_FALSE(device_->ReactivePending());
    EXPECT_EQ(lit(), MouseEffects::kLedCount);
    EXPECT_EQ(device_->Leds().Get(14).brightness, 254);
    Render(17);  // falls by 15 a frame
    EXPECT_EQ(lit(), 0);

    press();
    SetMode(9);
    SetMode(6);  // a mode change between the press and the next frame drops it
    Render();
    EXPECT_EQ(lit(), 0);
}

TEST_F(MouseRenderTest, ButtonPressesFromTheListenerReachTheRunningRenderer) {
    Attach(SimChannel::Wired);
    ConnectAndClear();
    SetMode(6, 4, 4, true);
    std::string events;
    for (const std::string& path : bus_->PathsOf(unit_)) {
        if (ParseDevicePath(path).collection == 3) events = path;
    }
    ASSERT_TRUE(device_->OpenListener(Channel::Cable, events));
    bool flashed = false;
    for (int i = 0; i < 200 && !flashed; ++i) {
        ClickMouseButton(*bus_, unit_);
        device_->LightTick();
        std::this_thread::sleep_for(5ms);
        for (const LedColour& led : device_->Leds().Snapshot())
            flashed |= led.brightness > 0;
    }
    EXPECT_TRUE(flashed);
    device_->CloseDevice();
}

TEST_F(MouseRenderTest, EveryModeChangeStartsTheEffectAfresh) {
    StartStill(SimChannel::Wired);
    SetMode(1, 4, 4);
    Render(50);
    EXPECT_EQ(device_->Leds().Get(0), LedColour::Of(WheelColour(50), 255));
    SetMode(4);
    SetMode(1);  // back before any frame: still a change
    Render();
    EXPECT_EQ(device_->Leds().Get(0), LedColour::Of(WheelColour(1), 255));
    SetMode(1);  // the same mode again keeps going
    Render();
    EXPECT_EQ(device_->Leds().Get(0), LedColour::Of(WheelColour(2), 255));

    // A change read back from the mouse counts too.
    firmware_->FillRegion(SimRegion::Settings, 1, FromHex("41 04 00"));  // mode 1, speed 4
    SetMode(7);
    Render(130);
    ASSERT_EQ(device_->Resync(), LinkResult::Ok);
    EXPECT_EQ(device_->RenderMode(), 1);
    Render();
    EXPECT_EQ(device_->Leds().Get(0), LedColour::Of(WheelColour(1), 255));
}

TEST_F(MouseRenderTest, TwoSlowSendsStopTheReceiverStreamUntilTheLinkCheck) {
    StartStill(SimChannel::Receiver);
    SetMode(11);
    slow_->SetLatency(kStreamCommand, 600ms);
    device_->LightTick();
    device_->LightTick();
    EXPECT_EQ(StreamFrames(*firmware_), 4) << "33 bytes in 24-byte receiver chunks";
    EXPECT_TRUE(device_->StreamState().Stopped(Channel::Receiver));
    device_->LightTick();
    EXPECT_EQ(StreamFrames(*firmware_), 4);
    slow_->SetLatency(kStreamCommand, 0ms);
    ASSERT_TRUE(device_->CheckLink());
    device_->LightTick();
    EXPECT_EQ(StreamFrames(*firmware_), 6);
}

TEST_F(MouseRenderTest, WiredStreamStopsUntilReconnectAndPausesAfterAFailure) {
    StartStill(SimChannel::Wired);
    SetMode(11);
    slow_->SetLatency(kStreamCommand, 600ms);
    device_->LightTick();
    device_->LightTick();
    ASSERT_TRUE(device_->CheckLink());  // the cable has no link check
    device_->LightTick();
    EXPECT_EQ(StreamFrames(*firmware_), 2);
    slow_->SetLatency(kStreamCommand, 0ms);
    ASSERT_EQ(device_->Connect(), LinkResult::Ok);
    device_->Renderer().Stop();
    SetMode(11);  // the reconnect read the saved profile back
    device_->LightTick();
    EXPECT_EQ(StreamFrames(*firmware_), 3);

    SimFault fault;
    fault.kind = SimFaultKind::StatusFF;
    fault.command = kStreamCommand;
    firmware_->AddFault(fault);
    device_->LightTick();
    EXPECT_EQ(StreamFrames(*firmware_), 4);
    clock_.Advance(199ms);
    device_->LightTick();
    EXPECT_EQ(StreamFrames(*firmware_), 4) << "pausing";
    clock_.Advance(1ms);
    device_->LightTick();
    EXPECT_EQ(StreamFrames(*firmware_), 5);
    EXPECT_FALSE(device_->StreamState().Stopped(Channel::Cable));
}

TEST_F(MouseRenderTest, ABusyLinkDropsTheStreamChunk) {
    StartStill(SimChannel::Wired);
    SetMode(11);
    std::thread command;
    {
        std::lock_guard hold(device_->Link().ExchangeLock());
        command = std::thread([this] {
            std::array<std::uint8_t, kPowerStatusBytes> block{};
            (void)device_->Link().ReadPowerStatus(block, kPowerStatusBytes, 0);  // only waits
        });
        ASSERT_TRUE(WaitFor([this] { return device_->Link().IsBusy(); }));
        device_->LightTick();
    }
    command.join();
    EXPECT_EQ(StreamFrames(*firmware_), 0);
    EXPECT_FALSE(device_->StreamState().Stopped(Channel::Cable));
    device_->LightTick();
    EXPECT_EQ(StreamFrames(*firmware_), 1);
}

TEST_F(KeyboardRenderTest, HostColourFillsEveryKeyAndIsStreamedThroughTheLedMap) {
    StartKeyboard();
    ASSERT_EQ(device_->EnableHostLighting(true), LinkResult::Ok);
    SetMode(CVexloKeyboardDevice::kHostColourMode, 0, 2);
    EXPECT_TRUE(SamePlan(device_->Plan(), Kind::Static));
    const std::uint32_t pushed[] = {200, 100, 50, 1, 2, 3};
    device_->PushHostColour(pushed);
    device_->PushHostColour(std::span<const std::uint32_t>(pushed, 2));  // too short: ignored
    Render();
    EXPECT_EQ(device_->Leds().Get(0), (LedColour{200, 100, 50, 135}));
    EXPECT_EQ(device_->Leds().Get(169), (LedColour{200, 100, 50, 135}));
    device_->LightTick();
    // Key 3 sits at LED 21 in the fixture's map; components × 135 ÷ 256.
    EXPECT_EQ(ToHex(Slice(Memory(SimRegion::LedFrame), 3 * 21, 3)), "69 34 1a");

    firmware_->ClearLog();
    SetMode(6);
    device_->LightTick();
    EXPECT_EQ(StreamFrames(*firmware_), 0) << "the keyboard runs mode 6 itself";
}

TEST_F(KeyboardRenderTest, ZonesOverrideTheirLedsAndKeepTheModeMoving) {
    StartStill(SimChannel::Wired);
    Json::Value document = device_->Profile().Document();
    Json::Value zone;
    zone["LEDREGMode"] = 2;  // blink
    zone["LEDBrightness"] = 4;
    zone["LEDSpeed"] = 4;  // 1400 ms
    zone["LEDMultiColor"] = false;
    zone["red"] = 9;
    zone["green"] = 8;
    zone["blue"] = 7;
    document["LightList"] = Json::Value(Json::arrayValue);
    document["LightList"][5] = zone;
    device_->Profile().SetDocument(document);
    SetMode(6, 0, 4);
    EXPECT_TRUE(SamePlan(device_->Plan(), Kind::Paced, 5));
    Render();
    EXPECT_EQ(device_->Leds().Get(5), (LedColour{9, 8, 7, 255}));
    EXPECT_EQ(device_->Leds().Get(4), (LedColour{200, 100, 50, 255})) << "no zone: the mode";
    now_ += 1400ms;
    Render();
    EXPECT_EQ(device_->Leds().Get(5), LedColour{}) << "blink off phase";
}

TEST_F(KeyboardRenderTest, MusicDrawsEachPushOnceAndKeepsItsColoursInTheProfile) {
    StartKeyboard();
    const AudioLightSetting bars{0, 0, 0, 40, 255, 0, 0, 0, 0};  // blue background, red bars
    device_->SetAudioSettings(bars);
    SetMode(CVexloKeyboardDevice::kMusicMode);
    Render();  // the mode change is taken up
    Push(2000, 6);
    Render();
    EXPECT_EQ(Key(6, 0), (LedColour{0, 0, 40, 255})) << "a level of 2000 leaves the top row";
    for (int row = 1; row < 6; ++row)
        EXPECT_EQ(Key(6, row), (LedColour{255, 0, 0, 254})) << row;
    EXPECT_EQ(Key(2, 5), (LedColour{0, 0, 40, 255})) << "silent column";
    Render();  // no push since: the bar shrinks from its free end
    EXPECT_EQ(Key(6, 1).brightness, 255 * 210 / 256);
    EXPECT_EQ(Key(6, 2).brightness, 254);

    // Pushed in another mode and dropped by the change back.
    SetMode(1);
    Render();
    Push(4000);
    SetMode(CVexloKeyboardDevice::kMusicMode);
    Render();
    EXPECT_EQ(Key(6, 5), (LedColour{0, 0, 40, 255}));

    EXPECT_EQ(device_->Profile().GetAudioLightSetting(), bars);
    device_->Profile().SetAudioLightSetting({3, 1, 2, 3, 4, 5, 6, 1, 0});
    device_->ApplyProfile();
    EXPECT_EQ(device_->AudioSettings().audioMode, 3) << "applying a profile takes its colours";
}

TEST_F(KeyboardRenderTest, PushesStartTheRipplesOfAudioModeTwo) {
    StartKeyboard();
    device_->SetAudioSettings({2, 0, 0, 0, 0, 255, 0, 0, 0});
    SetMode(CVexloKeyboardDevice::kMusicMode);
    Render();
    const int origin = MusicRippleTrigger::kRippleKey;
    Push(2000);
    Push(2000);  // 25 + 25: not yet
    Render();
    EXPECT_EQ(device_->Leds().Get(origin), (LedColour{0, 0, 0, 255}));
    Push(2000);  // 75: a ripple, drawn by the next frame
    Render();
    EXPECT_EQ(device_->Leds().Get(origin), (LedColour{0, 255, 0, 255 * 210 / 256}));
    Render(2);
    EXPECT_GT(device_->Leds().Get(KeyMatrixCell(11, 2)).brightness, 0) << "the ring spreads";
}

// The render thread at full rate while the UI thread changes modes, music
// settings and levels: the sanitizers watch the hand-over.
TEST_F(KeyboardRenderTest, ModeChangesAndPushesReachTheRunningRenderer) {
    Attach(SimChannel::Wired);
    ConnectAndClear();
    const std::uint64_t before = device_->Renderer().FramesDrawn();
    for (int i = 0; i < 400; ++i) {
        const int mode = i % 3 == 0 ? CVexloKeyboardDevice::kMusicMode : i % 32;
        SetMode(mode, 4, 4, i % 2 == 0);
        if (i % 50 == 0)
            device_->SetAudioSettings({static_cast<std::uint8_t>(i / 50 % kAudioModes)});
        Push(i * 997 - 200000);
        if (i % 20 == 0) std::this_thread::sleep_for(1ms);
    }
    SetMode(CVexloKeyboardDevice::kMusicMode);
    EXPECT_TRUE(WaitFor([&] { return device_->Renderer().FramesDrawn() > before + 20; }));
    device_->CloseDevice();
}

}  // namespace
}  // namespace q731
