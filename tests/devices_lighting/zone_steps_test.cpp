// Zone light settings over a mode's picture, and timed steps run in batches
// of ticks giving the same picture as one call per tick.

#include <gtest/gtest.h>

#include "devices/lighting/effects.h"
#include "devices/lighting/zone_effects.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

LightSetting Zone(ZoneMode mode, int speed, bool wheel) {
    LightSetting zone;
    zone.selectItem = static_cast<std::uint8_t>(mode);
    zone.brightness = 4;
    zone.speed = static_cast<std::uint8_t>(speed);
    zone.multiColor = wheel ? 1 : 0;
    zone.red = 10;
    zone.green = 20;
    zone.blue = 30;
    zone.present = 1;
    return zone;
}

TEST(ZoneEffects, EachModeMovesItsOwnLedAndAbsentZonesLeaveTheirsAlone) {
    std::vector<LightSetting> zones(4);
    zones[0] = Zone(ZoneMode::Breathing, 4, false);   // phase +8 a frame
    zones[1] = Zone(ZoneMode::ColourCycle, 0, true);  // one colour per 5 frames
    zones[2] = Zone(ZoneMode::Blink, 4, true);
    LedColourList leds(3);  // fewer LEDs than zones: the last is ignored
    leds.Fill({1, 2, 3, 4});
    zones[3] = Zone(ZoneMode::Blink, 0, false);
    ZoneEffects effects;
    SteadyTime now{};
    std::vector<int> breath;
    for (int frame = 0; frame < 17; ++frame) {
        effects.Apply(zones, leds, now);
        breath.push_back(leds.Get(0).brightness);
        now += 100ms;
    }
    EXPECT_EQ(breath[0], kBreathCurve128[8] * 255 / 256);
    EXPECT_EQ(breath[14], kBreathCurve128[120] * 255 / 256);
    EXPECT_EQ(breath[15], kBreathCurve128[0] * 255 / 256) << "overflow past 127 wraps";
    EXPECT_EQ(leds.Get(1), LedColour::Of(WheelColour(3), 255)) << "17 frames: 3 colour steps";
    EXPECT_EQ(leds.Get(2), LedColour{}) << "blink at speed 4: off from 1400 ms";

    std::vector<LightSetting> absent(1);
    LedColourList one(1);
    one.Set(0, {7, 7, 7, 7});
    effects.Apply(absent, one, now);
    EXPECT_EQ(one.Get(0), (LedColour{7, 7, 7, 7}));
    EXPECT_FALSE(ZoneEffects::AnyPresent(absent));
    EXPECT_TRUE(ZoneEffects::AnyPresent(zones));
}

TEST(TimedStepBatches, ABatchOfTicksEqualsOneCallPerTickForEveryKind) {
    for (int kind : {0, 1, 2, 4, 5, 7}) {
        SCOPED_TRACE(kind);
        LedEffectStep step;
        step.light = Zone(ZoneMode::Breathing, 4, true);
        step.light.selectItem = static_cast<std::uint8_t>(kind);
        step.light.direction = 1;
        step.time = 300;
        LedEffectStep other = step;
        other.light.selectItem = 5;
        TimedSteps perTick;
        TimedSteps batched;
        perTick.SetSteps({step, other});
        batched.SetSteps({step, other});
        LedColourList a(15);
        LedColourList b(15);
        SteadyTime now = SteadyTime{} + 1h;
        for (int wake = 0; wake < 300; ++wake) {
            for (int tick = 0; tick < kTimedStepTicksPerWake; ++tick) {
                now += Millis(kTickMs);
                perTick.Render(a, now, 4);
            }
            batched.RenderTicks(b, now, 4, kTimedStepTicksPerWake);
            ASSERT_EQ(a.Snapshot(), b.Snapshot()) << "wake " << wake;
            ASSERT_EQ(perTick.CurrentStep(), batched.CurrentStep());
        }
    }
}

}  // namespace
}  // namespace q731
