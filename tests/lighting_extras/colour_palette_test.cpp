// The palette model over a recorded view, on private folders and a manual
// clock: the colour options file, the target swatch, the boxes and the pace
// of saves.

#include "lighting_extras/colour_palette.h"

#include <gtest/gtest.h>

#include "profiles/document_file.h"
#include "profiles/json_fields.h"
#include "tests/support/test_folder.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;
using testing::DefaultDataFolder;
using testing::FileNames;
using testing::ReadText;
using testing::TestFolder;
using testing::WriteText;

// The window's controls as plain state.
struct FakeView final : IColourPaletteView {
    bool palette = true;
    ArgbColour paletteColour = 0;
    std::optional<ArgbColour> preview = 0;
    bool sevenColour = false;
    bool sevenColourAvailable = true;
    std::array<std::string, 3> boxes;
    std::array<std::optional<ArgbColour>, kPaletteSwatches> presets;
    std::array<std::optional<ArgbColour>, kPaletteSwatches> collected;
    std::array<bool, kPaletteSwatches> filled{};
    int selectedCollected = -1;

    FakeView() {
        for (int i = 0; i < kPaletteSwatches; ++i) {
            presets[static_cast<std::size_t>(i)] = 0xFF000000u | static_cast<ArgbColour>(i);
            collected[static_cast<std::size_t>(i)] = 0xFFFFFFFFu;
        }
    }
    bool HasPalette() const override { return palette; }
    void ShowPaletteColour(ArgbColour colour) override { paletteColour = colour; }
    void ShowPreviewColour(ArgbColour colour) override {
        if (preview) preview = colour;
    }
    std::optional<ArgbColour> PreviewColour() const override { return preview; }
    void ShowSevenColour(bool on) override { sevenColour = on; }
    void ShowSevenColourAvailable(bool available) override { sevenColourAvailable = available; }
    std::string ChannelText(ColourChannel channel) const override {
        return boxes[static_cast<std::size_t>(channel)];
    }
    void ShowChannelText(ColourChannel channel, const std::string& text) override {
        boxes[static_cast<std::size_t>(channel)] = text;
    }
    std::optional<ArgbColour> PresetColour(int index) const override {
        return presets[static_cast<std::size_t>(index)];
    }
    std::optional<ArgbColour> CollectedColour(int index) const override {
        return collected[static_cast<std::size_t>(index)];
    }
    bool CollectedSelected(int index) const override { return index == selectedCollected; }
    void ShowCollected(int index, ArgbColour colour, bool on) override {
        collected[static_cast<std::size_t>(index)] = colour;
        filled[static_cast<std::size_t>(index)] = on;
    }
};

class ColourPaletteTest : public ::testing::Test {
protected:
    fs::path UserFile() const { return user_.path() / kColourOptionsFileName; }
    fs::path DefaultFile() const { return defaults_.path() / kColourOptionsFileName; }
    std::unique_ptr<ColourPaletteModel> Open(ArgbColour colour = 0xFF102030u) {
        auto model =
            std::make_unique<ColourPaletteModel>(view_, loop_, user_.path(), defaults_.path());
        model->SetColour(colour);
        model->SetSevenColourAvailable(false);
        model->Load();
        return model;
    }
    Json::Value Root() const {
        return json::Member(DocumentFile::ReadJsonFile(UserFile()), colour_keys::kRoot);
    }
    std::string Stored(const char* list, int index, const char* key) const {
        return json::GetString(json::At(json::Member(Root(), list), index), key);
    }
    // A user's target swatch chosen the way the window does it.
    void Target(ColourPaletteModel& model, int index) {
        view_.selectedCollected = index;
        model.ChooseCollected(index);
    }

    TestFolder user_{"q731-palette-user"};
    TestFolder defaults_{"q731-palette-defaults"};
    ManualClock clock_;
    UiLoop loop_{clock_};
    FakeView view_;
};

TEST_F(ColourPaletteTest, ColourStringsAreEightHexDigitsAndChannelBoxesClamp) {
    EXPECT_EQ(ColourString(0x00FF0000u), "00FF0000");
    EXPECT_EQ(ParseColourString("00FF0000"), 0x00FF0000u);
    EXPECT_EQ(ParseColourString("ffffffff"), 0xFFFFFFFFu);
    for (const char* bad : {"GGGGGGGG", "0FF000000", "FF0000", "", " 0FF0000", "0xFF0000"})
        EXPECT_EQ(ParseColourString(bad), std::nullopt) << bad;

    struct Case {
        const char* text;
        int value;
        bool rewrite;
    };
    for (const Case& c :
         {Case{"-5", 0, true}, Case{"300", 255, true}, Case{"", 0, true}, Case{"12", 12, false},
          Case{"0", 0, false}, Case{"007", 7, true}, Case{"99999999999999999999", 255, true}}) {
        const ChannelReading reading = ReadChannelBox(c.text);
        EXPECT_EQ(reading.value, c.value) << c.text;
        EXPECT_EQ(reading.rewrite, c.rewrite) << c.text;
    }
}

