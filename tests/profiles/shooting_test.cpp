#include <gtest/gtest.h>

#include <string>

#include "profiles/document_file.h"
#include "profiles/shoot_panel.h"
#include "tests/support/shoot_view.h"
#include "tests/support/test_folder.h"

namespace q731 {
namespace {

using testing::DefaultDataFolder;
using testing::FileNames;
using testing::MemoryShootView;
using testing::ReadText;
using testing::TestFolder;
using testing::WriteText;
using namespace shoot_control;

// (Action, Button, Delay, Type) of an event, as the file holds it.
std::string Row(const Json::Value& event) {
    return event["Action"].asString() + "," + std::to_string(event["Button"].asInt()) + "," +
           std::to_string(ParseDelay(event["Delay"])) + "," + std::to_string(event["Type"].asInt());
}

class ShootingTest : public ::testing::Test {
protected:
    ShootingTest() {
        fs::create_directories(Device());
        fs::create_directories(Defaults());
        for (int slot = 0; slot < kShootingSlotCount; ++slot)
            fs::copy_file(ShootingFilePath(DefaultDataFolder(), slot), DefaultFile(slot));
        panel_.SetDeviceFolder(Device());
        panel_.SetDefaultFolder(Defaults());
    }
    fs::path Device() const { return folder_ / "mouse"; }
    fs::path Defaults() const { return folder_ / "defaults"; }
    fs::path SlotFile(int slot) const { return ShootingFilePath(Device(), slot); }
    fs::path DefaultFile(int slot) const { return ShootingFilePath(Defaults(), slot); }
    Json::Value Events(int slot) const {
        return DocumentFile::ReadJsonFile(SlotFile(slot))["Events"];
    }
    // The panel as the page builder leaves it.
    void Open() {
        panel_.PrepareShootingFiles();
        panel_.SelectSlot(0);
        panel_.SelectBullet(0);
    }
    void Enter(bool left, const std::string& x, bool up, const std::string& y,
               const std::string& delay) {
        view_.flags[kHorizontalCheck] = left;
        view_.flags[kVerticalCheck] = up;
        view_.texts[kHorizontalEdit] = x;
        view_.texts[kVerticalEdit] = y;
        view_.texts[kDelayEdit] = delay;
    }
    std::string Shown() {
        return std::string(view_.Flag(kHorizontalCheck) ? "L" : "R") + view_.Text(kHorizontalEdit) +
               (view_.Flag(kVerticalCheck) ? " U" : " D") + view_.Text(kVerticalEdit) + " " +
               view_.Text(kDelayEdit);
    }

