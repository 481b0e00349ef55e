#pragma once
// The keyboard's 170 logical keys and the factory code each one carries in the
// keyboard's own key table, by which it is found there.

#include <array>

#include "devices/keys/key_codes.h"

namespace q731 {

inline constexpr int kKeyboardLogicalKeys = 170;
extern const std::array<AssignmentCode, kKeyboardLogicalKeys> kKeyboardFactoryCodes;

}  // namespace q731
