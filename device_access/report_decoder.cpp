#include "device_access/report_decoder.h"

#include <algorithm>

namespace q731 {

namespace {

// Reads `bitSize` (1..32) bits at `bitOffset` of the data after the report id
// byte. False when the field does not lie wholly inside the received report.
bool ExtractBits(std::span<const uint8_t> report, uint32_t bitOffset, uint32_t bitSize,
                 uint32_t& out) {
    if (report.empty() || bitSize == 0 || bitSize > 32) return false;
    const uint64_t availableBits = uint64_t{report.size() - 1} * 8;
    if (uint64_t{bitOffset} + bitSize > availableBits) return false;
    uint64_t value = 0;
    for (uint32_t bit = 0; bit < bitSize; ++bit) {
        const uint32_t at = bitOffset + bit;
        const uint8_t byte = report[1 + at / 8];
        value |= uint64_t{(byte >> (at % 8)) & 1u} << bit;
    }
    out = static_cast<uint32_t>(value);
    return true;
}

int64_t SignExtend(uint32_t raw, uint32_t bitSize) {
    if (bitSize >= 32) return static_cast<int32_t>(raw);
    const uint32_t signBit = 1u << (bitSize - 1);
    return (raw & signBit) != 0 ? int64_t{raw} - (int64_t{1} << bitSize) : int64_t{raw};
}

const HidValueCaps* FindValueCaps(const HidReportCaps& caps, const HidData& item) {
    for (const HidValueCaps& value : caps.values) {
        if (value.usagePage == item.usagePage && value.reportId == (item.reportId & 0xFF) &&
            item.usage >= value.usageMin && item.usage <= value.usageMax) {
            return &value;
        }
    }
    return nullptr;
}

// Collects the usages of `page` that are on in `report` over every button
// field of that page and report id. Returns the status of the collection.
uint32_t GetUsages(std::span<const uint8_t> report, const HidReportCaps& caps, uint16_t page,
                   std::vector<uint16_t>& on) {
    for (const HidButtonCaps& button : caps.buttons) {
        if (button.usagePage != page || button.reportId != report[0]) continue;
        for (uint32_t slot = 0; slot < button.reportCount; ++slot) {
            uint32_t raw = 0;
            if (!ExtractBits(report, button.bitOffset + slot * button.bitSize, button.bitSize,
                             raw)) {
                return kHidStatusInvalidReportLength;
            }
            if (!button.isArray) {
                const uint32_t usage = uint32_t{button.usageMin} + slot;
                if (raw != 0 && usage <= button.usageMax)
                    on.push_back(static_cast<uint16_t>(usage));
                continue;
            }
            // Array slot: the value names a usage counted from the logical minimum;
            // values outside the logical range mean "nothing".
            const int64_t index = SignExtend(raw, button.bitSize) - button.logicalMin;
            if (SignExtend(raw, button.bitSize) < button.logicalMin ||
                SignExtend(raw, button.bitSize) > button.logicalMax) {
                continue;
            }
            const int64_t usage = int64_t{button.usageMin} + index;
            if (usage > button.usageMax || usage == 0) continue;
            on.push_back(static_cast<uint16_t>(usage));
        }
    }
    return kHidStatusSuccess;
}

void DecodeButton(std::span<const uint8_t> report, const HidReportCaps& caps, HidData& item) {
    std::vector<uint16_t> on;
    item.status = GetUsages(report, caps, item.usagePage, on);
    item.usageList.assign(item.usageListLength, 0);
    if (item.status != kHidStatusSuccess) return;
    if (on.size() > item.usageListLength) {
        item.status = kHidStatusBufferTooSmall;
        return;
    }
    std::size_t kept = 0;
    for (uint16_t usage : on) {
        if (usage < item.lowestUsage || usage > item.highestUsage) continue;
        item.usageList[kept++] = usage;
    }
}

}  // namespace

uint32_t GetUsageValue(std::span<const uint8_t> report, const HidValueCaps& caps, uint16_t usage,
                       uint32_t& value) {
    if (usage < caps.usageMin || usage > caps.usageMax) return kHidStatusUsageNotFound;
    const uint32_t field = caps.isRange ? uint32_t{usage} - caps.usageMin : 0;
    if (field >= caps.reportCount) return kHidStatusUsageNotFound;
    if (!ExtractBits(report, caps.bitOffset + field * caps.bitSize, caps.bitSize, value)) {
        return kHidStatusInvalidReportLength;
    }
    return kHidStatusSuccess;
}

uint32_t GetScaledUsageValue(std::span<const uint8_t> report, const HidValueCaps& caps,
                             uint16_t usage, int32_t& scaled) {
    uint32_t raw = 0;
    const uint32_t status = GetUsageValue(report, caps, usage, raw);
    if (status != kHidStatusSuccess) return status;
    if (caps.physicalMin >= caps.physicalMax || caps.logicalMin >= caps.logicalMax) {
        return kHidStatusBadLogPhyValues;
    }
    const int64_t value = caps.logicalMin < 0 ? SignExtend(raw, caps.bitSize) : int64_t{raw};
    if (value < caps.logicalMin || value > caps.logicalMax) return kHidStatusNull;
    // Each span is below 2^32, so their product fits in 64 unsigned bits; in
    // signed arithmetic full 32-bit ranges would overflow.
    const auto offset = static_cast<uint64_t>(value - caps.logicalMin);
    const auto span = static_cast<uint64_t>(int64_t{caps.logicalMax} - caps.logicalMin);
    const auto physicalSpan = static_cast<uint64_t>(int64_t{caps.physicalMax} - caps.physicalMin);
    scaled =
        static_cast<int32_t>(static_cast<int64_t>(offset * physicalSpan / span) + caps.physicalMin);
    return kHidStatusSuccess;
}

std::vector<HidData> MakeItems(const HidCollectionCaps& caps, HidReportKind kind) {
    const HidReportCaps& report = caps.Of(kind);
    std::vector<HidData> items;
    for (const HidButtonCaps& button : report.buttons) {
        if (items.size() >= kMaxItemsPerKind) return items;
        HidData item;
        item.isButton = true;
        item.usagePage = button.usagePage;
        item.reportId = button.reportId;
        item.lowestUsage = button.usageMin;
        item.highestUsage = button.isRange ? button.usageMax : button.usageMin;
        // Every button item of a page holds a list as long as all the page's
        // fields together: many long array fields would multiply into gigabytes.
        item.usageListLength =
            std::min(caps.MaxUsageListLength(kind, button.usagePage), kMaxUsageListLength);
        item.usageList.assign(item.usageListLength, 0);
        items.push_back(std::move(item));
    }
    for (const HidValueCaps& value : report.values) {
        // Only usages that have a field get an item: a range may name up to
        // 2^16 usages for a single field, and a hostile descriptor would make
        // us hold gigabytes of items that can never be decoded.
        // usageMax >= usageMin is guaranteed by the parser, so this never wraps.
        const uint32_t fields = value.isRange ? value.reportCount : 1u;
        const uint32_t last = std::min<uint32_t>(value.usageMax, value.usageMin + fields - 1);
        for (uint32_t usage = value.usageMin; usage <= last; ++usage) {
            if (items.size() >= kMaxItemsPerKind) return items;
            HidData item;
            item.usagePage = value.usagePage;
            item.reportId = value.reportId;
            item.usage = static_cast<uint16_t>(usage);
            items.push_back(std::move(item));
        }
    }
    return items;
}

bool DecodeReport(std::span<const uint8_t> report, HidReportKind kind, std::vector<HidData>& items,
                  const HidCollectionCaps& caps) {
    if (report.empty()) return false;
    const HidReportCaps& reportCaps = caps.Of(kind);
    const uint8_t reportId = report[0];
    for (HidData& item : items) {
        if ((item.reportId & 0xFF) != reportId) continue;
        if (item.isButton) {
            DecodeButton(report, reportCaps, item);
        } else {
            const HidValueCaps* valueCaps = FindValueCaps(reportCaps, item);
            if (valueCaps == nullptr) {
                item.status = kHidStatusUsageNotFound;
                return false;
            }
            item.status = GetUsageValue(report, *valueCaps, item.usage, item.value);
            if (item.status != kHidStatusSuccess) return false;
            item.status = GetScaledUsageValue(report, *valueCaps, item.usage, item.scaledValue);
        }
        item.isSet = true;
    }
    return true;
}

}  // namespace q731
