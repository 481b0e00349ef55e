#include "devices/lighting/lighting_tables.h"

namespace q731 {

namespace {

constexpr std::array<std::uint8_t, 32> kRising = {
    1,  3,  5,  7,   10,  14,  18,  22,  26,  32,  38,  44,  50,  57,  65,  73,
    81, 89, 99, 109, 119, 129, 140, 152, 164, 176, 188, 200, 213, 227, 241, 255};
constexpr std::array<std::uint8_t, 32> kFalling = {
    248, 234, 220, 206, 194, 182, 170, 158, 146, 134, 124, 114, 104, 94, 85, 77,
    69,  61,  53,  47,  41,  35,  29,  24,  20,  16,  12,  8,   6,   4,  2,  0};

constexpr std::array<std::uint8_t, 64> kBreathRise = {
    0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  12,  14,  16,  18,  20,
    22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,  61,  65,  69,  73,
    77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129, 134, 140, 146, 152,
    158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255};

template <std::size_t N>
constexpr std::array<std::uint8_t, 2 * N> RiseThenFall(const std::uint8_t* rise) {
    std::array<std::uint8_t, 2 * N> curve{};
    for (std::size_t i = 0; i < N; ++i) {
        curve[i] = rise[i];
        curve[2 * N - 1 - i] = rise[i];
    }
    return curve;
}

}  // namespace

const std::array<std::uint8_t, 128> kBreathCurve128 = RiseThenFall<64>(kBreathRise.data());
// From 22 upwards: entries 16-63 of the rising half.
const std::array<std::uint8_t, 96> kBreathCurve96 = RiseThenFall<48>(kBreathRise.data() + 16);

Rgb WheelColour(int index) {
    int entry = index & 0xFF;
    if (entry >= kWheelColours) entry -= kWheelColours;
    const int sector = entry / 32;
    const std::uint8_t up = kRising[entry % 32];
    const std::uint8_t down = kFalling[entry % 32];
    switch (sector) {
        case 0:
            return {255, up, 0};
        case 1:
            return {down, 255, 0};
        case 2:
            return {0, 255, up};
        case 3:
            return {0, down, 255};
        case 4:
            return {up, 0, 255};
        default:
            return {255, 0, down};
    }
}

int StepPosition(int direction, int modulus, int position, int step) {
    if (modulus <= 0) return 0;
    if (direction == 1) {
        const int next = position + step;
        return next >= modulus ? 0 : next;
    }
    const int next = (position - step) & 0xFF;  // an 8-bit position, as the counters are
    return next >= modulus ? modulus - step : next;
}

}  // namespace q731
