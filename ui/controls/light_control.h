#pragma once
// CLightControlUI: the lighting panel of a device page. It finds its controls
// once, fills the mode list from the device's mode definitions, shows a
// LightSetting, and offers for each mode only the controls that mode uses.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "profiles/name_lists.h"
#include "profiles/profile_records.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/color_palette.h"
#include "ui/widgets/container.h"
#include "ui/widgets/edit.h"
#include "ui/widgets/list.h"
#include "ui/widgets/range.h"

namespace q731 {

// Whose lighting the panel shows: the offered controls differ per kind.
enum class LightPanelKind { Keyboard, Mouse, MousePad, Other };

// How a control is offered in a mode: shown and usable, shown but disabled,
// or not shown at all.
enum class Offer : std::uint8_t { No, Yes, Hidden };

// The two direction options' texts (language text ids), by direction pair.
enum class DirectionLabels : std::uint8_t {
    None,
    Horizontal,  // right to left / left to right
    Rotation,    // clockwise / anticlockwise
    Vertical,    // up to down / down to up
    Rising,      // down to up / up to down
    Radial,      // inside to outside / outside to inside
};

struct OfferedControls {
    Offer colourWheel = Offer::No;
    Offer singleColour = Offer::No;
    Offer brightness = Offer::No;
    Offer speed = Offer::No;
    DirectionLabels direction = DirectionLabels::None;
    bool sameMode = false;       // "deng_same_mode"
    bool subModes = false;       // the zone sub-mode list
    bool customColours = false;  // custom groups and the two fill buttons
    bool music = false;          // music mode list and music colours
};

// What the lighting page offers for `mode` on a device of `kind`.
OfferedControls OfferedFor(LightPanelKind kind, int mode);

// The language text ids of the two direction options (first: "deng_FXL_check",
// direction 1; second: "deng_FXR_check", direction 0).
std::array<std::string_view, 2> DirectionTexts(DirectionLabels labels);

class CLightControlUI : public CVerticalLayoutUI {
public:
    static constexpr int kLevels = 4;  // brightness and speed: 0-4

    std::string_view GetClass() const override { return "LightControl"; }

    void SetKind(LightPanelKind kind) { kind_ = kind; }
    LightPanelKind Kind() const { return kind_; }

    // One entry per mode definition, in order: 30 pixels high, its name as a
    // language text id (and as user data), shown only when the mode is visible.
    // The brightness and speed sliders get the maximum 4.
    void FillModes(const NameLists& definitions);
    // Shows `light` (mode, levels, direction, colour wheel, colour, zone
    // sub-mode) and then offers the controls of its mode. Sends nothing.
    void ShowLight(const LightSetting& light);
    // Shows or disables the controls by what `mode` uses.
    void OfferControls(int mode);
    // The colour every colour control shows, 0xFF alpha added.
    void ShowColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue, bool palette);

    // The controls, found by name under the panel (null when the layout lacks one).
    CComboUI* ModeList() { return Find<CComboUI>("light_combo_modeSelect"); }
    CComboUI* CustomGroupList() { return Find<CComboUI>("light_combo_custommodeSelect"); }
    CComboUI* SubModeList() { return Find<CComboUI>("light_combo_ZZCCmodeSelect"); }
    CSliderUI* BrightnessSlider() { return Find<CSliderUI>("deng_light_slider"); }
    CSliderUI* SpeedSlider() { return Find<CSliderUI>("deng_speed_slider"); }
    COptionUI* DirectionFirst() { return Find<COptionUI>("deng_FXL_check"); }
    COptionUI* DirectionSecond() { return Find<COptionUI>("deng_FXR_check"); }
    COptionUI* ColourWheelCheck() { return Find<COptionUI>("deng_7color_check"); }
    CColorPaletteUI* Palette() { return Find<CColorPaletteUI>("deng_Color_Pallet"); }
    CControlUI* Preview() { return Find<CControlUI>("deng_colordp_btn"); }
    CControlUI* ColourBox(int component);  // 0 red, 1 green, 2 blue
    // The palette's colour; 0xFF000000 without a palette.
    UiColor PaletteColour();
    // Swatch N's background colour; 0 when there is no such swatch.
    UiColor SwatchColour(int swatch);

private:
    template <typename T>
    T* Find(std::string_view name) {
        return dynamic_cast<T*>(FindSubControl(name));
    }
    CControlUI* FindSubControl(std::string_view name);
    void SetOffered(std::string_view name, Offer offer);

    LightPanelKind kind_ = LightPanelKind::Other;
};

}  // namespace q731
