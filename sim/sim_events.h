#pragma once
// What a simulated device does when its user presses one of its own buttons:
// it changes its memory first and then tells the host on its event collection,
// the way the real firmware does.

#include <cstdint>

#include "sim/sim_bus.h"
#include "sim/sim_firmware.h"

namespace q731 {

// Sends the 16-bit event value as an input report of the event collection.
void SendDeviceEvent(SimBus& bus, int unit, std::uint16_t value);

// The device switched to profile `profile` (0-15): byte 0 of its settings
// memory changes, then 0x10pp is sent.
void PressProfileButton(SimBus& bus, int unit, SimCommandFirmware& firmware, int profile);

// The mouse switched to DPI stage `stage` in profile `profile`: byte 12 of the
// profile's settings block (at profile x 128) changes, then 0x11sp is sent.
void PressDpiButton(SimBus& bus, int unit, SimCommandFirmware& firmware, int profile, int stage);

// The device asks to be read again after a change it made itself (0x0401).
void RequestResync(SimBus& bus, int unit, SimCommandFirmware& firmware, std::uint32_t address,
                   std::span<const std::uint8_t> newBytes);

// A mouse button click (0x0403), which drives the reactive lighting effect.
void ClickMouseButton(SimBus& bus, int unit);

}  // namespace q731
