#include "profiles/profile_panel.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <map>

#include "platform/files.h"
#include "profiles/document_file.h"
#include "tests/support/test_folder.h"

namespace q731 {
namespace {

using testing::DefaultDataFolder;
using testing::FolderContents;
using testing::TestFolder;
using testing::WriteText;

struct FakeListView final : IProfileListView {
    std::vector<std::string> names;
    int selected = -1;
    std::string field;
    std::map<std::string, bool, std::less<>> shown;
    std::map<std::string, bool, std::less<>> marked;

    void ShowEntries(const std::vector<std::string>& entries, int index) override {
        names = entries;
        selected = index;
    }
    int SelectedEntry() const override { return selected; }
    void ShowName(const std::string& name) override { field = name; }
    std::string EnteredName() const override { return field; }
    void ShowPageTab(std::string_view tab, bool on) override { shown[std::string(tab)] = on; }
    void MarkPageTab(std::string_view tab, bool on) override { marked[std::string(tab)] = on; }
};

fs::path DefaultsOf(Product product) {
    return DefaultDataFolder() / std::string(RecordOf(product).defaultDocument);
}

// A device folder of `product` holding profiles named `names` ("id0", "id1",
// ... made from the defaults), with the panel loaded on it.
struct Panel {
    explicit Panel(Product kind, const std::vector<std::string>& names = {}, int select = 0)
        : product(kind) {
        fs::create_directories(device);
        if (!names.empty()) {
            Json::Value stored(Json::objectValue);
            for (std::size_t i = 0; i < names.size(); ++i) {
                const std::string id = "id" + std::to_string(i);
                Json::Value entry;
                entry["profilename"] = names[i];
                entry["profileUUID"] = id;
                entry["profileislink"] = 0;
                entry["profilelinkmame"] = "";
                stored["profilelist"].append(entry);
                Json::Value profile = DocumentFile::ReadJsonFile(DefaultsOf(kind));
                profile["profilename"] = names[i];
                profile["profileUUID"] = id;
                EXPECT_TRUE(DocumentFile::WriteJsonFile(ProfilePath(device, id), profile));
            }
            stored["profileselect"] = select;
            EXPECT_TRUE(DocumentFile::WriteJsonFile(ProfileListPath(device), stored));
        }
        list.SetFolders(device, DefaultsOf(kind));
        list.SetProduct(kind);
        panel.SetProduct(kind);
        EXPECT_TRUE(panel.LoadProfileList());
    }

    std::vector<std::string> StoredNames() const {
        std::vector<std::string> names;
        const Json::Value file = DocumentFile::ReadJsonFile(ProfileListPath(device));
        for (const Json::Value& entry : file["profilelist"])
            names.push_back(entry["profilename"].asString());
        return names;
    }
    int StoredSelection() const {
        return DocumentFile::ReadJsonFile(ProfileListPath(device))["profileselect"].asInt();
    }
    // What is shown is what is stored, and every listed profile has its file.
    void ExpectDisplayIsTheFiles() const {
        EXPECT_EQ(view.names, StoredNames());
        const Json::Value file = DocumentFile::ReadJsonFile(ProfileListPath(device));
        for (const Json::Value& entry : file["profilelist"]) {
            EXPECT_TRUE(fs::exists(ProfilePath(device, entry["profileUUID"].asString())))
                << entry["profilename"].asString();
        }
    }
    fs::path Import(const std::string& title, const Json::Value& document) {
        const fs::path path = folder / (title + ".json");
        EXPECT_TRUE(DocumentFile::WriteJsonFile(path, document));
        return path;
    }

