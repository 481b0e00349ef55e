#include <atomic>
#include <thread>

#include "fixture.h"
#include "platform/log.h"

namespace q731::testing {
namespace {

using Types = std::vector<std::string>;

// A page object registered as a sub-window of the window's notification pump.
class Page : public CNotifyPump {
public:
    std::vector<std::string> got;

protected:
    void HandleNotify(TNotifyUI& msg) override {
        got.push_back(msg.sType + ":" + msg.pSender->GetName());
    }
};

TEST_F(ToolkitTest, NotificationsReachTheSubWindowTheirControlNames) {
    auto window = MakeWindow(
        "<VerticalLayout><HorizontalLayout virtualwnd='mainpage' height='40'><Button name='inner'/>"
        "</HorizontalLayout><Button name='outer' height='40'/></VerticalLayout>");
    Page page;
    ASSERT_TRUE(window->AddVirtualWnd("mainpage", &page));
    EXPECT_FALSE(window->AddVirtualWnd("mainpage", &page));  // one page per name
    Click(window->Pm(), Center(window->Find("inner")));
    Click(window->Pm(), Center(window->Find("outer")));
    EXPECT_EQ(page.got, (Types{"click:inner"}));
    EXPECT_EQ(window->Types(), (Types{"click:inner", "click:outer"}));  // the window sees all
    EXPECT_TRUE(window->RemoveVirtualWnd("mainpage"));
    Click(window->Pm(), Center(window->Find("inner")));
    EXPECT_EQ(page.got.size(), 1u);
}

TEST_F(ToolkitTest, AsyncNotificationsForRemovedControlsAreDropped) {
    auto window =
        MakeWindow("<VerticalLayout><Button name='a'/><Button name='b'/></VerticalLayout>");
    CPaintManagerUI& pm = window->Pm();
    pm.SendNotify(window->Find("a"), "click", 0, 0, true);
    pm.SendNotify(window->Find("b"), "click", 0, 0, true);
    dynamic_cast<CContainerUI*>(pm.GetRoot())->Remove(window->Find("a"));
    loop_.ProcessPending();
    EXPECT_EQ(window->Types(), (Types{"click:b"}));
}

TEST_F(ToolkitTest, ANotifierRemovedDuringDeliveryGetsNothingMore) {
    auto window = MakeWindow("<Button name='b'/>");
    struct Counter : INotifyUI {
        void Notify(TNotifyUI&) override { ++count; }
        int count = 0;
    } late;
    struct Remover : INotifyUI {
        void Notify(TNotifyUI&) override { pm->RemoveNotifier(target); }
        CPaintManagerUI* pm;
        INotifyUI* target;
    } remover;
    remover.pm = &window->Pm();
    remover.target = &late;
    window->Pm().AddNotifier(&remover);
    window->Pm().AddNotifier(&late);
    window->Pm().SendNotify(window->Find("b"), "click");
    EXPECT_EQ(late.count, 0);
}

TEST_F(ToolkitTest, HidingOrDisablingTheFocusedEditEndsTheEdit) {
    auto window =
        MakeWindow("<VerticalLayout><Edit name='e' height='30'/><Control/></VerticalLayout>");
    auto* edit = window->Find<CEditUI>("e");
    edit->SetFocus();
    EXPECT_EQ(window->Backend().editing, edit);
    edit->SetEnabled(false);
    EXPECT_EQ(window->Pm().GetFocus(), nullptr);
    EXPECT_EQ(window->Backend().editing, nullptr);
    EXPECT_EQ(window->Types(), (Types{"setfocus:e", "killfocus:e"}));
    edit->SetEnabled(true);
    edit->SetReadOnly(true);
    Click(window->Pm(), Center(edit));
    EXPECT_EQ(window->Pm().GetFocus(), nullptr);  // a read-only field takes no focus
}

TEST_F(ToolkitTest, RemovingTheEditBeingTypedIntoForgetsIt) {
    auto window =
        MakeWindow("<VerticalLayout><Edit name='e' height='30'/><Control/></VerticalLayout>");
    auto* edit = window->Find<CEditUI>("e");
    edit->SetFocus();
    dynamic_cast<CContainerUI*>(window->Pm().GetRoot())->Remove(edit);
    EXPECT_EQ(window->Backend().editing, nullptr);
    EXPECT_EQ(window->Pm().GetFocus(), nullptr);
    window->Pm().HandleChar('x');  // goes nowhere
}

TEST_F(ToolkitTest, MultiSelectListTogglesWithControl) {
    auto window = MakeWindow(
        "<List name='list' multiselect='true'><ListLabelElement name='r0' text='a'/>"
        "<ListLabelElement name='r1' text='b'/><ListLabelElement name='r2' text='c'/></List>");
    auto* list = window->Find<CListUI>("list");
    CPaintManagerUI& pm = window->Pm();
    Click(pm, Center(window->Find("r0")));
    for (const char* row : {"r1", "r2"}) {
        UiPoint at = Center(window->Find(row));
        pm.HandleButtonDown(at, kModControl);
        pm.HandleButtonUp(at, kModControl);
    }
    EXPECT_EQ(list->GetSelectedItems(), (std::vector<int>{0, 1, 2}));
    UiPoint middle = Center(window->Find("r1"));
    pm.HandleButtonDown(middle, kModControl);
    pm.HandleButtonUp(middle, kModControl);
    EXPECT_EQ(list->GetSelectedItems(), (std::vector<int>{0, 2}));
    list->Remove(window->Find("r0"));
    EXPECT_EQ(list->GetSelectedItems(), (std::vector<int>{1}));
    Click(pm, Center(window->Find("r1")));  // a plain click selects one again
    EXPECT_EQ(list->GetSelectedItems(), (std::vector<int>{0}));
}

TEST_F(ToolkitTest, DetachedControlsMoveBetweenContainersAlive) {
    auto window = MakeWindow(
        "<VerticalLayout><HorizontalLayout name='from'><Button name='b'/></HorizontalLayout>"
        "<HorizontalLayout name='to'><Label name='l'/></HorizontalLayout></VerticalLayout>");
    auto* from = window->Find<CContainerUI>("from");
    auto* to = window->Find<CContainerUI>("to");
    CControlUI* button = window->Find("b");
    window->Pm().SetTimer(button, 3, 10);
    auto moved = from->Detach(button);
    ASSERT_TRUE(moved);
    EXPECT_EQ(window->Pm().FindControl("b"), nullptr);
    EXPECT_FALSE(loop_.HasTimer(button, 3));  // a control out of the tree has no timers
    to->AddAt(std::move(moved), 0);
    EXPECT_EQ(window->Pm().FindControl("b"), button);
    EXPECT_EQ(to->GetItemIndex(button), 0);
    EXPECT_TRUE(to->SetItemIndex(button, 1));
    EXPECT_EQ(to->GetItemAt(1), button);
    EXPECT_FALSE(to->SetItemIndex(button, 2));
}

TEST_F(ToolkitTest, WindowMessagesFromWorkersAndAfterTheWindowIsGone) {
    struct Counting : TestWindow {
        using TestWindow::TestWindow;
        LRESULT HandleCustomMessage(unsigned msg, WPARAM w, LPARAM, bool& handled) override {
            if (msg != kMsgUser) return 0;
            handled = true;
            ++count;
            return static_cast<LRESULT>(w * 2);
        }
        int count = 0;
    };
    auto window = std::make_unique<Counting>("<Window size='10,10'><Control/></Window>", loop_);
    ASSERT_TRUE(window->Create(nullptr, "w"));
    loop_.BindToCurrentThread();
    std::atomic<LRESULT> answer{0};
    std::thread worker([&] { answer = window->SendMessage(kMsgUser, 21); });
    while (answer.load() == 0)
        loop_.ProcessPending();
    worker.join();
    EXPECT_EQ(answer.load(), 42);
    EXPECT_EQ(window->SendMessage(kMsgUser, 5), 10);  // inline on the UI thread
    window->PostMessage(kMsgUser);
    window.reset();
    loop_.ProcessPending();  // the posted message finds no window and is dropped
}

TEST_F(ToolkitTest, CenterWindowKeepsTheWindowOnItsScreen) {
    auto owner = MakeWindow("<Control/>", 96, 400, 300);
    owner->MoveWindow({1700, 900, 2100, 1200});  // hanging off the bottom right
    owner->ShowWindow(true);
    auto child = std::make_unique<TestWindow>("<Window size='300,200'><Control/></Window>", loop_);
    ASSERT_TRUE(child->Create(owner.get(), "child"));
    child->CenterWindow();
    UiRect rc = child->GetWindowRect();
    EXPECT_EQ(rc.Width(), 300);
    EXPECT_LE(rc.right, 1920);
    EXPECT_LE(rc.bottom, 1040);
}

TEST_F(ToolkitTest, DrawInfoIsCachedAndBadStringsAreReportedOnce) {
    CPaintManagerUI pm(loop_);
    LogCapture log;
    const TDrawInfo* first = pm.GetDrawInfo("file='a.png' fade='9'");
    EXPECT_EQ(first, pm.GetDrawInfo("file='a.png' fade='9'"));
    EXPECT_EQ(pm.GetDrawInfo("file='a.png"), nullptr);
    EXPECT_EQ(pm.GetDrawInfo("file='a.png"), nullptr);
    EXPECT_EQ(log.Count("unterminated"), 1u);
}

}  // namespace
}  // namespace q731::testing
