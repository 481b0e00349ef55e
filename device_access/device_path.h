#pragma once
// Reading the identity markers out of an interface path.

#include <cstdint>
#include <string_view>

namespace q731 {

// The hexadecimal number after `marker` (matched without regard to case), as a
// scan of hex digits would read it: digits up to the first non-hex character,
// keeping the low 32 bits. 0 when the marker is missing or no digit follows.
uint32_t HexAfterMarker(std::string_view path, std::string_view marker);

struct PathIds {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t interfaceNumber = 0;
    uint16_t collection = 0;
};

// "vid_", "pid_", "&mi_" and "&col", each cut to its low 16 bits.
PathIds ParseDevicePath(std::string_view path);

}  // namespace q731
