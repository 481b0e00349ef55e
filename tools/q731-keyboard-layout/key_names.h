#pragma once
// The language id of a keyboard key's name, for the keyboard picture and the
// checks on it. This is the one place that reads the key tables for them.

#include <string>

#include "devices/keys/key_list.h"
#include "devices/keys/keyboard_keys.h"

namespace q731 {

// The display-name key of the key-list row carrying the key's factory code.
// Keys whose code names nothing there (logical keys 17-20) get an id of their own.
inline std::string KeyboardKeyNameId(int logicalKey) {
    const int row = FindKeyListRow(kKeyboardFactoryCodes[static_cast<std::size_t>(logicalKey)]);
    if (row >= 0) return std::string(kKeyList[static_cast<std::size_t>(row)].nameKey);
    return "keyboard_key_extra_" + std::to_string(logicalKey);
}

}  // namespace q731
