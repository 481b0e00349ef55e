// A recording run on the mouse's page of the running window ends as the stop
// button ends it (rows saved, editor and tabs free again) whatever ends it:
// hiding the window, a suspend, the mouse going, or the exit.

#include "app/macro_control.h"
#include "mouse_window_fixture.h"

namespace q731 {
namespace {

class MacroRunTest : public MouseWindowTest {
protected:
    CMacroControlUI* StartRun() {
        CMacroControlUI* panel = window_->MacroPanelOf(devices_.CurrentDevice());
        EXPECT_NE(panel, nullptr);
        if (!panel) return nullptr;
        panel->Editor()->AddMacro();
        EXPECT_TRUE(window_->Recording().Start(*panel, DelayMode::None, HookMode::Append));
        UiInputEvent key;
        key.code = 30;
        key.down = true;
        EXPECT_TRUE(platform_.FeedInput(key));
        key.down = false;
        EXPECT_TRUE(platform_.FeedInput(key));
        EXPECT_FALSE(window_->GetPaintManager()->FindControl("device_select_layout")->IsEnabled());
        return panel;
    }
};

TEST_F(MacroRunTest, WhateverEndsARunKeepsItsRows) {
    auto click = [this](const char* name) {
        TNotifyUI notify;
        notify.sType = notify::kClick;
        notify.pSender = window_->GetPaintManager()->FindControl(name);
        window_->Notify(notify);
    };
    struct Ending {
        const char* what;
        std::function<void()> end;
    };
    const Ending endings[] = {
        {"stop button", [&] { click("macro_btn_stopredio"); }},
        {"hide", [&] { click("closebtn"); }},
        {"suspend",
         [this] {
             window_->SendMessage(main_msg::kPower, main_msg::kPowerSuspend);
             window_->SendMessage(main_msg::kPower, main_msg::kPowerResume);
         }},
        {"removal",  // last: the mouse is gone afterwards
         [this] {
             bus_->Unplug(unit_);
             scanner_->RunPass();
             RunFor(loop_, clock_, 600ms);
         }},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.what);
        CMacroControlUI* panel = StartRun();
        ASSERT_NE(panel, nullptr);
        const int macro = panel->Editor()->SelectedMacro();
        MacroStore store(devices_.CurrentDevice()->Folders().deviceFolder, Product::Mouse);
        ending.end();
        EXPECT_FALSE(window_->Recording().Running());
        EXPECT_EQ(store.LoadEvents(macro).size(), 2u) << "the run's rows were saved";
        UiInputEvent key;
        key.code = 48;
        EXPECT_FALSE(platform_.FeedInput(key)) << "input reaches the controls again";
        EXPECT_TRUE(window_->GetPaintManager()->FindControl("device_select_layout")->IsEnabled());
    }
}

TEST_F(MacroRunTest, TheExitEndsARunWithItsRowsSaved) {
    CMacroControlUI* panel = StartRun();
    ASSERT_NE(panel, nullptr);
    const int macro = panel->Editor()->SelectedMacro();
    MacroStore store(devices_.CurrentDevice()->Folders().deviceFolder, Product::Mouse);
    window_->Exit();
    loop_.ProcessPending();
    EXPECT_EQ(store.LoadEvents(macro).size(), 2u);
    UiInputEvent key;
    EXPECT_FALSE(platform_.FeedInput(key));
}

}  // namespace
}  // namespace q731
