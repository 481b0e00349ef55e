#include "ui/controls/headset_panels.h"

#include <fmt/format.h>

#include <algorithm>
#include <memory>

#include "ui/widgets/buttons.h"
#include "ui/widgets/edit.h"
#include "ui/widgets/list.h"
#include "ui/widgets/range.h"

namespace q731 {

namespace {

void SelectOneOf(CContainerUI& panel, std::string_view prefix, int count, int chosen) {
    for (int i = 1; i <= count; ++i) {
        const std::string name = fmt::format("{}{}", prefix, i);
        auto* option = dynamic_cast<COptionUI*>(
            panel.FindControl([&name](CControlUI* control) { return control->GetName() == name; }));
        if (option) option->Selected(i == chosen, false);
    }
}

}  // namespace

void CVoice6533ControlUI::SelectEqualiserOption(int choice) {
    SelectOneOf(*this, "6533_eq_option_", kEqualiserChoices, choice);
}

void CVoice6533ControlUI::SetCustomRowEnabled(bool enabled) {
    if (CControlUI* row = Find<CControlUI>("custom_eq_option_layout")) row->SetEnabled(enabled);
}

void CVoice6533ControlUI::SetBandSlider(int band, int value) {
    if (auto* slider = Find<CSliderUI>(fmt::format("6533_eq_hz_slider_{}", band)))
        slider->SetValue(value);
}

int CVoice6533ControlUI::BandSlider(int band) {
    auto* slider = Find<CSliderUI>(fmt::format("6533_eq_hz_slider_{}", band));
    return slider ? slider->GetValue() : 0;
}

void CVoice6533ControlUI::SetCustomNames(const std::vector<std::string>& names) {
    auto* combo = Find<CComboUI>("custom_eq_name_combo");
    if (!combo) return;
    combo->RemoveAll();
    for (const std::string& name : names) {
        auto entry = std::make_unique<CListLabelElementUI>();
        entry->SetFixedHeight(30);
        entry->SetResourceText(false);
        entry->SetText(name);
        entry->SetUserData(name);
        combo->Add(std::move(entry));
    }
}

void CVoice6533ControlUI::SelectCustomName(int index) {
    if (auto* combo = Find<CComboUI>("custom_eq_name_combo"))
        combo->SelectItem(index, false, false);
}

int CVoice6533ControlUI::SelectedCustomName() {
    auto* combo = Find<CComboUI>("custom_eq_name_combo");
    return combo ? combo->GetCurSel() : -1;
}

void CVoice6533ControlUI::SetNameEditText(const std::string& text) {
    if (CControlUI* edit = Find<CControlUI>("custom_eq_name_edit")) edit->SetText(text);
}

std::string CVoice6533ControlUI::NameEditText() {
    CControlUI* edit = Find<CControlUI>("custom_eq_name_edit");
    return edit ? edit->GetText() : std::string();
}

void CVoice6533ControlUI::SetSwitch(std::string_view name, bool on) {
    if (auto* option = Find<COptionUI>(name)) option->Selected(on, false);
}

void CVoice6533ControlUI::SetLevel(std::string_view name, int level) {
    if (auto* slider = Find<CSliderUI>(name)) slider->SetValue(std::clamp(level, 0, 100));
}

int CVoice6533ControlUI::Level(std::string_view name) {
    auto* slider = Find<CSliderUI>(name);
    return slider ? std::clamp(slider->GetValue(), 0, 100) : 0;
}

void CVoice6533ControlUI::SetMicSwitch(bool on) {
    SetSwitch("6533_MicIn_option", on);
}
void CVoice6533ControlUI::SetMicLevel(int level) {
    SetLevel("6533_MicIn_slider", level);
}
int CVoice6533ControlUI::MicLevel() {
    return Level("6533_MicIn_slider");
}
void CVoice6533ControlUI::SetMonitorSwitch(bool on) {
    SetSwitch("6533_MicMoniter_option", on);
}
void CVoice6533ControlUI::SetMonitorLevel(int level) {
    SetLevel("6533_MicMoniter_slider", level);
}
int CVoice6533ControlUI::MonitorLevel() {
    return Level("6533_MicMoniter_slider");
}

void CMagicControlUI::SetVoiceChangerSwitch(bool on) {
    if (auto* option = dynamic_cast<COptionUI*>(Find("magic_enable_option")))
        option->Selected(on, false);
}

bool CMagicControlUI::VoiceChangerSwitch() {
    auto* option = dynamic_cast<COptionUI*>(Find("magic_enable_option"));
    return option && option->IsSelected();
}

void CMagicControlUI::SelectVoice(int voice) {
    SelectOneOf(*this, "magic_option_", kVoices, voice);
}

void CMagicControlUI::SetVoiceLayoutEnabled(bool enabled) {
    if (CControlUI* layout = Find("magic_option_layout")) layout->SetEnabled(enabled);
}

}  // namespace q731
