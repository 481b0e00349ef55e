#include "devices/keys/keyboard_keys.h"

#include <initializer_list>

namespace q731 {

namespace {

using Codes = std::array<AssignmentCode, kKeyboardLogicalKeys>;

constexpr AssignmentCode Key(std::uint8_t usage) {
    return {code_type::kKeyboardKey, 0x00, usage};
}
constexpr AssignmentCode Modifier(std::uint8_t mask) {
    return {code_type::kKeyboardKey, mask, 0x00};
}

// Consecutive logical keys from `first`, each an ordinary key by HID usage.
constexpr void Keys(Codes& codes, int first, std::initializer_list<std::uint8_t> usages) {
    for (std::uint8_t usage : usages)
        codes[static_cast<std::size_t>(first++)] = Key(usage);
}

constexpr Codes BuildFactoryCodes() {
    Codes codes{};
    for (AssignmentCode& code : codes)
        code = Key(0x00);  // no key
    Keys(codes, 0, {0x29});
    Keys(codes, 1, {0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42, 0x43, 0x44, 0x45});
    Keys(codes, 13, {0x46, 0x47, 0x48});
    codes[16] = {code_type::kSpecial, 0x1B, 0x00};
    codes[17] = {code_type::kSpecial, 0x24, 0x00};
    Keys(codes, 21, {0x35});
    Keys(codes, 22, {0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27});
    Keys(codes, 32, {0x2D, 0x2E, 0x2A});
    Keys(codes, 35, {0x49, 0x4A, 0x4B});
    Keys(codes, 38, {0x53, 0x54, 0x55, 0x56});
    Keys(codes, 42, {0x2B});
    Keys(codes, 43, {0x14, 0x1A, 0x08, 0x15, 0x17, 0x1C, 0x18, 0x0C, 0x12, 0x13});
    Keys(codes, 53, {0x2F, 0x30, 0x31});
    Keys(codes, 56, {0x4C, 0x4D, 0x4E});
    Keys(codes, 59, {0x5F, 0x60, 0x61});
    Keys(codes, 62, {0x32});
    Keys(codes, 63, {0x39});
    Keys(codes, 64, {0x04, 0x16, 0x07, 0x09, 0x0A, 0x0B, 0x0D, 0x0E, 0x0F});
    Keys(codes, 73, {0x33, 0x34, 0x28});
    Keys(codes, 76, {0x5C, 0x5D, 0x5E});
    Keys(codes, 79, {0x8A, 0x8B, 0x90, 0x91, 0x88});
    codes[84] = Modifier(0x02);
    Keys(codes, 85, {0x1D, 0x1B, 0x06, 0x19, 0x05, 0x11, 0x10, 0x36, 0x37, 0x38});
    codes[95] = Modifier(0x20);
    Keys(codes, 96, {0x52});
    Keys(codes, 97, {0x59, 0x5A, 0x5B});
    Keys(codes, 100, {0x87, 0x89, 0x64, 0x85});
    codes[105] = Modifier(0x01);
    codes[106] = Modifier(0x08);
    codes[107] = Modifier(0x04);
    Keys(codes, 108, {0x2C});
    codes[109] = Modifier(0x40);
    codes[110] = {code_type::kSpecial, 0x01, 0x00};
    Keys(codes, 111, {0x65});
    codes[112] = Modifier(0x10);
    Keys(codes, 113, {0x50, 0x51, 0x4F});
    Keys(codes, 116, {0x62, 0x63, 0x58, 0x57});
    for (int m = 0; m < 5; ++m) {
        codes[static_cast<std::size_t>(120 + m)] = {code_type::kMacroKey, 0xA2,
                                                    static_cast<std::uint8_t>(m + 1)};
    }
    codes[125] = Modifier(0x80);
    return codes;
}

}  // namespace

const std::array<AssignmentCode, kKeyboardLogicalKeys> kKeyboardFactoryCodes = BuildFactoryCodes();

}  // namespace q731
