#include "macros/macro_input.h"

#include <array>

namespace q731 {

namespace {

// Linux key codes that are not the set-1 scan code itself.
struct Special {
    int code;
    ScanKey key;
};
constexpr std::array<Special, 28> kSpecial = {{
    {69, {0x45, true}},    // Num Lock
    {89, {0x73, false}},   // Ro
    {92, {0x79, false}},   // Henkan
    {93, {0x70, false}},   // Katakana/Hiragana
    {94, {0x7B, false}},   // Muhenkan
    {96, {0x1C, true}},    // keypad Enter
    {97, {0x1D, true}},    // right Ctrl
    {98, {0x35, true}},    // keypad /
    {99, {0x37, true}},    // Print Screen
    {100, {0x38, true}},   // right Alt
    {102, {0x47, true}},   // Home
    {103, {0x48, true}},   // Up
    {104, {0x49, true}},   // Page Up
    {105, {0x4B, true}},   // Left
    {106, {0x4D, true}},   // Right
    {107, {0x4F, true}},   // End
    {108, {0x50, true}},   // Down
    {109, {0x51, true}},   // Page Down
    {110, {0x52, true}},   // Insert
    {111, {0x53, true}},   // Delete
    {119, {0x45, false}},  // Pause
    {121, {0x7E, false}},  // keypad comma
    {122, {0x72, false}},  // Hangeul
    {123, {0x71, false}},  // Hanja
    {124, {0x7D, false}},  // Yen
    {125, {0x5B, true}},   // left Windows
    {126, {0x5C, true}},   // right Windows
    {127, {0x5D, true}},   // Menu
}};

}  // namespace

std::optional<ScanKey> ScanKeyOfLinuxKey(int code) {
    for (const Special& special : kSpecial) {
        if (special.code == code) return special.key;
    }
    // Escape (1) to F12 (88) carry their scan code as their number, except
    // Num Lock (69, above) and the codes Linux leaves unused there.
    if (code >= 1 && code <= 88 && code != 84 && code != 85) {
        return ScanKey{static_cast<std::uint8_t>(code), false};
    }
    return std::nullopt;
}

std::optional<MacroKeyRow> MacroKeyOfLinuxKey(int code) {
    const std::optional<ScanKey> key = ScanKeyOfLinuxKey(code);
    if (!key) return std::nullopt;
    for (const MacroKeyRow& row : kMacroKeys) {
        if (row.scanCode == key->scanCode && row.extended == key->extended) return row;
    }
    return std::nullopt;
}

}  // namespace q731
