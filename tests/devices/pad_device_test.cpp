#include "devices/mouse_pad_device.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <map>
#include <sstream>

#include "platform/ui_loop.h"
#include "sim/sim_pad.h"
#include "sim/sim_products.h"
#include "tests/support/hex.h"
#include "tests/support/sim_helpers.h"
#include "tests/support/test_folder.h"
#include "tests/support/wait.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testing::AdvanceAndSettle;
using testing::CommandPathOf;
using testing::CountFrames;
using testing::EventPathOf;
using testing::ReadText;
using testing::ToHex;
using testing::WaitUntil;

constexpr int kReadMemory = 0x05;
constexpr int kWriteMemory = 0x06;

// Every file under `folder` with its contents.
std::map<std::string, std::string> FolderContents(const fs::path& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) contents[entry.path().string()] = ReadText(entry.path());
    }
    return contents;
}

struct RecordingView : IDeviceView {
    int refreshes = 0;
    std::vector<std::vector<std::uint8_t>> powers;
    void Refresh() override { ++refreshes; }
    void ShowPower(std::span<const std::uint8_t> block) override {
        powers.emplace_back(block.begin(), block.end());
    }
};

// The pad's mode codes in these tests: 0x20 + index, so that an index and a
// code are never confused.
const std::vector<int> kOffsetCodes = {0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28};

class PadDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        loop_.BindToCurrentThread();
        firmware_ = std::make_shared<SimCommandFirmware>(SimChannel::Wired, MousePadMemoryLayout());
        FillPadSettings(*firmware_);
        unit_ = bus_->Plug(MousePadProduct(), firmware_);
    }
    void TearDown() override {
        if (device_) device_->CloseDevice();
        for (const SimViolation& violation : firmware_->Violations())
            ADD_FAILURE() << "frame " << violation.frameNumber << ": " << violation.what;
    }

    // Defaults with the pad's row of mode codes replaced by `codes`.
    void Start(const std::vector<int>& codes = kOffsetCodes, const std::string& run = "run") {
        if (device_) device_->CloseDevice();
        device_.reset();
        const fs::path root = folder_.path() / run;
        const fs::path defaults = root / "DefaultData";
        fs::create_directories(defaults);
        fs::create_directories(root / "MousePad");
        const fs::path source = fs::path(Q731_SOURCE_DIR) / "DefaultData";
        fs::copy_file(source / "MousePad.Json", defaults / "MousePad.Json");
        Json::Value light;
        std::istringstream text(ReadText(source / "default_light.json"));
        ASSERT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), text, &light, nullptr));
        Json::Value& row = light["DefaultLightName"][2];
        row = Json::Value(Json::arrayValue);
        for (std::size_t i = 0; i < codes.size(); ++i) {
            Json::Value entry;
            entry["LightName"] = "mode " + std::to_string(i);
            entry["visible"] = 1;
            entry["value"] = codes[i];
            row.append(entry);
        }
        std::ofstream(defaults / "default_light.json") << light;

        device_ = std::make_unique<CVexloMousePadDevice>(bus_, clock_);
        device_->SetLedCount(15);
        device_->SetView(&view_);
        device_->AttachLoop(&loop_);
        device_->SetFolders({root / "MousePad", defaults});
        ASSERT_TRUE(device_->StartProfiles());
        ASSERT_TRUE(device_->Link().OpenChannel(Channel::Cable, CommandPathOf(*bus_, unit_)));
    }
    void Connect() {
        // Frames for the picture are not needed until a test says so.
        device_->SetAttention(false);
        ASSERT_EQ(device_->Connect(), LinkResult::Ok);
    }
    std::vector<std::uint8_t> DeviceBlock(int profile = 0) const {
        const std::vector<std::uint8_t> settings = firmware_->Region(SimRegion::Settings);
        const auto begin = settings.begin() + profile * 64;
        return {begin, begin + pad_block::kBytes};
    }
    void SetLight(std::uint8_t mode, std::uint8_t speed) {
        LightSetting light = device_->GetLightInfo();
        light.selectItem = mode;
        light.speed = speed;
        device_->SetLightInfo(light);
        device_->ApplyProfile();
    }
    void FailFrame(int frame) {
        SimFault fault;
        fault.kind = SimFaultKind::StatusFF;
        fault.frame = frame;
        firmware_->AddFault(fault);
    }

    ManualClock clock_;
    UiLoop loop_{clock_};
    testing::TestFolder folder_{"q731-pad"};
    std::shared_ptr<SimBus> bus_ = testing::MakeTestBus();
    std::shared_ptr<SimCommandFirmware> firmware_;
    RecordingView view_;
    std::unique_ptr<CVexloMousePadDevice> device_;
    int unit_ = -1;
};

