#pragma once
// Value controls: CProgressUI shows a value between a minimum and a maximum;
// CSliderUI lets the user drag it. A slider sends "movevaluechanged" while it
// is dragged and "valuechanged" once on release, on each wheel notch and on
// arrow keys. Values set by code send nothing.

#include "ui/widgets/control.h"

namespace q731 {

class CProgressUI : public CControlUI {
public:
    std::string_view GetClass() const override { return "ProgressUI"; }
    bool SetAttribute(std::string_view name, std::string_view value) override;
    void PaintStatusImage(IRenderer& renderer) override;
    void PaintText(IRenderer& renderer) override;

    int GetMinValue() const { return min_; }
    int GetMaxValue() const { return max_; }
    int GetValue() const { return value_; }
    // The range is kept ordered (a maximum below the minimum becomes the minimum)
    // and the value inside it.
    void SetMinValue(int min);
    void SetMaxValue(int max);
    virtual void SetValue(int value);
    bool IsHorizontal() const { return horizontal_; }
    void SetHorizontal(bool on);
    void SetForeColor(UiColor color);
    // Fraction of the range the value covers, 0 when the range is empty.
    double Fraction() const;

protected:
    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    bool horizontal_ = true;
    UiColor foreColor_ = 0;
};

class CSliderUI : public CProgressUI {
public:
    std::string_view GetClass() const override { return "SliderUI"; }
    bool WantsFocus() const override { return true; }
    bool SetAttribute(std::string_view name, std::string_view value) override;
    void DoEvent(TEventUI& event) override;
    void PaintStatusImage(IRenderer& renderer) override;

    int GetChangeStep() const { return step_; }
    void SetChangeStep(int step);
    void SetThumbSize(UiSize designSize);
    void SetThumbImage(std::string image);
    void SetThumbHotImage(std::string image);
    void SetThumbPushedImage(std::string image);
    const std::string& GetThumbImage() const { return thumbImage_; }
    void SetCanSendMove(bool on) { sendMove_ = on; }
    bool IsDragging() const { return dragging_; }
    // Thumb rectangle in device pixels.
    UiRect GetThumbRect() const;

private:
    int ValueAt(UiPoint point) const;
    void Step(int steps);

    int step_ = 1;
    UiSize thumbSize_{10, 10};
    std::string thumbImage_;
    std::string thumbHotImage_;
    std::string thumbPushedImage_;
    UiColor thumbColor_ = 0;
    bool sendMove_ = true;
    bool dragging_ = false;
    int lastMoveValue_ = 0;
};

}  // namespace q731
