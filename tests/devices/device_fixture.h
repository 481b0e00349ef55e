#pragma once
// A mouse or keyboard object on a simulated product with strict firmware,
// its files in a private folder, its defaults copied from DefaultData with
// lighting-mode codes that differ from the mode indexes (index + 0x40), so a
// test sees every lookup in the bytes the device receives.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "app/device_tabs.h"
#include "device_access/device_path.h"
#include "devices/keyboard_device.h"
#include "devices/mouse_device.h"
#include "profiles/document_file.h"
#include "sim/sim_bus.h"
#include "sim/sim_firmware.h"
#include "sim/sim_pad.h"
#include "sim/sim_products.h"
#include "tests/support/hex.h"
#include "tests/support/sim_helpers.h"
#include "tests/support/test_folder.h"

namespace q731 {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::FromHex;
using testing::Slice;
using testing::ToHex;

inline constexpr std::uint8_t kModeCodeOffset = 0x40;
// Short read time-outs; writes only stall when a test makes them (see
// kTestTimeouts).
inline constexpr ChannelTimeouts kQuickTimeouts{2000, 60, 2000, 60};

// Quiet views that record what the device asked them to show.
struct MouseRecordingView : IMouseView {
    void Refresh() override { ++refreshes; }
    void ShowStageEnabled(int stage, bool on) override {
        shown.push_back("enabled " + std::to_string(stage) + " " + std::to_string(on));
    }
    void ShowStageValue(int stage, int step) override {
        shown.push_back("value " + std::to_string(stage) + " " + std::to_string(step));
    }
    void ShowPollingRate(int index) override { shown.push_back("rate " + std::to_string(index)); }
    int refreshes = 0;
    std::vector<std::string> shown;
};

struct KeyboardRecordingView : IKeyboardView {
    void Refresh() override { ++refreshes; }
    void ShowPollingRate(int index) override { shown.push_back("rate " + std::to_string(index)); }
    void ShowRepeatDelay(int index, int ms) override {
        shown.push_back("delay " + std::to_string(index) + " " + std::to_string(ms));
    }
    int refreshes = 0;
    std::vector<std::string> shown;
};

template <typename Device>
class DeviceTest : public ::testing::Test {
protected:
    static constexpr bool kMouse = std::is_same_v<Device, CVexloMouseDevice>;

    DeviceTest() {
        fs::create_directories(root_ / "defaults");
        fs::create_directories(DeviceFolder());
        for (const auto& entry :
             fs::directory_iterator(fs::path(Q731_SOURCE_DIR) / "DefaultData")) {
            fs::copy(entry.path(), root_ / "defaults" / entry.path().filename());
        }
        Json::Value lights = DocumentFile::ReadJsonFile(root_ / "defaults" / "default_light.json");
        for (Json::Value& row : lights["DefaultLightName"]) {
            for (Json::ArrayIndex i = 0; i < row.size(); ++i)
                row[i]["value"] = static_cast<int>(i) + kModeCodeOffset;
        }
        DocumentFile::WriteJsonFile(root_ / "defaults" / "default_light.json", lights);
    }
    // The device goes before its folder.
    ~DeviceTest() override { device_.reset(); }

    fs::path DeviceFolder() const { return root_ / (kMouse ? "mouse" : "keyboard"); }

    SimMemoryLayout Layout() const { return kMouse ? MouseMemoryLayout() : KeyboardMemoryLayout(); }

    // Plugs the product on `channel` and makes the device object; the link is
    // opened but nothing is sent yet.
    void Attach(SimChannel channel, SimMemoryLayout layout) {
        receiver_ = channel == SimChannel::Receiver;
        firmware_ = std::make_shared<SimCommandFirmware>(channel, layout);
        SimProductSpec product =
            kMouse ? (receiver_ ? MouseReceiverProduct() : MouseWiredProduct())
                   : (receiver_ ? KeyboardReceiverProduct() : KeyboardWiredProduct());
        std::shared_ptr<ISimFirmware> front = firmware_;
        if (manualClock_ != nullptr) {
            // Commands the test makes slow move the device's clock on.
            slow_ = std::make_shared<SimClockedLatency>(firmware_, *manualClock_);
            front = slow_;
        }
        unit_ = bus_->Plug(std::move(product), front);
        const int unit = unit_;
        if (manualClock_ != nullptr) {
            device_ = std::make_unique<Device>(bus_, *manualClock_);
        } else {
            device_ = std::make_unique<Device>(bus_);
        }
        const ProductRecord& record = RecordOf(device_->GetProduct());
        device_->SetNames(std::string(TabOf(device_->GetProduct()).pageLayout),
                          std::string(record.profileFolder), std::string(record.lightingConfig));
        device_->SetKeyCount(record.keyCount);
        device_->SetLedCount(record.ledCount);
        device_->SetFolders({DeviceFolder(), root_ / "defaults"});
        device_->SetProfileMode(record.profileMode);
        ASSERT_TRUE(device_->StartProfiles());
        device_->Initialise();
        device_->SetView(&view_);
        device_->SetFailurePause(Millis(0));
        const Channel linkChannel = receiver_ ? Channel::Receiver : Channel::Cable;
        device_->Link().SetTimeouts(linkChannel, kQuickTimeouts);
        ASSERT_TRUE(device_->Link().OpenChannel(linkChannel, testing::CommandPathOf(*bus_, unit)));
    }
    void Attach(SimChannel channel) { Attach(channel, Layout()); }

    // Puts `codes` into the device's key table from position 0.
    void FillKeyTable(std::span<const AssignmentCode> codes) {
        Bytes table;
        for (const AssignmentCode& code : codes) {
            table.insert(table.end(), {code.type, code.value1, code.value2});
        }
        firmware_->FillRegion(SimRegion::KeyTable, 0, table);
    }

    void ConnectAndClear() {
        ASSERT_EQ(device_->Connect(), LinkResult::Ok);
        firmware_->ClearLog();
    }

    std::vector<Bytes> Sent() const { return testing::SentFrames(*firmware_); }
    // Command byte and length byte of every frame sent, as "cc/ll".
    std::vector<std::string> Commands() const {
        std::vector<std::string> out;
        for (const Bytes& frame : Sent())
            out.push_back(ToHex(Slice(frame, 3, 2)));
        return out;
    }
    void ExpectNoViolations() const { testing::ExpectNoViolations(*firmware_); }
    Bytes Memory(SimRegion region) const { return firmware_->Region(region); }

    testing::TestFolder folder_{"q731-devices"};
    const fs::path& root_ = folder_.path();
    std::shared_ptr<SimBus> bus_ = testing::MakeTestBus();
    std::shared_ptr<SimCommandFirmware> firmware_;
    std::unique_ptr<Device> device_;
    std::conditional_t<kMouse, MouseRecordingView, KeyboardRecordingView> view_;
    bool receiver_ = false;
    int unit_ = -1;
    // Set before Attach: the device runs on this clock behind a latency front.
    ManualClock* manualClock_ = nullptr;
    std::shared_ptr<SimClockedLatency> slow_;
};

// Runs a test body on both channels.
inline const SimChannel kBothChannels[] = {SimChannel::Wired, SimChannel::Receiver};

}  // namespace q731
