#include <fmt/format.h>
#include <gtest/gtest.h>

#include <set>

#include "profiles/document_file.h"
#include "profiles/macro_fixup.h"
#include "profiles/macro_store.h"
#include "profiles/macro_tables.h"
#include "tests/support/hex.h"
#include "tests/support/test_folder.h"

namespace q731 {
namespace {

using testing::FileNames;
using testing::ParseOrDie;
using testing::ReadText;
using testing::TestFolder;
using testing::WriteText;

std::string Hex(const MacroEventRecord& record) {
    return testing::ToHex(record.bytes, 0);
}

TEST(MacroEvent, DeviceRecordsClampDelayAndMaskType) {
    const struct {
        const char* json;
        const char* record;
    } cases[] = {
        {R"({"Action":"down","Type":10,"Button":4,"Delay":"300"})", "2c018a04"},
        {R"({"Action":"up","Type":9,"Button":2,"Delay":0})", "00000902"},
        {R"({"Action":"down","Type":10,"Button":4,"Delay":"70000"})", "ffff8a04"},
        {R"({"Action":"up","Type":255,"Button":260,"Delay":"65535"})", "ffff7f04"},
        {R"({"Action":"Down","Type":1,"Button":1,"Delay":"12ms"})", "0c000101"},
        {R"({"Action":5,"Type":"10","Button":null,"Delay":-4})", "00000000"},
        {R"({"Delay":"99999999999"})", "ffff0000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Hex(MacroEventRecord::FromEvent(MacroEventFromJson(ParseOrDie(c.json)))),
                  c.record)
            << c.json;
    }
}

TEST(MacroEvent, DelayIsWrittenAsDecimalTextOrInteger) {
    MacroEvent event = MacroEventFromJson(ParseOrDie(R"({"Action":"up","Delay":""})"));
    EXPECT_EQ(MacroEventToJson(event)["Delay"], Json::Value("0"));
    event.delay = 70000;  // kept as it is in files
    EXPECT_EQ(MacroEventToJson(event)["Delay"], Json::Value("70000"));
    EXPECT_EQ(MacroEventToJson(event, DelayForm::Integer)["Delay"].asUInt(), 70000u);
}

TEST(MacroTables, KeyTableFollowsTheStandardsAndTheListedRows) {
    std::set<std::string> names;
    for (const MacroKeyRow& row : kMacroKeys)
        names.insert(row.name);
    EXPECT_EQ(names.size(), kMacroKeyCount);
    EXPECT_STREQ(kMacroKeys[0].name, "keyboard_key_LCtrl");
    EXPECT_STREQ(kMacroKeys[112].name, "keyboard_key_K151");
    for (int bit = 0; bit < 8; ++bit) {
        EXPECT_TRUE(kMacroKeys[bit].modifier);
        EXPECT_EQ(kMacroKeys[bit].code, 1 << bit);
        EXPECT_EQ(kMacroKeys[bit].EventType(), 9);
    }
    const auto numEnter = FindMacroKey(kVirtualKeyNumEnter, 0x1C, true);
    ASSERT_TRUE(numEnter);
    EXPECT_EQ(numEnter->code, 0x58);
    EXPECT_STREQ(FindMacroKey(0x0D, 0x1C, false)->name, "keyboard_key_Enter");
    EXPECT_STREQ(FindMacroKey(0x13, 0x45, false)->name, "keyboard_key_Pause");
    EXPECT_STREQ(FindMacroKey(0x90, 0x45, true)->name, "keyboard_key_Num Lock");
    const auto k150 = FindMacroKey(0xE9, 0x71, false);
    ASSERT_TRUE(k150);
    EXPECT_EQ(k150->code, 0x91);
    EXPECT_STREQ(FindMacroKeyForEvent(10, 0x04)->name, "keyboard_key_A");
    EXPECT_STREQ(FindMacroKeyForEvent(10, 0x31)->name, "keyboard_key_xiegang");
    EXPECT_STREQ(FindMacroKeyForEvent(9, 0x04)->name, "keyboard_key_LAlt");
    EXPECT_FALSE(FindMacroKeyForEvent(10, 0xFF));
    EXPECT_EQ(kMouseActions[8].button, 8);
    EXPECT_EQ(kMouseActions[14].typeByte, 0x00);
}

struct MacroFixture {
    TestFolder folder;
    std::chrono::system_clock::time_point now =
        std::chrono::system_clock::time_point(std::chrono::hours(24 * 20000));
    MacroStore store{folder.path(), Product::Mouse, [this] { return now; }};

    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (const MacroEntry& entry : store.ListMacros().entries)
            names.push_back(entry.name);
        return names;
    }
};

TEST(MacroStore, AddRenameDeleteKeepNamesUnique) {
    MacroFixture f;
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(f.store.AddMacro().empty());
    EXPECT_EQ(f.Names(), (std::vector<std::string>{"macro_1", "macro_2", "macro_3"}));
    EXPECT_EQ(f.store.RenameMacro(0, "MACRO_3"), RenameResult::Duplicate);
    EXPECT_EQ(f.store.RenameMacro(0, "macro_1"), RenameResult::Duplicate);
    EXPECT_EQ(f.store.RenameMacro(0, "  \t"), RenameResult::Blank);
    EXPECT_EQ(f.store.RenameMacro(7, "x"), RenameResult::Failed);
    EXPECT_EQ(f.store.RenameMacro(0, "Reload"), RenameResult::Done);
    ASSERT_TRUE(f.store.SaveEvents(1, "macro_2", {{"down", 10, 4, 300}}));
    const fs::path second = f.store.MacroFilePath(1);
    EXPECT_TRUE(fs::exists(second));
    ASSERT_TRUE(f.store.DeleteMacro(1));
    EXPECT_FALSE(fs::exists(second));
    EXPECT_FALSE(f.store.AddMacro().empty());
    // The lowest free number comes back: 1 since the rename.
    EXPECT_EQ(f.Names(), (std::vector<std::string>{"Reload", "macro_3", "macro_1"}));
    // Identifiers made in the same millisecond differ.
    std::set<std::string> identifiers;
    for (const MacroEntry& entry : f.store.ListMacros().entries) {
        identifiers.insert(entry.identifier);
    }
    EXPECT_EQ(identifiers.size(), 3u);
}

TEST(MacroStore, ListIsFullAtFifty) {
    MacroFixture f;
    for (int i = 0; i < kMaxMacros; ++i)
        ASSERT_FALSE(f.store.AddMacro().empty());
    EXPECT_TRUE(f.store.AddMacro().empty());
    WriteText(f.folder / "in.mac", R"({"Events":[]})");
    EXPECT_TRUE(f.store.ImportMacro(f.folder / "in.mac").empty());
    EXPECT_EQ(f.store.ListMacros().entries.size(), static_cast<std::size_t>(kMaxMacros));
}

TEST(MacroStore, EventsRoundTripWithNormalisedDelays) {
    MacroFixture f;
    f.store.AddMacro();
    const fs::path file = f.store.MacroFilePath(0);
    WriteText(file, R"({"Events":[{"Action":"down","Type":10,"Button":4,"Delay":0},
        {"Action":"up","Type":10,"Button":4,"Delay":""},{"Action":"up","Type":1,"Delay":"7x"}]})");
    const std::vector<MacroEvent> events = f.store.LoadEvents(0);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2], (MacroEvent{"up", 1, 0, 7}));
    ASSERT_TRUE(f.store.SaveEvents(0, "macro_1", events));
    const Json::Value saved = DocumentFile::ReadJsonFile(file);
    EXPECT_EQ(saved["Version"].asInt(), 64);
    EXPECT_EQ(saved["Guid"].asString(), f.store.ListMacros().entries[0].identifier);
    EXPECT_EQ(saved["Events"][0]["Delay"], Json::Value("0"));
    EXPECT_EQ(saved["Events"][1]["Delay"], Json::Value("0"));
    EXPECT_EQ(saved["Events"][2]["Delay"], Json::Value("7"));
    EXPECT_EQ(f.store.LoadEvents(0),
              (std::vector<MacroEvent>{{"down", 10, 4, 0}, {"up", 10, 4, 0}, {"up", 1, 0, 7}}));
    EXPECT_TRUE(f.store.LoadEvents(5).empty());
}

