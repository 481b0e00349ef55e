#include <gtest/gtest.h>

#include <cerrno>

#include "platform/files.h"
#include "profiles/document_file.h"
#include "profiles/hs6533_profiledata.h"
#include "profiles/keyboard_profiledata.h"
#include "profiles/mouse_profiledata.h"
#include "profiles/profile_paths.h"
#include "tests/support/test_folder.h"

namespace q731 {
namespace {

using testing::FileNames;
using testing::ParseOrDie;
using testing::ReadText;
using testing::TestFolder;
using testing::WriteText;

constexpr const char* kDefaults = R"({"Device":[{"LightInfo":{"SelectItem":3,"Red":9}}]})";

// A profile-data object bound to a private folder with a small default file.
template <typename Data>
struct Bound {
    TestFolder folder;
    Data data;
    fs::path profile = folder / "p1.Json";
    Bound() {
        WriteText(folder / "default.Json", kDefaults);
        data.SetDefaultPath(folder / "default.Json");
        data.SetProfilePath(profile);
    }
    Json::Value OnDisk() const { return DocumentFile::ReadJsonFile(profile); }
    // Saves, then reads the file back into a fresh object.
    void Reload(Data& fresh) {
        ASSERT_TRUE(data.SaveProfile());
        fresh.SetProfilePath(profile);
        fresh.LoadProfileDocument(profile);
    }
};

TEST(Profiledata, SharedSectionsRoundTrip) {
    Bound<CBasicProfiledata> bound;
    bound.data.LoadProfileDocument(bound.profile);
    const LightSetting light{7, 4, 2, 1, 1, 10, 20, 30, 0, 0, 0, 2, 3, 5};
    bound.data.SetLightSetting(light);
    const AudioLightSetting audio{2, 1, 2, 3, 4, 5, 6, 1, 0};
    bound.data.SetAudioLightSetting(audio);
    // Worked value: a macro code 0x70 0x01 0x02 survives as the same number.
    std::vector<KeyEntry> keys = {{KeyBinding::FromCode(0, 0x700102), {}},
                                  {KeyBinding::FromCode(1, 0x100400), {}}};
    bound.data.SetKeyList(keys);

    CBasicProfiledata fresh;
    bound.Reload(fresh);
    EXPECT_EQ(fresh.GetLightSetting(), light);
    EXPECT_EQ(fresh.GetAudioLightSetting(), audio);
    const auto read = fresh.GetKeyList();
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].current.type, 0x70);
    EXPECT_EQ(read[0].current.middle, 0x01);
    EXPECT_EQ(read[0].current.low, 0x02);
    EXPECT_EQ(read[1].current.keyIndex, 1);
    EXPECT_EQ(bound.OnDisk()["Device"][0]["KeyList"][0]["Assignment"].asInt(), 0x700102);
    EXPECT_FALSE(bound.OnDisk()["Device"][0]["KeyList"][0].isMember("DefaultAssignment"));
}

TEST(Profiledata, BooleanKeysAcceptBooleansAndAreWrittenAsNumbers) {
    CBasicProfiledata data;
    data.SetDocument(ParseOrDie(R"({"LightInfo":{"MultiColor":true},
        "AudioLightInfo":{"7ColorFlags":true,"ColorTypeFlags":1},
        "LightList":[null,{"LEDDirection":true,"LEDMultiColor":1,"red":300,"LEDREGMode":2}]})"));
    EXPECT_EQ(data.GetLightSetting().multiColor, 1);
    EXPECT_EQ(data.GetAudioLightSetting().sevenColors, 1);
    const auto leds = data.GetLedList();
    ASSERT_EQ(leds.size(), 2u);
    EXPECT_EQ(leds[0], LightSetting{});  // null element: all zero, not present
    EXPECT_EQ(leds[1].present, 1);
    EXPECT_EQ(leds[1].direction, 1);
    EXPECT_EQ(leds[1].multiColor, 1);
    EXPECT_EQ(leds[1].red, 300 & 0xFF);
    EXPECT_EQ(leds[1].selectItem, 2);
    data.SetLightSetting(data.GetLightSetting());
    EXPECT_TRUE(data.Document()["LightInfo"]["MultiColor"].isInt());
    EXPECT_EQ(data.Document()["LightInfo"]["MultiColor"].asInt(), 1);
}

