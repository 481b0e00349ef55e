#include "devices/settings_block.h"

#include <array>

namespace q731 {

using namespace lighting_bytes;

LightSetting LightFromBlock(std::span<const std::uint8_t> block, LightSetting light,
                            bool takeDirection) {
    if (block.size() <= kBlue) return light;
    light.selectItem = block[kMode];
    light.brightness = static_cast<std::uint8_t>(ClampLevel(block[kBrightness]));
    light.speed = SpeedLevelOfByte(block[kSpeed]);
    if (takeDirection) light.direction = block[kDirection];
    light.multiColor = block[kColourWheel];
    light.red = block[kRed];
    light.green = block[kGreen];
    light.blue = block[kBlue];
    return light;
}

void LightToBlock(const LightSetting& light, std::uint8_t modeCode, std::span<std::uint8_t> block) {
    if (block.size() <= kBlue) return;
    block[kMode] = modeCode;
    block[kBrightness] = static_cast<std::uint8_t>(ClampLevel(light.brightness));
    block[kSpeed] = SpeedByte(light.speed);
    block[kDirection] = light.direction;
    block[kColourWheel] = light.multiColor;
    block[kRed] = light.red;
    block[kGreen] = light.green;
    block[kBlue] = light.blue;
}

LinkResult ReadActiveProfileBlock(CDeviceLink& link, std::span<std::uint8_t> block,
                                  std::uint32_t stride, int profiles, std::uint8_t& profile) {
    std::array<std::uint8_t, 1> number{};
    const LinkResult read = link.ReadMemory(number, kActiveProfileAddress);
    if (read != LinkResult::Ok) return read;
    if (number[0] >= profiles) return LinkResult::Failed;
    const LinkResult result = link.ReadMemory(block, number[0] * stride);
    if (result == LinkResult::Ok) profile = number[0];
    return result;
}

}  // namespace q731
