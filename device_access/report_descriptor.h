#pragma once
// Our own HID report-descriptor parser. It turns the raw descriptor of one
// interface into the capabilities of each top-level collection: usage page and
// usage, report lengths per report kind, button and value fields with their bit
// positions, logical and physical ranges, and the report ids each collection
// owns. The descriptor comes from a device and is untrusted: every length,
// range and nesting level is checked.
//
// The parser is no stricter than the kernel, which has already accepted the
// descriptor when we see it: what the kernel refuses (items cut short,
// unbalanced collections, report id 0, push/pop misuse) rejects the whole
// descriptor, while a field or collection we cannot use (wider than 32 bits,
// an incomplete usage range, outside every collection, past our limits) is
// skipped with a note, and the rest of the interface stays usable.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace q731 {

enum class HidReportKind : int { Input = 0, Output = 1, Feature = 2 };
inline constexpr int kHidReportKindCount = 3;

// A field of on/off usages: one bit per usage (variable) or a list of slots
// that each hold the index of a usage that is on (array).
struct HidButtonCaps {
    uint16_t usagePage = 0;
    uint8_t reportId = 0;
    bool isRange = false;
    bool isArray = false;
    uint16_t usageMin = 0;
    uint16_t usageMax = 0;
    uint32_t bitOffset = 0;  // from the first data bit, after the report id byte
    uint16_t bitSize = 1;
    uint16_t reportCount = 1;
    int32_t logicalMin = 0;
    int32_t logicalMax = 1;
};

// A field of numbers. A range covers usageMin..usageMax with one field per
// usage; a single usage has one field (further fields are ignored).
struct HidValueCaps {
    uint16_t usagePage = 0;
    uint8_t reportId = 0;
    bool isRange = false;
    uint16_t usageMin = 0;
    uint16_t usageMax = 0;
    uint32_t bitOffset = 0;
    uint16_t bitSize = 0;
    uint16_t reportCount = 1;
    int32_t logicalMin = 0;
    int32_t logicalMax = 0;
    int32_t physicalMin = 0;
    int32_t physicalMax = 0;
};

struct HidReportCaps {
    std::vector<HidButtonCaps> buttons;
    std::vector<HidValueCaps> values;
    // Longest report of this kind in bytes, the report id byte included; 0
    // when the collection has no report of this kind.
    uint16_t reportByteLength = 0;
};

struct HidCollectionCaps {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    std::array<HidReportCaps, kHidReportKindCount> reports;
    std::vector<uint8_t> reportIds;  // ids of the reports of any kind that belong here

    const HidReportCaps& Of(HidReportKind kind) const { return reports[static_cast<int>(kind)]; }
    bool OwnsReportId(uint8_t reportId) const;
    // Largest number of usages of `page` that reports of `kind` can have on at once.
    uint32_t MaxUsageListLength(HidReportKind kind, uint16_t page) const;
};

enum class DescriptorError : int {
    None = 0,
    Empty,
    Truncated,      // an item runs past the end
    BadReportSize,  // report size or count beyond what the kernel accepts
    BadReportId,    // report id 0 or above 255
    UnbalancedCollection,
    StackError,  // push/pop misuse or too deep
    TooLarge,    // descriptor longer than the kernel's limit
};

std::string_view DescriptorErrorText(DescriptorError error);

struct ParsedDescriptor {
    DescriptorError error = DescriptorError::None;
    bool usesReportIds = false;
    std::vector<HidCollectionCaps> collections;  // top-level collections in descriptor order
    // What was skipped and why, one line each ("at byte 12: ..."); at most
    // kMaxDescriptorNotes lines, the last one counting any further.
    std::vector<std::string> skipped;

    bool Ok() const { return error == DescriptorError::None; }
};

// Limits that keep a hostile descriptor from costing memory or time.
inline constexpr std::size_t kMaxDescriptorBytes = 4096;
inline constexpr std::size_t kMaxCollections = 64;
inline constexpr std::size_t kMaxFields = 1024;
inline constexpr std::size_t kMaxReportBytes = 4096;
inline constexpr int kMaxCollectionDepth = 32;
inline constexpr int kMaxPushDepth = 8;
inline constexpr std::size_t kMaxLocalUsages = 256;
inline constexpr std::size_t kMaxDescriptorNotes = 16;
// What the kernel itself refuses.
inline constexpr uint32_t kKernelMaxReportSizeBits = 256;
inline constexpr uint32_t kKernelMaxReportCount = 12288;

ParsedDescriptor ParseReportDescriptor(std::span<const uint8_t> descriptor);

// One line per top-level collection, as diagnostics print it:
// "1: page 0001 usage 0002, ids 01 02, in 8, out 0, feature 0" (lengths in
// bytes with the report id byte; "ids -" when the reports are unnumbered).
std::vector<std::string> DescribeCollections(const ParsedDescriptor& parsed);

}  // namespace q731
