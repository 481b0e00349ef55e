// Music lighting's styles on private folders: the default copy, damaged and
// odd user copies, what a save keeps, and the companion's style block.

#include "lighting_extras/audio_styles.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/files.h"
#include "profiles/document_file.h"
#include "tests/support/test_folder.h"

namespace q731 {
namespace {

using testing::DefaultDataFolder;
using testing::FileNames;
using testing::ParseOrDie;
using testing::ReadText;
using testing::TestFolder;
using testing::WriteText;

AudioLightStyles ShippedStyles() {
    AudioLightStyles styles;
    for (int i = 0; i < kAudioStyles; ++i)
        styles.names[static_cast<std::size_t>(i)] = DefaultStyleName(i);
    styles.values = {{{5, 5, 5}, {9, 3, 1}, {1, 3, 9}, {3, 9, 3}}};
    return styles;
}

class AudioStylesTest : public ::testing::Test {
protected:
    AudioStylesTest() { fs::copy_file(DefaultDataFolder() / kAudioFileName, DefaultFile()); }
    fs::path UserFile() const { return user_.path() / kAudioFileName; }
    fs::path DefaultFile() const { return defaults_.path() / kAudioFileName; }
    Json::Value UserDocument() const { return DocumentFile::ReadJsonFile(UserFile()); }
    // The user folder holding only `text` as the user's copy.
    void UserCopy(const std::string& text) {
        fs::remove_all(user_.path());
        fs::create_directories(user_.path());
        WriteText(UserFile(), text);
    }
    // The one file kept aside, or empty.
    std::string KeptAside() const {
        for (const std::string& name : FileNames(user_.path()))
            if (name.rfind(std::string(kAudioFileName) + ".corrupt-", 0) == 0)
                return ReadText(user_.path() / name);
        return {};
    }

    TestFolder user_{"q731-audio-user"};
    TestFolder defaults_{"q731-audio-defaults"};
    AudioStyleStore store_{UserFile(), DefaultFile()};
};

TEST_F(AudioStylesTest, AUserCopyWithoutDeviceIsReplacedByTheDefaultAndKeptAside) {
    EXPECT_EQ(store_.Load(), ShippedStyles());
    EXPECT_EQ(DefaultStyleName(0), "第一组");
    EXPECT_EQ(UserDocument(), DocumentFile::ReadJsonFile(DefaultFile()));
    EXPECT_EQ(FileNames(user_.path()).size(), 1u);

    for (const char* text :
         {"{\"Device\": {", "", "[1, 2]", R"({"Other": 1})", R"({"Device": [1]})"}) {
        SCOPED_TRACE(text);
        UserCopy(text);
        EXPECT_EQ(store_.Load(), ShippedStyles());
        EXPECT_EQ(UserDocument(), DocumentFile::ReadJsonFile(DefaultFile()));
        EXPECT_EQ(FileNames(user_.path()).size(), 2u);
        EXPECT_EQ(KeptAside(), text);
    }

    // A "Device" without styles is the user's own: read as empty, untouched.
    UserCopy(R"({"Device": {"LightInfo": 3}})");
    EXPECT_EQ(store_.Load(), AudioLightStyles{});
    EXPECT_EQ(FileNames(user_.path()).size(), 1u);
}

TEST_F(AudioStylesTest, StylesAndValuesAreClampedAndOddTypesReadAsNothing) {
    UserCopy(R"({"Device": {"AudioLightInfo": {
        "nAudioStyle": 7, "nStyleName1": "Bass", "nStyleName2": 5,
        "nStyleR0": 12, "nStyleG0": -1, "nStyleB0": 9,
        "nStyleR1": "3", "nStyleG1": 2.5, "nStyleB1": true,
        "nStyleR2": 4.0, "nStyleG2": 18446744073709551615, "nStyleB2": -9223372036854775808}}})");
    AudioLightStyles expected;
    expected.active = 3;
    expected.names[0] = "Bass";
    expected.values = {{{9, 0, 9}, {0, 0, 0}, {4, 9, 0}, {0, 0, 0}}};
    EXPECT_EQ(store_.Load(), expected);
    UserCopy(R"({"Device": {"AudioLightInfo": {"nAudioStyle": -2}}})");
    EXPECT_EQ(store_.Load().active, 0);
}

TEST_F(AudioStylesTest, SavingReplacesOnlyTheStylesAndResetRestoresTheDefault) {
    UserCopy(R"({"Other": [1, 2], "Device": {"LightInfo": {"a": 1},
        "AudioLightInfo": {"junk": 1, "nAudioStyle": 1}}})");
    AudioLightStyles styles = ShippedStyles();
    styles.active = 2;
    styles.names[1] = "低音";
    styles.values[2] = {0, 8, 12};
    ASSERT_TRUE(store_.Save(styles));
    Json::Value document = UserDocument();
    EXPECT_EQ(document["Other"], ParseOrDie("[1, 2]"));
    EXPECT_EQ(document["Device"]["LightInfo"], ParseOrDie(R"({"a": 1})"));
    EXPECT_FALSE(document["Device"]["AudioLightInfo"].isMember("junk"));
    styles.values[2] = {0, 8, 9};  // stored clamped
    EXPECT_EQ(store_.Load(), styles);

    EXPECT_EQ(store_.Reset(), ShippedStyles());
    EXPECT_EQ(UserDocument(), DocumentFile::ReadJsonFile(DefaultFile()));

    // A damaged copy is kept aside before the save; a failed write says so.
    UserCopy("{\"Device\"");
    ASSERT_TRUE(store_.Save(styles));
    EXPECT_EQ(KeptAside(), "{\"Device\"");
    EXPECT_EQ(store_.Load(), styles);
    InjectWriteFault(user_.path(), EROFS);
    EXPECT_FALSE(store_.Save(ShippedStyles()));
    InjectWriteFault(user_.path(), 0);
    EXPECT_EQ(store_.Load(), styles);
}

TEST_F(AudioStylesTest, TheStyleBlockCarriesTheActiveStyleWithGreenNeverZero) {
    // Active style (its values put in slot `slot`) -> R, G, B sent.
    struct Case {
        int active;
        std::size_t slot;
        std::array<int, 3> rgb;
        std::array<std::uint8_t, 3> sent;
    };
    for (const Case& c : {Case{1, 1, {9, 0, 1}, {9, 1, 1}}, Case{3, 3, {0, 4, 0}, {0, 4, 0}},
                          Case{9, 3, {2, 0, 7}, {2, 1, 7}}, Case{-1, 0, {-5, 30, 3}, {0, 9, 3}}}) {
        AudioLightStyles styles;
        styles.active = c.active;
        styles.values[c.slot] = c.rgb;
        std::array<std::uint8_t, kStyleBlockBytes> expected{};
        for (std::size_t channel = 0; channel < 3; ++channel)
            expected[channel * 4] = c.sent[channel];
        EXPECT_EQ(StyleBlock(styles), expected) << c.active;
    }
}

}  // namespace
}  // namespace q731
