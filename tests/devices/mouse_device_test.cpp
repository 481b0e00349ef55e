#include <gtest/gtest.h>

#include "device_fixture.h"
#include "devices/shoot_image.h"
#include "profiles/macro_store.h"
#include "profiles/profile_paths.h"

namespace q731 {
namespace {

// Button 8's factory code is missing: position 10 holds a code of no button.
const std::vector<AssignmentCode> kScrambledTable = {
    kMouseFactoryCodes[2], kMouseFactoryCodes[0],  kMouseFactoryCodes[1], kMouseFactoryCodes[3],
    kMouseFactoryCodes[4], kMouseFactoryCodes[5],  kMouseFactoryCodes[6], kMouseFactoryCodes[7],
    kMouseFactoryCodes[9], kMouseFactoryCodes[10], {0x55, 0x66, 0x77}};

class MouseTest : public DeviceTest<CVexloMouseDevice> {
protected:
    void Start(SimChannel channel) {
        Attach(channel);
        FillKeyTable(kScrambledTable);
        ConnectAndClear();
    }
    // The block bytes 14.. of five distinct stages.
    void SetDistinctStages() {
        std::vector<DpiStage> stages(5);
        for (int i = 0; i < 5; ++i) {
            DpiStage& stage = stages[static_cast<std::size_t>(i)];
            stage.enabled = i == 4 ? 0 : 1;
            stage.separateXY = i == 1 ? 1 : 0;
            stage.SetDpiX(static_cast<std::uint16_t>(10 * (i + 1)));
            stage.SetDpiY(static_cast<std::uint16_t>(0x10B + 10 * i));
        }
        stages[0].red = 0xFF;
        stages[1].green = 0xFF;
        stages[2].blue = 0xFF;
        stages[3].red = stages[3].green = 0xFF;
        stages[4].red = stages[4].blue = 0xFF;
        device_->Profile().SetDpiStages(stages);
    }
};

TEST_F(MouseTest, ConnectReadsInfoAndKeyTableAndMapsButtonsOnBothChannels) {
    const std::vector<std::string> expected[] = {
        {"01 00", "03 22", "07 21", "02 00"},
        {"aa 00", "01 00", "03 18", "03 0a", "07 18", "07 09", "02 00"}};
    for (int channel = 0; channel < 2; ++channel) {
        SCOPED_TRACE(channel);
        Attach(kBothChannels[channel]);
        FillKeyTable(kScrambledTable);
        ASSERT_EQ(device_->Connect(), LinkResult::Ok);
        EXPECT_EQ(Commands(), expected[channel]);
        ExpectNoViolations();
        const int positions[] = {1, 2, 0, 3, 4, 5, 6, 7, 170, 8, 9};
        for (int button = 0; button < 11; ++button) {
            EXPECT_EQ(device_->ButtonPosition(button), positions[button]) << button;
        }
        EXPECT_EQ(device_->StepLimit(), 320);
        EXPECT_EQ(device_->ResolutionLimit(), 16000);
        EXPECT_GE(view_.refreshes, 1);
    }
}

TEST_F(MouseTest, SettingsBlockIsWrittenByteExactInChannelChunks) {
    const std::string golden =
        "00 42 03 03 01 00 11 22 33 00 00 02 03 00 "
        "01 00 0a 00 0b 01 ff 00 00 01 01 14 00 15 01 00 ff 00 01 00 1e 00 1f 01 00 00 ff "
        "01 00 28 00 29 01 ff ff 00 00 00 32 00 33 01 ff 00 ff "
        "01 00 0a a0 05 04 08";
    const std::vector<std::string> chunks[] = {{"06 38 00 00", "06 0a 38 00"},
                                               {"06 18 00 00", "06 18 18 00", "06 12 30 00"}};
    for (int channel = 0; channel < 2; ++channel) {
        SCOPED_TRACE(channel);
        Start(kBothChannels[channel]);
        LightSetting light;
        light.selectItem = 2;
        light.brightness = 3;
        light.speed = 1;
        light.direction = 1;
        light.red = 0x11;
        light.green = 0x22;
        light.blue = 0x33;
        device_->SetLightInfo(light);
        MouseSystemSettings system = device_->Profile().GetSystemSettings();
        system.reportStage = 2;
        device_->Profile().SetSystemSettings(system);
        device_->Profile().SetActiveStage(3);
        SetDistinctStages();
        Json::Value document = device_->Profile().Document();
        document["CorrectInfo"][2]["CorrectSelect"] = 1;
        device_->Profile().SetDocument(document);
        device_->ApplyProfile();

        ASSERT_EQ(device_->WriteSettings(0, 0, 1, 2560, 1440), LinkResult::Ok);
        EXPECT_EQ(ToHex(Slice(Memory(SimRegion::Settings), 0, 66)), golden);
        EXPECT_EQ(ToHex(Slice(Memory(SimRegion::Settings), 66, 5)), "00 00 00 00 00");
        std::vector<std::string> writes;
        for (const Bytes& frame : Sent()) {
            if (frame[3] == 0x06) writes.push_back(ToHex(Slice(frame, 3, 4)));
        }
        EXPECT_EQ(writes, chunks[channel]);
        EXPECT_EQ(Commands().back(), "02 00");
        ExpectNoViolations();
    }
}

TEST_F(MouseTest, ModeSpeedAndBrightnessAreBoundedBeforeEncoding) {
    struct Case {
        std::uint8_t mode, brightness, speed;
        const char* bytes1to3;
    };
    const Case cases[] = {
        {0, 0, 0, "40 00 04"},    // speed 0 goes out as 4
        {11, 4, 4, "4b 04 00"},   // the highest mode, speed 4 as 0
        {12, 1, 1, "40 01 03"},   // beyond the mouse's modes: mode 0's code
        {200, 9, 7, "40 04 00"},  // levels past 4 are clamped, never wrapped
    };
    Start(SimChannel::Wired);
    for (const Case& c : cases) {
        LightSetting light;
        light.selectItem = c.mode;
        light.brightness = c.brightness;
        light.speed = c.speed;
        device_->SetLightInfo(light);
        ASSERT_EQ(device_->WriteSettings(), LinkResult::Ok);
        EXPECT_EQ(ToHex(Slice(Memory(SimRegion::Settings), 1, 3)), c.bytes1to3) << int{c.mode};
    }
    EXPECT_EQ(Memory(SimRegion::Settings)[64], 0) << "no correction entry selected";
    EXPECT_EQ(Memory(SimRegion::Settings)[65], 0);
}

TEST_F(MouseTest, ResyncKeepsAnUnknownCodeAndTakesOnlyFiveStages) {
    Start(SimChannel::Receiver);
    const Bytes block = FromHex("07 99 02 01 00 01 0a 14 1e 05 00 00 07");
    firmware_->FillRegion(SimRegion::Settings, 0, FromHex("01"));
    firmware_->FillRegion(SimRegion::Settings, 128, block);
    const int stageBefore = device_->Profile().GetActiveStage();
    ASSERT_EQ(device_->Resync(), LinkResult::Ok);
    const LightSetting light = device_->GetLightInfo();
    EXPECT_EQ(light.selectItem, 0x99) << "a code with no mode stays as read";
    EXPECT_EQ(light.brightness, 2);
    EXPECT_EQ(light.speed, 3) << "byte 3 = 1 is speed 3";
    EXPECT_EQ(light.multiColor, 1);
    EXPECT_EQ(ToHex(std::span<const std::uint8_t>(&light.red, 3)), "0a 14 1e");
    EXPECT_EQ(device_->SettingsBlock()[0], 1);
    EXPECT_EQ(device_->SettingsBlock()[9], 0);
    EXPECT_EQ(device_->Profile().GetActiveStage(), stageBefore) << "stage 7 does not exist";

    firmware_->FillRegion(SimRegion::Settings, 128,
                          FromHex("00 45 09 09 00 00 00 00 00 00 00 00 02"));
    ASSERT_EQ(device_->Resync(), LinkResult::Ok);
    EXPECT_EQ(device_->GetLightInfo().selectItem, 5);
    EXPECT_EQ(device_->GetLightInfo().brightness, 4);
    EXPECT_EQ(device_->GetLightInfo().speed, 0);
    EXPECT_EQ(device_->ActiveStage(), 2);
    const Json::Value saved = DocumentFile::ReadJsonFile(device_->Profile().GetProfilePath());
    EXPECT_EQ(saved["Device"][0]["DPIStages"]["StageActive"].asInt(), 2);
    EXPECT_EQ(saved["Device"][0]["LightInfo"]["SelectItem"].asInt(), 5);
    ExpectNoViolations();
}

TEST_F(MouseTest, WriteKeysRenumbersMacrosInTheSentCopyAndLeavesUnmappedButtons) {
    const std::vector<std::string> expected[] = {
        {"03 22", "01 00", "09 21", "02 00"},
        {"aa 00", "03 18", "03 0a", "01 00", "09 18", "09 09", "02 00"}};
    for (int channel = 0; channel < 2; ++channel) {
        SCOPED_TRACE(channel);
        Start(kBothChannels[channel]);
        MacroStore store(DeviceFolder(), Product::Mouse);
        while (store.ListMacros().entries.size() < 6)
            ASSERT_FALSE(store.AddMacro().empty());
        std::vector<KeyEntry> keys = device_->Profile().GetKeyList();
        ASSERT_EQ(keys.size(), 11u);
        keys[0].current = KeyBinding::FromCode(0, 0x700501);
        keys[1].current = KeyBinding::FromCode(1, 0x700200);
        keys[2].current = KeyBinding::FromCode(2, 0x710503);
        keys[3].current = KeyBinding::FromCode(3, 0x700900);  // no macro 9
        keys[8].current = KeyBinding::FromCode(8, 0x200004);  // button 8 has no position
        device_->Profile().SetKeyList(keys);

        ASSERT_EQ(device_->WriteKeys(), LinkResult::Ok);
        EXPECT_EQ(Commands(), expected[channel]);
        EXPECT_EQ(ToHex(Slice(Memory(SimRegion::KeyTable), 0, 33)),
                  "71 00 03 70 00 01 70 01 00 10 10 00 10 08 00 13 01 00 13 02 00 13 03 00 "
                  "16 90 01 14 78 02 55 66 77");
        EXPECT_EQ(device_->Profile().GetKeyList(), keys) << "the stored list keeps 5, 2, 5, 9";
        EXPECT_EQ(device_->ListUsedMacros(), (std::vector<int>{5, 2}));
        ExpectNoViolations();
    }
}

TEST_F(MouseTest, MacroImageFollowsTheRenumberingAndReportsOverflow) {
    Start(SimChannel::Wired);
    MacroStore store(DeviceFolder(), Product::Mouse);
    while (store.ListMacros().entries.size() < 6)
        ASSERT_FALSE(store.AddMacro().empty());
    const MacroEvent press{"down", 10, 4, 20};
    ASSERT_TRUE(store.SaveEvents(5, "five", std::vector<MacroEvent>(3, press)));
    ASSERT_TRUE(store.SaveEvents(2, "two", std::vector<MacroEvent>(5, press)));
    std::vector<KeyEntry> keys = device_->Profile().GetKeyList();
    keys[0].current = KeyBinding::FromCode(0, 0x700500);
    keys[1].current = KeyBinding::FromCode(1, 0x700200);
    device_->Profile().SetKeyList(keys);

    ASSERT_EQ(device_->WriteMacros(), MacroWriteResult::Written);
    const Bytes image = Memory(SimRegion::Macro);
    EXPECT_EQ(ToHex(Slice(image, 0, 20)),
              "aa 55 3c 00 02 00 00 00 00 00 00 00 00 00 00 00 14 00 24 00");
    EXPECT_EQ(ToHex(Slice(image, 20, 8)), "03 00 00 00 14 00 8a 04");
    EXPECT_EQ(ToHex(Slice(image, 36, 4)), "05 00 00 00");
    ExpectNoViolations();

    firmware_->FillRegion(SimRegion::Info, 6, FromHex("00"));  // no macro memory
    firmware_->ClearLog();
    EXPECT_EQ(device_->WriteMacros(), MacroOverflow(60 / 4 + 1));
    EXPECT_EQ(Commands(), (std::vector<std::string>{"03 22"})) << "nothing but the info read";

    // A used macro whose file is gone is never sent as an empty macro.
    firmware_->FillRegion(SimRegion::Info, 6, FromHex("08"));
    fs::remove(store.MacroFilePath(2));
    firmware_->ClearLog();
    EXPECT_EQ(device_->WriteMacros(), MacroWriteResult::Failed);
    for (const std::string& command : Commands())
        EXPECT_NE(command.substr(0, 2), "15") << command;
}

TEST_F(MouseTest, DeletedMacroAssignmentsFallBackInTheStoredProfile) {
    Start(SimChannel::Wired);
    MacroStore store(DeviceFolder(), Product::Mouse);
    while (store.ListMacros().entries.size() < 2)
        ASSERT_FALSE(store.AddMacro().empty());
    std::vector<KeyEntry> keys = device_->Profile().GetKeyList();
    keys[4].current = KeyBinding::FromCode(4, 0x700100);  // exists
    keys[5].current = KeyBinding::FromCode(5, 0x710203);  // macro 2 is gone
    device_->Profile().SetKeyList(keys);
    ASSERT_TRUE(device_->CheckMacroAssignments());
    EXPECT_FALSE(device_->CheckMacroAssignments()) << "nothing left to change";
    const Json::Value saved = DocumentFile::ReadJsonFile(device_->Profile().GetProfilePath());
    const Json::Value& list = saved["Device"][0]["KeyList"];
    EXPECT_EQ(list[4]["Assignment"].asUInt(), 0x700100u);
    EXPECT_EQ(list[5]["Assignment"].asUInt(), kMouseFactoryCodes[5].ToInt());
    EXPECT_TRUE(Sent().empty());
}

TEST_F(MouseTest, IncompleteKeyTableReadSendsNoKeysOrMacros) {
    for (int channel = 0; channel < 2; ++channel) {
        SCOPED_TRACE(channel);
        Attach(kBothChannels[channel]);
        FillKeyTable(kScrambledTable);
        ASSERT_EQ(device_->Connect(), LinkResult::Ok);
        ASSERT_TRUE(device_->KeyTableValid());
        // The second connect stops part-way through the key table.
        firmware_->AddFault({SimFaultKind::StatusFF, 0x07, -1, 1});
        firmware_->ClearLog();
        EXPECT_EQ(device_->Connect(), LinkResult::StatusError);
        EXPECT_EQ(Commands().back(), "02 00") << "LeaveConfig follows a successful EnterConfig";
        EXPECT_FALSE(device_->KeyTableValid());
        EXPECT_EQ(device_->ButtonPosition(0), CVexloMouseDevice::kNoPosition);
        const Bytes before = Memory(SimRegion::KeyTable);
        firmware_->ClearLog();
        EXPECT_EQ(device_->WriteKeys(), LinkResult::Failed);
        EXPECT_EQ(device_->WriteMacros(), MacroWriteResult::Failed);
        EXPECT_TRUE(Sent().empty());
        EXPECT_EQ(Memory(SimRegion::KeyTable), before);
    }
}

TEST_F(MouseTest, FailedWritesReturnTheFailingCode) {
    Start(SimChannel::Wired);
    firmware_->AddFault({SimFaultKind::StatusFF, 0x06, -1, 1});
    EXPECT_EQ(device_->WriteSettings(), LinkResult::StatusError);
    EXPECT_EQ(Commands(), (std::vector<std::string>{"01 00", "06 38", "02 00"}))
        << "the write stops at the refused chunk; LeaveConfig still follows";

    firmware_->AddFault({SimFaultKind::StatusFE, 0x17, -1, 1});
    EXPECT_EQ(device_->WriteShootData(), LinkResult::StatusBusy);
    firmware_->AddFault({SimFaultKind::StatusFF, 0x09, -1, 1});
    EXPECT_EQ(device_->WriteKeys(), LinkResult::StatusError);

    device_->Link().Close();
    firmware_->ClearLog();
    EXPECT_EQ(device_->WriteSettings(), LinkResult::Failed);
    EXPECT_EQ(device_->WriteKeys(), LinkResult::Failed);
    EXPECT_EQ(device_->WriteShootData(), LinkResult::Failed);
    EXPECT_EQ(device_->Resync(), LinkResult::Failed);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(MouseTest, SilentReceiverGetsOnlyTheLinkQuery) {
    Start(SimChannel::Receiver);
    const Bytes settings = Memory(SimRegion::Settings);
    firmware_->SetRadioOn(false);
    EXPECT_EQ(device_->WriteSettings(), LinkResult::Failed);
    EXPECT_EQ(device_->WriteKeys(), LinkResult::Failed);
    EXPECT_EQ(device_->WriteMacros(), MacroWriteResult::Failed);
    EXPECT_EQ(device_->WriteShootData(), LinkResult::Failed);
    EXPECT_EQ(device_->Resync(), LinkResult::Failed);
    for (const std::string& command : Commands())
        EXPECT_EQ(command, "aa 00");
    EXPECT_EQ(Commands().size(), 5u);
    EXPECT_EQ(Memory(SimRegion::Settings), settings);
}

TEST_F(MouseTest, ShootingImageTakesAtMost180EventsPerSlotIn56ByteChunks) {
    for (int channel = 0; channel < 2; ++channel) {
        SCOPED_TRACE(channel);
        Start(kBothChannels[channel]);
        Json::Value events(Json::arrayValue);
        for (int i = 0; i < 200; ++i) {
            events.append(MacroEventToJson({"down", 1, 1, 10}, DelayForm::Integer));
        }
        Json::Value file;
        file["Events"] = events;
        ASSERT_TRUE(DocumentFile::WriteJsonFile(ShootingFilePath(DeviceFolder(), 0), file));
        for (int slot = 1; slot < 4; ++slot) {
            fs::copy_file(ShootingFilePath(root_ / "defaults", slot),
                          ShootingFilePath(DeviceFolder(), slot),
                          fs::copy_options::overwrite_existing);
        }
        ASSERT_EQ(device_->WriteShootData(), LinkResult::Ok);
        const Bytes image = Memory(SimRegion::Shoot);
        // 16 + 4 × 2 + 4 × (4 + 180 × 4) = 2920 bytes; offsets 24, 748, 1472, 2196.
        EXPECT_EQ(ToHex(Slice(image, 0, 24)),
                  "aa 55 68 0b 04 00 00 00 00 00 00 00 00 00 00 00 18 00 ec 02 c0 05 94 08");
        EXPECT_EQ(ToHex(Slice(image, 24, 8)), "b4 00 00 00 0a 00 81 01");
        int frames = 0;
        for (const Bytes& frame : Sent()) {
            if (frame[3] != 0x17) continue;
            ++frames;
            EXPECT_LE(frame[4], 56);
        }
        EXPECT_EQ(frames, 53);
        ExpectNoViolations();
    }
}

}  // namespace
}  // namespace q731
