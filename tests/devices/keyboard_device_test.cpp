#include <gtest/gtest.h>

#include <set>

#include "device_fixture.h"

namespace q731 {
namespace {

constexpr int kKeys = kKeyboardLogicalKeys;

class KeyboardTest : public DeviceTest<CVexloKeyboardDevice> {
protected:
    // The factory codes in logical order; LED of position p is (p * 7) % 170.
    void Start(SimChannel channel, Bytes ledMap = {}) {
        Attach(channel);
        FillKeyTable(kKeyboardFactoryCodes);
        if (ledMap.empty()) {
            for (int p = 0; p < kKeys; ++p)
                ledMap.push_back(static_cast<std::uint8_t>(p * 7 % 170));
        }
        firmware_->FillRegion(SimRegion::LedMap, 0, ledMap);
        ConnectAndClear();
        // These tests set LED colours by hand; the renderer would draw over them.
        device_->Renderer().Stop();
    }
    void SetLight(std::uint8_t mode, std::uint8_t group, Rgb colour = {200, 100, 50}) {
        LightSetting light = device_->GetLightInfo();
        light.selectItem = mode;
        light.customGroup = group;
        light.red = colour.red;
        light.green = colour.green;
        light.blue = colour.blue;
        device_->SetLightInfo(light);
    }
    int ColourBytesSent() const {
        int bytes = 0;
        for (const Bytes& frame : Sent()) {
            if (frame[3] == 0x0B) bytes += frame[4];
        }
        return bytes;
    }
};

TEST_F(KeyboardTest, ConnectMapsKeysAndLedsAndReadsTheSettings) {
    Start(SimChannel::Wired);
    ExpectNoViolations();
    EXPECT_TRUE(device_->KeyTableValid());
    EXPECT_EQ(device_->Positions()[0], 0);
    EXPECT_EQ(device_->Positions()[125], 125);
    EXPECT_EQ(device_->LedOfKey(3), 21);
    EXPECT_EQ(device_->LedOfKey(169), 169 * 7 % 170);
    std::set<int> positions(device_->Positions().begin(), device_->Positions().end());
    EXPECT_EQ(positions.size(), static_cast<std::size_t>(kKeys))
        << "keys without a key of their own still take one position each";
}

TEST_F(KeyboardTest, SettingsBlockCarriesFlagsPollingZoneModeAndGroup) {
    const std::vector<std::string> chunks[] = {{"06 38 00 00", "06 08 38 00"},
                                               {"06 18 00 00", "06 18 18 00", "06 10 30 00"}};
    for (int channel = 0; channel < 2; ++channel) {
        SCOPED_TRACE(channel);
        Start(kBothChannels[channel]);
        LightSetting light;
        light.selectItem = 17;
        light.brightness = 2;
        light.speed = 1;
        light.direction = 1;
        light.multiColor = 1;
        light.red = 0x0A;
        light.green = 0x0B;
        light.blue = 0x0C;
        light.zzccMode = 2;
        light.customGroup = 3;
        device_->SetLightInfo(light);
        KeyboardSystemSettings system = device_->Profile().GetSystemSettings();
        system.wFlag = 1;
        system.key6Flag = 0;
        system.winFlag = 1;
        system.pollingRate = 2;
        device_->Profile().SetSystemSettings(system);
        firmware_->ClearLog();
        ASSERT_EQ(device_->WriteSettings(), LinkResult::Ok);
        EXPECT_EQ(ToHex(Slice(Memory(SimRegion::Settings), 0, 64)),
                  "00 51 02 03 01 01 0a 0b 0c 00 00 00 00 00 00 00 00 00 02 01 00 01 02 00 "
                  "00 03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                  "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
        std::vector<std::string> writes;
        for (const Bytes& frame : Sent()) {
            if (frame[3] == 0x06) writes.push_back(ToHex(Slice(frame, 3, 4)));
        }
        EXPECT_EQ(writes, chunks[channel]);
        ExpectNoViolations();

        light.selectItem = 31;
        light.speed = 9;
        device_->SetLightInfo(light);
        ASSERT_EQ(device_->WriteSettings(), LinkResult::Ok);
        EXPECT_EQ(ToHex(Slice(Memory(SimRegion::Settings), 1, 3)), "40 02 00");
        light.selectItem = 30;
        device_->SetLightInfo(light);
        ASSERT_EQ(device_->WriteSettings(), LinkResult::Ok);
        EXPECT_EQ(Memory(SimRegion::Settings)[1], 0x40 + 30);
    }
}

TEST_F(KeyboardTest, ReadSettingsTakesLightingAndFlagsAndKeepsUnknownCodes) {
    Start(SimChannel::Receiver);
    firmware_->FillRegion(SimRegion::Settings, 0, FromHex("02"));
    firmware_->FillRegion(SimRegion::Settings, 128,
                          FromHex("00 ee 03 01 01 00 01 02 03 00 00 00 00 00 00 00 09 00 03 "
                                  "01 01 00 02 00 00 02"));
    ASSERT_EQ(device_->ReadSettings(), LinkResult::Ok);
    const LightSetting light = device_->GetLightInfo();
    EXPECT_EQ(light.selectItem, 0xEE);
    EXPECT_EQ(light.brightness, 3);
    EXPECT_EQ(light.speed, 3) << "byte 3 = 1";
    EXPECT_EQ(light.zzccMode, 3);
    EXPECT_EQ(light.customGroup, 2);
    EXPECT_EQ(device_->SettingsBlock()[0], 2);
    EXPECT_EQ(device_->SettingsBlock()[16], 0);
    const Json::Value saved = DocumentFile::ReadJsonFile(device_->Profile().GetProfilePath());
    const Json::Value& system = saved["Device"][0]["SystemStages"];
    EXPECT_EQ(system["WFlag"].asInt(), 1);
    EXPECT_EQ(system["Key6Flag"].asInt(), 1);
    EXPECT_EQ(system["WinFlag"].asInt(), 0);
    EXPECT_EQ(saved["Device"][0]["LightInfo"]["SelectItem"].asInt(), 0xEE);
    ExpectNoViolations();
}

TEST_F(KeyboardTest, CustomColoursOfGroupTwoStartAtAddress1024) {
    for (int channel = 0; channel < 2; ++channel) {
        SCOPED_TRACE(channel);
        Start(kBothChannels[channel]);
        SetLight(CVexloKeyboardDevice::kCustomMode, 0);
        ASSERT_TRUE(device_->SelectCustomGroup(2));
        firmware_->ClearLog();
        ASSERT_EQ(device_->FillAllKeys(true), LinkResult::Ok);
        const Bytes colours = Memory(SimRegion::KeyColours);
        // 200, 100, 50 at full brightness: each × 255 ÷ 256.
        EXPECT_EQ(ToHex(Slice(colours, 1024 + 3 * 21, 3)), "c7 63 31");  // key 3, LED 21
        EXPECT_EQ(ToHex(Slice(colours, 0, 3)), "00 00 00") << "group 0 untouched";
        EXPECT_EQ(ColourBytesSent(), 510);
        for (const Bytes& frame : Sent()) {
            if (frame[3] != 0x0B) continue;
            EXPECT_EQ(frame[5] | frame[6] << 8, 1024) << "the first colour frame";
            break;
        }
        const Json::Value saved = DocumentFile::ReadJsonFile(device_->Profile().GetProfilePath());
        EXPECT_EQ(saved["Device"][0]["CustomLightMode"]["LightColorInfo"][2][5]["Red"].asInt(),
                  200);
        ExpectNoViolations();
    }
}

TEST_F(KeyboardTest, PaintKeySends510BytesByCableAndNothingByReceiver) {
    for (int channel = 0; channel < 2; ++channel) {
        SCOPED_TRACE(channel);
        Start(kBothChannels[channel]);
        SetLight(CVexloKeyboardDevice::kCustomMode, 0);
        ASSERT_TRUE(device_->SelectCustomGroup(2));
        SetLight(CVexloKeyboardDevice::kCustomMode, 2, {1, 2, 3});
        firmware_->ClearLog();
        ASSERT_TRUE(device_->PaintKey(4));
        const Json::Value saved = DocumentFile::ReadJsonFile(device_->Profile().GetProfilePath());
        EXPECT_EQ(saved["Device"][0]["CustomLightMode"]["LightColorInfo"][2][4]["Blue"].asInt(), 3)
            << "the group is stored on both channels";
        if (kBothChannels[channel] == SimChannel::Wired) {
            EXPECT_EQ(ColourBytesSent(), 510);
            EXPECT_EQ(ToHex(Slice(Memory(SimRegion::KeyColours), 1024 + 3 * 28, 3)), "01 02 03")
                << "unscaled, at the LED of key 4";
        } else {
            EXPECT_TRUE(Sent().empty());
        }
        EXPECT_FALSE(device_->PaintKey(kKeys)) << "outside the LED list";
        SetLight(6, 2);
        EXPECT_FALSE(device_->PaintKey(4)) << "only in the custom mode";
        ExpectNoViolations();
    }
}

TEST_F(KeyboardTest, HostileLedMapNeverWritesPastTheColourBuffer) {
    Bytes hostile;
    for (int p = 0; p < kKeys; ++p) {
        hostile.push_back(static_cast<std::uint8_t>(p % 2 == 0 ? 170 + p % 85 : p));
    }
    Start(SimChannel::Wired, hostile);
    EXPECT_EQ(device_->LedOfKey(0), 170);
    EXPECT_EQ(device_->LedOfKey(169), 169);
    SetLight(CVexloKeyboardDevice::kCustomMode, 1);
    device_->Profile().SetSelectedCustomGroup(1);
    ASSERT_EQ(device_->FillAllKeys(true), LinkResult::Ok);
    ASSERT_TRUE(device_->PaintKey(0));
    ASSERT_TRUE(device_->PaintKey(168));
    SetLight(CVexloKeyboardDevice::kMusicMode, 1);
    device_->Leds().Fill({255, 255, 255, 255});
    const Bytes frame = device_->BuildStreamFrame();
    ASSERT_EQ(frame.size(), 510u);
    EXPECT_EQ(ToHex(Slice(frame, 507, 3)), "fe fe fe") << "LED 169 is the last that fits";
    EXPECT_EQ(ToHex(Slice(frame, 0, 3)), "00 00 00") << "LED 0 belongs to no key";
    device_->LightTick();
    EXPECT_EQ(ToHex(Slice(Memory(SimRegion::LedFrame), 3 * 169, 3)), "fe fe fe");
    ExpectNoViolations();
}

TEST_F(KeyboardTest, KeyTableSkipsKeysTheKeyboardLacks) {
    Attach(SimChannel::Wired);
    std::vector<AssignmentCode> table(kKeyboardFactoryCodes.begin(), kKeyboardFactoryCodes.end());
    table[0] = {0x20, 0x00, 0x00};  // no Escape on this keyboard
    FillKeyTable(table);
    ConnectAndClear();
    EXPECT_EQ(device_->Positions()[0], CVexloKeyboardDevice::kNoPosition);
    // A profile with the real factory codes as its defaults; a placeholder
    // entry (default "no key" where the keyboard has S) is never sent.
    Json::Value document = device_->Profile().Document();
    Json::Value& list = document["KeyList"];
    for (int key = 0; key < kKeys; ++key) {
        const std::uint32_t code = kKeyboardFactoryCodes[static_cast<std::size_t>(key)].ToInt();
        list[key]["Assignment"] = code;
        list[key]["DefaultAssignment"] = key == 65 ? 0x200000u : code;
    }
    list[0]["Assignment"] = 0x200005;   // Escape: never sent
    list[19]["Assignment"] = 0x20000B;  // a no-key slot of its own
    list[64]["Assignment"] = 0x400100;  // A becomes power
    list[65]["Assignment"] = 0x200000;
    device_->Profile().SetDocument(document);
    ASSERT_EQ(device_->WriteKeys(), LinkResult::Ok);
    const Bytes memory = Memory(SimRegion::KeyTable);
    EXPECT_EQ(ToHex(Slice(memory, 0, 3)), "20 00 00");
    EXPECT_EQ(ToHex(Slice(memory, 3 * 18, 3)), "20 00 0b");
    EXPECT_EQ(ToHex(Slice(memory, 3 * 64, 3)), "40 01 00");
    EXPECT_EQ(ToHex(Slice(memory, 3 * 65, 3)), "20 00 16");
    EXPECT_EQ(Commands().front(), "03 22");
    ExpectNoViolations();
}

TEST_F(KeyboardTest, SilentReceiverGetsOnlyTheLinkQuery) {
    Start(SimChannel::Receiver);
    SetLight(CVexloKeyboardDevice::kCustomMode, 0);
    firmware_->SetRadioOn(false);
    EXPECT_EQ(device_->WriteSettings(), LinkResult::Failed);
    EXPECT_EQ(device_->WriteKeys(), LinkResult::Failed);
    EXPECT_EQ(device_->SendCustomColours(), LinkResult::Failed);
    EXPECT_EQ(device_->ReadSettings(), LinkResult::Failed);
    EXPECT_EQ(device_->EnableHostLighting(true), LinkResult::Failed);
    EXPECT_EQ(Commands(), std::vector<std::string>(5, "aa 00"));
}

TEST_F(KeyboardTest, KeyTableThatFailsToReadBlocksKeysAndColours) {
    Attach(SimChannel::Wired);
    FillKeyTable(kKeyboardFactoryCodes);
    firmware_->AddFault({SimFaultKind::NoReply, 0x1B, -1, 1});
    EXPECT_EQ(device_->Connect(), LinkResult::Failed);
    EXPECT_FALSE(device_->KeyTableValid());
    EXPECT_EQ(device_->LedOfKey(0), 255);
    SetLight(CVexloKeyboardDevice::kCustomMode, 0);
    firmware_->ClearLog();
    EXPECT_EQ(device_->WriteKeys(), LinkResult::Failed);
    EXPECT_EQ(device_->SendCustomColours(), LinkResult::Failed);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(KeyboardTest, PageActionsStoreAndSendWhatTheKeyboardUses) {
    Start(SimChannel::Wired);
    ASSERT_TRUE(device_->SetFlag(KeyboardFlag::WinLock, true));
    ASSERT_TRUE(device_->SetFlag(KeyboardFlag::WKey, true));
    ASSERT_TRUE(device_->SetFlag(KeyboardFlag::SixKey, true));
    ASSERT_TRUE(device_->SetPollingRate(3));
    EXPECT_EQ(ToHex(Slice(Memory(SimRegion::Settings), 19, 4)), "01 01 01 03");
    ASSERT_TRUE(device_->SetFlag(KeyboardFlag::SixKey, false));
    EXPECT_EQ(Memory(SimRegion::Settings)[20], 0);
    EXPECT_FALSE(device_->SetPollingRate(4));

    firmware_->ClearLog();
    ASSERT_TRUE(device_->SetRepeatDelay(2));
    device_->SetRepeatRate(20);
    EXPECT_FALSE(device_->SetRepeatDelay(4));
    EXPECT_TRUE(Sent().empty()) << "repeat rate and delay stay in the profile";
    EXPECT_EQ(view_.shown, (std::vector<std::string>{"rate 3", "delay 2 750"}));
    const Json::Value saved = DocumentFile::ReadJsonFile(device_->Profile().GetProfilePath());
    EXPECT_EQ(saved["Device"][0]["SystemStages"]["RepeatDelay"].asInt(), 2);
    EXPECT_EQ(saved["Device"][0]["SystemStages"]["Repeat"].asInt(), 20);
    EXPECT_EQ(saved["Device"][0]["SystemStages"]["WinFlag"].asInt(), 1);
    EXPECT_EQ(CVexloKeyboardDevice::RepeatDelayMs(0), 250);
    EXPECT_EQ(CVexloKeyboardDevice::RepeatDelayMs(3), 1000);
    EXPECT_EQ(CVexloKeyboardDevice::RepeatDelayMs(9), 250);
}

TEST_F(KeyboardTest, AFailedColourWriteSkipsWritesForAWhileWithoutSleeping) {
    ManualClock clock;
    manualClock_ = &clock;
    Start(SimChannel::Wired);
    device_->SetFailurePause(Millis(200));
    SetLight(CVexloKeyboardDevice::kCustomMode, 0);
    ASSERT_TRUE(device_->SelectCustomGroup(1));
    SetLight(CVexloKeyboardDevice::kCustomMode, 1, {9, 9, 9});
    SimFault busy;
    busy.kind = SimFaultKind::StatusFE;
    busy.command = 0x0B;
    firmware_->AddFault(busy);
    firmware_->ClearLog();
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(device_->PaintKey(4));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(150))
        << "the UI thread does not sleep after a failure";
    firmware_->ClearLog();
    ASSERT_TRUE(device_->PaintKey(5));
    EXPECT_EQ(ColourBytesSent(), 0) << "skipped during the pause; the colour is still stored";
    clock.Advance(Millis(200));
    ASSERT_TRUE(device_->PaintKey(6));
    EXPECT_EQ(ColourBytesSent(), 510);
    EXPECT_EQ(ToHex(Slice(Memory(SimRegion::KeyColours), 512 + 3 * device_->LedOfKey(5), 3)),
              "09 09 09")
        << "the key painted during the pause reaches the device with the next write";
}

TEST_F(KeyboardTest, ProfileChangeOnTheKeyboardRereadsItsSettings) {
    Start(SimChannel::Wired);
    ManualClock clock;
    UiLoop loop{clock};
    device_->AttachLoop(&loop);
    firmware_->FillRegion(SimRegion::Settings, 1, FromHex("45 04"));  // mode 5 at level 4
    device_->OnDeviceEvent(device_event::kKeyboardProfileChanged, Channel::Receiver);
    RunFor(loop, clock, Millis(100));
    EXPECT_TRUE(Sent().empty()) << "the cable's interface only";
    device_->OnDeviceEvent(device_event::kKeyboardProfileChanged, Channel::Cable);
    RunFor(loop, clock, Millis(100));
    EXPECT_EQ(device_->GetLightInfo().selectItem, 5);
    EXPECT_EQ(device_->GetLightInfo().brightness, 4);
    device_->CloseDevice();
    device_->AttachLoop(nullptr);
}

TEST_F(KeyboardTest, HostLightingStreamsOnlyTheHostDrivenModes) {
    Start(SimChannel::Wired);
    ASSERT_EQ(device_->EnableHostLighting(true), LinkResult::Ok);
    EXPECT_TRUE(firmware_->HostLighting());
    device_->Leds().Set(3, {100, 50, 25, 128});
    SetLight(6, 0);
    device_->LightTick();
    EXPECT_EQ(Commands(), std::vector<std::string>{"1c 00"}) << "mode 6 runs on the keyboard";
    SetLight(CVexloKeyboardDevice::kHostColourMode, 0);
    device_->LightTick();
    EXPECT_EQ(ToHex(Slice(Memory(SimRegion::LedFrame), 3 * 21, 3)), "32 19 0c");
    device_->SetHostLighting(false);
    firmware_->ClearLog();
    device_->LightTick();
    EXPECT_TRUE(Sent().empty());
    ExpectNoViolations();
}

}  // namespace
}  // namespace q731
