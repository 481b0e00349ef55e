// Every layout of the skin builds under the toolkit, uses only attributes its
// controls understand, and holds the names the program looks up, with the
// classes it expects.

#include <map>
#include <set>

#include "tests/skin/skin_fixture.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/menu.h"
#include "ui/widgets/range.h"
#include "ui/widgets/resource_manager.h"

namespace q731::skintest {
namespace {

bool IsWindowSetting(std::string_view name) {
    return EqualsNoCase(name, "Font") || EqualsNoCase(name, "Default") ||
           EqualsNoCase(name, "Image") || EqualsNoCase(name, "Style");
}

const std::set<std::string> kWindowAttributes = {"size", "caption", "sizebox", "mininfo"};
const std::set<std::string> kFontAttributes = {"id",        "name",   "size",   "bold",
                                               "underline", "italic", "shared", "default"};

TEST_F(SkinTest, EveryLayoutBuildsWithTheToolkit) {
    for (const std::string& file : kLayouts) {
        CDialogBuilder builder;
        auto root = builder.Create(file);
        EXPECT_TRUE(root) << file << ": " << builder.GetLastError();
    }
    CDialogBuilder builder;
    EXPECT_TRUE(builder.Create("XML_MAIN")) << "res.xml must name the main layout";
}

TEST_F(SkinTest, EveryAttributeIsOneItsControlUnderstands) {
    for (const std::string& file : kLayouts) {
        ForEachElement(LoadSkinXml(file), [&](const XmlElement& element) {
            if (EqualsNoCase(element.name, "Window")) {
                for (const auto& [key, value] : element.attributes)
                    EXPECT_TRUE(kWindowAttributes.count(ToLower(key))) << file << ": " << key;
                return;
            }
            if (EqualsNoCase(element.name, "Font")) {
                for (const auto& [key, value] : element.attributes)
                    EXPECT_TRUE(kFontAttributes.count(ToLower(key))) << file << ": " << key;
                return;
            }
            if (IsWindowSetting(element.name)) return;
            if (EqualsNoCase(element.name, "Include")) {
                const std::string* source = element.Attribute("source");
                EXPECT_TRUE(source && ReadSkinFile(*source)) << file << ": include of nothing";
                return;
            }
            auto control = CreateForElement(element.name);
            ASSERT_TRUE(control) << file << ": no control for <" << element.name << ">";
            for (const auto& [key, value] : element.attributes) {
                EXPECT_TRUE(control->SetAttribute(key, value))
                    << file << ": <" << element.name << "> does not know " << key;
            }
        });
    }
}

TEST_F(SkinTest, SubLayoutsHaveNoWindowElement) {
    // They are built into the main window's manager: a <Window> there would
    // resize the main window and replace its fonts.
    for (const std::string& file : kSubLayouts) {
        XmlElement root = LoadSkinXml(file);
        EXPECT_FALSE(EqualsNoCase(root.name, "Window")) << file;
    }
}

TEST_F(SkinTest, OnlyTheMainWindowDeclaresFonts) {
    // Fonts are shared between windows and their family follows the language:
    // a secondary window declaring its own would reset them when it opens.
    for (const std::string& file : kLayouts) {
        if (file == "main.xml") continue;
        XmlElement root = LoadSkinXml(file);
        for (const XmlElement& child : root.children)
            EXPECT_FALSE(EqualsNoCase(child.name, "Font")) << file;
    }
    bool mainHasDefault = false;
    for (const XmlElement& child : LoadSkinXml("main.xml").children) {
        if (const std::string* isDefault = child.Attribute("default"))
            mainHasDefault = mainHasDefault || ParseBool(*isDefault);
    }
    EXPECT_TRUE(mainHasDefault);
}

TEST_F(SkinTest, ControlNamesAreUniqueInEachWindow) {
    for (const std::string& file : kLayouts) {
        std::map<std::string, int> seen;
        ForEachElement(LoadSkinXml(file), [&](const XmlElement& element) {
            if (IsWindowSetting(element.name)) return;  // a font's name is its family
            const std::string* name = element.Attribute("name");
            if (!name || name->empty()) return;
            // Every view of the mouse shows its buttons again; the program binds
            // them by walking the pictures, never by looking a name up.
            const bool mouseButton = file == "XML/DeviceXml/mousedevice.xml" &&
                                     EqualsNoCase(element.name, "DeviceKeyButton") &&
                                     name->starts_with("key_");
            // The skin window's offers share a name; each carries its own value.
            const bool skinOffer =
                file == "skin.xml" && (*name == "skin_image_btn" || *name == "skin_color_btn");
            if (!mouseButton && !skinOffer) ++seen[*name];
        });
        for (const auto& [name, count] : seen)
            EXPECT_EQ(count, 1) << file << ": " << name;
    }
}

struct Expected {
    const char* name;
    const char* className;
};

void ExpectNames(SkinWindow& window, const std::vector<Expected>& rows) {
    for (const Expected& row : rows) {
        CControlUI* control = window.Pm().FindControl(row.name);
        ASSERT_TRUE(control) << row.name;
        EXPECT_EQ(control->GetClass(), row.className) << row.name;
    }
}

TEST_F(SkinTest, MainWindowHoldsEveryNameTheProgramLooksUp) {
    auto window = Open("XML_MAIN");
    ExpectNames(*window, {
                             {"root", "VerticalLayoutUI"},
                             {"closebtn", "ButtonUI"},
                             {"maxbtn", "ButtonUI"},
                             {"restorebtn", "ButtonUI"},
                             {"minbtn", "ButtonUI"},
                             {"skinbtn", "ButtonUI"},
                             {"gamemodebtn", "ButtonUI"},
                             {"cloudbtn", "ButtonUI"},
                             {"smarteyesbtn", "ButtonUI"},
                             {"setbtn", "ButtonUI"},
                             {"control_light_status", "ButtonUI"},
                             {"device_select_layout", "HorizontalLayoutUI"},
                             {"device_switch", "TabLayoutUI"},
                             {"device_power_switch", "TabLayoutUI"},
                             {"No_device_Link", "VerticalLayoutUI"},
                             {"nodevice_ok_btn", "ButtonUI"},
                             {"setting_progress", "ProgressUI"},
                             {"device_select_prev", "ButtonUI"},
                             {"device_select_next", "ButtonUI"},
                         });
    // Tabs, pages and panels are added by the program; the layout brings none.
    for (const char* container : {"device_select_layout", "device_switch", "device_power_switch"})
        EXPECT_EQ(window->Find<CContainerUI>(container)->GetCount(), 0) << container;
}

TEST_F(SkinTest, MainWindowStartsInTheNoDeviceState) {
    auto window = Open("XML_MAIN");
    EXPECT_TRUE(window->Find("No_device_Link")->IsVisible());
    EXPECT_FALSE(window->Find("setting_progress")->IsVisible());
    EXPECT_FALSE(window->Find("restorebtn")->IsVisible());
    EXPECT_TRUE(window->Find("maxbtn")->IsVisible());
    // The label starts as "lighting controlled", the flag's value at start.
    EXPECT_EQ(window->Find("control_light_status")->GetRawText(), "控制灯光");
    EXPECT_TRUE(window->Find("control_light_status")->IsResourceText());
}

TEST_F(SkinTest, PageTabsFormOneGroupApartFromTheDeviceTabs) {
    auto window = Open("XML_MAIN");
    const char* pageTabs[] = {"deng_Op_tab",   "key_Op_tab",       "macro_Op_tab",
                              "system_Op_tab", "cursor_Op_tab",    "6533_voice_Op_tab",
                              "magic_Op_tab",  "Virtual7.1_Op_tab"};
    std::set<std::string> groups;
    for (const char* name : pageTabs) {
        auto* option = window->Find<COptionUI>(name);
        ASSERT_TRUE(option) << name;
        EXPECT_EQ(option->GetClass(), "OptionUI") << name;
        groups.insert(option->GetGroup());
    }
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_FALSE(groups.begin()->empty());
    EXPECT_NE(*groups.begin(), "tab_header_device");

    // Selecting a device tab must not clear the page tab, and the other way round.
    auto* tab =
        AddSubLayout(*window, "XML/CustomControlXML/DeviceOption.xml", "device_select_layout");
    ASSERT_TRUE(tab);
    auto* deviceSelect =
        dynamic_cast<COptionUI*>(window->Pm().FindSubControlByName(tab, "device_select"));
    ASSERT_TRUE(deviceSelect);
    auto* keyTab = window->Find<COptionUI>("key_Op_tab");
    keyTab->Selected(true, false);
    deviceSelect->Selected(true, false);
    EXPECT_TRUE(keyTab->IsSelected());
    EXPECT_FALSE(window->Find<COptionUI>("deng_Op_tab")->IsSelected());
    window->Find<COptionUI>("macro_Op_tab")->Selected(true, false);
    EXPECT_TRUE(deviceSelect->IsSelected());
    EXPECT_FALSE(keyTab->IsSelected());
}

TEST_F(SkinTest, DeviceTabButtonHoldsItsParts) {
    auto window = Open("XML_MAIN");
    auto* first =
        AddSubLayout(*window, "XML/CustomControlXML/DeviceOption.xml", "device_select_layout");
    auto* second =
        AddSubLayout(*window, "XML/CustomControlXML/DeviceOption.xml", "device_select_layout");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->GetClass(), "DeviceOption");
    CPaintManagerUI& pm = window->Pm();
    auto* select = dynamic_cast<COptionUI*>(pm.FindSubControlByName(first, "device_select"));
    auto* synchro =
        dynamic_cast<COptionUI*>(pm.FindSubControlByName(first, "synchro_device_select"));
    auto* name = dynamic_cast<CLabelUI*>(pm.FindSubControlByName(first, "device_select_name"));
    ASSERT_TRUE(select && synchro && name);
    EXPECT_EQ(select->GetGroup(), "tab_header_device");
    EXPECT_TRUE(synchro->GetGroup().empty()) << "each device is synchronised on its own";
    EXPECT_EQ(name->GetClass(), "LabelUI");

