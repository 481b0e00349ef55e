#pragma once
// The colour buffers sent to a keyboard or mouse: three bytes (red, green,
// blue) per LED at 3 × the LED's index. LED indexes come from the device's
// LED map, so each one is checked against the buffer before it is used.

#include <cstdint>
#include <span>
#include <vector>

#include "devices/lighting/led_colours.h"

namespace q731 {

inline constexpr std::size_t kColourBufferBytes = 512;
inline constexpr int kNoLed = 255;

// Puts `colour` at 3 × `ledIndex` when all three bytes fit in `buffer`;
// returns false (and writes nothing) otherwise.
bool PutLedColour(std::span<std::uint8_t> buffer, int ledIndex, Rgb colour);

// A buffer of `bytes` (at most kColourBufferBytes) with colour i at the LED
// index `ledOf[i]`; kNoLed and indexes whose bytes do not fit are skipped.
// `shaded` scales each colour by its entry's brightness.
std::vector<std::uint8_t> BuildColourBuffer(std::span<const LedColour> colours,
                                            std::span<const int> ledOf, std::size_t bytes,
                                            bool shaded);

}  // namespace q731
