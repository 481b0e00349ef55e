#include "ui/controls/key_buttons.h"

#include <fmt/format.h>

#include <algorithm>

#include "ui/widgets/paint_manager.h"

namespace q731 {

namespace {

inline constexpr const char* kNotifySelectEnd = "click_select_end";

// The toolkit's image drawing, with the image's shape filled in one colour.
bool DrawTintedImage(CControlUI& control, IRenderer& renderer, std::string_view image,
                     UiColor tint) {
    CPaintManagerUI* manager = control.GetManager();
    if (!manager || image.empty()) return false;
    const TDrawInfo* info = manager->GetDrawInfo(image);
    if (!info) return false;
    ImageDraw draw;
    draw.info = info;
    draw.path = CPaintManagerUI::ResolveImagePath(info->sImageName);
    if (draw.path.empty()) return false;
    const UiRect& rc = control.GetPos();
    draw.dest = info->rcDest ? control.Scale(*info->rcDest).Offset(rc.left, rc.top) : rc;
    draw.scale = manager->GetDPIObj()->GetDPI() / double(CDPI::kDesignDpi);
    draw.tint = tint;
    return renderer.DrawImage(draw);
}

}  // namespace

bool CDeviceKeyButtonUI::SetAttribute(std::string_view name, std::string_view value) {
    const std::string key = ToLower(name);
    if (key == "lightimage") {
        SetLightImage(std::string(value));
    } else if (key == "keysetimage") {
        SetKeySetImage(std::string(value));
    } else if (key == "light") {
        SetLight(ParseBool(value));
    } else if (key == "lightcolor") {
        if (auto color = ParseColor(value)) SetLightColor(*color);
    } else if (key == "lightbrightness") {
        if (auto brightness = ParseInt(value)) SetLightBrightness(*brightness);
    } else if (key == "keysethidden") {
        SetKeySetHidden(ParseBool(value));
    } else if (key == "selected") {
        SetSelected(ParseBool(value));
    } else if (key == "selectedbordercolor") {
        if (auto color = ParseColor(value)) selectedBorderColor_ = *color;
    } else {
        return CButtonUI::SetAttribute(name, value);
    }
    return true;
}

void CDeviceKeyButtonUI::DoEvent(TEventUI& event) {
    const bool doubleClick =
        event.Type == UiEventType::DblClick && rcItem_.Contains(event.ptMouse) && IsEnabled();
    CButtonUI::DoEvent(event);
    if (doubleClick) SendNotify(notify::kDbClick);
}

void CDeviceKeyButtonUI::PaintStatusImage(IRenderer& renderer) {
    CButtonUI::PaintStatusImage(renderer);
    if (light_) {
        // Without a light image the whole key glows, so a lit key always shows.
        if (!DrawTintedImage(*this, renderer, lightImage_, GetLitColor())) {
            renderer.FillRoundRect(rcItem_, Scale(std::max(borderRound_, 4)), GetLitColor());
        }
    }
    if (!keySetHidden_) DrawImage(renderer, keySetImage_);
}

void CDeviceKeyButtonUI::PaintBorder(IRenderer& renderer) {
    CButtonUI::PaintBorder(renderer);
    if (selected_ && (selectedBorderColor_ >> 24) != 0) {
        renderer.DrawBorder(rcItem_, std::max(1, Scale(2)), selectedBorderColor_,
                            Scale(borderRound_));
    }
}

void CDeviceKeyButtonUI::SetLight(bool on) {
    if (light_ == on) return;
    light_ = on;
    Invalidate();
}

void CDeviceKeyButtonUI::SetLightColor(std::uint32_t rgb) {
    rgb &= 0xFFFFFF;
    if (lightColor_ == rgb) return;
    lightColor_ = rgb;
    if (light_) Invalidate();
}

void CDeviceKeyButtonUI::SetLightBrightness(int brightness) {
    brightness = std::clamp(brightness, 0, 255);
    if (lightBrightness_ == brightness) return;
    lightBrightness_ = brightness;
    if (light_) Invalidate();
}

UiColor CDeviceKeyButtonUI::GetLitColor() const {
    // Dividing by 255 keeps full brightness exact: white at 255 stays 0xFFFFFF.
    auto channel = [&](int shift) {
        const std::uint32_t value = (lightColor_ >> shift) & 0xFF;
        return (value * static_cast<std::uint32_t>(lightBrightness_) / 255) << shift;
    };
    return 0xFF000000u | channel(16) | channel(8) | channel(0);
}

void CDeviceKeyButtonUI::SetKeySetHidden(bool hidden) {
    if (keySetHidden_ == hidden) return;
    keySetHidden_ = hidden;
    Invalidate();
}

void CDeviceKeyButtonUI::SetSelected(bool selected) {
    if (selected_ == selected) return;
    selected_ = selected;
    Invalidate();
}

void CDeviceKeyButtonUI::SetLightImage(std::string image) {
    lightImage_ = std::move(image);
    Invalidate();
}

void CDeviceKeyButtonUI::SetKeySetImage(std::string image) {
    keySetImage_ = std::move(image);
    Invalidate();
}

void CSelectPanelUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UiEventType::ButtonDown:
            if (!IsEnabled() || !rcItem_.Contains(event.ptMouse)) break;
            pressed_ = true;
            dragging_ = false;
            pressPoint_ = currentPoint_ = event.ptMouse;
            return;
        case UiEventType::MouseMove:
            if (!pressed_) break;
            dragging_ = true;
            currentPoint_ = event.ptMouse;
            selection_ = {
                std::min(pressPoint_.x, currentPoint_.x), std::min(pressPoint_.y, currentPoint_.y),
                std::max(pressPoint_.x, currentPoint_.x), std::max(pressPoint_.y, currentPoint_.y)};
            return;
        case UiEventType::ButtonUp:
            if (!pressed_) break;
            pressed_ = false;
            if (dragging_) FinishDrag();
            return;
        default:
            break;
    }
    CVerticalLayoutUI::DoEvent(event);
}