    // Two tabs of one group: selecting the second clears the first.
    auto* otherSelect = dynamic_cast<COptionUI*>(pm.FindSubControlByName(second, "device_select"));
    select->Selected(true, false);
    otherSelect->Selected(true, false);
    EXPECT_FALSE(select->IsSelected());
    // The synchronisation marks are independent of each other and of the selection.
    auto* otherSynchro =
        dynamic_cast<COptionUI*>(pm.FindSubControlByName(second, "synchro_device_select"));
    synchro->Selected(true, false);
    otherSynchro->Selected(true, false);
    EXPECT_TRUE(synchro->IsSelected());
    EXPECT_TRUE(otherSelect->IsSelected());

    // A click anywhere on the tab's name selects the tab: the label lets it through.
    window->Find("No_device_Link")->SetVisible(false);
    Relayout(*window);
    const UiRect& rc = name->GetPos();
    EXPECT_EQ(pm.FindControl(UiPoint{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}), select);
}

TEST_F(SkinTest, BatteryPanelHoldsItsParts) {
    auto window = Open("XML_MAIN");
    auto* panel =
        AddSubLayout(*window, "XML/CustomControlXML/MpDevicePower.xml", "device_power_switch");
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->GetClass(), "MpDevicePower");
    CPaintManagerUI& pm = window->Pm();
    const std::vector<Expected> parts = {
        {"device_power_Layout", "HorizontalLayoutUI"}, {"device_power_value", "LabelUI"},
        {"device_wuxian_logo", "ControlUI"},           {"device_Power_progress", "ProgressUI"},
        {"device_power_status", "ControlUI"},          {"device_phone_type", "ControlUI"},
    };
    for (const Expected& part : parts) {
        CControlUI* control = pm.FindSubControlByName(panel, part.name);
        ASSERT_TRUE(control) << part.name;
        EXPECT_EQ(control->GetClass(), part.className) << part.name;
    }
    // The phone picture belongs to a pad, which has no battery: hiding the
    // battery part must leave it showing.
    CControlUI* batteryPart = pm.FindSubControlByName(panel, "device_power_Layout");
    batteryPart->SetVisible(false);
    EXPECT_TRUE(pm.FindSubControlByName(panel, "device_phone_type")->IsVisible());
    auto* progress =
        dynamic_cast<CProgressUI*>(pm.FindSubControlByName(panel, "device_Power_progress"));
    EXPECT_EQ(progress->GetMinValue(), 0);
    EXPECT_EQ(progress->GetMaxValue(), 100);
}