    TestFolder folder_;
    MemoryShootView view_;
    ScriptedQuestions asker_;
    ShootPanel panel_{view_, &asker_};
};

TEST_F(ShootingTest, StoringABulletWritesItsGroupAndNothingElse) {
    Open();
    Enter(true, "3", false, "7", "90");
    ASSERT_TRUE(panel_.StoreBullet(0, 0));
    const Json::Value events = Events(0);
    ASSERT_EQ(events.size(), kShootEventsPerSlot);
    const char* expected[] = {"down,1,10,1", "up,1,0,1",   "down,3,5,4",
                              "up,7,90,5",   "down,0,0,4", "up,0,0,5"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Row(events[i]), expected[i]) << i;

    const Json::Value before = Events(2);
    panel_.SelectSlot(2);
    Enter(false, "9", true, "4", "33");
    ASSERT_TRUE(panel_.StoreBullet(2, 29));
    const Json::Value after = Events(2);
    for (Json::ArrayIndex i = 0; i < 174; ++i)
        EXPECT_EQ(after[i], before[i]) << i;
    EXPECT_EQ(Row(after[177]), "down,4,33,5");
    EXPECT_TRUE(asker_.asked.empty());
}

TEST_F(ShootingTest, StoringIntoAMissingOrDamagedFileStartsFromTheDefault) {
    panel_.SelectBullet(0);
    Enter(false, "1", false, "2", "3");
    ASSERT_TRUE(panel_.StoreBullet(1, 4));
    Json::Value events = Events(1);
    ASSERT_EQ(events.size(), kShootEventsPerSlot) << "never 6b + 6 elements, never nulls";
    const Json::Value defaults = DocumentFile::ReadJsonFile(DefaultFile(1))["Events"];
    EXPECT_EQ(events[0], defaults[0]);
    EXPECT_EQ(Row(events[27]), "up,2,3,5");

    WriteText(SlotFile(3), "{\"Events\": [");
    ASSERT_TRUE(panel_.StoreBullet(3, 0));
    EXPECT_EQ(Events(3).size(), kShootEventsPerSlot);
    EXPECT_EQ(FileNames(Device()).size(), 3u) << "the damaged file was kept aside";
}

TEST_F(ShootingTest, DelayReadsAlikeAsTextOrNumberAndEntriesAreClamped) {
    Open();
    Json::Value document = DocumentFile::ReadJsonFile(SlotFile(0));
    document["Events"][3]["Delay"] = "120";
    document["Events"][9]["Delay"] = 120;
    document["Events"][8]["Button"] = 400;  // out of range in the file
    ASSERT_TRUE(DocumentFile::WriteJsonFile(SlotFile(0), document));
    panel_.SelectBullet(0);
    EXPECT_EQ(Shown(), "R0 D0 120");
    panel_.SelectBullet(1);
    EXPECT_EQ(Shown(), "R255 D0 120") << "a distance past 255 is clamped when shown";

    struct Case {
        const char* x;
        const char* y;
        const char* delay;
        const char* shown;
        const char* stored;  // event 6b + 3
    };
    const Case cases[] = {
        {"-5", "300", "70000", "R0 D255 65535", "up,255,65535,5"},
        {"12abc", "", "  40", "R12 D0 40", "up,0,40,5"},
    };
    for (const Case& c : cases) {
        Enter(false, c.x, false, c.y, c.delay);
        ASSERT_TRUE(panel_.StoreBullet(0, 5));
        EXPECT_EQ(Shown(), c.shown) << c.x;
        EXPECT_EQ(Row(Events(0)[33]), c.stored) << c.x;
    }
}

TEST_F(ShootingTest, SelectionClampsAndASlotSwitchKeepsTheBullet) {
    Open();
    EXPECT_TRUE(panel_.ControlsFound());
    EXPECT_EQ(view_.picture, 0);
    const std::pair<int, int> selections[] = {{30, 29}, {-1, 0}, {12, 12}};
    for (const auto& [asked, selected] : selections) {
        panel_.SelectBullet(asked);
        EXPECT_EQ(panel_.CurrentBullet(), selected);
        EXPECT_EQ(view_.Text(kBulletIndex), std::to_string(selected + 1));
        EXPECT_TRUE(view_.Flag(kBulletOption + std::to_string(selected)));
    }
    panel_.SelectBullet(29);
    panel_.NextBullet();
    EXPECT_EQ(panel_.CurrentBullet(), 29) << "no wrap";
    panel_.SelectBullet(0);
    panel_.PreviousBullet();
    EXPECT_EQ(panel_.CurrentBullet(), 0);

    panel_.SelectBullet(12);
    panel_.SelectSlot(7);
    panel_.ShowBullet(panel_.CurrentSlot(), panel_.CurrentBullet());
    EXPECT_EQ(panel_.CurrentSlot(), 3);
    EXPECT_EQ(view_.picture, 3);
    EXPECT_TRUE(view_.Flag("shoot_gun_op_3"));
    EXPECT_FALSE(view_.Flag("shoot_gun_op_0"));
    EXPECT_EQ(Shown(), "R0 D3 100") << "slot 3 pulls down by 3 after ten bullets";
    view_.absent.insert("bullet_op_17");
    EXPECT_FALSE(panel_.PrepareShootingFiles());
}

TEST_F(ShootingTest, TogglingADirectionChangesItsCaptionAndWritesNothing) {
    Open();
    const std::string before = ReadText(SlotFile(0));
    view_.flags[kHorizontalCheck] = true;
    panel_.ShowDirectionCaptions();
    EXPECT_EQ(view_.captions[kHorizontalCheck], shoot_text::kLeft);
    EXPECT_EQ(view_.captions[kVerticalCheck], shoot_text::kDown);
    view_.flags[kVerticalCheck] = true;
    panel_.ShowDirectionCaptions();
    EXPECT_EQ(view_.captions[kVerticalCheck], shoot_text::kUp);
    EXPECT_EQ(ReadText(SlotFile(0)), before);
}

TEST_F(ShootingTest, MissingBulletGroupsShowTheDefaultsBullets) {
    Open();
    Json::Value document = DocumentFile::ReadJsonFile(SlotFile(2));
    for (Json::ArrayIndex i = 6; i < 12; ++i)
        document["Events"][i] = Json::Value();
    document["Events"].resize(60);  // bullets 10-29 missing
    ASSERT_TRUE(DocumentFile::WriteJsonFile(SlotFile(2), document));
    const ShootPattern defaults = ShootingFiles(Defaults(), Defaults()).Read(2).pattern;
    const SlotRead read = panel_.Files().Read(2);
    EXPECT_EQ(read.status, SlotStatus::Ok);
    EXPECT_EQ(read.pattern, defaults);
    EXPECT_EQ(PatternEvents(read.pattern).size(), kShootEventsPerSlot);
    panel_.SelectSlot(2);
    panel_.SelectBullet(1);
    EXPECT_EQ(Shown(), "R0 D3 100");
}

TEST_F(ShootingTest, RefusedImportsAndMissingDefaultsLeaveTheSlotAsItIs) {
    Open();
    Enter(true, "8", true, "8", "8");
    ASSERT_TRUE(panel_.StoreBullet(0, 0));
    const std::string slot = ReadText(SlotFile(0));
    std::string manyEvents = "{\"Events\": [";
    for (int i = 0; i < 181; ++i)
        manyEvents += std::string(i ? "," : "") +
                      R"({"Action": "down", "Button": 1, "Delay": 10, "Type": 1})";
    manyEvents += "]}";
    struct Case {
        const char* name;
        std::string content;
        const char* message;
    };
    const Case cases[] = {
        {"not JSON", "Events: none", shoot_text::kNotShooting},
        {"181 events", manyEvents, shoot_text::kNotShooting},
        {"a key event",
         R"({"Events": [{"Action": "down", "Button": 4, "Delay": "0", "Type": 10}]})",
         shoot_text::kNotShooting},
        {"a button without a number",
         R"({"Events": [{"Action": "down", "Button": "x", "Delay": 0, "Type": 1}]})",
         shoot_text::kNotShooting},
        {"a profile", ReadText(DefaultDataFolder() / "mouse.Json"), shoot_text::kNotShooting},
        {"over the cap", R"({"Events": [)" + std::string(kMaxShootFileBytes, ' ') + "]}",
         shoot_text::kImportUnreadable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        asker_.asked.clear();
        WriteText(folder_ / "chosen.shoot", c.content);
        EXPECT_FALSE(panel_.ImportSlot(folder_ / "chosen.shoot"));
        EXPECT_EQ(asker_.Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(ReadText(SlotFile(0)), slot);
    }

    fs::remove(DefaultFile(0));
    asker_.asked.clear();
    EXPECT_FALSE(panel_.ResetSlot(0));
    EXPECT_EQ(asker_.Texts(), std::vector<std::string>{shoot_text::kNoDefault});
    WriteText(DefaultFile(1), R"({"Events": "none"})");
    WriteText(SlotFile(1), "damaged");
    panel_.PrepareShootingFiles();
    EXPECT_EQ(ReadText(SlotFile(0)), slot);
    EXPECT_EQ(ReadText(SlotFile(1)), "damaged");
    EXPECT_EQ(FileNames(Device()).size(), 4u) << "nothing kept aside without a default";
}

TEST_F(ShootingTest, ADamagedSlotIsKeptAsideBeforeItsDefaultReplacesIt) {
    fs::create_directories(Device());
    WriteText(SlotFile(2), "{\"Events\": [1, 2");
    Open();
    std::string aside;
    for (const std::string& name : FileNames(Device()))
        if (name.starts_with("ShootData_2.Shoot.corrupt-")) aside = name;
    ASSERT_FALSE(aside.empty());
    EXPECT_EQ(ReadText(Device() / aside), "{\"Events\": [1, 2");
    EXPECT_EQ(Events(2), DocumentFile::ReadJsonFile(DefaultFile(2))["Events"]);
}

TEST_F(ShootingTest, ExportedSlotImportsBackAsShown) {
    Open();
    panel_.SelectSlot(1);
    Enter(true, "17", false, "6", "250");
    ASSERT_TRUE(panel_.StoreBullet(1, 7));
    const fs::path exported = folder_ / "pattern.shoot";
    WriteText(exported, "old content is replaced");
    ASSERT_TRUE(panel_.ExportSlot(exported));
    const ShootPattern shown = panel_.Files().Read(1).pattern;

    panel_.SelectSlot(3);
    ASSERT_TRUE(panel_.ImportSlot(exported));
    EXPECT_EQ(panel_.Files().Read(3).pattern, shown);
    EXPECT_FALSE(panel_.ImportSlot({}));
    EXPECT_FALSE(panel_.ExportSlot({}));
    EXPECT_TRUE(asker_.asked.empty());
}

}  // namespace
}  // namespace q731
