#pragma once
// The simulated family: each product's HID interfaces with real report
// descriptors, plus decoys that look like the family but must not be claimed.

#include <cstdint>
#include <vector>

#include "sim/sim_bus.h"

namespace q731 {

// Interface 1 of the mouse, keyboard and mouse pad: four top-level collections
// in this order: mouse (report 1), system control (report 2), the event
// collection on the consumer page (report 3, one 16-bit value) and the command
// collection on page 0xFF1C usage 0x92 (report 4, 63 data bytes each way).
inline constexpr uint8_t kSimMouseReportId = 1;
inline constexpr uint8_t kSimSystemReportId = 2;
inline constexpr uint8_t kSimEventReportId = 3;
inline constexpr uint8_t kSimCommandReportId = 4;
inline constexpr uint16_t kSimCommandInterface = 1;
inline constexpr uint16_t kSimHeadsetInterface = 3;
// The headset's LED output report.
inline constexpr uint8_t kSimHeadsetLedReportId = 0xFF;
inline constexpr uint8_t kSimHeadsetButtonReportId = 1;

std::vector<uint8_t> CommandInterfaceDescriptor();
std::vector<uint8_t> BootKeyboardDescriptor();
std::vector<uint8_t> BootMouseDescriptor();
std::vector<uint8_t> HeadsetDescriptor();

SimProductSpec MouseWiredProduct();
SimProductSpec MouseReceiverProduct();
SimProductSpec KeyboardWiredProduct();
SimProductSpec KeyboardReceiverProduct();
SimProductSpec MousePadProduct();
SimProductSpec HeadsetProduct();

enum class DecoyKind {
    OtherInterface,   // the mouse's ids and descriptor, on interface 2
    OtherCollection,  // interface 1 with an extra collection: events fourth, commands fifth
    WrongUsage,       // interface 1 whose collections 3 and 4 have the wrong usages
    OtherVendor,      // the command descriptor under a foreign vendor id
};
SimProductSpec DecoyProduct(DecoyKind kind);

}  // namespace q731
