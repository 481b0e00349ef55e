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

#include "platform/products.h"

namespace q731 {

class HidDevice;

inline constexpr uint16_t kRoleCommand = 0;
inline constexpr uint16_t kRoleEvent = 255;

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

// A row of the table for `product` reached on `channel`: ids and type byte
// from the product's record.
constexpr DeviceRow Row(Product product, Channel channel, uint16_t interfaceNumber,
                        uint16_t collection, uint16_t role, uint16_t usagePage, uint16_t usage,
                        uint16_t paired, uint16_t partner) {
    const ProductRecord& record = RecordOf(product);
    return {.vendorId = record.vendorId,
            .productId = record.Way(channel).productId,
            .interfaceNumber = interfaceNumber,
            .collection = collection,
            .deviceType = record.Way(channel).type,
            .role = role,
            .usagePage = usagePage,
            .usage = usage,
            .paired = paired,
            .partner = partner};
}

// clang-format off
inline constexpr std::array<DeviceRow, 11> kSupportedDevices{{
    // product           channel           mi col role          page                usage                  paired partner
    Row(Product::Keyboard, Channel::Cable,    1, 4, kRoleCommand, kCommandUsagePage,  kCommandUsage,         1, 2),
    Row(Product::Keyboard, Channel::Cable,    1, 3, kRoleEvent,   kConsumerUsagePage, kConsumerControlUsage, 1, 3),
    Row(Product::Keyboard, Channel::Receiver, 1, 4, kRoleCommand, kCommandUsagePage,  kCommandUsage,         1, 0),
    Row(Product::Keyboard, Channel::Receiver, 1, 3, kRoleEvent,   kConsumerUsagePage, kConsumerControlUsage, 1, 1),
    Row(Product::Mouse,    Channel::Cable,    1, 4, kRoleCommand, kCommandUsagePage,  kCommandUsage,         1, 6),
    Row(Product::Mouse,    Channel::Cable,    1, 3, kRoleEvent,   kConsumerUsagePage, kConsumerControlUsage, 1, 7),
    Row(Product::Mouse,    Channel::Receiver, 1, 4, kRoleCommand, kCommandUsagePage,  kCommandUsage,         1, 4),
    Row(Product::Mouse,    Channel::Receiver, 1, 3, kRoleEvent,   kConsumerUsagePage, kConsumerControlUsage, 1, 5),
    Row(Product::MousePad, Channel::Cable,    1, 4, kRoleCommand, kCommandUsagePage,  kCommandUsage,         0, 0),
    Row(Product::MousePad, Channel::Cable,    1, 3, kRoleEvent,   kConsumerUsagePage, kConsumerControlUsage, 0, 0),
    Row(Product::Headset,  Channel::Cable,    3, 0, kRoleCommand, kConsumerUsagePage, kConsumerControlUsage, 0, 0),
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
// The table row of the command interface `product` shows on `channel`.
int CommandRow(Product product, Channel channel);
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