TEST(Profiledata, KeyboardSectionsRoundTrip) {
    Bound<CKeyboardProfiledata> bound;
    bound.data.LoadProfileDocument(bound.profile);
    const KeyboardSystemSettings system{3, 2, 1, 4, 0, 1};
    bound.data.SetSystemSettings(system);
    // Worked value: 8 keys of a group the document lacks come back as zeros
    // and are added to the document.
    EXPECT_EQ(bound.data.GetCustomColourGroup(1, 8), std::vector<KeyColour>(8));
    EXPECT_EQ(bound.data.Document()["CustomLightMode"]["LightColorInfo"][1].size(), 8u);
    EXPECT_EQ(bound.data.Document()["CustomLightMode"]["LightColorInfo"][1][7]["Alpha"].asInt(), 0);
    const std::vector<KeyColour> colours = {{1, 2, 3, 4}, {250, 251, 252, 253}};
    bound.data.SetCustomColourGroup(colours, 2);
    bound.data.SetSelectedCustomGroup(2);

    CKeyboardProfiledata fresh;
    bound.Reload(fresh);
    EXPECT_EQ(fresh.GetSystemSettings(), system);
    EXPECT_EQ(fresh.GetCustomColourGroup(2, 2), colours);
    EXPECT_EQ(fresh.GetSelectedCustomGroup(), 2);
}

TEST(Profiledata, MouseSectionsRoundTrip) {
    Bound<CMouseProfiledata> bound;
    bound.data.SetDocument(ParseOrDie(R"({"CorrectInfo":[{"CorrectPixThresh":4,
        "CorrectMinSq":258,"CorrectSelect":1,"CorrectName":"Low"}]})"));
    std::vector<DpiStage> stages(2);
    stages[0].enabled = 1;
    stages[0].SetDpiX(12000);  // worked value: held as E0 2E
    stages[0].SetDpiY(800);
    stages[1] = {1, 1, {1, 0}, {2, 0}, 255, 128, 0};
    EXPECT_EQ(stages[0].dpiX[0], 0xE0);
    EXPECT_EQ(stages[0].dpiX[1], 0x2E);
    bound.data.SetDpiStages(stages);
    bound.data.SetActiveStage(1);
    const MouseSystemSettings system{500, 10, 1, 0, 3, 2};
    bound.data.SetSystemSettings(system);

    CMouseProfiledata fresh;
    bound.Reload(fresh);
    EXPECT_EQ(fresh.GetDpiStages(), stages);
    EXPECT_EQ(fresh.GetActiveStage(), 1);
    EXPECT_EQ(fresh.GetSystemSettings(), system);
    EXPECT_EQ(bound.OnDisk()["Device"][0]["DPIStages"]["StageDPIs"][0]["StageDPIX"].asInt(), 12000);
    EXPECT_EQ(bound.OnDisk()["Device"][0]["SystemStages"]["WheelScorlllinse"].asInt(), 3);
    const auto correct = fresh.GetCorrectList();
    ASSERT_EQ(correct.size(), 1u);
    EXPECT_EQ(correct[0], (CorrectEntry{4, 2, 1, "Low"}));
}

