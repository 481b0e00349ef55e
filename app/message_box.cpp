#include "app/message_box.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>

#include "app/window_fit.h"
#include "platform/log.h"

namespace q731 {

namespace {

// The boxes now running, outermost first (UI thread only).
std::vector<CMsgWnd*>& OpenBoxes() {
    static std::vector<CMsgWnd*> boxes;
    return boxes;
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

void CMsgWnd::InitWindow() {
    closeButton_ = m_pm.FindControl("closebtn");
}

void CMsgWnd::OnClick(TNotifyUI& msg) {
    if (!msg.pSender) return;
    const std::string name = Lower(msg.pSender->GetName());
    if (msg.pSender == closeButton_ || name == "closebtn" || name == "cancel_btn") {
        Close(0);
    } else if (name == "confirm_btn") {
        Close(1);
    }
}

bool CMsgWnd::OnKeyDown(int key, unsigned) {
    if (key != kKeyEscape) return false;
    Close(0);
    return true;
}

LRESULT CMsgWnd::HandleCustomMessage(unsigned msg, WPARAM wParam, LPARAM, bool& handled) {
    handled = false;
    if (msg == kMsgDpiChanged) {
        // The box moved to a monitor of another scale: only the box follows.
        ApplyScale(static_cast<int>(wParam & 0xFFFF));
        handled = true;
    }
    return 0;
}

void CMsgWnd::ApplyScale(int dpi) {
    if (!IsAcceptedScale(dpi)) {
        LogWarning("MSG_WND DPI SET ERROR");
        dpi = 96;
    }
    dpi_ = dpi;
    ScaleTo(dpi);
}

void CMsgWnd::Configure(const std::string& title, const std::string& text, int dpi, bool textIsId,
                        int buttonSet) {
    if (!title.empty()) {
        if (CControlUI* label = m_pm.FindControl("MessageTitle")) {
            label->SetResourceText(false);
            label->SetText(title);
        }
    }
    if (!text.empty()) {
        if (CControlUI* label = m_pm.FindControl("MessageText")) {
            label->SetResourceText(textIsId);
            label->SetText(text);
        }
    }
    ApplyScale(dpi);
    CControlUI* confirm = m_pm.FindControl("confirm_btn");
    CControlUI* cancel = m_pm.FindControl("cancel_btn");
    if (buttonSet == 0 || buttonSet == 1) {
        if (confirm) confirm->SetVisible(true);
        if (cancel) cancel->SetVisible(buttonSet == 1);
    }
}

int CMsgWnd::Show(UiLoop& loop, CWindowWnd* owner, const std::string& title,
                  const std::string& text, int dpi, bool textIsId, int buttonSet) {
    // Owned here, not by its final message: a box closed from inside another
    // box's loop must still exist when its own Show unwinds.
    auto box = std::make_unique<CMsgWnd>(loop);
    if (!box->Create(owner, "msgwnd", kWsPopup | kWsClipChildren, kWsExToolWindow)) {
        LogError("message box: cannot build the box for '" + text + "'");
        return 0;
    }
    box->Configure(title, text, dpi, textIsId, buttonSet);
    box->CenterWindow();
    OpenBoxes().push_back(box.get());
    const int code = box->ShowModal();
    std::erase(OpenBoxes(), box.get());
    // The window that asked takes the focus back, as it had it before.
    if (owner && owner->GetBackend() && owner->GetBackend()->IsVisible() && !owner->IsClosing()) {
        owner->GetBackend()->Show(true, true);
    }
    return code == 1 ? 1 : 0;
}

void CMsgWnd::CloseAll() {
    // Copy: closing never reenters Show here (the loops unwind later), but be
    // safe against a box removing itself.
    const std::vector<CMsgWnd*> boxes = OpenBoxes();
    for (auto it = boxes.rbegin(); it != boxes.rend(); ++it)
        (*it)->Close(0);
}

int CMsgWnd::OpenCount() {
    return static_cast<int>(OpenBoxes().size());
}

}  // namespace q731