TEST_F(PadDeviceTest, ConnectReadsThePadAndKeepsTheProfilesLightingInIndexForm) {
    Start();
    Connect();
    EXPECT_TRUE(device_->BlockRead());
    EXPECT_EQ(CountFrames(*firmware_, 0x03), 1);  // the information block
    // The default profile: Spectrum, level 4, speed 2, colour wheel, red; the
    // pad's own bytes as the pad has them.
    EXPECT_EQ(ToHex(device_->KeptBlock(), 3), "000104 02a001 ff0000 393a3b 3c3d3e 3f4041 424344");
    EXPECT_GT(view_.refreshes, 0);
    EXPECT_TRUE(device_->Renderer().Running());
}

TEST_F(PadDeviceTest, AWriteEncodesTheLightingAndHandsThePadsOwnBytesBack) {
    Start();
    Connect();
    SetLight(3, 3);
    ASSERT_EQ(device_->WriteSettings(), LinkResult::Ok);
    // Mode 3 as code 0x23, speed level 3 as 1; bytes 4 and 9-20 unchanged.
    EXPECT_EQ(ToHex(DeviceBlock(), 3), "002304 01a001 ff0000 393a3b 3c3d3e 3f4041 424344");
    // Kept in index and level form.
    EXPECT_EQ(device_->KeptBlock()[pad_block::kMode], 3);
    EXPECT_EQ(device_->KeptBlock()[pad_block::kSpeed], 3);
    // Reading back gives level 3 again.
    ASSERT_EQ(device_->Resync(), LinkResult::Ok);
    EXPECT_EQ(device_->KeptBlock()[pad_block::kSpeed], 3);
    EXPECT_EQ(device_->KeptBlock()[pad_block::kMode], 3);
}

TEST_F(PadDeviceTest, ModesOutsideTheClassOrTheCodeTableGoOutAsModeZerosCode) {
    struct Case {
        std::vector<int> codes;
        std::uint8_t index;
        std::uint8_t wire;
    };
    const Case cases[] = {
        {kOffsetCodes, 9, 0x20},                       // above the pad's bound
        {kOffsetCodes, 255, 0x20},                     // far above it
        {{0x20, 0x21, 0x22}, 6, 0x20},                 // a table shorter than the bound
        {{0x20, 0x21, 0x22}, 2, 0x22}, {{}, 4, 0x00},  // no table at all
    };
    int run = 0;
    for (const Case& c : cases) {
        Start(c.codes, "run" + std::to_string(run++));
        Connect();
        SetLight(c.index, 2);
        ASSERT_EQ(device_->WriteSettings(), LinkResult::Ok);
        EXPECT_EQ(DeviceBlock()[pad_block::kMode], c.wire) << int{c.index};
    }
}

TEST_F(PadDeviceTest, ResyncKeepsTheActiveProfilesBlockAndLeavesTheProfileAlone) {
    Start();
    Connect();
    SetLight(0, 1);
    ASSERT_TRUE(device_->SaveProfile());
    const LightSetting before = device_->GetLightInfo();
    const auto files = FolderContents(folder_.path() / "run" / "MousePad");

    std::vector<std::uint8_t> block = SimPadFactoryBlock(2);
    block[pad_block::kMode] = 0x24;
    block[pad_block::kSpeed] = 0;
    firmware_->FillRegion(SimRegion::Settings, 128, block);
    const std::uint8_t active[] = {2};
    firmware_->FillRegion(SimRegion::Settings, 0, active);
    device_->Link().SetSyncFlag(true);
    ASSERT_EQ(device_->Resync(), LinkResult::Ok);

    EXPECT_FALSE(device_->Link().SyncFlag());
    EXPECT_EQ(device_->ActiveProfile(), 2);
    EXPECT_EQ(ToHex(device_->KeptBlock(), 3), "020404 04a201 ff0000 595a5b 5c5d5e 5f6061 626364");
    EXPECT_EQ(device_->GetLightInfo(), before);
    EXPECT_EQ(device_->ProfileData().GetLightSetting(), before);
    EXPECT_EQ(FolderContents(folder_.path() / "run" / "MousePad"), files);
}

TEST_F(PadDeviceTest, ACodeTheTableDoesNotKnowIsKeptAsRead) {
    Start();
    Connect();
    std::vector<std::uint8_t> block = SimPadFactoryBlock(0);
    block[pad_block::kMode] = 0x77;
    firmware_->FillRegion(SimRegion::Settings, 0, block);
    ASSERT_EQ(device_->Resync(), LinkResult::Ok);
    EXPECT_EQ(device_->KeptBlock()[pad_block::kMode], 0x77);
    EXPECT_EQ(device_->Plan().kind, RenderPlan::Kind::Idle);
}

