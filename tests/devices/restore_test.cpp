// Restoring the defaults: the default profile's document replaces the
// profile's, the live state follows it, and the next write sends it.

#include <gtest/gtest.h>

#include "device_fixture.h"

namespace q731 {
namespace {

Json::Value DefaultDocument(const fs::path& defaults, const char* file) {
    return DocumentFile::ReadJsonFile(defaults / file)["Device"][0];
}

using MouseRestoreTest = DeviceTest<CVexloMouseDevice>;
using KeyboardRestoreTest = DeviceTest<CVexloKeyboardDevice>;

TEST_F(MouseRestoreTest, DefaultsReplaceStagesKeysLightingAndSettingsAndAreWrittenNext) {
    Attach(SimChannel::Wired);
    FillKeyTable(kMouseFactoryCodes);
    ConnectAndClear();
    device_->Renderer().Stop();
    ASSERT_TRUE(device_->SetStageStep(0, 40));
    device_->SetPointerSpeed(3);
    LightSetting light = device_->GetLightInfo();
    light.selectItem = 9;
    device_->SetLightInfo(light);
    std::vector<KeyEntry> keys = device_->Profile().GetKeyList();
    ASSERT_FALSE(keys.empty());
    keys[0].current = KeyBinding::FromCode(keys[0].current.keyIndex, 0x400100);
    device_->Profile().SetKeyList(keys);
    ASSERT_TRUE(device_->SaveProfile());
    const int refreshes = view_.refreshes;

    ASSERT_TRUE(device_->RestoreDefaults());
    const Json::Value expected = DefaultDocument(root_ / "defaults", "mouse.Json");
    const Json::Value saved = DocumentFile::ReadJsonFile(device_->Profile().GetProfilePath());
    EXPECT_EQ(saved["Device"][0], expected);
    EXPECT_EQ(device_->GetLightInfo().selectItem, expected["LightInfo"]["SelectItem"].asInt());
    EXPECT_EQ(device_->RenderMode(), expected["LightInfo"]["SelectItem"].asInt());
    EXPECT_EQ(device_->Profile().GetSystemSettings().mouseSpeed, 10);
    ASSERT_FALSE(device_->Stages().empty());
    EXPECT_EQ(device_->Stages()[0].DpiX(),
              expected["DPIStages"]["StageDPIs"][0]["StageDPIX"].asInt());
    EXPECT_GT(view_.refreshes, refreshes);

    ASSERT_EQ(device_->WriteSettings(), LinkResult::Ok);
    ASSERT_EQ(device_->WriteKeys(), LinkResult::Ok);
    const Bytes block = Memory(SimRegion::Settings);
    EXPECT_EQ(block[mouse_block::kMode], kModeCodeOffset + 1);
    EXPECT_EQ(block[mouse_block::kStages + 2], 7) << "stage 0's default step";
    EXPECT_EQ(ToHex(Slice(Memory(SimRegion::KeyTable), 0, 3)), "10 01 00")
        << "button 0 back to its factory code";
    ExpectNoViolations();
}

TEST_F(KeyboardRestoreTest, DefaultsReplaceFlagsAndKeysAndAreWrittenNext) {
    Attach(SimChannel::Wired);
    FillKeyTable(kKeyboardFactoryCodes);
    ConnectAndClear();
    device_->Renderer().Stop();
    ASSERT_TRUE(device_->SetFlag(KeyboardFlag::WinLock, true));
    device_->SetRepeatRate(31);
    ASSERT_EQ(Memory(SimRegion::Settings)[keyboard_block::kWinFlag], 1);

    ASSERT_TRUE(device_->RestoreDefaults());
    const Json::Value expected = DefaultDocument(root_ / "defaults", "keyboard.Json");
    const Json::Value saved = DocumentFile::ReadJsonFile(device_->Profile().GetProfilePath());
    EXPECT_EQ(saved["Device"][0], expected);
    EXPECT_EQ(device_->Profile().GetSystemSettings().repeat,
              expected["SystemStages"]["Repeat"].asInt());
    ASSERT_EQ(device_->WriteSettings(), LinkResult::Ok);
    EXPECT_EQ(Memory(SimRegion::Settings)[keyboard_block::kWinFlag],
              expected["SystemStages"]["WinFlag"].asInt());
    EXPECT_EQ(Memory(SimRegion::Settings)[keyboard_block::kMode],
              kModeCodeOffset + expected["LightInfo"]["SelectItem"].asInt());
    ExpectNoViolations();
}

TEST_F(KeyboardRestoreTest, MissingDefaultProfileChangesNothing) {
    Attach(SimChannel::Wired);
    ConnectAndClear();
    device_->Renderer().Stop();
    device_->SetRepeatRate(31);
    fs::remove(root_ / "defaults" / "keyboard.Json");
    EXPECT_FALSE(device_->RestoreDefaults());
    EXPECT_EQ(device_->Profile().GetSystemSettings().repeat, 31);
    EXPECT_TRUE(Sent().empty());
}

}  // namespace
}  // namespace q731