TEST(Profiledata, DpiStagesMergeIntoTheHeldList) {
    CMouseProfiledata data;
    std::vector<DpiStage> five(5);
    for (auto& stage : five)
        stage.SetDpiX(99);
    data.SetDpiStages(five);
    data.SetDocument(ParseOrDie(R"({"DPIStages":{"StageActive":2,"StageDPIs":[
        {"StageDPIX":1},{"StageDPIX":2},{"StageDPIX":3}]}})"));
    const auto merged = data.GetDpiStages();
    ASSERT_EQ(merged.size(), 5u);
    EXPECT_EQ(merged[2].DpiX(), 3);
    EXPECT_EQ(merged[3].DpiX(), 99);
    EXPECT_EQ(data.GetActiveStage(), 2);
}

TEST(Profiledata, HeadsetSectionsRoundTrip) {
    Bound<CHs6533Profiledata> bound;
    bound.data.LoadProfileDocument(bound.profile);
    const HeadsetSystemSettings system{1, 2, 13, 1, 1, 80, 0, 50};
    const CHs6533Profiledata::Curve preset = {1, -2, 3, -4, 5, -6, 7, -8, 9, -10};
    const CHs6533Profiledata::Curve custom = {10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
    bound.data.SetCustomCurveNames({"Mine", "Spät"});
    bound.data.SetSystemSettings(system);
    bound.data.SetPresetCurve(12, preset);
    EXPECT_TRUE(bound.data.SetCustomCurve(1, custom));
    bound.data.SetPresetCurve(13, preset);  // the custom type writes nothing here

    CHs6533Profiledata fresh;
    bound.Reload(fresh);
    EXPECT_EQ(fresh.GetSystemSettings(), system);
    EXPECT_EQ(fresh.GetEqualiserCurve(12), preset);
    EXPECT_EQ(fresh.GetEqualiserCurve(13), custom);  // custom index 1 selected
    EXPECT_EQ(fresh.GetCustomCurve(1), custom);
    EXPECT_EQ(fresh.GetCustomCurveNames(), (std::vector<std::string>{"Mine", "Spät"}));
    EXPECT_EQ(bound.OnDisk()["Device"][0]["CustomEQNameInfo"][1]["Name"].asString(), "Spät");
}

TEST(Profiledata, EqualiserTypesChooseTheirPresetCurve) {
    const struct {
        int type;
        int curve;
    } cases[] = {{0, 1}, {1, 1}, {7, 7}, {12, 12}, {14, 1}, {-3, 1}, {1000, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(CHs6533Profiledata::PresetCurveFor(c.type), c.curve) << c.type;
    }
    CHs6533Profiledata data;
    data.SetDocument(ParseOrDie(R"({"EQHzValueInfo":[[],[{"value":5}]]})"));
    const auto curve = data.GetEqualiserCurve(0);
    EXPECT_EQ(curve[0], 5);
    EXPECT_EQ(curve[9], 0);
    // Absent bands are added as 0.
    EXPECT_EQ(data.Document()["EQHzValueInfo"][1].size(), 10u);
    EXPECT_EQ(data.Document()["EQHzValueInfo"][1][9]["value"].asInt(), 0);
}

TEST(Profiledata, IndexesFromTheFileCannotGrowTheDocument) {
    Bound<CHs6533Profiledata> headset;
    headset.data.SetDocument(ParseOrDie(R"({"SystemSetStages":{"CustomEqSeletIndex":2e9},
        "CustomEQNameInfo":[{"Name":"a"}]})"));
    EXPECT_EQ(headset.data.GetEqualiserCurve(13), CHs6533Profiledata::Curve{});
    EXPECT_FALSE(headset.data.SetCustomCurve(2000000000, {}));
    EXPECT_FALSE(headset.data.SetCustomCurve(1, {}));  // only one name
    EXPECT_FALSE(headset.data.SetCustomCurve(-1, {}));
    ASSERT_TRUE(headset.data.SaveProfile());
    EXPECT_LT(fs::file_size(headset.profile), 1000u);

    Bound<CKeyboardProfiledata> keyboard;
    keyboard.data.SetDocument(
        ParseOrDie(R"({"CustomLightMode":{"CustomLightModeGroupIndex":2e9}})"));
    const int group = keyboard.data.GetSelectedCustomGroup();
    EXPECT_EQ(group, 2000000000);
    EXPECT_EQ(keyboard.data.GetCustomColourGroup(group, 2000000000).size(),
              static_cast<std::size_t>(CKeyboardProfiledata::kMaxKeys));
    keyboard.data.SetCustomColourGroup({{1, 2, 3, 4}}, group);
    keyboard.data.SetDocumentIndex(2000000000);
    EXPECT_EQ(keyboard.data.GetDocumentIndex(), 0);
    ASSERT_TRUE(keyboard.data.SaveProfile());
    EXPECT_LT(fs::file_size(keyboard.profile), 1000u);
}

TEST(Profiledata, WrongTypesEverywhereReadAsZeroAndNeverThrow) {
    const char* documents[] = {
        R"("a string")",
        R"([1,2,3])",
        R"({"LightInfo":"x","AudioLightInfo":[],"LightList":{},"KeyList":7,
            "SystemStages":[],"CustomLightMode":"g","DPIStages":3,"ReportStages":null,
            "CorrectInfo":{"a":1},"SystemSetStages":"s","EQHzValueInfo":"e",
            "CustomEQNameInfo":{"Name":"x"},"CustomEQHzValueInfo":5})",
        R"({"LightInfo":{"Red":"9","MultiColor":"yes"},"LightList":[1,"x",[]],
            "KeyList":[null,"x",{"Assignment":"7","DefaultAssignment":[]}],
            "SystemStages":{"Repeat":{}},"DPIStages":{"StageDPIs":[1,null,"x"]},
            "CustomLightMode":{"LightColorInfo":[5,[1,"x",{"Red":[]}]]},
            "CorrectInfo":[1,{"CorrectName":5}],
            "EQHzValueInfo":[1,[1,{"value":"x"}]],"CustomEQNameInfo":[1,{"Name":[]}],
            "CustomEQHzValueInfo":[[{"value":{}}]]})",
    };
    for (const char* text : documents) {
        SCOPED_TRACE(text);
        const Json::Value document = ParseOrDie(text);
        CKeyboardProfiledata keyboard;
        CMouseProfiledata mouse;
        CHs6533Profiledata headset;
        keyboard.SetDocument(document);
        mouse.SetDocument(document);
        headset.SetDocument(document);
        ASSERT_NO_THROW({
            EXPECT_EQ(keyboard.GetLightSetting().red, 0);
            keyboard.GetAudioLightSetting();
            keyboard.GetLedList();
            for (const KeyEntry& key : keyboard.GetKeyList())
                EXPECT_EQ(key.current.Code(), 0u);
            EXPECT_EQ(keyboard.GetSystemSettings(), KeyboardSystemSettings{});
            keyboard.GetCustomColourGroup(1, 3);
            keyboard.GetSelectedCustomGroup();
            mouse.GetDpiStages();
            mouse.GetSystemSettings();
            mouse.GetCorrectList();
            headset.GetSystemSettings();
            headset.GetEqualiserCurve(1);
            headset.GetEqualiserCurve(13);
            headset.GetCustomCurveNames();
            headset.GetCustomCurve(0);
            // Setters over the same junk.
            keyboard.SetLightSetting({});
            keyboard.SetKeyList({{}, {}});
            keyboard.SetCustomColourGroup({{1, 1, 1, 1}}, 1);
            keyboard.SetSystemSettings({});
            mouse.SetDpiStages({{}});
            mouse.SetSystemSettings({});
            headset.SetPresetCurve(2, {});
            headset.SetCustomCurveNames({"a"});
            headset.SetCustomCurve(0, {});
        });
        EXPECT_TRUE(keyboard.Document().isObject());
    }
}

