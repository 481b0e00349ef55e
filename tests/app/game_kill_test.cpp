// A game event from another program, end to end inside one process: the bus
// message reaches the main window, the current mouse's lighting mode changes in
// its firmware, and five seconds later the user's mode is back there.
#include <gtest/gtest.h>

#include "app/device_tabs.h"
#include "app/main_window.h"
#include "devices/mouse_device.h"
#include "platform/files.h"
#include "sim/sim_firmware.h"
#include "sim/sim_products.h"
#include "ui/widgets/headless.h"
#include "ui/widgets/resource_manager.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

class GameKillTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/q731-game-XXXXXX";
        data_ = ::mkdtemp(pattern);
        SetUiPlatform(&platform_);
        CPaintManagerUI::SetResourcePath((fs::path(Q731_SOURCE_DIR) / "skin").string());
        CResourceManager::GetInstance().ResetResourceMap();
        ASSERT_TRUE(CResourceManager::GetInstance().LoadResource("res.xml"));
        CControlFactory::GetInstance().RegistControl(
            "DeviceOption", [] { return std::make_unique<CDeviceOptionUI>(); });
        CControlFactory::GetInstance().RegistControl(
            "MpDevicePower", [] { return std::make_unique<CMpDevicePowerUI>(); });
        firmware_ = std::make_shared<SimCommandFirmware>(SimChannel::Wired, MouseMemoryLayout());
        bus_->Plug(MouseWiredProduct(), firmware_);
        window_ = std::make_unique<CMainWnd>(loop_, devices_, registry_, MainWindowServices{});
        ASSERT_TRUE(window_->Create(nullptr, "title", kWsPopup));
        loop_.ProcessPending();
        scanner_ = devices_.MakeScanner({});
        scanner_->RunPass();
        RunFor(loop_, clock_, 600ms);  // connect, profile, first settings
    }
    void TearDown() override {
        window_.reset();
        devices_.Shutdown();
        CResourceManager::GetInstance().ResetResourceMap();
        SetUiPlatform(nullptr);
        fs::remove_all(data_);
    }

    int ModeOnDevice() const { return firmware_->Region(SimRegion::Settings)[1]; }

    fs::path data_;
    ManualClock clock_;
    UiLoop loop_{clock_};
    HeadlessPlatform platform_{loop_};
    MessageRegistry registry_;
    std::shared_ptr<SimBus> bus_ = std::make_shared<SimBus>();
    std::shared_ptr<SimCommandFirmware> firmware_;
    DeviceManager devices_{
        loop_, bus_, [this](Product product) -> std::unique_ptr<CVexloUSBDevice> {
            if (product != Product::Mouse) return nullptr;
            auto mouse = std::make_unique<CVexloMouseDevice>(bus_);
            mouse->SetNames(std::string(TabOf(product).pageLayout), "mouse", "tamry_light");
            mouse->SetFolders({data_ / "mouse", fs::path(Q731_SOURCE_DIR) / "DefaultData"});
            EnsureDirectory(data_ / "mouse");
            return mouse;
        }};
    std::unique_ptr<DeviceScanner> scanner_;
    std::unique_ptr<CMainWnd> window_;
};

TEST_F(GameKillTest, TheModeChangesOnTheDeviceAndComesBackAfterFiveSeconds) {
    CVexloUSBDevice* mouse = devices_.CurrentDevice();
    ASSERT_NE(mouse, nullptr);
    ASSERT_TRUE(mouse->Link().IsOpen());
    // Start from a known mode of the user's, written to the device.
    LightSetting light = mouse->GetLightInfo();
    light.selectItem = 2;
    mouse->SetLightInfo(light);
    ASSERT_EQ(mouse->WriteSettings(), LinkResult::Ok);
    ASSERT_EQ(ModeOnDevice(), mouse->ModeCode(2));

    window_->OnBusMessage({"Game_Kill", 0, 5, {}});
    EXPECT_EQ(ModeOnDevice(), mouse->ModeCode(5));
    RunFor(loop_, clock_, 4900ms);
    EXPECT_EQ(ModeOnDevice(), mouse->ModeCode(5));
    RunFor(loop_, clock_, 100ms);
    EXPECT_EQ(ModeOnDevice(), mouse->ModeCode(2));
    EXPECT_TRUE(firmware_->Violations().empty());
}

}  // namespace
}  // namespace q731
