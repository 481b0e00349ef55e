// Binding the picture and the panels, switching the function and settings
// pages, and the picture following the LED colours.

#include "tests/ui_pages/page_fixture.h"

namespace q731 {
namespace {

using MousePageTest = PageTest<CVexloMouseDevice>;
using KeyboardPageTest = PageTest<CVexloKeyboardDevice>;

constexpr const char* kMouseBindingLayout = R"(<VerticalLayout>
  <TabLayout name="mouse_device_seting_layout">
    <SelectPanel name="view_0">
      <DeviceKeyButton name="key_0"/>
      <DeviceKeyButton name="key_1" userdata="light_4"/>
      <DeviceKeyButton name="key_99"/>
      <DeviceKeyButton name="key_x"/>
      <DeviceKeyButton name="light_0_20"/>
      <DeviceKeyButton name="light_0_3"/>
      <DeviceKeyButton name="light_2"/>
      <DeviceKeyButton name="the_logo" tooltip="LOGO"/>
      <Button name="key_5"/>
    </SelectPanel>
    <SelectPanel name="view_1">
      <DeviceKeyButton name="key_0"/>
    </SelectPanel>
  </TabLayout>
  <Label name="text_test" visible="false"/>
</VerticalLayout>)";

TEST_F(MousePageTest, PictureButtonsBindByNameAndUserData) {
    Open(kMouseBindingLayout);
    auto* page = static_cast<CMousePage*>(page_.get());
    CControlUI* view0 = Find("view_0");
    CControlUI* view1 = Find("view_1");
    EXPECT_EQ(page->Picture(), view0) << "the first select panel is the picture";
    // A later button of the same number replaces the earlier one.
    EXPECT_EQ(page->KeyButton(0),
              view1->FindControl([](CControlUI* c) { return c->GetName() == "key_0"; }));
    EXPECT_EQ(page->KeyButton(1)->GetName(), "key_1");
    EXPECT_EQ(page->LedButton(4), page->KeyButton(1)) << "key 1 by name, LED 4 by user data";
    EXPECT_EQ(page->LedButton(2)->GetName(), "light_2");
    EXPECT_TRUE(page->LedButton(2)->IsLight());
    EXPECT_EQ(page->LedButton(2)->GetLightColor(), 0xFFFFFFu);
    EXPECT_EQ(page->KeyButton(5), nullptr) << "only key buttons count";
    for (int key = 2; key < page->KeyButtonCount(); ++key)
        EXPECT_EQ(page->KeyButton(key), nullptr) << key << ": out of range or unsplittable";
    // The lighting view's LEDs sit at their own number; one past the LEDs is dropped.
    EXPECT_EQ(page->SecondLedButton(3)->GetName(), "light_0_3");
    EXPECT_EQ(page->SecondLedButton(0), nullptr);
    EXPECT_EQ(page->LogoButton()->GetName(), "the_logo");
}

// Every page carries the same panel layouts in one window: their option
// groups must not reach across pages.
TEST_F(MousePageTest, OptionGroupsStayOnTheirPage) {
    Open();
    CDialogBuilder builder;
    auto* hostRoot = dynamic_cast<CContainerUI*>(host_.Pm().FindControl("host_root"));
    CControlUI* other = hostRoot->Add(
        builder.Create("XML/CustomControlXML/LightControl.xml", {}, &host_, &host_.Pm()));
    auto* foreign = dynamic_cast<COptionUI*>(
        other->FindControl([](CControlUI* c) { return c->GetName() == "deng_FXL_check"; }));
    ASSERT_NE(foreign, nullptr);
    page_->LightPanel()->DirectionSecond()->Selected(true, false);
    foreign->Selected(true, false);
    EXPECT_TRUE(page_->LightPanel()->DirectionSecond()->IsSelected());
}

TEST_F(MousePageTest, WithoutTheSettingsLayoutNothingIsBound) {
    Open(R"(<VerticalLayout><SelectPanel><DeviceKeyButton name="key_0"/></SelectPanel>
        <LightSetControlUI name="LightControlItem"/></VerticalLayout>)");
    EXPECT_EQ(page_->Picture(), nullptr);
    EXPECT_EQ(page_->KeyButton(0), nullptr);
    EXPECT_EQ(page_->LightPanel(), nullptr) << "no picture, no panels";
}

TEST_F(MousePageTest, FunctionAndSettingsPagesFollowTheirNumbers) {
    Open();
    auto* outer = Find<CTabLayoutUI>("device_function_switch");
    auto* inner = Find<CTabLayoutUI>("device_key_function_switch");
    auto* views = Find<CTabLayoutUI>("mouse_device_seting_layout");
    ASSERT_TRUE(outer && inner && views);
    struct Case {
        int page, outer, inner;
    };
    // 3 and 5 leave the inner page as it was: 2 put it on 1 before them.
    const Case cases[] = {{1, 0, 0}, {2, 0, 1}, {6, 0, 1}, {3, 1, 1}, {8, 1, 1},
                          {4, 3, 1}, {5, 2, 1}, {7, 0, 2}, {0, 0, 0}, {99, 0, 0}};
    for (const Case& c : cases) {
        Find("device_tishi_info")->SetVisible(true);
        device_->SetFunctionPage(c.page);
        EXPECT_EQ(outer->GetCurSel(), c.outer) << c.page;
        EXPECT_EQ(inner->GetCurSel(), c.inner) << c.page;
        EXPECT_FALSE(Find("device_tishi_info")->IsVisible()) << c.page;
    }
    auto* page = static_cast<CMousePage*>(page_.get());
    for (const int asked : {3, 7, -1}) {
        page->ShowSettingsPage(asked);
        const int shown = asked >= 0 && asked < views->GetCount() ? asked : 0;
        EXPECT_EQ(views->GetCurSel(), shown) << asked;
        for (int i = 0; i < views->GetCount(); ++i) {
            auto* option = Find<COptionUI>("mouse_device_seting_option_" + std::to_string(i));
            ASSERT_NE(option, nullptr);
            EXPECT_EQ(option->IsSelected(), i == shown) << asked << " option " << i;
        }
    }
}

TEST_F(KeyboardPageTest, SystemPageAndKeysBindOnTheKeyboard) {
    Open();
    auto* outer = Find<CTabLayoutUI>("device_function_switch");
    device_->SetFunctionPage(4);
    EXPECT_EQ(outer->GetCurSel(), 3) << "a keyboard has a system page of its own";
    EXPECT_EQ(page_->Picture(), Find("keyboard_device_key_light"));
    int keys = 0;
    for (int key = 0; key < page_->KeyButtonCount(); ++key)
        keys += page_->KeyButton(key) ? 1 : 0;
    EXPECT_GT(keys, 100);
    EXPECT_EQ(page_->LedButton(102), page_->KeyButton(102)) << "the ISO key is key and LED 102";
}

TEST(PadPage, OtherKindsShowTheSharedPages) {
    UiLoop loop;
    HeadlessPlatform platform(loop);
    SetUiPlatform(&platform);
    RegisterCustomControls();
    PageHost host(loop);
    ASSERT_TRUE(host.Create(nullptr, "host"));
    CVexloMousePadDevice pad(std::make_shared<SimBus>());
    pad.SetLedCount(15);
    CDialogBuilder builder;
    auto* hostRoot = dynamic_cast<CContainerUI*>(host.Pm().FindControl("host_root"));
    CControlUI* root = hostRoot->Add(builder.Create(
        R"(<VerticalLayout><TabLayout name="device_function_switch">
             <TabLayout name="device_key_function_switch"><Control/><Control/><Control/></TabLayout>
             <Control/><Control/><Control/></TabLayout>
           <Container name="mousepad_device_key_light">
             <DeviceKeyButton name="light_14"/><DeviceKeyButton name="light_15"/></Container>
           </VerticalLayout>)",
        {}, &host, &host.Pm()));
    pad.SetNames("XML/DeviceXml/mousepaddevice.xml", "MousePad", "tamry_light");
    PageContext context;
    context.manager = &host.Pm();
    context.root = root;
    context.device = &pad;
    auto page = MakeDevicePage(std::move(context));
    ASSERT_NE(page, nullptr);
    page->BuildPage();
    EXPECT_NE(page->LedButton(14), nullptr);
    EXPECT_EQ(page->LedButton(15), nullptr);
    page->View().ShowFunctionPage(4);
    auto* outer = dynamic_cast<CTabLayoutUI*>(host.Pm().FindControl("device_function_switch"));
    auto* inner = dynamic_cast<CTabLayoutUI*>(host.Pm().FindControl("device_key_function_switch"));
    EXPECT_EQ(outer->GetCurSel(), 0);
    EXPECT_EQ(inner->GetCurSel(), 2) << "system settings of a pad are an inner page";
    SetUiPlatform(nullptr);
}