TEST(Profiledata, MissingDocumentIsCompletedFromDefaultsAndWrittenBack) {
    Bound<CBasicProfiledata> bound;
    WriteText(bound.profile, R"({"profilename":"Game","profileUUID":"p1","Extra":[1]})");
    const Json::Value document = bound.data.LoadProfileDocument(bound.profile);
    EXPECT_EQ(document["LightInfo"]["SelectItem"].asInt(), 3);
    const Json::Value disk = bound.OnDisk();
    EXPECT_EQ(disk["profilename"].asString(), "Game");
    EXPECT_EQ(disk["Extra"][0].asInt(), 1);
    EXPECT_EQ(disk["Device"][0]["LightInfo"]["Red"].asInt(), 9);
    // A second load finds the document in the file, not in the defaults.
    WriteText(bound.folder / "default.Json", R"({"Device":[{"LightInfo":{"Red":1}}]})");
    EXPECT_EQ(bound.data.LoadProfileDocument(bound.profile)["LightInfo"]["Red"].asInt(), 9);
}

TEST(Profiledata, SaveKeepsNamesUnknownKeysAndFurtherDeviceElements) {
    Bound<CBasicProfiledata> bound;
    const std::string original = R"({"profilename":"Game","profileUUID":"p1","Future":{"x":1},
        "Device":[{"LightInfo":{"Red":1,"NewKey":"kept"},"NewSection":[1,2]},{"Second":true}]})";
    WriteText(bound.profile, original);
    bound.data.LoadProfileDocument(bound.profile);
    LightSetting light = bound.data.GetLightSetting();
    light.red = 200;
    bound.data.SetLightSetting(light);
    ASSERT_TRUE(bound.data.SaveProfile());
    Json::Value expected = ParseOrDie(original);
    expected["Device"][0]["LightInfo"] = bound.data.Document()["LightInfo"];
    EXPECT_EQ(bound.OnDisk(), expected);
    EXPECT_EQ(bound.OnDisk()["Device"][0]["LightInfo"]["NewKey"].asString(), "kept");
    EXPECT_EQ(bound.OnDisk()["Device"][0]["LightInfo"]["Red"].asInt(), 200);
}

