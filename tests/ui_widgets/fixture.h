#pragma once
// Shared fixture: a manual clock, a UI loop on it, the headless platform, and a
// window built from inline layout text that records every notification.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/ui_loop.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/container.h"
#include "ui/widgets/edit.h"
#include "ui/widgets/headless.h"
#include "ui/widgets/list.h"
#include "ui/widgets/paint_manager.h"
#include "ui/widgets/range.h"
#include "ui/widgets/window.h"

namespace q731::testing {

struct Seen {
    std::string type;
    std::string sender;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

class TestWindow : public WindowImplBase {
public:
    explicit TestWindow(std::string layout, UiLoop& loop)
        : WindowImplBase(loop), layout_(std::move(layout)) {}

    std::string GetWindowClassName() const override { return "TestWnd"; }
    std::string GetSkinFile() override { return layout_; }
    void Notify(TNotifyUI& msg) override {
        seen.push_back(
            {msg.sType, msg.pSender ? msg.pSender->GetName() : "", msg.wParam, msg.lParam});
        if (onNotify) onNotify(msg);
        WindowImplBase::Notify(msg);
    }
    std::vector<std::string> Types(const std::string& skip = "windowinit") const {
        std::vector<std::string> types;
        for (const Seen& s : seen) {
            if (s.type != skip) types.push_back(s.type + ":" + s.sender);
        }
        return types;
    }
    HeadlessWindowBackend& Backend() { return static_cast<HeadlessWindowBackend&>(*GetBackend()); }
    template <typename T = CControlUI>
    T* Find(const std::string& name) {
        return dynamic_cast<T*>(m_pm.FindControl(name));
    }
    CPaintManagerUI& Pm() { return m_pm; }

    std::vector<Seen> seen;
    std::function<void(TNotifyUI&)> onNotify;

private:
    std::string layout_;
};

class ToolkitTest : public ::testing::Test {
protected:
    ToolkitTest() : loop_(clock_), platform_(loop_) { SetUiPlatform(&platform_); }
    ~ToolkitTest() override { SetUiPlatform(nullptr); }

    // A window of `cx` by `cy` design pixels around `body`, created and laid out.
    std::unique_ptr<TestWindow> MakeWindow(const std::string& body, int dpi = 96, int cx = 400,
                                           int cy = 300) {
        std::string layout = "<Window size=\"" + std::to_string(cx) + "," + std::to_string(cy) +
                             "\">" + body + "</Window>";
        auto window = std::make_unique<TestWindow>(layout, loop_);
        window->GetPaintManager()->SetDPI(dpi);
        EXPECT_TRUE(window->Create(nullptr, "test"));
        window->GetPaintManager()->UpdateLayout();
        loop_.ProcessPending();  // "windowinit"
        window->seen.clear();
        return window;
    }

    static UiPoint Center(CControlUI* control) {
        const UiRect& rc = control->GetPos();
        return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    static void Click(CPaintManagerUI& pm, UiPoint point) {
        pm.HandleMouseMove(point);
        pm.HandleButtonDown(point);
        pm.HandleButtonUp(point);
    }

    ManualClock clock_;
    UiLoop loop_;
    HeadlessPlatform platform_;
};

}  // namespace q731::testing
