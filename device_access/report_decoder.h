#pragma once
// Decoding of reports into usage items, with the status codes callers know
// from the HID parsing library of other systems.

#include <cstdint>
#include <span>
#include <vector>

#include "device_access/report_descriptor.h"

namespace q731 {

inline constexpr uint32_t kHidStatusSuccess = 0x00110000;
inline constexpr uint32_t kHidStatusNull = 0x80110001;  // value outside its logical range
inline constexpr uint32_t kHidStatusInvalidReportLength = 0xC0110003;
inline constexpr uint32_t kHidStatusBufferTooSmall = 0xC0110007;
inline constexpr uint32_t kHidStatusBadLogPhyValues = 0xC0110006;
inline constexpr uint32_t kHidStatusUsageNotFound = 0xC0110004;

// One decoded item. Buttons use the usage range and list; values use usage,
// value and scaledValue.
struct HidData {
    bool isButton = false;
    uint16_t usagePage = 0;
    uint32_t status = kHidStatusSuccess;
    uint32_t reportId = 0;
    bool isSet = false;
    // Button part.
    uint32_t lowestUsage = 0;
    uint32_t highestUsage = 0;
    uint32_t usageListLength = 0;
    std::vector<uint16_t> usageList;  // usages that are on; a 0 ends a shorter list
    // Value part.
    uint16_t usage = 0;
    uint32_t value = 0;
    int32_t scaledValue = 0;
};

// Most items made for one report kind of a collection; real devices need a few
// dozen, and each field of a descriptor can ask for thousands.
inline constexpr std::size_t kMaxItemsPerKind = 4096;
// Longest usage list of a button item: more keys than any keyboard has.
inline constexpr uint32_t kMaxUsageListLength = 1024;

// The items of one report kind of a collection: one per button field, then one
// per usage of every value field that has a field of its own, in ascending
// usage order within a range; at most kMaxItemsPerKind in all, and no usage
// list longer than kMaxUsageListLength (more usages on at once decode as
// kHidStatusBufferTooSmall).
std::vector<HidData> MakeItems(const HidCollectionCaps& caps, HidReportKind kind);

// Decodes `report` (report id first) into the items that carry its report id.
// Items of other reports stay untouched, so a report id nobody knows changes
// nothing. Every field is checked against the received length: a field that
// lies past the end is never read. Returns false when a value item cannot be
// decoded; items decoded before it keep their new values.
bool DecodeReport(std::span<const uint8_t> report, HidReportKind kind, std::vector<HidData>& items,
                  const HidCollectionCaps& caps);

// Raw and scaled reads of one value usage, exposed for the decoder's tests.
uint32_t GetUsageValue(std::span<const uint8_t> report, const HidValueCaps& caps, uint16_t usage,
                       uint32_t& value);
uint32_t GetScaledUsageValue(std::span<const uint8_t> report, const HidValueCaps& caps,
                             uint16_t usage, int32_t& scaled);

}  // namespace q731
