#include "devices/keys/macro_image.h"

#include <gtest/gtest.h>

#include "tests/support/hex.h"

namespace q731 {
namespace {

std::vector<MacroEventRecord> Events(int count, int firstButton) {
    std::vector<MacroEventRecord> events;
    for (int i = 0; i < count; ++i) {
        MacroEvent event{i % 2 == 0 ? "down" : "up", 10, firstButton + i,
                         300u + static_cast<unsigned>(i)};
        events.push_back(MacroEventRecord::FromEvent(event));
    }
    return events;
}

std::string Hex(std::span<const std::uint8_t> bytes) {
    return testing::ToHex(bytes, 0);
}

TEST(MacroImage, TwoMacrosOfThreeAndFiveEvents) {
    const std::vector<std::vector<MacroEventRecord>> entries = {Events(3, 4), Events(5, 8)};
    const MacroImage image = BuildMacroImage(entries, 1024);
    ASSERT_TRUE(image.Fits());
    ASSERT_EQ(image.bytes.size(), 60u);
    EXPECT_EQ(Hex(std::span(image.bytes).first(20)),
              "aa553c00020000000000000000000000"
              "14002400");
}

TEST(MacroImage, ThreeMacrosByteExact) {
    const std::vector<std::vector<MacroEventRecord>> entries = {Events(3, 4), Events(5, 8),
                                                                Events(2, 0x29)};
    const MacroImage image = BuildMacroImage(entries, 1024);
    ASSERT_EQ(image.bytes.size(), 74u) << "16 + 6 x 3 + 4 x 10";
    const std::string hex = Hex(image.bytes);
    EXPECT_EQ(hex.substr(0, 32), "aa554a00030000000000000000000000");
    EXPECT_EQ(hex.substr(32, 12), "160026003e00") << "offsets 22, 38, 62";
    // Entry 0 at 22: 3 events, then a down (delay 300 = 2C 01, type 10 | 0x80, key 4).
    EXPECT_EQ(hex.substr(44, 8), "03000000");
    EXPECT_EQ(hex.substr(52, 8), "2c018a04");
    EXPECT_EQ(hex.substr(60, 8), "2d010a05") << "an up has no down bit";
    // Entry 2 at 62: 2 events.
    EXPECT_EQ(hex.substr(124, 8), "02000000");
    EXPECT_EQ(hex.substr(132, 8), "2c018a29");
}

TEST(MacroImage, OverflowCountAroundTheCapacity) {
    const std::vector<std::vector<MacroEventRecord>> entries = {Events(3, 4), Events(5, 8),
                                                                Events(2, 1)};
    struct Case {
        std::uint32_t capacity;
        std::uint32_t overflow;
    };
    for (const Case& c : {Case{78, 0}, Case{74, 0}, Case{73, 1}, Case{71, 1}, Case{70, 2}}) {
        const MacroImage image = BuildMacroImage(entries, c.capacity);
        EXPECT_EQ(image.overflow, c.overflow) << "capacity " << c.capacity;
        EXPECT_EQ(image.bytes.empty(), c.overflow != 0);
    }
    // The length field is 16 bits: a huge capacity does not let the length wrap.
    const std::vector<std::vector<MacroEventRecord>> huge(4, Events(4100, 0));
    EXPECT_FALSE(BuildMacroImage(huge, 0xFFFFFFFFu).Fits());
    EXPECT_TRUE(BuildMacroImage({}, 16).Fits());
}

TEST(MacroRenumbering, DenseInKeyOrderAndMissingMacrosFallBack) {
    const AssignmentCode left{0x10, 0x01, 0};
    const std::vector<AssignmentCode> current = {
        {0x70, 5, 1}, {0x71, 2, 9}, {0x70, 5, 0}, {0x20, 0, 4}, {0x70, 7, 0}};
    const std::vector<AssignmentCode> defaults(5, left);
    const RenumberedKeys sent = RenumberMacros(current, defaults, 7);
    EXPECT_EQ(sent.usedMacros, (std::vector<int>{5, 2}));
    EXPECT_EQ(sent.codes[0], (AssignmentCode{0x70, 0, 1}));
    EXPECT_EQ(sent.codes[1], (AssignmentCode{0x71, 1, 9}));
    EXPECT_EQ(sent.codes[2], (AssignmentCode{0x70, 0, 0}));
    EXPECT_EQ(sent.codes[3], (AssignmentCode{0x20, 0, 4}));
    EXPECT_EQ(sent.codes[4], left) << "macro 7 does not exist";
    EXPECT_EQ(current[0], (AssignmentCode{0x70, 5, 1})) << "the stored list is untouched";

    std::vector<AssignmentCode> stored = current;
    EXPECT_TRUE(ResetMissingMacroAssignments(stored, defaults, 3));
    EXPECT_EQ(stored[0], left);
    EXPECT_EQ(stored[1], (AssignmentCode{0x71, 2, 9}));
    EXPECT_FALSE(ResetMissingMacroAssignments(stored, defaults, 3));
}

}  // namespace
}  // namespace q731
