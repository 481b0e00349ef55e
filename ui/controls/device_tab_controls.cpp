#include "ui/controls/device_tab_controls.h"

#include <algorithm>
#include <array>

namespace q731 {

namespace {

struct IconRow {
    int kind;
    int subKind;  // -1: any
    std::string_view stem;
    std::string_view textId;
};

// Kinds of the family that no product of ours has yet.
constexpr int kPanelKindOtherHeadset = 4;
constexpr int kPanelKindHub = 5;

// Icon stems and label texts by panel kind and sub-kind; the first match wins.
constexpr std::array<IconRow, 7> kIcons = {{
    {RecordOf(Product::Keyboard).panelKind, -1, "kb_device", "kb_device_name_text"},
    {kPanelKindMouse, -1, "ms_device", "ms_device_name_text"},
    {kPanelKindMousePad, 0, "hard_mp_device", "hard_mp_device_name_text"},
    {kPanelKindMousePad, 1, "soft_mp_device", "soft_mp_device_name_text"},
    {kPanelKindOtherHeadset, -1, "hd_device", "hd_device_name_text"},
    {RecordOf(Product::Headset).panelKind, -1, "hd_device", "hd_device_name_text"},
    {kPanelKindHub, -1, "hub_device", "hub_device_name_text"},
}};

std::string ImageFile(std::string_view path) {
    return "file='" + std::string(path) + "'";
}

}  // namespace

PowerDisplay ComputePowerDisplay(std::span<const std::uint8_t> block, int panelKind) {
    std::array<std::uint8_t, 6> bytes{};
    std::copy_n(block.begin(), std::min(block.size(), bytes.size()), bytes.begin());
    PowerDisplay display;
    // The percentage comes from the device: never trust it to stay in range.
    display.percent = std::clamp<int>(bytes[0], 0, 100);
    display.progressValue = 100 - display.percent;
    display.label = std::to_string(display.percent) + "%";
    const bool onReceiver = bytes[3] != 0;
    display.wireless = panelKind == kPanelKindMouse && onReceiver;
    switch (bytes[1]) {
        case 0:
            display.progressVisible = true;
            display.statusImage = ImageFile("power/powered.png");
            break;
        case 1:
            display.progressVisible = !onReceiver;
            display.statusImage =
                ImageFile(onReceiver ? "power/wuxian_powering.png" : "power/powering.png");
            break;
        case 2:
            display.progressVisible = true;
            display.statusImage = ImageFile("power/power.png");
            break;
        default:
            break;
    }
    if (panelKind == kPanelKindMousePad) {
        static constexpr std::array<std::string_view, 4> kPhones = {
            "Phone_type_no_device", "Phone_type_iphone", "Phone_type_samsung", "Phone_type_other"};
        const std::size_t phone = bytes[5] >= 1 && bytes[5] <= 3 ? bytes[5] : 0;
        display.phoneName = std::string(kPhones[phone]);
        display.phoneImage = ImageFile("power/" + display.phoneName + ".png");
    }
    return display;
}

CControlUI* FindByName(CControlUI* root, std::string_view name) {
    if (!root) return nullptr;
    return root->FindControl([name](CControlUI* control) { return control->GetName() == name; });
}

void CMpDevicePowerUI::SetHasBattery(bool has) {
    if (CControlUI* layout = FindByName(this, "device_power_Layout")) layout->SetVisible(has);
}

void CMpDevicePowerUI::ShowPower(std::span<const std::uint8_t> block) {
    const PowerDisplay display = ComputePowerDisplay(block, kind_);
    auto* progress = dynamic_cast<CProgressUI*>(FindByName(this, "device_Power_progress"));
    CControlUI* value = FindByName(this, "device_power_value");
    if (!progress || !value) return;
    progress->SetValue(display.progressValue);
    value->SetText(display.label);
    if (kind_ == kPanelKindMouse) {
        CControlUI* wireless = FindByName(this, "device_wuxian_logo");
        if (!wireless) return;
        wireless->SetVisible(display.wireless);
    }
    CControlUI* status = FindByName(this, "device_power_status");
    if (!status) return;
    if (display.progressVisible) progress->SetVisible(*display.progressVisible);
    if (!display.statusImage.empty()) status->SetBkImage(display.statusImage);
    if (kind_ != kPanelKindMousePad) return;
    CControlUI* phone = FindByName(this, "device_phone_type");
    if (!phone) return;
    phone->SetUserData(display.phoneName);
    phone->SetBkImage(display.phoneImage);
}

void CDeviceOptionUI::SetIcons(int kind, int subKind) {
    const IconRow* chosen = nullptr;
    for (const IconRow& row : kIcons) {
        if (row.kind == kind && (row.subKind < 0 || row.subKind == subKind)) {
            chosen = &row;
            break;
        }
    }
    if (!chosen) {
        // A mouse pad of an unknown sub-kind keeps what it had.
        if (kind == kPanelKindMousePad) return;
        static constexpr IconRow kUnknown{0, -1, "unknow_device", "unknow_device_name_text"};
        chosen = &kUnknown;
    }
    stem_ = std::string(chosen->stem);
    labelTextId_ = std::string(chosen->textId);
    ApplyImages();
}

void CDeviceOptionUI::ApplyImages() {
    if (stem_.empty()) return;
    const std::string base = "common/device_ico/" + stem_;
    normalImage_ = ImageFile(base + (synchronised_ ? "_synchro_normal.png" : "_normal.png"));
    selectedImage_ = ImageFile(base + (synchronised_ ? "_synchro_selected.png" : "_selected.png"));
    if (COptionUI* option = SelectOption()) {
        option->SetNormalImage(normalImage_);
        option->SetSelectedImage(selectedImage_);
    }
}

COptionUI* CDeviceOptionUI::SelectOption() {
    return dynamic_cast<COptionUI*>(FindByName(this, "device_select"));
}

COptionUI* CDeviceOptionUI::SyncOption() {
    return dynamic_cast<COptionUI*>(FindByName(this, "synchro_device_select"));
}

CLabelUI* CDeviceOptionUI::NameLabel() {
    return dynamic_cast<CLabelUI*>(FindByName(this, "device_select_name"));
}

void CDeviceOptionUI::SetTabVisible(bool visible) {
    tabVisible_ = visible;
    SetVisible(visible);
}

void CDeviceOptionUI::SetSynchronised(bool on) {
    synchronised_ = on;
    ApplyImages();
}

}  // namespace q731
