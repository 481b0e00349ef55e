#include "profiles/profile_list.h"
#include "profiles/document_file.h"

#include <gtest/gtest.h>

#include "profiles/device_startup.h"
#include "profiles/hs6533_profiledata.h"
#include "tests/support/test_folder.h"

namespace q731 {
namespace {

using testing::FileNames;
using testing::ParseOrDie;
using testing::ReadText;
using testing::TestFolder;
using testing::WriteText;

constexpr const char* kDefaults =
    R"({"Device":[{"LightInfo":{"Red":9},"CustomEQNameInfo":[],"CustomEQHzValueInfo":[]}]})";

// A device folder and a default file, with a clock that stands still unless moved.
struct ListFixture {
    TestFolder folder;
    fs::path device = folder / "mouse";
    fs::path defaults = folder / "mouse.Json";
    std::chrono::system_clock::time_point now =
        std::chrono::system_clock::time_point(std::chrono::hours(24 * 20000));
    ProfileList list{[this] { return now; }};

    ListFixture() {
        fs::create_directories(device);
        WriteText(defaults, kDefaults);
        list.SetFolders(device, defaults);
    }
    Json::Value ListFile() const {
        return DocumentFile::ReadJsonFile(device / kProfileListFileName);
    }
    Json::Value Profile(const std::string& identifier) const {
        return DocumentFile::ReadJsonFile(ProfilePath(device, identifier));
    }
    void WriteList(const std::string& text) const {
        WriteText(device / kProfileListFileName, text);
    }
    void WriteProfile(const std::string& identifier, const std::string& text) const {
        WriteText(ProfilePath(device, identifier), text);
    }
};

TEST(ProfileList, FirstStartMakesProfile1FromTheDefaults) {
    ListFixture f;
    ASSERT_TRUE(f.list.LoadProfileList());
    const Json::Value list = f.ListFile();
    ASSERT_EQ(list["profilelist"].size(), 1u);
    EXPECT_EQ(list["profileselect"].asInt(), 0);
    const Json::Value& entry = list["profilelist"][0];
    EXPECT_EQ(entry["profilename"].asString(), "profile1");
    EXPECT_EQ(entry["profileislink"].asInt(), 0);
    EXPECT_EQ(entry["profilelinkmame"].asString(), "");
    const std::string identifier = entry["profileUUID"].asString();
    EXPECT_EQ(identifier, f.list.CurrentIdentifier());
    Json::Value expected = ParseOrDie(kDefaults);
    expected["profilename"] = "profile1";
    expected["profileUUID"] = identifier;
    EXPECT_EQ(f.Profile(identifier), expected);
}

TEST(ProfileList, EmptyListWithoutFilesIsTreatedAsMissing) {
    ListFixture f;
    f.WriteList(R"({"profilelist":[],"profileselect":7})");
    ASSERT_TRUE(f.list.LoadProfileList());
    EXPECT_EQ(f.list.ProfileNames(), std::vector<std::string>{"profile1"});
    EXPECT_EQ(f.ListFile()["profileselect"].asInt(), 0);
}

TEST(ProfileList, DamagedListIsKeptAsideAndRebuiltFromTheProfileFiles) {
    ListFixture f;
    f.WriteProfile("2024_01_02_00_00_00_000", R"({"profilename":"Game"})");
    f.WriteProfile("2023_05_01_00_00_00_000", R"({"profilename":"game"})");
    f.WriteProfile("2025_01_01_00_00_00_000", "damaged too");
    f.WriteProfile("2022_01_01_00_00_00_000", R"({"profilename":"   "})");
    WriteText(f.device / "bad name.Json", "{}");
    WriteText(f.device / "tamry_light.config", "{}");
    const std::string damagedList = R"({"profilelist":[{"profilename":"Ga)";
    f.WriteList(damagedList);

