#include "ui/widgets/buttons.h"

#include "ui/widgets/paint_manager.h"

namespace q731 {

void CLabelUI::PaintText(IRenderer& renderer) {
    UiColor color = IsEnabled() || disabledTextColor_ == 0 ? textColor_ : disabledTextColor_;
    PaintTextIn(renderer, GetText(), color);
}

bool CButtonUI::Activate() {
    if (!CControlUI::Activate()) return false;
    SendNotify(notify::kClick);
    return true;
}

void CButtonUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UiEventType::ButtonDown:
        case UiEventType::DblClick:
            if (rcItem_.Contains(event.ptMouse) && IsEnabled()) {
                state_ |= kStatePushed;
                Invalidate();
            }
            return;
        case UiEventType::MouseMove:
            if (state_ & kStatePushed) Invalidate();
            return;
        case UiEventType::ButtonUp: {
            bool click = (state_ & kStatePushed) && rcItem_.Contains(event.ptMouse);
            state_ &= ~kStatePushed;
            Invalidate();
            // Activate last: a click handler may remove this very button.
            if (click) Activate();
            return;
        }
        case UiEventType::MouseEnter:
            if (IsEnabled()) {
                state_ |= kStateHot;
                Invalidate();
            }
            return;
        case UiEventType::MouseLeave:
            state_ &= ~kStateHot;
            Invalidate();
            return;
        case UiEventType::KeyDown:
            if (event.chKey == kKeySpace || event.chKey == kKeyReturn) {
                Activate();
                return;
            }
            break;
        default:
            break;
    }
    CLabelUI::DoEvent(event);
}

bool CButtonUI::SetAttribute(std::string_view name, std::string_view value) {
    std::string key = ToLower(name);
    std::string text(value);
    if (key == "normalimage") {
        SetNormalImage(text);
    } else if (key == "hotimage") {
        SetHotImage(text);
    } else if (key == "pushedimage") {
        SetPushedImage(text);
    } else if (key == "focusedimage") {
        SetFocusedImage(text);
    } else if (key == "disabledimage") {
        SetDisabledImage(text);
    } else if (key == "hotforeimage") {
        hotForeImage_ = text;
    } else if (key == "hotbkcolor") {
        if (auto c = ParseColor(value)) hotBkColor_ = *c;
    } else if (key == "pushedbkcolor") {
        if (auto c = ParseColor(value)) pushedBkColor_ = *c;
    } else if (key == "disabledbkcolor") {
        if (auto c = ParseColor(value)) disabledBkColor_ = *c;
    } else if (key == "hottextcolor") {
        if (auto c = ParseColor(value)) hotTextColor_ = *c;
    } else if (key == "pushedtextcolor") {
        if (auto c = ParseColor(value)) pushedTextColor_ = *c;
    } else {
        return CLabelUI::SetAttribute(name, value);
    }
    Invalidate();
    return true;
}

void CButtonUI::SetNormalImage(std::string image) {
    normalImage_ = std::move(image);
    Invalidate();
}
void CButtonUI::SetHotImage(std::string image) {
    hotImage_ = std::move(image);
    Invalidate();
}
void CButtonUI::SetPushedImage(std::string image) {
    pushedImage_ = std::move(image);
    Invalidate();
}
void CButtonUI::SetFocusedImage(std::string image) {
    focusedImage_ = std::move(image);
    Invalidate();
}
void CButtonUI::SetDisabledImage(std::string image) {
    disabledImage_ = std::move(image);
    Invalidate();
}

void CButtonUI::PaintBkColor(IRenderer& renderer) {
    UiColor saved = bkColor_;
    if (!IsEnabled() && disabledBkColor_) {
        bkColor_ = disabledBkColor_;
    } else if (IsEnabled() && (state_ & kStatePushed) && pushedBkColor_) {
        bkColor_ = pushedBkColor_;
    } else if (IsEnabled() && (state_ & kStateHot) && hotBkColor_) {
        bkColor_ = hotBkColor_;
    }
    CLabelUI::PaintBkColor(renderer);
    bkColor_ = saved;
}

void CButtonUI::PaintStatusImage(IRenderer& renderer) {
    // The most specific state image that draws wins; the normal image is the fallback.
    bool drawn = false;
    if (!IsEnabled()) {
        drawn = DrawImage(renderer, disabledImage_);
    } else if (state_ & kStatePushed) {
        drawn = DrawImage(renderer, pushedImage_);
    } else if (state_ & kStateHot) {
        drawn = DrawImage(renderer, hotImage_);
    } else if (focused_) {
        drawn = DrawImage(renderer, focusedImage_);
    }
    if (!drawn) DrawImage(renderer, normalImage_);
    if (IsEnabled() && (state_ & kStateHot) && !hotForeImage_.empty()) {
        DrawImage(renderer, hotForeImage_);
    } else {
        CLabelUI::PaintStatusImage(renderer);
    }
}

