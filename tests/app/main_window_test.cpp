#include "app/main_window.h"

#include <gtest/gtest.h>

#include "devices/generic_device.h"
#include "platform/message_names.h"
#include "sim/sim_bus.h"
#include "ui/widgets/headless.h"
#include "ui/widgets/resource_manager.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetUiPlatform(&platform_);
        CPaintManagerUI::SetResourcePath((fs::path(Q731_SOURCE_DIR) / "skin").string());
        auto& resources = CResourceManager::GetInstance();
        resources.ResetResourceMap();
        ASSERT_TRUE(resources.LoadResource("res.xml"));
        auto& factory = CControlFactory::GetInstance();
        factory.RegistControl("DeviceOption", [] { return std::make_unique<CDeviceOptionUI>(); });
        factory.RegistControl("MpDevicePower", [] { return std::make_unique<CMpDevicePowerUI>(); });
        services_.startWorkers = [this] { ++workersStarted_; };
        services_.shutdown = [this] { ++shutdowns_; };
        services_.sendTabTable = [this](const std::vector<std::uint8_t>& block) { sent_ = block; };
        window_ = std::make_unique<CMainWnd>(loop_, devices_, registry_, services_);
        ASSERT_TRUE(window_->Create(nullptr, "Gaming Keyboard Q731 Control Center", kWsPopup));
        loop_.ProcessPending();
    }
    void TearDown() override {
        window_.reset();
        CResourceManager::GetInstance().ResetLanguage();
        CResourceManager::GetInstance().ResetResourceMap();
        SetUiPlatform(nullptr);
    }

    LRESULT Send(std::string_view name, WPARAM wParam, LPARAM lParam) {
        return window_->SendMessage(registry_.Register(name), wParam, lParam);
    }
    bool Visible() { return window_->GetBackend()->IsVisible(); }
    CControlUI* Find(const char* name) { return window_->GetPaintManager()->FindControl(name); }

    ManualClock clock_;
    UiLoop loop_{clock_};
    HeadlessPlatform platform_{loop_};
    MessageRegistry registry_;
    std::shared_ptr<SimBus> bus_ = std::make_shared<SimBus>();
    DeviceManager devices_{loop_, bus_,
                           [this](Product product) -> std::unique_ptr<CVexloUSBDevice> {
                               return std::make_unique<CGenericDevice>(product, bus_);
                           }};
    MainWindowServices services_;
    int workersStarted_ = 0;
    int shutdowns_ = 0;
    std::vector<std::uint8_t> sent_;
    std::unique_ptr<CMainWnd> window_;
};

TEST_F(MainWindowTest, StartsHiddenWithTabsUntilTheWakeMessage) {
    EXPECT_TRUE(window_->StartedUp());
    EXPECT_EQ(workersStarted_, 1);
    EXPECT_FALSE(Visible());
    auto* header = dynamic_cast<CContainerUI*>(Find("device_select_layout"));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->GetCount(), 2) << "mouse and keyboard tabs exist from the start";
    EXPECT_FALSE(header->GetItemAt(0)->IsVisible());
    RunFor(loop_, clock_, 200ms);  // the re-fit does not show a hidden window
    EXPECT_FALSE(Visible());
    Send(messages::kWake, 0, 0);
    EXPECT_TRUE(Visible());
    EXPECT_TRUE(Find("No_device_Link")->IsVisible());
}

TEST_F(MainWindowTest, CloseButtonHidesAndExitEnds) {
    Send(messages::kWake, 0, 1);
    ASSERT_TRUE(Visible());
    TNotifyUI click;
    click.sType = notify::kClick;
    click.pSender = Find("closebtn");
    window_->Notify(click);
    EXPECT_FALSE(Visible());
    EXPECT_EQ(shutdowns_, 0) << "the program keeps running in the tray";
    window_->Exit();
    loop_.ProcessPending();
    EXPECT_EQ(shutdowns_, 1);
}

TEST_F(MainWindowTest, LightingControlFromOutsideAndAwakeGating) {
    Send(messages::kLightingControl, 1, 0);
    EXPECT_FALSE(window_->LightingControl());
    EXPECT_EQ(Find("control_light_status")->GetText().empty(), false);
    Send(messages::kLightingControl, 2, 1);  // other wParam: ignored
    EXPECT_FALSE(window_->LightingControl());
    Send(messages::kLightingControl, 1, 7);  // lParam outside 0/1: ignored
    EXPECT_FALSE(window_->LightingControl());
    Send(messages::kLightingControl, 1, 1);
    EXPECT_TRUE(window_->LightingControl());

    window_->SendMessage(main_msg::kPower, main_msg::kPowerSuspend);
    EXPECT_FALSE(window_->Awake());
    Send(messages::kLightingControl, 1, 0);
    EXPECT_TRUE(window_->LightingControl()) << "nothing is acted on while suspended";
    Send(messages::kTabTableRequest, 0, 0);
    EXPECT_TRUE(sent_.empty());
    window_->SendMessage(main_msg::kPower, main_msg::kPowerResume);
    EXPECT_TRUE(window_->Awake());
    Send(messages::kTabTableRequest, 0, 0);
    EXPECT_EQ(sent_.size(), 1024u);
}

TEST_F(MainWindowTest, UpdateMarkAndLanguageMessages) {
    Find("setbtn")->SetForeImage("file='common/update_mark.svg'");
    window_->SendMessage(main_msg::kClearUpdateMark);
    EXPECT_TRUE(Find("setbtn")->GetForeImage().empty());
    window_->SendMessage(main_msg::kLanguage, 1);
    window_->SendMessage(main_msg::kLanguage, 99);  // no such language: ignored
    window_->SendMessage(main_msg::kLanguage, static_cast<WPARAM>(-1));
}

TEST_F(MainWindowTest, RefitChoosesTheScaleOfTheMonitor) {
    platform_.screens = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 96}};
    window_->RefitToMonitor();
    EXPECT_EQ(window_->Scale(), 144);
    EXPECT_EQ(window_->GetWindowRect().right - window_->GetWindowRect().left, 1500);
    EXPECT_FALSE(Visible()) << "a hidden window stays hidden";
    platform_.screens = {{{0, 0, 1366, 768}, {0, 0, 1366, 728}, 96}};
    window_->RefitToMonitor();
    EXPECT_EQ(window_->Scale(), 96);
    platform_.screens = {{{0, 0, 1500, 960}, {0, 0, 1500, 920}, 96}};
    window_->RefitToMonitor();
    EXPECT_EQ(window_->Scale(), 96);
}

TEST_F(MainWindowTest, ElementsOfLaterPagesBuildAsPlainContainers) {
    for (const char* name : {"CircleProgress", "selectpanel", "VexloMouseDevice", "LightControl",
                             "ShootControl", "KeySetControlUI", "DeviceProfileUI"}) {
        auto control = window_->CreateControl(name);
        ASSERT_NE(control, nullptr) << name;
        EXPECT_EQ(control->GetClass(), "ContainerUI") << name;
    }
    EXPECT_EQ(window_->CreateControl("DeviceOption")->GetClass(), "DeviceOption");
    EXPECT_EQ(window_->CreateControl("NoSuchThing"), nullptr);
}

}  // namespace
}  // namespace q731
