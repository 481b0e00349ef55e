#pragma once
// The family of products we serve: which HID interfaces belong to it, what each
// one is for, and the rules that turn a raw interface path into a claimed row
// of the device list.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace q731 {

class HidDevice;

enum class DeviceType : uint16_t {
    KeyboardWired = 1,
    MouseWired = 2,
    MousePad = 3,
    MouseReceiver = 6,
    Headset = 7,
    KeyboardReceiver = 9,
};

inline constexpr uint16_t kRoleCommand = 0;
inline constexpr uint16_t kRoleEvent = 255;

inline constexpr uint16_t kVendorMain = 0x320F;
inline constexpr uint16_t kVendorHeadset = 0x0C76;
inline constexpr uint16_t kProductKeyboardWired = 0x5059;
inline constexpr uint16_t kProductKeyboardReceiver = 0x5001;
inline constexpr uint16_t kProductMouseWired = 0x221C;
inline constexpr uint16_t kProductMouseReceiver = 0x221D;
inline constexpr uint16_t kProductMousePad = 0x1004;
inline constexpr uint16_t kProductHeadset = 0x1630;

inline constexpr uint16_t kCommandUsagePage = 0xFF1C;
inline constexpr uint16_t kCommandUsage = 0x0092;
inline constexpr uint16_t kConsumerUsagePage = 0x000C;
inline constexpr uint16_t kConsumerControlUsage = 0x0001;

// One row of the supported-device table (the fixed part of a DeviceEntry).
struct DeviceRow {
    uint16_t vendorId;
    uint16_t productId;
    uint16_t interfaceNumber;
    uint16_t collection;
    uint16_t deviceType;
    uint16_t role;
    uint16_t usagePage;
    uint16_t usage;
    uint16_t paired;
    uint16_t partner;
};

struct DeviceEntry {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t interfaceNumber = 0;
    uint16_t collection = 0;
    uint16_t deviceType = 0;
    uint16_t role = 0;
    uint16_t connected = 0;
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    uint16_t paired = 0;
    uint16_t partner = 0;
    std::string path;

    static DeviceEntry FromRow(const DeviceRow& row);
    // Same interface: every identifying field equal; connected, paired,
    // partner and path do not take part.
    bool SameInterface(const DeviceEntry& other) const;
};

// clang-format off
inline constexpr std::array<DeviceRow, 11> kSupportedDevices{{
    // vendor       product                   mi col type role         page                usage                  paired partner
    {kVendorMain,   kProductKeyboardWired,    1, 4, 1, kRoleCommand, kCommandUsagePage,  kCommandUsage,         1, 2},
    {kVendorMain,   kProductKeyboardWired,    1, 3, 1, kRoleEvent,   kConsumerUsagePage, kConsumerControlUsage, 1, 3},
    {kVendorMain,   kProductKeyboardReceiver, 1, 4, 9, kRoleCommand, kCommandUsagePage,  kCommandUsage,         1, 0},
    {kVendorMain,   kProductKeyboardReceiver, 1, 3, 9, kRoleEvent,   kConsumerUsagePage, kConsumerControlUsage, 1, 1},
    {kVendorMain,   kProductMouseWired,       1, 4, 2, kRoleCommand, kCommandUsagePage,  kCommandUsage,         1, 6},
    {kVendorMain,   kProductMouseWired,       1, 3, 2, kRoleEvent,   kConsumerUsagePage, kConsumerControlUsage, 1, 7},
    {kVendorMain,   kProductMouseReceiver,    1, 4, 6, kRoleCommand, kCommandUsagePage,  kCommandUsage,         1, 4},
    {kVendorMain,   kProductMouseReceiver,    1, 3, 6, kRoleEvent,   kConsumerUsagePage, kConsumerControlUsage, 1, 5},
    {kVendorMain,   kProductMousePad,         1, 4, 3, kRoleCommand, kCommandUsagePage,  kCommandUsage,         0, 0},
    {kVendorMain,   kProductMousePad,         1, 3, 3, kRoleEvent,   kConsumerUsagePage, kConsumerControlUsage, 0, 0},
    {kVendorHeadset, kProductHeadset,         3, 0, 7, kRoleCommand, kConsumerUsagePage, kConsumerControlUsage, 0, 0},
}};
// clang-format on