TEST_F(ColourPaletteTest, FirstOpeningCopiesTheDefaultAndBoxesNeverSpillIntoOtherChannels) {
    fs::copy_file(DefaultDataFolder() / kColourOptionsFileName, DefaultFile());
    auto model = Open(0xFF102030u);
    EXPECT_EQ(DocumentFile::ReadJsonFile(UserFile()), DocumentFile::ReadJsonFile(DefaultFile()));
    EXPECT_EQ(view_.boxes, (std::array<std::string, 3>{"16", "32", "48"}));
    EXPECT_EQ(model->CollectedIndex(), 0);  // the shipped file names no target
    EXPECT_FALSE(view_.sevenColourAvailable);

    view_.boxes = {"300", "", "-5"};
    model->ChannelsEdited();
    EXPECT_EQ(view_.boxes, (std::array<std::string, 3>{"255", "0", "0"}));
    EXPECT_EQ(model->Colour(), 0xFFFF0000u);
    view_.boxes = {"300", "7", "9"};
    model->ChannelsEdited();
    EXPECT_EQ(model->Colour(), 0xFFFF0709u);
    EXPECT_EQ(view_.paletteColour, 0xFFFF0709u);
    EXPECT_EQ(view_.preview, 0xFFFF0709u);
}

TEST_F(ColourPaletteTest, OnlyAChosenCollectedSwatchIsFilledAndSavedAtOnce) {
    WriteText(UserFile(), R"({"coloroptioninfo":{"palletDialogcollectcoloroption_selectitem":3}})");
    auto model = Open();
    EXPECT_EQ(model->CollectedIndex(), -1);  // never preselected
    model->PaletteDragged(0xFF00FF00u);
    EXPECT_FALSE(view_.filled[3]);
    EXPECT_EQ(model->FileWrites(), 0);

    Target(*model, 5);  // an empty swatch: the target, nothing else
    EXPECT_EQ(view_.preview, 0xFF00FF00u);
    clock_.Advance(1s);
    model->PaletteDragged(0xFF0000FFu);
    EXPECT_TRUE(view_.filled[5]);
    EXPECT_EQ(Stored(colour_keys::kCollected, 5, colour_keys::kColour), "FF0000FF");
    EXPECT_EQ(Stored(colour_keys::kCollected, 5, colour_keys::kUserData), "1");
    EXPECT_EQ(json::GetInt64(Root(), colour_keys::kCollectedIndex), 5);

    // A preset choice and a box edit fill it too.
    clock_.Advance(1s);
    model->ChoosePreset(7);
    EXPECT_EQ(view_.collected[5], 0xFF000007u);
    clock_.Advance(1s);
    view_.boxes = {"1", "2", "3"};
    model->ChannelsEdited();
    EXPECT_EQ(Stored(colour_keys::kCollected, 5, colour_keys::kColour), "FF010203");

    // Choosing a filled swatch shows it; OK returns it though the current
    // colour was not changed by the choice.
    Target(*model, 6);
    clock_.Advance(1s);
    model->PaletteDragged(0xFFABCDEFu);
    view_.selectedCollected = -1;
    model->PaletteDragged(0xFF111111u);
    model->ChooseCollected(6);
    EXPECT_EQ(model->Colour(), 0xFF111111u);
    EXPECT_EQ(model->Accept(), palette_result::kOk);
    EXPECT_EQ(model->Colour(), 0xFFABCDEFu);
}

TEST_F(ColourPaletteTest, APresetChoiceStoresItsIndexAndEveryPresetColour) {
    auto model = Open();
    model->ChoosePreset(2);
    EXPECT_EQ(json::GetInt64(Root(), colour_keys::kPresetIndex), 2);
    for (int i = 0; i < kPaletteSwatches; ++i)
        EXPECT_EQ(Stored(colour_keys::kPresets, i, colour_keys::kColour),
                  ColourString(0xFF000000u | static_cast<ArgbColour>(i)));
    EXPECT_EQ(model->Colour(), 0xFF000002u);

    clock_.Advance(1s);
    Target(*model, 0);
    model->PaletteDragged(0xFF123456u);
    view_ = FakeView{};
    auto reopened = Open();
    EXPECT_EQ(reopened->PresetIndex(), 2);
    EXPECT_TRUE(view_.filled[0]);
    EXPECT_EQ(view_.collected[0], 0xFF123456u);
}

