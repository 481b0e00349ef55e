#pragma once
// The mouse's shooting image: the four shooting files of the device folder in
// the macro image layout, one entry per slot.

#include <filesystem>

#include "devices/keys/macro_image.h"

namespace q731 {

// A slot holds 30 bullets of 6 events; anything past that in a file is not
// part of the pattern and is not sent.
inline constexpr std::size_t kShootEventsPerSlot = 180;
// The image's length field is 16 bits.
inline constexpr std::uint32_t kShootImageLimit = 0xFFFF;

// A missing or unreadable file gives an empty slot.
MacroImage BuildShootImage(const std::filesystem::path& deviceFolder);

}  // namespace q731
