#pragma once
// A private folder per test, removed afterwards, and small file helpers.

#include <json/json.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>

namespace q731::testing {

namespace fs = std::filesystem;

// Named after the process and the running test, emptied when made and removed
// with everything in it when the object goes.
class TestFolder {
public:
    explicit TestFolder(std::string_view prefix = "q731-test");
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

void WriteText(const fs::path& path, const std::string& text);
std::string ReadText(const fs::path& path);
// Every file name in `dir`, sorted.
std::set<std::string> FileNames(const fs::path& dir);
// Every file in `dir` with its bytes, by name: to show a folder unchanged.
std::map<std::string, std::string> FolderContents(const fs::path& dir);
// The read-only defaults of the source tree.
fs::path DefaultDataFolder();
// The document `text` holds; a failed expectation when it is not JSON.
Json::Value ParseOrDie(const std::string& text);

}  // namespace q731::testing
