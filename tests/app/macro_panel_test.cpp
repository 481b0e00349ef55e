// The macro panel on a simulated keyboard's page: a run records what reaches
// our window (and takes it from the controls), its rows are saved when it
// ends, and a desktop capture that cannot start is explained once per start
// of the program while the window's own input is still recorded.

#include <gtest/gtest.h>

#include "app/macro_control.h"
#include "app/macro_recording.h"
#include "tests/ui_pages/page_fixture.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

class MacroPanelTest : public PageTest<CVexloKeyboardDevice> {
protected:
    void SetUp() override {
        CControlFactory::GetInstance().RegistControl(
            "MacroControl", [] { return std::make_unique<CMacroControlUI>(); });
        Open();
        CDialogBuilder builder;
        std::unique_ptr<CControlUI> tree =
            builder.Create("XML/CustomControlXML/MacroControl.xml", {}, &host_, &host_.Pm());
        panel_ = dynamic_cast<CMacroControlUI*>(tree.get());
        ASSERT_NE(panel_, nullptr) << builder.GetLastError();
        dynamic_cast<CContainerUI*>(root_)->Add(std::move(tree));
        panel_->Bind(*device_, *page_, &asker_);
        panel_->Editor()->AddMacro();
    }
    void MakeRecording(std::string desktopFailure) {
        MacroRecording::Window window;
        window.lock = [this](bool locked) { locks_.push_back(locked); };
        window.passThrough = [](const UiInputEvent& e) { return e.code == 99; };
        window.asker = &asker_;
        window.text = [](std::string_view id) {
            return CResourceManager::GetInstance().GetText(id).value_or(std::string());
        };
        recording_ = std::make_unique<MacroRecording>(
            clock_, std::make_unique<ScriptedInputSource>(std::move(desktopFailure)),
            std::move(window));
    }
    bool Feed(UiInputEvent::Kind kind, int code, bool down) {
        UiInputEvent event;
        event.kind = kind;
        event.code = code;
        event.down = down;
        clock_.Advance(20ms);
        return platform_.FeedInput(event);
    }

    ManualClock clock_;
    CMacroControlUI* panel_ = nullptr;
    std::unique_ptr<MacroRecording> recording_;
    std::vector<bool> locks_;
};

TEST_F(MacroPanelTest, ARunRecordsOurWindowsInputAndKeepsItsRows) {
    MakeRecording({});
    ASSERT_TRUE(recording_->Start(*panel_, DelayMode::Real, HookMode::Append));
    EXPECT_TRUE(Feed(UiInputEvent::Kind::Key, 30, true)) << "taken from the controls";
    EXPECT_TRUE(Feed(UiInputEvent::Kind::Key, 30, false));
    EXPECT_FALSE(Feed(UiInputEvent::Kind::Button, 99, true)) << "the stop click goes through";
    EXPECT_TRUE(Feed(UiInputEvent::Kind::Button, 2, true));
    EXPECT_EQ(panel_->Editor()->Rows().size(), 3u);
    EXPECT_EQ(panel_->DelayText(0), "20");
    recording_->Stop();
    EXPECT_EQ(locks_, (std::vector<bool>{true, false}));
    EXPECT_FALSE(Feed(UiInputEvent::Kind::Key, 48, true)) << "after the run the controls get it";
    panel_->Editor()->ShowMacro();
    EXPECT_EQ(panel_->Editor()->Rows().size(), 3u) << "the rows were saved";
    EXPECT_TRUE(asker_.asked.empty());
}

TEST_F(MacroPanelTest, ADesktopCaptureThatCannotStartIsExplainedOnce) {
    MakeRecording("no X11 display");
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(recording_->Start(*panel_, DelayMode::None, HookMode::Append));
        EXPECT_TRUE(Feed(UiInputEvent::Kind::Key, 30, true));
        recording_->Stop();
    }
    ASSERT_EQ(asker_.asked.size(), 1u);
    EXPECT_NE(asker_.asked[0].text.find("no X11 display"), std::string::npos);
    EXPECT_NE(asker_.asked[0].text.find("input"), std::string::npos) << "says how to enable it";
    EXPECT_EQ(panel_->Editor()->Rows().size(), 2u) << "window input recorded on both runs";
}

}  // namespace
}  // namespace q731
