#include "device_access/device_table.h"

#include "device_access/device_path.h"
#include "device_access/hid_device.h"

namespace q731 {

namespace {

bool SameIds(const DeviceEntry& a, const DeviceEntry& b) {
    return a.vendorId == b.vendorId && a.productId == b.productId && a.collection == b.collection &&
           a.interfaceNumber == b.interfaceNumber;
}

bool SameIdsAndUsage(const DeviceEntry& a, const DeviceEntry& b) {
    return SameIds(a, b) && a.usagePage == b.usagePage && a.usage == b.usage;
}

bool IsFree(const DeviceEntry& entry) {
    return entry.connected == 0 && entry.path.empty();
}

bool IsReceiverType(uint16_t type) {
    const std::optional<ProductOnChannel> decoded = DecodeType(type);
    return decoded && decoded->channel == Channel::Receiver;
}

}  // namespace

DeviceEntry DeviceEntry::FromRow(const DeviceRow& row) {
    DeviceEntry entry;
    entry.vendorId = row.vendorId;
    entry.productId = row.productId;
    entry.interfaceNumber = row.interfaceNumber;
    entry.collection = row.collection;
    entry.deviceType = row.deviceType;
    entry.role = row.role;
    entry.usagePage = row.usagePage;
    entry.usage = row.usage;
    entry.paired = row.paired;
    entry.partner = row.partner;
    return entry;
}

bool DeviceEntry::SameInterface(const DeviceEntry& other) const {
    return SameIdsAndUsage(*this, other) && deviceType == other.deviceType && role == other.role;
}

std::vector<DeviceEntry> MakeDeviceList() {
    std::vector<DeviceEntry> list;
    list.reserve(kSupportedDevices.size());
    for (const DeviceRow& row : kSupportedDevices)
        list.push_back(DeviceEntry::FromRow(row));
    return list;
}

DeviceEntry EntryFromPath(std::string_view path) {
    const PathIds ids = ParseDevicePath(path);
    DeviceEntry entry;
    entry.vendorId = ids.vendorId;
    entry.productId = ids.productId;
    entry.interfaceNumber = ids.interfaceNumber;
    entry.collection = ids.collection;
    return entry;
}

bool IsCandidate(const DeviceEntry& parsed, std::span<const DeviceEntry> deviceList) {
    bool inTable = false;
    for (const DeviceRow& row : kSupportedDevices) {
        if (SameIds(DeviceEntry::FromRow(row), parsed)) inTable = true;
    }
    if (!inTable) return false;
    for (const DeviceEntry& entry : deviceList) {
        if (SameIds(entry, parsed) && IsFree(entry)) return true;
    }
    return false;
}

std::optional<DeviceEntry> Probe(HidDevice& device, const std::string& path) {
    if (!device.Open(path, kOpenReadOnly)) return std::nullopt;
    DeviceEntry entry = EntryFromPath(path);
    const HidAttributes attributes = device.Attributes();
    const HidCaps caps = device.Caps();
    entry.vendorId = attributes.vendorId;
    entry.productId = attributes.productId;
    entry.usagePage = caps.usagePage;
    entry.usage = caps.usage;
    entry.path = path;
    device.Close();
    return entry;
}

int Claim(DeviceEntry& probed, std::vector<DeviceEntry>& deviceList) {
    const DeviceRow* match = nullptr;
    for (const DeviceRow& row : kSupportedDevices) {
        if (SameIdsAndUsage(DeviceEntry::FromRow(row), probed)) {
            match = &row;
            break;
        }
    }
    if (match == nullptr) return -1;
    probed.deviceType = match->deviceType;
    probed.role = match->role;
    for (std::size_t index = 0; index < deviceList.size(); ++index) {
        DeviceEntry& entry = deviceList[index];
        if (!SameIdsAndUsage(entry, probed) || !IsFree(entry)) continue;
        entry.connected = 1;
        entry.path = probed.path;
        return static_cast<int>(index);
    }
    return -1;
}

bool AllClaimed(std::span<const DeviceEntry> deviceList) {
    for (const DeviceEntry& entry : deviceList) {
        if (IsFree(entry)) return false;
    }
    return true;
}

int TableRow(uint16_t vendorId, uint16_t productId, uint16_t deviceType, uint16_t role) {
    for (std::size_t index = 0; index < kSupportedDevices.size(); ++index) {
        const DeviceRow& row = kSupportedDevices[index];
        if (row.vendorId == vendorId && row.productId == productId &&
            row.deviceType == deviceType && row.role == role) {
            return static_cast<int>(index);
        }
    }
    return -1;
}

int CommandRow(Product product, Channel channel) {
    const ProductRecord& record = RecordOf(product);
    const ProductWay& way = record.Way(channel);
    if (!way.Present()) return -1;
    return TableRow(record.vendorId, way.productId, way.type, kRoleCommand);
}

DeviceEntry TabKey(std::span<const DeviceEntry> deviceList, std::size_t index) {
    if (index >= deviceList.size()) return {};
    const DeviceEntry& entry = deviceList[index];
    // A receiver row points at its cable partner, which owns the tab; a partner
    // index from outside the list is ignored rather than followed.
    auto partnerOf = [&](const DeviceEntry& row) -> const DeviceEntry* {
        if (row.paired == 0 || !IsReceiverType(row.deviceType)) return nullptr;
        if (row.partner >= deviceList.size()) return nullptr;
        return &deviceList[row.partner];
    };
    if (entry.role == kRoleCommand) {
        const DeviceEntry* partner = partnerOf(entry);
        if (partner != nullptr && partner->partner < deviceList.size() &&
            &deviceList[partner->partner] == &entry) {
            return *partner;
        }
        return entry;
    }
    if (entry.role == kRoleEvent) {
        for (const DeviceEntry& row : deviceList) {
            if (row.role != kRoleCommand || row.vendorId != entry.vendorId ||
                row.productId != entry.productId || row.deviceType != entry.deviceType) {
                continue;
            }
            const DeviceEntry* partner = partnerOf(row);
            return partner != nullptr ? *partner : row;
        }
    }
    return entry;
}

ClaimResult ClaimPath(HidDevice& probe, const std::string& path,
                      std::vector<DeviceEntry>& deviceList) {
    ClaimResult result;
    result.probed = EntryFromPath(path);
    if (!IsCandidate(result.probed, deviceList)) return result;
    std::optional<DeviceEntry> probed = Probe(probe, path);
    if (!probed) {
        result.outcome = ClaimOutcome::OpenFailed;
        result.openMessage = probe.LastOpenMessage();
        return result;
    }
    result.probed = std::move(*probed);
    result.index = Claim(result.probed, deviceList);
    result.outcome = result.index >= 0 ? ClaimOutcome::Claimed : ClaimOutcome::NotMatched;
    return result;
}

}  // namespace q731
