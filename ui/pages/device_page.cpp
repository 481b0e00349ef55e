#include "ui/pages/device_page.h"

#include <fmt/format.h>

#include <algorithm>

#include "devices/dpi_steps.h"
#include "devices/keyboard_device.h"
#include "devices/keys/key_list.h"
#include "devices/mouse_pad_device.h"
#include "platform/log.h"
#include "platform/products.h"
#include "ui/controls/custom_controls.h"
#include "ui/controls/device_profile.h"
#include "ui/controls/key_set_control.h"
#include "ui/controls/light_control.h"
#include "ui/widgets/list.h"
#include "ui/widgets/numbered_name.h"
#include "ui/widgets/range.h"
#include "ui/widgets/resource_manager.h"
#include "ui/widgets/window.h"

namespace q731 {

namespace {

// Which outer and inner page a function page shows; -1 leaves one as it is.
struct FunctionPages {
    int outer;
    int inner;
};

FunctionPages PagesFor(int page, bool mouseOrKeyboard) {
    switch (page) {
        case 2:
        case 6:
            return {0, 1};
        case 3:
        case 8:
            return {1, -1};
        case 4:
            return mouseOrKeyboard ? FunctionPages{3, -1} : FunctionPages{0, 2};
        case 7:
            return {0, 2};
        case 5:
            return {2, -1};
        default:
            return {0, 0};
    }
}

// The number a colour box holds, clamped to a colour component; text that
// is no number reads as 0.
int ColourComponentOf(std::string_view text) {
    const long long value = ParseDecimal(text);
    return static_cast<int>(std::clamp<long long>(value, 0, 255));
}

}  // namespace

CDevicePage::CDevicePage(PageContext context) : context_(std::move(context)) {}

CDevicePage::~CDevicePage() = default;

CControlUI* CDevicePage::FindIn(CControlUI* parent, std::string_view name) {
    if (!parent) return nullptr;
    return parent->FindControl([name](CControlUI* control) { return control->GetName() == name; });
}

std::string CDevicePage::Text(std::string_view key) {
    if (CControlUI* probe = Find("text_test")) {
        probe->SetResourceText(true);
        probe->SetText(std::string(key));
        return probe->GetText();
    }
    return CResourceManager::GetInstance().GetText(key).value_or(std::string(key));
}

CKeyTableDevice* CDevicePage::KeyDevice() const {
    return dynamic_cast<CKeyTableDevice*>(context_.device);
}

bool CDevicePage::IsKeyboard() const {
    return context_.device->GetProduct() == Product::Keyboard;
}

bool CDevicePage::IsMouse() const {
    return context_.device->GetProduct() == Product::Mouse;
}

CDeviceKeyButtonUI* CDevicePage::KeyButton(int key) const {
    return key >= 0 && key < static_cast<int>(keyButtons_.size())
               ? keyButtons_[static_cast<std::size_t>(key)]
               : nullptr;
}

CDeviceKeyButtonUI* CDevicePage::LedButton(int led) const {
    return led >= 0 && led < static_cast<int>(ledButtons_.size())
               ? ledButtons_[static_cast<std::size_t>(led)]
               : nullptr;
}

void CDevicePage::BuildPage() {
    CVexloUSBDevice& device = *context_.device;
    // Option groups are kept per window, and every device page carries the
    // same layouts: each page's groups get a name of their own, so choosing an
    // option on one page leaves the others' alone.
    const std::string suffix = "@" + std::string(RecordOf(device.GetProduct()).name);
    context_.root->FindControl([&suffix](CControlUI* control) {
        auto* option = dynamic_cast<COptionUI*>(control);
        if (option && !option->GetGroup().empty() && !option->GetGroup().ends_with(suffix)) {
            option->SetGroup(option->GetGroup() + suffix);
        }
        return false;
    });
    keyButtons_.clear();
    ledButtons_.clear();
    picture_ = nullptr;
    BindProfilePanel();
    if (device.PageLayout().empty()) {
        // No page: the device has no keys and no LEDs to bind.
        device.SetKeyCount(0);
        device.SetLedCount(0);
        return;
    }
    keyButtons_.assign(static_cast<std::size_t>(device.KeyCount()), nullptr);
    ledButtons_.assign(static_cast<std::size_t>(device.LedCount()), nullptr);
    BindPicture();
    if (picture_) BindPanels();
    AfterBinding();
}

void CDevicePage::BindPicture() {}

void CDevicePage::BindButton(CDeviceKeyButtonUI& button, CSelectPanelUI*) {
    auto light = [this, &button](int led) {
        if (led < 0 || led >= static_cast<int>(ledButtons_.size())) return;
        ledButtons_[static_cast<std::size_t>(led)] = &button;
        button.SetLight(true);
        button.SetLightColor(0xFFFFFF);
        button.SetLightBrightness(255);
    };
    if (const auto named = SplitNumberedName(button.GetName())) {
        if (named->prefix == "key_" && named->number < static_cast<int>(keyButtons_.size())) {
            keyButtons_[static_cast<std::size_t>(named->number)] = &button;
        } else if (named->prefix == "light_") {
            light(named->number);
        }
    }
    if (const auto data = SplitNumberedName(button.GetUserData())) {
        if (data->prefix == "light_") light(data->number);
    }
}

void CDevicePage::BindPanels() {
    CVexloUSBDevice& device = *context_.device;
    lightPanel_ = Find<CLightControlUI>("LightControlItem");
    if (!lightPanel_) {
        lightPanel_ = dynamic_cast<CLightControlUI*>(context_.root->FindControl(
            [](CControlUI* c) { return c->GetClass() == "LightControl"; }));
    }
    if (lightPanel_) {
        lightPanel_->SetKind(IsKeyboard()                               ? LightPanelKind::Keyboard
                             : IsMouse()                                ? LightPanelKind::Mouse
                             : device.GetProduct() == Product::MousePad ? LightPanelKind::MousePad
                                                                        : LightPanelKind::Other);
        device.LoadDefinitions();
        lightPanel_->FillModes(device.Definitions());
    }
    keyPanel_ = Find<CKeySetControlUI>("KeySetControlItem");
    if (!keyPanel_) {
        keyPanel_ = dynamic_cast<CKeySetControlUI*>(context_.root->FindControl(
            [](CControlUI* c) { return c->GetClass() == "KeySetControl"; }));
    }
    if (keyPanel_ && (IsKeyboard() || IsMouse())) {
        keyPanel_->SetKeyboard(IsKeyboard());
        keyPanel_->SetVisible(false);
        keyPanel_->SetMacroNames(device.Definitions().macroNames);
    }
}

void CDevicePage::BindLedButtons(std::string_view container) {
    CControlUI* picture = Find(container);
    if (!picture) return;
    picture_ = picture;
    picture->FindControl([this](CControlUI* control) {
        if (auto* button = dynamic_cast<CDeviceKeyButtonUI*>(control)) BindButton(*button, nullptr);
        return false;
    });
}

void CDevicePage::ShowFunctionPageImpl(int page) {
    auto* outer = Find<CTabLayoutUI>("device_function_switch");
    auto* inner = Find<CTabLayoutUI>("device_key_function_switch");
    if (!outer || !inner) return;
    const FunctionPages pages = PagesFor(page, IsKeyboard() || IsMouse());
    if (pages.outer >= 0) outer->SelectItem(pages.outer);
    if (pages.inner >= 0) inner->SelectItem(pages.inner);
}

void CDevicePage::ShowSelectedKeyImpl(int key) {
    if (!keyPanel_) return;
    keyPanel_->SetVisible(true);
    CKeyTableDevice* device = KeyDevice();
    if (!device) return;
    const std::vector<KeyEntry> keys = device->ProfileData().GetKeyList();
    if (key < 0 || key >= static_cast<int>(keys.size())) return;
    const KeyEntry& entry = keys[static_cast<std::size_t>(key)];
    const ShownCode shown = ShowCode(AssignmentCode::FromInt(entry.current.Code()),
                                     AssignmentCode::FromInt(entry.factory.Code()));
    keyPanel_->ShowSelection(shown.selection);
    keyPanel_->EnableApplyButtons(false);
}

void CDevicePage::ShowPowerImpl(std::span<const std::uint8_t> block) {
    if (context_.powerPanel) context_.powerPanel->ShowPower(block);
}

void CDevicePage::RefreshLighting() {
    if (!lightPanel_) return;
    lightPanel_->FillModes(context_.device->Definitions());
    lightPanel_->ShowLight(context_.device->GetLightInfo());
}

std::optional<std::string> CDevicePage::CaptionOf(const AssignmentCode& code) {
    const KeyCaption caption = CaptionFor(code, context_.device->Definitions().macroNames);
    switch (caption.kind) {
        case KeyCaption::Kind::Keep:
        case KeyCaption::Kind::None:
            return std::nullopt;
        case KeyCaption::Kind::FixedText:
        case KeyCaption::Kind::MacroName:
            return caption.text;
        case KeyCaption::Kind::LanguageKeys: {
            std::string text;
            for (std::string_view key : caption.keys) {
                if (!text.empty()) text += "+";
                text += Text(key);
            }
            return text;
        }
    }
    return std::nullopt;
}

void CDevicePage::RefreshKeyFunctions() {
    CKeyTableDevice* device = KeyDevice();
    if (!device) return;
    BeginKeyFunctions();
    const std::vector<KeyEntry> keys = device->ProfileData().GetKeyList();
    const int count = std::min(device->KeyCount(), static_cast<int>(keys.size()));
    for (int key = 0; key < count; ++key) {
        const auto caption =
            CaptionOf(AssignmentCode::FromInt(keys[static_cast<std::size_t>(key)].current.Code()));
        if (caption) ShowKeyFunction(key, *caption);
    }
    EndKeyFunctions();
}

void CDevicePage::ShowPicture(std::span<const LedColour> leds) {
    if (!context_.device->HostLighting()) return;
    for (std::size_t i = 0; i < ledButtons_.size() && i < leds.size(); ++i) {
        CDeviceKeyButtonUI* button = ledButtons_[i];
        if (!button || !button->IsVisible()) continue;
        button->SetLight(true);
        button->SetLightColor(std::uint32_t{leds[i].red} << 16 | std::uint32_t{leds[i].green} << 8 |
                              leds[i].blue);
        button->SetLightBrightness(leds[i].brightness);
    }
}

void CDevicePage::SelectOnly(std::string_view prefix, int count, int chosen) {
    for (int i = 0; i < count; ++i) {
        if (auto* option = Find<COptionUI>(fmt::format("{}{}", prefix, i))) {
            option->Selected(i == chosen, false);
        }
    }
}

void CDevicePage::ClearSync() {
    if (context_.clearSync) context_.clearSync();
}

void CDevicePage::Apply(const LightSetting& light) {
    CVexloUSBDevice& device = *context_.device;
    device.SetLightInfo(light);
    if (!device.SaveProfile()) LogWarning("lighting: the profile was not saved");
    device.ApplyProfile();
    // A device that does not answer keeps the change in its profile and gets
    // it with the next write.
    (void)device.WriteSettings();
}

void CDevicePage::ApplyLighting(const LightSetting& light) {
    Apply(light);
    RefreshLighting();
}

// The lighting page: each control changes one field of the device's lighting
// record, which is then saved and sent.
bool CDevicePage::OnLighting(const PageEvent& event) {
    CLightControlUI* panel = lightPanel_;
    if (!panel) return false;
    CVexloUSBDevice& device = *context_.device;
    LightSetting light = device.GetLightInfo();
    const std::string& name = event.name;
    auto comboIndex = [&event]() -> int {
        auto* combo = dynamic_cast<CComboUI*>(event.sender);
        return combo ? combo->GetCurSel() : -1;
    };
    if (name == "light_combo_modeSelect" && event.kind == PageNotify::ItemSelect) {
        CComboUI* modes = panel->ModeList();
        const int mode = comboIndex();
        // Only an entry of the list is a mode; -1 or anything past it is not.
        if (!modes || mode < 0 || mode >= modes->GetCount() || mode > 255) return true;
        ClearSync();
        modes->SelectItem(mode, false, false);
        light.selectItem = static_cast<std::uint8_t>(mode);
        Apply(light);
        panel->OfferControls(mode);
        return true;
    }
    if ((name == "deng_light_slider" || name == "deng_speed_slider") &&
        event.kind == PageNotify::ValueChanged) {
        auto* slider = dynamic_cast<CSliderUI*>(event.sender);
        if (!slider) return true;
        const int value = std::clamp(slider->GetValue(), 0, CLightControlUI::kLevels);
        ClearSync();
        slider->SetValue(value);
        (name == "deng_light_slider" ? light.brightness : light.speed) =
            static_cast<std::uint8_t>(value);
        Apply(light);
        return true;
    }
    if ((name == "deng_FXL_check" || name == "deng_FXR_check") &&
        event.kind == PageNotify::SelectChanged) {
        const bool first = name == "deng_FXL_check";
        ClearSync();
        if (COptionUI* option = panel->DirectionFirst()) option->Selected(first, false);
        if (COptionUI* option = panel->DirectionSecond()) option->Selected(!first, false);
        light.direction = first ? 1 : 0;
        Apply(light);
        return true;
    }
    if (name == "deng_7color_check" && event.kind == PageNotify::SelectChanged) {
        auto* check = dynamic_cast<COptionUI*>(event.sender);
        if (!check) return true;
        const bool on = check->IsSelected();
        ClearSync();
        check->Selected(on, false);
        light.multiColor = on ? 1 : 0;
        Apply(light);
        return true;
    }
    if (name == "deng_Color_Pallet" && event.kind == PageNotify::ColorChanged) {
        return OnColourChosen(panel->PaletteColour(), true);
    }
    if (name == "color_option_" && event.kind == PageNotify::Click) {
        return OnColourChosen(panel->SwatchColour(event.number), false);
    }
    if ((name == "deng_edit_R" || name == "deng_edit_G" || name == "deng_edit_B") &&
        event.kind == PageNotify::KillFocus && event.sender) {
        const int component = name == "deng_edit_R" ? 0 : name == "deng_edit_G" ? 1 : 2;
        return OnColourBox(component, *event.sender);
    }
    if (!IsKeyboard()) return name.starts_with("light_combo_") || name.starts_with("custom_");
    auto* keyboard = static_cast<CVexloKeyboardDevice*>(context_.device);
    if (name == "light_combo_ZZCCmodeSelect" && event.kind == PageNotify::ItemSelect) {
        CComboUI* zones = panel->SubModeList();
        const int zone = comboIndex();
        if (!zones || zone < 0 || zone >= zones->GetCount() || zone > 255) return true;
        zones->SelectItem(zone, false, false);
        light.zzccMode = static_cast<std::uint8_t>(zone);
        Apply(light);
        return true;
    }
    if (name == "light_combo_custommodeSelect" && event.kind == PageNotify::ItemSelect) {
        const int group = comboIndex();
        if (group < 0) return true;
        if (!keyboard->SelectCustomGroup(group)) return true;
        if (!keyboard->SaveProfile()) LogWarning("lighting: the profile was not saved");
        if (keyboard->LoadCustomGroup() != LinkResult::Ok)
            LogWarning("lighting: the custom colours did not reach the keyboard");
        return true;
    }
    if (name == "custom_bright_color_btn" || name == "custom_off_color_btn") {
        if (keyboard->FillAllKeys(name == "custom_bright_color_btn") != LinkResult::Ok)
            LogWarning("lighting: the filled colours did not reach the keyboard");
        return true;
    }
    return false;
}

bool CDevicePage::OnColourChosen(UiColor colour, bool fromPalette) {
    CLightControlUI& panel = *lightPanel_;
    CVexloUSBDevice& device = *context_.device;
    LightSetting light = device.GetLightInfo();
    light.red = static_cast<std::uint8_t>(colour >> 16);
    light.green = static_cast<std::uint8_t>(colour >> 8);
    light.blue = static_cast<std::uint8_t>(colour);
    light.multiColor = 0;
    // A swatch keeps synchronised lighting going; the palette ends it.
    if (fromPalette) ClearSync();
    device.SetLightInfo(light);
    if (!device.SaveProfile()) LogWarning("lighting: the profile was not saved");
    device.ApplyProfile();
    panel.ShowColour(light.red, light.green, light.blue, !fromPalette);
    if (COptionUI* wheel = panel.ColourWheelCheck()) wheel->Selected(false, false);
    // A device that does not answer keeps the change in its profile and gets
    // it with the next write.
    (void)device.WriteSettings();
    return true;
}

bool CDevicePage::OnColourBox(int component, CControlUI& box) {
    CLightControlUI& panel = *lightPanel_;
    CVexloUSBDevice& device = *context_.device;
    const int value = ColourComponentOf(box.GetText());
    box.SetText(std::to_string(value));
    LightSetting light = device.GetLightInfo();
    std::uint8_t* fields[] = {&light.red, &light.green, &light.blue};
    *fields[component] = static_cast<std::uint8_t>(value);
    light.multiColor = 0;
    ClearSync();
    device.SetLightInfo(light);
    if (!device.SaveProfile()) LogWarning("lighting: the profile was not saved");
    device.ApplyProfile();
    if (COptionUI* wheel = panel.ColourWheelCheck()) wheel->Selected(false, false);
    panel.ShowColour(light.red, light.green, light.blue, true);
    // A device that does not answer keeps the change in its profile and gets
    // it with the next write.
    (void)device.WriteSettings();
    return true;
}

// The key-assignment page: choosing a key of the picture, applying a function
// to it (kept in the profile's document), and saving the keys to the device.
bool CDevicePage::OnKeyAssignment(const PageEvent& event) {
    CKeyTableDevice* device = KeyDevice();
    if (!device) return false;
    const std::string& name = event.name;
    if (name == "key_" && event.kind == PageNotify::Click) {
        const int key = event.number;
        if (IsKeyboard() && device->GetFunctionPage() == 1) {
            // A key outside the custom mode or the LEDs is simply not painted.
            (void)static_cast<CVexloKeyboardDevice*>(device)->PaintKey(key);
            return true;
        }
        if (IsMouse()) {
            // The mouse must keep a left button somewhere.
            const AssignmentCode left{code_type::kMouseButton, 0x01, 0x00};
            const std::vector<KeyEntry> keys = device->ProfileData().GetKeyList();
            int lefts = 0;
            bool thisIsLeft = false;
            for (std::size_t i = 0; i < keys.size(); ++i) {
                if (AssignmentCode::FromInt(keys[i].current.Code()) != left) continue;
                ++lefts;
                thisIsLeft = thisIsLeft || static_cast<int>(i) == key;
            }
            if (thisIsLeft && lefts == 1) {
                if (context_.asker) ShowNotice(*context_.asker, "message_text_6");
                return true;
            }
        }
        device->SelectKey(key);
        return true;
    }
    if (!keyPanel_) return false;
    if (name == "key_butt_keysave") {
        ApplyKeySelection();
    } else if (name == "key_butt_prosave") {
        SaveKeys();
    } else if (name == "default_btn") {
        RestoreFactoryKeys();
    } else if (name == "key_butt_keydefalut") {
        const std::vector<KeyEntry> keys = device->ProfileData().GetKeyList();
        const int key = device->SelectedKey();
        if (key >= 0 && key < static_cast<int>(keys.size())) {
            const AssignmentCode factory =
                AssignmentCode::FromInt(keys[static_cast<std::size_t>(key)].factory.Code());
            keyPanel_->ShowSelection(ShowCode(factory, factory).selection);
            keyPanel_->EnableApplyButtons(true);
        }
    } else if (name == "key_butt_keycancel") {
        ShowSelectedKeyImpl(device->SelectedKey());
        keyPanel_->EnableApplyButtons(false);
    } else if (name == "key_ComBox_check_") {
        keyPanel_->SelectModifier(event.number);
        ApplyKeySelection();
    } else if (name == "keyset_function_combo" && event.kind == PageNotify::ItemSelect) {
        const int category = keyPanel_->SelectedCategory();
        keyPanel_->ShowCategory(category);
        if (category == static_cast<int>(KeyCategory::KeyboardKey)) keyPanel_->ClearKeyboardKey();
        ApplyKeySelection();
    } else if (name.starts_with("keyset_") &&
               (event.kind == PageNotify::ItemSelect || event.kind == PageNotify::KillFocus)) {
        if (name == "keyset_macro_over_combo") keyPanel_->ShowRepeatCountBox();
        ApplyKeySelection();
    } else {
        return false;
    }
    return true;
}

void CDevicePage::ApplyKeySelection() {
    CKeyTableDevice* device = KeyDevice();
    const int key = device->SelectedKey();
    const std::vector<KeyEntry> keys = device->ProfileData().GetKeyList();
    // Nothing is chosen yet: there is no key to give the function to.
    if (key < 0 || key >= static_cast<int>(keys.size())) return;
    const KeyEntry& entry = keys[static_cast<std::size_t>(key)];
    const AssignmentCode code =
        EncodeSelection(keyPanel_->ReadSelection(), AssignmentCode::FromInt(entry.current.Code()),
                        AssignmentCode::FromInt(entry.factory.Code()),
                        static_cast<int>(device->Definitions().macroNames.size()));
    device->StoreKeyAssignment(key, code);
    RefreshKeyFunctions();
    keyPanel_->EnableApplyButtons(true);
}

bool CDevicePage::SendMacrosAndKeys() {
    CKeyTableDevice* device = KeyDevice();
    (void)device->ListUsedMacros();  // read again by WriteMacros; kept for the order of reads
    const int written = static_cast<int>(device->WriteMacros());
    if (written > 0) {
        // The macros do not fit: say by how many events, and send no key table
        // that would name macros the device does not hold.
        TellMacroOverflow(written);
        return false;
    }
    if (written < 0 && context_.asker) ShowNotice(*context_.asker, "message_text_7");
    if (device->WriteKeysFor(0) != LinkResult::Ok)
        LogWarning(
            fmt::format("{}: the key table was not sent", RecordOf(device->GetProduct()).name));
    return true;
}

void CDevicePage::OnCapturedKey(std::uint16_t scanCode, bool extended) {
    if (!keyPanel_ || !KeyDevice()) return;
    const CapturedKey captured = CaptureKey(scanCode, extended ? 1u : 0u);
    switch (captured.kind) {
        case CapturedKey::Kind::Nothing:
            return;
        case CapturedKey::Kind::Modifier:
            keyPanel_->SelectModifier(captured.modifierOption);
            break;
        case CapturedKey::Kind::Key:
            keyPanel_->SetCapturedKey(captured.usage, std::string(captured.nameKey));
            break;
    }
    ApplyKeySelection();
}

void CDevicePage::MacrosChanged() {
    CVexloUSBDevice& device = *context_.device;
    device.LoadDefinitions();
    if (keyPanel_ && (IsKeyboard() || IsMouse()))
        keyPanel_->SetMacroNames(device.Definitions().macroNames);
    RefreshKeyFunctions();
}

void CDevicePage::SaveKeys() {
    if (!SendMacrosAndKeys()) return;
    if (!KeyDevice()->SaveProfile()) LogWarning("keys: the profile was not saved");
    if (keyPanel_) keyPanel_->EnableApplyButtons(false);
}

void CDevicePage::RestoreFactoryKeys() {
    CKeyTableDevice* device = KeyDevice();
    if (context_.asker && !AskToConfirm(*context_.asker, "message_text_22")) return;
    if (!device->RestoreDefaults()) return;
    (void)device->WriteKeysFor(0);
    (void)device->WriteSettings();
}

void CDevicePage::TellMacroOverflow(int count) {
    // The language text is never used as a format: only its first "%d" is replaced.
    std::string text = Text("message_text_16");
    if (const std::size_t at = text.find("%d"); at != std::string::npos) {
        text.replace(at, 2, std::to_string(count));
    }
    if (context_.asker) context_.asker->Ask({"", text, false, QuestionButtons::Ok});
}

void CDevicePage::BindProfilePanel() {
    profilePanel_ = dynamic_cast<CDeviceProfileUI*>(
        context_.root->FindControl([](CControlUI* c) { return c->GetClass() == "DeviceProfile"; }));
    if (!profilePanel_) return;
    CVexloUSBDevice& device = *context_.device;
    // The panel works on the device's own list: the entry it selects is the
    // profile the device loads and saves.
    profilePanel_->Bind(device.Profiles(), device.GetProduct(), context_.asker);
    if (!profilePanel_->Panel()->LoadProfileList())
        LogWarning(
            fmt::format("{}: the profile list cannot be read", RecordOf(device.GetProduct()).name));
}

bool CDevicePage::OnProfile(const PageEvent& event) {
    DeviceProfilePanel* panel = profilePanel_ ? profilePanel_->Panel() : nullptr;
    if (!panel || event.kind != PageNotify::Click) return false;
    const std::string& name = event.name;
    FileDialogOptions options;
    options.filter = "Profile Files (*.json)";
    options.defaultExtension = "json";
    IUiPlatform* platform = GetUiPlatform();
    if (name == "device_add_btn") {
        (void)panel->AddProfile();
    } else if (name == "device_sub_btn") {
        // The neighbour is current at once: nothing is saved into the deleted file.
        if (panel->DeleteProfile()) SendProfile(false);
    } else if (name == "device_copy_btn") {
        (void)panel->CopyProfile();
    } else if (name == "device_import_btn") {
        if (panel->SelectedIndex() < 0 || !platform) return true;
        if (const auto path = platform->FileDialogs().OpenFile(context_.owner, options))
            (void)panel->ImportProfile(*path);
    } else if (name == "device_export_btn") {
        if (panel->SelectedIndex() < 0 || !platform) return true;
        options.replaceWithoutAsking = true;
        const auto path = platform->FileDialogs().SaveFile(context_.owner, options);
        if (path && !path->empty()) (void)panel->ExportProfile(*path);
    } else if (name == "device_reset_btn") {
        ResetProfile();
    } else if (name == "device_profile_edit_save_btn") {
        panel->RenameFromField();
    } else if (name == "profile_fun_spread_btn") {
        profilePanel_->ToggleButtonArea();
    } else {
        return false;
    }
    return true;
}

void CDevicePage::SwitchProfile() {
    DeviceProfilePanel* panel = profilePanel_ ? profilePanel_->Panel() : nullptr;
    if (!panel) return;
    const int index = panel->SelectedIndex();
    if (index < 0 || !panel->SelectProfileEntry(index)) return;
    SendProfile(false);
}

bool CDevicePage::SwitchToProfile(int index) {
    // Through the panel when the page shows one, so its list shows the choice.
    DeviceProfilePanel* panel = profilePanel_ ? profilePanel_->Panel() : nullptr;
    const bool selected =
        panel ? panel->SelectProfileEntry(index) : context_.device->Profiles().SelectProfile(index);
    return selected && SendProfile(false);
}

void CDevicePage::ResetProfile() {
    DeviceProfilePanel* panel = profilePanel_ ? profilePanel_->Panel() : nullptr;
    if (!panel || panel->SelectedIndex() < 0) return;
    if (context_.asker && !AskToConfirm(*context_.asker, profile_text::kConfirmReset)) return;
    if (!panel->ResetProfile()) return;
    if (context_.profileReset) context_.profileReset();
    SendProfile(true);
}

bool CDevicePage::SendProfile(bool reset) {
    CVexloUSBDevice& device = *context_.device;
    const std::string_view product = RecordOf(device.GetProduct()).name;
    if (!device.LoadProfile()) {
        LogWarning(fmt::format("{}: the selected profile cannot be loaded", product));
        return false;
    }
    CKeyTableDevice* keys = KeyDevice();
    if (keys && !reset && keys->CheckMacroAssignments())
        LogInfo(fmt::format("{}: assignments of deleted macros were reset", product));
    if (keys) {
        keys->RefreshView();
    } else if (auto* pad = dynamic_cast<CVexloMousePadDevice*>(&device)) {
        pad->RefreshView();
    }
    bool sent = true;
    if (device.WriteSettings() != LinkResult::Ok) {
        LogWarning(fmt::format("{}: the profile's settings were not sent", product));
        sent = false;
    }
    if (!keys) return sent;
    if (reset && IsKeyboard() && keyPanel_) keyPanel_->SetVisible(false);
    if (!SendMacrosAndKeys()) return false;
    if (reset && IsMouse() && keyPanel_) keyPanel_->SetVisible(false);
    return sent;
}

}  // namespace q731