struct DeviceTabRow {
    std::string_view tabButtonLayout;
    std::string_view headerContainer;
    std::string_view batteryContainer;
    std::string_view tabName;
    int pageNumber;
    uint16_t vendorId;
    uint16_t productId;
    uint16_t deviceType;
    int batteryPanelIndex;
};

inline constexpr std::string_view kTabButtonLayout = "XML\\CustomControlXML\\DeviceOption.xml";
inline constexpr std::string_view kTabHeaderContainer = "tab_header_device";
inline constexpr std::string_view kBatteryContainer = "device_power_switch";

// clang-format off
inline constexpr std::array<DeviceTabRow, 4> kDeviceTabs{{
    {kTabButtonLayout, kTabHeaderContainer, kBatteryContainer, "mouse",    1, kVendorMain,    kProductMouseWired,    2, 0},
    {kTabButtonLayout, kTabHeaderContainer, kBatteryContainer, "keyboard", 0, kVendorMain,    kProductKeyboardWired, 1, 0},
    {kTabButtonLayout, kTabHeaderContainer, kBatteryContainer, "MousePad", 2, kVendorMain,    kProductMousePad,      3, 0},
    {kTabButtonLayout, kTabHeaderContainer, kBatteryContainer, "HD",       3, kVendorHeadset, kProductHeadset,       7, 0},
}};
// clang-format on

struct DeviceLayoutRow {
    int ledCount;
    int keyCount;
    int hasBattery;
    int logoLed;
    std::string_view pageLayout;
    std::string_view lightingConfig;
};

// clang-format off
inline constexpr std::array<DeviceLayoutRow, 4> kDeviceLayouts{{
    {15,  11,  1, -1, "XML\\DeviceXml\\mousedevice.xml",    "tamry_light"},
    {170, 170, 0, -1, "XML\\DeviceXml\\keyboarddevice.xml", "tamry_light"},
    {15,  0,   0, -1, "XML\\DeviceXml\\mousepaddevice.xml", "tamry_light"},
    {13,  0,   0, -1, "XML\\DeviceXml\\hs6533device.xml",   "tamry_light"},
}};
// clang-format on

// The main window's device list: a copy of the supported-device table.
std::vector<DeviceEntry> MakeDeviceList();

// Vendor, product, interface and collection from a path; the rest zero.
DeviceEntry EntryFromPath(std::string_view path);

// Worth opening: some table row has the path's four ids and some list row
// with them is free (not connected, no path).
bool IsCandidate(const DeviceEntry& parsed, std::span<const DeviceEntry> deviceList);

// Opens `path` read-only and shared, takes vendor and product from the
// attributes and usage page and usage from the capabilities, and closes it.
// Nothing when the path cannot be opened.
std::optional<DeviceEntry> Probe(HidDevice& device, const std::string& path);

// Fills in type and role from the first matching table row and takes the
// first free list row with the same ids; -1 when nothing matches.
int Claim(DeviceEntry& probed, std::vector<DeviceEntry>& deviceList);

bool AllClaimed(std::span<const DeviceEntry> deviceList);

int TableRow(uint16_t vendorId, uint16_t productId, uint16_t deviceType, uint16_t role);
int TabRow(uint16_t vendorId, uint16_t productId, uint16_t deviceType, int batteryPanelIndex);
// The entry that names the product's tab (receivers use their cable partner's).
DeviceEntry TabKey(std::span<const DeviceEntry> deviceList, std::size_t index);

enum class ClaimOutcome { NotCandidate, OpenFailed, NotMatched, Claimed };

struct ClaimResult {
    ClaimOutcome outcome = ClaimOutcome::NotCandidate;
    int index = -1;
    DeviceEntry probed;
    std::string openMessage;  // why the probe failed to open
};

// The whole road from a path to a claimed row: parse, candidate test, probe,
// claim, close the probe.
ClaimResult ClaimPath(HidDevice& probe, const std::string& path,
                      std::vector<DeviceEntry>& deviceList);

}  // namespace q731
