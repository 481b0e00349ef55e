#include "ui/widgets/menu.h"

#include <algorithm>

namespace q731 {

namespace {
CMenuWnd* gOpenMenu = nullptr;  // at most one menu is open; UI thread only
}

CMenuElementUI::CMenuElementUI() {
    textPadding_ = {12, 0, 12, 0};
    hotBkColor_ = 0xFFE5EEF8;
}

UiSize CMenuElementUI::EstimateSize(UiSize available) {
    UiSize size = CButtonUI::EstimateSize(available);
    if (size.cy == 0) size.cy = Scale(30);
    return size;
}

CMenuWnd::CMenuWnd(std::string layout, CommandHandler onCommand)
    : layout_(std::move(layout)), onCommand_(std::move(onCommand)) {}

CMenuWnd::~CMenuWnd() {
    if (gOpenMenu == this) gOpenMenu = nullptr;
}

CMenuWnd* CMenuWnd::Current() {
    return gOpenMenu;
}

void CMenuWnd::DestroyMenu() {
    if (gOpenMenu) gOpenMenu->Close(0);
}

CMenuWnd* CMenuWnd::Show(CWindowWnd* owner, const std::string& layout, UiPoint point,
                         unsigned alignment, CommandHandler onCommand) {
    DestroyMenu();
    auto* menu = new CMenuWnd(layout, std::move(onCommand));
    if (!menu->Create(owner, "menu", kWsPopup, kWsExToolWindow | kWsExTopMost | kWsExPopupMenu)) {
        delete menu;
        return nullptr;
    }
    gOpenMenu = menu;
    if (owner) {
        if (auto* ownerWindow = dynamic_cast<WindowImplBase*>(owner)) {
            menu->m_pm.SetDPI(ownerWindow->GetPaintManager()->GetDPIObj()->GetDPI());
        }
    }
    UiSize size = menu->m_pm.GetDPIObj()->Scale(menu->m_pm.GetInitSize());
    if (size.cx <= 0) size.cx = menu->m_pm.Scale(160);
    if (size.cy <= 0) {
        // Without a size in the layout the menu is as tall as its elements.
        int count = 0;
        if (menu->m_pm.GetRoot()) {
            menu->m_pm.GetRoot()->FindControl([&](CControlUI* c) {
                count += dynamic_cast<CMenuElementUI*>(c) && c->IsVisible() ? 1 : 0;
                return false;
            });
        }
        size.cy = std::max(1, count) * menu->m_pm.Scale(30) + menu->m_pm.Scale(4);
    }
    int x = (alignment & kMenuAlignRight) ? point.x - size.cx : point.x;
    int y = (alignment & kMenuAlignBottom) ? point.y - size.cy : point.y;
    std::vector<ScreenInfo> screens;
    if (IUiPlatform* platform = GetUiPlatform()) screens = platform->Screens();
    for (const ScreenInfo& screen : screens) {
        if (!screen.geometry.Contains(point)) continue;
        const UiRect& work = screen.workArea;
        x = std::clamp(x, work.left, std::max(work.left, work.right - size.cx));
        y = std::clamp(y, work.top, std::max(work.top, work.bottom - size.cy));
    }
    menu->MoveWindow({x, y, x + size.cx, y + size.cy});
    menu->ShowWindow(true, true);
    return menu;
}

void CMenuWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == notify::kClick && dynamic_cast<CMenuElementUI*>(msg.pSender)) {
        int index = 0;
        m_pm.GetRoot()->FindControl([&](CControlUI* c) {
            if (c == msg.pSender) return true;
            index += dynamic_cast<CMenuElementUI*>(c) ? 1 : 0;
            return false;
        });
        std::string name = msg.pSender->GetName();
        CommandHandler handler = onCommand_;
        CWindowWnd* owner = owner_;
        Close(0);
        if (owner) owner->PostMessage(kMsgMenuCommand, static_cast<WPARAM>(index), 0);
        // The handler may open a modal window, whose loop would destroy this
        // menu while its click is still being handled: run it afterwards.
        if (handler) {
            WindowLoop().Post([handler, name, index] { handler(name, index); });
        }
        return;
    }
    WindowImplBase::Notify(msg);
}

LRESULT CMenuWnd::HandleCustomMessage(unsigned msg, WPARAM wParam, LPARAM, bool& handled) {
    // A menu that loses activation goes away, like any pop-up menu.
    if (msg == kMsgActivate && wParam == 0) {
        Close(0);
        handled = true;
    }
    return 0;
}

void CMenuWnd::OnFinalMessage() {
    if (gOpenMenu == this) gOpenMenu = nullptr;
    delete this;
}

}  // namespace q731
