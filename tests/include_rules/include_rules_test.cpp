// Which folder may include which: every #include of every source folder is
// read and held to the folder rules, so a device file that reaches for a
// widget, or Qt outside the window code, fails here rather than in review.
//
// A folder may include its own files, the folders it may use and what those
// may use in turn, the standard library, fmt, and the libraries named for it.
// The operating system's headers are for platform/ and the HID back ends,
// Qt's for ui/qt/ and app/; JsonCpp comes with profiles/ to whoever uses it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace q731 {
namespace {

namespace fs = std::filesystem;

enum class Library { Std, Fmt, Os, JsonCpp, Qt, Curl, Test };

struct FolderRule {
    std::string_view folder;
    std::vector<std::string_view> uses;  // other source folders
    std::vector<Library> libraries;      // beyond the standard library and fmt
};

// clang-format off
const std::vector<FolderRule> kRules = {
    {"platform",        {},                                        {Library::Os}},
    {"device_access",   {"platform"},                              {Library::Os}},
    {"profiles",        {"platform"},                              {Library::JsonCpp}},
    {"devices",         {"platform", "device_access", "profiles"}, {}},
    {"sim",             {"device_access", "platform"},             {}},
    {"macros",          {"platform", "profiles", "devices"},       {Library::Os}},
    {"headset",         {"platform", "devices", "profiles"},       {Library::Os}},
    {"lighting_extras", {"platform", "devices", "profiles"},       {Library::JsonCpp, Library::Os}},
    {"update",          {"platform", "profiles"},                  {Library::Curl}},
    {"ui/widgets",      {"platform"},                              {}},
    {"ui/qt",           {"ui/widgets"},                            {Library::Qt}},
    {"ui/controls",     {"ui/widgets", "devices", "profiles", "headset"}, {}},
    // A page is made of the custom controls and panels.
    {"ui/pages",        {"ui/controls", "ui/widgets", "devices", "profiles", "headset"}, {}},
    {"app",             {"platform", "device_access", "profiles", "devices", "sim", "macros",
                         "headset", "lighting_extras", "update", "ui/widgets", "ui/qt",
                         "ui/controls", "ui/pages"},                {Library::Os, Library::Qt}},
};
// clang-format on

// Folders whose files may include anything; they are not checked.
const std::vector<std::string_view> kFreeFolders = {"tests", "bench", "tools"};

const FolderRule* RuleOf(std::string_view folder) {
    for (const FolderRule& rule : kRules) {
        if (rule.folder == folder) return &rule;
    }
    return nullptr;
}

// The folder a path inside the tree belongs to: the longest folder of the
// rules (or a free one) it starts with.
std::optional<std::string> FolderOf(std::string_view path) {
    std::optional<std::string> best;
    auto consider = [&](std::string_view folder) {
        if (path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '/' &&
            (!best || folder.size() > best->size())) {
            best = std::string(folder);
        }
    };
    for (const FolderRule& rule : kRules)
        consider(rule.folder);
    for (std::string_view folder : kFreeFolders)
        consider(folder);
    return best;
}

// The folders `folder` may include: itself, what it uses, and what those use.
std::set<std::string> ReachableFolders(std::string_view folder) {
    std::set<std::string> reached{std::string(folder)};
    std::vector<std::string_view> pending{folder};
    while (!pending.empty()) {
        const FolderRule* rule = RuleOf(pending.back());
        pending.pop_back();
        if (rule == nullptr) continue;
        for (std::string_view used : rule->uses) {
            if (reached.insert(std::string(used)).second) pending.push_back(used);
        }
    }
    return reached;
}

std::set<Library> AllowedLibraries(std::string_view folder) {
    std::set<Library> allowed{Library::Std, Library::Fmt};
    if (const FolderRule* rule = RuleOf(folder)) {
        allowed.insert(rule->libraries.begin(), rule->libraries.end());
    }
    // JsonCpp is in the interface of profiles/: its users may name it too.
    if (ReachableFolders(folder).contains("profiles")) allowed.insert(Library::JsonCpp);
    return allowed;
}

Library LibraryOf(std::string_view header) {
    auto startsWith = [&](std::string_view prefix) { return header.starts_with(prefix); };
    if (startsWith("fmt/")) return Library::Fmt;
    if (startsWith("json/")) return Library::JsonCpp;
    if (startsWith("curl/")) return Library::Curl;
    if (startsWith("gtest/") || startsWith("gmock/") || startsWith("benchmark/")) {
        return Library::Test;
    }
    if (header.size() > 1 && header[0] == 'Q' &&
        (std::isupper(static_cast<unsigned char>(header[1])) || startsWith("Qt"))) {
        return Library::Qt;
    }
    // The standard library's headers have neither a folder nor an extension.
    if (header.find('/') == std::string_view::npos && header.find('.') == std::string_view::npos) {
        return Library::Std;
    }
    return Library::Os;
}

struct Include {
    bool angled = false;
    std::string header;
};

std::optional<Include> ParseInclude(const std::string& line) {
    static const std::regex kInclude(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::smatch match;
    if (!std::regex_search(line, match, kInclude)) return std::nullopt;
    return Include{match[1] == "<", match[2]};
}

// Why `include` in a file of `folder` breaks the rules; nothing when it does not.
std::optional<std::string> Violation(std::string_view folder, const Include& include) {
    if (include.angled) {
        const Library library = LibraryOf(include.header);
        if (AllowedLibraries(folder).contains(library)) return std::nullopt;
        return "a library this folder may not use";
    }
    const std::optional<std::string> target = FolderOf(include.header);
    // A name without a known folder is a file beside the includer.
    if (!target) return std::nullopt;
    if (ReachableFolders(folder).contains(*target)) return std::nullopt;
    return "a folder this folder may not use (" + *target + ")";
}

std::vector<std::string> FolderViolations(const fs::path& root, std::string_view folder) {
    std::vector<std::string> found;
    const fs::path base = root / fs::path(std::string(folder));
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(base)) {
        const std::string extension = entry.path().extension().string();
        if (entry.is_regular_file() && (extension == ".h" || extension == ".cpp")) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        const std::string relative = fs::relative(file, root).generic_string();
        // A sub-folder with rules of its own (ui/qt inside ui) is checked as itself.
        if (FolderOf(relative) != std::string(folder)) continue;
        std::ifstream in(file);
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            const std::optional<Include> include = ParseInclude(line);
            if (!include) continue;
            if (const std::optional<std::string> why = Violation(folder, *include)) {
                found.push_back(relative + ":" + std::to_string(number) + ": " + include->header +
                                " is " + *why);
            }
        }
    }
    return found;
}

