#include "device_access/udev_rule.h"

#include <gtest/gtest.h>

#include "platform/files.h"

namespace q731 {
namespace {

TEST(UdevRule, ShippedRuleMatchesTheDeviceTable) {
    std::string shipped;
    ASSERT_EQ(
        ReadFileBytes(fs::path(Q731_SOURCE_DIR) / "packaging" / "70-q731-control-center.rules",
                      shipped, 1 << 16),
        ReadStatus::Ok);
    EXPECT_EQ(shipped, MakeUdevRule())
        << "regenerate with: build/tools/q731-udev-rule/q731-udev-rule > "
           "packaging/70-q731-control-center.rules";
    EXPECT_NE(shipped.find("ATTRS{idProduct}==\"221d\""), std::string::npos)
        << "the mouse receiver";
    EXPECT_NE(shipped.find("ATTRS{idVendor}==\"0c76\""), std::string::npos) << "the headset";
}

}  // namespace
}  // namespace q731
