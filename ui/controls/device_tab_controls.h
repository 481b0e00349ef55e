#pragma once
// The controls of a device's tab: the tab button (CDeviceOptionUI, class
// "DeviceOption") and the battery panel (CMpDevicePowerUI, class
// "MpDevicePower"). Both are built from layouts; their parts are found by name
// on first use, and a missing part only switches off what it would show.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/products.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/container.h"
#include "ui/widgets/range.h"

namespace q731 {

// What a battery panel shows for a power status block.
struct PowerDisplay {
    int percent = 0;          // 0-100, whatever the device reported
    int progressValue = 100;  // 100 - percent
    std::string label;        // "85%"
    bool wireless = false;    // the wireless mark (mouse panels)
    std::optional<bool> progressVisible;
    std::string statusImage;  // empty: unchanged
    std::string phoneName;    // mouse-pad panels: empty otherwise
    std::string phoneImage;
};

// Panels and tab icons go by the product's panel kind; a product on its
// receiver shows the same panel as by cable.
inline constexpr int kPanelKindMouse = RecordOf(Product::Mouse).panelKind;
inline constexpr int kPanelKindMousePad = RecordOf(Product::MousePad).panelKind;

// A block shorter than 6 bytes reads as zero-padded.
PowerDisplay ComputePowerDisplay(std::span<const std::uint8_t> block, int panelKind);

// Finds a descendant by name (the control itself included); nullptr when none.
CControlUI* FindByName(CControlUI* root, std::string_view name);

class CMpDevicePowerUI : public CHorizontalLayoutUI {
public:
    std::string_view GetClass() const override { return "MpDevicePower"; }

    void SetKind(int kind) { kind_ = kind; }
    int Kind() const { return kind_; }
    void SetIndex(int index) { index_ = index; }
    int Index() const { return index_; }
    // Shows "device_power_Layout" only for devices with a battery.
    void SetHasBattery(bool has);
    void ShowPower(std::span<const std::uint8_t> block);

private:
    int kind_ = 0;
    int index_ = 0;
};

class CDeviceOptionUI : public CHorizontalLayoutUI {
public:
    std::string_view GetClass() const override { return "DeviceOption"; }

    void SetDevice(void* device) { device_ = device; }
    void* Device() const { return device_; }
    void SetPowerPanel(std::string container, int index) {
        powerContainer_ = std::move(container);
        powerIndex_ = index;
    }
    const std::string& PowerContainer() const { return powerContainer_; }
    int PowerIndex() const { return powerIndex_; }

    // Chooses the icons and the label text id from the device kind and sub-kind.
    void SetIcons(int kind, int subKind);
    const std::string& NormalImage() const { return normalImage_; }
    const std::string& SelectedImage() const { return selectedImage_; }
    const std::string& LabelTextId() const { return labelTextId_; }

    COptionUI* SelectOption();
    COptionUI* SyncOption();
    CLabelUI* NameLabel();

    void SetTabVisible(bool visible);
    bool TabVisible() const { return tabVisible_; }
    // Shows the synchronised or plain images.
    void SetSynchronised(bool on);
    bool Synchronised() const { return synchronised_; }

private:
    void ApplyImages();

    void* device_ = nullptr;
    std::string powerContainer_;
    int powerIndex_ = -1;
    std::string stem_;
    std::string normalImage_;
    std::string selectedImage_;
    std::string labelTextId_;
    bool tabVisible_ = false;
    bool synchronised_ = false;
};

}  // namespace q731
