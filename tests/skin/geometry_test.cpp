// The main window's layout at both scales the program uses: everything the user
// must reach lies inside the window, the title-bar buttons in the caption strip
// without overlapping, and the program's tab buttons and battery panel fit the
// places made for them.

#include "tests/skin/skin_fixture.h"
#include "ui/widgets/buttons.h"

namespace q731::skintest {
namespace {

bool Inside(const UiRect& inner, const UiRect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

std::string Show(const UiRect& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

class MainGeometry : public SkinTest, public ::testing::WithParamInterface<int> {};

TEST_P(MainGeometry, TitleBarButtonsSitInTheCaptionInOrderWithoutOverlap) {
    auto window = Open("XML_MAIN", GetParam());
    CPaintManagerUI& pm = window->Pm();
    EXPECT_EQ(pm.GetInitSize(), (UiSize{1000, 640}));
    const UiSize client = pm.GetClientSize();
    const UiRect clientRect{0, 0, client.cx, client.cy};
    const int captionBottom = pm.Scale(pm.GetCaptionRect().bottom);
    ASSERT_GT(captionBottom, 0);

    const char* order[] = {"control_light_status",
                           "gamemodebtn",
                           "cloudbtn",
                           "smarteyesbtn",
                           "skinbtn",
                           "setbtn",
                           "minbtn",
                           "maxbtn",
                           "closebtn"};
    int lastRight = 0;
    for (const char* name : order) {
        CControlUI* button = window->Find(name);
        ASSERT_TRUE(button) << name;
        const UiRect& rc = button->GetPos();
        EXPECT_FALSE(rc.IsEmpty()) << name;
        EXPECT_TRUE(Inside(rc, {0, 0, client.cx, captionBottom})) << name << Show(rc);
        EXPECT_GE(rc.left, lastRight) << name << " overlaps the button before it";
        lastRight = rc.right;
    }
    EXPECT_TRUE(Inside(window->Find("title_label")->GetPos(), clientRect));
    EXPECT_LT(window->Find("title_label")->GetPos().right,
              window->Find("control_light_status")->GetPos().left);

    // Maximised, "restorebtn" takes the place of "maxbtn".
    window->Find("maxbtn")->SetVisible(false);
    window->Find("restorebtn")->SetVisible(true);
    Relayout(*window);
    const UiRect& restore = window->Find("restorebtn")->GetPos();
    EXPECT_TRUE(Inside(restore, {0, 0, client.cx, captionBottom})) << Show(restore);
    EXPECT_LE(restore.right, window->Find("closebtn")->GetPos().left);
}

TEST_P(MainGeometry, NoDeviceScreenCoversTheDeviceAreaWithItsButtonCentred) {
    auto window = Open("XML_MAIN", GetParam());
    const UiRect& screen = window->Find("No_device_Link")->GetPos();
    EXPECT_EQ(screen, window->Find("device_area")->GetPos());
    EXPECT_GE(screen.top, window->Pm().Scale(window->Pm().GetCaptionRect().bottom));
    EXPECT_EQ(screen.bottom, window->Pm().GetClientSize().cy);

    const UiRect& ok = window->Find("nodevice_ok_btn")->GetPos();
    EXPECT_FALSE(ok.IsEmpty());
    EXPECT_TRUE(Inside(ok, screen)) << Show(ok);
    EXPECT_LE(std::abs((ok.left + ok.right) - (screen.left + screen.right)), 2);
    // A click on the button reaches it, not the pages underneath.
    UiPoint middle{(ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2};
    EXPECT_EQ(window->Pm().FindControl(middle), window->Find("nodevice_ok_btn"));

    window->Find("No_device_Link")->SetVisible(false);
    window->Find("setting_progress")->SetVisible(true);
    Relayout(*window);
    const UiSize client = window->Pm().GetClientSize();
    const UiRect& progress = window->Find("setting_progress")->GetPos();
    EXPECT_FALSE(progress.IsEmpty());
    EXPECT_TRUE(Inside(progress, {0, 0, client.cx, client.cy})) << Show(progress);
}

TEST_P(MainGeometry, PageTabsFitTheWindow) {
    auto window = Open("XML_MAIN", GetParam());
    window->Find("No_device_Link")->SetVisible(false);
    Relayout(*window);
    const UiRect& row = window->Find("page_tab_bar")->GetPos();
    for (const char* name :
         {"deng_Op_tab", "key_Op_tab", "macro_Op_tab", "system_Op_tab", "cursor_Op_tab",
          "6533_voice_Op_tab", "magic_Op_tab", "Virtual7.1_Op_tab"}) {
        const UiRect& rc = window->Find(name)->GetPos();
        EXPECT_FALSE(rc.IsEmpty()) << name;
        EXPECT_TRUE(Inside(rc, row)) << name << Show(rc);
    }
}

TEST_P(MainGeometry, FourDeviceTabsAndABatteryPanelFitTheDeviceBar) {
    auto window = Open("XML_MAIN", GetParam());
    CPaintManagerUI& pm = window->Pm();
    window->Find("No_device_Link")->SetVisible(false);
    std::vector<CControlUI*> tabs;
    for (int i = 0; i < 4; ++i)
        tabs.push_back(
            AddSubLayout(*window, "XML/CustomControlXML/DeviceOption.xml", "device_select_layout"));
    CControlUI* panel =
        AddSubLayout(*window, "XML/CustomControlXML/MpDevicePower.xml", "device_power_switch");
    ASSERT_TRUE(panel);
    pm.FindSubControlByName(panel, "device_wuxian_logo")->SetVisible(true);
    Relayout(*window);

    const UiRect& row = window->Find("device_select_layout")->GetPos();
    for (CControlUI* tab : tabs) {
        ASSERT_TRUE(tab);
        const UiRect& rc = tab->GetPos();
        EXPECT_EQ(rc.Width(), pm.Scale(148));
        EXPECT_TRUE(Inside(rc, row)) << Show(rc) << " in " << Show(row);
        for (const char* part : {"device_select", "device_select_name", "synchro_device_select"})
            EXPECT_TRUE(Inside(pm.FindSubControlByName(tab, part)->GetPos(), rc)) << part;
    }
    EXPECT_LE(row.right, window->Find("device_select_next")->GetPos().left);

    const UiRect& panelRect = panel->GetPos();
    EXPECT_TRUE(Inside(panelRect, window->Find("device_power_switch")->GetPos()));
    for (const char* part : {"device_power_value", "device_wuxian_logo", "device_Power_progress",
                             "device_power_status", "device_phone_type"}) {
        const UiRect& rc = pm.FindSubControlByName(panel, part)->GetPos();
        EXPECT_FALSE(rc.IsEmpty()) << part;
        EXPECT_TRUE(Inside(rc, panelRect)) << part << Show(rc);
    }
    // The level bar lies inside the battery picture's body.
    EXPECT_TRUE(Inside(pm.FindSubControlByName(panel, "device_Power_progress")->GetPos(),
                       pm.FindSubControlByName(panel, "device_power_status")->GetPos()));
}

INSTANTIATE_TEST_SUITE_P(AtBothScales, MainGeometry, ::testing::Values(96, 144),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return std::to_string(param.param) + "dpi";
                         });

}  // namespace
}  // namespace q731::skintest
