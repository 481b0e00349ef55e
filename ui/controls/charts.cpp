#include "ui/controls/charts.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace q731 {

namespace {

// Chosen so that neighbouring items differ in hue and lightness.
constexpr std::array<UiColor, 18> kItemColors = {
    0xFF2F8CFF, 0xFFFF6B4A, 0xFF20C997, 0xFFFFC233, 0xFF9B6BFF, 0xFF4DD4F0,
    0xFFE6497A, 0xFF8BC34A, 0xFFFF9F43, 0xFF5C7CFA, 0xFF00A6A6, 0xFFD97AF0,
    0xFFB0855A, 0xFF7A8FA6, 0xFFF25C5C, 0xFF3FB27F, 0xFFC9A227, 0xFF6F5BD6,
};

// The pie's shadow: a faint wide disc under a darker narrow one.
constexpr UiColor kShadowOuter = 0x1E808080;  // alpha 30
constexpr UiColor kShadowInner = 0x64808080;  // alpha 100
constexpr int kShadowOuterGrow = 4;
constexpr int kShadowInnerGrow = 1;
constexpr int kLegendSquare = 18;
constexpr int kLegendRow = 24;

UiRect Grow(const UiRect& rc, int by) {
    return rc.Deflate({-by, -by, -by, -by});
}

}  // namespace

bool CCircleProgressUI::SetAttribute(std::string_view name, std::string_view value) {
    if (ToLower(name) == "innercolor") {
        if (auto color = ParseColor(value)) SetInnerColor(*color);
        return true;
    }
    return CProgressUI::SetAttribute(name, value);
}

void CCircleProgressUI::SetInnerColor(UiColor color) {
    innerColor_ = color;
    Invalidate();
}

double CCircleProgressUI::SweepDegrees() const {
    if (max_ <= min_) return 0;
    return std::clamp(Fraction(), 0.0, 1.0) * 360.0;
}

void CCircleProgressUI::PaintBkColor(IRenderer& renderer) {
    if ((bkColor_ >> 24) != 0) renderer.FillEllipse(rcItem_, bkColor_);
}

void CCircleProgressUI::PaintStatusImage(IRenderer& renderer) {
    const double sweep = SweepDegrees();
    // From twelve o'clock, clockwise: the renderer counts counter-clockwise.
    if (sweep > 0 && (foreColor_ >> 24) != 0) renderer.FillPie(rcItem_, 90, -sweep, foreColor_);
    const int ring = Scale(kRingWidth);
    const UiRect inner = rcItem_.Deflate({ring, ring, ring, ring});
    if (!inner.IsEmpty() && (innerColor_ >> 24) != 0) renderer.FillEllipse(inner, innerColor_);
}

bool CRerurIvavudUI::SetAttribute(std::string_view name, std::string_view value) {
    if (ToLower(name) == "barcolor") {
        if (auto color = ParseColor(value)) barColor_ = *color;
        return true;
    }
    return CLabelUI::SetAttribute(name, value);
}

void CRerurIvavudUI::SetSamples(std::span<const int> samples) {
    samples_.fill(0);
    std::copy_n(samples.begin(), std::min<std::size_t>(samples.size(), samples_.size()),
                samples_.begin());
    Invalidate();
}

void CRerurIvavudUI::PaintStatusImage(IRenderer& renderer) {
    const std::int64_t height = rcItem_.Height();
    const int bottom = rcItem_.bottom - 1;
    for (int i = 0; i < kSampleCount && 2 * i < rcItem_.Width(); ++i) {
        const std::int64_t level = std::clamp(samples_[static_cast<std::size_t>(i)], 0, kFullScale);
        const int top = rcItem_.top + static_cast<int>(height - height * level / kFullScale);
        if (top >= bottom) continue;
        const int x = rcItem_.left + 2 * i;
        renderer.FillRect({x, top, x + 1, bottom}, barColor_);
    }
}

bool CChartViewUI::SetAttribute(std::string_view name, std::string_view value) {
    const std::string key = ToLower(name);
    auto size = [&](int& into) {
        if (auto v = ParseInt(value)) into = std::clamp(*v, 0, 4096);
        Invalidate();
    };
    if (key == "view") {
        // "histpgram" is how the layouts spell it.
        const bool histogram = EqualsNoCase(value, "histpgram") || EqualsNoCase(value, "histogram");
        SetViewKind(histogram ? ViewKind::Histogram : ViewKind::Pie);
    } else if (key == "shadowimage") {
        shadowImage_ = std::string(value);
        Invalidate();
    } else if (key == "shadowimageheight") {
        size(shadowImageHeight_);
    } else if (key == "pillarimage") {
        pillarImage_ = std::string(value);
        Invalidate();
    } else if (key == "pillarimagewidth") {
        size(pillarImageWidth_);
    } else if (key == "showtext") {
        SetShowText(ParseBool(value));
    } else if (key == "showhtml") {
        // Labels are drawn as plain text either way.
        showHtml_ = ParseBool(value);
    } else {
        return CControlUI::SetAttribute(name, value);
    }
    return true;
}