    ASSERT_TRUE(f.list.LoadProfileList());
    // Identifier order; names unique without regard to case; nameless ones by identifier.
    const std::vector<ProfileEntry> expected = {
        {"2022_01_01_00_00_00_000", "2022_01_01_00_00_00_000"},
        {"game", "2023_05_01_00_00_00_000"},
        {"Game(1)", "2024_01_02_00_00_00_000"},
        {"2025_01_01_00_00_00_000", "2025_01_01_00_00_00_000"},
    };
    EXPECT_EQ(f.list.Entries(), expected);
    EXPECT_EQ(f.list.SelectedIndex(), 0);
    EXPECT_EQ(f.ListFile()["profilelist"].size(), 4u);
    int aside = 0;
    for (const std::string& name : FileNames(f.device)) {
        if (name.rfind("ProfileList.ini.corrupt-", 0) == 0) {
            EXPECT_EQ(ReadText(f.device / name), damagedList);
            ++aside;
        }
    }
    EXPECT_EQ(aside, 1);
}

TEST(ProfileList, OutOfRangeSelectionIsClamped) {
    const struct {
        const char* select;
        int expected;
    } cases[] = {{"2e9", 1}, {"-5", 0}, {"\"1\"", 0}, {"1.5", 1}, {"null", 0}, {"1", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.select);
        ListFixture f;
        f.WriteProfile("a", "{}");
        f.WriteProfile("b", "{}");
        f.WriteList(std::string(R"({"profilelist":[{"profilename":"A","profileUUID":"a"},
            {"profilename":"B","profileUUID":"b"}],"profileselect":)") +
                    c.select + "}");
        ASSERT_TRUE(f.list.LoadProfileList());
        EXPECT_EQ(f.list.SelectedIndex(), c.expected);
        EXPECT_EQ(f.ListFile()["profileselect"].asInt(), c.expected);
        EXPECT_EQ(f.ListFile()["profilelist"].size(), 2u);
        EXPECT_LT(fs::file_size(f.device / kProfileListFileName), 1000u);
    }
}

TEST(ProfileList, TraversingIdentifiersTouchNothingOutsideTheFolder) {
    ListFixture f;
    WriteText(f.folder / "x.Json", "precious");
    WriteText(f.folder / "x", "precious");
    f.WriteProfile("good", "{}");
    f.WriteList(R"({"profilelist":[{"profilename":"Evil","profileUUID":"../x"},
        {"profilename":"Good","profileUUID":"good"},{"profilename":"Abs","profileUUID":"/tmp/x"}],
        "profileselect":0})");
    ASSERT_TRUE(f.list.LoadProfileList());
    EXPECT_EQ(f.list.Entries(), (std::vector<ProfileEntry>{{"Good", "good"}}));
    EXPECT_TRUE(ProfilePath(f.device, "../x").empty());
    EXPECT_FALSE(f.list.DeleteProfile(0));  // the last entry stays
    EXPECT_TRUE(f.list.ResetProfile(0));
    EXPECT_EQ(ReadText(f.folder / "x.Json"), "precious");
    EXPECT_EQ(ReadText(f.folder / "x"), "precious");
    EXPECT_EQ(FileNames(f.folder.path()),
              (std::set<std::string>{"mouse", "mouse.Json", "x", "x.Json"}));
}

TEST(ProfileList, IdentifiersMadeInTheSameMillisecondDiffer) {
    ListFixture f;
    ASSERT_TRUE(f.list.LoadProfileList());
    const std::string first = f.list.CurrentIdentifier();
    const std::string second = f.list.MakeProfile(ParseOrDie("{}"), "profile2", false);
    const std::string third = f.list.MakeProfile(ParseOrDie("{}"), "profile3", false);
    EXPECT_NE(first, second);
    EXPECT_NE(second, third);
    EXPECT_NE(first, third);
    // A clock set back onto existing names steps past them too.
    ProfileList other([&f] { return f.now; });
    other.SetFolders(f.device, f.defaults);
    const std::string fourth = other.MakeProfile(ParseOrDie("{}"), "profile4", false);
    EXPECT_EQ(std::set<std::string>({first, second, third, fourth}).size(), 4u);
    EXPECT_EQ(f.list.ProfileCount(), 4);
}

