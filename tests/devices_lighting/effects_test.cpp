#include "devices/lighting/effects.h"

#include <gtest/gtest.h>

#include <set>

namespace q731 {
namespace {

using namespace std::chrono_literals;

LightSetting Light(int brightness, int speed, int direction, int multiColor) {
    LightSetting light;
    light.brightness = static_cast<std::uint8_t>(brightness);
    light.speed = static_cast<std::uint8_t>(speed);
    light.direction = static_cast<std::uint8_t>(direction);
    light.multiColor = static_cast<std::uint8_t>(multiColor);
    light.red = 10;
    light.green = 200;
    light.blue = 30;
    return light;
}

TEST(LightingTables, WheelRampsAndRepeats) {
    EXPECT_EQ(WheelColour(0), (Rgb{255, 1, 0}));
    EXPECT_EQ(WheelColour(31), (Rgb{255, 255, 0}));
    EXPECT_EQ(WheelColour(32), (Rgb{248, 255, 0}));
    EXPECT_EQ(WheelColour(96), (Rgb{0, 248, 255}));
    EXPECT_EQ(WheelColour(191), (Rgb{255, 0, 0}));
    for (int i = 192; i < 256; ++i)
        EXPECT_EQ(WheelColour(i), WheelColour(i - 192)) << i;
    EXPECT_EQ(kBreathCurve128[63], 255);
    EXPECT_EQ(kBreathCurve128[64], 255);
    EXPECT_EQ(kBreathCurve128[127], 0);
    EXPECT_EQ(kBreathCurve96[0], 22);
    EXPECT_EQ(kBreathCurve96[95], 22);
    EXPECT_EQ(BlinkPeriodMs(4), 1400);
    EXPECT_EQ(BrightnessOfLevel(9), 255) << "levels beyond 4 clamp";
}

TEST(LightingTables, StepPositionWrapsBothWaysAndFromBeyondTheModulus) {
    EXPECT_EQ(StepPosition(1, 192, 190, 1), 191);
    EXPECT_EQ(StepPosition(1, 192, 191, 1), 0);
    EXPECT_EQ(StepPosition(0, 192, 0, 1), 191);
    EXPECT_EQ(StepPosition(0, 192, 5, 1), 4);
    EXPECT_EQ(StepPosition(1, 128, 150, 1), 0) << "arrived above the modulus";
    EXPECT_EQ(StepPosition(0, 128, 150, 1), 127);
    EXPECT_EQ(StepPosition(1, 96, 250, 12), 0);
}

TEST(BaseEffects, BrightnessZeroIsAlwaysBlack) {
    LedColourList leds(15);
    EffectCounters counters;
    const auto now = SteadyTime{} + 1h;
    for (int multi = 0; multi < 2; ++multi) {
        const LightSetting light = Light(0, 2, 1, multi);
        for (int frame = 0; frame < 300; ++frame) {
            BreatheColours(light, counters, leds);
            for (const LedColour& led : leds.Snapshot())
                ASSERT_EQ(led.Shaded(), Rgb{});
            ShowSpectrum(light, counters, leds);
            for (const LedColour& led : leds.Snapshot())
                ASSERT_EQ(led.Shaded(), Rgb{});
            ShowBlink(light, counters, leds, now + Millis(frame * 100));
            for (const LedColour& led : leds.Snapshot())
                ASSERT_EQ(led.Shaded(), Rgb{});
        }
    }
}

TEST(BaseEffects, BreathingVisitsThirteenWheelColoursAndReturns) {
    LedColourList leds(1);
    EffectCounters counters;
    const LightSetting light = Light(4, 0, 1, 1);
    std::vector<int> visited;
    for (int frame = 0; frame < 128 * 14; ++frame) {
        BreatheColours(light, counters, leds);
        if (counters.position == 0) visited.push_back(counters.colour);
    }
    const std::vector<int> expected = {16, 32, 48, 64, 80, 96, 112, 128, 144, 160, 176, 192, 0, 16};
    EXPECT_EQ(visited, expected);
    EXPECT_EQ(WheelColour(192), WheelColour(0));
}

TEST(BaseEffects, SpectrumWalksBackwardsWithDirectionZero) {
    LedColourList leds(2);
    EffectCounters counters;
    ShowSpectrum(Light(4, 0, 0, 0), counters, leds);
    EXPECT_EQ(counters.position, 191);
    EXPECT_EQ(leds.Get(1), LedColour::Of(WheelColour(191), 255));
}

TEST(BaseEffects, BlinkAtSpeedFourTogglesEvery1400Ms) {
    LedColourList leds(3);
    EffectCounters counters;
    counters.lastToggle = SteadyTime{} + 1h;
    const LightSetting light = Light(4, 4, 0, 0);
    std::vector<int> toggles;
    bool on = counters.blinkOn;
    for (int ms = 0; ms <= 5000; ms += 10) {
        ShowBlink(light, counters, leds, SteadyTime{} + 1h + Millis(ms));
        if (counters.blinkOn != on) {
            toggles.push_back(ms);
            on = counters.blinkOn;
            EXPECT_EQ(leds.Get(0).brightness, on ? 255 : 0);
        }
    }
    EXPECT_EQ(toggles, (std::vector<int>{1400, 2800, 4200}));
}

TEST(BaseEffects, PaletteEffectsStayInsideThePaletteWhateverTheyInherit) {
    LedColourList leds(1);
    EffectCounters stale;
    stale.position = 250;
    stale.colour = 200;  // left by another mode
    for (int frame = 0; frame < 2000; ++frame) {
        BreathePalette(Light(4, 1, frame % 2, 0), stale, leds);
        BlinkPalette(Light(4, 4, 0, 0), stale, leds, SteadyTime{} + Millis(frame * 700));
        const LedColour led = leds.Get(0);
        if (led.brightness == 0) continue;
        const Rgb colour{led.red, led.green, led.blue};
        EXPECT_NE(std::find(kPalette.begin(), kPalette.end(), colour), kPalette.end());
    }
}

TEST(MouseEffects, RippleColumnCycleTakes23Frames) {
    MouseEffects mouse;
    LedColourList leds(MouseEffects::kLedCount);
    const LightSetting light = Light(4, 0, 1, 1);
    const auto start = mouse.Columns();
    int firstLitGroup6 = -1;
    for (int frame = 1; frame <= 23; ++frame) {
        mouse.ShowRipple(light, 9, leds);
        if (frame < 23) {
            EXPECT_NE(mouse.Columns(), start) << frame;
        }
        if (firstLitGroup6 < 0 && mouse.Intensity(6) > 0) firstLitGroup6 = frame;
    }
    EXPECT_EQ(mouse.Columns(), start);
    EXPECT_EQ(firstLitGroup6, 7) << "the set column walks through groups 0-6";
    mouse.Reset();
    EXPECT_EQ(mouse.Columns()[0], 1);
}

TEST(MouseEffects, ReactiveFlashRisesFallsAndDies) {
    MouseEffects mouse;
    LedColourList leds(MouseEffects::kLedCount);
    std::mt19937 random(7);
    const LightSetting light = Light(4, 0, 0, 1);
    mouse.ShowReactive(light, leds);
    EXPECT_EQ(leds.Get(0).brightness, 0) << "nothing before a press";
    mouse.TriggerReactive(random);
    mouse.ShowReactive(light, leds);
    EXPECT_EQ(leds.Get(14).brightness, 255 * 255 / 256);
    int frames = 1;
    while (leds.Get(0).brightness != 0 && frames < 100) {
        mouse.ShowReactive(light, leds);
        ++frames;
    }
    EXPECT_EQ(frames, 18);
}

TEST(MouseEffects, WaveSpreadsTheWheelOverGroups) {
    MouseEffects mouse;
    LedColourList leds(MouseEffects::kLedCount);
    mouse.ShowWave(Light(4, 0, 1, 1), leds);
    EXPECT_EQ(leds.Get(0), LedColour::Of(WheelColour(2), 255));
    EXPECT_EQ(leds.Get(13), leds.Get(0));
    EXPECT_EQ(leds.Get(1), LedColour::Of(WheelColour(9), 255));
    EXPECT_EQ(leds.Get(7), LedColour::Of(WheelColour(44), 255));
}

TEST(TimedSteps, EmptyListShowsOffAndStepsAdvanceAfterTheirTime) {
    TimedSteps steps;
    LedColourList leds(4);
    leds.Fill(LedColour{1, 2, 3, 4});
    const auto t0 = SteadyTime{} + 1h;
    steps.Render(leds, t0, 0);
    EXPECT_EQ(leds.Get(3), LedColour{});

    LedEffectStep first;
    first.light = Light(4, 0, 0, 0);
    first.light.selectItem = 1;  // steady single colour
    first.time = 500;
    LedEffectStep second = first;
    second.light.selectItem = 5;  // colour cycle
    steps.SetSteps({first, second});
    steps.Render(leds, t0, 0);
    EXPECT_EQ(leds.Get(0), LedColour::Of({10, 200, 30}, 255));
    steps.Render(leds, t0 + 500ms, 0);
    EXPECT_EQ(steps.CurrentStep(), 0u) << "advances only after more than Time";
    steps.Render(leds, t0 + 501ms, 0);
    EXPECT_EQ(steps.CurrentStep(), 1u);
    steps.Render(leds, t0 + 600ms, 0);
    EXPECT_NE(leds.Get(0), LedColour::Of({10, 200, 30}, 255));
    steps.Render(leds, t0 + 1200ms, 0);
    EXPECT_EQ(steps.CurrentStep(), 0u) << "wraps after the last step";
}

TEST(TimedSteps, EveryKindDrawsAndUnknownKindsDrawNothing) {
    for (int kind : {0, 1, 2, 4, 5}) {
        TimedSteps steps;
        LedEffectStep step;
        step.light = Light(4, 4, 1, kind % 2);
        step.light.selectItem = static_cast<std::uint8_t>(kind);
        step.time = 100000;
        steps.SetSteps({step});
        LedColourList leds(15);
        bool lit = false;
        for (int tick = 0; tick < 2000; ++tick) {
            steps.Render(leds, SteadyTime{} + Millis(2 * tick), 4);
            for (const LedColour& led : leds.Snapshot())
                lit = lit || led.brightness > 0;
        }
        EXPECT_TRUE(lit) << "kind " << kind;
    }
    TimedSteps steps;
    LedEffectStep odd;
    odd.light.selectItem = 3;
    steps.SetSteps({odd});
    LedColourList leds(2);
    leds.Fill(LedColour{9, 9, 9, 9});
    steps.Render(leds, SteadyTime{}, 0);
    EXPECT_EQ(leds.Get(0), (LedColour{9, 9, 9, 9}));
}

// Every effect with every speed, direction and colour flag, including values no
// page would offer, for 2,000 frames: must stay inside its tables (run under
// the sanitizers) and never light an LED beyond the list.
TEST(EffectsSweep, HostileSettingsNeverEscapeTheTables) {
    const int speeds[] = {0, 1, 2, 3, 4, 9, 255};
    for (int effect = 0; effect < 10; ++effect) {
        for (int speed : speeds) {
            for (int direction : {0, 1, 7}) {
                for (int multi : {0, 1}) {
                    const LightSetting light = Light(speed, speed, direction, multi);
                    LedColourList leds(MouseEffects::kLedCount);
                    MouseEffects mouse;
                    EffectCounters counters{200, 250, false, {}};
                    std::mt19937 random(effect);
                    for (int frame = 0; frame < 2000; ++frame) {
                        const auto now = SteadyTime{} + Millis(frame * 37);
                        switch (effect) {
                            case 0:
                                BreatheColours(light, counters, leds);
                                break;
                            case 1:
                                BreathePalette(light, counters, leds);
                                break;
                            case 2:
                                ShowStatic(light, leds);
                                break;
                            case 3:
                                ShowSpectrum(light, counters, leds);
                                break;
                            case 4:
                                ShowBlink(light, counters, leds, now);
                                break;
                            case 5:
                                BlinkPalette(light, counters, leds, now);
                                break;
                            case 6:
                                mouse.ShowWave(light, leds);
                                break;
                            case 7:
                                mouse.ShowRipple(light, 9, leds);
                                break;
                            case 8:
                                if (frame % 40 == 0) mouse.TriggerReactive(random);
                                mouse.ShowReactive(light, leds);
                                break;
                            default:
                                ShowOff(leds);
                                break;
                        }
                    }
                    ASSERT_EQ(leds.Size(), 15u);
                }
            }
        }
    }
}

}  // namespace
}  // namespace q731
