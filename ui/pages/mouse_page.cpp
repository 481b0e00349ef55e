#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cctype>

#include "devices/keys/key_list.h"
#include "platform/log.h"
#include "platform/products.h"
#include "ui/controls/custom_controls.h"
#include "ui/controls/shoot_control.h"
#include "ui/pages/kind_pages.h"
#include "ui/widgets/list.h"
#include "ui/widgets/numbered_name.h"
#include "ui/widgets/range.h"
#include "ui/widgets/window.h"

namespace q731 {

namespace {

// The text ids naming the mouse's buttons, in logical order.
constexpr std::array<std::string_view, CVexloMouseDevice::kButtonCount> kButtonNames = {
    "mouse_key_left",  "mouse_key_right",   "mouse_key_middle",  "mouse_key_forward",
    "mouse_key_back",  "mouse_key_DPI_add", "mouse_key_DPI_sub", "mouse_key_DPI_loop",
    "keyboard_key_GM", "mouse_key_M8_key",  "mouse_key_fire_key"};

// The LED the logo shows; -1: the logo has none of its own.
constexpr int kMouseLogoLed = RecordOf(Product::Mouse).logoLed;

constexpr std::string_view kSettingsPages = "mouse_device_seting_layout";
constexpr std::string_view kKeyInfoList = "device_setkeyinfo_list";

bool IsLogoTip(std::string_view tip) {
    return tip.size() == 4 && std::equal(tip.begin(), tip.end(), "logo", [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

std::uint32_t RgbOf(const LedColour& led) {
    return std::uint32_t{led.red} << 16 | std::uint32_t{led.green} << 8 | led.blue;
}

void Light(CDeviceKeyButtonUI& button, const LedColour& led) {
    button.SetLight(true);
    button.SetLightColor(RgbOf(led));
    button.SetLightBrightness(led.brightness);
}

}  // namespace

void CMousePage::BindPicture() {
    secondLeds_.assign(static_cast<std::size_t>(context_.device->LedCount()), nullptr);
    secondPicture_ = nullptr;
    logo_ = nullptr;
    CControlUI* pages = Find(kSettingsPages);
    if (!pages) return;  // without the settings pages nothing is bound
    pages->FindControl([this](CControlUI* control) {
        auto* panel = dynamic_cast<CSelectPanelUI*>(control);
        if (!panel) return false;
        if (!picture_) picture_ = panel;
        panel->FindControl([this, panel](CControlUI* child) {
            if (auto* button = dynamic_cast<CDeviceKeyButtonUI*>(child)) BindButton(*button, panel);
            return false;
        });
        return false;
    });
}

void CMousePage::BindButton(CDeviceKeyButtonUI& button, CSelectPanelUI* panel) {
    if (const auto named = SplitNumberedName(button.GetName());
        named && named->prefix == "light_0_") {
        // The lighting sub-page's own LEDs: at their number, never appended
        // (an appended button would show some other LED).
        if (named->number < static_cast<int>(secondLeds_.size())) {
            secondLeds_[static_cast<std::size_t>(named->number)] = &button;
            button.SetLight(true);
            button.SetLightColor(0xFFFFFF);
            button.SetLightBrightness(255);
            if (!secondPicture_) secondPicture_ = panel;
        }
    }
    CDevicePage::BindButton(button, panel);
    if (IsLogoTip(button.GetToolTip())) logo_ = &button;
}

CDeviceKeyButtonUI* CMousePage::SecondLedButton(int led) const {
    return led >= 0 && led < static_cast<int>(secondLeds_.size())
               ? secondLeds_[static_cast<std::size_t>(led)]
               : nullptr;
}

void CMousePage::ShowSettingsPage(int page) {
    auto* pages = Find<CTabLayoutUI>(kSettingsPages);
    const int count = pages ? pages->GetCount() : 0;
    if (page < 0 || page >= count) page = 0;
    if (pages) pages->SelectItem(page);
    CControlUI* options = Find("mouse_option_layout");
    if (!options) return;
    const std::string chosen = fmt::format("mouse_device_seting_option_{}", page);
    options->FindControl([&chosen](CControlUI* control) {
        if (auto* option = dynamic_cast<COptionUI*>(control);
            option && control->GetClass() == "OptionUI") {
            option->Selected(control->GetName() == chosen, false);
        }
        return false;
    });
}

void CMousePage::AfterBinding() {
    if (picture_) BindShootPanel();
    ShowSettingsPage(0);
}

void CMousePage::ShowFunctionPage(int page) {
    ShowFunctionPageImpl(page);
    // The picture above shows what the chosen page is about: the LEDs, the
    // buttons, the DPI stages or the pointer.
    static constexpr int kViewOfPage[] = {0, 0, 1, 1, 2, 4};
    if (page >= 1 && page <= 5) ShowSettingsPage(kViewOfPage[page]);
    if (CControlUI* notice = Find("device_tishi_info")) notice->SetVisible(false);
}

std::optional<std::string> CMousePage::CaptionOf(const AssignmentCode& code) {
    if (code.type == code_type::kGunKey) {
        // Four gun sets; a number past them has no caption of its own.
        if (code.value1 > 3) return std::nullopt;
        return Text(fmt::format("gun_{}_txt", code.value1 + 1));
    }
    if (code.type == code_type::kMacroKey) return std::string(kFallbackCaption);
    return CDevicePage::CaptionOf(code);
}

void CMousePage::BeginKeyFunctions() {
    if (auto* list = Find<CListUI>(kKeyInfoList)) list->RemoveAll();
}

void CMousePage::ShowKeyInfoRow(int button) {
    auto* list = Find<CListUI>(kKeyInfoList);
    CDeviceKeyButtonUI* key = KeyButton(button);
    if (!list || !key) return;
    while (list->GetCount() <= button) {
        auto row = std::make_unique<CListContainerElementUI>();
        row->SetFixedHeight(25);
        row->SetVisible(false);
        row->SetEnabled(false);
        auto title = std::make_unique<CLabelUI>();
        title->SetFixedWidth(200);
        title->SetTextColor(0xFFFFFFFF);
        auto text = std::make_unique<CLabelUI>();
        text->SetFixedWidth(180);
        text->SetTextColor(0xFF0099FF);
        text->SetAttribute("endellipsis", "true");
        row->Add(std::move(title));
        row->Add(std::move(text));
        list->Add(std::move(row));
    }
    auto* row = dynamic_cast<CContainerUI*>(list->GetItemAt(button));
    if (!row || row->GetCount() < 2) return;
    row->GetItemAt(0)->SetText(key->GetToolTipTitle());
    row->GetItemAt(1)->SetText(key->GetToolTip());
    // Shown for every button the layout shows, whichever view is in front.
    row->SetVisible(key->IsVisibleFlag());
}

void CMousePage::ShowKeyFunction(int key, const std::string& caption) {
    CDeviceKeyButtonUI* button = KeyButton(key);
    if (!button || key >= static_cast<int>(kButtonNames.size())) return;
    button->SetToolTipTitle(Text(kButtonNames[static_cast<std::size_t>(key)]));
    button->SetToolTip(caption);
    ShowKeyInfoRow(key);
}

void CMousePage::EndKeyFunctions() {
    ShowLogoTooltip();
    if (CControlUI* list = Find(kKeyInfoList)) {
        list->SetVisible(true);
        list->Invalidate();
    }
}

void CMousePage::ShowLogoTooltip() {
    if (!logo_) return;
    // The mode the user chose: the settings block's mode byte holds a device
    // code once it has been written, which is not a position in the names.
    const int mode = context_.device->GetLightInfo().selectItem;
    const NameLists& names = context_.device->Definitions();
    std::string modeName;
    if (mode <= CVexloMouseDevice::kHighestMode) {
        if (mode < static_cast<int>(names.effectNames.size()))
            modeName = Text(names.effectNames[static_cast<std::size_t>(mode)]);
    } else if (mode - 12 < static_cast<int>(names.customEffectNames.size())) {
        modeName = names.customEffectNames[static_cast<std::size_t>(mode - 12)];
    }
    logo_->SetToolTipTitle("Logo");
    logo_->SetToolTip(Text("Light_Set") + "\n" + Text("Overall_Light_Set") + modeName);
}

void CMousePage::Refresh() {
    RefreshKeyFunctions();
    RefreshLighting();
    const std::vector<DpiStage>& stages = Mouse().Stages();
    for (int i = 0; i < CVexloMouseDevice::kStageCount && i < static_cast<int>(stages.size());
         ++i) {
        const DpiStage& stage = stages[static_cast<std::size_t>(i)];
        ShowStageEnabled(i, stage.enabled != 0);
        ShowStageValue(i, stage.DpiX());
        ShowStageColour(
            i, std::uint32_t{stage.red} << 16 | std::uint32_t{stage.green} << 8 | stage.blue);
    }
    const MouseSystemSettings system = Mouse().Profile().GetSystemSettings();
    ShowPollingRate(system.reportStage);
    // The pointer page shows what the profile keeps.
    if (auto* slider = Find<CSliderUI>("pointer_speed_slider")) slider->SetValue(system.mouseSpeed);
    if (auto* slider = Find<CSliderUI>("double_click_slider"))
        slider->SetValue(system.doubleClickTime);
    if (auto* slider = Find<CSliderUI>("scroll_speed_slider"))
        slider->SetValue(system.wheelScrollLines);
    if (auto* check = Find<COptionUI>("pointer_precision_check"))
        check->Selected(system.pointerPrecision != 0, false);
    if (auto* check = Find<COptionUI>("scrolls_page_check"))
        check->Selected(system.scrollPage != 0, false);
}

void CMousePage::ShowStageColour(int stage, std::uint32_t colour) {
    if (CControlUI* swatch = Find(fmt::format("DPI_color_option_{}", stage)))
        swatch->SetBkColor(0xFF000000u | (colour & 0xFFFFFFu));
}

void CMousePage::ShowStageEnabled(int stage, bool on) {
    if (CControlUI* row = Find(fmt::format("DPI_layout_{}", stage))) row->SetEnabled(on);
    if (auto* check = Find<COptionUI>(fmt::format("DPI_enable_check_{}", stage)))
        check->Selected(on, false);
    if (on) return;
    // The last stage left on cannot be switched off.
    COptionUI* onlyMarked = nullptr;
    int marked = 0;
    for (int i = 0; i < CVexloMouseDevice::kStageCount; ++i) {
        auto* check = Find<COptionUI>(fmt::format("DPI_enable_check_{}", i));
        if (check && check->IsSelected()) {
            ++marked;
            onlyMarked = check;
        }
    }
    if (marked == 1) onlyMarked->SetEnabled(false);
}

void CMousePage::ShowStageValue(int stage, int step) {
    auto* slider = Find<CSliderUI>(fmt::format("DPI_slider_{}", stage));
    if (slider) {
        if (Mouse().StepLimit() > 0) slider->SetMaxValue(Mouse().StepLimit());
        slider->SetValue(step);
    }
    CControlUI* edit = Find(fmt::format("DPI_edit_{}", stage));
    if (!edit) return;
    const bool active = stage == Mouse().Profile().GetActiveStage();
    if (slider) {
        const char* thumb =
            active ? "Control/SliderBar1_Thumb.png" : "Control/SliderBar2_Thumb.png";
        slider->SetForeImage("Control/SliderBar_BK1.png");
        slider->SetThumbImage(thumb);
        slider->SetThumbHotImage(thumb);
        slider->SetThumbPushedImage(thumb);
    }
    if (CControlUI* check = Find(fmt::format("DPI_enable_check_{}", stage)))
        check->SetEnabled(!active);
    if (auto* select = Find<COptionUI>(fmt::format("DPI_select_check_{}", stage)))
        select->Selected(active, false);
    edit->SetText(std::to_string(Mouse().Scale().ResolutionOfStep(step)));
}

void CMousePage::ShowPollingRate(int index) {
    const int count = CVexloMouseDevice::kPollingRates;
    SelectOnly("polling_rate_option_", count, index >= 0 && index < count ? index : 0);
}

void CMousePage::ShowPicture(std::span<const LedColour> leds) {
    // The lighting sub-page and the logo follow the LEDs whoever drives them.
    for (std::size_t i = 0; i < secondLeds_.size() && i < leds.size(); ++i) {
        if (secondLeds_[i]) Light(*secondLeds_[i], leds[i]);
    }
    if (secondPicture_ && context_.device->Attention()) secondPicture_->Invalidate();
    const int logoLed = kMouseLogoLed;
    if (logo_ && logo_->IsVisible() && logoLed >= 0 && logoLed < static_cast<int>(leds.size())) {
        Light(*logo_, leds[static_cast<std::size_t>(logoLed)]);
    }
    CDevicePage::ShowPicture(leds);
}

bool CMousePage::OnSettings(const PageEvent& event) {
    CVexloMouseDevice& mouse = Mouse();
    const int n = event.number;
    auto* option = dynamic_cast<COptionUI*>(event.sender);
    auto* slider = dynamic_cast<CSliderUI*>(event.sender);
    const std::string& name = event.name;
    if (name == "mouse_device_seting_option_" && event.kind == PageNotify::SelectChanged) {
        if (option && option->IsSelected()) ShowSettingsPage(n);
    } else if (name == "DPI_enable_check_" && event.kind == PageNotify::SelectChanged && option) {
        // Refused (the active or the last stage): the switch shows the stage on again.
        if (!mouse.EnableStage(n, option->IsSelected())) ShowStageEnabled(n, true);
    } else if (name == "DPI_select_check_" && event.kind == PageNotify::SelectChanged) {
        if (option && !option->IsSelected()) return true;
        std::array<std::optional<int>, CVexloMouseDevice::kStageCount> sliders;
        for (int i = 0; i < CVexloMouseDevice::kStageCount; ++i) {
            if (auto* stageSlider = Find<CSliderUI>(fmt::format("DPI_slider_{}", i)))
                sliders[static_cast<std::size_t>(i)] = stageSlider->GetValue();
        }
        SelectOnly("DPI_select_check_", CVexloMouseDevice::kStageCount, n);
        (void)mouse.SelectStage(n, sliders);  // the page shows what was stored
    } else if (name == "DPI_slider_" && slider) {
        if (event.kind == PageNotify::ValueChanged) (void)mouse.SetStageStep(n, slider->GetValue());
        if (event.kind == PageNotify::MoveValueChanged)
            mouse.PreviewStageStep(n, slider->GetValue());
    } else if (name == "DPI_edit_" && event.kind == PageNotify::KillFocus && event.sender) {
        // Without a step size from the device a typed value cannot be turned
        // into a step: the box shows the stage's value again.
        if (!mouse.EnterStageResolution(n, event.sender->GetText())) Refresh();
    } else if (name == "polling_rate_option_" && event.kind == PageNotify::SelectChanged) {
        if (option && option->IsSelected())
            (void)mouse.SetPollingRate(n);  // kept in the profile either way
    } else if (name == "pointer_speed_slider" && slider) {
        mouse.SetPointerSpeed(slider->GetValue());
    } else if (name == "double_click_slider" && slider) {
        mouse.SetDoubleClickTime(slider->GetValue());
    } else if (name == "pointer_precision_check" && option) {
        mouse.SetPointerPrecision(option->IsSelected());
    } else if (name == "scroll_speed_slider" && slider) {
        if (auto* page = Find<COptionUI>("scrolls_page_check")) page->Selected(false, false);
        mouse.SetScrollLines(slider->GetValue());
    } else if (name == "tamry_DPI_slider_" && slider) {
        if (CControlUI* box = context_.manager->FindControl(fmt::format("tamry_DPI_edit_{}", n)))
            box->SetText(std::to_string(slider->GetValue()));
    } else if (name == "tamry_DPI_edit_" && event.kind == PageNotify::KillFocus && event.sender) {
        const long long typed =
            std::clamp<long long>(ParseDecimal(event.sender->GetText()), 200, 6500);
        event.sender->SetText(std::to_string(typed));
        if (auto* target = dynamic_cast<CSliderUI*>(
                context_.manager->FindControl(fmt::format("tamry_DPI_slider_{}", n))))
            target->SetValue(static_cast<int>(typed));
    } else if (name == "scrolls_page_check" && option) {
        auto* speed = Find<CSliderUI>("scroll_speed_slider");
        mouse.SetScrollPage(option->IsSelected(), speed ? speed->GetValue() : 0);
    } else {
        return false;
    }
    return true;
}

void CMousePage::BindShootPanel() {
    shootControl_ = dynamic_cast<CShootControlUI*>(
        context_.root->FindControl([](CControlUI* c) { return c->GetClass() == "ShootControl"; }));
    if (!shootControl_) return;
    ShootPanel& panel = shootControl_->Bind(context_.asker);
    panel.SetDeviceFolder(context_.device->Folders().deviceFolder);
    panel.SetDefaultFolder(context_.device->Folders().defaultDataFolder);
    if (!panel.PrepareShootingFiles()) LogWarning("mouse: the shooting panel lacks controls");
    panel.SelectSlot(0);
    panel.SelectBullet(0);
}

bool CMousePage::OnShooting(const PageEvent& event) {
    ShootPanel* panel = shootControl_ ? shootControl_->Panel() : nullptr;
    if (!panel) return false;
    const std::string& name = event.name;
    const bool click = event.kind == PageNotify::Click;
    auto* option = dynamic_cast<COptionUI*>(event.sender);
    const bool chosen = event.kind == PageNotify::SelectChanged && option && option->IsSelected();
    FileDialogOptions options;
    options.filter = "Shoot Files(*.shoot)";
    options.defaultExtension = "shoot";
    IUiPlatform* platform = GetUiPlatform();
    if (name == "keyset_gunkey_shoot_btn" && click) {
        if (auto* pages = Find<CTabLayoutUI>("device_function_switch"))
            pages->SelectItem(pages->GetItemIndex(shootControl_));
    } else if (name == shoot_control::kSlotOption && chosen) {
        panel->SelectSlot(event.number);
        panel->ShowBullet(panel->CurrentSlot(), panel->CurrentBullet());
    } else if (name == shoot_control::kBulletOption && chosen) {
        panel->SelectBullet(event.number);
    } else if (name == shoot_control::kPrevious && click) {
        panel->PreviousBullet();
    } else if (name == shoot_control::kNext && click) {
        panel->NextBullet();
    } else if ((name == shoot_control::kHorizontalCheck || name == shoot_control::kVerticalCheck) &&
               event.kind == PageNotify::SelectChanged) {
        panel->ShowDirectionCaptions();
    } else if ((name == shoot_control::kHorizontalEdit || name == shoot_control::kVerticalEdit ||
                name == shoot_control::kDelayEdit) &&
               event.kind == PageNotify::KillFocus) {
        (void)panel->StoreBullet(panel->CurrentSlot(), panel->CurrentBullet());
    } else if (name == shoot_control::kReset && click) {
        (void)panel->ResetSlot(panel->CurrentSlot());
    } else if (name == shoot_control::kImport && click) {
        if (!platform) return true;
        const auto path = platform->FileDialogs().OpenFile(context_.owner, options);
        if (path) (void)panel->ImportSlot(*path);
    } else if (name == shoot_control::kExport && click) {
        if (!platform) return true;
        options.replaceWithoutAsking = true;
        const auto path = platform->FileDialogs().SaveFile(context_.owner, options);
        if (path) (void)panel->ExportSlot(*path);
    } else if (name == shoot_control::kSave && click) {
        SendShootData();
    } else {
        return false;
    }
    return true;
}

void CMousePage::SendShootData() {
    const LinkResult result = Mouse().WriteShootData();
    if (result == LinkResult::Ok) return;
    LogWarning(fmt::format("mouse: the shooting data was not sent ({})", static_cast<int>(result)));
    if (context_.asker) ShowNotice(*context_.asker, shoot_text::kSendFailed);
}

}  // namespace q731
