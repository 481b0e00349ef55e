#pragma once
// Colour and timing tables shared by every lighting effect.

#include <array>
#include <cstdint>

namespace q731 {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr int kLevels = 5;  // brightness and speed levels 0-4
inline constexpr std::array<std::uint8_t, kLevels> kBrightnessByLevel = {0, 80, 135, 195, 255};
// Blink half-period by speed level, in units of 200 ms.
inline constexpr std::array<int, kLevels> kBlinkPeriodBy200Ms = {28, 23, 18, 13, 7};
inline constexpr int kWheelColours = 192;

// Levels from profiles and devices are untrusted: every lookup clamps to 0-4.
constexpr int ClampLevel(int level) {
    return level < 0 ? 0 : (level > 4 ? 4 : level);
}
constexpr std::uint8_t BrightnessOfLevel(int level) {
    return kBrightnessByLevel[ClampLevel(level)];
}
constexpr int BlinkPeriodMs(int speedLevel) {
    return kBlinkPeriodBy200Ms[ClampLevel(speedLevel)] * 200;
}

// Wheel entry for any 8-bit index (192-255 repeat 0-63).
Rgb WheelColour(int index);

inline constexpr std::array<Rgb, 4> kPalette = {
    {{0, 255, 180}, {0, 255, 0}, {255, 255, 255}, {255, 0, 0}}};

extern const std::array<std::uint8_t, 128> kBreathCurve128;
extern const std::array<std::uint8_t, 96> kBreathCurve96;

// Frame pacing: ticks between frames by speed level.
using PacingRow = std::array<int, kLevels>;
inline constexpr PacingRow kMousePacing = {28, 23, 18, 13, 7};
inline constexpr PacingRow kKeyboardPacing = {5, 4, 3, 2, 1};
inline constexpr PacingRow kSlowPacing = {20, 12, 8, 5, 2};
inline constexpr PacingRow kCornerPacing = {7, 6, 5, 4, 3};
inline constexpr PacingRow kHostFillPacing = {2, 0, 0, 0, 0};
// One tick is 2 ms of the system millisecond counter.
inline constexpr int kTickMs = 2;

// Moves `position` one `step` along a ring of `modulus` entries: forwards for
// direction 1, backwards otherwise. A position at or above the modulus (it can
// arrive from elsewhere) wraps like one that reached it.
int StepPosition(int direction, int modulus, int position, int step);

}  // namespace q731
