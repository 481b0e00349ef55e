#include "ui/widgets/color_palette.h"

#include <algorithm>
#include <cmath>

namespace q731 {

UiColor CColorPaletteUI::HsvToColor(int hue, int saturation, int value) {
    hue = ((hue % 360) + 360) % 360;
    double s = std::clamp(saturation, 0, 255) / 255.0;
    double v = std::clamp(value, 0, 255) / 255.0;
    double c = v * s;
    double x = c * (1 - std::fabs(std::fmod(hue / 60.0, 2.0) - 1));
    double m = v - c;
    double r = 0, g = 0, b = 0;
    switch (hue / 60) {
        case 0:
            r = c, g = x;
            break;
        case 1:
            r = x, g = c;
            break;
        case 2:
            g = c, b = x;
            break;
        case 3:
            g = x, b = c;
            break;
        case 4:
            r = x, b = c;
            break;
        default:
            r = c, b = x;
            break;
    }
    auto channel = [&](double part) {
        return static_cast<UiColor>(std::lround((part + m) * 255.0)) & 0xFFu;
    };
    return 0xFF000000u | channel(r) << 16 | channel(g) << 8 | channel(b);
}

void CColorPaletteUI::ColorToHsv(UiColor color, int& hue, int& saturation, int& value) {
    int r = (color >> 16) & 0xFF, g = (color >> 8) & 0xFF, b = color & 0xFF;
    int max = std::max({r, g, b}), min = std::min({r, g, b});
    int delta = max - min;
    value = max;
    saturation = max == 0 ? 0 : delta * 255 / max;
    double h = 0;
    if (delta != 0) {
        if (max == r) {
            h = 60.0 * std::fmod(double(g - b) / delta, 6.0);
        } else if (max == g) {
            h = 60.0 * (double(b - r) / delta + 2.0);
        } else {
            h = 60.0 * (double(r - g) / delta + 4.0);
        }
    }
    if (h < 0) h += 360.0;
    hue = static_cast<int>(std::lround(h)) % 360;
}

UiColor CColorPaletteUI::GetSelectColor() const {
    return HsvToColor(hue_, saturation_, value_);
}

void CColorPaletteUI::SetSelectColor(UiColor color) {
    int hue = 0, saturation = 0, value = 0;
    ColorToHsv(color, hue, saturation, value);
    // A grey has no hue of its own: keep the strip where the user left it.
    if (saturation > 0 && value > 0) hue_ = hue;
    saturation_ = saturation;
    value_ = value;
    Invalidate();
}

void CColorPaletteUI::SetBarHeight(int height) {
    barHeight_ = std::max(4, height);
    Invalidate();
}

bool CColorPaletteUI::SetAttribute(std::string_view name, std::string_view value) {
    std::string key = ToLower(name);
    if (key == "barheight" || key == "palletheight") {
        if (auto v = ParseInt(value)) SetBarHeight(*v);
    } else if (key == "selectcolor") {
        if (auto c = ParseColor(value)) SetSelectColor(*c);
    } else {
        return CControlUI::SetAttribute(name, value);
    }
    return true;
}

UiRect CColorPaletteUI::FieldRect() const {
    UiRect rc = rcItem_;
    rc.bottom = std::max(rc.top, rc.bottom - Scale(barHeight_) - Scale(gap_));
    return rc;
}

UiRect CColorPaletteUI::StripRect() const {
    UiRect rc = rcItem_;
    rc.top = std::max(rc.top, rc.bottom - Scale(barHeight_));
    return rc;
}

void CColorPaletteUI::PickAt(UiPoint point) {
    UiColor before = GetSelectColor();
    if (drag_ == Drag::Field) {
        UiRect field = FieldRect();
        if (field.Width() <= 1 || field.Height() <= 1) return;
        int x = std::clamp(point.x, field.left, field.right - 1) - field.left;
        int y = std::clamp(point.y, field.top, field.bottom - 1) - field.top;
        saturation_ = x * 255 / (field.Width() - 1);
        value_ = 255 - y * 255 / (field.Height() - 1);
    } else if (drag_ == Drag::Strip) {
        UiRect strip = StripRect();
        if (strip.Width() <= 1) return;
        int x = std::clamp(point.x, strip.left, strip.right - 1) - strip.left;
        hue_ = x * 359 / (strip.Width() - 1);
    }
    Invalidate();
    UiColor after = GetSelectColor();
    if (after != before) SendNotify(notify::kColorChanged, after);
}

void CColorPaletteUI::DoEvent(TEventUI& event) {
    if (!IsEnabled()) {
        drag_ = Drag::None;
        CControlUI::DoEvent(event);
        return;
    }
    switch (event.Type) {
        case UiEventType::ButtonDown:
            if (FieldRect().Contains(event.ptMouse)) {
                drag_ = Drag::Field;
            } else if (StripRect().Contains(event.ptMouse)) {
                drag_ = Drag::Strip;
            } else {
                return;
            }
            PickAt(event.ptMouse);
            return;
        case UiEventType::MouseMove:
            if (drag_ != Drag::None) PickAt(event.ptMouse);
            return;
        case UiEventType::ButtonUp:
            drag_ = Drag::None;
            return;
        default:
            CControlUI::DoEvent(event);
    }
}

void CColorPaletteUI::PaintStatusImage(IRenderer& renderer) {
    UiRect field = FieldRect();
    UiRect strip = StripRect();
    if (!field.IsEmpty()) {
        renderer.DrawColorField(field, hue_);
        int x = field.left + saturation_ * std::max(0, field.Width() - 1) / 255;
        int y = field.top + (255 - value_) * std::max(0, field.Height() - 1) / 255;
        int r = Scale(5);
        // Keep the whole marker visible at the field's edges.
        x = std::clamp(x, field.left + r, std::max(field.left + r, field.right - r));
        y = std::clamp(y, field.top + r, std::max(field.top + r, field.bottom - r));
        renderer.DrawBorder({x - r, y - r, x + r, y + r}, std::max(1, Scale(2)), 0xFFFFFFFF, r);
    }
    if (!strip.IsEmpty()) {
        renderer.DrawHueStrip(strip);
        int x = strip.left + hue_ * std::max(0, strip.Width() - 1) / 359;
        int w = std::max(2, Scale(3));
        renderer.DrawBorder({x - w, strip.top, x + w, strip.bottom}, std::max(1, Scale(1)),
                            0xFFFFFFFF, 0);
    }
    CControlUI::PaintStatusImage(renderer);
}

}  // namespace q731
