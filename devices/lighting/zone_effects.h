#pragma once
// Zone light settings: one lighting record per LED that, when its presence
// flag is set, overrides what the device's mode drew for that LED with an
// effect of its own (breathing, blink or a colour cycle). The records are
// read under the LED-record lock by the caller; the per-LED state lives here
// and is touched by the render thread only.

#include <cstdint>
#include <span>
#include <vector>

#include "devices/lighting/led_colours.h"
#include "platform/clock.h"
#include "profiles/profile_records.h"

namespace q731 {

enum class ZoneMode : int { Breathing = 0, Blink = 2, ColourCycle = 3 };

class ZoneEffects {
public:
    void Reset() { state_.clear(); }

    // One pass over `zones` (entry i belongs to LED i; entries past the LED
    // list are ignored). Zones without the presence flag leave their LED alone.
    void Apply(std::span<const LightSetting> zones, LedColourList& leds, SteadyTime now);

    // True when any record has its presence flag.
    static bool AnyPresent(std::span<const LightSetting> zones);

private:
    struct State {
        int phase = 0;
        int colour = 0;
        int frames = 0;
        bool on = false;
        bool started = false;
        SteadyTime lastToggle{};
    };
    std::vector<State> state_;
};

}  // namespace q731
