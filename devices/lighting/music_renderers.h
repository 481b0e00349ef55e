#pragma once
// The keyboard's music mode: one frame of each of the seven audio modes drawn
// from the 25 music levels last pushed, the per-key state and the music
// colours, and the trigger that starts the ripples of audio mode 2 from the
// pushes themselves. Levels are untrusted 32-bit values: they are mapped in
// 64 bits, and a negative level counts as silence.

#include <array>
#include <cstdint>
#include <random>
#include <span>

#include "devices/lighting/key_effects.h"
#include "devices/lighting/led_colours.h"
#include "profiles/profile_records.h"

namespace q731 {

inline constexpr int kAudioModes = 7;
inline constexpr int kMusicLevels = KeyEffects::kMusicColumns;
using MusicLevels = std::array<std::int32_t, kMusicLevels>;

// The level values of a push: the first 25 (fewer are padded with 0).
MusicLevels TakeMusicLevels(std::span<const std::int32_t> values);

// v = 600 - x * 600 / 2000 (smaller is louder); a negative x reads as 0.
std::int64_t MusicValue(std::int64_t level);
// As MusicValue, with 500 where the mapping would be negative.
std::int64_t ClampedMusicValue(std::int64_t level);

// One frame of `audio.audioMode` from the levels in `state.musicLevels`,
// which it then clears so that each push is drawn once. False (nothing drawn)
// for an audio mode above 6.
bool RenderMusicFrame(const AudioLightSetting& audio, const LightSetting& light, KeyEffects& state,
                      LedColourList& leds, std::mt19937& random);

// Audio mode 2 starts a ripple at key 51 whenever the loudness of the pushes,
// summed push by push, reaches 71.
class MusicRippleTrigger {
public:
    static constexpr int kRippleKey = 51;
    static constexpr int kThreshold = 71;
    // Adds one push; true when it starts a ripple (the sum then starts over).
    bool Add(const MusicLevels& levels);
    int Sum() const { return sum_; }

private:
    int sum_ = 0;
};

}  // namespace q731