TEST(Profiledata, DamagedProfileIsKeptAsideAndRebuiltWithItsIdentity) {
    Bound<CBasicProfiledata> bound;
    WriteText(
        bound.folder / kProfileListFileName,
        R"({"profilelist":[{"profilename":"My Game","profileUUID":"p1"}],"profileselect":0})");
    const std::string damaged = R"({"profilename":"My Game","Device":[{"LightInfo":{"Red":)";
    WriteText(bound.profile, damaged);
    const Json::Value document = bound.data.LoadProfileDocument(bound.profile);
    EXPECT_EQ(document["LightInfo"]["SelectItem"].asInt(), 3);
    const Json::Value disk = bound.OnDisk();
    EXPECT_EQ(disk["profilename"].asString(), "My Game");
    EXPECT_EQ(disk["profileUUID"].asString(), "p1");
    int aside = 0;
    for (const std::string& name : FileNames(bound.folder.path())) {
        if (name.rfind("p1.Json.corrupt-", 0) == 0) {
            EXPECT_EQ(ReadText(bound.folder / name), damaged);
            ++aside;
        }
    }
    EXPECT_EQ(aside, 1);

    // Saving over a file damaged meanwhile keeps that one aside too.
    WriteText(bound.profile, "garbage");
    ASSERT_TRUE(bound.data.SaveProfile());
    EXPECT_EQ(bound.OnDisk()["profileUUID"].asString(), "p1");
    EXPECT_EQ(FileNames(bound.folder.path()).size(), 5u);  // list, default, profile, 2 aside
}

