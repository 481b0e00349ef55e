// The report-descriptor parser and the report decoder on one input: the bytes
// are parsed as a descriptor, and then every report kind of every collection
// it yields decodes reports cut from the same bytes, at every length from
// nothing to past the longest report, under every report id it owns.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "device_access/report_decoder.h"
#include "device_access/report_descriptor.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace q731;

// Report lengths tried per report id: each boundary a field can end on is
// among them for the short reports our devices send.
constexpr std::size_t kMaxLengthsTried = 80;

void DecodeEveryLength(std::span<const uint8_t> bytes, const HidCollectionCaps& caps,
                       HidReportKind kind, uint8_t reportId) {
    const std::size_t longest = caps.Of(kind).reportByteLength;
    std::vector<uint8_t> report;
    std::vector<HidData> items = MakeItems(caps, kind);
    const std::size_t lengths = std::min(longest + 2, kMaxLengthsTried);
    for (std::size_t length = 0; length <= lengths; ++length) {
        report.assign(length, 0);
        for (std::size_t i = 1; i < length && !bytes.empty(); ++i)
            report[i] = bytes[(i - 1) % bytes.size()];
        if (length > 0) report[0] = reportId;
        if (!DecodeReport(report, kind, items, caps)) continue;
        for (const HidData& item : items) {
            if (item.isButton && item.usageList.size() != item.usageListLength)
                fuzz::Fail("a button item's usage list changed length");
        }
    }
    if (longest == 0) return;
    // The field readers on their own, one usage below and above each range too.
    report.assign(longest, 0xA5);
    report[0] = reportId;
    for (const HidValueCaps& value : caps.Of(kind).values) {
        for (int usage :
             {value.usageMin - 1, int{value.usageMin}, int{value.usageMax}, value.usageMax + 1}) {
            uint32_t raw = 0;
            int32_t scaled = 0;
            GetUsageValue(report, value, static_cast<uint16_t>(usage), raw);
            GetScaledUsageValue(report, value, static_cast<uint16_t>(usage), scaled);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const ParsedDescriptor parsed = ParseReportDescriptor(bytes);
    const std::vector<std::string> lines = DescribeCollections(parsed);
    if (!parsed.Ok() && !parsed.collections.empty())
        fuzz::Fail("a rejected descriptor still has collections");
    if (parsed.collections.size() > kMaxCollections) fuzz::Fail("too many collections");
    if (parsed.skipped.size() > kMaxDescriptorNotes) fuzz::Fail("too many notes");
    for (const HidCollectionCaps& caps : parsed.collections) {
        for (int kind = 0; kind < kHidReportKindCount; ++kind) {
            const auto reportKind = static_cast<HidReportKind>(kind);
            if (caps.Of(reportKind).reportByteLength > kMaxReportBytes)
                fuzz::Fail("a report longer than the limit");
            if (!parsed.usesReportIds) {
                DecodeEveryLength(bytes, caps, reportKind, 0);
                continue;
            }
            for (uint8_t id : caps.reportIds)
                DecodeEveryLength(bytes, caps, reportKind, id);
        }
    }
    return 0;
}
