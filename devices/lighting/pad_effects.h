#pragma once
// The mouse pad's host-side lighting: its own wave and two ripples, and the
// mode table that says which renderer draws each mode and how often. All the
// state lives here and is touched by the render thread only; a mode change
// clears it, so no counter of one mode leaks into the next.

#include <array>
#include <cstdint>

#include "devices/lighting/effects.h"
#include "devices/lighting/led_colours.h"
#include "devices/lighting/render_thread.h"
#include "platform/clock.h"
#include "profiles/profile_records.h"

namespace q731 {

enum class PadRenderer {
    Wave,
    Spectrum,
    BreatheColours,
    Static,
    Blink,
    TimedSteps,
    Ripple,
    GroupRipple,
    Off,
};

struct PadModeRow {
    int mode;
    PadRenderer renderer;
    bool moving;  // false: the picture is still and is drawn once per change
};

// clang-format off
inline constexpr std::array<PadModeRow, 9> kPadModes{{
    {0, PadRenderer::Wave,           true},
    {1, PadRenderer::Spectrum,       true},
    {2, PadRenderer::BreatheColours, true},
    {3, PadRenderer::Static,         false},
    {4, PadRenderer::Blink,          true},
    {5, PadRenderer::TimedSteps,     true},
    {6, PadRenderer::Ripple,         true},
    {7, PadRenderer::GroupRipple,    true},
    {8, PadRenderer::Off,            false},
}};
// clang-format on
inline constexpr int kPadMaxMode = 8;

// Milliseconds between frames by speed level, every mode but the timed steps
// (which run on every tick and pace themselves).
inline constexpr PacingRow kPadFrameMs = {28, 23, 18, 13, 7};

// How the render thread draws `mode` at `speedLevel`; Idle for a mode the pad
// does not have.
RenderPlan PadPlanFor(int mode, int speedLevel);

class PadEffects {
public:
    static constexpr int kColumns = 23;
    static constexpr int kIntensities = 170;
    static constexpr int kGroups = 7;
    static constexpr int kGroupColumns = 8;

    PadEffects() { Reset(); }

    // Clears every counter, the intensities and the column buffer, and sets
    // column 0 so that the ripples have a wave to move.
    void Reset();

    // One frame of `light.selectItem` (speed from `light.speed`).
    void Render(const LightSetting& light, LedColourList& leds, TimedSteps& steps, SteadyTime now);

    void ShowPadWave(const LightSetting& light, LedColourList& leds);
    void ShowPadRipple(const LightSetting& light, LedColourList& leds);
    void ShowPadGroupRipple(const LightSetting& light, LedColourList& leds);

    // LEDs of group g (0-6): g + 1 and 14 - g. LED 0 belongs to no group.
    static constexpr std::array<int, 2> GroupLeds(int group) { return {group + 1, 14 - group}; }

    EffectCounters& Counters() { return counters_; }
    const std::array<std::uint8_t, kColumns>& Columns() const { return columns_; }
    std::uint8_t Intensity(int index) const {
        return index >= 0 && index < kIntensities ? intensity_[static_cast<std::size_t>(index)]
                                                  : std::uint8_t{0};
    }

private:
    // Every third frame (then every second) lights the LEDs under set columns
    // and moves the columns one place; true when it did.
    bool StepRippleFrame(const LightSetting& light, std::size_t ledCount, int rotateCount,
                         bool rotateUp);
    Rgb RippleColour(const LightSetting& light, const LedColourList& leds, int shownLed, bool hold);

    EffectCounters counters_;
    std::uint8_t frameCounter_ = 0;  // F
    std::array<std::uint8_t, kColumns> columns_{};
    std::array<std::uint8_t, kIntensities> intensity_{};
};

}  // namespace q731
