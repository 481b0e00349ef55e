// The headset's LED reports, byte for byte, and when the device sends them:
// only while open, from the render thread, when the frame changed and at
// least once a second; never a command frame.

#include "headset/hs6533_device.h"

#include <gtest/gtest.h>

#include "sim/sim_bus.h"
#include "sim/sim_products.h"
#include "tests/support/sim_helpers.h"
#include "tests/support/test_folder.h"
#include "tests/support/wait.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

constexpr int kStaticMode = 3;

TEST(HeadsetLedReport, TwelveReportsPerFrameInChannelBankGroupOrder) {
    std::vector<LedColour> leds(kHeadsetLeds);
    for (std::size_t i = 0; i < leds.size(); ++i) {
        const auto base = static_cast<std::uint8_t>(16 * (i + 1));
        leds[i] = {base, static_cast<std::uint8_t>(base + 1), static_cast<std::uint8_t>(base + 2),
                   255};
    }
    leds[0] = {255, 255, 255, 255};  // capped at 247
    leds[1] = {255, 255, 255, 0};    // dark
    const HeadsetFrame frame = BuildHeadsetFrame(leds);

    std::size_t at = 0;
    for (int channel = 0; channel < 3; ++channel) {
        for (const std::uint8_t bank : {0x22, 0x44}) {
            for (int group = 0; group < 2; ++group) {
                SCOPED_TRACE(::testing::Message() << "report " << at);
                const HeadsetReport& report = frame[at++];
                EXPECT_EQ(report[0], 0xFF);
                EXPECT_EQ(report[1], bank);
                EXPECT_EQ(report[2], (group == 0 ? 0xAA : 0xAD) + channel);
                EXPECT_EQ(report[3], 0);
                const std::size_t count = group == 0 ? 7 : 6;
                for (std::size_t i = 0; i < count; ++i) {
                    const LedColour& led = leds[static_cast<std::size_t>(group) * 7 + i];
                    EXPECT_EQ(report[4 + i], HeadsetLevel(led, channel)) << i;
                }
                // The second group's byte 10 still holds LED 6 of the report before.
                if (group == 1) {
                    EXPECT_EQ(report[10], HeadsetLevel(leds[6], channel));
                }
                for (std::size_t i = 11; i < kHeadsetReportBytes; ++i)
                    EXPECT_EQ(report[i], 0) << i;
            }
        }
    }
    EXPECT_EQ(HeadsetLevel(leds[0], 0), 247);
    EXPECT_EQ(HeadsetLevel(leds[1], 2), 0);
    EXPECT_EQ(HeadsetLevel({200, 100, 50, 128}, 0), 100);
    EXPECT_EQ(frame[0][4], 247);
    EXPECT_EQ(frame[0][5], 0);
}

class HeadsetDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        loop_.BindToCurrentThread();
        unit_ = bus_->Plug(HeadsetProduct());
        fs::create_directories(folder_.path() / "HD");
        device_ = std::make_unique<CVexloHS6533Device>(bus_, clock_);
        device_->SetLedCount(static_cast<int>(kHeadsetLeds));
        device_->AttachLoop(&loop_);
        device_->SetHostLighting(true);
        device_->SetFolders({folder_.path() / "HD", fs::path(Q731_SOURCE_DIR) / "DefaultData"});
        ASSERT_TRUE(device_->StartProfiles());
    }
    void TearDown() override { device_->CloseDevice(); }

    void Open() {
        ASSERT_TRUE(device_->Link().OpenChannel(Channel::Cable, bus_->PathsOf(unit_).front()));
    }
    void SetStatic(std::uint8_t red) {
        LightSetting light = device_->GetLightInfo();
        light.selectItem = kStaticMode;
        light.red = red;
        light.brightness = 4;
        device_->SetLightInfo(light);
        device_->ApplyProfile();
    }
    std::size_t Sent() const { return bus_->OutputLog(unit_).size(); }

    ManualClock clock_;
    UiLoop loop_{clock_};
    testing::TestFolder folder_{"q731-headset"};
    std::shared_ptr<SimBus> bus_ = testing::MakeTestBus();
    int unit_ = -1;
    std::unique_ptr<CVexloHS6533Device> device_;
};

