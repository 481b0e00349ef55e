#include "profiles/macro_fixup.h"

namespace q731 {

bool FixMacroReferences(std::vector<KeyEntry>& keys, int deletedMacro) {
    bool changed = false;
    for (KeyEntry& key : keys) {
        if (!IsMacroAssignment(key.current)) continue;
        const int macro = key.current.middle;
        if (macro == deletedMacro) {
            const std::uint16_t keyIndex = key.current.keyIndex;
            key.current = key.factory;
            key.current.keyIndex = keyIndex;
            changed = true;
        } else if (macro > deletedMacro) {
            key.current.middle = static_cast<std::uint8_t>(macro - 1);
            changed = true;
        }
    }
    return changed;
}

int FixMacroReferencesInProfiles(ProfileList& list, CBasicProfiledata& current, int deletedMacro) {
    int changed = 0;
    bool failed = false;
    const int count = list.ProfileCount();
    for (int index = 0; index < count; ++index) {
        const fs::path path = list.ProfileFilePath(index);
        if (path.empty() || path == current.GetProfilePath()) continue;
        if (current.LoadSecondaryDocument(path).isNull()) {
            // A profile we cannot read keeps references to the old numbers:
            // say so instead of reporting every profile fixed.
            failed = true;
            continue;
        }
        std::vector<KeyEntry> keys = current.GetSecondaryKeyList();
        if (!FixMacroReferences(keys, deletedMacro)) continue;
        current.SetSecondaryKeyList(keys);
        if (current.SaveSecondaryDocument(path)) {
            ++changed;
        } else {
            failed = true;
        }
    }
    std::vector<KeyEntry> keys = current.GetKeyList();
    if (FixMacroReferences(keys, deletedMacro)) {
        current.SetKeyList(keys);
        if (current.SaveProfile()) {
            ++changed;
        } else {
            failed = true;
        }
    }
    return failed ? -1 : changed;
}

}  // namespace q731
