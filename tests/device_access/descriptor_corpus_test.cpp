// Every report descriptor of tests/data/descriptors/ parses to the collections,
// report ids and lengths written beside it, worked out by hand.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "device_access/report_descriptor.h"
#include "sim/sim_products.h"
#include "tests/support/hex.h"

namespace q731 {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

struct CorpusEntry {
    Bytes descriptor;
    std::vector<std::string> collections;
    std::size_t skipped = 0;
    std::string rejected;
};

// "key: value" lines; '#' starts a comment line.
CorpusEntry ReadEntry(const fs::path& file) {
    CorpusEntry entry;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t colon = line.find(": ");
        const std::string key = line.substr(0, colon);
        const std::string value = colon == std::string::npos ? "" : line.substr(colon + 2);
        if (key == "hex") {
            const Bytes bytes = testing::FromHex(value);
            entry.descriptor.insert(entry.descriptor.end(), bytes.begin(), bytes.end());
        } else if (key == "collection") {
            entry.collections.push_back(value);
        } else if (key == "skipped") {
            entry.skipped = std::stoul(value);
        } else if (key == "rejected") {
            entry.rejected = value;
        } else {
            ADD_FAILURE() << file << ": unknown line " << line;
        }
    }
    return entry;
}

TEST(DescriptorCorpus, EveryDescriptorGivesItsCollectionsIdsAndLengths) {
    const fs::path folder = fs::path(Q731_SOURCE_DIR) / "tests" / "data" / "descriptors";
    int files = 0;
    for (const auto& item : fs::directory_iterator(folder)) {
        if (item.path().extension() != ".txt") continue;
        ++files;
        const std::string name = item.path().stem().string();
        const CorpusEntry entry = ReadEntry(item.path());
        ASSERT_FALSE(entry.descriptor.empty()) << name;
        const ParsedDescriptor parsed = ParseReportDescriptor(entry.descriptor);
        if (!entry.rejected.empty()) {
            EXPECT_FALSE(parsed.Ok()) << name;
            EXPECT_EQ(DescriptorErrorText(parsed.error), entry.rejected) << name;
            continue;
        }
        ASSERT_TRUE(parsed.Ok()) << name << ": " << DescriptorErrorText(parsed.error);
        EXPECT_EQ(DescribeCollections(parsed), entry.collections) << name;
        // Notes are capped; the last one then counts the rest.
        EXPECT_EQ(parsed.skipped.size(), std::min(entry.skipped, kMaxDescriptorNotes)) << name;
    }
    EXPECT_GE(files, 12);
}

// The simulated family's entries are copies: they must follow the simulator.
TEST(DescriptorCorpus, TheSimulatedFamilysEntriesAreItsDescriptors) {
    const std::map<std::string, Bytes> family = {
        {"sim_boot_mouse", BootMouseDescriptor()},
        {"sim_boot_keyboard", BootKeyboardDescriptor()},
        {"sim_command_interface", CommandInterfaceDescriptor()},
        {"sim_headset", HeadsetDescriptor()},
    };
    const fs::path folder = fs::path(Q731_SOURCE_DIR) / "tests" / "data" / "descriptors";
    for (const auto& [name, descriptor] : family) {
        EXPECT_EQ(testing::ToHex(ReadEntry(folder / (name + ".txt")).descriptor),
                  testing::ToHex(descriptor))
            << name;
    }
}

}  // namespace
}  // namespace q731