TEST_F(PadDeviceTest, AFailedReadKeepsThePreviousBlockUntranslated) {
    Start();
    Connect();
    SetLight(2, 3);  // kept speed level 3; translating it again would give 1
    const PadBlock kept = device_->KeptBlock();
    // The read of the active profile, then the first and the last piece of the block.
    for (int failing : {0, 1, 2}) {
        FailFrame(firmware_->FramesReceived() + failing);
        EXPECT_EQ(device_->Resync(), LinkResult::Failed) << failing;
        EXPECT_EQ(device_->KeptBlock(), kept) << failing;
        firmware_->ClearFaults();
    }
}

TEST_F(PadDeviceTest, AWriteBeforeAnyReadNeverOverwritesThePadsOwnBytes) {
    Start();
    SimFault fault;
    fault.kind = SimFaultKind::StatusFF;
    fault.command = kReadMemory;
    fault.times = -1;
    firmware_->AddFault(fault);
    Connect();
    EXPECT_FALSE(device_->BlockRead());
    SetLight(4, 0);
    ASSERT_EQ(device_->WriteSettings(), LinkResult::Ok);
    // Bytes 1-3 and 5-8 written, byte 0, 4 and 9-20 as the factory left them.
    EXPECT_EQ(ToHex(DeviceBlock(), 3), "002404 04a001 ff0000 393a3b 3c3d3e 3f4041 424344");
    EXPECT_EQ(CountFrames(*firmware_, kWriteMemory), 2);

    // Once the pad answers, the write reads its bytes first and sends the block whole.
    firmware_->ClearFaults();
    ASSERT_EQ(device_->WriteSettings(), LinkResult::Ok);
    EXPECT_TRUE(device_->BlockRead());
    EXPECT_EQ(CountFrames(*firmware_, kWriteMemory), 3);
    EXPECT_EQ(ToHex(DeviceBlock(), 3), "002404 04a001 ff0000 393a3b 3c3d3e 3f4041 424344");
}

TEST_F(PadDeviceTest, AWriteThatFailsSaysSo) {
    Start();
    Connect();
    SimFault fault;
    fault.kind = SimFaultKind::StatusFF;
    fault.command = kWriteMemory;
    firmware_->AddFault(fault);
    EXPECT_EQ(device_->WriteSettings(), LinkResult::Failed);
    device_->Link().Close();
    EXPECT_EQ(device_->WriteSettings(), LinkResult::Failed);
}

TEST_F(PadDeviceTest, AResyncRequestReadsThePad500MsLaterAndOtherEventsDoNothing) {
    Start();
    Connect();
    ASSERT_TRUE(device_->OpenListener(Channel::Cable, EventPathOf(*bus_, unit_)));
    auto send = [this](std::uint16_t value) {
        const std::uint8_t report[] = {kSimEventReportId, static_cast<std::uint8_t>(value),
                                       static_cast<std::uint8_t>(value >> 8)};
        bus_->SendInput(unit_, kSimCommandInterface, report);
    };
    auto timerSet = [this] {
        loop_.ProcessPending();
        return loop_.HasTimer(device_.get(), CVexloUSBDevice::kTimerResync);
    };
    for (std::uint16_t value : {0x1102, 0x0403, 0x1021})
        send(value);
    ASSERT_TRUE(WaitUntil([this] { return device_->Listener().ReportsRead() >= 3; }));
    EXPECT_FALSE(timerSet());

    const int reads = CountFrames(*firmware_, kReadMemory);
    send(0x0401);
    ASSERT_TRUE(WaitUntil(timerSet));
    RunFor(loop_, clock_, 499ms);
    EXPECT_EQ(CountFrames(*firmware_, kReadMemory), reads);
    RunFor(loop_, clock_, 1ms);
    EXPECT_EQ(CountFrames(*firmware_, kReadMemory), reads + 3);
}

TEST_F(PadDeviceTest, PowerShowsTheChargerAndPhoneEvenWhileTheWindowIsHidden) {
    Start();
    device_->SetHasBattery(true);
    device_->SetPowerPause(true);
    ASSERT_TRUE(device_->ReadPower());
    ASSERT_EQ(view_.powers.size(), 1u);
    EXPECT_EQ(ToHex(view_.powers[0], 0), "000000000002");
    EXPECT_EQ(device_->LastPower().phone, PhoneKind::Samsung);
    device_->Link().Close();
    EXPECT_FALSE(device_->ReadPower());
}

