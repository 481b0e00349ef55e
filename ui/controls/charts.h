#pragma once
// Controls that draw values:
// - CCircleProgressUI ("CircleProgress"): a progress ring.
// - CRerurIvavudUI ("RerurIvavud"): the audio level view, one bar per sample.
// - CChartViewUI ("ChartView"): a pie or a bar chart of labelled values.

#include <array>
#include <span>
#include <string>
#include <vector>

#include "ui/widgets/buttons.h"
#include "ui/widgets/range.h"

namespace q731 {

class CCircleProgressUI : public CProgressUI {
public:
    // Design pixels between the control's edge and the inner disc.
    static constexpr int kRingWidth = 10;

    std::string_view GetClass() const override { return "CircleProgress"; }
    // "bkcolor" colours the disc, "forecolor" the swept part, "innercolor"
    // (white by default) the inner disc that leaves a ring.
    bool SetAttribute(std::string_view name, std::string_view value) override;
    void PaintBkColor(IRenderer& renderer) override;
    void PaintStatusImage(IRenderer& renderer) override;

    // Degrees swept from twelve o'clock, clockwise: 0 to 360. An empty range
    // (maximum <= minimum) sweeps nothing.
    double SweepDegrees() const;
    void SetInnerColor(UiColor color);

private:
    UiColor innerColor_ = 0xFFFFFFFF;
};

class CRerurIvavudUI : public CLabelUI {
public:
    static constexpr int kSampleCount = 500;
    static constexpr int kFullScale = 8192;

    std::string_view GetClass() const override { return "RerurIvavud"; }
    // "barcolor" (black by default).
    bool SetAttribute(std::string_view name, std::string_view value) override;
    // Bars two device pixels apart from the left edge, as many as fit.
    void PaintStatusImage(IRenderer& renderer) override;

    // The first kSampleCount samples are kept; missing ones read 0. A sample is
    // drawn clamped to 0..kFullScale, so a loud or broken block cannot reach
    // outside the control.
    void SetSamples(std::span<const int> samples);
    std::span<const int> GetSamples() const { return samples_; }

private:
    std::array<int, kSampleCount> samples_{};
    UiColor barColor_ = 0xFF000000;
};

struct ChartItem {
    std::string label;
    double value = 0;
};

class CChartViewUI : public CControlUI {
public:
    enum class ViewKind { Pie, Histogram };

    std::string_view GetClass() const override { return "ChartView"; }
    // "view" ("pie", or "histpgram" / "histogram"), "shadowimage",
    // "shadowimageheight", "pillarimage", "pillarimagewidth", "showhtml",
    // "showtext", and the base's "font" and "textcolor".
    bool SetAttribute(std::string_view name, std::string_view value) override;
    void PaintStatusImage(IRenderer& renderer) override;

    void AddItem(std::string label, double value);
    void ClearItems();
    const std::vector<ChartItem>& GetItems() const { return items_; }
    void SetViewKind(ViewKind kind);
    ViewKind GetViewKind() const { return kind_; }
    void SetShowText(bool on);
    bool IsShowText() const { return showText_; }
    bool IsShowHtml() const { return showHtml_; }
    // Colour of item `index`: a table of 18, repeated.
    static UiColor ItemColor(std::size_t index);

private:
    void PaintPie(IRenderer& renderer, double total);
    void PaintHistogram(IRenderer& renderer, double largest);
    void PaintLabel(IRenderer& renderer, const UiRect& rc, const std::string& text, unsigned style);

    std::vector<ChartItem> items_;
    ViewKind kind_ = ViewKind::Pie;
    std::string shadowImage_;
    int shadowImageHeight_ = 0;
    std::string pillarImage_;
    int pillarImageWidth_ = 0;
    bool showText_ = false;
    bool showHtml_ = false;
};

}  // namespace q731
