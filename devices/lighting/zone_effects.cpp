#include "devices/lighting/zone_effects.h"

#include <algorithm>

#include "devices/lighting/effects.h"

namespace q731 {

namespace {

constexpr int kLastWheelColour = kWheelColours - 1;

int NextColour(int colour, int step) {
    const int next = colour + step;
    return next > kLastWheelColour ? 0 : next;
}

}  // namespace

bool ZoneEffects::AnyPresent(std::span<const LightSetting> zones) {
    return std::any_of(zones.begin(), zones.end(),
                       [](const LightSetting& zone) { return zone.present != 0; });
}

void ZoneEffects::Apply(std::span<const LightSetting> zones, LedColourList& leds, SteadyTime now) {
    const std::size_t count = std::min(zones.size(), leds.Size());
    if (state_.size() < count) state_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const LightSetting& zone = zones[i];
        if (zone.present == 0) continue;
        State& state = state_[i];
        const int speed = ClampLevel(zone.speed);
        const int brightness = BrightnessOfLevel(zone.brightness);
        switch (static_cast<ZoneMode>(zone.selectItem)) {
            case ZoneMode::Breathing:
                state.phase += speed + 4;
                if (state.phase > 127) {
                    state.phase -= 128;
                    state.colour = NextColour(state.colour, 1);
                }
                leds.Set(i, LedColour::Of(EffectColour(zone, state.colour),
                                          kBreathCurve128[static_cast<std::size_t>(state.phase)] *
                                              brightness / 256));
                break;
            case ZoneMode::Blink:
                if (!state.started) {
                    state = {};
                    state.started = true;
                    state.on = true;
                    state.lastToggle = now;
                } else if (now - state.lastToggle >= Millis(BlinkPeriodMs(speed))) {
                    state.on = !state.on;
                    state.lastToggle = now;
                    state.colour = NextColour(state.colour, 14);
                }
                leds.Set(i, state.on ? LedColour::Of(EffectColour(zone, state.colour), brightness)
                                     : LedColour{});
                break;
            case ZoneMode::ColourCycle:
                if (++state.frames >= kKeyboardPacing[static_cast<std::size_t>(speed)]) {
                    state.frames = 0;
                    state.colour = NextColour(state.colour, 1);
                }
                leds.Set(i, LedColour::Of(WheelColour(state.colour), brightness));
                break;
            default:
                break;  // no effect of its own
        }
    }
}

}  // namespace q731
