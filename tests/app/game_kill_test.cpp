// A game event from another program, end to end inside one process: the bus
// message reaches the main window, the current mouse's lighting mode changes in
// its firmware, and five seconds later the user's mode is back there.
#include "mouse_window_fixture.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

using GameKillTest = MouseWindowTest;

TEST_F(GameKillTest, TheModeChangesOnTheDeviceAndComesBackAfterFiveSeconds) {
    CVexloUSBDevice* mouse = devices_.CurrentDevice();
    ASSERT_NE(mouse, nullptr);
    ASSERT_TRUE(mouse->Link().IsOpen());
    // Start from a known mode of the user's, written to the device.
    LightSetting light = mouse->GetLightInfo();
    light.selectItem = 2;
    mouse->SetLightInfo(light);
    ASSERT_EQ(mouse->WriteSettings(), LinkResult::Ok);
    ASSERT_EQ(ModeOnDevice(), mouse->ModeCode(2));

    window_->OnBusMessage({"Game_Kill", 0, 5, {}});
    EXPECT_EQ(ModeOnDevice(), mouse->ModeCode(5));
    RunFor(loop_, clock_, 4900ms);
    EXPECT_EQ(ModeOnDevice(), mouse->ModeCode(5));
    RunFor(loop_, clock_, 100ms);
    EXPECT_EQ(ModeOnDevice(), mouse->ModeCode(2));
    EXPECT_TRUE(firmware_->Violations().empty());
}

}  // namespace
}  // namespace q731