TEST_F(ColourPaletteTest, DamagedFilesNeverThrowKeepWhatIsValidAndAreKeptAside) {
    fs::copy_file(DefaultDataFolder() / kColourOptionsFileName, DefaultFile());
    const std::string good = R"({"color":"00FF0000","UserData":"1"})";
    struct Case {
        const char* name;
        std::string text;
        bool keptAside;    // at once, when the palette opens
        int filledSwatch;  // the one valid entry, restored; -1: none
        int presetIndex;
        std::size_t filesAfterSave;  // an array root is kept aside by the first save
    };
    const std::vector<Case> cases = {
        {"not JSON", "{\"coloroptioninfo\": [", true, -1, 4, 2},
        {"empty", "", true, -1, 4, 2},
        {"wrong types",
         R"({"coloroptioninfo":{"palletDialogcoloroption":"x","palletDialogcoloroption_selectitem":"2",
            "palletDialogcollectcoloroption":[7, {"color":5,"UserData":"1"}, )" +
             good + "]}}",
         false, 2, 4, 1},
        {"bad colours",
         R"({"coloroptioninfo":{"palletDialogcollectcoloroption":[{"color":"GGGGGGGG","UserData":"1"},
            {"color":"0FF000000","UserData":"1"}, )" +
             good + "]}}",
         false, 2, 4, 1},
        {"index 25",
         R"({"coloroptioninfo":{"palletDialogcoloroption_selectitem":25,
            "palletDialogcollectcoloroption":[)" +
             good + "]}}",
         false, 0, 4, 1},
        {"number as UserData",
         R"({"coloroptioninfo":{"palletDialogcoloroption_selectitem":9,
            "palletDialogcollectcoloroption":[{"color":"00FF0000","UserData":1}]}})",
         false, -1, 9, 1},
        {"array root", "[1, 2]", false, -1, 4, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(user_.path());
        fs::create_directories(user_.path());
        WriteText(UserFile(), c.text);
        view_ = FakeView{};
        std::unique_ptr<ColourPaletteModel> model;
        ASSERT_NO_THROW(model = Open());
        EXPECT_EQ(model->PresetIndex(), c.presetIndex);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(view_.filled[static_cast<std::size_t>(i)], i == c.filledSwatch) << i;
        if (c.filledSwatch >= 0) {
            EXPECT_EQ(view_.collected[static_cast<std::size_t>(c.filledSwatch)], 0x00FF0000u);
        }
        EXPECT_EQ(FileNames(user_.path()).size(), c.keptAside ? 2u : 1u);
        // The next save leaves a valid document, the damaged file aside.
        Target(*model, 1);
        clock_.Advance(1s);
        ASSERT_NO_THROW(model->PaletteDragged(0xFF010101u));
        EXPECT_EQ(Stored(colour_keys::kCollected, 1, colour_keys::kColour), "FF010101");
        EXPECT_EQ(FileNames(user_.path()).size(), c.filesAfterSave);
    }
}

TEST_F(ColourPaletteTest, WithoutAnyFileNothingIsWrittenUntilAChangeAndNoPaletteGivesTwo) {
    auto model = Open();
    EXPECT_FALSE(fs::exists(UserFile()));
    EXPECT_EQ(model->PresetIndex(), 4);
    view_.palette = false;
    view_.preview = 0xFF445566u;
    EXPECT_EQ(model->Accept(), palette_result::kNoPalette);
    view_.palette = true;
    view_.preview.reset();
    EXPECT_EQ(model->Accept(), palette_result::kOk);
    EXPECT_EQ(model->Colour(), 0u);  // no preview: black
    model->ChoosePreset(1);
    EXPECT_EQ(json::GetInt64(Root(), colour_keys::kPresetIndex), 1);
}

TEST_F(ColourPaletteTest, ADragWritesAtMostOncePer200MsAndTheRestWhenTheWindowCloses) {
    auto model = Open();
    Target(*model, 0);
    for (int i = 0; i < 100; ++i) {  // a drag of 100 events over one second
        model->PaletteDragged(0xFF000000u | static_cast<ArgbColour>(i));
        RunFor(loop_, clock_, 10ms);
    }
    EXPECT_GE(model->FileWrites(), 4);
    EXPECT_LE(model->FileWrites(), 6);
    model->PaletteDragged(0xFF0000AAu);
    const int before = model->FileWrites();
    model->Finish();
    EXPECT_EQ(model->FileWrites(), before + 1);
    EXPECT_EQ(Stored(colour_keys::kCollected, 0, colour_keys::kColour), "FF0000AA");
    model->Finish();  // nothing pending: no write
    EXPECT_EQ(model->FileWrites(), before + 1);
}

}  // namespace
}  // namespace q731