// The picture follows the LEDs only while this program drives the lighting;
// the mouse's lighting view and logo follow them always.
TEST_F(MousePageTest, PictureFollowsTheLedsWhileTheProgramDrivesThem) {
    Open(kMouseBindingLayout);
    auto* page = static_cast<CMousePage*>(page_.get());
    std::vector<LedColour> leds(15, LedColour{10, 20, 30, 128});
    device_->SetHostLighting(false);
    page->ShowPicture(leds);
    EXPECT_EQ(page->LedButton(2)->GetLightColor(), 0xFFFFFFu) << "still as bound";
    EXPECT_EQ(page->SecondLedButton(3)->GetLightColor(), 0x0A141Eu);
    EXPECT_EQ(page->SecondLedButton(3)->GetLightBrightness(), 128);
    EXPECT_EQ(page->LogoButton()->GetLightColor(), 0x0000FFu)
        << "the logo has no LED of its own and is never coloured";
    device_->SetHostLighting(true);
    page->ShowPicture(leds);
    EXPECT_EQ(page->LedButton(2)->GetLightColor(), 0x0A141Eu);
    page->LedButton(4)->SetVisible(false);
    leds[4] = {1, 2, 3, 4};
    page->ShowPicture(leds);
    EXPECT_NE(page->LedButton(4)->GetLightColor(), 0x010203u) << "hidden buttons keep theirs";
}

}  // namespace
}  // namespace q731
