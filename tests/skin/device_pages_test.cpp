// The device pages as the main window builds them: each holds, once and with
// the class the program expects, every control the program looks up by name,
// in the tab page that the page tabs switch to; the pictures carry a button for
// every key and LED; everything fits the page area at both scales; and every
// text the pages, the key tables and the lighting defaults name is in every
// language.

#include <json/json.h>

#include <fstream>
#include <map>
#include <set>

#include "app/device_tabs.h"
#include "devices/lighting/keyboard_layout.h"
#include "profiles/profile_paths.h"
#include "tests/skin/skin_fixture.h"
#include "tools/q731-keyboard-layout/key_names.h"
#include "ui/widgets/list.h"

namespace q731::skintest {
namespace {

enum PageRow { kMouse = 0, kKeyboard = 1, kMousePad = 2 };

std::string PageLayout(PageRow row) {
    static constexpr Product kProducts[] = {Product::Mouse, Product::Keyboard, Product::MousePad};
    std::string path(TabOf(kProducts[row]).pageLayout);
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

std::vector<CControlUI*> AllNamed(CControlUI* root, std::string_view name) {
    std::vector<CControlUI*> found;
    root->FindControl([&](CControlUI* c) {
        if (c->GetName() == name) found.push_back(c);
        return false;
    });
    return found;
}

bool Inside(const UiRect& inner, const UiRect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool Within(const CControlUI* control, const CControlUI* ancestor) {
    for (; control; control = control->GetParent()) {
        if (control == ancestor) return true;
    }
    return false;
}

// Which page of `tab` holds `control`; -1 when none does.
int PageOf(CTabLayoutUI* tab, const CControlUI* control) {
    for (int i = 0; i < tab->GetCount(); ++i) {
        if (Within(control, tab->GetItemAt(i))) return i;
    }
    return -1;
}

std::vector<CControlUI*> ButtonsOf(CControlUI* picture) {
    std::vector<CControlUI*> buttons;
    auto* panel = dynamic_cast<CContainerUI*>(picture);
    for (int i = 0; panel && i < panel->GetCount(); ++i) {
        if (panel->GetItemAt(i)->GetClass() == "DeviceKeyButton")
            buttons.push_back(panel->GetItemAt(i));
    }
    return buttons;
}

std::set<std::string> Names(const std::vector<CControlUI*>& controls) {
    std::set<std::string> names;
    for (CControlUI* c : controls)
        names.insert(c->GetName());
    return names;
}

std::set<std::string> Numbered(const std::string& prefix, int count) {
    std::set<std::string> names;
    for (int i = 0; i < count; ++i)
        names.insert(prefix + std::to_string(i));
    return names;
}

class DevicePages : public SkinTest {
public:
    // The main window with the page of `row` in its page switcher, shown.
    CControlUI* OpenPage(PageRow row, int dpi = 96) {
        window_ = Open("XML_MAIN", dpi);
        window_->Find("No_device_Link")->SetVisible(false);
        CControlUI* page = AddSubLayout(*window_, PageLayout(row), "device_switch");
        Relayout(*window_);
        return page;
    }
    CControlUI* One(CControlUI* page, std::string_view name) {
        auto found = AllNamed(page, name);
        EXPECT_EQ(found.size(), 1u) << name;
        return found.empty() ? nullptr : found.front();
    }
    template <typename T>
    T* One(CControlUI* page, std::string_view name) {
        return dynamic_cast<T*>(One(page, name));
    }
    // Every name once, with its class ("" = any class: a panel yet to come).
    void ExpectOnce(CControlUI* page, const std::map<std::string, std::string>& names) {
        for (const auto& [name, className] : names) {
            CControlUI* control = One(page, name);
            if (control && !className.empty()) {
                EXPECT_EQ(control->GetClass(), className) << name;
            }
        }
    }
    // The page the tabs switch to for `name`: device_function_switch page `outer`
    // and, when `inner` is not -1, device_key_function_switch page `inner`.
    void ExpectOnPage(CControlUI* page, std::string_view name, int outer, int inner = -1) {
        CControlUI* control = One(page, name);
        if (!control) return;
        EXPECT_EQ(PageOf(One<CTabLayoutUI>(page, "device_function_switch"), control), outer)
            << name;
        if (inner >= 0) {
            EXPECT_EQ(PageOf(One<CTabLayoutUI>(page, "device_key_function_switch"), control), inner)
                << name;
        }
    }
    // Selects every page in turn: each visible control lies inside its parent,
    // and the page inside the window's page area.
    void ExpectEverythingFits(CControlUI* page) {
        const UiRect area = window_->Find("device_switch")->GetPos();
        auto* outer = One<CTabLayoutUI>(page, "device_function_switch");
        auto* inner = One<CTabLayoutUI>(page, "device_key_function_switch");
        for (int o = 0; o < outer->GetCount(); ++o) {
            for (int i = 0; i < (o == 0 ? inner->GetCount() : 1); ++i) {
                outer->SelectItem(o);
                inner->SelectItem(i);
                Relayout(*window_);
                EXPECT_TRUE(Inside(page->GetPos(), area));
                page->FindControl([&](CControlUI* c) {
                    CControlUI* parent = c->GetParent();
                    if (c == page || !c->IsVisible() || dynamic_cast<CComboUI*>(parent))
                        return false;
                    EXPECT_TRUE(Inside(c->GetPos(), parent->GetPos()))
                        << c->GetName() << " in " << parent->GetName() << " on page " << o << "/"
                        << i;
                    return false;
                });
            }
        }
    }
    std::unique_ptr<SkinWindow> window_;
};

// Controls of the two panels, which every page holding them holds once.
const std::map<std::string, std::string> kLightingNames = {
    {"LightControlItem", "LightControl"},
    {"light_combo_modeSelect", "ComboUI"},
    {"light_combo_custommodeSelect", "ComboUI"},
    {"light_combo_ZZCCmodeSelect", "ComboUI"},
    {"deng_light_slider", "SliderUI"},
    {"deng_speed_slider", "SliderUI"},
    {"deng_FXL_check", "OptionUI"},
    {"deng_FXR_check", "OptionUI"},
    {"deng_7color_check", "CheckBoxUI"},
    {"deng_Color_Pallet", "ColorPaletteUI"},
    {"deng_colordp_btn", "ButtonUI"},
    {"deng_edit_R", "EditUI"},
    {"deng_edit_G", "EditUI"},
    {"deng_edit_B", "EditUI"},
    {"color_option_0", "ButtonUI"},
    {"color_option_7", "ButtonUI"},
    {"custom_bright_color_btn", "ButtonUI"},
    {"custom_off_color_btn", "ButtonUI"},
    {"deng_same_mode", "ButtonUI"},
    {"light_audio_card", "VerticalLayoutUI"},
    {"light_combo_audiomodeSelect", "ComboUI"},
    {"audio_FgColor_check", "OptionUI"},
    {"audio_BkColor_check", "OptionUI"},
    {"deng_7audiocolor_check", "CheckBoxUI"},
    {"deng_audioedit_R", "EditUI"},
    {"deng_audioedit_G", "EditUI"},
    {"deng_audioedit_B", "EditUI"},
    {"deng_audioColor_Pallet", "ColorPaletteUI"},
    {"deng_audiocolordp_btn", "ButtonUI"},
    {"light_audiocolor_layout", "HorizontalLayoutUI"},
    {"audiocolorpallet_layout", "HorizontalLayoutUI"},
    {"music_setting_btn", "ButtonUI"},
    {"Close_bkColor_btn", "ButtonUI"},
};

// The key-assignment lists by category (the function list's user data) and
// how many entries the program's code tables give each.
struct Category {
    int number;
    const char* list;
    int entries;
};
constexpr Category kCategories[] = {
    {1, "keyset_mousekey_combo", 5},
    {2, "keyset_mouseswing_combo", 2},
    {3, "keyset_mousewheel_combo", 2},
    {4, "keyset_mousedpi_combo", 3},
    {6, "keyset_keyboard_text_edit", -1},
    {7, "keyset_media_combo", 18},
    {8, "keyset_system_combo", 3},
    {9, "keyset_macro_over_combo", 5},
    {10, "keyset_gunkey_combo", 4},
    {11, "keyset_combokey_combo", 11},
    {2, "keyset_mouseswing_num_edit", -1},
    {3, "keyset_mousewheel_speed_edit", -1},
    {5, "keyset_mousefire_interval_edit", -1},
    {5, "keyset_mousefire_num_edit", -1},
    {9, "keyset_macro_combo", 0},
    {9, "keyset_macro_cycle_edit", -1},
};

void ExpectKeyAssignmentPanel(DevicePages& test, CControlUI* page) {
    test.ExpectOnce(page, {{"KeySetControlItem", "KeySetControl"},
                           {"key_butt_keysave", "ButtonUI"},
                           {"key_butt_keycancel", "ButtonUI"},
                           {"key_butt_prosave", "ButtonUI"},
                           {"key_butt_keydefalut", "ButtonUI"},
                           {"default_btn", "ButtonUI"},
                           {"keyset_mouseswing_delay_edit", "EditUI"},
                           {"keyset_mouseswing_speed_edit", "EditUI"},
                           {"keyset_mousewheel_num_edit", "EditUI"},
                           {"keyset_mousewheel_delay_edit", "EditUI"}});
    // Entry n of the function list is category n, and page n of the category
    // switch holds that category's controls.
    auto* functions = test.One<CComboUI>(page, "keyset_function_combo");
    auto* categories = test.One<CTabLayoutUI>(page, "keyset_function_tab");
    ASSERT_TRUE(functions && categories);
    ASSERT_EQ(functions->GetCount(), 12);
    EXPECT_EQ(categories->GetCount(), 12);
    for (int i = 0; i < functions->GetCount(); ++i)
        EXPECT_EQ(functions->GetItemAt(i)->GetUserData(), std::to_string(i));
    for (const Category& category : kCategories) {
        CControlUI* control = test.One(page, category.list);
        if (!control) continue;
        EXPECT_EQ(PageOf(categories, control), category.number) << category.list;
        if (category.entries >= 0) {
            auto* list = dynamic_cast<CComboUI*>(control);
            ASSERT_TRUE(list) << category.list;
            EXPECT_EQ(list->GetCount(), category.entries) << category.list;
        }
    }
    std::set<std::string> groups;
    for (int i = 0; i < 5; ++i) {
        auto* option = test.One<COptionUI>(page, "key_ComBox_check_" + std::to_string(i));
        ASSERT_TRUE(option);
        groups.insert(option->GetGroup());
    }
    EXPECT_EQ(groups.size(), 1u) << "the five modifier options are one group";
    EXPECT_FALSE(test.One(page, "keyset_macro_cycle_edit")->IsVisible())
        << "the count box shows only with the counted repeat";
}

// Options named prefix0 ... prefix(count - 1), all of one group of their own.
void ExpectOptionGroup(DevicePages& test, CControlUI* page, const std::string& prefix, int count) {
    std::set<std::string> groups;
    for (int i = 0; i < count; ++i) {
        auto* option = test.One<COptionUI>(page, prefix + std::to_string(i));
        ASSERT_TRUE(option) << prefix << i;
        EXPECT_EQ(option->GetClass(), "OptionUI") << prefix << i;
        groups.insert(option->GetGroup());
    }
    EXPECT_EQ(groups.size(), 1u) << prefix;
    EXPECT_FALSE(groups.begin()->empty()) << prefix;
    EXPECT_TRUE(AllNamed(page, prefix + std::to_string(count)).empty()) << prefix;
}

TEST_F(DevicePages, MousePageHoldsWhatTheProgramLooksUp) {
    CControlUI* page = OpenPage(kMouse);
    ASSERT_TRUE(page);
    ExpectOnce(page, kLightingNames);
    ExpectKeyAssignmentPanel(*this, page);
    ExpectOnce(page, {{"device_function_switch", "TabLayoutUI"},
                      {"device_key_function_switch", "TabLayoutUI"},
                      {"mouse_device_seting_layout", "TabLayoutUI"},
                      {"mouse_option_layout", "VerticalLayoutUI"},
                      {"device_setkeyinfo_list", "ListUI"},
                      {"device_tishi_info", "LabelUI"},
                      {"text_test", "LabelUI"},
                      {"pointer_precision_check", "CheckBoxUI"},
                      {"scrolls_page_check", "CheckBoxUI"},
                      {"pointer_speed_slider", "SliderUI"},
                      {"scroll_speed_slider", "SliderUI"},
                      {"double_click_slider", "SliderUI"},
                      {"DeviceProfileItem", ""},
                      {"MacroControlItem", ""},
                      {"ShootControlItem", ""}});
    EXPECT_FALSE(One(page, "text_test")->IsVisible());
    ExpectOnPage(page, "LightControlItem", 0, 0);
    ExpectOnPage(page, "KeySetControlItem", 0, 1);
    ExpectOnPage(page, "MacroControlItem", 1);
    ExpectOnPage(page, "pointer_speed_slider", 2);
    ExpectOnPage(page, "DPI_slider_0", 3);
    ExpectOnPage(page, "polling_rate_option_0", 3);
    ExpectOptionGroup(*this, page, "polling_rate_option_", 5);
    ExpectOptionGroup(*this, page, "DPI_select_check_", 5);
    ExpectOptionGroup(*this, page, "mouse_device_seting_option_", 5);
    // The shooting panel, on the function page after the DPI page.
    ExpectOnPage(page, "ShootControlItem", 4);
    ExpectOptionGroup(*this, page, "shoot_gun_op_", 4);
    ExpectOptionGroup(*this, page, "bullet_op_", 30);
    ExpectOnce(page, {{"shootdate_import_btn", "ButtonUI"},
                      {"shootdate_export_btn", "ButtonUI"},
                      {"shootdate_save_btn", "ButtonUI"},
                      {"shootdate_reset_btn", "ButtonUI"},
                      {"shoot_image_display_switch", "TabLayoutUI"},
                      {"bullet_edit_layout", "VerticalLayoutUI"},
                      {"bullet_select_index", "LabelUI"},
                      {"bullet_selected_prev", "ButtonUI"},
                      {"bullet_selected_next", "ButtonUI"},
                      {"bullet_x_check", "CheckBoxUI"},
                      {"bullet_y_check", "CheckBoxUI"},
                      {"bullet_x_eidt", "EditUI"},
                      {"bullet_y_eidt", "EditUI"},
                      {"bullet_delay_eidt", "EditUI"},
                      {"keyset_gunkey_shoot_btn", "ButtonUI"}});
    EXPECT_EQ(One<CTabLayoutUI>(page, "shoot_image_display_switch")->GetCount(),
              kShootingSlotCount);
    for (int i = 0; i < 5; ++i) {
        const std::string n = std::to_string(i);
        CControlUI* row = One(page, "DPI_layout_" + n);
        ExpectOnce(page, {{"DPI_layout_" + n, "HorizontalLayoutUI"},
                          {"DPI_enable_check_" + n, "CheckBoxUI"},
                          {"DPI_slider_" + n, "SliderUI"},
                          {"DPI_edit_" + n, "EditUI"},
                          {"DPI_color_option_" + n, "ButtonUI"}});
        // A disabled stage disables its row; its switch must stay usable.
        EXPECT_FALSE(Within(One(page, "DPI_enable_check_" + n), row));
        EXPECT_TRUE(Within(One(page, "DPI_slider_" + n), row));
    }
    // One picture per settings view, each with the eleven buttons; the first
    // (the device picture) also with the fifteen LEDs and the logo.
    auto* views = One<CTabLayoutUI>(page, "mouse_device_seting_layout");
    ASSERT_TRUE(views);
    ASSERT_EQ(views->GetCount(), 5);
    for (int v = 0; v < views->GetCount(); ++v) {
        CControlUI* picture = views->GetItemAt(v);
        EXPECT_EQ(picture->GetClass(), "SelectPanel") << v;
        std::set<std::string> expected = Numbered("key_", 11);
        if (v == 0) expected.merge(Numbered("light_0_", 15));
        EXPECT_EQ(Names(ButtonsOf(picture)), expected) << v;
        for (CControlUI* button : ButtonsOf(picture))
            EXPECT_TRUE(Inside(button->GetPos(), picture->GetPos())) << button->GetName();
    }
    int logos = 0;
    page->FindControl([&](CControlUI* c) {
        if (EqualsNoCase(c->GetToolTip(), "logo")) {
            ++logos;
            EXPECT_EQ(c->GetName(), "light_0_14");
        }
        return false;
    });
    EXPECT_EQ(logos, 1);
}

TEST_F(DevicePages, KeyboardPageHoldsWhatTheProgramLooksUp) {
    CControlUI* page = OpenPage(kKeyboard);
    ASSERT_TRUE(page);
    ExpectOnce(page, kLightingNames);
    ExpectKeyAssignmentPanel(*this, page);
    ExpectOnce(page, {{"device_function_switch", "TabLayoutUI"},
                      {"device_key_function_switch", "TabLayoutUI"},
                      {"keyboard_device_key_light", "SelectPanel"},
                      {"winlockflag_option", "CheckBoxUI"},
                      {"wflag_option", "CheckBoxUI"},
                      {"6flag_option", "CheckBoxUI"},
                      {"repeat_rate_slider", "SliderUI"},
                      {"repeat_delay_time_label1", "LabelUI"},
                      {"repeat_input_richedit", "RichEditUI"},
                      {"reset_repeat_btn", "ButtonUI"},
                      {"text_test", "LabelUI"},
                      {"DeviceProfileItem", ""},
                      {"MacroControlItem", ""}});
    ExpectOnPage(page, "keyboard_device_key_light", 0);
    ExpectOnPage(page, "LightControlItem", 0, 0);
    ExpectOnPage(page, "KeySetControlItem", 0, 1);
    ExpectOnPage(page, "MacroControlItem", 1);
    ExpectOnPage(page, "winlockflag_option", 3);
    ExpectOnPage(page, "repeat_rate_slider", 3);
    ExpectOptionGroup(*this, page, "polling_rate_option_", 4);
    ExpectOptionGroup(*this, page, "repeat_delay_check_", 4);
}

TEST_F(DevicePages, MousePadPageHoldsItsPictureAndLightingPanel) {
    CControlUI* page = OpenPage(kMousePad);
    ASSERT_TRUE(page);
    ExpectOnce(page, kLightingNames);
    ExpectOnce(page, {{"device_function_switch", "TabLayoutUI"},
                      {"device_key_function_switch", "TabLayoutUI"},
                      {"mousepad_device_key_light", "SelectPanel"},
                      {"text_test", "LabelUI"},
                      {"DeviceProfileItem", ""}});
    ExpectOnPage(page, "LightControlItem", 0, 0);
    // The settings tab of a pad shows inner page 2: it must not be the panel.
    EXPECT_GE(One<CTabLayoutUI>(page, "device_key_function_switch")->GetCount(), 3);
    CControlUI* picture = One(page, "mousepad_device_key_light");
    EXPECT_EQ(Names(ButtonsOf(picture)), Numbered("light_", 15));
}

// The keyboard picture has one button per key of the layout tables, named and
// captioned after it, the keys apart from each other and inside the picture.
TEST_F(DevicePages, KeyboardPictureHasOneButtonPerKeyOfTheLayoutTables) {
    std::set<int> keys;
    for (std::uint8_t key : kWideKeyMatrix) {
        if (key != kEmptyKeyCell) keys.insert(key);
    }
    for (std::uint8_t key : kKeyMatrix) {
        if (key != kEmptyKeyCell) keys.insert(key);
    }
    for (int dpi : {96, 144}) {
        CControlUI* page = OpenPage(kKeyboard, dpi);
        CControlUI* picture = One(page, "keyboard_device_key_light");
        ASSERT_TRUE(picture);
        std::vector<CControlUI*> buttons = ButtonsOf(picture);
        std::set<std::string> expected;
        for (int key : keys)
            expected.insert("key_" + std::to_string(key));
        EXPECT_EQ(Names(buttons), expected);
        for (CControlUI* button : buttons) {
            const int key = std::stoi(button->GetName().substr(4));
            EXPECT_EQ(button->GetUserData(), "light_" + std::to_string(key));
            EXPECT_EQ(button->GetRawText(), KeyboardKeyNameId(key));
            EXPECT_TRUE(button->IsResourceText());
            const UiRect& rc = button->GetPos();
            EXPECT_TRUE(Inside(rc, picture->GetPos())) << button->GetName();
            for (CControlUI* other : buttons) {
                const UiRect& o = other->GetPos();
                const bool apart = rc.right <= o.left || o.right <= rc.left || rc.bottom <= o.top ||
                                   o.bottom <= rc.top;
                EXPECT_TRUE(other == button || apart)
                    << button->GetName() << " overlaps " << other->GetName();
            }
        }
    }
}

TEST_F(DevicePages, EveryPageFitsThePageAreaAtBothScales) {
    for (int dpi : {96, 144}) {
        for (PageRow row : {kMouse, kKeyboard, kMousePad}) {
            SCOPED_TRACE(PageLayout(row) + " at " + std::to_string(dpi));
            CControlUI* page = OpenPage(row, dpi);
            ASSERT_TRUE(page);
            ExpectEverythingFits(page);
        }
    }
}

TEST_F(DevicePages, ImagesTheProgramSetsAreInTheSkin) {
    for (const char* image : {"Control/SliderBar_BK1.png", "Control/SliderBar1_Thumb.png",
                              "Control/SliderBar2_Thumb.png", "common/base1.png"}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(kSkinDir / image)) << image;
    }
}

std::set<std::string> LanguageIds(const std::string& file) {
    std::set<std::string> ids;
    for (const XmlElement& item : LoadSkinXml(file).children) {
        if (const std::string* id = item.Attribute("id")) ids.insert(*id);
    }
    return ids;
}

// Texts the program asks for by id, beyond those the layouts name.
TEST_F(DevicePages, EveryTextTheProgramAsksForIsInEveryLanguage) {
    std::set<std::string> needed = {"light_set_right_to_left_text",
                                    "light_set_left_to_right_text",
                                    "light_set_clockwise_text",
                                    "light_set_anticlockwise_text",
                                    "light_set_up_to_down_text",
                                    "light_set_down_to_up_text",
                                    "light_set_inside_to_outside_text",
                                    "light_set_outside_to_inside_text",
                                    "mouse_key_left",
                                    "mouse_key_right",
                                    "mouse_key_middle",
                                    "mouse_key_forward",
                                    "mouse_key_back",
                                    "mouse_key_DPI_add",
                                    "mouse_key_DPI_sub",
                                    "mouse_key_DPI_loop",
                                    "keyboard_key_GM",
                                    "mouse_key_M8_key",
                                    "mouse_key_fire_key",
                                    "mouse_key_left_Swing",
                                    "mouse_key_right_Swing",
                                    "mouse_key_up_Swing",
                                    "mouse_key_down_Swing",
                                    "mouse_key_DPI_shift",
                                    "mouse_key_smart_key",
                                    "close_text",
                                    "show_window",
                                    "custem_cut",
                                    "custem_copy",
                                    "custem_paste",
                                    "custem_undo",
                                    "custem_select_all",
                                    "custem_find",
                                    "custem_new",
                                    "custem_save",
                                    "custem_open",
                                    "system_power",
                                    "system_sleep",
                                    "system_wake_up",
                                    "gun_1_txt",
                                    "gun_2_txt",
                                    "gun_3_txt",
                                    "gun_4_txt",
                                    "mouse_move_to_left_text",
                                    "mouse_move_to_right_text",
                                    "mouse_move_to_up_text",
                                    "mouse_move_to_down_text",
                                    "Key_Set",
                                    "Light_Set",
                                    "Overall_Light_Set",
                                    "Repeat_Delay_Time",
                                    "Repeat_input_text"};
    for (const KeyListRow& row : kKeyList)
        needed.insert(std::string(row.nameKey));
    // The lighting defaults' mode and area names are shown as ids.
    std::ifstream in(kDefaultDataDir / "default_light.json");
    Json::Value doc;
    ASSERT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), in, &doc, nullptr));
    for (const char* section : {"DefaultLightName", "AreaLightName"}) {
        for (const Json::Value& kind : doc[section]) {
            for (const Json::Value& mode : kind)
                needed.insert(mode["LightName"].asString());
        }
    }
    for (const std::string& file : kLanguageFiles) {
        const std::set<std::string> ids = LanguageIds(file);
        for (const std::string& id : needed)
            EXPECT_TRUE(ids.count(id)) << file << " lacks " << id;
    }
}

}  // namespace
}  // namespace q731::skintest
