#include "ui/controls/device_tab_controls.h"

#include <gtest/gtest.h>

namespace q731 {
namespace {

using Block = std::vector<std::uint8_t>;

TEST(PowerDisplay, PercentIsClampedAndTheBarIsItsComplement) {
    EXPECT_EQ(ComputePowerDisplay(Block{85, 2, 0, 0, 0, 0}, kPanelKindMouse).progressValue, 15);
    EXPECT_EQ(ComputePowerDisplay(Block{85, 2, 0, 0, 0, 0}, kPanelKindMouse).label, "85%");
    const PowerDisplay hostile = ComputePowerDisplay(Block{250, 2, 0, 0, 0, 0}, kPanelKindMouse);
    EXPECT_EQ(hostile.percent, 100);
    EXPECT_EQ(hostile.progressValue, 0) << "never negative";
    EXPECT_EQ(hostile.label, "100%");
    const PowerDisplay shortBlock = ComputePowerDisplay(Block{40}, kPanelKindMouse);
    EXPECT_EQ(shortBlock.percent, 40);
    EXPECT_EQ(shortBlock.statusImage, "file='power/powered.png'") << "missing bytes read as 0";
}

TEST(PowerDisplay, SupplyStateAndReceiverChooseTheStatus) {
    struct Case {
        std::uint8_t supply;
        std::uint8_t receiver;
        bool barVisible;
        const char* image;
    };
    const Case cases[] = {
        {0, 0, true, "file='power/powered.png'"},
        {1, 0, true, "file='power/powering.png'"},
        {1, 1, false, "file='power/wuxian_powering.png'"},
        {2, 1, true, "file='power/power.png'"},
    };
    for (const Case& c : cases) {
        const PowerDisplay display =
            ComputePowerDisplay(Block{50, c.supply, 0, c.receiver, 0, 0}, kPanelKindMouse);
        EXPECT_EQ(display.progressVisible, c.barVisible);
        EXPECT_EQ(display.statusImage, c.image);
        EXPECT_EQ(display.wireless, c.receiver != 0);
    }
    EXPECT_TRUE(ComputePowerDisplay(Block{50, 7, 0, 0, 0, 0}, kPanelKindMouse).statusImage.empty());
    EXPECT_FALSE(
        ComputePowerDisplay(Block{50, 2, 0, 1, 0, 0}, RecordOf(Product::Keyboard).panelKind)
            .wireless)
        << "keyboards show none";
}

TEST(PowerDisplay, OnlyPadsShowAPhone) {
    EXPECT_EQ(ComputePowerDisplay(Block{0, 0, 0, 0, 0, 2}, kPanelKindMousePad).phoneName,
              "Phone_type_samsung");
    EXPECT_EQ(ComputePowerDisplay(Block{0, 0, 0, 0, 0, 2}, kPanelKindMousePad).phoneImage,
              "file='power/Phone_type_samsung.png'");
    EXPECT_EQ(ComputePowerDisplay(Block{0, 0, 0, 0, 0, 9}, kPanelKindMousePad).phoneName,
              "Phone_type_no_device");
    EXPECT_TRUE(ComputePowerDisplay(Block{0, 0, 0, 0, 0, 2}, kPanelKindMouse).phoneName.empty());
}

// A panel as its layout makes it.
std::unique_ptr<CMpDevicePowerUI> MakePanel(int kind, bool withLogo) {
    auto panel = std::make_unique<CMpDevicePowerUI>();
    panel->SetKind(kind);
    auto* layout = panel->AddNew<CHorizontalLayoutUI>();
    layout->SetName("device_power_Layout");
    layout->AddNew<CLabelUI>()->SetName("device_power_value");
    if (withLogo) layout->AddNew<CControlUI>()->SetName("device_wuxian_logo");
    layout->AddNew<CProgressUI>()->SetName("device_Power_progress");
    layout->AddNew<CControlUI>()->SetName("device_power_status");
    panel->AddNew<CControlUI>()->SetName("device_phone_type");
    return panel;
}

TEST(PowerPanel, UpdatesItsPartsAndStopsAtAMissingOne) {
    auto panel = MakePanel(kPanelKindMousePad, true);
    panel->ShowPower(Block{30, 1, 0, 0, 0, 1});
    EXPECT_EQ(FindByName(panel.get(), "device_power_value")->GetText(), "30%");
    EXPECT_EQ(
        dynamic_cast<CProgressUI*>(FindByName(panel.get(), "device_Power_progress"))->GetValue(),
        70);
    EXPECT_EQ(FindByName(panel.get(), "device_phone_type")->GetUserData(), "Phone_type_iphone");

    auto mouse = MakePanel(kPanelKindMouse, false);
    mouse->ShowPower(Block{30, 1, 0, 1, 0, 0});
    EXPECT_EQ(FindByName(mouse.get(), "device_power_value")->GetText(), "30%");
    EXPECT_TRUE(FindByName(mouse.get(), "device_Power_progress")->IsVisible())
        << "no wireless mark: the update stops before the status";
    mouse->SetHasBattery(false);
    EXPECT_FALSE(FindByName(mouse.get(), "device_power_Layout")->IsVisible());
}

TEST(DeviceOption, IconsFollowKindAndSynchronisation) {
    CDeviceOptionUI tab;
    auto* option = tab.AddNew<COptionUI>();
    option->SetName("device_select");
    tab.SetIcons(kPanelKindMouse, 0);
    EXPECT_EQ(tab.LabelTextId(), "ms_device_name_text");
    EXPECT_EQ(option->GetNormalImage(), "file='common/device_ico/ms_device_normal.png'");
    tab.SetSynchronised(true);
    EXPECT_EQ(option->GetNormalImage(), "file='common/device_ico/ms_device_synchro_normal.png'");
    tab.SetIcons(kPanelKindMousePad, 1);
    EXPECT_EQ(tab.LabelTextId(), "soft_mp_device_name_text");
    tab.SetIcons(kPanelKindMousePad, 5);
    EXPECT_EQ(tab.LabelTextId(), "soft_mp_device_name_text") << "unknown pad sub-kind: unchanged";
    tab.SetIcons(9, 0);  // no product of the family has kind 9
    EXPECT_EQ(tab.LabelTextId(), "unknow_device_name_text");
    EXPECT_EQ(tab.SyncOption(), nullptr);
}

}  // namespace
}  // namespace q731
