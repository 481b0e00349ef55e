#pragma once
// The keyboard's own per-key renderers: one frame of a lighting mode drawn
// from the per-key state into the LED colour list. Each is a function of the
// state, the lighting record and a seeded random source, so every frame can be
// reproduced. Only keys below 170 are drawn; empty table cells are skipped.

#include <random>

#include "devices/lighting/key_effects.h"
#include "devices/lighting/led_colours.h"
#include "profiles/profile_records.h"

namespace q731 {

// True when `mode` has a per-key renderer here (the others are the base
// renderers, the timed steps, the zone colours or the music and host modes).
bool HasKeyRenderer(int mode);

// One frame of `mode`; false (nothing drawn) for a mode without a renderer
// here. Modes 7, 8, 9 and 25 draw what their state holds, which nothing on
// the host raises: they stay dark.
bool RenderKeyFrame(int mode, const LightSetting& light, KeyEffects& state, LedColourList& leds,
                    std::mt19937& random);

}  // namespace q731
