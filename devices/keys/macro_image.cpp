#include "devices/keys/macro_image.h"

#include <algorithm>

namespace q731 {

namespace {

void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

AssignmentCode DefaultOf(std::span<const AssignmentCode> defaults, std::size_t key) {
    return key < defaults.size() ? defaults[key] : AssignmentCode{};
}

}  // namespace

std::uint64_t MacroImageLength(std::span<const std::vector<MacroEventRecord>> entries) {
    std::uint64_t total = kMacroImageHeader;
    for (const auto& events : entries)
        total += 2 + 4 + 4 * std::uint64_t{events.size()};
    return total;
}

MacroImage BuildMacroImage(std::span<const std::vector<MacroEventRecord>> entries,
                           std::uint32_t capacity) {
    MacroImage image;
    const std::uint64_t total = MacroImageLength(entries);
    const std::uint64_t limit = std::min<std::uint64_t>(capacity, 0xFFFF);
    if (total > limit || entries.size() > 0xFFFF) {
        image.overflow = static_cast<std::uint32_t>(
            std::min<std::uint64_t>((total - std::min(total, limit)) / 4 + 1, 0xFFFFFFFFu));
        return image;
    }
    std::vector<std::uint8_t>& bytes = image.bytes;
    bytes.assign(static_cast<std::size_t>(total), 0);
    bytes[0] = 0xAA;
    bytes[1] = 0x55;
    Put16(bytes, 2, static_cast<std::uint32_t>(total));
    Put16(bytes, 4, static_cast<std::uint32_t>(entries.size()));
    std::size_t offset = kMacroImageHeader + 2 * entries.size();
    for (std::size_t entry = 0; entry < entries.size(); ++entry) {
        Put16(bytes, kMacroImageHeader + 2 * entry, static_cast<std::uint32_t>(offset));
        const auto& events = entries[entry];
        Put16(bytes, offset, static_cast<std::uint32_t>(events.size()));
        offset += 4;
        for (const MacroEventRecord& event : events) {
            std::copy(event.bytes.begin(), event.bytes.end(),
                      bytes.begin() + static_cast<long>(offset));
            offset += 4;
        }
    }
    return image;
}

RenumberedKeys RenumberMacros(std::span<const AssignmentCode> current,
                              std::span<const AssignmentCode> defaults, int macroCount) {
    RenumberedKeys result;
    result.codes.assign(current.begin(), current.end());
    for (std::size_t key = 0; key < result.codes.size(); ++key) {
        AssignmentCode& code = result.codes[key];
        if (!IsMacroCode(code)) continue;
        if (code.value1 >= macroCount) {
            code = DefaultOf(defaults, key);
            continue;
        }
        const auto it = std::find(result.usedMacros.begin(), result.usedMacros.end(), code.value1);
        std::size_t number = static_cast<std::size_t>(it - result.usedMacros.begin());
        if (it == result.usedMacros.end()) result.usedMacros.push_back(code.value1);
        code.value1 = static_cast<std::uint8_t>(number);
    }
    return result;
}

bool ResetMissingMacroAssignments(std::vector<AssignmentCode>& current,
                                  std::span<const AssignmentCode> defaults, int macroCount) {
    bool changed = false;
    for (std::size_t key = 0; key < current.size(); ++key) {
        if (IsMacroCode(current[key]) && current[key].value1 >= macroCount) {
            current[key] = DefaultOf(defaults, key);
            changed = true;
        }
    }
    return changed;
}

}  // namespace q731
