#include "app/music_window.h"

#include <fmt/format.h>

#include <algorithm>

#include "app/main_window.h"
#include "app/window_fit.h"
#include "platform/log.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/edit.h"
#include "ui/widgets/range.h"

namespace q731 {

namespace {

constexpr const char* kChannelNames[] = {"r", "g", "b"};

}  // namespace

CMusicWnd::CMusicWnd(UiLoop& loop, AudioLightStyles styles)
    : WindowImplBase(loop), styles_(std::move(styles)) {
    styles_.active = std::clamp(styles_.active, 0, 3);
}

void CMusicWnd::InitWindow() {
    for (std::size_t i = 0; i < tabs_.size(); ++i) {
        tabs_[i] =
            dynamic_cast<COptionUI*>(m_pm.FindControl(fmt::format("audio_select_tab{}", i + 1)));
        names_[i] =
            dynamic_cast<CEditUI*>(m_pm.FindControl(fmt::format("audio_edit_name{}", i + 1)));
        if (names_[i]) names_[i]->SetText(styles_.names[i]);
    }
    for (std::size_t c = 0; c < sliders_.size(); ++c) {
        sliders_[c] = dynamic_cast<CSliderUI*>(
            m_pm.FindControl(fmt::format("audio_{}_slider", kChannelNames[c])));
        values_[c] = m_pm.FindControl(fmt::format("audio_{}_value", kChannelNames[c]));
    }
    ShowActive();
}

void CMusicWnd::ShowActive() {
    const auto active = static_cast<std::size_t>(styles_.active);
    for (std::size_t i = 0; i < tabs_.size(); ++i) {
        if (tabs_[i]) tabs_[i]->Selected(i == active, false);
    }
    for (std::size_t c = 0; c < sliders_.size(); ++c) {
        const int value = std::clamp(styles_.values[active][c], 0, 9);
        if (sliders_[c]) sliders_[c]->SetValue(value);
        if (values_[c]) values_[c]->SetText(std::to_string(value));
    }
}

AudioLightStyles CMusicWnd::Styles() const {
    AudioLightStyles styles = styles_;
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (names_[i]) styles.names[i] = names_[i]->GetText();
    }
    return styles;
}

void CMusicWnd::SetScale(int dpi) {
    if (dpi == dpi_) return;
    dpi = SecondaryWindowScale(dpi);
    dpi_ = dpi;
    ScaleTo(dpi);
}

void CMusicWnd::Notify(TNotifyUI& msg) {
    if (!msg.pSender) return WindowImplBase::Notify(msg);
    if (msg.sType == notify::kSelectChanged) {
        for (std::size_t i = 0; i < tabs_.size(); ++i) {
            if (msg.pSender == tabs_[i] && tabs_[i]->IsSelected()) {
                styles_.active = static_cast<int>(i);
                ShowActive();
            }
        }
        return;
    }
    if (msg.sType == notify::kValueChanged || msg.sType == notify::kMoveValueChanged) {
        for (std::size_t c = 0; c < sliders_.size(); ++c) {
            if (msg.pSender != sliders_[c]) continue;
            const int value = std::clamp(sliders_[c]->GetValue(), 0, 9);
            styles_.values[static_cast<std::size_t>(styles_.active)][c] = value;
            if (values_[c]) values_[c]->SetText(std::to_string(value));
        }
        return;
    }
    if (msg.sType == notify::kKillFocus) {
        // A style without a name gets its default one.
        for (std::size_t i = 0; i < names_.size(); ++i) {
            if (msg.pSender == names_[i] && names_[i]->GetText().empty())
                names_[i]->SetText(DefaultStyleName(static_cast<int>(i)));
        }
        return;
    }
    WindowImplBase::Notify(msg);
}

void CMusicWnd::OnClick(TNotifyUI& msg) {
    const std::string name = msg.pSender ? msg.pSender->GetName() : std::string();
    if (name == "okbtn") {
        // A name box still empty (the focus never left it) is named too.
        for (std::size_t i = 0; i < names_.size(); ++i) {
            if (names_[i] && names_[i]->GetText().empty())
                names_[i]->SetText(DefaultStyleName(static_cast<int>(i)));
        }
        Close(1);
    } else if (name == "closebtn") {
        Close(0);
    }
}

bool CMusicWnd::OnKeyDown(int key, unsigned) {
    if (key != kKeyEscape) return false;
    Close(0);
    return true;
}

LRESULT CMusicWnd::HandleCustomMessage(unsigned msg, WPARAM wParam, LPARAM, bool& handled) {
    handled = false;
    if (msg == kMsgDpiChanged) {
        SetScale(static_cast<int>(wParam & 0xFFFF));
        handled = true;
    } else if (msg == main_msg::kLanguage) {
        m_pm.NeedUpdate();
        if (CControlUI* root = m_pm.GetRoot()) root->Invalidate();
        handled = true;
    }
    return 0;
}

}  // namespace q731
