#pragma once
// Keeping key assignments in line with the macro list after a macro is
// deleted: references to it fall back to the key's factory code, references
// to later macros move down by one. Every profile of the device kind holds
// such references, so every one of them is fixed, whatever the kind.

#include <vector>

#include "profiles/basic_profiledata.h"
#include "profiles/profile_list.h"
#include "profiles/profile_records.h"

namespace q731 {

inline constexpr std::uint8_t kMacroAssignmentType = 0x70;        // middle: macro, low: play mode
inline constexpr std::uint8_t kMacroRepeatAssignmentType = 0x71;  // middle: macro, low: count

inline bool IsMacroAssignment(const KeyBinding& binding) {
    return binding.type == kMacroAssignmentType || binding.type == kMacroRepeatAssignmentType;
}

// True when anything changed.
bool FixMacroReferences(std::vector<KeyEntry>& keys, int deletedMacro);

// Fixes every listed profile: the others through the secondary document of
// `current`, the current one in memory and then saved. Returns the number of
// profiles changed, or -1 when one of them could not be read or saved (the
// others are fixed all the same).
int FixMacroReferencesInProfiles(ProfileList& list, CBasicProfiledata& current, int deletedMacro);

}  // namespace q731