TEST(IncludeRules, EachIncludeIsJudgedByItsFolderAndTheFoldersThatOneUses) {
    struct Case {
        std::string_view folder;
        std::string line;
        bool allowed;
    };
    const Case cases[] = {
        {"devices", R"(#include "profiles/profile_paths.h")", true},
        {"devices", R"(#include "device_access/hid_device.h")", true},
        {"devices", R"(#include "ui/widgets/control.h")", false},
        {"devices", R"(#include "sim/sim_bus.h")", false},
        {"devices", "#include <json/json.h>", true},
        {"devices", "#include <unistd.h>", false},
        {"devices", "#include <QWidget>", false},
        {"devices", R"(#include "link_fixture.h")", true},
        {"profiles", R"(#include "device_access/device_table.h")", false},
        {"profiles", "#include <json/json.h>", true},
        {"device_access", R"(#include "profiles/document_file.h")", false},
        {"device_access", "#include <hidapi/hidapi.h>", true},
        {"platform", R"(#include "device_access/hid_device.h")", false},
        {"platform", "#include <sys/socket.h>", true},
        {"platform", "#include <fmt/format.h>", true},
        {"sim", R"(#include "platform/clock.h")", true},
        {"sim", R"(#include "devices/device_link.h")", false},
        {"ui/widgets", R"(#include "devices/usb_device.h")", false},
        {"ui/widgets", "#include <QPainter>", false},
        {"ui/qt", "#include <QPainter>", true},
        {"ui/qt", R"(#include "platform/log.h")", true},
        {"ui/qt", R"(#include "devices/usb_device.h")", false},
        {"ui/controls", R"(#include "platform/products.h")", true},
        {"ui/controls", R"(#include "device_access/device_table.h")", true},
        {"ui/controls", R"(#include "ui/qt/qt_window.h")", false},
        {"ui/controls", "#include <QWidget>", false},
        {"app", R"(#include "sim/hid_backends.h")", true},
        {"app", "#include <QApplication>", true},
        {"app", R"(#include "tests/support/wait.h")", false},
        {"app", "#include <gtest/gtest.h>", false},
    };
    for (const Case& c : cases) {
        const std::optional<Include> include = ParseInclude(c.line);
        ASSERT_TRUE(include.has_value()) << c.line;
        EXPECT_EQ(!Violation(c.folder, *include).has_value(), c.allowed)
            << c.folder << ": " << c.line;
    }
    EXPECT_FALSE(ParseInclude("// #include <QWidget> in a comment").has_value());
}

class FolderIncludes : public ::testing::TestWithParam<std::string_view> {};

TEST_P(FolderIncludes, OnlyWhatTheFolderMayUse) {
    for (const std::string& violation : FolderViolations(fs::path(Q731_SOURCE_DIR), GetParam()))
        ADD_FAILURE() << violation;
}

// The folders of the rules that have files yet.
std::vector<std::string_view> RuleFolders() {
    std::vector<std::string_view> folders;
    for (const FolderRule& rule : kRules) {
        if (fs::exists(fs::path(Q731_SOURCE_DIR) / fs::path(std::string(rule.folder)))) {
            folders.push_back(rule.folder);
        }
    }
    return folders;
}

INSTANTIATE_TEST_SUITE_P(IncludeRules, FolderIncludes, ::testing::ValuesIn(RuleFolders()),
                         [](const ::testing::TestParamInfo<std::string_view>& folder) {
                             std::string name(folder.param);
                             std::replace(name.begin(), name.end(), '/', '_');
                             return name;
                         });

}  // namespace
}  // namespace q731
