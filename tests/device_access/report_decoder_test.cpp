#include "device_access/report_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "sim/sim_products.h"

namespace q731 {
namespace {

using Bytes = std::vector<uint8_t>;

HidCollectionCaps Collection(const Bytes& descriptor, std::size_t index) {
    const ParsedDescriptor parsed = ParseReportDescriptor(descriptor);
    EXPECT_TRUE(parsed.Ok());
    return parsed.collections.at(index);
}

TEST(ReportDecoder, ItemsAreButtonsThenValuesInUsageOrder) {
    const HidCollectionCaps mouse = Collection(CommandInterfaceDescriptor(), 0);
    const std::vector<HidData> items = MakeItems(mouse, HidReportKind::Input);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_TRUE(items[0].isButton);
    EXPECT_EQ(items[0].lowestUsage, 1u);
    EXPECT_EQ(items[0].highestUsage, 5u);
    EXPECT_EQ(items[0].usageListLength, 5u);
    EXPECT_EQ(items[1].usage, 0x30);
    EXPECT_EQ(items[2].usage, 0x31);
    for (const HidData& item : items)
        EXPECT_EQ(item.status, kHidStatusSuccess);
}

TEST(ReportDecoder, DecodesButtonsAndSignedValues) {
    const HidCollectionCaps mouse = Collection(CommandInterfaceDescriptor(), 0);
    std::vector<HidData> items = MakeItems(mouse, HidReportKind::Input);
    // Buttons 1 and 3; X = -2; Y = 300.
    const Bytes report{1, 0x05, 0xFE, 0xFF, 0x2C, 0x01};
    ASSERT_TRUE(DecodeReport(report, HidReportKind::Input, items, mouse));
    EXPECT_EQ(items[0].usageList, (std::vector<uint16_t>{1, 3, 0, 0, 0}));
    EXPECT_EQ(items[1].value, 0xFFFEu);
    EXPECT_TRUE(items[1].isSet);
    EXPECT_EQ(items[2].value, 300u);
}

TEST(ReportDecoder, ButtonOutsideTheItemRangeIsNotListed) {
    // Two button fields on one page: usages 1-4 and 5-8. The page reports both,
    // each item keeps only its own range.
    const Bytes descriptor{0x05, 0x09, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x25,
                           0x01, 0x75, 0x01, 0x95, 0x04, 0x19, 0x01, 0x29, 0x04,
                           0x81, 0x02, 0x19, 0x05, 0x29, 0x08, 0x81, 0x02, 0xC0};
    const HidCollectionCaps caps = Collection(descriptor, 0);
    std::vector<HidData> items = MakeItems(caps, HidReportKind::Input);
    ASSERT_EQ(items.size(), 2u);
    ASSERT_TRUE(DecodeReport(Bytes{0, 0x21}, HidReportKind::Input, items, caps));
    EXPECT_EQ(items[0].usageList, (std::vector<uint16_t>{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(items[1].usageList, (std::vector<uint16_t>{6, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ReportDecoder, ArrayButtonsNameUsagesFromTheLogicalMinimum) {
    const HidCollectionCaps keyboard = Collection(BootKeyboardDescriptor(), 0);
    std::vector<HidData> items = MakeItems(keyboard, HidReportKind::Input);
    ASSERT_EQ(items.size(), 2u);
    // Left shift, then keys 0x04 (A) and 0x05 (B).
    const Bytes report{0, 0x02, 0, 0x04, 0x05, 0, 0, 0, 0};
    ASSERT_TRUE(DecodeReport(report, HidReportKind::Input, items, keyboard));
    EXPECT_EQ(items[0].usageList[0], 0xE1);
    EXPECT_EQ(items[0].usageList[1], 0);
    EXPECT_EQ(items[1].usageList[0], 0x04);
    EXPECT_EQ(items[1].usageList[1], 0x05);
    EXPECT_EQ(items[1].usageList[2], 0);
}

TEST(ReportDecoder, ShortReportNeverReadsPastItsEnd) {
    const HidCollectionCaps mouse = Collection(CommandInterfaceDescriptor(), 0);
    std::vector<HidData> items = MakeItems(mouse, HidReportKind::Input);
    // X present, Y cut off: the value decode stops with a length status.
    const Bytes report{1, 0x01, 0x10, 0x00, 0x2C};
    EXPECT_FALSE(DecodeReport(report, HidReportKind::Input, items, mouse));
    EXPECT_EQ(items[0].usageList[0], 1);
    EXPECT_EQ(items[1].value, 0x10u);
    EXPECT_EQ(items[2].status, kHidStatusInvalidReportLength);
    EXPECT_FALSE(items[2].isSet);
    // A report of the id byte alone fails the buttons' length check too.
    items = MakeItems(mouse, HidReportKind::Input);
    EXPECT_FALSE(DecodeReport(Bytes{1}, HidReportKind::Input, items, mouse));
    EXPECT_EQ(items[0].status, kHidStatusInvalidReportLength);
}

TEST(ReportDecoder, UnknownReportIdChangesNothing) {
    const HidCollectionCaps mouse = Collection(CommandInterfaceDescriptor(), 0);
    std::vector<HidData> items = MakeItems(mouse, HidReportKind::Input);
    EXPECT_TRUE(
        DecodeReport(Bytes{9, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, HidReportKind::Input, items, mouse));
    for (const HidData& item : items)
        EXPECT_FALSE(item.isSet);
}

TEST(ReportDecoder, ScaledValueUsesThePhysicalRange) {
    // Logical 0..255 mapped onto physical -100..100.
    const Bytes descriptor{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00,
                           0x26, 0xFF, 0x00, 0x35, 0x9C, 0x45, 0x64, 0x75, 0x08,
                           0x95, 0x01, 0x09, 0x02, 0x81, 0x02, 0xC0};
    const HidCollectionCaps caps = Collection(descriptor, 0);
    std::vector<HidData> items = MakeItems(caps, HidReportKind::Input);
    ASSERT_TRUE(DecodeReport(Bytes{0, 255}, HidReportKind::Input, items, caps));
    EXPECT_EQ(items[0].scaledValue, 100);
    EXPECT_EQ(items[0].status, kHidStatusSuccess);
    // Without a physical range the raw value stands and the scaled status says why.
    const HidCollectionCaps event = Collection(CommandInterfaceDescriptor(), 2);
    items = MakeItems(event, HidReportKind::Input);
    ASSERT_TRUE(DecodeReport(Bytes{3, 0x23, 0x11}, HidReportKind::Input, items, event));
    EXPECT_EQ(items[0].value, 0x1123u);
    EXPECT_EQ(items[0].status, kHidStatusBadLogPhyValues);
}

TEST(ReportDecoder, FullThirtyTwoBitRangesScaleWithoutOverflow) {
    // Logical and physical ranges both -2^31..2^31-1: the scaled value is the value.
    const Bytes descriptor{0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x17, 0x00, 0x00, 0x00, 0x80, 0x27,
                           0xFF, 0xFF, 0xFF, 0x7F, 0x37, 0x00, 0x00, 0x00, 0x80, 0x47, 0xFF, 0xFF,
                           0xFF, 0x7F, 0x75, 0x20, 0x95, 0x01, 0x09, 0x30, 0x81, 0x02, 0xC0};
    const HidCollectionCaps caps = Collection(descriptor, 0);
    for (const int32_t value : {INT32_MIN, -1, 0, 1, INT32_MAX}) {
        const auto raw = static_cast<uint32_t>(value);
        const Bytes report{0, static_cast<uint8_t>(raw), static_cast<uint8_t>(raw >> 8),
                           static_cast<uint8_t>(raw >> 16), static_cast<uint8_t>(raw >> 24)};
        int32_t scaled = 0;
        ASSERT_EQ(
            GetScaledUsageValue(report, caps.Of(HidReportKind::Input).values.at(0), 0x30, scaled),
            kHidStatusSuccess);
        EXPECT_EQ(scaled, value);
    }
}

// Descriptors that ask for huge item lists: the items stay few and short, and
// the reports still decode.
TEST(ReportDecoder, HostileDescriptorsCannotInflateTheItems) {
    struct Case {
        const char* name;
        Bytes perField;  // repeated, each time under the next report id when `numbered`
        int fields;
        bool numbered;
        std::size_t items;
    };
    const Case cases[] = {
        // Value fields of one 8-bit field each that name usages 0..0xFFFF.
        {"wide value ranges",
         {0x19, 0x00, 0x2A, 0xFF, 0xFF, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02},
         360,
         false,
         360},
        // 1-bit array fields of 12288 slots, one per report id, on one page.
        {"long arrays",
         {0x19, 0x01, 0x29, 0x02, 0x75, 0x01, 0x96, 0x00, 0x30, 0x81, 0x00},
         255,
         true,
         255},
    };
    for (const Case& c : cases) {
        Bytes descriptor{0x05, 0x01, 0x09, 0x02, 0xA1, 0x01};
        for (int field = 1; field <= c.fields; ++field) {
            if (c.numbered) descriptor.insert(descriptor.end(), {0x85, uint8_t(field)});
            descriptor.insert(descriptor.end(), c.perField.begin(), c.perField.end());
        }
        descriptor.push_back(0xC0);
        const HidCollectionCaps caps = Collection(descriptor, 0);
        std::vector<HidData> items = MakeItems(caps, HidReportKind::Input);
        EXPECT_EQ(items.size(), c.items) << c.name;
        for (const HidData& item : items)
            ASSERT_LE(item.usageList.size(), kMaxUsageListLength) << c.name;
        Bytes report(c.numbered ? 1 + 12288 / 8 : 1 + c.fields, 1);
        report[0] = c.numbered ? 1 : 0;
        EXPECT_TRUE(DecodeReport(report, HidReportKind::Input, items, caps)) << c.name;
    }
}

}  // namespace
}  // namespace q731
