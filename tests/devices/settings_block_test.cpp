// The lighting bytes and the active-profile read the mouse, the keyboard and
// the pad share.

#include "devices/settings_block.h"

#include <gtest/gtest.h>

#include "link_fixture.h"

namespace q731 {
namespace {

using testing::Slice;
using testing::ToHex;

TEST(LightingBytes, LightGoesOutClampedWithTheSpeedCountedDown) {
    struct Case {
        LightSetting light;
        std::uint8_t code;
        const char* bytes;  // 1-8
    };
    const Case cases[] = {
        {{.selectItem = 3,
          .brightness = 2,
          .speed = 1,
          .direction = 1,
          .multiColor = 1,
          .red = 0x10,
          .green = 0x20,
          .blue = 0x30},
         0x43,
         "43 02 03 01 01 10 20 30"},
        {{.selectItem = 0, .brightness = 9, .speed = 9}, 0x40, "40 04 00 00 00 00 00 00"},
        {{.selectItem = 0, .brightness = 0, .speed = 0}, 0x40, "40 00 04 00 00 00 00 00"},
    };
    for (const Case& c : cases) {
        Bytes block(10, 0xEE);
        LightToBlock(c.light, c.code, block);
        EXPECT_EQ(ToHex(Slice(block, 1, 8)), c.bytes);
        EXPECT_EQ(block[0], 0xEE) << "byte 0 is the block's own";
        EXPECT_EQ(block[9], 0xEE) << "nothing past the lighting";
    }
}

TEST(LightingBytes, LightComesBackClampedAndDirectionOnlyWhenAsked) {
    const Bytes block = FromHex("00 05 c8 c8 01 01 0a 0b 0c");  // brightness and speed 200
    LightSetting kept;
    kept.direction = 7;
    const LightSetting light = LightFromBlock(block, kept, false);
    EXPECT_EQ(light.selectItem, 5);
    EXPECT_EQ(light.brightness, 4);
    EXPECT_EQ(light.speed, 0) << "a speed byte above the top level is the lowest level";
    EXPECT_EQ(light.direction, 7);
    EXPECT_EQ(LightFromBlock(block, kept, true).direction, 1);
    EXPECT_EQ(LightFromBlock(Slice(block, 0, 8), kept, true), kept) << "too short: unchanged";
}

TEST_F(LinkTest, TheActiveProfilesBlockIsReadAfterItsNumberAndOnlyForAKnownOne) {
    Attach(SimChannel::Wired);
    firmware_->FillRegion(SimRegion::Settings, 0, Bytes{1});
    firmware_->FillRegion(SimRegion::Settings, 128, FromHex("01 02 03 04"));
    Bytes block(4);
    std::uint8_t profile = 9;
    ASSERT_EQ(ReadActiveProfileBlock(*link_, block, 128, 4, profile), LinkResult::Ok);
    EXPECT_EQ(profile, 1);
    EXPECT_EQ(ToHex(block), "01 02 03 04");
    ASSERT_EQ(Sent().size(), 2u);
    EXPECT_EQ(ToHex(Slice(Sent()[1], 3, 4)), "05 04 80 00") << "4 bytes at 128";

    firmware_->ClearLog();
    profile = 9;
    EXPECT_EQ(ReadActiveProfileBlock(*link_, block, 128, 1, profile), LinkResult::Failed);
    EXPECT_EQ(profile, 9);
    EXPECT_EQ(Sent().size(), 1u) << "profile 1 of one: the block is not asked for";
    ExpectNoViolations();
}

}  // namespace
}  // namespace q731
