// Lists the HID interfaces present (real, or the simulated bus with
// Q731_DEVICES=sim), which supported-device row each one matches, which rows
// the discovery rules claim, and why an interface cannot be opened.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "device_access/device_path.h"
#include "device_access/device_table.h"
#include "device_access/hid_device.h"
#include "sim/hid_backends.h"

namespace q731 {
namespace {

std::string TypeName(uint16_t type) {
    const std::optional<ProductOnChannel> decoded = DecodeType(type);
    if (!decoded) return "?";
    const ProductRecord& record = RecordOf(decoded->product);
    if (!record.HasReceiver()) return std::string(record.name);
    return fmt::format("{} {}", record.name,
                       decoded->channel == Channel::Receiver ? "through receiver" : "by cable");
}

std::string RowText(int row) {
    if (row < 0) return "no row";
    const DeviceRow& entry = kSupportedDevices[static_cast<std::size_t>(row)];
    return fmt::format("row {} ({}, {})", row, TypeName(entry.deviceType),
                       entry.role == kRoleCommand ? "commands" : "events");
}

// The table row an interface fits by its ids and usage, whether or not it is free.
int MatchingRow(const DeviceEntry& probed) {
    for (std::size_t index = 0; index < kSupportedDevices.size(); ++index) {
        const DeviceRow& row = kSupportedDevices[index];
        if (row.vendorId == probed.vendorId && row.productId == probed.productId &&
            row.interfaceNumber == probed.interfaceNumber && row.collection == probed.collection &&
            row.usagePage == probed.usagePage && row.usage == probed.usage) {
            return static_cast<int>(index);
        }
    }
    return -1;
}

int Run() {
    const SelectedBackend selected = SelectHidBackend();
    HidDevice lister(selected.backend);
    HidDevice probe(selected.backend);
    fmt::print("HID back end: {}\n", selected.backend->Name());
    if (!lister.ListPaths()) {
        fmt::print("The HID interfaces could not be listed.\n");
        return 1;
    }
    fmt::print("{} interface(s)\n\n", lister.PathCount());
    std::vector<DeviceEntry> deviceList = MakeDeviceList();
    int openFailures = 0;
    while (auto path = lister.NextPath()) {
        const PathIds ids = ParseDevicePath(*path);
        fmt::print("{}\n  vid {:04x} pid {:04x} mi {:02x} col {:02x}", *path, ids.vendorId,
                   ids.productId, ids.interfaceNumber, ids.collection);
        ClaimResult claim = ClaimPath(probe, *path, deviceList);
        if (claim.outcome == ClaimOutcome::NotCandidate) {
            // Not one of ours by its path; probe it anyway to show what it is.
            if (auto probed = Probe(probe, *path)) {
                claim.probed = *probed;
            } else {
                fmt::print("  (cannot open: {})\n", probe.LastOpenMessage());
                continue;
            }
        }
        if (claim.outcome == ClaimOutcome::OpenFailed) {
            ++openFailures;
            fmt::print("\n  CANNOT OPEN: {}\n", claim.openMessage);
            continue;
        }
        fmt::print("  page {:04x} usage {:04x}\n", claim.probed.usagePage, claim.probed.usage);
        const int row = MatchingRow(claim.probed);
        switch (claim.outcome) {
            case ClaimOutcome::Claimed:
                fmt::print("  claims {}\n", RowText(claim.index));
                break;
            case ClaimOutcome::NotMatched:
                fmt::print("  {}\n", row >= 0 ? fmt::format("matches {}, already taken by another "
                                                            "unit: not claimed",
                                                            RowText(row))
                                              : std::string("vendor and product known, usage or "
                                                            "collection differs: not claimed"));
                break;
            default:
                fmt::print("  {}\n", row >= 0 ? fmt::format("matches {}, already taken: not "
                                                            "claimed",
                                                            RowText(row))
                                              : std::string("not a supported interface"));
                break;
        }
    }
    fmt::print("\nSupported-device rows:\n");
    for (std::size_t index = 0; index < deviceList.size(); ++index) {
        const DeviceEntry& entry = deviceList[index];
        fmt::print("  {:2} {:04x}:{:04x} mi {:02x} col {:02x} {:<26} {:<8} {}\n", index,
                   entry.vendorId, entry.productId, entry.interfaceNumber, entry.collection,
                   TypeName(entry.deviceType), entry.role == kRoleCommand ? "commands" : "events",
                   entry.connected != 0 ? "claimed by " + entry.path : std::string("free"));
    }
    if (openFailures > 0) {
        fmt::print("\n{} interface(s) could not be opened; see the messages above.\n",
                   openFailures);
    }
    return 0;
}

}  // namespace
}  // namespace q731

int main() {
    return q731::Run();
}