    Product product;
    TestFolder folder;
    fs::path device = folder / "device";
    ProfileList list;
    FakeListView view;
    ScriptedQuestions asker{{}, 1};
    DeviceProfilePanel panel{list, view, &asker};
};

Json::Value ProfileOf(Product product, const std::string& name = "x") {
    Json::Value document = DocumentFile::ReadJsonFile(DefaultsOf(product));
    document["profilename"] = name;
    document["profileUUID"] = "2020_01_01_00_00_00_000";
    return document;
}

TEST(ProfilePanel, NewNamesFollowTheRulesWithoutRegardToCase) {
    struct Case {
        std::vector<std::string> names;
        char operation;  // 'a' add, 'c' copy the first, 'i' import a file of this title
        std::string title;
        std::string expected;
    };
    const Case cases[] = {
        {{"profile1", "Profile3"}, 'a', "", "profile2"},
        {{"profile1", "Profile3", "profile2"}, 'a', "", "profile4"},
        {{"Game", "Game copy"}, 'c', "", "Game copy copy"},
        {{"game"}, 'i', "Game", "Game(1)"},
        {{"Game", "Game(1)"}, 'i', "Game", "Game(1)(2)"},
        {{"ÄPFEL", "Straße"}, 'i', "äpfel", "äpfel(1)"},
        {{"ПРОФИЛЬ"}, 'c', "", "ПРОФИЛЬ copy"},
        {{"ПРОФИЛЬ copy", "профиль"}, 'c', "", "ПРОФИЛЬ copy copy"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        Panel p(Product::Keyboard, c.names);
        const bool done =
            c.operation == 'a' ? p.panel.AddProfile()
            : c.operation == 'c'
                ? p.panel.CopyProfile()
                : p.panel.ImportProfile(p.Import(c.title, ProfileOf(Product::Keyboard)));
        ASSERT_TRUE(done);
        EXPECT_EQ(p.view.names.back(), c.expected);
        EXPECT_EQ(p.view.selected, 0) << "the device stays on its profile";
        EXPECT_EQ(p.StoredSelection(), 0);
        p.ExpectDisplayIsTheFiles();
        EXPECT_TRUE(p.asker.asked.empty());
    }
}

TEST(ProfilePanel, DeleteSelectsTheNeighbourAndRemovesTheFile) {
    for (const auto& [selected, neighbour] : {std::pair{0, 0}, {2, 1}, {1, 0}}) {
        Panel p(Product::Mouse, {"a", "b", "c"}, selected);
        const std::string gone = "id" + std::to_string(selected);
        ASSERT_TRUE(p.panel.DeleteProfile());
        EXPECT_EQ(p.StoredSelection(), neighbour);
        EXPECT_EQ(p.view.selected, neighbour);
        EXPECT_EQ(p.panel.CurrentIdentifier(), p.list.Entries()[neighbour].identifier)
            << "the device loads the neighbour at once";
        EXPECT_FALSE(fs::exists(ProfilePath(p.device, gone)));
        p.ExpectDisplayIsTheFiles();
    }
    Panel last(Product::Mouse, {"only"});
    const auto before = FolderContents(last.device);
    EXPECT_FALSE(last.panel.DeleteProfile());
    EXPECT_EQ(FolderContents(last.device), before);
}

TEST(ProfilePanel, RenameRefusesBlankAndTakenNamesAndKeepsWhatWasTyped) {
    Panel p(Product::Keyboard, {"Alpha", "beta", "Ärger"}, 2);
    const auto before = FolderContents(p.device);
    for (const auto& [typed, text] : {std::pair<std::string, std::string>{"   ", "message_text_25"},
                                      {"\xC2\xA0\t", "message_text_25"},
                                      {"ALPHA", "message_text_5"},
                                      {"Beta", "message_text_5"}}) {
        p.view.field = typed;
        p.panel.RenameFromField();
        EXPECT_EQ(p.asker.Texts().back(), text) << typed;
    }
    EXPECT_EQ(FolderContents(p.device), before);
    p.view.field = "";
    p.panel.RenameFromField();
    EXPECT_EQ(p.asker.asked.size(), 4u) << "an empty field does nothing";

    p.view.field = " ärger ";  // its own name in other case, spaces kept
    p.panel.RenameFromField();
    EXPECT_EQ(p.asker.asked.size(), 4u);
    EXPECT_EQ(p.StoredNames()[2], " ärger ");
    EXPECT_EQ(DocumentFile::ReadJsonFile(ProfilePath(p.device, "id2"))["profilename"], " ärger ");
    EXPECT_EQ(p.view.field, " ärger ");
    p.ExpectDisplayIsTheFiles();
}

TEST(ProfilePanel, AddStopsAtFiftyWhileCopyAndImportGoOn) {
    Panel p(Product::Mouse, {"profile1"});
    for (int i = 1; i < kProfileLimit; ++i)
        ASSERT_TRUE(p.panel.AddProfile());
    EXPECT_EQ(p.panel.ProfileCount(), kProfileLimit);
    EXPECT_FALSE(p.panel.AddProfile());
    EXPECT_TRUE(p.panel.CopyProfile());
    EXPECT_TRUE(p.panel.ImportProfile(p.Import("more", ProfileOf(Product::Mouse))));
    EXPECT_EQ(p.panel.ProfileCount(), kProfileLimit + 2);
    EXPECT_EQ(p.view.names[49], "profile50");
    p.ExpectDisplayIsTheFiles();
}

TEST(ProfilePanel, ImportRefusesWhatIsNotAProfileOfThisKindAndChangesNothing) {
    const auto without = [](const char* key) {
        Json::Value document = ProfileOf(Product::Keyboard);
        document.removeMember(key);
        return document;
    };
    const auto with = [](const char* path, Json::Value value) {
        Json::Value document = ProfileOf(Product::Keyboard);
        if (std::string_view(path) == "Device")
            document["Device"] = value;
        else
            document["Device"][0][path] = value;
        return document;
    };
    struct Case {
        const char* what;
        std::string text;  // written as is when `document` is null
        Json::Value document;
        const char* message;
    };
    const Case cases[] = {
        {"not JSON", "{\"profilename\": ", {}, profile_text::kImportUnreadable},
        {"empty", "", {}, profile_text::kImportUnreadable},
        {"over the size cap",
         std::string(3 << 20, ' ') + "{}",
         {},
         profile_text::kImportUnreadable},
        {"an array", "[1,2]", {}, profile_text::kImportNotAProfile},
        {"no name", {}, without("profilename"), profile_text::kImportNotAProfile},
        {"no identifier", {}, without("profileUUID"), profile_text::kImportNotAProfile},
        {"no document", {}, without("Device"), profile_text::kImportNotAProfile},
        {"document not an object",
         {},
         with("Device", Json::Value("x")),
         profile_text::kImportNotAProfile},
        {"key list not a list",
         {},
         with("KeyList", Json::Value(Json::objectValue)),
         profile_text::kImportNotAProfile},
        {"mouse", {}, ProfileOf(Product::Mouse), profile_text::kImportOtherKind},
        {"pad", {}, ProfileOf(Product::MousePad), profile_text::kImportOtherKind},
        {"headset", {}, ProfileOf(Product::Headset), profile_text::kImportOtherKind},
        {"pointer settings",
         {},
         with("DPIStages", Json::Value(Json::objectValue)),
         profile_text::kImportOtherKind},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Panel p(Product::Keyboard, {"mine"});
        const fs::path file = p.folder / "Game.json";
        if (c.document.isNull())
            WriteText(file, c.text);
        else
            ASSERT_TRUE(DocumentFile::WriteJsonFile(file, c.document));
        const auto before = FolderContents(p.device);
        EXPECT_FALSE(p.panel.ImportProfile(file));
        EXPECT_EQ(p.asker.Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(FolderContents(p.device), before);
        EXPECT_EQ(p.view.names, std::vector<std::string>{"mine"});
    }
}

TEST(ProfilePanel, EveryKindRefusesTheOthersProfilesAndTakesItsOwn) {
    const Product products[] = {Product::Keyboard, Product::Mouse, Product::MousePad,
                                Product::Headset};
    for (Product into : products) {
        for (Product from : products) {
            SCOPED_TRACE(std::string(RecordOf(from).name) + " into " +
                         std::string(RecordOf(into).name));
            Panel p(into);
            EXPECT_EQ(p.panel.ImportProfile(p.Import("other", ProfileOf(from))), from == into);
        }
    }
}

TEST(ProfilePanel, ExportThenImportGivesTheSameProfile) {
    Panel p(Product::Mouse, {"Game"});
    Json::Value edited = DocumentFile::ReadJsonFile(ProfilePath(p.device, "id0"));
    edited["Device"][0]["DPIStages"]["marker"] = 42;
    ASSERT_TRUE(DocumentFile::WriteJsonFile(ProfilePath(p.device, "id0"), edited));
    const fs::path exported = p.folder / "exported.json";
    WriteText(exported, "an older export is replaced");
    ASSERT_TRUE(p.panel.ExportProfile(exported));
    ASSERT_TRUE(p.panel.ImportProfile(exported));
    EXPECT_EQ(p.view.names, (std::vector<std::string>{"Game", "exported"}));
    Json::Value imported = DocumentFile::ReadJsonFile(p.panel.ProfileFilePath(1));
    EXPECT_EQ(imported["Device"], edited["Device"]);
    EXPECT_EQ(imported["profilename"], "exported");
    EXPECT_NE(imported["profileUUID"], edited["profileUUID"]);

    // A profile whose file is damaged is not exported as "null".
    WriteText(ProfilePath(p.device, "id0"), "{ damaged");
    const fs::path second = p.folder / "second.json";
    EXPECT_FALSE(p.panel.ExportProfile(second));
    EXPECT_FALSE(fs::exists(second));
    EXPECT_EQ(p.asker.Texts().back(), profile_text::kExportUnreadable);
}

TEST(ProfilePanel, AFailedWriteAtAnyStepIsToldAndTheDisplayShowsTheFiles) {
    using Operation = std::function<bool(Panel&)>;
    const std::pair<const char*, Operation> operations[] = {
        {"add", [](Panel& p) { return p.panel.AddProfile(); }},
        {"copy", [](Panel& p) { return p.panel.CopyProfile(); }},
        {"import",
         [](Panel& p) { return p.panel.ImportProfile(p.Import("in", ProfileOf(p.product))); }},
        {"delete", [](Panel& p) { return p.panel.DeleteProfile(); }},
        {"select", [](Panel& p) { return p.panel.SelectProfileEntry(0); }},
        {"reset", [](Panel& p) { return p.panel.ResetProfile(); }},
        {"rename", [](Panel& p) { return p.panel.RenameProfile("new") == RenameResult::Done; }},
    };
    for (const auto& [name, operation] : operations) {
        for (int after = 0; after < 3; ++after) {
            SCOPED_TRACE(std::string(name) + " after " + std::to_string(after));
            Panel p(Product::Mouse, {"a", "b"}, 1);
            InjectWriteFault(p.device, ENOSPC, after);
            const bool done = operation(p);
            InjectWriteFault({}, 0);
            if (!done) {
                EXPECT_EQ(p.asker.Texts(), std::vector<std::string>{profile_text::kWriteFailed});
            }
            p.ExpectDisplayIsTheFiles();
            EXPECT_EQ(p.view.selected, p.StoredSelection());
        }
    }
}

TEST(ProfilePanel, PageTabsFollowTheKind) {
    const std::pair<Product, std::vector<std::string>> kinds[] = {
        {Product::Keyboard, {"deng_Op_tab", "key_Op_tab", "macro_Op_tab", "system_Op_tab"}},
        {Product::Mouse,
         {"deng_Op_tab", "key_Op_tab", "macro_Op_tab", "system_Op_tab", "cursor_Op_tab"}},
        {Product::MousePad, {"deng_Op_tab"}},
        {Product::Headset,
         {"deng_Op_tab", "6533_voice_Op_tab", "magic_Op_tab", "Virtual7.1_Op_tab"}},
    };
    for (const auto& [product, offered] : kinds) {
        Panel p(product);
        std::vector<std::string> shown;
        for (const auto& [tab, on] : p.view.shown)
            if (on) shown.push_back(tab);
        std::sort(shown.begin(), shown.end());
        std::vector<std::string> expected = offered;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(shown, expected) << RecordOf(product).name;
    }
    Panel p(Product::Headset);
    p.panel.MarkPageTab(8);
    p.panel.MarkPageTab(0);
    EXPECT_TRUE(p.view.marked["Virtual7.1_Op_tab"]) << "only a page number clears it";
    EXPECT_FALSE(p.view.marked["deng_Op_tab"]);
}

}  // namespace
}  // namespace q731
