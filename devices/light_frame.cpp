#include "devices/light_frame.h"

#include <algorithm>

namespace q731 {

bool PutLedColour(std::span<std::uint8_t> buffer, int ledIndex, Rgb colour) {
    if (ledIndex < 0) return false;
    const std::size_t at = static_cast<std::size_t>(ledIndex) * 3;
    if (at + 2 >= buffer.size()) return false;
    buffer[at] = colour.red;
    buffer[at + 1] = colour.green;
    buffer[at + 2] = colour.blue;
    return true;
}

std::vector<std::uint8_t> BuildColourBuffer(std::span<const LedColour> colours,
                                            std::span<const int> ledOf, std::size_t bytes,
                                            bool shaded) {
    std::vector<std::uint8_t> buffer(std::min(bytes, kColourBufferBytes), 0);
    const std::size_t count = std::min(colours.size(), ledOf.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (ledOf[i] == kNoLed) continue;
        const LedColour& entry = colours[i];
        PutLedColour(buffer, ledOf[i],
                     shaded ? entry.Shaded() : Rgb{entry.red, entry.green, entry.blue});
    }
    return buffer;
}

}  // namespace q731
