#pragma once
// Assignment codes: the three bytes (type, value 1, value 2) a key or button of
// a mouse or keyboard carries, the function lists of the key-assignment page,
// and the conversions between a page selection and a code.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace q731 {

struct AssignmentCode {
    std::uint8_t type = 0;
    std::uint8_t value1 = 0;
    std::uint8_t value2 = 0;

    friend constexpr bool operator==(const AssignmentCode&, const AssignmentCode&) = default;

    // The profile's integer form: type << 16 | value 1 << 8 | value 2.
    constexpr std::uint32_t ToInt() const {
        return (std::uint32_t{type} << 16) | (std::uint32_t{value1} << 8) | value2;
    }
    static constexpr AssignmentCode FromInt(std::uint32_t code) {
        return {static_cast<std::uint8_t>(code >> 16), static_cast<std::uint8_t>(code >> 8),
                static_cast<std::uint8_t>(code)};
    }
};

namespace code_type {
inline constexpr std::uint8_t kMouseButton = 0x10;
inline constexpr std::uint8_t kSwing = 0x11;
inline constexpr std::uint8_t kWheel = 0x12;
inline constexpr std::uint8_t kDpi = 0x13;
inline constexpr std::uint8_t kFire = 0x14;
inline constexpr std::uint8_t kDeviceSpecific = 0x16;
inline constexpr std::uint8_t kKeyboardKey = 0x20;
inline constexpr std::uint8_t kConsumer = 0x30;
inline constexpr std::uint8_t kSystem = 0x40;
inline constexpr std::uint8_t kMacro = 0x70;
inline constexpr std::uint8_t kMacroCounted = 0x71;
inline constexpr std::uint8_t kGunKey = 0x72;
inline constexpr std::uint8_t kSpecial = 0xA0;
inline constexpr std::uint8_t kShortcutPage = 0xB0;
inline constexpr std::uint8_t kMacroKey = 0xD0;
}  // namespace code_type

inline constexpr bool IsMacroCode(const AssignmentCode& code) {
    return code.type == code_type::kMacro || code.type == code_type::kMacroCounted;
}

// Categories of the page's function list ("keyset_function_combo").
enum class KeyCategory : int {
    Default = 0,
    MouseButton = 1,
    Swing = 2,
    Wheel = 3,
    Dpi = 4,
    Fire = 5,
    KeyboardKey = 6,
    Media = 7,
    System = 8,
    Macro = 9,
    GunKey = 10,
    Shortcut = 11,
    None = -1,
};

// The codes of each list's entries, in list order.
extern const std::array<AssignmentCode, 5> kMouseButtonList;
extern const std::array<AssignmentCode, 3> kDpiList;
extern const std::array<AssignmentCode, 3> kSystemList;
extern const std::array<AssignmentCode, 18> kMediaList;
extern const std::array<AssignmentCode, 11> kShortcutList;
// The first four repeat entries give type 0x70 with the entry number; this one
// gives type 0x71 with a count.
inline constexpr int kRepeatCountedEntry = 4;
inline constexpr int kModifierOptionCount = 5;  // none, Ctrl, Shift, Alt, Windows

// Everything the key-assignment page can hold. Fields of other categories are
// ignored by EncodeSelection and left at their defaults by ShowCode.
struct KeySelection {
    KeyCategory category = KeyCategory::None;
    int listIndex = -1;         // mouse button, DPI, media, system, shortcut or gun entry
    int delay = 0;              // swing and wheel: 0-15
    int speed = 0;              // swing and wheel: 0-15
    int count = 0;              // swing and wheel: 0-127
    int direction = 0;          // swing and wheel: 0 first entry, 1 second
    int interval = 0;           // fire: 0-255
    int fireCount = 0;          // fire: 0-255
    int modifierOption = 0;     // keyboard key: 0-4
    std::uint8_t keyUsage = 0;  // keyboard key: HID usage, 0 when the box is empty
    int macroIndex = -1;        // macro: position in the macro list
    int repeatEntry = 0;        // macro: 0-4
    int repeatCount = 0;        // macro, entry 4: 0-255

    friend bool operator==(const KeySelection&, const KeySelection&) = default;
};

// The code a page selection stands for. `previous` is kept when a macro
// selection is incomplete; `defaultCode` answers the default category and any
// category the page does not know. Values beyond a field's range are clamped,
// never cut to their low bits.
AssignmentCode EncodeSelection(const KeySelection& selection, AssignmentCode previous,
                               AssignmentCode defaultCode, int macroCount);

// What the page shows for `code`, and the page's working code (which differs
// from `code` when showing drops parts the page cannot show).
struct ShownCode {
    KeySelection selection;
    AssignmentCode workingCode;
};
ShownCode ShowCode(AssignmentCode code, AssignmentCode defaultCode);

// Modifier option (0-4) of a single modifier bit index 0-7 (left and right map
// to the same option).
constexpr int ModifierOptionOfBit(int bit) {
    return (bit + 1) % 5 + (bit + 1) / 5;
}

}  // namespace q731
