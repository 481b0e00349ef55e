#include "app/dispatch.h"

#include <gtest/gtest.h>

#include "app/window_fit.h"

namespace q731 {
namespace {

TEST(NumberedNames, SplitOnlyOnADecimalSuffixWithinRange) {
    const auto dpi = SplitNumberedName("DPI_slider_2");
    ASSERT_TRUE(dpi);
    EXPECT_EQ(dpi->prefix, "DPI_slider_");
    EXPECT_EQ(dpi->number, 2);
    EXPECT_EQ(SplitNumberedName("key_169")->number, 169);
    EXPECT_EQ(SplitNumberedName("key_0007")->number, 7);
    EXPECT_EQ(SplitNumberedName("key_2147483647")->number, 2147483647);
    for (const char* bad : {"key_", "key", "key_1a", "key_-1", "key_+1", "key_2147483648",
                            "key_99999999999999999999", "_", ""}) {
        EXPECT_FALSE(SplitNumberedName(bad)) << bad;
    }
}

TEST(Dispatch, ExactNamesWithTheirOwnersAndCaseRules) {
    struct Case {
        NotifyKind kind;
        const char* sender;
        Owner owner;
    };
    const Case cases[] = {
        {NotifyKind::Click, "closebtn", Owner::MainWindow},
        {NotifyKind::Click, "CloseBtn", Owner::MainWindow},
        {NotifyKind::Click, "DEVICE_SELECT_NEXT", Owner::DeviceTabs},
        {NotifyKind::Click, "device_add_btn", Owner::ProfileList},
        {NotifyKind::Click, "hs_eq_btn_save", Owner::Headset},
        {NotifyKind::Click, "macro_inset_moveleftkey_btn", Owner::MacroEditor},
        {NotifyKind::Click, "macro_inset_moveLeftkey_btn", Owner::None},
        {NotifyKind::Click, "MACRO_INSET_MOVEUPKEY_BTN", Owner::None},
        {NotifyKind::Click, "macro_btn_Save", Owner::MacroEditor},
        {NotifyKind::SelectChanged, "device_select", Owner::DeviceTabs},
        {NotifyKind::SelectChanged, "magic_Op_tab", Owner::PageTabs},
        {NotifyKind::ValueChanged, "deng_light_slider", Owner::Lighting},
        {NotifyKind::ItemSelect, "keyset_macro_combo", Owner::KeyAssignment},
        {NotifyKind::KillFocus, "keyset_macro_cycle_edit", Owner::KeyAssignment},
        {NotifyKind::Click, "deng_light_slider", Owner::None},
        {NotifyKind::ValueChanged, "closebtn", Owner::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RouteNotification(c.kind, c.sender).owner, c.owner) << c.sender;
    }
}

TEST(Dispatch, NumberedNamesCarryTheirNumber) {
    const Route key = RouteNotification(NotifyKind::Click, "key_17");
    EXPECT_EQ(key.owner, Owner::KeyAssignment);
    EXPECT_EQ(key.number, 17);
    EXPECT_EQ(RouteNotification(NotifyKind::Click, "windowdeviceset_1").owner,
              Owner::SystemSettings);
    EXPECT_EQ(RouteNotification(NotifyKind::Click, "DPI_color_option_4").number, 4);
    const Route slider = RouteNotification(NotifyKind::ValueChanged, "dpi_SLIDER_3");
    EXPECT_EQ(slider.owner, Owner::MouseSettings);
    EXPECT_EQ(slider.name, "DPI_slider_");
    EXPECT_EQ(slider.number, 3);
    EXPECT_EQ(RouteNotification(NotifyKind::Click, "key_x").owner, Owner::None);
    EXPECT_EQ(RouteNotification(NotifyKind::Click, "unknown_3").owner, Owner::None);
    // A drag reaches only the DPI sliders.
    EXPECT_EQ(RouteNotification(NotifyKind::MoveValueChanged, "DPI_slider_1").owner,
              Owner::MouseSettings);
    EXPECT_EQ(RouteNotification(NotifyKind::MoveValueChanged, "tamry_DPI_slider_0").owner,
              Owner::MouseSettings);
    EXPECT_EQ(RouteNotification(NotifyKind::MoveValueChanged, "deng_light_slider").owner,
              Owner::None);
    EXPECT_EQ(RouteNotification(NotifyKind::MoveValueChanged, "6533_eq_hz_slider_2").owner,
              Owner::None);
    EXPECT_EQ(PageTabNumber("deng_Op_tab"), 1);
    EXPECT_EQ(PageTabNumber("Virtual7.1_Op_tab"), 8);
    EXPECT_EQ(PageTabNumber("key_op_TAB"), 2);
    EXPECT_EQ(PageTabNumber("closebtn"), 0);
}

TEST(WindowFit, ScaleByMonitorSize) {
    EXPECT_EQ(ScaleForMonitor(1920, 1080), 144);
    EXPECT_EQ(ScaleForMonitor(1366, 768), 96);
    EXPECT_EQ(ScaleForMonitor(1500, 960), 96) << "larger than, not equal to";
    EXPECT_EQ(ScaleForMonitor(1501, 960), 96);
    EXPECT_EQ(ScaleForMonitor(1501, 961), 144);
    EXPECT_EQ(AcceptedScaleOr96(168), 168);
    EXPECT_EQ(AcceptedScaleOr96(130), 96);
}

TEST(WindowFit, TabTableBlockIsByteExact) {
    const std::vector<std::uint8_t> block = MakeTabTableBlock();
    ASSERT_EQ(block.size(), 1024u);
    const std::uint32_t expected[] = {2,      3,      0, 2, 4,  // header and row count
                                      0x320F, 0x221C, 2,        // mouse
                                      0x320F, 0x5059, 1,        // keyboard
                                      0x320F, 0x1004, 3,        // mouse pad
                                      0x0C76, 0x1630, 7};       // headset
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const std::uint32_t value = block[4 * i] | block[4 * i + 1] << 8 | block[4 * i + 2] << 16 |
                                    static_cast<std::uint32_t>(block[4 * i + 3]) << 24;
        EXPECT_EQ(value, expected[i]) << "value " << i;
    }
    for (std::size_t i = 4 * std::size(expected); i < block.size(); ++i)
        ASSERT_EQ(block[i], 0) << i;
}

TEST(WindowFit, CopyBlockNeverOverrunsAndZeroesTheRest) {
    std::array<std::uint8_t, 8> buffer;
    buffer.fill(0xEE);
    const std::uint8_t big[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    CopyBlock(buffer, big, sizeof big);
    EXPECT_EQ(buffer[7], 8);
    const std::uint8_t small[3] = {9, 9, 9};
    CopyBlock(buffer, small, sizeof small);
    EXPECT_EQ(buffer[2], 9);
    EXPECT_EQ(buffer[3], 0);
    EXPECT_EQ(buffer[7], 0);
}

}  // namespace
}  // namespace q731
