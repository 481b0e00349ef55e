#include "profiles/document_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>

#include "platform/log.h"
#include "profiles/json_fields.h"
#include "tests/support/test_folder.h"

namespace q731 {
namespace {

using testing::FileNames;
using testing::ReadText;
using testing::TestFolder;
using testing::WriteText;

std::string Nested(int depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

struct BadInput {
    const char* name;
    std::string bytes;
    DocumentStatus status;
};

TEST(DocumentFile, BadInputsNeverThrowAndAreKeptAsideBeforeAnyRewrite) {
    const BadInput cases[] = {
        {"empty", "", DocumentStatus::Empty},
        {"blank", " \r\n\t", DocumentStatus::Empty},
        {"bom only", "\xEF\xBB\xBF", DocumentStatus::Empty},
        {"truncated", R"({"Device":[{"LightInfo":{"Red":1)", DocumentStatus::Unparsable},
        {"spliced", "{\"a\":1}\n{\"a\":2}", DocumentStatus::Unparsable},
        {"binary", std::string("\0\x01\xFF{", 4), DocumentStatus::Unparsable},
        {"deep nesting", Nested(5000), DocumentStatus::Unparsable},
        {"huge number", R"({"a":1e400})", DocumentStatus::Unparsable},
    };
    TestFolder folder;
    for (const BadInput& input : cases) {
        SCOPED_TRACE(input.name);
        const fs::path path = folder / "profile.Json";
        WriteText(path, input.bytes);
        DocumentRead read;
        ASSERT_NO_THROW(read = DocumentFile::Read(path));
        EXPECT_EQ(read.status, input.status);
        EXPECT_TRUE(read.value.isNull());
        EXPECT_TRUE(read.Damaged());

        Json::Value contents;
        bool keptAside = false;
        ASSERT_TRUE(DocumentFile::ReadForUpdate(path, contents, &keptAside));
        EXPECT_TRUE(keptAside);
        EXPECT_TRUE(contents.isObject() && contents.empty());
        EXPECT_FALSE(fs::exists(path));
        // The damaged bytes survive, byte for byte, under the corrupt name.
        int asideCount = 0;
        for (const std::string& name : FileNames(folder.path())) {
            ASSERT_TRUE(std::regex_match(name, std::regex(R"(profile\.Json\.corrupt-[0-9_]+)")))
                << name;
            EXPECT_EQ(ReadText(folder / name), input.bytes);
            fs::remove(folder / name);
            ++asideCount;
        }
        EXPECT_EQ(asideCount, 1);
    }
}

TEST(DocumentFile, OversizedFileIsRefusedWithoutReadingItAndKeptAside) {
    TestFolder folder;
    const fs::path path = folder / "big.Json";
    WriteText(path, "{}");
    fs::resize_file(path, std::uintmax_t{100} << 20);  // sparse: costs no disk
    EXPECT_EQ(DocumentFile::Read(path).status, DocumentStatus::TooLarge);
    Json::Value contents;
    bool keptAside = false;
    ASSERT_TRUE(DocumentFile::ReadForUpdate(path, contents, &keptAside));
    EXPECT_TRUE(keptAside);
    EXPECT_EQ(FileNames(folder.path()).size(), 1u);
    EXPECT_FALSE(fs::exists(path));
}

TEST(DocumentFile, ByteOrderMarkCommentsAndUtf8AreAccepted) {
    TestFolder folder;
    const fs::path path = folder / "bom.Json";
    WriteText(path, "\xEF\xBB\xBF// written elsewhere\n{\"profilename\":\"Sp\xC3\xA4t\"}\r\n");
    const DocumentRead read = DocumentFile::Read(path);
    ASSERT_EQ(read.status, DocumentStatus::Ok);
    EXPECT_EQ(read.value["profilename"].asString(), "Sp\xC3\xA4t");
    // Written back as UTF-8, not as escapes.
    ASSERT_TRUE(DocumentFile::WriteJsonFile(path, read.value));
    EXPECT_NE(ReadText(path).find("Sp\xC3\xA4t"), std::string::npos);
}

TEST(DocumentFile, WritesStyledLayoutWithOneLineEndAndKeepsMode) {
    TestFolder folder;
    const fs::path path = folder / "styled.Json";
    Json::Value value;
    value["Device"][0]["LightInfo"]["Red"] = 255;
    WriteText(path, "{}");
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(DocumentFile::WriteJsonFile(path, value));
    EXPECT_EQ(ReadText(path),
              "{\n   \"Device\" : \n   [\n      {\n         \"LightInfo\" : \n         {\n"
              "            \"Red\" : 255\n         }\n      }\n   ]\n}\n");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(FileNames(folder.path()).size(), 1u);  // no temporary left behind
}

TEST(DocumentFile, FailedWriteIsReportedAndLeavesNothingBehind) {
    TestFolder folder;
    WriteText(folder / "plain", "x");
    fs::create_directories(folder / "occupied" / "child");
    const fs::path targets[] = {folder / "missing" / "x.Json", folder / "plain" / "x.Json",
                                folder / "occupied"};
    for (const fs::path& target : targets) {
        SCOPED_TRACE(target);
        std::string error;
        LogCapture capture;
        EXPECT_FALSE(DocumentFile::WriteJsonFile(target, Json::Value(1), &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(capture.Count(error), 1u);
    }
    EXPECT_TRUE(fs::is_directory(folder / "occupied" / "child"));
    EXPECT_EQ(FileNames(folder.path()), (std::set<std::string>{"occupied", "plain"}));
}

TEST(DocumentFile, UnreadableFileIsNeitherRewrittenNorMoved) {
    TestFolder folder;
    const fs::path path = folder / "dir.Json";
    fs::create_directory(path);  // not a regular file
    Json::Value contents;
    EXPECT_EQ(DocumentFile::Read(path).status, DocumentStatus::Unreadable);
    EXPECT_FALSE(DocumentFile::ReadForUpdate(path, contents));
    EXPECT_TRUE(fs::is_directory(path));
}

TEST(DocumentFile, TimeStampIsLocalTimeWithMilliseconds) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    using namespace std::chrono;
    const sys_days day = 2024y / 3 / 7;
    const auto when =
        system_clock::time_point(day) + hours(9) + minutes(5) + seconds(4) + milliseconds(7);
    EXPECT_EQ(DocumentFile::TimeStamp(when), "2024_03_07_09_05_04_007");
    EXPECT_TRUE(std::regex_match(DocumentFile::TimeStamp(),
                                 std::regex(R"(\d{4}_\d\d_\d\d_\d\d_\d\d_\d\d_\d{3})")));
}

TEST(DocumentFile, FileTitleDropsFolderAndExtension) {
    EXPECT_EQ(DocumentFile::FileTitle("/home/u/Game.json"), "Game");
    EXPECT_EQ(DocumentFile::FileTitle("Game"), "Game");
    EXPECT_EQ(DocumentFile::FileTitle("/a/b.c/My Profile.v2.json"), "My Profile.v2");
}

TEST(JsonFields, WrongTypesReadAsAbsentAndNumbersAreCutToWidth) {
    const Json::Value object = testing::ParseOrDie(R"({
        "str": "12", "arr": [1], "obj": {}, "null": null, "t": true,
        "big": 300, "neg": -1, "real": 12.9, "huge": 1e30, "u64": 18446744073709551615,
        "wide": 4294967297 })");
    EXPECT_EQ(json::GetU8(object, "str"), 0);
    EXPECT_EQ(json::GetU8(object, "arr"), 0);
    EXPECT_EQ(json::GetU8(object, "obj"), 0);
    EXPECT_EQ(json::GetU8(object, "null"), 0);
    EXPECT_EQ(json::GetU8(object, "missing"), 0);
    EXPECT_EQ(json::GetU8(object, "t"), 0);  // a boolean is no integer
    EXPECT_EQ(json::GetU8(object, "big"), 300 & 0xFF);
    EXPECT_EQ(json::GetU16(object, "neg"), 0xFFFF);
    EXPECT_EQ(json::GetU8(object, "real"), 12);
    EXPECT_EQ(json::GetInt64(object, "huge"), 0);
    EXPECT_EQ(json::GetU16(object, "u64"), 0xFFFF);
    EXPECT_EQ(json::GetI32(object, "wide"), 1);
    EXPECT_EQ(json::GetString(object, "big"), "");
    EXPECT_EQ(json::GetString(object, "str"), "12");
    EXPECT_TRUE(json::GetBool(object, "t"));
    EXPECT_TRUE(json::GetBool(object, "big"));
    EXPECT_FALSE(json::GetBool(object, "str"));
    EXPECT_FALSE(json::GetBool(object, "null"));
    // Lookups on values that are not containers.
    EXPECT_TRUE(json::Member(Json::Value(5), "a").isNull());
    EXPECT_TRUE(json::At(Json::Value("x"), 0).isNull());
    EXPECT_TRUE(json::At(object["arr"], 2000000000).isNull());
    EXPECT_TRUE(json::At(object["arr"], -1).isNull());
}

}  // namespace
}  // namespace q731
