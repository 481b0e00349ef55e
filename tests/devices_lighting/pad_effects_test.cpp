#include "devices/lighting/pad_effects.h"

#include <gtest/gtest.h>

namespace q731 {
namespace {

constexpr int kPadLeds = 15;

LightSetting Light(int mode, int direction, bool multi, int brightness = 4, int speed = 2) {
    LightSetting light;
    light.selectItem = static_cast<std::uint8_t>(mode);
    light.brightness = static_cast<std::uint8_t>(brightness);
    light.speed = static_cast<std::uint8_t>(speed);
    light.direction = static_cast<std::uint8_t>(direction);
    light.multiColor = multi ? 1 : 0;
    light.red = 10;
    light.green = 200;
    light.blue = 30;
    return light;
}

Rgb ColourOf(const LedColour& led) {
    return {led.red, led.green, led.blue};
}

TEST(PadPlanTest, StillModesDrawOnceAndMovingModesFollowTheSpeedRow) {
    EXPECT_EQ(PadPlanFor(3, 2).kind, RenderPlan::Kind::Static);
    EXPECT_EQ(PadPlanFor(8, 0).kind, RenderPlan::Kind::Static);
    EXPECT_EQ(PadPlanFor(9, 2).kind, RenderPlan::Kind::Idle);
    EXPECT_EQ(PadPlanFor(-1, 2).kind, RenderPlan::Kind::Idle);
    // 28, 23, 18, 13, 7 ms in ticks of 2 ms, never early.
    const int expected[] = {14, 12, 9, 7, 4};
    for (int speed = 0; speed < 5; ++speed) {
        const RenderPlan plan = PadPlanFor(0, speed);
        EXPECT_EQ(plan.kind, RenderPlan::Kind::Paced);
        EXPECT_EQ(plan.ticks, expected[speed]) << "speed " << speed;
    }
    EXPECT_EQ(PadPlanFor(6, 200).ticks, 4);  // an out-of-range level is clamped
    EXPECT_EQ(PadPlanFor(5, 0).ticks, 1);    // timed steps run on every tick
}

TEST(PadWaveTest, ColourWheelWaveStepsSevenEntriesPerLed) {
    PadEffects effects;
    LedColourList leds(kPadLeds);
    effects.ShowPadWave(Light(0, 1, true), leds);
    EXPECT_EQ(effects.Counters().position, 1);
    for (int i = 0; i < kPadLeds; ++i) {
        EXPECT_EQ(ColourOf(leds.Get(static_cast<std::size_t>(i))), WheelColour(2 + 7 * i)) << i;
        EXPECT_EQ(leds.Get(static_cast<std::size_t>(i)).brightness, 255);
    }
    // Backwards from 0 the wave starts at the end of the wheel.
    PadEffects backwards;
    backwards.ShowPadWave(Light(0, 0, true), leds);
    EXPECT_EQ(backwards.Counters().position, 191);
    EXPECT_EQ(ColourOf(leds.Get(0)), WheelColour(0));
    EXPECT_EQ(ColourOf(leds.Get(1)), WheelColour(7));
}

TEST(PadWaveTest, SingleColourWaveRunsTheBrightnessAlongThe96StepCurve) {
    PadEffects effects;
    LedColourList leds(kPadLeds);
    const LightSetting light = Light(0, 1, false, 3);
    effects.Counters().position = 94;
    effects.ShowPadWave(light, leds);
    EXPECT_EQ(effects.Counters().position, 95);
    for (int i = 0; i < kPadLeds; ++i) {
        const LedColour led = leds.Get(static_cast<std::size_t>(i));
        EXPECT_EQ(ColourOf(led), (Rgb{10, 200, 30}));
        EXPECT_EQ(led.brightness,
                  195 * kBreathCurve96[static_cast<std::size_t>((96 + 7 * i) % 96)] / 256);
    }
    effects.ShowPadWave(light, leds);
    EXPECT_EQ(effects.Counters().position, 0);
}

// The LED whose intensity was just set to 255 (the brightest), or -1.
int FreshLed(const PadEffects& effects, int count) {
    int best = -1;
    for (int i = 0; i < count; ++i) {
        if (effects.Intensity(i) > 200 &&
            (best < 0 || effects.Intensity(i) > effects.Intensity(best)))
            best = i;
    }
    return best;
}

TEST(PadRippleTest, TheWaveWalksAlongTheLedsEverySecondFrame) {
    for (int direction : {1, 0}) {
        PadEffects effects;
        LedColourList leds(kPadLeds);
        const LightSetting light = Light(6, direction, false);
        std::vector<int> lit;
        for (int frame = 0; frame < 2 + 2 * 23; ++frame) {
            effects.ShowPadRipple(light, leds);
            if (frame >= 2 && frame % 2 == 0) lit.push_back(FreshLed(effects, kPadLeds));
        }
        ASSERT_EQ(lit.size(), 23u);
        std::vector<int> expected;
        for (int step = 0; step < 23; ++step) {
            // Up: column 0, 1, 2, ...; down: 0, 22, 21, ...; columns past
            // the last LED light nothing.
            const int column = direction == 1 ? step : (23 - step) % 23;
            expected.push_back(column < kPadLeds ? column : -1);
        }
        EXPECT_EQ(lit, expected) << "direction " << direction;
        const LedColour head = leds.Get(static_cast<std::size_t>(direction == 1 ? 1 : 0));
        EXPECT_EQ(ColourOf(head), (Rgb{10, 200, 30}));
    }
}

TEST(PadRippleTest, RippleLedsHoldTheirColoursWhileTheLeadLedIsLit) {
    PadEffects effects;
    LedColourList leds(kPadLeds);
    const LightSetting light = Light(6, 1, true);
    effects.ShowPadRipple(light, leds);
    effects.ShowPadRipple(light, leds);
    const std::vector<LedColour> before = leds.Snapshot();
    effects.ShowPadRipple(light, leds);  // LED 0 lights up: colours are held
    ASSERT_GT(effects.Intensity(0), 0);
    for (int i = 0; i < kPadLeds; ++i)
        EXPECT_EQ(ColourOf(leds.Get(static_cast<std::size_t>(i))),
                  ColourOf(before[static_cast<std::size_t>(i)]));
    EXPECT_GT(leds.Get(0).brightness, 0);
}

TEST(PadRippleTest, GroupRippleLightsBothLedsOfAPairAndNeverLedZero) {
    for (int direction : {1, 0}) {
        PadEffects effects;
        LedColourList leds(kPadLeds);
        const LightSetting light = Light(7, direction, true);
        bool anyLit = false;
        for (int frame = 0; frame < 60; ++frame) {
            effects.ShowPadGroupRipple(light, leds);
            EXPECT_EQ(leds.Get(0), LedColour{}) << "frame " << frame;
            for (int g = 0; g < PadEffects::kGroups; ++g) {
                const auto pair = PadEffects::GroupLeds(g);
                const LedColour first = leds.Get(static_cast<std::size_t>(pair[0]));
                EXPECT_EQ(first, leds.Get(static_cast<std::size_t>(pair[1])));
                EXPECT_EQ(first.brightness, 255 * effects.Intensity(g) / 256);
                anyLit = anyLit || first.brightness > 0;
            }
        }
        EXPECT_TRUE(anyLit) << "direction " << direction;
    }
    EXPECT_EQ(PadEffects::GroupLeds(0), (std::array<int, 2>{1, 14}));
    EXPECT_EQ(PadEffects::GroupLeds(6), (std::array<int, 2>{7, 8}));
}

// Every mode, speed, direction and colour flag, with levels out of range and
// lists shorter and longer than the pad's, for 2,000 frames: no frame writes
// outside its list and no LED is brighter than its level allows.
TEST(PadInvariantSweep, EveryModeStaysInsideItsListAndItsBrightness) {
    TimedSteps steps;
    LedEffectStep step;
    step.light = Light(4, 1, true);
    step.time = 30;
    steps.SetSteps({step});
    SteadyTime now{};
    for (int ledCount : {0, kPadLeds, 40}) {
        for (int mode = 0; mode <= 9; ++mode) {
            for (int speed : {0, 4, 7}) {
                for (int direction : {0, 1, 5}) {
                    for (bool multi : {false, true}) {
                        const int brightness = (mode + speed) % 6 == 5 ? 9 : (mode + speed) % 5;
                        const LightSetting light = Light(mode, direction, multi, brightness, speed);
                        PadEffects effects;
                        LedColourList leds(static_cast<std::size_t>(ledCount));
                        const int limit = mode == 5 ? 255 : BrightnessOfLevel(brightness);
                        for (int frame = 0; frame < 2000; ++frame) {
                            now += Millis(7);
                            effects.Render(light, leds, steps, now);
                            if (frame % 97 != 0) continue;
                            for (const LedColour& led : leds.Snapshot())
                                ASSERT_LE(led.brightness, limit)
                                    << "mode " << mode << " speed " << speed << " frame " << frame;
                            ASSERT_GE(effects.Counters().position, 0);
                            ASSERT_LT(effects.Counters().position, 256);
                        }
                    }
                }
            }
        }
    }
}

TEST(PadEffectsTest, BrightnessZeroIsBlackInEveryMode) {
    TimedSteps steps;
    for (int mode = 0; mode <= 8; ++mode) {
        if (mode == 5) continue;  // timed steps carry their own brightness
        PadEffects effects;
        LedColourList leds(kPadLeds);
        SteadyTime now{};
        for (int frame = 0; frame < 300; ++frame) {
            now += Millis(20);
            effects.Render(Light(mode, 1, frame % 2 == 0, 0), leds, steps, now);
            for (const LedColour& led : leds.Snapshot())
                ASSERT_EQ(led.Shaded(), (Rgb{})) << "mode " << mode;
        }
    }
}

}  // namespace
}  // namespace q731
