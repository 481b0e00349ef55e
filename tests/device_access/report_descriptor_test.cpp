#include "device_access/report_descriptor.h"

#include <gtest/gtest.h>

#include "sim/sim_products.h"

namespace q731 {
namespace {

using Bytes = std::vector<uint8_t>;

// A vendor collection wrapped around `body`.
Bytes Wrap(const Bytes& body) {
    Bytes d{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
    d.insert(d.end(), body.begin(), body.end());
    d.push_back(0xC0);
    return d;
}

TEST(ReportDescriptor, CommandInterfaceHasFourCollectionsInOrder) {
    const ParsedDescriptor parsed = ParseReportDescriptor(CommandInterfaceDescriptor());
    ASSERT_TRUE(parsed.Ok()) << DescriptorErrorText(parsed.error);
    ASSERT_EQ(parsed.collections.size(), 4u);
    EXPECT_TRUE(parsed.usesReportIds);
    const uint16_t pages[4] = {0x0001, 0x0001, 0x000C, 0xFF1C};
    const uint16_t usages[4] = {0x0002, 0x0080, 0x0001, 0x0092};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(parsed.collections[i].usagePage, pages[i]) << i;
        EXPECT_EQ(parsed.collections[i].usage, usages[i]) << i;
        EXPECT_EQ(parsed.collections[i].reportIds, Bytes{static_cast<uint8_t>(i + 1)});
    }
    const HidCollectionCaps& command = parsed.collections[3];
    EXPECT_EQ(command.Of(HidReportKind::Input).reportByteLength, 64);
    EXPECT_EQ(command.Of(HidReportKind::Output).reportByteLength, 64);
    EXPECT_EQ(command.Of(HidReportKind::Feature).reportByteLength, 0);
    // Mouse: 5 buttons + 3 padding bits + two 16-bit axes = 5 data bytes.
    const HidReportCaps& mouse = parsed.collections[0].Of(HidReportKind::Input);
    EXPECT_EQ(mouse.reportByteLength, 6);
    ASSERT_EQ(mouse.buttons.size(), 1u);
    EXPECT_EQ(mouse.buttons[0].usageMax, 5);
    ASSERT_EQ(mouse.values.size(), 2u);
    EXPECT_EQ(mouse.values[1].usageMin, 0x31);
    EXPECT_EQ(mouse.values[1].bitOffset, 24u);
    EXPECT_EQ(mouse.values[1].logicalMin, -32767);
}

TEST(ReportDescriptor, InterfaceWithoutReportIdsCountsTheZeroIdByte) {
    const ParsedDescriptor parsed = ParseReportDescriptor(BootKeyboardDescriptor());
    ASSERT_TRUE(parsed.Ok());
    EXPECT_FALSE(parsed.usesReportIds);
    ASSERT_EQ(parsed.collections.size(), 1u);
    EXPECT_EQ(parsed.collections[0].Of(HidReportKind::Input).reportByteLength, 9);
    EXPECT_EQ(parsed.collections[0].Of(HidReportKind::Output).reportByteLength, 2);
    EXPECT_EQ(parsed.collections[0].MaxUsageListLength(HidReportKind::Input, 0x07), 8u + 6u);
}

TEST(ReportDescriptor, ExtendedUsageCarriesItsOwnPage) {
    const ParsedDescriptor parsed = ParseReportDescriptor(
        Bytes{0x0B, 0x01, 0x00, 0x0C, 0x00, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0});
    ASSERT_TRUE(parsed.Ok());
    EXPECT_EQ(parsed.collections[0].usagePage, 0x000C);
    EXPECT_EQ(parsed.collections[0].usage, 0x0001);
}

TEST(ReportDescriptor, LongItemsAreSkipped) {
    const ParsedDescriptor parsed = ParseReportDescriptor(
        Wrap({0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02}));
    ASSERT_TRUE(parsed.Ok());
    EXPECT_EQ(parsed.collections[0].Of(HidReportKind::Input).reportByteLength, 3);
}

struct Malformed {
    const char* name;
    Bytes descriptor;
    DescriptorError error;
};

// What the kernel refuses as well rejects the whole descriptor.
TEST(ReportDescriptor, MalformedDescriptorsAreRejected) {
    const Malformed cases[] = {
        {"empty", {}, DescriptorError::Empty},
        {"item cut short", {0x06, 0x00}, DescriptorError::Truncated},
        {"long item cut short", Wrap({0xFE, 0x05, 0x10, 0x01}), DescriptorError::Truncated},
        {"report id 0", Wrap({0x85, 0x00}), DescriptorError::BadReportId},
        {"report size over 256 bits", Wrap({0x76, 0x01, 0x01, 0x95, 0x01, 0x81, 0x02}),
         DescriptorError::BadReportSize},
        {"end collection without collection", {0xC0}, DescriptorError::UnbalancedCollection},
        {"collection never ended", {0x09, 0x01, 0xA1, 0x01}, DescriptorError::UnbalancedCollection},
        {"pop without push", {0xB4}, DescriptorError::StackError},
    };
    for (const Malformed& c : cases) {
        const ParsedDescriptor parsed = ParseReportDescriptor(c.descriptor);
        EXPECT_EQ(parsed.error, c.error) << c.name;
        EXPECT_TRUE(parsed.collections.empty()) << c.name;
    }
}

struct Unusable {
    const char* name;
    Bytes descriptor;
    const char* note;
};

// What only we cannot use is skipped with a note; the collection stays, with
// an 8-bit field after the bad one still at its place.
TEST(ReportDescriptor, UnusableFieldsAreSkippedWithANote) {
    const Bytes good = {0x75, 0x08, 0x95, 0x01, 0x09, 0x30, 0x81, 0x02};
    const auto withGood = [&](Bytes bad) {
        bad.insert(bad.end(), good.begin(), good.end());
        return Wrap(bad);
    };
    const Unusable cases[] = {
        // Usage maximum below minimum would count almost 2^16 items.
        {"reversed usage range",
         withGood({0x19, 0x10, 0x29, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02}),
         "usage maximum below minimum"},
        {"minimum without maximum", withGood({0x19, 0x10, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02}),
         "usage minimum without maximum"},
        {"report size over 32 bits", withGood({0x75, 0x40, 0x95, 0x01, 0x09, 0x31, 0x81, 0x02}),
         "field of 64 bits"},
        {"data field of size 0", withGood({0x75, 0x00, 0x95, 0x01, 0x81, 0x02}), "no bits"},
    };
    for (const Unusable& c : cases) {
        const ParsedDescriptor parsed = ParseReportDescriptor(c.descriptor);
        ASSERT_TRUE(parsed.Ok()) << c.name;
        ASSERT_EQ(parsed.collections.size(), 1u) << c.name;
        ASSERT_EQ(parsed.skipped.size(), 1u) << c.name;
        EXPECT_NE(parsed.skipped[0].find(c.note), std::string::npos) << parsed.skipped[0];
        const auto& values = parsed.collections[0].Of(HidReportKind::Input).values;
        ASSERT_EQ(values.size(), 1u) << c.name;
        EXPECT_EQ(values[0].usageMin, 0x30) << c.name;
    }
    // Fields outside every collection and reports past 4096 bytes belong nowhere.
    EXPECT_EQ(ParseReportDescriptor(Bytes{0x75, 0x08, 0x95, 0x01, 0x81, 0x02}).skipped.size(), 1u);
    EXPECT_EQ(
        ParseReportDescriptor(Wrap({0x75, 0x20, 0x96, 0x00, 0x10, 0x81, 0x02})).skipped.size(), 1u);
}

TEST(ReportDescriptor, NestingAndPushDepthAreBounded) {
    Bytes deep;
    for (int i = 0; i < kMaxCollectionDepth + 1; ++i)
        deep.insert(deep.end(), {0xA1, 0x00});
    EXPECT_EQ(ParseReportDescriptor(deep).error, DescriptorError::StackError);
    Bytes pushes(kMaxPushDepth + 1, 0xA4);
    EXPECT_EQ(ParseReportDescriptor(pushes).error, DescriptorError::StackError);
}

TEST(ReportDescriptor, PushPopRestoresGlobals) {
    const ParsedDescriptor parsed = ParseReportDescriptor(
        Wrap({0x75, 0x08, 0x95, 0x01, 0xA4, 0x75, 0x10, 0x95, 0x02, 0xB4, 0x09, 0x02, 0x81, 0x02}));
    ASSERT_TRUE(parsed.Ok());
    EXPECT_EQ(parsed.collections[0].Of(HidReportKind::Input).values.at(0).bitSize, 8);
}

}  // namespace
}  // namespace q731
