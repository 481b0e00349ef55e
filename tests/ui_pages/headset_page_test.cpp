// The headset's page on the skin's own layout: its panels hand their controls
// to the audio logic and show what the library holds, and its picture leaves
// a hidden LED button alone while that LED still goes to the headset.

#include <gtest/gtest.h>

#include "headset/hs6533_device.h"
#include "headset/sim_audio_conf.h"
#include "sim/sim_bus.h"
#include "sim/sim_products.h"
#include "tests/support/sim_helpers.h"
#include "tests/support/test_folder.h"
#include "tests/support/wait.h"
#include "tests/ui_pages/page_fixture.h"
#include "ui/controls/headset_panels.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/range.h"

namespace q731 {
namespace {

class HeadsetPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetUiPlatform(&platform_);
        LoadPageSkin();
        ASSERT_TRUE(host_.Create(nullptr, "host"));

        loop_.BindToCurrentThread();
        unit_ = bus_->Plug(HeadsetProduct());
        fs::create_directories(folder_.path() / "HD");
        device_ = std::make_unique<CVexloHS6533Device>(bus_);
        device_->SetLedCount(static_cast<int>(kHeadsetLeds));
        device_->AttachLoop(&loop_);
        device_->SetHostLighting(true);
        device_->SetNames("XML/DeviceXml/hs6533device.xml", "HS6533", "tamry_light");
        device_->SetFolders({folder_.path() / "HD", fs::path(Q731_SOURCE_DIR) / "DefaultData"});
        auto library = MakeSimAudioConf();
        library_ = library.get();
        device_->SetAudioLibrary(std::move(library));
        ASSERT_TRUE(device_->StartProfiles());
        device_->Initialise();

        CDialogBuilder builder;
        auto tree = builder.Create("XML/DeviceXml/hs6533device.xml", {}, &host_, &host_.Pm());
        ASSERT_NE(tree, nullptr) << builder.GetLastError();
        auto* hostRoot = dynamic_cast<CContainerUI*>(host_.Pm().FindControl("host_root"));
        root_ = hostRoot->Add(std::move(tree));
        PageContext context;
        context.manager = &host_.Pm();
        context.root = root_;
        context.device = device_.get();
        context.asker = &asker_;
        page_ = MakeDevicePage(std::move(context));
        ASSERT_NE(page_, nullptr);
        page_->BuildPage();
        device_->SetView(&page_->View());
        ASSERT_TRUE(device_->Link().OpenChannel(Channel::Cable, bus_->PathsOf(unit_).front()));
        ASSERT_EQ(device_->Connect(), LinkResult::Ok);
        library_->calls.clear();
    }
    void TearDown() override {
        device_->CloseDevice();
        device_->SetView(nullptr);
        page_.reset();
        UnloadPageSkin();
        SetUiPlatform(nullptr);
    }

    template <typename T = CControlUI>
    T* Find(const std::string& name) {
        return dynamic_cast<T*>(
            root_->FindControl([&name](CControlUI* c) { return c->GetName() == name; }));
    }
    // The notification the main window hands on for control `name` + `number`.
    bool Send(PageNotify kind, const std::string& name, int number = -1) {
        PageEvent event;
        event.kind = kind;
        event.name = name;
        event.number = number;
        event.sender = Find(number < 0 ? name : name + std::to_string(number));
        return page_->OnSettings(event);
    }
    CHeadsetPage& Page() { return static_cast<CHeadsetPage&>(*page_); }

    UiLoop loop_;
    HeadlessPlatform platform_{loop_};
    PageHost host_{loop_};
    ScriptedQuestions asker_;
    std::shared_ptr<SimBus> bus_ = testing::MakeTestBus();
    int unit_ = -1;
    testing::TestFolder folder_{"q731-headset-page"};
    std::unique_ptr<CVexloHS6533Device> device_;
    SimAudioConf* library_ = nullptr;
    CControlUI* root_ = nullptr;
    std::unique_ptr<CDevicePage> page_;
};

