#pragma once
// The mouse's shooting image: the four shooting slots in the macro image
// layout, one entry of 180 events per slot.

#include <filesystem>

#include "devices/keys/macro_image.h"

namespace q731 {

// The image's length field is 16 bits.
inline constexpr std::uint32_t kShootImageLimit = 0xFFFF;

// Each slot as the shooting panel shows it: a bullet its file lacks (or every
// bullet, when the file is missing or damaged) comes from the default slot.
MacroImage BuildShootImage(const std::filesystem::path& deviceFolder,
                           const std::filesystem::path& defaultFolder);

}  // namespace q731