TEST(PadPowerTest, TheBlockIsDecodedWithEveryValueChecked) {
    struct Case {
        std::vector<std::uint8_t> block;
        PadPowerStatus status;
    };
    const Case cases[] = {
        {{80, 1, 0, 0, 0, 1}, {80, SupplyState::Charging, PhoneKind::IPhone}},
        {{100, 0, 0, 0, 0, 3}, {100, SupplyState::Cable, PhoneKind::Other}},
        {{250, 2, 0, 0, 0, 0}, {100, SupplyState::Battery, PhoneKind::None}},
        {{5, 7, 0, 0, 0, 4}, {5, SupplyState::Unknown, PhoneKind::None}},
        {{5, 1, 0}, {}},  // too short
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodePadPower(c.block), c.status) << ToHex(c.block, 0);
}

TEST_F(PadDeviceTest, ThePlanFollowsTheLinkTheWindowAndTheMode) {
    Start();
    Connect();
    device_->SetAttention(true);
    SetLight(0, 4);
    EXPECT_EQ(device_->Plan().kind, RenderPlan::Kind::Paced);
    EXPECT_EQ(device_->Plan().ticks, 4);
    SetLight(3, 4);
    EXPECT_EQ(device_->Plan().kind, RenderPlan::Kind::Static);
    SetLight(9, 4);  // written as mode 0
    EXPECT_EQ(device_->Plan().kind, RenderPlan::Kind::Paced);

    device_->SetAttention(false);
    EXPECT_EQ(device_->Plan().kind, RenderPlan::Kind::Idle);
    device_->SetAttention(true);
    device_->Link().SetSyncFlag(true);
    EXPECT_EQ(device_->Plan().kind, RenderPlan::Kind::Idle);
    device_->Link().SetSyncFlag(false);
    device_->SetHostLighting(false);
    EXPECT_EQ(device_->Plan().kind, RenderPlan::Kind::Idle);
    device_->SetHostLighting(true);
    device_->Link().Close();
    EXPECT_EQ(device_->Plan().kind, RenderPlan::Kind::Idle);
}

TEST_F(PadDeviceTest, AHiddenWindowCostsNoFramesAndAStillPictureIsDrawnOnce) {
    Start();
    Connect();
    RenderThread& renderer = device_->Renderer();
    auto frames = [&renderer] { return renderer.FramesDrawn(); };
    SetLight(0, 2);
    for (int step = 0; step < 20; ++step)
        ASSERT_TRUE(AdvanceAndSettle(clock_, 50ms));
    EXPECT_EQ(frames(), 0u);

    device_->SetAttention(true);
    device_->LightTick();  // notices the window and wakes the renderer
    ASSERT_TRUE(WaitUntil([&] { return frames() >= 1; }));
    for (std::uint64_t frame = 2; frame <= 10; ++frame) {
        ASSERT_TRUE(AdvanceAndSettle(clock_, 18ms));  // speed level 2: a frame every 18 ms
        EXPECT_EQ(frames(), frame);
    }
    ASSERT_TRUE(AdvanceAndSettle(clock_, 17ms));
    EXPECT_EQ(frames(), 10u);

    SetLight(3, 2);
    ASSERT_TRUE(WaitUntil([&] { return frames() >= 11; }));
    for (int step = 0; step < 20; ++step)
        ASSERT_TRUE(AdvanceAndSettle(clock_, 50ms));
    EXPECT_EQ(frames(), 11u);
    EXPECT_EQ(device_->GetLedColour(5) & 0xFFFFFF, 0x0000FFu);  // red, as packed
}

TEST_F(PadDeviceTest, ThePictureIsHandedTheLedsOnlyWhileTheWindowAttends) {
    Start();
    std::vector<std::vector<LedColour>> pictures;
    device_->SetPictureSink(
        [&](std::span<const LedColour> leds) { pictures.emplace_back(leds.begin(), leds.end()); });
    device_->SetAttention(false);
    device_->LightTick();
    EXPECT_TRUE(pictures.empty());
    device_->SetAttention(true);
    device_->SetLedColour(3, 0xFF102030);
    device_->LightTick();
    ASSERT_EQ(pictures.size(), 1u);
    ASSERT_EQ(pictures[0].size(), 15u);
    EXPECT_EQ(pictures[0][3], (LedColour{0x30, 0x20, 0x10, 0xFF}));
    device_->SetHostLighting(false);
    device_->LightTick();
    EXPECT_EQ(pictures.size(), 1u);
}

TEST_F(PadDeviceTest, AModeChangeStartsTheNewModeFromAClearPicture) {
    Start();
    SetLight(1, 2);  // spectrum lights every LED
    SteadyTime now = clock_.Now();
    for (int frame = 0; frame < 5; ++frame)
        device_->RenderFrame(now += 20ms);
    EXPECT_NE(device_->GetLedColour(0), 0u);
    SetLight(7, 2);  // the group ripple never draws LED 0
    for (int frame = 0; frame < 5; ++frame)
        device_->RenderFrame(now += 20ms);
    EXPECT_EQ(device_->GetLedColour(0), 0u);
}

}  // namespace
}  // namespace q731
