#pragma once
// The main window's device tabs: one per product, in the order of the tab
// table the window hands to other programs, with each product's page layout.
// These are the window's facts; everything else about a product is in its
// record (platform/products.h).

#include <array>
#include <string_view>

#include "platform/products.h"

namespace q731 {

struct DeviceTab {
    Product product;
    std::string_view tabName;     // names the page, and the device in logs
    std::string_view pageLayout;  // the product's page in the skin
};

inline constexpr std::string_view kTabButtonLayout = "XML\\CustomControlXML\\DeviceOption.xml";
inline constexpr std::string_view kTabHeaderContainer = "tab_header_device";
inline constexpr std::string_view kBatteryContainer = "device_power_switch";

// clang-format off
inline constexpr std::array<DeviceTab, 4> kDeviceTabs{{
    {Product::Mouse,    "mouse",    "XML\\DeviceXml\\mousedevice.xml"},
    {Product::Keyboard, "keyboard", "XML\\DeviceXml\\keyboarddevice.xml"},
    {Product::MousePad, "MousePad", "XML\\DeviceXml\\mousepaddevice.xml"},
    {Product::Headset,  "HD",       "XML\\DeviceXml\\hs6533device.xml"},
}};
// clang-format on

// The product's row of the tab table.
constexpr std::size_t TabRowOf(Product product) {
    std::size_t row = 0;
    while (row + 1 < kDeviceTabs.size() && kDeviceTabs[row].product != product)
        ++row;
    return row;
}

constexpr const DeviceTab& TabOf(Product product) {
    return kDeviceTabs[TabRowOf(product)];
}

static_assert(
    [] {
        for (const ProductRecord& record : kProducts) {
            if (TabOf(record.product).product != record.product) return false;
        }
        return true;
    }(),
    "every product has a tab");

}  // namespace q731
