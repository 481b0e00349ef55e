#include "devices/lighting/key_effects.h"

#include "devices/lighting/key_effect_tables.h"
#include "devices/lighting/keyboard_layout.h"

namespace q731 {

using namespace key_effects;

void KeyEffects::Clear() {
    position = 0;
    frame = 0;
    intensity.fill(0);
    colour.fill(0);
    reactive.fill(0);
    a.fill(0);
    b.fill(0);
    c.fill(0);
    d.fill(0);
    ClearMusic();
}

void KeyEffects::ClearMusic() {
    musicLevels.fill(0);
    peaks.fill(1);
}

void KeyEffects::Decay(int key, int kind) {
    if (!IsKey(key)) return;
    std::uint8_t& v = intensity[static_cast<std::size_t>(key)];
    int step = 0;
    if (v == 0) return;
    if (v <= 16) {
        step = 1;
    } else if (kind == 0) {
        step = v >= 128 ? 40 : v >= 64 ? 30 : v >= 32 ? 15 : 8;
    } else if (kind == 11 || kind == 21) {
        step = v >= 144   ? 45
               : v >= 128 ? 40
               : v >= 112 ? 35
               : v >= 96  ? 30
               : v >= 80  ? 25
               : v >= 64  ? 20
               : v >= 32  ? 10
                          : 5;
    } else {
        step = v >= 128 ? 40 : v >= 64 ? 30 : v >= 32 ? 10 : 8;
    }
    v = static_cast<std::uint8_t>(v - step);
}

std::uint8_t KeyEffects::Combined(int column) const {
    if (column < 0 || column >= kColumns) return 0;
    const auto i = static_cast<std::size_t>(column);
    return static_cast<std::uint8_t>(a[i] | b[i] | c[i] | d[i]);
}

void KeyEffects::SetAll(int column, std::uint8_t bits) {
    if (column < 0 || column >= kColumns) return;
    const auto i = static_cast<std::size_t>(column);
    a[i] |= bits;
    b[i] |= bits;
    c[i] |= bits;
    d[i] |= bits;
}

void KeyEffects::Ignite(bool multiColor, std::mt19937& random) {
    for (int column = 0; column < kColumns; ++column) {
        const std::uint8_t bits = Combined(column);
        // Bits 6 and 7 stand for no row: they are start points, never keys.
        for (int row = 0; row < kKeyMatrixRows; ++row) {
            if ((bits & (1u << row)) == 0) continue;
            const int key = KeyMatrixCell(column, row);
            if (!IsKey(key)) continue;
            intensity[static_cast<std::size_t>(key)] = 255;
            if (multiColor)
                colour[static_cast<std::size_t>(key)] = static_cast<std::uint8_t>(random() % 192);
        }
    }
}

void KeyEffects::Spread() {
    const Wave oldA = a, oldB = b, oldC = c, oldD = d;
    const auto at = [](const Wave& wave, int column) -> unsigned {
        return column < 0 || column >= kColumns ? 0u : wave[static_cast<std::size_t>(column)];
    };
    for (int k = 0; k < kColumns; ++k) {
        const auto i = static_cast<std::size_t>(k);
        a[i] = static_cast<std::uint8_t>((at(oldA, k) >> 1) | at(oldA, k + 1));
        b[i] = static_cast<std::uint8_t>((at(oldB, k) >> 1) | at(oldB, k - 1));
        c[i] = static_cast<std::uint8_t>((at(oldC, k) << 1) | at(oldC, k - 1));
        d[i] = static_cast<std::uint8_t>((at(oldD, k) << 1) | at(oldD, k + 1));
    }
}

void KeyEffects::Slide() {
    const Wave oldB = b, oldD = d;
    for (int k = 0; k < kColumns; ++k) {
        const auto i = static_cast<std::size_t>(k);
        b[i] = k > 0 ? oldB[i - 1] : 0;
        d[i] = k + 1 < kColumns ? oldD[i + 1] : 0;
    }
    a.fill(0);
    c.fill(0);
}

void KeyEffects::StartRipple(int key, int action) {
    if (action != 1 || !IsKey(key)) return;
    for (int column = 0; column < kColumns; ++column) {
        for (int row = 0; row < kKeyMatrixRows; ++row) {
            if (KeyMatrixCell(column, row) != key) continue;
            SetAll(column, static_cast<std::uint8_t>(1u << row));
            return;
        }
    }
}

void KeyEffects::SpreadColours() {
    for (int k = 0; k < kKeys; ++k)
        colour[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(33 * (k + 1) % 192);
}

void KeyEffects::StartMode(int mode) {
    switch (mode) {
        case 13:
            SetAll(9, 1u << 6);
            return;
        case 15:
            for (int column = 0; column < kColumns; ++column) {
                for (int row = 0; row < kWideKeyMatrixRows; ++row) {
                    const int key = WideKeyMatrixCell(column, row);
                    if (!IsKey(key)) continue;
                    intensity[static_cast<std::size_t>(key)] =
                        kStartIntensities[static_cast<std::size_t>(6 * column + row)];
                    colour[static_cast<std::size_t>(key)] = static_cast<std::uint8_t>(7 * column);
                }
            }
            return;
        case 16:
            SetAll(1, 1u);
            return;
        case 22:
            for (int column = 0; column < kColumns; ++column) {
                auto value = static_cast<std::uint8_t>(192 - 8 * column);
                for (int row = 0; row < kWideKeyMatrixRows; ++row) {
                    auto next = static_cast<std::uint8_t>(value - 35);
                    if (next >= 192) next = static_cast<std::uint8_t>(value - 98);
                    value = next;
                    const int key = WideKeyMatrixCell(column, row);
                    if (!IsKey(key)) continue;
                    phase[static_cast<std::size_t>(key)] = value;
                    colour[static_cast<std::size_t>(key)] = static_cast<std::uint8_t>(7 * column);
                }
            }
            return;
        default:
            SpreadColours();
            return;
    }
}

}  // namespace q731
