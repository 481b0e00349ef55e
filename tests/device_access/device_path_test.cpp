#include "device_access/device_path.h"

#include <gtest/gtest.h>

#include "device_access/hidraw_backend.h"

namespace q731 {
namespace {

TEST(DevicePath, MarkersAreReadAsHexWithoutRegardToCase) {
    const PathIds ids = ParseDevicePath(
        "\\\\?\\HID#VID_320F&PID_221D&MI_01&Col03#8&1234&0&0002#{4d1e55b2-f16f-11cf}");
    EXPECT_EQ(ids.vendorId, 0x320F);
    EXPECT_EQ(ids.productId, 0x221D);
    EXPECT_EQ(ids.interfaceNumber, 1);
    EXPECT_EQ(ids.collection, 3);
}

TEST(DevicePath, MissingMarkersGiveZero) {
    const PathIds ids = ParseDevicePath("/dev/hidraw0");
    EXPECT_EQ(ids.vendorId, 0);
    EXPECT_EQ(ids.interfaceNumber, 0);
    EXPECT_EQ(ids.collection, 0);
    EXPECT_EQ(HexAfterMarker("x&mi_zz", "&mi_"), 0u);
}

TEST(DevicePath, OverlongNumbersKeepTheirLowBits) {
    EXPECT_EQ(ParseDevicePath("vid_123456789abcdef0").vendorId, 0xdef0);
    EXPECT_EQ(HexAfterMarker("&col1ffffffff", "&col"), 0xffffffffu);
}

TEST(HidrawPath, SplitsNodeAndMarkersAndRefusesOtherFiles) {
    std::string node;
    std::string markers;
    ASSERT_TRUE(SplitHidrawPath("/dev/hidraw12#vid_320f&pid_221d&mi_01&col04", node, markers));
    EXPECT_EQ(node, "/dev/hidraw12");
    EXPECT_EQ(ParseDevicePath(markers).collection, 4);
    EXPECT_FALSE(SplitHidrawPath("/dev/hidraw1/../sda#vid_1", node, markers));
    EXPECT_FALSE(SplitHidrawPath("/etc/passwd#vid_1", node, markers));
    EXPECT_FALSE(SplitHidrawPath("/dev/hidraw1", node, markers));
}

TEST(HidrawPath, PermissionMessageNamesTheUdevRule) {
    const std::string message = AccessDeniedMessage("/dev/hidraw5");
    EXPECT_NE(message.find("/dev/hidraw5"), std::string::npos);
    EXPECT_NE(message.find(kUdevRuleName), std::string::npos);
    EXPECT_NE(message.find("udevadm"), std::string::npos);
}

}  // namespace
}  // namespace q731
