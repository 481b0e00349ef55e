#include "devices/keys/key_positions.h"

#include <algorithm>

namespace q731 {

AssignmentCode CodeOf(const KeyBinding& binding) {
    return {binding.type, binding.middle, binding.low};
}

std::vector<int> MapKeyPositions(std::span<const AssignmentCode> factoryCodes,
                                 std::span<const std::uint8_t> table, int keyCount, int none) {
    std::vector<int> positions(factoryCodes.size(), none);
    const int usable = std::clamp(keyCount, 0, static_cast<int>(table.size() / 3));
    std::vector<bool> taken(static_cast<std::size_t>(usable), false);
    for (std::size_t key = 0; key < factoryCodes.size(); ++key) {
        const AssignmentCode& code = factoryCodes[key];
        for (int position = 0; position < usable; ++position) {
            const std::size_t at = static_cast<std::size_t>(position) * 3;
            if (taken[static_cast<std::size_t>(position)] || table[at] != code.type ||
                table[at + 1] != code.value1 || table[at + 2] != code.value2) {
                continue;
            }
            taken[static_cast<std::size_t>(position)] = true;
            positions[key] = position;
            break;
        }
    }
    return positions;
}

DeviceAssignments AssignmentsForDevice(std::span<const KeyEntry> entries,
                                       std::span<const AssignmentCode> factoryCodes,
                                       std::span<const int> positions, int none, int macroCount) {
    DeviceAssignments result;
    std::vector<AssignmentCode> current;
    std::vector<AssignmentCode> defaults;
    const std::size_t count = std::min({entries.size(), positions.size(), factoryCodes.size()});
    for (std::size_t key = 0; key < count; ++key) {
        if (positions[key] == none || CodeOf(entries[key].factory) != factoryCodes[key]) continue;
        result.logicalKeys.push_back(static_cast<int>(key));
        current.push_back(CodeOf(entries[key].current));
        defaults.push_back(CodeOf(entries[key].factory));
    }
    result.renumbered = RenumberMacros(current, defaults, macroCount);
    return result;
}

KeyTableImage FillKeyTable(const KeyTableImage& readTable, const DeviceAssignments& assignments,
                           std::span<const int> positions) {
    KeyTableImage table = readTable;
    for (std::size_t i = 0; i < assignments.logicalKeys.size(); ++i) {
        const int position = positions[static_cast<std::size_t>(assignments.logicalKeys[i])];
        const std::size_t at = static_cast<std::size_t>(position) * 3;
        if (position < 0 || at + 2 >= table.size()) continue;
        const AssignmentCode& code = assignments.renumbered.codes[i];
        table[at] = code.type;
        table[at + 1] = code.value1;
        table[at + 2] = code.value2;
    }
    return table;
}

}  // namespace q731
