#pragma once
// Logical keys and buttons against the device's own key table: where each
// logical key sits (found by its factory code) and the table that is written
// back with the current assignments, macros renumbered for the device.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "devices/keys/key_codes.h"
#include "devices/keys/macro_image.h"
#include "profiles/profile_records.h"

namespace q731 {

inline constexpr std::size_t kKeyTableBytes = 512;
using KeyTableImage = std::array<std::uint8_t, kKeyTableBytes>;

// For each logical key, the first device position (below `keyCount`) whose
// three table bytes equal its factory code and that no earlier logical key
// took; `none` where there is no such position. Two logical keys never share
// a position, so one cannot overwrite the other's assignment.
std::vector<int> MapKeyPositions(std::span<const AssignmentCode> factoryCodes,
                                 std::span<const std::uint8_t> table, int keyCount, int none);

// Current and default codes of the logical keys that have a position, in
// logical order, renumbered for the device: what the key table and the macro
// image are built from. An entry whose default code is not the key's factory
// code belongs to another layout (or a placeholder profile) and is left out,
// so it can never overwrite a key the keyboard has.
struct DeviceAssignments {
    std::vector<int> logicalKeys;  // the logical key of each entry below
    RenumberedKeys renumbered;
};
DeviceAssignments AssignmentsForDevice(std::span<const KeyEntry> entries,
                                       std::span<const AssignmentCode> factoryCodes,
                                       std::span<const int> positions, int none, int macroCount);

// The table to send: the table read from the device with the code of every
// mapped key put at 3 × its position. Unmapped keys and keys the entry list
// lacks keep their bytes as read.
KeyTableImage FillKeyTable(const KeyTableImage& readTable, const DeviceAssignments& assignments,
                           std::span<const int> positions);

AssignmentCode CodeOf(const KeyBinding& binding);

}  // namespace q731
