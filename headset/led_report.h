#pragma once
// The headset's LED colours travel as HID output reports of its own, twelve
// per frame: for each colour channel, LEDs 0-6 and LEDs 7-12, to each of the
// chip's two register banks (both get the same values).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "devices/lighting/led_colours.h"

namespace q731 {

inline constexpr std::size_t kHeadsetLeds = 13;
inline constexpr std::size_t kHeadsetReportBytes = 17;
inline constexpr std::size_t kHeadsetReportsPerFrame = 12;
inline constexpr std::uint8_t kHeadsetReportId = 0xFF;
// The LED driver takes channel values up to this.
inline constexpr std::uint8_t kHeadsetMaxLevel = 247;

using HeadsetReport = std::array<std::uint8_t, kHeadsetReportBytes>;
using HeadsetFrame = std::array<HeadsetReport, kHeadsetReportsPerFrame>;

// What LED `led` is driven with on channel `channel` (0 red, 1 green, 2 blue):
// the colour byte scaled by the brightness, at most kHeadsetMaxLevel.
std::uint8_t HeadsetLevel(const LedColour& colour, int channel);

// The twelve reports for `leds` (missing LEDs are dark). Reports are built in
// one buffer in order, as the headset has always been sent them: a report for
// LEDs 7-12 carries only six values, and its byte 10 still holds the value of
// LED 6 from the report before it.
HeadsetFrame BuildHeadsetFrame(std::span<const LedColour> leds);

}  // namespace q731
