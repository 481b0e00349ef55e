#include "tests/support/test_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "profiles/document_file.h"

namespace q731::testing {

TestFolder::TestFolder(std::string_view prefix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(prefix) + "-" + std::to_string(::getpid()) + "-" +
                       (info ? std::string(info->test_suite_name()) + "." + info->name() : "x");
    // A parameterised test's name carries slashes: one folder, not a tree.
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    path_ = fs::temp_directory_path() / name;
    fs::remove_all(path_);
    fs::create_directories(path_);
}

TestFolder::~TestFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

std::set<std::string> FileNames(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

fs::path DefaultDataFolder() {
    return fs::path(Q731_SOURCE_DIR) / "DefaultData";
}

Json::Value ParseOrDie(const std::string& text) {
    Json::Value value;
    EXPECT_TRUE(DocumentFile::Parse(text, value)) << text;
    return value;
}

std::map<std::string, std::string> FolderContents(const fs::path& dir) {
    std::map<std::string, std::string> contents;
    for (const std::string& name : FileNames(dir))
        contents[name] = ReadText(dir / name);
    return contents;
}

}  // namespace q731::testing
