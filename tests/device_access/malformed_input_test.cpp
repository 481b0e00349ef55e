// Seeded random descriptors and reports: parsing and decoding must never read
// out of bounds, loop without end or crash, whatever a device sends. Run under
// AddressSanitizer this finds what a fuzzer would.

#include <gtest/gtest.h>

#include <random>

#include "device_access/report_decoder.h"
#include "device_access/report_descriptor.h"
#include "sim/sim_products.h"

namespace q731 {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kCases = 100000;

Bytes Mutate(Bytes seed, std::mt19937& random) {
    std::uniform_int_distribution<int> byte(0, 255);
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < edits && !seed.empty(); ++i) {
        const std::size_t at = random() % seed.size();
        switch (random() % 4) {
            case 0:
                seed[at] = static_cast<uint8_t>(byte(random));
                break;
            case 1:
                seed.resize(at);
                break;
            case 2:
                seed.insert(seed.begin() + static_cast<std::ptrdiff_t>(at),
                            static_cast<uint8_t>(byte(random)));
                break;
            default:
                seed[at] ^= static_cast<uint8_t>(1u << (random() % 8));
                break;
        }
    }
    return seed;
}

Bytes RandomItems(std::mt19937& random) {
    // Items drawn from the tags that matter, with random data.
    static constexpr uint8_t kPrefixes[] = {0x05, 0x06, 0x09, 0x0B, 0x15, 0x16, 0x25, 0x26, 0x27,
                                            0x35, 0x45, 0x75, 0x85, 0x95, 0x96, 0x19, 0x29, 0x81,
                                            0x91, 0xB1, 0xA1, 0xC0, 0xA4, 0xB4, 0xFE};
    Bytes d{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
    const int count = static_cast<int>(random() % 24);
    for (int i = 0; i < count; ++i) {
        const uint8_t prefix = kPrefixes[random() % std::size(kPrefixes)];
        d.push_back(prefix);
        const int size = prefix == 0xFE ? 2 : (prefix & 3) == 3 ? 4 : (prefix & 3);
        for (int b = 0; b < size; ++b)
            d.push_back(static_cast<uint8_t>(random()));
    }
    if (random() % 4 != 0) d.push_back(0xC0);
    return d;
}

TEST(MalformedInput, RandomDescriptorsAndReportsNeverCrash) {
    std::mt19937 random(0x731);
    const Bytes seeds[] = {CommandInterfaceDescriptor(), BootKeyboardDescriptor(),
                           BootMouseDescriptor(), HeadsetDescriptor()};
    int parsedOk = 0;
    int decoded = 0;
    for (int n = 0; n < kCases; ++n) {
        const Bytes descriptor =
            n % 2 == 0 ? Mutate(seeds[random() % std::size(seeds)], random) : RandomItems(random);
        const ParsedDescriptor parsed = ParseReportDescriptor(descriptor);
        if (!parsed.Ok()) {
            ASSERT_TRUE(parsed.collections.empty());
            continue;
        }
        ++parsedOk;
        for (const HidCollectionCaps& caps : parsed.collections) {
            const auto kind = static_cast<HidReportKind>(random() % kHidReportKindCount);
            std::vector<HidData> items = MakeItems(caps, kind);
            ASSERT_LE(items.size(), kMaxFields * 0x10000u);
            // A report of random length, usually carrying one of the owned ids.
            Bytes report(random() % 80);
            for (uint8_t& b : report)
                b = static_cast<uint8_t>(random());
            if (!report.empty() && !caps.reportIds.empty() && random() % 4 != 0) {
                report[0] = caps.reportIds[random() % caps.reportIds.size()];
            }
            DecodeReport(report, kind, items, caps);
            for (const HidData& item : items) {
                ASSERT_EQ(item.usageList.size(), item.usageListLength);
            }
            ++decoded;
        }
    }
    // The generators must reach the decoder often enough to mean something.
    EXPECT_GT(parsedOk, kCases / 10);
    EXPECT_GT(decoded, kCases / 10);
}

}  // namespace
}  // namespace q731
