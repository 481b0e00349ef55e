#pragma once
// What the settings blocks of the mouse, the keyboard and the mouse pad share:
// the lighting in bytes 1-8, a speed byte that counts down from the top speed
// level, and the read of the block of the profile the device says is active.

#include <cstdint>
#include <span>

#include "devices/device_link.h"
#include "devices/lighting/lighting_tables.h"
#include "profiles/profile_records.h"

namespace q731 {

// Bytes 1-8 of a settings block: mode, brightness, speed, direction (the
// pad's own byte on the pad), colour-wheel flag, red, green, blue.
namespace lighting_bytes {
inline constexpr std::size_t kMode = 1;
inline constexpr std::size_t kBrightness = 2;
inline constexpr std::size_t kSpeed = 3;
inline constexpr std::size_t kDirection = 4;
inline constexpr std::size_t kColourWheel = 5;
inline constexpr std::size_t kRed = 6;
inline constexpr std::size_t kGreen = 7;
inline constexpr std::size_t kBlue = 8;
}  // namespace lighting_bytes

// Every device keeps its active profile's number at this address.
inline constexpr std::uint32_t kActiveProfileAddress = 0;
// For a device that takes any profile number the byte can hold.
inline constexpr int kAnyProfileNumber = 256;

inline constexpr int kTopSpeedLevel = kLevels - 1;

// The speed byte on the wire is the top level less the speed level, both
// clamped to 0-4 (levels and bytes come from files and devices).
constexpr std::uint8_t SpeedByte(int level) {
    return static_cast<std::uint8_t>(kTopSpeedLevel - ClampLevel(level));
}
constexpr std::uint8_t SpeedLevelOfByte(int byte) {
    return static_cast<std::uint8_t>(kTopSpeedLevel - ClampLevel(byte));
}

// The lighting of a block read back from the device (its mode byte already a
// mode index), over `light`; levels are clamped. The direction is taken only
// when `takeDirection`.
LightSetting LightFromBlock(std::span<const std::uint8_t> block, LightSetting light,
                            bool takeDirection);
// `light` into bytes 1-8 of `block` as the device reads them: `modeCode` as
// the mode byte, levels clamped, the speed as its byte.
void LightToBlock(const LightSetting& light, std::uint8_t modeCode, std::span<std::uint8_t> block);

// Reads the active profile's number, then `block.size()` bytes of its block at
// number × `stride` into `block`. A number not below `profiles` fails before
// the second read; `profile` is set only when both reads worked.
[[nodiscard]] LinkResult ReadActiveProfileBlock(CDeviceLink& link, std::span<std::uint8_t> block,
                                                std::uint32_t stride, int profiles,
                                                std::uint8_t& profile);

}  // namespace q731
