#pragma once
// The event vocabulary of macros: every keyboard key that can appear in a
// keyboard event, and every mouse action, with what the input hook reports for
// it and what a macro event stores.

#include <array>
#include <cstdint>
#include <optional>

namespace q731 {

inline constexpr std::uint8_t kKeyboardAssignmentType = 0x20;
// Stands for Num Enter, which has no virtual-key code of its own.
inline constexpr std::uint16_t kVirtualKeyNumEnter = 0x101;

struct MacroKeyRow {
    const char* name;          // display-name identifier
    std::uint16_t virtualKey;  // Windows virtual-key code
    std::uint8_t scanCode;     // set 1 make code
    bool extended;             // E0 prefix
    std::uint8_t code;         // modifier bit for modifiers, else the HID usage ID
    bool modifier;             // type-9 event when set, else type 10

    int EventType() const { return modifier ? 9 : 10; }
};

inline constexpr std::size_t kMacroKeyCount = 113;
extern const std::array<MacroKeyRow, kMacroKeyCount> kMacroKeys;

struct MouseActionRow {
    std::uint16_t message;  // window message that stands for the action
    std::uint8_t category;  // action category of the key-assignment codes
    std::uint8_t button;    // "Button" code (movement rows take the user's distance)
    std::uint8_t typeByte;  // type with the down flag in bit 7
    const char* name;       // display-name identifier
};

inline constexpr std::size_t kMouseActionCount = 15;
extern const std::array<MouseActionRow, kMouseActionCount> kMouseActions;

// The key row a hook report names: by scan code and extended flag, and by the
// virtual key when the scan code is shared (Pause and Num Lock).
std::optional<MacroKeyRow> FindMacroKey(std::uint16_t virtualKey, std::uint8_t scanCode,
                                        bool extended);
// The row of an event: type 9 by modifier bit, type 10 by usage ID.
std::optional<MacroKeyRow> FindMacroKeyForEvent(int type, int button);

}  // namespace q731
