#include "app/game_events.h"

#include <gtest/gtest.h>

#include "devices/generic_device.h"
#include "sim/sim_bus.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

class GameEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (auto* device : {&mouse_, &keyboard_}) {
            device->SetFolders({"/nonexistent-q731", fs::path(Q731_SOURCE_DIR) / "DefaultData"});
            device->LoadDefinitions();
            LightSetting light;
            light.selectItem = 3;
            device->SetLightInfo(light);
        }
        ASSERT_GT(mouse_.Definitions().effectValues.size(), 8u);
    }

    int Mode(CVexloUSBDevice& device) { return device.GetLightInfo().selectItem; }

    ManualClock clock_;
    UiLoop loop_{clock_};
    std::shared_ptr<SimBus> bus_ = std::make_shared<SimBus>();
    CGenericDevice mouse_{Product::Mouse, bus_};
    CGenericDevice keyboard_{Product::Keyboard, bus_};
    CVexloUSBDevice* current_ = &mouse_;
    int applied_ = 0;
    GameEventLighting events_{
        loop_, [this] { return current_; }, [](CVexloUSBDevice*) { return true; },
        [this](CVexloUSBDevice& device, const LightSetting& light, bool save) {
            ++applied_;
            saves_ += save;
            device.SetLightInfo(light);
        }};
    int saves_ = 0;
};

TEST_F(GameEventsTest, ModeShowsForFiveSecondsThenTheUsersModeReturns) {
    events_.OnGameEvent(0, 5);
    EXPECT_EQ(Mode(mouse_), 5);
    RunFor(loop_, clock_, 4999ms);
    EXPECT_EQ(Mode(mouse_), 5);
    RunFor(loop_, clock_, 1ms);
    EXPECT_EQ(Mode(mouse_), 3);
    EXPECT_FALSE(events_.RestorePending());
    EXPECT_EQ(saves_, 1) << "the game's mode is sent, never saved; the user's is saved back";
}

TEST_F(GameEventsTest, ASecondEventWithinFiveSecondsDoesNotLoseTheUsersMode) {
    events_.OnGameEvent(0, 5);
    RunFor(loop_, clock_, 2s);
    events_.OnGameEvent(0, 7);
    EXPECT_EQ(Mode(mouse_), 7);
    RunFor(loop_, clock_, 4s);
    EXPECT_EQ(Mode(mouse_), 7) << "the timer started again";
    RunFor(loop_, clock_, 1s);
    EXPECT_EQ(Mode(mouse_), 3) << "back to the user's mode, not the first game mode";
}

TEST_F(GameEventsTest, RefusedEventsDoNotPostponeTheRestore) {
    events_.OnGameEvent(0, 5);
    for (int i = 0; i < 4; ++i) {
        RunFor(loop_, clock_, 1s);
        events_.OnGameEvent(0, 9999);
    }
    RunFor(loop_, clock_, 1s);
    EXPECT_EQ(Mode(mouse_), 3) << "five seconds after the accepted event";
}

TEST_F(GameEventsTest, AModeTheDeviceDoesNotHaveIsRefused) {
    events_.OnGameEvent(0, 9999);
    events_.OnGameEvent(0, -1);
    events_.OnGameEvent(7, 2);  // unknown variant
    EXPECT_EQ(applied_, 0);
    EXPECT_EQ(Mode(mouse_), 3);
    RunFor(loop_, clock_, 6s);
    EXPECT_EQ(applied_, 0);
}

TEST_F(GameEventsTest, TheRestoreGoesToTheDeviceThatWasChangedAfterATabSwitch) {
    events_.OnGameEvent(0, 5);
    current_ = &keyboard_;
    RunFor(loop_, clock_, 5s);
    EXPECT_EQ(Mode(mouse_), 3);
    EXPECT_EQ(Mode(keyboard_), 3) << "the keyboard was never changed";
    // An event on another device while one is pending restores the first at once.
    current_ = &mouse_;
    events_.OnGameEvent(0, 6);
    current_ = &keyboard_;
    events_.OnGameEvent(0, 4);
    EXPECT_EQ(Mode(mouse_), 3);
    EXPECT_EQ(Mode(keyboard_), 4);
    RunFor(loop_, clock_, 5s);
    EXPECT_EQ(Mode(keyboard_), 3);
}

TEST_F(GameEventsTest, VariantOneWritesNoReturnModeYetTheUsersModeComesBack) {
    LightSetting light = mouse_.GetLightInfo();
    light.oldMode = 2;  // stale, from some earlier change
    mouse_.SetLightInfo(light);
    events_.OnGameEvent(1, 6);
    EXPECT_EQ(Mode(mouse_), 6);
    EXPECT_EQ(mouse_.GetLightInfo().oldMode, 2) << "variant 1 keeps no mode in the profile";
    RunFor(loop_, clock_, 5s);
    EXPECT_EQ(Mode(mouse_), 3) << "the mode before the event, not a stale one";
    events_.OnGameEvent(0, 6);
    events_.RestoreNow();
    EXPECT_EQ(Mode(mouse_), 3) << "closing the program restores at once";
    EXPECT_FALSE(events_.RestorePending());
    current_ = nullptr;
    events_.OnGameEvent(0, 1);  // no current device: nothing happens
    RunFor(loop_, clock_, 5s);
}

}  // namespace
}  // namespace q731
