#pragma once
// The main window over one simulated mouse with its page (wired unless a test
// sets channel_ first, and with a wired keyboard when withKeyboard_ is set),
// on the headless platform and a manual clock: connected, profiles loaded.

#include <gtest/gtest.h>

#include "app/device_tabs.h"
#include "app/main_window.h"
#include "devices/keyboard_device.h"
#include "devices/mouse_device.h"
#include "platform/files.h"
#include "sim/sim_firmware.h"
#include "sim/sim_products.h"
#include "ui/widgets/headless.h"
#include "ui/widgets/resource_manager.h"

namespace q731 {

using namespace std::chrono_literals;

class MouseWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/q731-window-XXXXXX";
        data_ = ::mkdtemp(pattern);
        SetUiPlatform(&platform_);
        CPaintManagerUI::SetResourcePath((fs::path(Q731_SOURCE_DIR) / "skin").string());
        CResourceManager::GetInstance().ResetResourceMap();
        ASSERT_TRUE(CResourceManager::GetInstance().LoadResource("res.xml"));
        CControlFactory::GetInstance().RegistControl(
            "DeviceOption", [] { return std::make_unique<CDeviceOptionUI>(); });
        CControlFactory::GetInstance().RegistControl(
            "MpDevicePower", [] { return std::make_unique<CMpDevicePowerUI>(); });
        firmware_ = std::make_shared<SimCommandFirmware>(channel_, MouseMemoryLayout());
        unit_ =
            bus_->Plug(channel_ == SimChannel::Wired ? MouseWiredProduct() : MouseReceiverProduct(),
                       firmware_);
        if (withKeyboard_) {
            keyboardFirmware_ =
                std::make_shared<SimCommandFirmware>(SimChannel::Wired, KeyboardMemoryLayout());
            bus_->Plug(KeyboardWiredProduct(), keyboardFirmware_);
        }
        MainWindowServices services;
        services.userDataFolder = data_ / "user";
        services.defaultDataFolder = fs::path(Q731_SOURCE_DIR) / "DefaultData";
        ConfigureServices(services);
        window_ = std::make_unique<CMainWnd>(loop_, devices_, registry_, std::move(services));
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

    // For a test that needs more of the program than the mouse page.
    virtual void ConfigureServices(MainWindowServices&) {}

    int ModeOnDevice() const { return firmware_->Region(SimRegion::Settings)[1]; }

    fs::path data_;
    ManualClock clock_;
    UiLoop loop_{clock_};
    HeadlessPlatform platform_{loop_};
    MessageRegistry registry_;
    std::shared_ptr<SimBus> bus_ = std::make_shared<SimBus>();
    SimChannel channel_ = SimChannel::Wired;
    bool withKeyboard_ = false;
    std::shared_ptr<SimCommandFirmware> firmware_;
    std::shared_ptr<SimCommandFirmware> keyboardFirmware_;
    int unit_ = -1;
    DeviceManager devices_{
        loop_, bus_, [this](Product product) -> std::unique_ptr<CVexloUSBDevice> {
            if (product == Product::Keyboard && withKeyboard_) {
                auto keyboard = std::make_unique<CVexloKeyboardDevice>(bus_);
                keyboard->SetNames(std::string(TabOf(product).pageLayout),
                                   std::string(TabOf(product).tabName),
                                   std::string(RecordOf(product).lightingConfig));
                keyboard->SetFolders(
                    {data_ / "keyboard", fs::path(Q731_SOURCE_DIR) / "DefaultData"});
                EnsureDirectory(data_ / "keyboard");
                return keyboard;
            }
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

}  // namespace q731