void CChartViewUI::AddItem(std::string label, double value) {
    // A value that is not a number would poison every proportion.
    items_.push_back({std::move(label), std::isfinite(value) ? value : 0.0});
    Invalidate();
}

void CChartViewUI::ClearItems() {
    items_.clear();
    Invalidate();
}

void CChartViewUI::SetViewKind(ViewKind kind) {
    kind_ = kind;
    Invalidate();
}

void CChartViewUI::SetShowText(bool on) {
    showText_ = on;
    Invalidate();
}

UiColor CChartViewUI::ItemColor(std::size_t index) {
    return kItemColors[index % kItemColors.size()];
}

void CChartViewUI::PaintStatusImage(IRenderer& renderer) {
    CControlUI::PaintStatusImage(renderer);
    // Negative values count as nothing; with nothing positive there is no
    // proportion to draw.
    double total = 0;
    double largest = 0;
    for (const ChartItem& item : items_) {
        total += std::max(0.0, item.value);
        largest = std::max(largest, item.value);
    }
    if (total <= 0) return;
    renderer.PushClip(rcItem_);
    if (kind_ == ViewKind::Pie) {
        PaintPie(renderer, total);
    } else {
        PaintHistogram(renderer, largest);
    }
    renderer.PopClip();
}

void CChartViewUI::PaintPie(IRenderer& renderer, double total) {
    const int margin = Scale(kShadowOuterGrow + 1);
    const UiRect area = rcItem_.Deflate({margin, margin, margin, margin});
    const int legendWidth = showText_ ? area.Width() * 2 / 5 : 0;
    const int diameter = std::min(area.Height(), area.Width() - legendWidth);
    if (diameter <= 0) return;
    const int top = area.top + (area.Height() - diameter) / 2;
    const UiRect pie{area.left, top, area.left + diameter, top + diameter};
    renderer.FillEllipse(Grow(pie, Scale(kShadowOuterGrow)), kShadowOuter);
    renderer.FillEllipse(Grow(pie, Scale(kShadowInnerGrow)), kShadowInner);
    // Slices run clockwise from twelve o'clock in item order.
    double start = 90;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const double sweep = std::max(0.0, items_[i].value) / total * 360.0;
        if (sweep > 0) renderer.FillPie(pie, start, -sweep, ItemColor(i));
        start -= sweep;
    }
    if (!showText_) return;
    const int square = Scale(kLegendSquare);
    const int row = Scale(kLegendRow);
    const int left = pie.right + Scale(16);
    const int rows = static_cast<int>(items_.size());
    int y = area.top + std::max(0, (area.Height() - rows * row) / 2);
    for (std::size_t i = 0; i < items_.size(); ++i, y += row) {
        renderer.FillRect({left, y, left + square, y + square}, ItemColor(i));
        PaintLabel(renderer, {left + square + Scale(8), y, area.right, y + square}, items_[i].label,
                   kTextLeft | kTextVCenter | kTextSingleLine | kTextEndEllipsis);
    }
}

void CChartViewUI::PaintHistogram(IRenderer& renderer, double largest) {
    const int labelBand = showText_ ? Scale(22) : 0;
    const UiRect plot{rcItem_.left, rcItem_.top + Scale(6), rcItem_.right,
                      rcItem_.bottom - labelBand};
    const int shadowHeight = shadowImage_.empty() ? 0 : Scale(shadowImageHeight_);
    if (shadowHeight > 0) {
        DrawImage(renderer, shadowImage_,
                  {plot.left, plot.bottom - shadowHeight, plot.right, plot.bottom});
    }
    const int base = plot.bottom - shadowHeight;
    const int room = base - plot.top;
    const double slot = double(plot.Width()) / double(items_.size());
    const int width =
        std::min(static_cast<int>(slot),
                 pillarImageWidth_ > 0 ? Scale(pillarImageWidth_) : static_cast<int>(slot / 2));
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const int slotLeft = plot.left + static_cast<int>(std::lround(slot * double(i)));
        const int slotRight = plot.left + static_cast<int>(std::lround(slot * double(i + 1)));
        const int height =
            static_cast<int>(std::lround(room * std::max(0.0, items_[i].value) / largest));
        const int left = (slotLeft + slotRight - width) / 2;
        const UiRect pillar{left, base - height, left + width, base};
        if (height > 0 && width > 0 && !DrawImage(renderer, pillarImage_, pillar)) {
            renderer.FillRect(pillar, ItemColor(i));
        }
        if (showText_) {
            PaintLabel(renderer, {slotLeft, plot.bottom, slotRight, rcItem_.bottom},
                       items_[i].label,
                       kTextCenter | kTextVCenter | kTextSingleLine | kTextEndEllipsis);
        }
    }
}

void CChartViewUI::PaintLabel(IRenderer& renderer, const UiRect& rc, const std::string& text,
                              unsigned style) {
    if (text.empty() || rc.IsEmpty()) return;
    const UiColor color = (textColor_ >> 24) != 0 ? textColor_ : 0xFF000000;
    renderer.DrawText(rc, text, color, ResolveFont(font_), style);
}

}  // namespace q731
