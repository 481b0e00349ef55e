#include "devices/keys/key_list.h"

namespace q731 {

namespace {

constexpr AssignmentCode Key(std::uint8_t usage) {
    return {code_type::kKeyboardKey, 0, usage};
}
constexpr AssignmentCode Mod(std::uint8_t mask) {
    return {code_type::kKeyboardKey, mask, 0};
}
constexpr AssignmentCode Consumer(std::uint16_t usage) {
    return {code_type::kConsumer, static_cast<std::uint8_t>(usage & 0xFF),
            static_cast<std::uint8_t>(usage >> 8)};
}

}  // namespace

// Rows follow the USB HID keyboard page order (usage 0x32 and 0x64, the two
// non-US keys, come later among the international keys). Virtual-key codes are
// the Windows ones; 257 marks the keypad Enter, 255 a key without one.
const std::array<KeyListRow, kKeyListRows> kKeyList = {{
    {"keyboard_key_LCtrl", 162, Mod(0x01)},
    {"keyboard_key_LShift", 160, Mod(0x02)},
    {"keyboard_key_LAlt", 164, Mod(0x04)},
    {"keyboard_key_LWin", 91, Mod(0x08)},
    {"keyboard_key_RCtrl", 163, Mod(0x10)},
    {"keyboard_key_RShift", 161, Mod(0x20)},
    {"keyboard_key_RAlt", 165, Mod(0x40)},
    {"keyboard_key_RWin", 92, Mod(0x80)},
    {"keyboard_key_A", 65, Key(0x04)},
    {"keyboard_key_B", 66, Key(0x05)},
    {"keyboard_key_C", 67, Key(0x06)},
    {"keyboard_key_D", 68, Key(0x07)},
    {"keyboard_key_E", 69, Key(0x08)},
    {"keyboard_key_F", 70, Key(0x09)},
    {"keyboard_key_G", 71, Key(0x0A)},
    {"keyboard_key_H", 72, Key(0x0B)},
    {"keyboard_key_I", 73, Key(0x0C)},
    {"keyboard_key_J", 74, Key(0x0D)},
    {"keyboard_key_K", 75, Key(0x0E)},
    {"keyboard_key_L", 76, Key(0x0F)},
    {"keyboard_key_M", 77, Key(0x10)},
    {"keyboard_key_N", 78, Key(0x11)},
    {"keyboard_key_O", 79, Key(0x12)},
    {"keyboard_key_P", 80, Key(0x13)},
    {"keyboard_key_Q", 81, Key(0x14)},
    {"keyboard_key_R", 82, Key(0x15)},
    {"keyboard_key_S", 83, Key(0x16)},
    {"keyboard_key_T", 84, Key(0x17)},
    {"keyboard_key_U", 85, Key(0x18)},
    {"keyboard_key_V", 86, Key(0x19)},
    {"keyboard_key_W", 87, Key(0x1A)},
    {"keyboard_key_X", 88, Key(0x1B)},
    {"keyboard_key_Y", 89, Key(0x1C)},
    {"keyboard_key_Z", 90, Key(0x1D)},
    {"keyboard_key_1", 49, Key(0x1E)},
    {"keyboard_key_2", 50, Key(0x1F)},
    {"keyboard_key_3", 51, Key(0x20)},
    {"keyboard_key_4", 52, Key(0x21)},
    {"keyboard_key_5", 53, Key(0x22)},
    {"keyboard_key_6", 54, Key(0x23)},
    {"keyboard_key_7", 55, Key(0x24)},
    {"keyboard_key_8", 56, Key(0x25)},
    {"keyboard_key_9", 57, Key(0x26)},
    {"keyboard_key_0", 48, Key(0x27)},
    {"keyboard_key_Enter", 13, Key(0x28)},
    {"keyboard_key_Esc", 27, Key(0x29)},
    {"keyboard_key_BackSpace", 8, Key(0x2A)},
    {"keyboard_key_Tab", 9, Key(0x2B)},
    {"keyboard_key_Space", 32, Key(0x2C)},
    {"keyboard_key_-", 189, Key(0x2D)},
    {"keyboard_key_=", 187, Key(0x2E)},
    {"keyboard_key_[", 219, Key(0x2F)},
    {"keyboard_key_]", 221, Key(0x30)},
    {"keyboard_key_xiegang", 220, Key(0x31)},
    {"keyboard_key_;", 186, Key(0x33)},
    {"keyboard_key_'", 222, Key(0x34)},
    {"keyboard_key_`", 192, Key(0x35)},
    {"keyboard_key_<", 188, Key(0x36)},
    {"keyboard_key_.", 190, Key(0x37)},
    {"keyboard_key_/", 191, Key(0x38)},
    {"keyboard_key_Caplk", 20, Key(0x39)},
    {"keyboard_key_F1", 112, Key(0x3A)},
    {"keyboard_key_F2", 113, Key(0x3B)},
    {"keyboard_key_F3", 114, Key(0x3C)},
    {"keyboard_key_F4", 115, Key(0x3D)},
    {"keyboard_key_F5", 116, Key(0x3E)},
    {"keyboard_key_F6", 117, Key(0x3F)},
    {"keyboard_key_F7", 118, Key(0x40)},
    {"keyboard_key_F8", 119, Key(0x41)},
    {"keyboard_key_F9", 120, Key(0x42)},
    {"keyboard_key_F10", 121, Key(0x43)},
    {"keyboard_key_F11", 122, Key(0x44)},
    {"keyboard_key_F12", 123, Key(0x45)},
    {"keyboard_key_Print Scr", 44, Key(0x46)},
    {"keyboard_key_Scroll Lock", 145, Key(0x47)},
    {"keyboard_key_Pause", 19, Key(0x48)},
    {"keyboard_key_Insert", 45, Key(0x49)},
    {"keyboard_key_Home", 36, Key(0x4A)},
    {"keyboard_key_Page Up", 33, Key(0x4B)},
    {"keyboard_key_Delete", 46, Key(0x4C)},
    {"keyboard_key_End", 35, Key(0x4D)},
    {"keyboard_key_Page Down", 34, Key(0x4E)},
    {"keyboard_key_Right", 39, Key(0x4F)},
    {"keyboard_key_Left", 37, Key(0x50)},
    {"keyboard_key_Down", 40, Key(0x51)},
    {"keyboard_key_Up", 38, Key(0x52)},
    {"keyboard_key_Num Lock", 144, Key(0x53)},
    {"keyboard_key_Num /", 111, Key(0x54)},
    {"keyboard_key_Num *", 106, Key(0x55)},
    {"keyboard_key_Num -", 109, Key(0x56)},
    {"keyboard_key_Num +", 107, Key(0x57)},
    {"keyboard_key_Num Enter", 257, Key(0x58)},
    {"keyboard_key_Num 1", 97, Key(0x59)},
    {"keyboard_key_Num 2", 98, Key(0x5A)},
    {"keyboard_key_Num 3", 99, Key(0x5B)},
    {"keyboard_key_Num 4", 100, Key(0x5C)},
    {"keyboard_key_Num 5", 101, Key(0x5D)},
    {"keyboard_key_Num 6", 102, Key(0x5E)},
    {"keyboard_key_Num 7", 103, Key(0x5F)},
    {"keyboard_key_Num 8", 104, Key(0x60)},
    {"keyboard_key_Num 9", 105, Key(0x61)},
    {"keyboard_key_Num 0", 96, Key(0x62)},
    {"keyboard_key_Decimal", 110, Key(0x63)},
    {"keyboard_key_App", 93, Key(0x65)},
    // International keys, by their position numbers on the 107-key layout.
    {"keyboard_key_K45", 226, Key(0x64)},   // non-US backslash
    {"keyboard_key_K56", 193, Key(0x87)},   // International 1 (Ro)
    {"keyboard_key_K14", 255, Key(0x89)},   // International 3 (Yen)
    {"keyboard_key_K107", 194, Key(0x85)},  // keypad comma
    {"keyboard_key_K131", 29, Key(0x8B)},   // International 5 (no conversion)
    {"keyboard_key_K132", 28, Key(0x8A)},   // International 4 (conversion)
    {"keyboard_key_K133", 242, Key(0x88)},  // International 2 (katakana/hiragana)
    {"keyboard_key_K150", 21, Key(0x90)},   // Language 1 (Hangul/English)
    {"keyboard_key_K151", 25, Key(0x91)},   // Language 2 (Hanja)
    {"keyboard_key_K42", 191, Key(0x32)},   // non-US hash
    // The consumer keys of the media list.
    {"keyboard_key_Launch App2", 183, Consumer(0x0192)},
    {"keyboard_key_Browaer Home", 172, Consumer(0x0223)},
    {"keyboard_key_Media Play Pause", 179, Consumer(0x00CD)},
    {"keyboard_key_Browser Search", 170, Consumer(0x0221)},
    {"keyboard_key_Launch Mail", 180, Consumer(0x018A)},
    {"keyboard_key_Volume Up", 175, Consumer(0x00E9)},
    {"keyboard_key_Volume Mute", 173, Consumer(0x00E2)},
    {"keyboard_key_Media Stop", 178, Consumer(0x00B7)},
    {"keyboard_key_Volume Down", 174, Consumer(0x00EA)},
    {"keyboard_key_Browser Favorites", 171, Consumer(0x022A)},
    {"keyboard_key_Browser ForWard", 167, Consumer(0x0225)},
    {"keyboard_key_Browser Back", 166, Consumer(0x0224)},
    {"keyboard_key_Media Prev Track", 177, Consumer(0x00B6)},
    {"keyboard_key_Media Next Track", 176, Consumer(0x00B5)},
    {"keyboard_key_Computer", 182, Consumer(0x0194)},
    {"keyboard_key_Browser Refresh", 168, Consumer(0x0227)},
    {"wed_stop", 169, Consumer(0x0226)},
    {"keyboard_key_Launch Media Select", 181, Consumer(0x0183)},
    {"keyboard_key_Power", 259, {code_type::kSystem, 0x01, 0}},
    {"keyboard_key_Sleep", 260, {code_type::kSystem, 0x02, 0}},
    {"keyboard_key_Wakeup", 261, {code_type::kSystem, 0x04, 0}},
    {"keyboard_key_M1", 0, {code_type::kMacroKey, 0xA2, 1}},
    {"keyboard_key_M2", 0, {code_type::kMacroKey, 0xA2, 2}},
    {"keyboard_key_M3", 0, {code_type::kMacroKey, 0xA2, 3}},
    {"keyboard_key_M4", 0, {code_type::kMacroKey, 0xA2, 4}},
    {"keyboard_key_M5", 0, {code_type::kMacroKey, 0xA2, 5}},
    {"keyboard_key_FN", 0, {code_type::kSpecial, 0x01, 0}},
    {"keyboard_key_GM", 0, {code_type::kSpecial, 0x1B, 0}},
}};

// Scan codes as a low-level keyboard hook reports them; extended keys carry the
// E0 prefix on the wire. Pause reports 0x45 without the flag, Num Lock with it.
const std::array<ScanCode, kCaptureRows> kCaptureTable = {{
    {0x1D, false}, {0x2A, false}, {0x38, false}, {0x5B, true},   // left Ctrl Shift Alt Win
    {0x1D, true},  {0x36, false}, {0x38, true},  {0x5C, true},   // right Ctrl Shift Alt Win
    {0x1E, false}, {0x30, false}, {0x2E, false}, {0x20, false},  // A B C D
    {0x12, false}, {0x21, false}, {0x22, false}, {0x23, false},  // E F G H
    {0x17, false}, {0x24, false}, {0x25, false}, {0x26, false},  // I J K L
    {0x32, false}, {0x31, false}, {0x18, false}, {0x19, false},  // M N O P
    {0x10, false}, {0x13, false}, {0x1F, false}, {0x14, false},  // Q R S T
    {0x16, false}, {0x2F, false}, {0x11, false}, {0x2D, false},  // U V W X
    {0x15, false}, {0x2C, false},                                // Y Z
    {0x02, false}, {0x03, false}, {0x04, false}, {0x05, false},  // 1 2 3 4
    {0x06, false}, {0x07, false}, {0x08, false}, {0x09, false},  // 5 6 7 8
    {0x0A, false}, {0x0B, false},                                // 9 0
    {0x1C, false}, {0x01, false}, {0x0E, false}, {0x0F, false},  // Enter Esc BackSpace Tab
    {0x39, false}, {0x0C, false}, {0x0D, false}, {0x1A, false},  // Space - = [
    {0x1B, false}, {0x2B, false}, {0x27, false}, {0x28, false},  // ] \ ; '
    {0x29, false}, {0x33, false}, {0x34, false}, {0x35, false},  // ` , . /
    {0x3A, false},                                               // Caps Lock
    {0x3B, false}, {0x3C, false}, {0x3D, false}, {0x3E, false},  // F1-F4
    {0x3F, false}, {0x40, false}, {0x41, false}, {0x42, false},  // F5-F8
    {0x43, false}, {0x44, false}, {0x57, false}, {0x58, false},  // F9-F12
    {0x37, true},  {0x46, false}, {0x45, false},                 // Print Scroll Pause
    {0x52, true},  {0x47, true},  {0x49, true},                  // Insert Home PgUp
    {0x53, true},  {0x4F, true},  {0x51, true},                  // Delete End PgDn
    {0x4D, true},  {0x4B, true},  {0x50, true},  {0x48, true},   // Right Left Down Up
    {0x45, true},  {0x35, true},  {0x37, false}, {0x4A, false},  // Num Lock / * -
    {0x4E, false}, {0x1C, true},                                 // Num + Enter
    {0x4F, false}, {0x50, false}, {0x51, false}, {0x4B, false},  // Num 1-4
    {0x4C, false}, {0x4D, false}, {0x47, false}, {0x48, false},  // Num 5-8
    {0x49, false}, {0x52, false}, {0x53, false},                 // Num 9 0 .
    {0x5D, true},                                                // Application
    {0x56, false}, {0x73, false}, {0x7D, false}, {0x7E, false},  // K45 K56 K14 K107
    {0x7B, false}, {0x79, false}, {0x70, false}, {0x72, false},  // K131 K132 K133 K150
    {0x71, false},                                               // K151
}};

std::optional<int> FindCapturedRow(std::uint16_t scanCode, std::uint32_t hookFlags) {
    const bool extended = (hookFlags & 1u) != 0;
    for (int row = 0; row < kCaptureRows; ++row) {
        if (kCaptureTable[row].scan == scanCode && kCaptureTable[row].extended == extended) {
            return row;
        }
    }
    return std::nullopt;
}

CapturedKey CaptureKey(std::uint16_t scanCode, std::uint32_t hookFlags) {
    const auto row = FindCapturedRow(scanCode, hookFlags);
    if (!row) return {};
    const KeyListRow& key = kKeyList[*row];
    if (key.code.type != code_type::kKeyboardKey) return {};
    CapturedKey captured;
    if (*row < kModifierRows) {
        captured.kind = CapturedKey::Kind::Modifier;
        captured.modifierOption = ModifierOptionOfBit(*row);
        return captured;
    }
    captured.kind = CapturedKey::Kind::Key;
    captured.usage = key.code.value2;
    captured.nameKey = key.nameKey;
    return captured;
}

int FindKeyListRow(const AssignmentCode& code) {
    for (int row = 0; row < kKeyListRows; ++row) {
        if (kKeyList[row].code == code) return row;
    }
    return -1;
}

}  // namespace q731
