#include "headset/led_report.h"

#include <algorithm>

namespace q731 {

namespace {

constexpr std::uint8_t kBanks[] = {0x22, 0x44};
constexpr std::uint8_t kFirstGroupRegister = 0xAA;   // + channel: LEDs 0-6
constexpr std::uint8_t kSecondGroupRegister = 0xAD;  // + channel: LEDs 7-12
constexpr std::size_t kFirstValue = 4;
constexpr std::size_t kGroupSize = 7;

}  // namespace

std::uint8_t HeadsetLevel(const LedColour& colour, int channel) {
    const int byte = channel == 0 ? colour.red : (channel == 1 ? colour.green : colour.blue);
    return static_cast<std::uint8_t>(
        std::min(byte * colour.brightness / 256, int{kHeadsetMaxLevel}));
}

HeadsetFrame BuildHeadsetFrame(std::span<const LedColour> leds) {
    HeadsetFrame frame{};
    HeadsetReport buffer{};
    buffer[0] = kHeadsetReportId;
    std::size_t next = 0;
    for (int channel = 0; channel < 3; ++channel) {
        for (const std::uint8_t bank : kBanks) {
            for (std::size_t group = 0; group < 2; ++group) {
                buffer[1] = bank;
                buffer[2] = static_cast<std::uint8_t>(
                    (group == 0 ? kFirstGroupRegister : kSecondGroupRegister) + channel);
                const std::size_t first = group * kGroupSize;
                const std::size_t count = std::min(kGroupSize, kHeadsetLeds - first);
                for (std::size_t i = 0; i < count; ++i) {
                    const std::size_t led = first + i;
                    buffer[kFirstValue + i] =
                        led < leds.size() ? HeadsetLevel(leds[led], channel) : 0;
                }
                frame[next++] = buffer;
            }
        }
    }
    return frame;
}

}  // namespace q731