TEST(ProfileList, TheCurrentProfileFollowsTheSelectionAfterDeleteAndAdd) {
    ListFixture f;
    ASSERT_TRUE(f.list.LoadProfileList());
    const std::string first = f.list.CurrentIdentifier();
    const std::string added = f.list.MakeProfile(ParseOrDie("{}"), "profile2", true);
    EXPECT_EQ(f.list.CurrentIdentifier(), added) << "added and selected: it is the current one";
    ASSERT_TRUE(f.list.DeleteProfile(1));
    EXPECT_EQ(f.list.CurrentIdentifier(), first)
        << "the deleted profile can no longer be loaded, nor brought back by a save";
    EXPECT_FALSE(fs::exists(ProfilePath(f.device, added)));
}

TEST(ProfileList, MakeProfileWritesTheFileThenTheEntry) {
    ListFixture f;
    ASSERT_TRUE(f.list.LoadProfileList());
    Json::Value source =
        ParseOrDie(R"({"profilename":"old","profileUUID":"old","Device":[{"K":1}]})");
    const std::string added = f.list.MakeProfile(source, "Game", true);
    ASSERT_FALSE(added.empty());
    EXPECT_EQ(f.Profile(added)["profilename"].asString(), "Game");
    EXPECT_EQ(f.Profile(added)["profileUUID"].asString(), added);
    EXPECT_EQ(f.Profile(added)["Device"][0]["K"].asInt(), 1);
    EXPECT_EQ(f.ListFile()["profileselect"].asInt(), 1);
    EXPECT_EQ(f.list.ProfileFilePath(1), ProfilePath(f.device, added));
    const std::string copied = f.list.MakeProfile(f.Profile(added), "Game copy", false);
    EXPECT_EQ(f.ListFile()["profileselect"].asInt(), 1);
    EXPECT_EQ(f.list.ProfileNames(), (std::vector<std::string>{"profile1", "Game", "Game copy"}));
    EXPECT_TRUE(f.list.MakeProfile(Json::Value(), "null source", false).empty());
    EXPECT_EQ(f.list.ProfileCount(), 3);
    (void)copied;
}

TEST(ProfileList, SelectStoresTheIndexAndRefusesOthers) {
    ListFixture f;
    ASSERT_TRUE(f.list.LoadProfileList());
    const std::string second = f.list.MakeProfile(ParseOrDie("{}"), "two", false);
    ASSERT_TRUE(f.list.SelectProfile(1));
    EXPECT_EQ(f.list.CurrentIdentifier(), second);
    EXPECT_EQ(f.ListFile()["profileselect"].asInt(), 1);
    EXPECT_FALSE(f.list.SelectProfile(2));
    EXPECT_FALSE(f.list.SelectProfile(-1));
    EXPECT_EQ(f.ListFile()["profileselect"].asInt(), 1);
}

TEST(ProfileList, DeleteMovesTheSelectionAndRemovesOnlyItsFile) {
    const struct {
        int deleted;
        int select;
    } cases[] = {{0, 0}, {2, 1}, {1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.deleted);
        ListFixture f;
        ASSERT_TRUE(f.list.LoadProfileList());
        f.now += std::chrono::seconds(1);
        f.list.MakeProfile(ParseOrDie("{}"), "two", false);
        f.list.MakeProfile(ParseOrDie("{}"), "three", false);
        const std::vector<ProfileEntry> before = f.list.Entries();
        ASSERT_TRUE(f.list.DeleteProfile(c.deleted));
        EXPECT_EQ(f.ListFile()["profileselect"].asInt(), c.select);
        EXPECT_EQ(f.ListFile()["profilelist"].size(), 2u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(
                fs::exists(ProfilePath(f.device, before[static_cast<std::size_t>(i)].identifier)),
                i != c.deleted);
        }
    }
}

TEST(ProfileList, DeleteKeepsAFileThatAnotherEntryStillNames) {
    ListFixture f;
    f.WriteProfile("shared", "{}");
    f.WriteList(R"({"profilelist":[{"profilename":"A","profileUUID":"shared"},
        {"profilename":"B","profileUUID":"shared"}],"profileselect":1})");
    ASSERT_TRUE(f.list.DeleteProfile(1));
    EXPECT_TRUE(fs::exists(ProfilePath(f.device, "shared")));
}