TEST_F(HeadsetDeviceTest, FramesGoOutWhenChangedAndOnceASecondAndOnlyWhileOpen) {
    SetStatic(200);
    EXPECT_EQ(device_->Plan().kind, RenderPlan::Kind::Idle);  // not open
    device_->RenderFrame(clock_.Now());
    EXPECT_EQ(Sent(), 0u);

    Open();  // the test draws the frames: no render thread
    EXPECT_EQ(device_->Plan().kind, RenderPlan::Kind::Paced);
    const std::size_t first = Sent();
    device_->RenderFrame(clock_.Now());
    EXPECT_EQ(Sent(), first + kHeadsetReportsPerFrame);
    device_->RenderFrame(clock_.Now() + 500ms);  // unchanged: nothing
    EXPECT_EQ(Sent(), first + kHeadsetReportsPerFrame);
    device_->RenderFrame(clock_.Now() + 1s);  // still unchanged, a second on
    EXPECT_EQ(Sent(), first + 2 * kHeadsetReportsPerFrame);
    SetStatic(10);
    device_->RenderFrame(clock_.Now() + 1100ms);
    EXPECT_EQ(Sent(), first + 3 * kHeadsetReportsPerFrame);

    // A write or a resync (a game event, a profile switch) sends nothing of
    // its own; only LED reports ever reach the headset.
    EXPECT_EQ(device_->WriteSettings(), LinkResult::Ok);
    EXPECT_EQ(device_->Resync(), LinkResult::Ok);
    EXPECT_EQ(Sent(), first + 3 * kHeadsetReportsPerFrame);
    for (const auto& report : bus_->OutputLog(unit_)) {
        ASSERT_EQ(report.size(), kHeadsetReportBytes);
        EXPECT_EQ(report[0], kHeadsetReportId);
    }

    // Without the program driving the lighting nothing is drawn or sent.
    device_->SetHostLighting(false);
    EXPECT_EQ(device_->Plan().kind, RenderPlan::Kind::Idle);
}

TEST_F(HeadsetDeviceTest, TheRenderThreadSendsAndTheTickOnlyShowsThePicture) {
    SetStatic(120);
    Open();
    int pictures = 0;
    device_->SetPictureSink([&](std::span<const LedColour> leds) {
        EXPECT_EQ(leds.size(), kHeadsetLeds);
        ++pictures;
    });
    ASSERT_EQ(device_->Connect(), LinkResult::Ok);
    ASSERT_TRUE(testing::WaitUntil([&] { return device_->FramesSent() >= 1; }));
    const std::size_t sent = Sent();
    device_->SetAttention(true);
    device_->LightTick();
    EXPECT_EQ(pictures, 1);
    device_->SetAttention(false);
    device_->LightTick();
    EXPECT_EQ(pictures, 1);
    EXPECT_GE(Sent(), sent);
    EXPECT_EQ(Sent() % kHeadsetReportsPerFrame, 0u);
}

// A slider's drag saves the profile at once and then at most every 200 ms;
// a change still waiting is written before the profile is read again, so a
// profile switch right after a drag loses nothing.
TEST_F(HeadsetDeviceTest, AudioSavesArePacedAndNeverLost) {
    HeadsetAudio& audio = device_->Audio();
    ASSERT_TRUE(device_->LoadProfile());
    const auto step = [&](int level) {
        audio.View().SetMicLevel(level);
        audio.OnMicSlider();
    };
    step(40);
    EXPECT_FALSE(device_->AudioSavePending()) << "the first change is written at once";
    step(41);
    step(42);
    EXPECT_TRUE(device_->AudioSavePending());
    clock_.Advance(CVexloHS6533Device::kAudioSaveInterval);
    loop_.ProcessPending();
    EXPECT_FALSE(device_->AudioSavePending()) << "the timer wrote it";

    step(43);
    step(44);
    ASSERT_TRUE(device_->AudioSavePending());
    ASSERT_TRUE(device_->LoadProfile());
    EXPECT_EQ(device_->HeadsetProfile().GetSystemSettings().micInValue, 44);
    EXPECT_FALSE(device_->AudioSavePending());
}

}  // namespace
}  // namespace q731
