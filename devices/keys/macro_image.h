#pragma once
// The macro memory image a mouse or keyboard executes macro keys from, and the
// renumbering that makes key assignments point into it. The shooting image has
// the same layout.
//
//   0   AA 55           signature
//   2   total length    (16-bit)
//   4   entry count n   (16-bit)
//   6   10 bytes 0
//   16  n 16-bit offsets of the entries from the image start
//   ... per entry: event count e (16-bit), 2 bytes 0, then e 4-byte events

#include <cstdint>
#include <span>
#include <vector>

#include "devices/keys/key_codes.h"
#include "profiles/macro_event.h"

namespace q731 {

inline constexpr std::size_t kMacroImageHeader = 16;

struct MacroImage {
    std::vector<std::uint8_t> bytes;  // empty when it does not fit
    // When it does not fit: by how many 4-byte events it is too long, plus one.
    std::uint32_t overflow = 0;
    bool Fits() const { return overflow == 0; }
};

// Total length of an image of these entries, in 32 bits so that nothing wraps.
std::uint64_t MacroImageLength(std::span<const std::vector<MacroEventRecord>> entries);

// Builds the image, or reports the overflow when it exceeds `capacity` (or the
// 16-bit length field).
MacroImage BuildMacroImage(std::span<const std::vector<MacroEventRecord>> entries,
                           std::uint32_t capacity);

// Macro keys renumbered for the device: the macros that keys use, in the order
// of first use in key order, numbered 0, 1, ... in the copy that is sent. A key
// naming a macro that does not exist (number not below `macroCount`) falls back
// to its default code. The stored assignments are never changed.
struct RenumberedKeys {
    std::vector<AssignmentCode> codes;  // what is sent, one per key
    std::vector<int> usedMacros;        // macro list positions, in image order
};
RenumberedKeys RenumberMacros(std::span<const AssignmentCode> current,
                              std::span<const AssignmentCode> defaults, int macroCount);

// Keys whose macro assignment names a macro that no longer exists get their
// default code back. Returns true when anything changed.
bool ResetMissingMacroAssignments(std::vector<AssignmentCode>& current,
                                  std::span<const AssignmentCode> defaults, int macroCount);

}  // namespace q731
