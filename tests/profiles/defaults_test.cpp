// Each shipped default holds every section of its kind, readable through the
// profile-data classes, and the shooting defaults have the fixed bullet shape.

#include <gtest/gtest.h>

#include "profiles/document_file.h"
#include "profiles/hs6533_profiledata.h"
#include "profiles/keyboard_profiledata.h"
#include "profiles/mouse_profiledata.h"
#include "profiles/name_lists.h"
#include "profiles/profile_paths.h"
#include "tests/support/test_folder.h"

namespace q731 {
namespace {

using testing::DefaultDataFolder;

// Sections per kind, in the order keyboard, mouse, mouse pad, headset.
const std::vector<std::vector<std::string>> kSections = {
    {"LightInfo", "LightList", "AudioLightInfo", "KeyList", "SystemStages", "CustomLightMode"},
    {"LightInfo", "LightList", "KeyList", "DPIStages", "SystemStages", "ReportStages",
     "CorrectInfo"},
    {"LightInfo", "LightList"},
    {"LightInfo", "LightList", "SystemSetStages", "EQHzValueInfo", "CustomEQNameInfo",
     "CustomEQHzValueInfo"},
};
const std::size_t kLedCounts[] = {170, 15, 15, 13};

Json::Value DefaultDocument(Product product) {
    const DocumentRead read = DocumentFile::Read(DefaultProfilePath(DefaultDataFolder(), product));
    EXPECT_EQ(read.status, DocumentStatus::Ok) << RecordOf(product).defaultDocument;
    return read.value["Device"][0];
}

TEST(Defaults, EveryKindHasEverySectionAndNoOther) {
    for (const ProductRecord& record : kProducts) {
        SCOPED_TRACE(record.name);
        const Json::Value document = DefaultDocument(record.product);
        ASSERT_TRUE(document.isObject());
        const auto& expected = kSections[static_cast<std::size_t>(record.profileMode)];
        std::vector<std::string> present = document.getMemberNames();
        EXPECT_EQ(std::set<std::string>(present.begin(), present.end()),
                  std::set<std::string>(expected.begin(), expected.end()));

        CBasicProfiledata data;
        data.SetDocument(document);
        EXPECT_GT(data.GetLightSetting().brightness, 0);
        const auto leds = data.GetLedList();
        EXPECT_EQ(leds.size(), kLedCounts[record.profileMode]);
        EXPECT_EQ(leds.size(), static_cast<std::size_t>(record.ledCount));
    }
}

TEST(Defaults, KindSectionsReadThroughTheirClasses) {
    CKeyboardProfiledata keyboard;
    keyboard.SetDocument(DefaultDocument(Product::Keyboard));
    EXPECT_EQ(keyboard.GetKeyList().size(), 170u);
    EXPECT_EQ(keyboard.GetSelectedCustomGroup(), 0);
    EXPECT_EQ(keyboard.GetAudioLightSetting().sevenColors, 1);

    CMouseProfiledata mouse;
    mouse.SetDocument(DefaultDocument(Product::Mouse));
    const auto keys = mouse.GetKeyList();
    ASSERT_EQ(keys.size(), 11u);
    EXPECT_EQ(keys[0].factory, (KeyBinding{0, 0x10, 0x01, 0x00}));
    EXPECT_EQ(keys[9].factory, (KeyBinding{9, 0x16, 0x90, 0x01}));
    EXPECT_EQ(keys[10].current, keys[10].factory);
    EXPECT_EQ(mouse.GetDpiStages().size(), 5u);
    EXPECT_LT(mouse.GetActiveStage(), 5);
    EXPECT_EQ(mouse.GetSystemSettings().wheelScrollLines, 3);
    EXPECT_EQ(mouse.GetCorrectList().size(), 3u);

    CHs6533Profiledata headset;
    headset.SetDocument(DefaultDocument(Product::Headset));
    EXPECT_EQ(headset.GetEqualiserCurve(1),
              (CHs6533Profiledata::Curve{7, 11, 2, -3, -1, 4, 9, 12, 9, 5}));
    EXPECT_EQ(headset.GetEqualiserCurve(12),
              (CHs6533Profiledata::Curve{2, 1, -2, -4, -8, 4, 12, 16, 18, 15}));
    EXPECT_TRUE(headset.GetCustomCurveNames().empty());
    EXPECT_EQ(headset.GetSystemSettings().micInValue, 80);
}

TEST(Defaults, LightDefinitionsCoverEveryKind) {
    const std::size_t modeCounts[] = {31, 12, 9, 9};
    for (const ProductRecord& record : kProducts) {
        NameLists names;
        LoadNameLists(names, record.profileMode, {}, DefaultLightPath(DefaultDataFolder()), {});
        EXPECT_EQ(names.effectNames.size(), modeCounts[record.profileMode]) << record.name;
        EXPECT_EQ(names.effectVisible.size(), names.effectNames.size());
        for (std::size_t i = 0; i < names.effectValues.size(); ++i) {
            EXPECT_EQ(names.effectValues[i], static_cast<int>(i));
        }
        EXPECT_FALSE(names.areaNames.empty());
    }
}

TEST(Defaults, ShootingFilesHoldThirtyBulletGroups) {
    for (int slot = 0; slot < kShootingSlotCount; ++slot) {
        SCOPED_TRACE(slot);
        const Json::Value file =
            DocumentFile::ReadJsonFile(ShootingFilePath(DefaultDataFolder(), slot));
        ASSERT_EQ(file.getMemberNames(), std::vector<std::string>{"Events"});
        const Json::Value& events = file["Events"];
        ASSERT_EQ(events.size(), 180u);
        for (Json::ArrayIndex bullet = 0; bullet < 30; ++bullet) {
            EXPECT_EQ(events[bullet * 6]["Action"].asString(), "down");
            EXPECT_EQ(events[bullet * 6]["Delay"].asInt(), 10);
            EXPECT_EQ(events[bullet * 6 + 1]["Action"].asString(), "up");
            EXPECT_EQ(events[bullet * 6 + 2]["Type"].asInt(), 4);
            EXPECT_EQ(events[bullet * 6 + 2]["Delay"].asInt(), 5);
            EXPECT_EQ(events[bullet * 6 + 3]["Type"].asInt(), 5);
            EXPECT_TRUE(events[bullet * 6 + 3]["Delay"].isInt());
            EXPECT_EQ(events[bullet * 6 + 4]["Button"].asInt(), 0);
            EXPECT_EQ(events[bullet * 6 + 5]["Button"].asInt(), 0);
        }
    }
}

}  // namespace
}  // namespace q731
