#include "ui/widgets/range.h"

#include <algorithm>
#include <cmath>

#include "ui/widgets/paint_manager.h"

namespace q731 {

void CProgressUI::SetMinValue(int min) {
    min_ = min;
    if (max_ < min_) max_ = min_;
    SetValue(value_);
    Invalidate();
}

void CProgressUI::SetMaxValue(int max) {
    max_ = std::max(max, min_);
    SetValue(value_);
    Invalidate();
}

void CProgressUI::SetValue(int value) {
    value = std::clamp(value, min_, max_);
    if (value == value_) return;
    value_ = value;
    Invalidate();
}

void CProgressUI::SetHorizontal(bool on) {
    horizontal_ = on;
    Invalidate();
}

void CProgressUI::SetForeColor(UiColor color) {
    foreColor_ = color;
    Invalidate();
}

double CProgressUI::Fraction() const {
    if (max_ <= min_) return 0.0;
    return double(value_ - min_) / double(max_ - min_);
}

bool CProgressUI::SetAttribute(std::string_view name, std::string_view value) {
    std::string key = ToLower(name);
    if (key == "min") {
        if (auto v = ParseInt(value)) SetMinValue(*v);
    } else if (key == "max") {
        if (auto v = ParseInt(value)) SetMaxValue(*v);
    } else if (key == "value") {
        if (auto v = ParseInt(value)) SetValue(*v);
    } else if (key == "hor") {
        SetHorizontal(ParseBool(value));
    } else if (key == "forecolor") {
        if (auto c = ParseColor(value)) SetForeColor(*c);
    } else if (key == "isstretchfore") {
        // The fore image is always clipped to the value, never squeezed.
    } else {
        return CControlUI::SetAttribute(name, value);
    }
    return true;
}

void CProgressUI::PaintStatusImage(IRenderer& renderer) {
    UiRect part = rcItem_;
    double fraction = Fraction();
    if (horizontal_) {
        part.right = part.left + static_cast<int>(std::lround(rcItem_.Width() * fraction));
    } else {
        part.top = part.bottom - static_cast<int>(std::lround(rcItem_.Height() * fraction));
    }
    if (part.IsEmpty()) return;
    if ((foreColor_ >> 24) != 0) renderer.FillRect(part, foreColor_);
    if (!foreImage_.empty()) {
        renderer.PushClip(part);
        DrawImage(renderer, foreImage_);
        renderer.PopClip();
    }
}

void CProgressUI::PaintText(IRenderer& renderer) {
    PaintTextIn(renderer, GetText(), textColor_);
}

void CSliderUI::SetChangeStep(int step) {
    step_ = std::max(1, step);
}
void CSliderUI::SetThumbSize(UiSize designSize) {
    thumbSize_ = {std::max(0, designSize.cx), std::max(0, designSize.cy)};
    Invalidate();
}
void CSliderUI::SetThumbImage(std::string image) {
    thumbImage_ = std::move(image);
    Invalidate();
}
void CSliderUI::SetThumbHotImage(std::string image) {
    thumbHotImage_ = std::move(image);
    Invalidate();
}
void CSliderUI::SetThumbPushedImage(std::string image) {
    thumbPushedImage_ = std::move(image);
    Invalidate();
}

bool CSliderUI::SetAttribute(std::string_view name, std::string_view value) {
    std::string key = ToLower(name);
    if (key == "step") {
        if (auto v = ParseInt(value)) SetChangeStep(*v);
    } else if (key == "thumbsize") {
        if (auto s = ParseSize(value)) SetThumbSize(*s);
    } else if (key == "thumbimage") {
        SetThumbImage(std::string(value));
    } else if (key == "thumbhotimage") {
        SetThumbHotImage(std::string(value));
    } else if (key == "thumbpushedimage") {
        SetThumbPushedImage(std::string(value));
    } else if (key == "thumbcolor") {
        if (auto c = ParseColor(value)) thumbColor_ = *c;
    } else if (key == "sendmove") {
        SetCanSendMove(ParseBool(value));
    } else {
        return CProgressUI::SetAttribute(name, value);
    }
    return true;
}

UiRect CSliderUI::GetThumbRect() const {
    int cx = Scale(thumbSize_.cx);
    int cy = Scale(thumbSize_.cy);
    double fraction = Fraction();
    if (horizontal_) {
        int left = rcItem_.left + static_cast<int>(std::lround((rcItem_.Width() - cx) * fraction));
        int top = rcItem_.top + (rcItem_.Height() - cy) / 2;
        return {left, top, left + cx, top + cy};
    }
    int top =
        rcItem_.bottom - cy - static_cast<int>(std::lround((rcItem_.Height() - cy) * fraction));
    int left = rcItem_.left + (rcItem_.Width() - cx) / 2;
    return {left, top, left + cx, top + cy};
}

int CSliderUI::ValueAt(UiPoint point) const {
    double span;
    double offset;
    if (horizontal_) {
        int cx = Scale(thumbSize_.cx);
        span = rcItem_.Width() - cx;
        offset = point.x - rcItem_.left - cx / 2.0;
    } else {
        int cy = Scale(thumbSize_.cy);
        span = rcItem_.Height() - cy;
        offset = rcItem_.bottom - point.y - cy / 2.0;
    }
    if (span <= 0) return min_;
    double fraction = std::clamp(offset / span, 0.0, 1.0);
    long value = min_ + std::lround(fraction * (double(max_) - double(min_)));
    // Snap to the step, counted from the minimum.
    long steps = std::lround(double(value - min_) / step_);
    return std::clamp(static_cast<int>(min_ + steps * step_), min_, max_);
}

void CSliderUI::Step(int steps) {
    int before = value_;
    long target = long(value_) + long(steps) * step_;
    SetValue(static_cast<int>(std::clamp<long>(target, min_, max_)));
    if (value_ != before) SendNotify(notify::kValueChanged);
}

void CSliderUI::DoEvent(TEventUI& event) {
    if (!IsEnabled()) {
        if (event.Type == UiEventType::ButtonUp) dragging_ = false;
        CProgressUI::DoEvent(event);
        return;
    }
    switch (event.Type) {
        case UiEventType::ButtonDown:
        case UiEventType::DblClick:
            if (!rcItem_.Contains(event.ptMouse)) return;
            dragging_ = true;
            state_ |= kStatePushed;
            lastMoveValue_ = value_;
            SetValue(ValueAt(event.ptMouse));
            return;
        case UiEventType::MouseMove:
            if (!dragging_) return;
            SetValue(ValueAt(event.ptMouse));
            if (sendMove_ && value_ != lastMoveValue_) {
                lastMoveValue_ = value_;
                SendNotify(notify::kMoveValueChanged);
            }
            return;
        case UiEventType::ButtonUp:
            if (!dragging_) return;
            dragging_ = false;
            state_ &= ~kStatePushed;
            SetValue(ValueAt(event.ptMouse));
            Invalidate();
            SendNotify(notify::kValueChanged);
            return;
        case UiEventType::ScrollWheel:
            Step(event.wheelDelta > 0 ? 1 : -1);
            return;
        case UiEventType::KeyDown:
            if (event.chKey == kKeyLeft || event.chKey == kKeyDown) {
                Step(-1);
                return;
            }
            if (event.chKey == kKeyRight || event.chKey == kKeyUp) {
                Step(1);
                return;
            }
            break;
        case UiEventType::MouseEnter:
            state_ |= kStateHot;
            Invalidate();
            return;
        case UiEventType::MouseLeave:
            state_ &= ~kStateHot;
            Invalidate();
            return;
        default:
            break;
    }
    CProgressUI::DoEvent(event);
}

void CSliderUI::PaintStatusImage(IRenderer& renderer) {
    CProgressUI::PaintStatusImage(renderer);
    UiRect thumb = GetThumbRect();
    bool drawn = false;
    if (state_ & kStatePushed) {
        drawn = DrawImage(renderer, thumbPushedImage_, thumb);
    } else if (state_ & kStateHot) {
        drawn = DrawImage(renderer, thumbHotImage_, thumb);
    }
    if (!drawn) drawn = DrawImage(renderer, thumbImage_, thumb);
    if (!drawn && (thumbColor_ >> 24) != 0) {
        renderer.FillRoundRect(thumb, std::min(thumb.Width(), thumb.Height()) / 2, thumbColor_);
    }
}

}  // namespace q731
