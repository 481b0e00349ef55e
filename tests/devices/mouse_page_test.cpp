#include <gtest/gtest.h>

#include "device_fixture.h"

namespace q731 {
namespace {

struct Conversion {
    DpiScale scale;
    int step;
    int resolution;
};

constexpr DpiScale kPlain{0x0051, 50, 320, 50};
constexpr DpiScale kWide{kWideStepSensor, 100, 100, 100};  // knee at step 48 = 4900 DPI

TEST(DpiSteps, DisplayRuleIncludingTheWideSensorScale) {
    const Conversion cases[] = {
        {kPlain, 0, 50},      {kPlain, 10, 550},
        {kPlain, 320, 16050}, {kPlain, 999, 16050},  // beyond the steps: the highest step
        {kPlain, -3, 50},     {kWide, 48, 4900},
        {kWide, 49, 5100},    {kWide, 60, 7300},
    };
    for (const Conversion& c : cases) {
        EXPECT_EQ(c.scale.ResolutionOfStep(c.step), c.resolution) << c.step;
    }
}

TEST(DpiSteps, TypedRuleIsTheInverseOfTheDisplayRule) {
    const Conversion cases[] = {
        {kPlain, 9, 549},     {kPlain, 0, 20},  // raised to the lowest first
        {kPlain, 320, 99999}, {kWide, 29, 3000}, {kWide, 48, 4900},
        {kWide, 48, 5099},    {kWide, 49, 5100},  // the knee's own rule would give 48 (4900)
        {kWide, 55, 6300},
    };
    for (const Conversion& c : cases) {
        EXPECT_EQ(c.scale.StepOfResolution(c.resolution), c.step) << c.resolution;
    }
    for (const DpiScale& scale : {kPlain, kWide, DpiScale{kWideStepSensor, 104, 90, 200}}) {
        for (int step = 0; step <= scale.steps; ++step) {
            ASSERT_EQ(scale.StepOfResolution(scale.ResolutionOfStep(step)), step) << step;
        }
        // Below the knee and below 5000 both rules are (r - lowest) / step size.
        for (int r = scale.lowest; r <= std::min(5000, scale.ResolutionOfStep(48)); r += 7) {
            ASSERT_EQ(scale.StepOfResolution(r), (r - scale.lowest) / scale.stepSize) << r;
        }
    }
    EXPECT_FALSE((DpiScale{0x51, 0, 320, 50}.StepOfResolution(800).has_value()));
    EXPECT_EQ(ParseDecimal(""), 0);
    EXPECT_EQ(ParseDecimal(" 1200dpi"), 1200);
    EXPECT_EQ(ParseDecimal("99999999999999999999"), 1'000'000'000);
}

class MousePageTest : public DeviceTest<CVexloMouseDevice> {
protected:
    void Start(const Bytes& infoDpiBytes) {
        Attach(SimChannel::Wired);
        firmware_->FillRegion(SimRegion::Info, 9, infoDpiBytes);
        ConnectAndClear();
        view_.shown.clear();
    }
    int StageStepInMemory(int stage) {
        const Bytes memory = Memory(SimRegion::Settings);
        const std::size_t at = 14 + 9 * static_cast<std::size_t>(stage) + 2;
        return memory[at] | memory[at + 1] << 8;
    }
};

TEST_F(MousePageTest, TypedResolutionOnTheWideSensorShowsWhatWasTyped) {
    Start(FromHex("25 33 64 64 00 64 00"));  // 0x3325, step 100, 100 steps, lowest 100
    ASSERT_TRUE(device_->EnterStageResolution(1, "5100"));
    EXPECT_EQ(view_.shown, (std::vector<std::string>{"value 1 49"}));
    EXPECT_EQ(StageStepInMemory(1), 49);
    EXPECT_EQ(device_->Scale().ResolutionOfStep(49), 5100);
    ASSERT_TRUE(device_->EnterStageResolution(2, ""));
    EXPECT_EQ(StageStepInMemory(2), 0) << "an empty box reads 0, raised to the lowest";
    ExpectNoViolations();
}

TEST_F(MousePageTest, ZeroStepSizeIgnoresTypedResolutions) {
    Start(FromHex("51 00 00 40 01 32 00"));
    EXPECT_FALSE(device_->EnterStageResolution(0, "800"));
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(view_.shown.empty());
}

TEST_F(MousePageTest, StageEditsStayInsideFiveStagesAndTheStepRange) {
    Start(FromHex("51 00 32 40 01 32 00"));
    const std::size_t stages = device_->Stages().size();
    EXPECT_FALSE(device_->SetStageStep(5, 10));
    EXPECT_FALSE(device_->EnableStage(7, true));
    EXPECT_FALSE(device_->SelectStage(5, {}));
    EXPECT_EQ(device_->Stages().size(), stages) << "names past stage 4 never grow the list";
    EXPECT_TRUE(Sent().empty());

    ASSERT_TRUE(device_->SetStageStep(4, 9999));
    EXPECT_EQ(StageStepInMemory(4), 320) << "clamped to the highest step";
    device_->PreviewStageStep(0, 12);
    EXPECT_EQ(view_.shown.back(), "value 0 12");

    const std::optional<int> sliders[] = {3, std::nullopt, 7};
    ASSERT_TRUE(device_->SelectStage(1, sliders));
    EXPECT_EQ(Memory(SimRegion::Settings)[12], 1);
    EXPECT_EQ(StageStepInMemory(0), 3);
    EXPECT_EQ(StageStepInMemory(1), 0) << "a missing slider reads 0";
    EXPECT_EQ(StageStepInMemory(2), 7);
    EXPECT_EQ(view_.shown.back(), "value 4 0");
    ExpectNoViolations();
}

TEST_F(MousePageTest, EnableSwitchesKeepTheActiveAndTheLastStageOn) {
    Start(FromHex("51 00 32 40 01 32 00"));
    const int active = device_->Profile().GetActiveStage();
    EXPECT_FALSE(device_->EnableStage(active, false)) << "the active stage stays enabled";
    EXPECT_TRUE(Sent().empty());
    const int other = active == 0 ? 1 : 0;
    ASSERT_TRUE(device_->EnableStage(other, false));
    EXPECT_EQ(Memory(SimRegion::Settings)[14 + 9 * static_cast<std::size_t>(other)], 0);
    EXPECT_EQ(view_.shown.front(), "enabled " + std::to_string(other) + " 0");
    for (int stage = 0; stage < 5; ++stage) {
        // The last enabled one is refused: what the loop proves is checked below.
        if (stage != active) (void)device_->EnableStage(stage, false);
    }
    int enabled = 0;
    for (int stage = 0; stage < 5; ++stage)
        enabled += Memory(SimRegion::Settings)[14 + 9 * stage];
    EXPECT_EQ(enabled, 1);
}

TEST_F(MousePageTest, PollingRateIsSentAndWindowsSettingsStayInTheProfile) {
    Start(FromHex("51 00 32 40 01 32 00"));
    ASSERT_TRUE(device_->SetPollingRate(3));
    EXPECT_EQ(Memory(SimRegion::Settings)[11], 3);
    EXPECT_EQ(view_.shown.back(), "rate 3");
    EXPECT_FALSE(device_->SetPollingRate(5));

    firmware_->ClearLog();
    device_->SetScrollLines(7);
    device_->SetPointerSpeed(15);
    device_->SetDoubleClickTime(300);
    device_->SetPointerPrecision(false);
    EXPECT_TRUE(Sent().empty()) << "nothing of the Windows settings reaches the mouse";
    Json::Value saved = DocumentFile::ReadJsonFile(device_->Profile().GetProfilePath());
    const Json::Value& system = saved["Device"][0]["SystemStages"];
    EXPECT_EQ(system["WheelScorlllinse"].asInt(), 7);
    EXPECT_EQ(system["ScorllPage"].asInt(), 0);
    EXPECT_EQ(system["MouseSpeed"].asInt(), 15);
    EXPECT_EQ(system["DoubleClickTime"].asInt(), 300);
    EXPECT_EQ(system["PointerPrecision"].asInt(), 0);
    device_->SetScrollPage(true, 4);
    saved = DocumentFile::ReadJsonFile(device_->Profile().GetProfilePath());
    EXPECT_EQ(saved["Device"][0]["SystemStages"]["ScorllPage"].asInt(), 1);
    EXPECT_EQ(saved["Device"][0]["ReportStages"]["StageActive"].asInt(), 3);
}

}  // namespace
}  // namespace q731
