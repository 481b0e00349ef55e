#include "fixture.h"
#include "ui/widgets/menu.h"

namespace q731::testing {
namespace {

constexpr const char* kBox =
    "<Window size='300,200'><VerticalLayout><Button name='confirm_btn' height='30'/>"
    "<Button name='closebtn' height='30'/></VerticalLayout></Window>";

// A window that closes itself from its notifications, like a message box.
class Box : public WindowImplBase {
public:
    Box(UiLoop& loop, bool* destroyed) : WindowImplBase(loop), destroyed_(destroyed) {}
    std::string GetWindowClassName() const override { return "MsgWnd"; }
    std::string GetSkinFile() override { return kBox; }
    void Notify(TNotifyUI& msg) override {
        if (msg.sType == "windowinit" && autoClose >= 0) Close(autoClose);
        if (msg.sType == "click" && msg.pSender->GetName() == "confirm_btn") Close(1);
        WindowImplBase::Notify(msg);
    }
    LRESULT HandleCustomMessage(unsigned msg, WPARAM, LPARAM, bool& handled) override {
        if (msg == kMsgClose && refuse) {
            handled = true;
            return 1;
        }
        return 0;
    }
    void OnFinalMessage() override {
        *destroyed_ = true;
        delete this;
    }
    int autoClose = -1;
    bool refuse = false;

private:
    bool* destroyed_;
};

TEST_F(ToolkitTest, ShowModalReturnsTheCodeGivenToClose) {
    struct Case {
        const char* how;
        int expected;
    };
    for (const Case& c : {Case{"windowinit", 7}, Case{"confirm", 1}, Case{"closebtn", 0}}) {
        bool destroyed = false;
        auto* box = new Box(loop_, &destroyed);
        ASSERT_TRUE(box->Create(nullptr, "msgwnd"));
        std::string how = c.how;
        if (how == "windowinit") box->autoClose = 7;
        CPaintManagerUI* pm = box->GetPaintManager();
        if (how != "windowinit") {
            loop_.Post([pm, how] {
                pm->UpdateLayout();
                CControlUI* button = pm->FindControl(how == "confirm" ? "confirm_btn" : "closebtn");
                UiRect rc = button->GetPos();
                UiPoint at{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
                pm->HandleButtonDown(at);
                pm->HandleButtonUp(at);
            });
        }
        EXPECT_EQ(box->ShowModal(), c.expected) << c.how;
        EXPECT_TRUE(destroyed) << c.how;  // deleted itself; nothing touched it afterwards
        loop_.ProcessPending();
    }
}

TEST_F(ToolkitTest, ARefusedCloseKeepsTheModalLoopRunning) {
    bool destroyed = false;
    auto* box = new Box(loop_, &destroyed);
    ASSERT_TRUE(box->Create(nullptr, "msgwnd"));
    box->refuse = true;
    box->autoClose = 3;
    int idleCalls = 0;
    platform_.idle = [&] {
        // The first idle lets the close go through.
        if (++idleCalls == 1) {
            box->refuse = false;
            box->Close(5);
            return true;
        }
        return false;
    };
    EXPECT_EQ(box->ShowModal(), 5);
    EXPECT_TRUE(destroyed);
}

TEST_F(ToolkitTest, AModalLoopWithNothingToRunEndsWithMinusOne) {
    bool destroyed = false;
    auto* box = new Box(loop_, &destroyed);
    ASSERT_TRUE(box->Create(nullptr, "msgwnd"));
    EXPECT_EQ(box->ShowModal(), -1);
    EXPECT_TRUE(destroyed);
}

TEST_F(ToolkitTest, MessagesTimersAndCaptionButtons) {
    auto window = MakeWindow(
        "<HorizontalLayout><Button name='maxbtn'/><Button name='restorebtn' visible='false'/>"
        "<Button name='minbtn'/></HorizontalLayout>");
    Click(window->Pm(), Center(window->Find("maxbtn")));
    EXPECT_TRUE(window->Backend().maximized);
    EXPECT_FALSE(window->Find("maxbtn")->IsVisible());
    EXPECT_TRUE(window->Find("restorebtn")->IsVisible());
    window->Pm().UpdateLayout();
    Click(window->Pm(), Center(window->Find("restorebtn")));
    EXPECT_FALSE(window->Backend().maximized);
    EXPECT_TRUE(window->Find("maxbtn")->IsVisible());

    struct Recorder : TestWindow {
        using TestWindow::TestWindow;
        LRESULT HandleCustomMessage(unsigned msg, WPARAM w, LPARAM, bool&) override {
            got.emplace_back(msg, w);
            return 0;
        }
        std::vector<std::pair<unsigned, WPARAM>> got;
    };
    Recorder recorder("<Window size='10,10'><Control/></Window>", loop_);
    ASSERT_TRUE(recorder.Create(nullptr, "rec"));
    recorder.PostMessage(kMsgUser + 5, 9);
    recorder.SetTimer(1011, 100);
    RunFor(loop_, clock_, Millis(250));
    recorder.KillTimer(1011);
    RunFor(loop_, clock_, Millis(250));
    using Got = std::vector<std::pair<unsigned, WPARAM>>;
    EXPECT_EQ(recorder.got, (Got{{kMsgUser + 5, 9}, {kMsgTimer, 1011}, {kMsgTimer, 1011}}));
}

TEST_F(ToolkitTest, MenuChoiceReachesTheOwnerAndTheMenuGoesAway) {
    auto owner = MakeWindow("<Control/>");
    std::string chosen;
    CMenuWnd* menu =
        CMenuWnd::Show(owner.get(),
                       "<Window><Menu bkcolor='#FFFFFFFF'><MenuElement name='open' text='Open'/>"
                       "<MenuElement name='exit' text='Exit'/></Menu></Window>",
                       {1900, 1030}, kMenuAlignLeft | kMenuAlignTop,
                       [&](const std::string& name, int) { chosen = name; });
    ASSERT_TRUE(menu);
    EXPECT_EQ(CMenuWnd::Current(), menu);
    UiRect rc = menu->GetWindowRect();
    EXPECT_LE(rc.right, 1920);  // kept inside the work area
    EXPECT_LE(rc.bottom, 1040);
    CPaintManagerUI* pm = menu->GetPaintManager();
    pm->UpdateLayout();
    UiRect exit = pm->FindControl("exit")->GetPos();
    Click(*pm, {(exit.left + exit.right) / 2, (exit.top + exit.bottom) / 2});
    EXPECT_TRUE(chosen.empty()) << "the handler runs once the menu is gone, not inside its click";
    loop_.ProcessPending();
    EXPECT_EQ(chosen, "exit");
    EXPECT_EQ(CMenuWnd::Current(), nullptr);
}

TEST_F(ToolkitTest, TrayClicksArriveAsTheGivenMessage) {
    struct Owner : TestWindow {
        using TestWindow::TestWindow;
        LRESULT HandleCustomMessage(unsigned msg, WPARAM w, LPARAM l, bool&) override {
            if (msg == 1025) got.emplace_back(w, l);
            return 0;
        }
        std::vector<std::pair<WPARAM, LPARAM>> got;
    };
    Owner owner("<Window size='10,10'><Control/></Window>", loop_);
    ASSERT_TRUE(owner.Create(nullptr, "main"));
    CTrayIcon tray;
    ASSERT_TRUE(tray.CreateTrayIcon(&owner, 107, "Tip", 1025));
    EXPECT_EQ(platform_.trayToolTip, "Tip");
    platform_.trayActivated(false);
    platform_.trayActivated(true);
    loop_.ProcessPending();
    using Got = std::vector<std::pair<WPARAM, LPARAM>>;
    EXPECT_EQ(owner.got, (Got{{107, kMsgLButtonUp}, {107, kMsgRButtonUp}}));
    tray.DeleteTrayIcon();
    EXPECT_FALSE(platform_.trayActivated);
}

}  // namespace
}  // namespace q731::testing