TEST_F(SkinTest, TrayMenuOffersAboutSettingsAndExitInThatOrder) {
    XmlElement root = LoadSkinXml("menu.xml");
    std::vector<std::string> items;
    ForEachElement(root, [&](const XmlElement& element) {
        if (EqualsNoCase(element.name, "MenuElement")) items.push_back(*element.Attribute("name"));
    });
    EXPECT_EQ(items, (std::vector<std::string>{"about_menu", "setwnd_menu", "exit"}));

    // The menu's stated height holds all its rows.
    auto window = Open("menu.xml");
    int bottom = 0;
    window->Pm().GetRoot()->FindControl([&](CControlUI* c) {
        if (dynamic_cast<CMenuElementUI*>(c)) bottom = std::max(bottom, c->GetPos().bottom);
        return false;
    });
    EXPECT_GT(bottom, 0);
    EXPECT_LE(bottom, window->Pm().GetClientSize().cy);
}

TEST_F(SkinTest, AboutWindowHoldsItsControlsAndLooksTextsUp) {
    auto window = Open("AboutWnd.xml");
    EXPECT_EQ(window->Pm().GetInitSize(), (UiSize{800, 572}));
    ExpectNames(*window, {{"closebtn", "ButtonUI"},
                          {"minbtn", "ButtonUI"},
                          {"maxbtn", "ButtonUI"},
                          {"restorebtn", "ButtonUI"},
                          {"homepage_btn", "ButtonUI"},
                          {"menubtn", "ButtonUI"},
                          {"software_ver_label", "LabelUI"},
                          {"text_test", "LabelUI"}});
    CControlUI* textTest = window->Find("text_test");
    EXPECT_FALSE(textTest->IsVisible());
    // The window's way of reading a text: set the id on the hidden label, read it back.
    textTest->SetText("software_rev_text");
    EXPECT_EQ(textTest->GetText(), "软件版本：");
    ASSERT_TRUE(CResourceManager::GetInstance().LoadLanguage("lan_en.xml"));
    EXPECT_EQ(textTest->GetText(), "Software version: ");
}

