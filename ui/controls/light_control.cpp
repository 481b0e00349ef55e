#include "ui/controls/light_control.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace q731 {

namespace {

constexpr Offer Y = Offer::Yes;
constexpr Offer N = Offer::No;
constexpr Offer H = Offer::Hidden;

struct OfferRow {
    // A vector, not an initializer_list: the list's array would not outlive
    // the row's construction.
    std::vector<int> modes;
    OfferedControls offered;
};

OfferedControls Row(Offer wheel, Offer colour, Offer bright, Offer speed,
                    DirectionLabels direction = DirectionLabels::None) {
    OfferedControls offered;
    offered.colourWheel = wheel;
    offered.singleColour = colour;
    offered.brightness = bright;
    offered.speed = speed;
    offered.direction = direction;
    return offered;
}

OfferedControls With(OfferedControls offered, bool OfferedControls::*extra) {
    offered.*extra = true;
    return offered;
}

const std::vector<OfferRow>& KeyboardRows() {
    using D = DirectionLabels;
    static const std::vector<OfferRow> rows = {
        {{1, 2}, Row(Y, Y, Y, Y, D::Horizontal)},
        {{3, 24}, Row(Y, Y, Y, Y, D::Rotation)},
        {{29}, Row(Y, Y, Y, Y, D::Vertical)},
        {{4}, With(Row(N, N, Y, Y), &OfferedControls::sameMode)},
        {{5, 23}, With(Row(Y, Y, Y, Y), &OfferedControls::sameMode)},
        {{6}, With(Row(Y, Y, Y, N), &OfferedControls::sameMode)},
        {{7, 8, 9, 10, 13, 14, 15, 22, 25}, Row(Y, Y, Y, Y)},
        {{16}, Row(Y, Y, Y, N)},
        {{11, 26}, Row(N, N, Y, Y)},
        {{12}, Row(N, N, Y, Y, D::Vertical)},
        {{17}, With(Row(N, N, Y, H), &OfferedControls::subModes)},
        {{18}, Row(N, N, Y, N, D::Radial)},
        {{20}, With(Row(N, Y, Y, H), &OfferedControls::customColours)},
        {{21}, With(Row(Y, Y, Y, H), &OfferedControls::music)},
        {{27}, Row(N, N, Y, Y)},
        {{28}, With(Row(N, N, N, N), &OfferedControls::sameMode)},
        {{31}, Row(N, N, Y, N)},
    };
    return rows;
}

const std::vector<OfferRow>& MouseRows() {
    using D = DirectionLabels;
    static const std::vector<OfferRow> rows = {
        {{0, 5, 9}, Row(Y, Y, Y, Y, D::Rising)},
        {{1}, With(Row(N, N, Y, Y), &OfferedControls::sameMode)},
        {{2, 4, 6}, With(Row(Y, Y, Y, Y), &OfferedControls::sameMode)},
        {{3}, With(Row(N, Y, Y, N), &OfferedControls::sameMode)},
        {{7, 8}, Row(N, N, Y, Y)},
        {{10}, With(Row(N, N, N, N), &OfferedControls::sameMode)},
        {{11}, With(Row(Y, Y, Y, H, D::Rising), &OfferedControls::music)},
    };
    return rows;
}

const std::vector<OfferRow>& PadRows() {
    static const std::vector<OfferRow> rows = {
        {{0, 2, 4}, Row(Y, Y, Y, Y)},
        {{1}, Row(N, N, Y, Y)},
        {{3}, Row(N, Y, Y, N)},
        {{8}, With(Row(N, N, N, N), &OfferedControls::sameMode)},
    };
    return rows;
}

std::string ToDecimal(int value) {
    return std::to_string(value);
}

}  // namespace

OfferedControls OfferedFor(LightPanelKind kind, int mode) {
    const std::vector<OfferRow>* rows = nullptr;
    switch (kind) {
        case LightPanelKind::Keyboard:
            rows = &KeyboardRows();
            break;
        case LightPanelKind::Mouse:
            rows = &MouseRows();
            break;
        case LightPanelKind::MousePad:
            rows = &PadRows();
            break;
        case LightPanelKind::Other:
            return {};
    }
    for (const OfferRow& row : *rows) {
        if (std::find(row.modes.begin(), row.modes.end(), mode) != row.modes.end()) {
            return row.offered;
        }
    }
    return {};  // a mode with nothing to set
}

std::array<std::string_view, 2> DirectionTexts(DirectionLabels labels) {
    switch (labels) {
        case DirectionLabels::Horizontal:
            return {"light_set_right_to_left_text", "light_set_left_to_right_text"};
        case DirectionLabels::Rotation:
            return {"light_set_clockwise_text", "light_set_anticlockwise_text"};
        case DirectionLabels::Vertical:
            return {"light_set_up_to_down_text", "light_set_down_to_up_text"};
        case DirectionLabels::Rising:
            return {"light_set_down_to_up_text", "light_set_up_to_down_text"};
        case DirectionLabels::Radial:
            return {"light_set_inside_to_outside_text", "light_set_outside_to_inside_text"};
        case DirectionLabels::None:
            break;
    }
    return {"", ""};
}

CControlUI* CLightControlUI::FindSubControl(std::string_view name) {
    return FindControl([name](CControlUI* control) { return control->GetName() == name; });
}