void CSelectPanelUI::FinishDrag() {
    dragging_ = false;
    for (int i = 0; i < GetCount(); ++i) {
        if (auto* key = dynamic_cast<CDeviceKeyButtonUI*>(GetItemAt(i))) {
            key->SetSelected(key->GetPos().Intersects(selection_));
        }
    }
    NeedUpdate();
    SendNotify(kNotifySelectEnd);
}

bool CRedioMacroButtonUI::SetAttribute(std::string_view name, std::string_view value) {
    if (ToLower(name) == "redioimage") {
        SetRecordImage(std::string(value));
        return true;
    }
    return CButtonUI::SetAttribute(name, value);
}

void CRedioMacroButtonUI::DoInit() {
    // Blinking asked for before the button joined a window starts now.
    if (blinking_) SetTimer(kBlinkTimerId, kBlinkIntervalMs);
}

void CRedioMacroButtonUI::DoEvent(TEventUI& event) {
    if (event.Type == UiEventType::Timer && event.wParam == kBlinkTimerId) {
        Tick();
        return;
    }
    CButtonUI::DoEvent(event);
}

void CRedioMacroButtonUI::SetBlinking(bool on) {
    if (blinking_ == on) return;
    blinking_ = on;
    fade_ = kFadeHigh;
    fadingDown_ = true;
    if (on) {
        restingImage_ = normalImage_;
        SetTimer(kBlinkTimerId, kBlinkIntervalMs);
    } else {
        KillTimer(kBlinkTimerId);
        SetNormalImage(restingImage_);
    }
}

void CRedioMacroButtonUI::SetRecordImage(std::string image) {
    recordImage_ = std::move(image);
}

void CRedioMacroButtonUI::Tick() {
    if (!blinking_) {
        KillTimer(kBlinkTimerId);
        return;
    }
    fade_ += fadingDown_ ? -kFadeStep : kFadeStep;
    if (fade_ >= kFadeHigh) {
        fade_ = kFadeHigh;
        fadingDown_ = true;
    } else if (fade_ <= kFadeLow) {
        fade_ = kFadeLow;
        fadingDown_ = false;
    }
    if (recordImage_.empty()) return;
    SetNormalImage(fmt::format("res='{}' fade='{}'", recordImage_, fade_));
}

}  // namespace q731
