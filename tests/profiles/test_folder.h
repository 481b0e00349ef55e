#pragma once
// A private folder per test, removed afterwards, and small file helpers.

#include <gtest/gtest.h>
#include <json/json.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "profiles/document_file.h"

namespace q731::testing {

namespace fs = std::filesystem;

class TestFolder {
public:
    TestFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::temp_directory_path() /
                ("q731-profiles-" + std::to_string(::getpid()) + "-" +
                 (info ? std::string(info->test_suite_name()) + "." + info->name() : "x"));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TestFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

inline void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

inline Json::Value ParseOrDie(const std::string& text) {
    Json::Value value;
    EXPECT_TRUE(DocumentFile::Parse(text, value)) << text;
    return value;
}

// Every file name in `dir`, sorted.
inline std::set<std::string> FileNames(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

inline fs::path DefaultDataFolder() {
    return fs::path(Q731_SOURCE_DIR) / "DefaultData";
}

}  // namespace q731::testing