CControlUI* CLightControlUI::ColourBox(int component) {
    static constexpr std::string_view kNames[] = {"deng_edit_R", "deng_edit_G", "deng_edit_B"};
    if (component < 0 || component > 2) return nullptr;
    return FindSubControl(kNames[component]);
}

UiColor CLightControlUI::PaletteColour() {
    CColorPaletteUI* palette = Palette();
    return palette ? palette->GetSelectColor() : 0xFF000000u;
}

UiColor CLightControlUI::SwatchColour(int swatch) {
    if (swatch < 0) return 0;
    CControlUI* control = FindSubControl("color_option_" + ToDecimal(swatch));
    return control ? control->GetBkColor() : 0;
}

void CLightControlUI::FillModes(const NameLists& definitions) {
    if (CComboUI* modes = ModeList()) {
        modes->RemoveAll();
        for (std::size_t i = 0; i < definitions.effectNames.size(); ++i) {
            auto entry = std::make_unique<CListLabelElementUI>();
            entry->SetFixedHeight(30);
            entry->SetText(definitions.effectNames[i]);
            entry->SetResourceText(true);
            entry->SetUserData(definitions.effectNames[i]);
            const bool visible =
                i < definitions.effectVisible.size() ? definitions.effectVisible[i] : true;
            entry->SetVisible(visible);
            modes->Add(std::move(entry));
        }
    }
    for (CSliderUI* slider : {BrightnessSlider(), SpeedSlider()}) {
        if (slider) slider->SetMaxValue(kLevels);
    }
}

void CLightControlUI::ShowColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                                 bool palette) {
    const UiColor colour =
        0xFF000000u | std::uint32_t{red} << 16 | std::uint32_t{green} << 8 | std::uint32_t{blue};
    const std::uint8_t components[] = {red, green, blue};
    for (int i = 0; i < 3; ++i) {
        if (CControlUI* box = ColourBox(i)) box->SetText(ToDecimal(components[i]));
    }
    if (palette) {
        if (CColorPaletteUI* picker = Palette()) picker->SetSelectColor(colour);
    }
    if (CControlUI* preview = Preview()) preview->SetBkColor(colour);
}

void CLightControlUI::ShowLight(const LightSetting& light) {
    if (CComboUI* modes = ModeList()) {
        if (light.selectItem < modes->GetCount()) modes->SelectItem(light.selectItem, false, false);
    }
    if (CSliderUI* slider = BrightnessSlider()) slider->SetValue(light.brightness);
    if (CSliderUI* slider = SpeedSlider()) slider->SetValue(light.speed);
    const bool first = light.direction == 1;
    if (COptionUI* option = DirectionFirst()) option->Selected(first, false);
    if (COptionUI* option = DirectionSecond()) option->Selected(!first, false);
    if (COptionUI* wheel = ColourWheelCheck()) wheel->Selected(light.multiColor != 0, false);
    ShowColour(light.red, light.green, light.blue, true);
    if (CComboUI* zones = SubModeList()) {
        if (light.zzccMode < zones->GetCount()) zones->SelectItem(light.zzccMode, false, false);
    }
    OfferControls(light.selectItem);
}

void CLightControlUI::SetOffered(std::string_view name, Offer offer) {
    CControlUI* control = FindSubControl(name);
    if (!control) return;
    control->SetVisible(offer != Offer::Hidden);
    control->SetEnabled(offer == Offer::Yes);
}

void CLightControlUI::OfferControls(int mode) {
    const OfferedControls offered = OfferedFor(kind_, mode);
    // Each group is a row of the layout when it has one, else its controls.
    SetOffered("light_colorwheel_layout", offered.colourWheel);
    SetOffered("deng_7color_check", offered.colourWheel);
    SetOffered("light_color_layout", offered.singleColour);
    SetOffered("deng_Color_Pallet", offered.singleColour);
    for (std::string_view name : {"deng_edit_R", "deng_edit_G", "deng_edit_B"})
        SetOffered(name, offered.singleColour);
    SetOffered("light_brightness_layout", offered.brightness);
    SetOffered("deng_light_slider", offered.brightness);
    SetOffered("light_speed_layout", offered.speed);
    SetOffered("deng_speed_slider", offered.speed);
    const bool direction = offered.direction != DirectionLabels::None;
    SetOffered("light_direction_layout", direction ? Offer::Yes : Offer::No);
    const auto texts = DirectionTexts(offered.direction);
    COptionUI* options[] = {DirectionFirst(), DirectionSecond()};
    for (int i = 0; i < 2; ++i) {
        if (!options[i]) continue;
        options[i]->SetEnabled(direction);
        if (direction) {
            options[i]->SetText(std::string(texts[static_cast<std::size_t>(i)]));
            options[i]->SetResourceText(true);
        }
    }
    const bool keyboard = kind_ == LightPanelKind::Keyboard;
    auto shown = [](bool on) { return on ? Offer::Yes : Offer::Hidden; };
    SetOffered("deng_same_mode", shown(offered.sameMode));
    SetOffered("light_submode_layout", shown(keyboard && offered.subModes));
    SetOffered("light_combo_ZZCCmodeSelect", shown(keyboard && offered.subModes));
    SetOffered("light_custom_layout", shown(keyboard && offered.customColours));
    for (std::string_view name :
         {"light_combo_custommodeSelect", "custom_bright_color_btn", "custom_off_color_btn"})
        SetOffered(name, shown(keyboard && offered.customColours));
    SetOffered("light_audio_card", shown(offered.music));
}

}  // namespace q731