TEST_F(SkinTest, MessageBoxHoldsItsControls) {
    auto window = Open("XML_MSG");
    ExpectNames(*window, {{"MessageTitle", "LabelUI"},
                          {"MessageText", "LabelUI"},
                          {"confirm_btn", "ButtonUI"},
                          {"cancel_btn", "ButtonUI"},
                          {"closebtn", "ButtonUI"}});
}

TEST_F(SkinTest, ResourceTextsFollowTheLanguage) {
    auto window = Open("XML_MAIN");
    auto& resources = CResourceManager::GetInstance();
    CControlUI* lightTab = window->Find("deng_Op_tab");
    CControlUI* lightStatus = window->Find("control_light_status");
    EXPECT_EQ(lightTab->GetText(), "灯光");
    ASSERT_TRUE(resources.LoadLanguage("lan_en.xml"));
    EXPECT_EQ(lightTab->GetText(), "Lighting");
    EXPECT_EQ(lightStatus->GetText(), "Lighting: on");
    // The program writes the two state words itself; they are ids as well.
    lightStatus->SetText("不控制灯光");
    EXPECT_EQ(lightStatus->GetText(), "Lighting: off");
    EXPECT_EQ(window->Find("closebtn")->GetToolTip(), "Close to tray");
}

}  // namespace
}  // namespace q731::skintest
