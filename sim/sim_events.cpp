#include "sim/sim_events.h"

#include "sim/sim_products.h"

namespace q731 {

void SendDeviceEvent(SimBus& bus, int unit, std::uint16_t value) {
    const std::uint8_t report[] = {kSimEventReportId, static_cast<std::uint8_t>(value & 0xFF),
                                   static_cast<std::uint8_t>(value >> 8)};
    bus.SendInput(unit, kSimCommandInterface, report);
}

void PressProfileButton(SimBus& bus, int unit, SimCommandFirmware& firmware, int profile) {
    const std::uint8_t byte = static_cast<std::uint8_t>(profile & 0x0F);
    firmware.FillRegion(SimRegion::Settings, 0, std::span(&byte, 1));
    SendDeviceEvent(bus, unit, static_cast<std::uint16_t>(0x1000 | byte));
}

void PressDpiButton(SimBus& bus, int unit, SimCommandFirmware& firmware, int profile, int stage) {
    const std::uint8_t profileByte = static_cast<std::uint8_t>(profile & 0x0F);
    const std::uint8_t stageByte = static_cast<std::uint8_t>(stage & 0x0F);
    firmware.FillRegion(SimRegion::Settings, 0, std::span(&profileByte, 1));
    firmware.FillRegion(SimRegion::Settings, profileByte * 128u + 12u, std::span(&stageByte, 1));
    SendDeviceEvent(bus, unit, static_cast<std::uint16_t>(0x1100 | stageByte << 4 | profileByte));
}

void RequestResync(SimBus& bus, int unit, SimCommandFirmware& firmware, std::uint32_t address,
                   std::span<const std::uint8_t> newBytes) {
    firmware.FillRegion(SimRegion::Settings, address, newBytes);
    SendDeviceEvent(bus, unit, 0x0401);
}

void ClickMouseButton(SimBus& bus, int unit) {
    SendDeviceEvent(bus, unit, 0x0403);
}

}  // namespace q731
