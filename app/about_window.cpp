#include "app/about_window.h"

#include "app/main_window.h"

namespace q731 {

void CAboutWnd::InitWindow() {
    // The version line is the language's text for "software_rev_text" (read
    // through the hidden resource-text label) followed by the version.
    std::string prefix;
    if (CControlUI* probe = m_pm.FindControl("text_test")) {
        probe->SetText("software_rev_text");
        probe->SetResourceText(true);
        prefix = probe->GetText();
    }
    if (CControlUI* label = m_pm.FindControl("software_ver_label")) {
        label->SetResourceText(false);
        label->SetText(prefix + kAppVersionText);
    }
}

LRESULT CAboutWnd::HandleCustomMessage(unsigned msg, WPARAM, LPARAM, bool& handled) {
    if (msg != main_msg::kLanguage) return 0;
    InitWindow();
    m_pm.NeedUpdate();
    handled = true;
    return 0;
}

void CAboutWnd::Notify(TNotifyUI& msg) {
    const std::string name = msg.pSender ? msg.pSender->GetName() : std::string();
    if (msg.sType == notify::kClick && (name == "homepage_btn" || name == "menubtn")) return;
    WindowImplBase::Notify(msg);  // close, minimise, maximise and restore
}

}  // namespace q731
