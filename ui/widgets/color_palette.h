#pragma once
// CColorPaletteUI: a continuous colour picker. The upper field chooses
// saturation (across) and brightness (down) of one hue; the strip below
// chooses the hue. Dragging in either sends "colorchanged" (wParam the new
// 0xAARRGGBB colour) whenever the colour changes; SetSelectColor sends nothing.

#include "ui/widgets/control.h"

namespace q731 {

class CColorPaletteUI : public CControlUI {
public:
    std::string_view GetClass() const override { return "ColorPaletteUI"; }
    bool SetAttribute(std::string_view name, std::string_view value) override;
    void DoEvent(TEventUI& event) override;
    void PaintStatusImage(IRenderer& renderer) override;

    UiColor GetSelectColor() const;
    void SetSelectColor(UiColor color);
    // Strip height (design pixels) below the field.
    void SetBarHeight(int height);
    UiRect FieldRect() const;
    UiRect StripRect() const;

    // Conversions used by the picker (hue 0..359, saturation and value 0..255).
    static UiColor HsvToColor(int hue, int saturation, int value);
    static void ColorToHsv(UiColor color, int& hue, int& saturation, int& value);

private:
    void PickAt(UiPoint point);

    int hue_ = 0;
    int saturation_ = 255;
    int value_ = 255;
    int barHeight_ = 16;
    int gap_ = 6;
    enum class Drag { None, Field, Strip } drag_ = Drag::None;
};

}  // namespace q731
