// What the page's controls do to the device: each lighting control ends in one
// settings write the firmware holds, the key page stores, saves, restores and
// refuses as the user expects, and the page shows what the device holds.

#include "tests/ui_pages/page_fixture.h"

namespace q731 {
namespace {

using MousePageTest = PageTest<CVexloMouseDevice>;
using KeyboardPageTest = PageTest<CVexloKeyboardDevice>;

int EnterConfigs(const std::vector<Bytes>& frames) {
    int sessions = 0;
    for (const Bytes& frame : frames)
        sessions += frame[3] == 0x01 ? 1 : 0;
    return sessions;
}

TEST_F(MousePageTest, EachLightingControlEndsInOneSettingsWrite) {
    Open();
    CLightControlUI& panel = *page_->LightPanel();
    struct Case {
        std::string what;
        std::function<PageEvent()> act;
        std::size_t byte;  // of the settings block
        int value;
        bool clearsSync;
    };
    auto setText = [this](const char* name, const char* text) {
        Find(name)->SetText(text);
        return Event(PageNotify::KillFocus, name);
    };
    const std::vector<Case> cases = {
        {"mode",
         [&] {
             panel.ModeList()->SelectItem(3, false, false);
             return Event(PageNotify::ItemSelect, "light_combo_modeSelect");
         },
         1, 3 + kModeCodeOffset, true},
        {"brightness",
         [&] {
             panel.BrightnessSlider()->SetValue(2);
             return Event(PageNotify::ValueChanged, "deng_light_slider");
         },
         2, 2, true},
        {"speed",
         [&] {
             panel.SpeedSlider()->SetValue(1);
             return Event(PageNotify::ValueChanged, "deng_speed_slider");
         },
         3, 4 - 1, true},
        {"first direction", [&] { return Event(PageNotify::SelectChanged, "deng_FXL_check"); }, 4,
         1, true},
        {"second direction", [&] { return Event(PageNotify::SelectChanged, "deng_FXR_check"); }, 4,
         0, true},
        {"colour wheel",
         [&] {
             panel.ColourWheelCheck()->Selected(true, false);
             return Event(PageNotify::SelectChanged, "deng_7color_check");
         },
         5, 1, true},
        {"swatch", [&] { return Event(PageNotify::Click, "color_option_", 2); }, 5, 0, false},
        {"palette",
         [&] {
             panel.Palette()->SetSelectColor(0xFF00FF00);
             return Event(PageNotify::ColorChanged, "deng_Color_Pallet");
         },
         7, 0xFF, true},
        {"green 300", [&] { return setText("deng_edit_G", "300"); }, 7, 255, true},
        {"green empty", [&] { return setText("deng_edit_G", ""); }, 7, 0, true},
        {"green 9", [&] { return setText("deng_edit_G", "9"); }, 7, 9, true},
        {"green no number", [&] { return setText("deng_edit_G", "x"); }, 7, 0, true},
        {"red 17", [&] { return setText("deng_edit_R", "17"); }, 6, 17, true},
    };
    for (const Case& c : cases) {
        device_->Link().SetSyncFlag(true);
        syncClears_ = 0;
        firmware_->ClearLog();
        ASSERT_TRUE(page_->OnLighting(c.act())) << c.what;
        EXPECT_EQ(EnterConfigs(Sent()), 1) << c.what;
        EXPECT_EQ(Memory(SimRegion::Settings)[c.byte], c.value) << c.what;
        EXPECT_EQ(syncClears_ > 0, c.clearsSync) << c.what;
    }
    EXPECT_EQ(Find("deng_edit_G")->GetText(), "0") << "the box shows what was stored";
    EXPECT_FALSE(panel.ColourWheelCheck()->IsSelected()) << "a colour ends the colour wheel";
    EXPECT_EQ(device_->GetLightInfo().multiColor, 0);
    ExpectNoViolations();
}

TEST_F(MousePageTest, ChoicesOutsideTheListsAndKeyboardControlsSendNothing) {
    Open();
    CLightControlUI& panel = *page_->LightPanel();
    const LightSetting before = device_->GetLightInfo();
    panel.ModeList()->SelectItem(-1, false, false);
    EXPECT_TRUE(page_->OnLighting(Event(PageNotify::ItemSelect, "light_combo_modeSelect")));
    for (const char* name : {"light_combo_ZZCCmodeSelect", "light_combo_custommodeSelect",
                             "custom_bright_color_btn", "custom_off_color_btn"}) {
        page_->OnLighting(Event(name[0] == 'l' ? PageNotify::ItemSelect : PageNotify::Click, name));
    }
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(device_->GetLightInfo(), before);
}

// The device's lighting, stages and polling rate on the page.
TEST_F(MousePageTest, RefreshShowsTheDevice) {
    Open();
    LightSetting light = device_->GetLightInfo();
    light.selectItem = 2;
    light.brightness = 3;
    light.speed = 1;
    light.direction = 1;
    light.red = 0x12;
    device_->SetLightInfo(light);
    std::vector<DpiStage> stages(5);
    for (int i = 0; i < 5; ++i) {
        stages[static_cast<std::size_t>(i)].enabled = i < 3 ? 1 : 0;
        stages[static_cast<std::size_t>(i)].SetDpiX(static_cast<std::uint16_t>(10 * i));
    }
    device_->Profile().SetDpiStages(stages);
    device_->Profile().SetActiveStage(2);
    MouseSystemSettings system = device_->Profile().GetSystemSettings();
    system.reportStage = 9;  // no such option
    device_->Profile().SetSystemSettings(system);
    device_->ApplyProfile();
    device_->SetLightInfo(light);
    page_->View().Refresh();

    CLightControlUI& panel = *page_->LightPanel();
    EXPECT_EQ(panel.ModeList()->GetCurSel(), 2);
    EXPECT_EQ(panel.BrightnessSlider()->GetValue(), 3);
    EXPECT_TRUE(panel.DirectionFirst()->IsSelected());
    EXPECT_FALSE(panel.DirectionSecond()->IsSelected());
    EXPECT_EQ(Find("deng_edit_R")->GetText(), "18");
    EXPECT_EQ(panel.Preview()->GetBkColor(), 0xFF120000u | light.green << 8 | light.blue);
    // The active stage can be neither switched off nor is it unmarked.
    EXPECT_FALSE(Find("DPI_enable_check_2")->IsEnabled());
    EXPECT_TRUE(Find<COptionUI>("DPI_select_check_2")->IsSelected());
    EXPECT_TRUE(Find("DPI_enable_check_1")->IsEnabled());
    EXPECT_FALSE(Find("DPI_layout_3")->IsEnabled()) << "a stage that is off";
    EXPECT_EQ(Find("DPI_edit_1")->GetText(), std::to_string(device_->Scale().ResolutionOfStep(10)));
    EXPECT_TRUE(Find<COptionUI>("polling_rate_option_0")->IsSelected()) << "unknown rate: 0";
    // The next active stage frees the old one's switch.
    device_->Profile().SetActiveStage(3);
    page_->View().Refresh();
    EXPECT_TRUE(Find("DPI_enable_check_2")->IsEnabled());
    EXPECT_FALSE(Find<COptionUI>("DPI_select_check_2")->IsSelected());
}

TEST_F(MousePageTest, ButtonCaptionsFollowTheMouseRules) {
    Open();
    std::vector<KeyEntry> keys = device_->Profile().GetKeyList();
    keys[3].current = KeyBinding::FromCode(3, 0x720100);  // gun set 2
    keys[4].current = KeyBinding::FromCode(4, 0xD0A201);  // a macro key, unknown to the mouse
    device_->Profile().SetKeyList(keys);
    page_->View().Refresh();
    auto* list = Find<CListUI>("device_setkeyinfo_list");
    ASSERT_NE(list, nullptr);
    ASSERT_GE(list->GetCount(), 5);
    auto text = [&](int row, int label) {
        return static_cast<CContainerUI*>(list->GetItemAt(row))->GetItemAt(label)->GetText();
    };
    EXPECT_EQ(text(3, 1), page_->Text("gun_2_txt"));
    EXPECT_EQ(text(4, 1), "关闭");
    EXPECT_EQ(text(0, 0), page_->Text("mouse_key_left"));
    EXPECT_EQ(text(0, 1), page_->Text("mouse_key_left"));
    EXPECT_TRUE(list->GetItemAt(0)->IsVisibleFlag())
        << "rows show while the picture's view is another";
}

TEST_F(MousePageTest, LogoNamesTheChosenModeAndApplyingNeedsAChosenKey) {
    Open();
    LightSetting light = device_->GetLightInfo();
    light.selectItem = 7;
    device_->SetLightInfo(light);
    page_->View().Refresh();
    auto* page = static_cast<CMousePage*>(page_.get());
    ASSERT_NE(page->LogoButton(), nullptr);
    const std::string mode = page_->Text(device_->Definitions().effectNames.at(7));
    EXPECT_EQ(page->LogoButton()->GetToolTip(),
              page_->Text("Light_Set") + "\n" + page_->Text("Overall_Light_Set") + mode);

    const std::vector<KeyEntry> before = device_->Profile().GetKeyList();
    ASSERT_LT(device_->SelectedKey(), 0);
    EXPECT_TRUE(page_->OnKeyAssignment(Event(PageNotify::Click, "key_butt_keysave")));
    EXPECT_EQ(device_->Profile().GetKeyList(), before) << "no key chosen: nothing stored";
}

TEST_F(MousePageTest, KeyPageStoresSavesRestoresAndKeepsALeftButton) {
    Open();
    device_->SetFunctionPage(2);
    // The only left button cannot be chosen for another function.
    EXPECT_TRUE(page_->OnKeyAssignment(Event(PageNotify::Click, "key_", 0)));
    EXPECT_EQ(asker_.Texts(), std::vector<std::string>{"message_text_6"});
    EXPECT_NE(device_->SelectedKey(), 0);

    // Key 1 becomes the middle button: in the document only, until saved.
    ASSERT_TRUE(page_->OnKeyAssignment(Event(PageNotify::Click, "key_", 1)));
    CKeySetControlUI& panel = *page_->KeyPanel();
    EXPECT_TRUE(panel.IsVisible());
    KeySelection middle;
    middle.category = KeyCategory::MouseButton;
    middle.listIndex = 1;
    panel.ShowSelection(middle);
    firmware_->ClearLog();
    ASSERT_TRUE(page_->OnKeyAssignment(Event(PageNotify::Click, "key_butt_keysave")));
    EXPECT_EQ(device_->Profile().GetKeyList()[1].current.Code(), 0x100400u);
    EXPECT_TRUE(Sent().empty()) << "nothing reaches the device before saving";
    EXPECT_TRUE(Find("key_butt_prosave")->IsEnabled());
    // Cancel shows the stored code again; default shows the factory code.
    ASSERT_TRUE(page_->OnKeyAssignment(Event(PageNotify::Click, "key_butt_keydefalut")));
    EXPECT_EQ(panel.ReadSelection().category, KeyCategory::Default);
    ASSERT_TRUE(page_->OnKeyAssignment(Event(PageNotify::Click, "key_butt_keycancel")));
    EXPECT_EQ(panel.ReadSelection().listIndex, 1);
    EXPECT_FALSE(Find("key_butt_prosave")->IsEnabled());

    ASSERT_TRUE(page_->OnKeyAssignment(Event(PageNotify::Click, "key_butt_prosave")));
    const Bytes table = Memory(SimRegion::KeyTable);
    const int position = device_->ButtonPosition(1);
    ASSERT_GE(position, 0);
    EXPECT_EQ(ToHex(Slice(table, static_cast<std::size_t>(position) * 3, 3)), "10 04 00");

    // Restoring asks first; a "no" changes nothing.
    asker_.Answer(0);
    ASSERT_TRUE(page_->OnKeyAssignment(Event(PageNotify::Click, "default_btn")));
    EXPECT_EQ(device_->Profile().GetKeyList()[1].current.Code(), 0x100400u);
    asker_.Answer(1);
    ASSERT_TRUE(page_->OnKeyAssignment(Event(PageNotify::Click, "default_btn")));
    EXPECT_EQ(device_->Profile().GetKeyList()[1].current.Code(), 0x100200u);
    EXPECT_EQ(ToHex(Slice(Memory(SimRegion::KeyTable), static_cast<std::size_t>(position) * 3, 3)),
              "10 02 00");
    EXPECT_EQ(asker_.Texts().back(), "message_text_22");
    ExpectNoViolations();
}

TEST_F(MousePageTest, SavingMacrosThatDoNotFitSaysByHowMuchAndWritesNothing) {
    Open();
    MacroStore store(DeviceFolder(), Product::Mouse);
    AssignMacroThatDoesNotFit(store);
    firmware_->ClearLog();
    ASSERT_TRUE(page_->OnKeyAssignment(Event(PageNotify::Click, "key_butt_prosave")));
    ASSERT_EQ(asker_.asked.size(), 1u);
    EXPECT_FALSE(asker_.asked[0].textIsId);
    EXPECT_NE(asker_.asked[0].text.find(std::to_string(kOverflowOfThatMacro)), std::string::npos)
        << asker_.asked[0].text;
    for (const Bytes& frame : Sent())
        EXPECT_NE(frame[3], 0x09) << "no key table";
    // A macro that cannot be read: said, and the keys are written anyway.
    firmware_->FillRegion(SimRegion::Info, 6, FromHex("08"));
    fs::remove(store.MacroFilePath(0));
    ASSERT_TRUE(page_->OnKeyAssignment(Event(PageNotify::Click, "key_butt_prosave")));
    EXPECT_EQ(asker_.Texts().back(), "message_text_7");
}

TEST_F(KeyboardPageTest, ReassignedKeysCarryTheMark) {
    Open();
    page_->View().Refresh();
    CDeviceKeyButtonUI* key = page_->KeyButton(44);
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(key->IsKeySetHidden()) << "a key doing its own job has no mark";
    const std::string name = key->GetToolTipTitle();
    EXPECT_FALSE(name.empty());
    ASSERT_TRUE(device_->StoreKeyAssignment(44, {0x10, 0x01, 0x00}));
    page_->View().Refresh();
    EXPECT_FALSE(key->IsKeySetHidden());
    EXPECT_EQ(key->GetToolTip(), name + page_->Text("Key_Set") + page_->Text("mouse_key_left"));
}

TEST_F(KeyboardPageTest, SettingsPageStoresFlagsRatesAndDelays) {
    Open();
    Find<COptionUI>("wflag_option")->Selected(true, false);
    EXPECT_TRUE(page_->OnSettings(Event(PageNotify::SelectChanged, "wflag_option")));
    Find<COptionUI>("polling_rate_option_2")->Selected(true, false);
    EXPECT_TRUE(page_->OnSettings(Event(PageNotify::SelectChanged, "polling_rate_option_", 2)));
    Find<COptionUI>("repeat_delay_check_3")->Selected(true, false);
    EXPECT_TRUE(page_->OnSettings(Event(PageNotify::SelectChanged, "repeat_delay_check_", 3)));
    const KeyboardSystemSettings settings = device_->Profile().GetSystemSettings();
    EXPECT_EQ(settings.wFlag, 1);
    EXPECT_EQ(settings.pollingRate, 2);
    EXPECT_EQ(settings.repeatDelay, 3);
    EXPECT_EQ(Memory(SimRegion::Settings)[keyboard_block::kWFlag], 1);
    EXPECT_EQ(Memory(SimRegion::Settings)[keyboard_block::kPollingRate], 2);
    EXPECT_NE(Find("repeat_delay_time_label1")->GetText().find("1000ms"), std::string::npos);
}

}  // namespace
}  // namespace q731