TEST(MacroStore, DamagedListIsKeptAsideAndRebuiltFromTheMacroFiles) {
    MacroFixture f;
    WriteText(f.folder / "2024_01_01_00_00_00_002.mac", R"({"MacroName":"Jump","Events":[]})");
    WriteText(f.folder / "2024_01_01_00_00_00_001.mac", R"({"MacroName":"jump","Events":[]})");
    WriteText(f.folder / "2024_01_01_00_00_00_003.mac", "damaged");
    WriteText(f.folder / "macro.config", R"({"MacroInfo":[{"MacroName":)");
    const MacroList list = f.store.ListMacros();
    EXPECT_EQ(list.status, MacroListStatus::Rebuilt);
    EXPECT_FALSE(list.Trusted());
    EXPECT_EQ(list.entries, (std::vector<MacroEntry>{{"jump", "2024_01_01_00_00_00_001"},
                                                     {"macro_1", "2024_01_01_00_00_00_002"},
                                                     {"macro_2", "2024_01_01_00_00_00_003"}}));
    int aside = 0;
    for (const std::string& name : FileNames(f.folder.path())) {
        aside += name.rfind("macro.config.corrupt-", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(aside, 1);
    EXPECT_EQ(f.store.ListMacros().status, MacroListStatus::Ok);
}

TEST(MacroStore, UnreadableListChangesNothing) {
    MacroFixture f;
    fs::create_directory(f.folder / "macro.config");
    EXPECT_EQ(f.store.ListMacros().status, MacroListStatus::Unreadable);
    EXPECT_TRUE(f.store.AddMacro().empty());
    EXPECT_FALSE(f.store.DeleteMacro(0));
    EXPECT_EQ(f.store.RenameMacro(0, "x"), RenameResult::Failed);
    EXPECT_EQ(FileNames(f.folder.path()), std::set<std::string>{"macro.config"});
}

TEST(MacroStore, HostileImportsAddNothingAndTouchNoFile) {
    MacroFixture f;
    f.store.AddMacro();
    ASSERT_TRUE(f.store.SaveEvents(0, "macro_1", {{"down", 10, 4, 1}}));
    const std::string listBefore = ReadText(f.store.ListPath());
    std::string tooMany = R"({"Events":[)";
    for (std::size_t i = 0; i <= kMaxMacroEvents; ++i)
        tooMany += i ? ",{}" : "{}";
    tooMany += "]}";
    const std::pair<const char*, std::string> inputs[] = {
        {"not json", "MZ\x90"},
        {"array", "[1,2]"},
        {"no events", R"({"MacroName":"x"})"},
        {"events not array", R"({"Events":{"a":1}})"},
        {"event not object", R"({"Events":[{},5]})"},
        {"too many events", tooMany},
        {"deep", std::string(3000, '[') + std::string(3000, ']')},
    };
    for (const auto& [name, bytes] : inputs) {
        SCOPED_TRACE(name);
        const fs::path source =
            f.folder.path().parent_path() / ("q731-import-" + std::string(name));
        WriteText(source, bytes);
        EXPECT_TRUE(f.store.ImportMacro(source).empty());
        fs::remove(source);
    }
    const fs::path huge = f.folder.path().parent_path() / "q731-import-huge";
    WriteText(huge, R"({"Events":[]})");
    fs::resize_file(huge, std::uintmax_t{100} << 20);
    EXPECT_TRUE(f.store.ImportMacro(huge).empty());
    fs::remove(huge);
    EXPECT_TRUE(f.store.ImportMacro(f.folder / "missing.mac").empty());
    EXPECT_EQ(ReadText(f.store.ListPath()), listBefore);
    EXPECT_EQ(FileNames(f.folder.path()).size(), 2u);

    // A good one is copied byte for byte and named by the list.
    const std::string good = "{ \"MacroName\" : \"Theirs\", \"Events\" : [ {\"Delay\":\"5\"} ] }\n";
    WriteText(f.folder / "good.mac", good);
    const std::string identifier = f.store.ImportMacro(f.folder / "good.mac");
    ASSERT_FALSE(identifier.empty());
    EXPECT_EQ(ReadText(f.store.MacroFilePath(1)), good);
    EXPECT_EQ(f.store.ListMacros().entries[1], (MacroEntry{"macro_2", identifier}));
    ASSERT_TRUE(f.store.ExportMacro(1, f.folder / "out.mac"));
    EXPECT_EQ(ReadText(f.folder / "out.mac"), good);
}

TEST(MacroStore, UnsafeIdentifiersNameNoFile) {
    MacroFixture f;
    const fs::path outside = f.folder.path().parent_path() / "q731-outside.mac";
    WriteText(outside, R"({"Events":[{"Action":"down"}]})");
    WriteText(f.folder / "macro.config",
              R"({"MacroInfo":[{"MacroName":"evil","Guid":"../q731-outside"},{"MacroName":"b"}]})");
    EXPECT_TRUE(f.store.MacroFilePath(0).empty());
    EXPECT_TRUE(f.store.LoadEvents(0).empty());
    EXPECT_FALSE(f.store.SaveEvents(0, "evil", {}));
    EXPECT_FALSE(f.store.ExportMacro(0, f.folder / "out.mac"));
    EXPECT_FALSE(f.store.SaveEvents(1, "b", {}));  // no identifier at all
    ASSERT_TRUE(f.store.DeleteMacro(0));
    EXPECT_EQ(ReadText(outside), R"({"Events":[{"Action":"down"}]})");
    fs::remove(outside);
}

// Keys: 0 on macro 0, 1 on macro 2 (repeat form), 2 an ordinary key.
std::vector<KeyEntry> KeysOnMacros() {
    return {{KeyBinding::FromCode(0, 0x700003), KeyBinding::FromCode(0, 0x100100)},
            {KeyBinding::FromCode(1, 0x710205), KeyBinding::FromCode(1, 0x100200)},
            {KeyBinding::FromCode(2, 0x200004), KeyBinding::FromCode(2, 0x200004)}};
}

TEST(MacroFixup, DeletionFixesEveryProfileOfBothKinds) {
    const struct {
        int deleted;
        std::uint32_t key0;
        std::uint32_t key1;
    } cases[] = {{1, 0x700003, 0x710105},
                 {0, 0x100100, 0x710105},
                 {2, 0x700003, 0x100200},
                 {5, 0x700003, 0x710205}};
    for (const Product product : {Product::Keyboard, Product::Mouse}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(fmt::format("{} deleted {}", RecordOf(product).name, c.deleted));
            TestFolder folder;
            WriteText(folder / "default.Json", R"({"Device":[{}]})");
            ProfileList list;
            list.SetFolders(folder.path(), folder / "default.Json");
            list.SetProduct(product);
            ASSERT_TRUE(list.LoadProfileList());
            Json::Value profile = ParseOrDie(R"({"Device":[{}]})");
            CBasicProfiledata writer;
            writer.SetDocument(profile["Device"][0]);
            writer.SetKeyList(KeysOnMacros());
            profile["Device"][0] = writer.Document();
            // Factory codes live in the file.
            for (Json::ArrayIndex i = 0; i < 3; ++i) {
                profile["Device"][0]["KeyList"][i]["DefaultAssignment"] =
                    KeysOnMacros()[i].factory.Code();
            }
            list.MakeProfile(profile, "two", false);
            list.MakeProfile(profile, "three", false);
            WriteText(list.ProfileFilePath(0), DocumentFile::StyledText(profile));

            CBasicProfiledata current;
            current.SetProfilePath(list.ProfileFilePath(1));
            current.LoadProfileDocument(current.GetProfilePath());
            const bool changes = c.deleted <= 2;
            EXPECT_EQ(FixMacroReferencesInProfiles(list, current, c.deleted), changes ? 3 : 0);
            for (int index = 0; index < 3; ++index) {
                CBasicProfiledata reader;
                reader.LoadProfileDocument(list.ProfileFilePath(index));
                const auto keys = reader.GetKeyList();
                ASSERT_EQ(keys.size(), 3u);
                EXPECT_EQ(keys[0].current.Code(), c.key0) << index;
                EXPECT_EQ(keys[1].current.Code(), c.key1) << index;
                EXPECT_EQ(keys[2].current.Code(), 0x200004u);
                EXPECT_EQ(keys[0].current.keyIndex, 0);
            }
        }
    }
}

TEST(MacroFixup, AProfileThatCannotBeReadIsReportedNotSkippedSilently) {
    TestFolder folder;
    WriteText(folder / "default.Json", R"({"Device":[{}]})");
    ProfileList list;
    list.SetFolders(folder.path(), folder / "default.Json");
    list.SetProduct(Product::Mouse);
    ASSERT_TRUE(list.LoadProfileList());
    const std::string other = list.MakeProfile(ParseOrDie(R"({"Device":[{}]})"), "two", false);
    ASSERT_FALSE(other.empty());
    // The other profile's file is now something that cannot be read as one.
    fs::remove(list.ProfileFilePath(1));
    fs::create_directory(list.ProfileFilePath(1));
    CBasicProfiledata current;
    current.SetProfilePath(list.ProfileFilePath(0));
    current.LoadProfileDocument(current.GetProfilePath());
    EXPECT_EQ(FixMacroReferencesInProfiles(list, current, 0), -1);
}

TEST(ProfileSave, AFileWhoseDeviceMemberChangedShapeIsKeptAside) {
    TestFolder folder;
    const fs::path path = folder / "p.Json";
    WriteText(path, R"({"profilename":"mine","Device":{"hand":"edited"}})");
    CBasicProfiledata data;
    data.SetDocument(ParseOrDie(R"({"LightInfo":{"Red":1}})"));
    ASSERT_TRUE(data.StoreDocument(data.Document(), path));
    EXPECT_EQ(DocumentFile::ReadJsonFile(path)["Device"][0]["LightInfo"]["Red"].asInt(), 1);
    int kept = 0;
    for (const std::string& name : FileNames(folder.path())) {
        if (name.starts_with("p.Json.corrupt-")) {
            ++kept;
            EXPECT_NE(ReadText(folder / name).find("edited"), std::string::npos);
        }
    }
    EXPECT_EQ(kept, 1) << "the hand-edited content survives beside the new file";
}

}  // namespace
}  // namespace q731