TEST(ProfileList, ResetKeepsHeadsetCurvesAndOnlyTheNameElsewhere) {
    for (const Product product : {Product::Headset, Product::Keyboard}) {
        ListFixture f;
        f.list.SetProduct(product);
        f.WriteProfile("p", R"({"profilename":"Mine","profileUUID":"p","Device":[{
            "LightInfo":{"Red":1},"CustomEQNameInfo":[{"Name":"Bass"}],
            "CustomEQHzValueInfo":[[{"value":4}]]}]})");
        f.WriteList(
            R"({"profilelist":[{"profilename":"Mine","profileUUID":"p"}],"profileselect":0})");
        ASSERT_TRUE(f.list.ResetProfile(0));
        const Json::Value reset = f.Profile("p");
        EXPECT_EQ(reset["profilename"].asString(), "Mine");
        EXPECT_EQ(reset["Device"][0]["LightInfo"]["Red"].asInt(), 9);
        const bool headset = product == Product::Headset;
        EXPECT_EQ(reset["Device"][0]["CustomEQNameInfo"].size(), headset ? 1u : 0u);
        EXPECT_EQ(reset["Device"][0]["CustomEQHzValueInfo"].size(), headset ? 1u : 0u);
    }
}

TEST(ProfileList, ResetWithoutUsableDefaultsKeepsTheOldFile) {
    for (const char* defaults : {"", "{\"Device\":[]}", "not json"}) {
        ListFixture f;
        const std::string old = R"({"profilename":"Mine","profileUUID":"p","Device":[{"K":1}]})";
        f.WriteProfile("p", old);
        f.WriteList(
            R"({"profilelist":[{"profilename":"Mine","profileUUID":"p"}],"profileselect":0})");
        if (*defaults == '\0') {
            fs::remove(f.defaults);
        } else {
            WriteText(f.defaults, defaults);
        }
        EXPECT_FALSE(f.list.ResetProfile(0));
        EXPECT_EQ(ReadText(ProfilePath(f.device, "p")), old);
    }
}

TEST(DeviceStartUp, LoadsTheSelectedProfileAndTheNameLists) {
    ListFixture f;
    WriteText(f.folder / kDefaultLightFileName, R"({
        "DefaultLightName":[[{"LightName":"kb"}],[{"LightName":"Wave","visible":1,"value":0},
                            {"LightName":"Hidden","visible":false,"value":7}]],
        "AreaLightName":[[],[{"LightName":"Logo"}]]})");
    WriteText(f.device / kLightLibraryFileName,
              R"({"LightInfo":[[],[{"LightName":"Mine","Guid":"{G}"}]]})");
    WriteText(f.device / "macro.config", R"({"MacroInfo":[{"MacroName":"m1"},{"MacroName":5}]})");
    CBasicProfiledata data;
    NameLists names;
    names.areaNames = {"before"};
    ASSERT_TRUE(
        StartDeviceProfiles(Product::Mouse, f.device, f.folder.path(), data, f.list, names));
    EXPECT_EQ(data.GetProfilePath(), ProfilePath(f.device, f.list.CurrentIdentifier()));
    EXPECT_EQ(data.GetDefaultPath(), f.defaults);
    EXPECT_EQ(data.GetLightSetting().red, 9);
    EXPECT_EQ(names.macroNames, (std::vector<std::string>{"m1", ""}));
    EXPECT_EQ(names.effectNames, (std::vector<std::string>{"Wave", "Hidden"}));
    EXPECT_EQ(names.effectVisible, (std::vector<bool>{true, false}));
    EXPECT_EQ(names.effectValues, (std::vector<int>{0, 7}));
    EXPECT_EQ(names.areaNames, std::vector<std::string>{"Logo"});
    EXPECT_EQ(names.customEffectNames, std::vector<std::string>{"Mine"});

    // A kind whose rows are absent keeps its lists as they were.
    NameLists headset;
    headset.areaNames = {"before"};
    LoadNameLists(headset, 3, f.device / "none", f.folder / kDefaultLightFileName,
                  f.device / "none");
    EXPECT_EQ(headset.areaNames, std::vector<std::string>{"before"});
}

}  // namespace
}  // namespace q731