// A read-only folder or a full disk: the save fails and says so, the file on
// disk and the settings in memory both stay, and once the fault clears the
// next save writes what was changed meanwhile.
TEST(Profiledata, AFailedSaveLosesNothingAndTheNextSaveCatchesUp) {
    for (const int fault : {EROFS, ENOSPC}) {
        Bound<CBasicProfiledata> bound;
        bound.data.LoadProfileDocument(bound.profile);
        const Json::Value before = bound.OnDisk();
        LightSetting light = bound.data.GetLightSetting();
        light.selectItem = 9;
        bound.data.SetLightSetting(light);
        std::vector<WriteFailure> seen;
        SetWriteFailureObserver([&](const WriteFailure& failure) { seen.push_back(failure); });
        InjectWriteFault(bound.folder.path(), fault);
        EXPECT_FALSE(bound.data.SaveProfile());
        EXPECT_EQ(bound.OnDisk(), before) << "the file keeps its last good content";
        EXPECT_EQ(bound.data.GetLightSetting().selectItem, 9) << "the change is kept in memory";
        InjectWriteFault({}, 0);
        SetWriteFailureObserver(nullptr);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].folder, bound.folder.path());
        EXPECT_EQ(seen[0].error, fault);
        ASSERT_TRUE(bound.data.SaveProfile());
        CBasicProfiledata fresh;
        fresh.LoadProfileDocument(bound.profile);
        EXPECT_EQ(fresh.GetLightSetting().selectItem, 9);
    }
}

TEST(Profiledata, NothingIsWrittenWithoutADocumentOrPath) {
    Bound<CBasicProfiledata> bound;
    fs::remove(bound.folder / "default.Json");
    EXPECT_TRUE(bound.data.LoadProfileDocument(bound.profile).isNull());
    EXPECT_FALSE(fs::exists(bound.profile));
    EXPECT_FALSE(bound.data.SaveProfile());  // null document
    CBasicProfiledata unbound;
    unbound.SetDocument(ParseOrDie("{}"));
    EXPECT_FALSE(unbound.SaveProfile());  // no path
}

TEST(Profiledata, CustomEffectResolvesInsideTheDeviceFolderFromTheKindsRow) {
    TestFolder folder;
    WriteText(folder / kLightLibraryFileName, R"({"LightInfo":[
        [{"LightName":"kb","Guid":"{KB}"}],
        [{"LightName":"a","Guid":"{A}"},{"LightName":"evil","Guid":"../outside"}]]})");
    WriteText(folder / "{A}.light", R"({"LEDEffectList":[
        {"LEDREGMode":3,"LEDBrightness":4,"LEDSpeed":1,"LEDDirection":1,"LEDMultiColor":1,
         "red":1,"green":2,"blue":3,"Time":1500,"Cyle":-2},{}]})");
    WriteText(folder / "{KB}.light", R"({"LEDEffectList":[{"Time":1}]})");
    WriteText(folder.path().parent_path() / "outside.light", R"({"LEDEffectList":[{}]})");

    CBasicProfiledata data;
    data.SetDeviceKindIndex(1);  // mouse row
    data.SetLightLibraryPath(folder / kLightLibraryFileName);
    data.LoadLightLibrary(folder / kLightLibraryFileName);
    data.SetDocument(ParseOrDie(R"({"LightInfo":{"SelectItem":0}})"));
    data.GetLightSetting();
    const auto steps = data.GetEffectSteps();
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].light.selectItem, 3);
    EXPECT_EQ(steps[0].light.blue, 3);
    EXPECT_EQ(steps[0].time, 1500);
    EXPECT_EQ(steps[0].cycle, -2);
    EXPECT_EQ(steps[1], LedEffectStep{});

    data.SetDocument(ParseOrDie(R"({"LightInfo":{"SelectItem":1}})"));
    data.GetLightSetting();
    EXPECT_TRUE(data.GetEffectSteps().empty());  // traversal refused
    data.SetDocument(ParseOrDie(R"({"LightInfo":{"SelectItem":9}})"));
    data.GetLightSetting();
    EXPECT_TRUE(data.GetEffectSteps().empty());  // no such entry
    fs::remove(folder.path().parent_path() / "outside.light");
}

}  // namespace
}  // namespace q731