TEST_F(HeadsetPageTest, PanelsDriveTheAudioLogicAndShowWhatItHolds) {
    ASSERT_NE(Page().SoundPanel(), nullptr);
    ASSERT_NE(Page().VoicePanel(), nullptr);
    HeadsetAudio& audio = device_->Audio();
    EXPECT_EQ(audio.BoundView(), &Page());
    EXPECT_EQ(Page().MicLevel(), audio.State().micInValue)
        << "the slider shows the library's level";

    // A step of the microphone slider reaches the library and the profile.
    Find<CSliderUI>("6533_MicIn_slider")->SetValue(37);
    EXPECT_TRUE(Send(PageNotify::MoveValueChanged, "6533_MicIn_slider"));
    const std::vector<AudioCall> writes = library_->Writes();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].property, "VolumeScalarControl");
    EXPECT_NEAR(AsNumber(writes[0].value), 0.37, 1e-6);
    EXPECT_EQ(device_->HeadsetProfile().GetSystemSettings().micInValue, 37);

    // An equaliser option loses its selection as well as gaining it: only the
    // chosen one acts.
    library_->calls.clear();
    auto* option = Find<COptionUI>("6533_eq_option_2");
    option->Selected(true, false);
    EXPECT_TRUE(Send(PageNotify::SelectChanged, "6533_eq_option_", 2));
    option->Selected(false, false);
    const std::size_t afterChoice = library_->Writes().size();
    EXPECT_GT(afterChoice, 0u);
    EXPECT_TRUE(Send(PageNotify::SelectChanged, "6533_eq_option_", 2));
    EXPECT_EQ(library_->Writes().size(), afterChoice);

    // The voice changer's switch opens its voices.
    Find<COptionUI>("magic_enable_option")->Selected(true, false);
    EXPECT_TRUE(Send(PageNotify::SelectChanged, "magic_enable_option"));
    EXPECT_TRUE(Find("magic_option_layout")->IsEnabled());
    EXPECT_FALSE(Send(PageNotify::Click, "deng_Op_tab")) << "not a control of the audio panels";

    // A profile switch shows the profile's values without a library call.
    library_->calls.clear();
    ASSERT_TRUE(device_->LoadProfile());
    device_->RefreshView();
    EXPECT_TRUE(library_->calls.empty());
    EXPECT_EQ(Page().MicLevel(), 37);
}

TEST_F(HeadsetPageTest, AHiddenLedButtonKeepsItsColourWhileItsLedIsSent) {
    CDeviceKeyButtonUI* hidden = Page().LedButton(4);
    CDeviceKeyButtonUI* shown = Page().LedButton(5);
    ASSERT_NE(hidden, nullptr);
    ASSERT_NE(shown, nullptr);
    hidden->SetLightColor(0x123456);
    hidden->SetVisible(false);
    device_->SetPictureSink([this](std::span<const LedColour> leds) { page_->ShowPicture(leds); });
    device_->SetAttention(true);

    LightSetting light = device_->GetLightInfo();
    light.selectItem = 3;  // static
    light.red = 200;
    light.green = light.blue = 0;
    light.brightness = 4;
    device_->SetLightInfo(light);
    device_->ApplyProfile();
    // The render thread sends LED 4 in the first report (red, LEDs 0-6) once
    // it has drawn the new colour; an earlier frame may still be on its way.
    auto ledFourSent = [this] {
        const std::vector<LedColour> leds = device_->Leds().Snapshot();
        if (leds.size() <= 5 || leds[4].red != 200 || leds[5].red != 200) return false;
        const std::uint8_t expected = HeadsetLevel(leds[4], 0);
        for (const auto& report : bus_->OutputLog(unit_)) {
            if (report.size() > 8 && report[1] == 0x22 && report[2] == 0xAA &&
                report[8] == expected && expected > 0)
                return true;
        }
        return false;
    };
    ASSERT_TRUE(testing::WaitUntil(ledFourSent));
    device_->LightTick();
    EXPECT_EQ(hidden->GetLightColor(), 0x123456u);
    EXPECT_EQ(shown->GetLightColor(), 0xC80000u);
    device_->SetPictureSink(nullptr);
}

}  // namespace
}  // namespace q731
