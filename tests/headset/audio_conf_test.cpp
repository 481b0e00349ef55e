// The pure parts of the audio library interface: which endpoint is chosen,
// what a feature answer means, and how levels cross to scalars and back.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "headset/audio_conf.h"

namespace q731 {
namespace {

TEST(AudioConf, FeatureAnswerNeedsSevenItemsAndADecimalMask) {
    struct Case {
        std::string_view text;
        std::optional<std::uint32_t> mask;
    };
    const Case cases[] = {
        {"131072,0,0,0,0,0,0", 0x20000},
        {",7,,1,2,,3,4,5,6,", 7},  // empty items are skipped, not counted
        {" 42 ,a,b,c,d,e,f", 42},
        {"4294967295,1,1,1,1,1,1", 0xFFFFFFFFU},
        {"131072,0,0,0,0,0", std::nullopt},  // six items
        {",,,,,,,,,,,,", std::nullopt},
        {"", std::nullopt},
        {"0x20000,1,1,1,1,1,1", std::nullopt},
        {"-1,1,1,1,1,1,1", std::nullopt},
        {"4294967296,1,1,1,1,1,1", std::nullopt},
        {"12ab,1,1,1,1,1,1", std::nullopt},
        {std::string_view("1\0,1,1,1,1,1,1", 14), std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseSupportFeature(c.text), c.mask) << c.text;
    }
}

TEST(AudioConf, PlaybackPrefersActiveKindsInOrderRecordingTakesTheFirstOfItsKind) {
    const ConfDeviceInfo inactiveSpeaker{1, 1, 0, 0};
    const ConfDeviceInfo headphones{2, 12, 0, 1};
    const ConfDeviceInfo speaker{3, 1, 0, 1};
    const ConfDeviceInfo digital{4, 4, 0, 1};
    const ConfDeviceInfo inactiveMic{5, 2, 0, 0};
    const ConfDeviceInfo mic{6, 2, 0, 1};
    struct Case {
        std::vector<ConfDeviceInfo> endpoints;
        std::optional<ConfDeviceInfo> playback;
        std::optional<ConfDeviceInfo> recording;
    };
    const Case cases[] = {
        {{digital, headphones, speaker}, speaker, std::nullopt},
        {{inactiveSpeaker, digital, headphones}, headphones, std::nullopt},
        {{inactiveSpeaker, digital}, digital, std::nullopt},
        {{inactiveSpeaker}, std::nullopt, std::nullopt},
        {{inactiveMic, mic}, std::nullopt, inactiveMic},
        {{}, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChoosePlaybackEndpoint(c.endpoints), c.playback);
        EXPECT_EQ(ChooseRecordingEndpoint(c.endpoints), c.recording);
    }
}

TEST(AudioConf, EveryLevelSurvivesTheScalarRoundTripAndScalarsStayInRange) {
    for (int level = 0; level <= 100; ++level) {
        EXPECT_EQ(ScalarToLevel(LevelToScalar(level)), level);
    }
    EXPECT_EQ(LevelToScalar(-5), 0.0F);
    EXPECT_EQ(LevelToScalar(250), 1.0F);
    EXPECT_EQ(ScalarToLevel(-0.3), 0);
    EXPECT_EQ(ScalarToLevel(1.7), 100);
    EXPECT_EQ(ScalarToLevel(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(ScalarToLevel(std::numeric_limits<double>::infinity()), 100);
    EXPECT_EQ(AsInteger(AudioValue(std::numeric_limits<float>::quiet_NaN())), 0);
    EXPECT_EQ(AsInteger(AudioValue(1e20F)), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(AsInteger(AudioValue(0.6F)), 1);
}

}  // namespace
}  // namespace q731
