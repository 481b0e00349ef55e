#include <gtest/gtest.h>

#include "devices/keys/keyboard_keys.h"
#include "devices/mouse_device.h"
#include "profiles/document_file.h"
#include "profiles/json_fields.h"

namespace q731 {
namespace {

// The default profiles must carry the codes the devices look their keys up by:
// a wrong default makes a key unfindable in the device's table, so it would
// never be written.
template <std::size_t N>
void ExpectKeyList(const char* file, const std::array<AssignmentCode, N>& codes) {
    const Json::Value root =
        DocumentFile::ReadJsonFile(fs::path(Q731_SOURCE_DIR) / "DefaultData" / file);
    const Json::Value& keys = root["Device"][0]["KeyList"];
    ASSERT_TRUE(keys.isArray()) << file;
    ASSERT_EQ(keys.size(), N) << file;
    for (Json::ArrayIndex i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i]["DefaultAssignment"].asUInt(), codes[i].ToInt()) << file << " key " << i;
        EXPECT_EQ(keys[i]["Assignment"].asUInt(), codes[i].ToInt()) << file << " key " << i;
    }
}

TEST(DefaultProfiles, KeyListsCarryTheFactoryCodes) {
    ExpectKeyList("keyboard.Json", kKeyboardFactoryCodes);
    ExpectKeyList("mouse.Json", kMouseFactoryCodes);
}

}  // namespace
}  // namespace q731
