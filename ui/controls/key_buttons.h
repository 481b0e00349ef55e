#pragma once
// The buttons of a device picture and of the macro panel:
// - CDeviceKeyButtonUI ("DeviceKeyButton"): one key or LED of the picture. It
//   shows the LED's colour over the key while its light is on, and the key-set
//   mark while the key carries an assignment.
// - CSelectPanelUI ("SelectPanel"): the picture's background. Dragging over it
//   selects every key button the dragged rectangle touches.
// - CRedioMacroButtonUI ("RedioMacroButton"): the record button, which pulses
//   while a macro is being recorded.

#include <cstdint>
#include <string>

#include "ui/widgets/buttons.h"
#include "ui/widgets/container.h"

namespace q731 {

class CDeviceKeyButtonUI : public CButtonUI {
public:
    static constexpr std::uint32_t kDefaultLightColor = 0x0000FF;
    static constexpr int kDefaultLightBrightness = 200;

    std::string_view GetClass() const override { return "DeviceKeyButton"; }
    // "lightimage", "keysetimage", and for layouts that show a fixed state:
    // "light", "lightcolor", "lightbrightness", "keysethidden", "selected",
    // "selectedbordercolor".
    bool SetAttribute(std::string_view name, std::string_view value) override;
    // A double click inside the enabled button also sends "dbclick".
    void DoEvent(TEventUI& event) override;
    void PaintStatusImage(IRenderer& renderer) override;
    void PaintBorder(IRenderer& renderer) override;

    void SetLight(bool on);
    bool IsLight() const { return light_; }
    // 0xRRGGBB; the top byte is ignored.
    void SetLightColor(std::uint32_t rgb);
    std::uint32_t GetLightColor() const { return lightColor_; }
    // 0 (dark) to 255 (full); values outside are clamped.
    void SetLightBrightness(int brightness);
    int GetLightBrightness() const { return lightBrightness_; }
    // The colour the light is drawn in: the light colour scaled by the
    // brightness, opaque.
    UiColor GetLitColor() const;

    void SetKeySetHidden(bool hidden);
    bool IsKeySetHidden() const { return keySetHidden_; }
    // Set by the select panel; a selected key is framed.
    void SetSelected(bool selected);
    bool IsSelected() const { return selected_; }

    void SetLightImage(std::string image);
    const std::string& GetLightImage() const { return lightImage_; }
    void SetKeySetImage(std::string image);
    const std::string& GetKeySetImage() const { return keySetImage_; }

private:
    std::string lightImage_;
    std::string keySetImage_;
    bool light_ = false;
    bool keySetHidden_ = true;
    bool selected_ = false;
    std::uint32_t lightColor_ = kDefaultLightColor;
    int lightBrightness_ = kDefaultLightBrightness;
    UiColor selectedBorderColor_ = 0xFF2F8CFF;
};

class CSelectPanelUI : public CVerticalLayoutUI {
public:
    std::string_view GetClass() const override { return "SelectPanel"; }
    // Press, drag and release select the key buttons among the panel's own
    // children and send "click_select_end". No rubber band is drawn.
    void DoEvent(TEventUI& event) override;

    bool IsPressed() const { return pressed_; }
    bool IsDragging() const { return dragging_; }
    // Spanned by the press point and the pointer, left <= right and top <= bottom.
    const UiRect& GetSelectRect() const { return selection_; }

private:
    void FinishDrag();

    bool pressed_ = false;
    bool dragging_ = false;
    UiPoint pressPoint_;
    UiPoint currentPoint_;
    UiRect selection_;
};

class CRedioMacroButtonUI : public CButtonUI {
public:
    static constexpr int kBlinkTimerId = 100;
    static constexpr int kBlinkIntervalMs = 50;
    static constexpr int kFadeStep = 20;
    static constexpr int kFadeLow = 80;
    static constexpr int kFadeHigh = 255;

    std::string_view GetClass() const override { return "RedioMacroButton"; }
    // "redioimage": the record image, a file name.
    bool SetAttribute(std::string_view name, std::string_view value) override;
    void DoInit() override;
    void DoEvent(TEventUI& event) override;

    // While blinking, the button shows the record image fading between 255 and
    // 80 in steps of 20 every 50 ms. Stopping kills the timer and brings back
    // the image the button had before.
    void SetBlinking(bool on);
    bool IsBlinking() const { return blinking_; }
    void SetRecordImage(std::string image);
    const std::string& GetRecordImage() const { return recordImage_; }
    int GetFade() const { return fade_; }
    bool IsFadingDown() const { return fadingDown_; }

private:
    void Tick();

    std::string recordImage_;
    std::string restingImage_;
    int fade_ = kFadeHigh;
    bool fadingDown_ = true;
    bool blinking_ = false;
};

}  // namespace q731
