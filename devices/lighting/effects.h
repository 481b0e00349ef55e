#pragma once
// Host-side lighting effects: each call computes one frame into an LED colour
// list from a lighting setting and the effect's own counters. The counters are
// reset on every mode change, and every table index is taken modulo the
// table's size, so a frame can never read outside a table whatever came before.

#include <array>
#include <cstdint>
#include <mutex>
#include <random>
#include <vector>

#include "devices/lighting/led_colours.h"
#include "platform/clock.h"
#include "profiles/profile_records.h"

namespace q731 {

// Counters shared by the base effects.
struct EffectCounters {
    int position = 0;  // p
    int colour = 0;    // c
    bool blinkOn = false;
    SteadyTime lastToggle{};
};

// The seven base effects.
void BreatheColours(const LightSetting& light, EffectCounters& counters, LedColourList& leds);
void BreathePalette(const LightSetting& light, EffectCounters& counters, LedColourList& leds);
void ShowStatic(const LightSetting& light, LedColourList& leds);
void ShowSpectrum(const LightSetting& light, EffectCounters& counters, LedColourList& leds);
void ShowBlink(const LightSetting& light, EffectCounters& counters, LedColourList& leds,
               SteadyTime now);
void BlinkPalette(const LightSetting& light, EffectCounters& counters, LedColourList& leds,
                  SteadyTime now);
void ShowOff(LedColourList& leds);

// The colour an effect shows: a wheel entry with the colour-wheel flag, the
// single colour otherwise.
Rgb EffectColour(const LightSetting& light, int wheelIndex);

// The intensity decay of per-key effects, by lighting mode.
std::uint8_t DecayStep(std::uint8_t intensity, int mode);

// The mouse's own effects over its 15 LEDs in 7 groups.
class MouseEffects {
public:
    static constexpr int kLedCount = 15;
    static constexpr int kGroups = 7;
    static constexpr int kColumns = 23;

    MouseEffects() { Reset(); }

    // Clears every counter and the ripple's column buffer; the set entry starts
    // at column 0. Called whenever the mode changes.
    void Reset();

    void ShowWave(const LightSetting& light, LedColourList& leds);
    void ShowRipple(const LightSetting& light, int mode, LedColourList& leds);
    void ShowReactive(const LightSetting& light, LedColourList& leds);
    // A button press: every LED flashes in a colour drawn from `random`.
    void TriggerReactive(std::mt19937& random);

    EffectCounters& Counters() { return counters_; }
    const std::array<std::uint8_t, kColumns>& Columns() const { return columns_; }
    std::uint8_t Intensity(int index) const { return intensity_[static_cast<std::size_t>(index)]; }

private:
    struct Flash {
        std::uint8_t state = 0;  // 0 idle, 1 rising, 2 falling
        std::uint8_t intensity = 0;
        std::uint8_t wheel = 0;
    };

    EffectCounters counters_;
    std::array<std::uint8_t, kColumns> columns_{};
    std::array<std::uint8_t, 9> intensity_{};
    std::array<Flash, kLedCount> flashes_{};
};

// The groups of the mouse's LEDs, front to back.
struct MouseLedGroup {
    std::array<int, 3> leds;
    int count;
};
extern const std::array<MouseLedGroup, MouseEffects::kGroups> kMouseLedGroups;

// The timed steps count every 2 ms tick; the render thread wakes for them
// once per this many ticks and runs the missed ticks in one go (16 ms, still
// more frames than the 50 ms picture and stream show).
inline constexpr int kTimedStepTicksPerWake = 8;

// The user's custom effect: a list of timed steps, each showing one simple
// effect for its "Time" before the next begins. The list is replaced from the
// UI thread while the render thread reads it.
class TimedSteps {
public:
    void SetSteps(std::vector<LedEffectStep> steps);
    std::size_t StepCount() const;
    std::size_t CurrentStep() const;

    // Back to the first step with every frame counter cleared; the render
    // thread calls it when the mode changes.
    void ResetCounters();

    // One call per counted tick. `speedLevel` is the device's current speed
    // level, which paces the blink kind.
    void Render(LedColourList& leds, SteadyTime now, int speedLevel);
    // `ticks` calls of Render for the ticks that ended at `now`, 2 ms apart:
    // the same counters and picture as one call per tick, with one wake.
    void RenderTicks(LedColourList& leds, SteadyTime now, int speedLevel, int ticks);

private:
    mutable std::mutex mutex_;
    std::vector<LedEffectStep> steps_;
    std::size_t position_ = 0;
    bool started_ = false;
    SteadyTime stepStart_{};
    // Counters of the frames themselves; only the render thread touches them.
    int ticks_ = 0;
    int cycle_ = 0;
    int blinkColour_ = 0;
    bool blinkOn_ = false;
    SteadyTime lastToggle_{};
};

}  // namespace q731