void CButtonUI::PaintText(IRenderer& renderer) {
    UiColor color = textColor_;
    if (!IsEnabled() && disabledTextColor_) {
        color = disabledTextColor_;
    } else if ((state_ & kStatePushed) && pushedTextColor_) {
        color = pushedTextColor_;
    } else if ((state_ & kStateHot) && hotTextColor_) {
        color = hotTextColor_;
    }
    PaintTextIn(renderer, GetText(), color);
}

COptionUI::~COptionUI() = default;

bool COptionUI::Activate() {
    if (!CButtonUI::Activate()) return false;
    // The click handler may have changed the selection or removed the option;
    // the manager keeps this object alive until the event is over.
    if (!group_.empty()) {
        if (!selected_) Selected(true);
    } else {
        Selected(!selected_);
    }
    return true;
}

void COptionUI::Selected(bool selected, bool triggerEvent) {
    if (selected_ == selected) return;
    selected_ = selected;
    if (selected) {
        state_ |= kStateSelected;
    } else {
        state_ &= ~kStateSelected;
    }
    if (selected && !group_.empty() && manager_ && manager_->GetRoot()) {
        manager_->GetRoot()->FindControl([&](CControlUI* control) {
            auto* other = dynamic_cast<COptionUI*>(control);
            if (other && other != this && other->group_ == group_ && other->selected_) {
                other->selected_ = false;
                other->state_ &= ~kStateSelected;
                other->Invalidate();
            }
            return false;
        });
    }
    Invalidate();
    if (triggerEvent) SendNotify(notify::kSelectChanged, selected ? 1 : 0);
}

void COptionUI::SetGroup(std::string group) {
    group_ = std::move(group);
    Invalidate();
}
void COptionUI::SetSelectedImage(std::string image) {
    selectedImage_ = std::move(image);
    Invalidate();
}
void COptionUI::SetSelectedHotImage(std::string image) {
    selectedHotImage_ = std::move(image);
    Invalidate();
}
void COptionUI::SetSelectedBkColor(UiColor color) {
    selectedBkColor_ = color;
    Invalidate();
}
void COptionUI::SetSelectedTextColor(UiColor color) {
    selectedTextColor_ = color;
    Invalidate();
}

bool COptionUI::SetAttribute(std::string_view name, std::string_view value) {
    std::string key = ToLower(name);
    if (key == "group") {
        SetGroup(std::string(value));
    } else if (key == "selected") {
        Selected(ParseBool(value), false);
    } else if (key == "selectedimage") {
        SetSelectedImage(std::string(value));
    } else if (key == "selectedhotimage") {
        SetSelectedHotImage(std::string(value));
    } else if (key == "selectedforeimage") {
        selectedForeImage_ = std::string(value);
    } else if (key == "selectedbkcolor") {
        if (auto c = ParseColor(value)) SetSelectedBkColor(*c);
    } else if (key == "selectedtextcolor") {
        if (auto c = ParseColor(value)) SetSelectedTextColor(*c);
    } else {
        return CButtonUI::SetAttribute(name, value);
    }
    return true;
}

void COptionUI::PaintBkColor(IRenderer& renderer) {
    if (selected_ && (selectedBkColor_ >> 24) != 0) {
        if (borderRound_ > 0) {
            renderer.FillRoundRect(rcItem_, Scale(borderRound_), selectedBkColor_);
        } else {
            renderer.FillRect(rcItem_, selectedBkColor_);
        }
        return;
    }
    CButtonUI::PaintBkColor(renderer);
}

void COptionUI::PaintStatusImage(IRenderer& renderer) {
    if (selected_) {
        bool drawn = false;
        if ((state_ & kStateHot) && IsEnabled()) drawn = DrawImage(renderer, selectedHotImage_);
        if (!drawn) drawn = DrawImage(renderer, selectedImage_);
        if (!drawn) CButtonUI::PaintStatusImage(renderer);
        if (!selectedForeImage_.empty()) DrawImage(renderer, selectedForeImage_);
        return;
    }
    CButtonUI::PaintStatusImage(renderer);
}

void COptionUI::PaintText(IRenderer& renderer) {
    if (selected_ && selectedTextColor_ && IsEnabled()) {
        PaintTextIn(renderer, GetText(), selectedTextColor_);
        return;
    }
    CButtonUI::PaintText(renderer);
}

bool CCheckBoxUI::Activate() {
    if (!COptionUI::Activate()) return false;
    SendNotify(notify::kCheckClick, selected_ ? 1 : 0);
    return true;
}

}  // namespace q731
