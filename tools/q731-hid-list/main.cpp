// Lists the HID interfaces present (real, or the simulated bus with
// Q731_DEVICES=sim), which supported-device row each one matches, which rows
// the discovery rules claim, and why an interface cannot be opened. Only the
// family's interfaces are opened; the others are described from what the
// system tells without opening them (sysfs), so that a missing udev rule is
// reported for our products only. With --descriptor, each interface's report
// descriptor follows in hex with its collections, report ids and lengths.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "device_access/device_path.h"
#include "device_access/device_table.h"
#include "device_access/hid_device.h"
#include "device_access/report_descriptor.h"
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

// What the system tells about an interface without opening it.
std::optional<DeviceEntry> Inspect(IHidBackend& backend, const std::string& path) {
    const std::optional<HidConnectionInfo> info = backend.Inspect(path);
    if (!info) return std::nullopt;
    const ParsedDescriptor parsed = ParseReportDescriptor(info->reportDescriptor);
    const auto index = static_cast<std::size_t>(info->collectionIndex);
    if (!parsed.Ok() || index >= parsed.collections.size()) return std::nullopt;
    DeviceEntry entry = EntryFromPath(path);
    entry.vendorId = info->vendorId;
    entry.productId = info->productId;
    entry.usagePage = parsed.collections[index].usagePage;
    entry.usage = parsed.collections[index].usage;
    return entry;
}

// The interface's descriptor, once per interface (with its first collection).
void PrintDescriptor(IHidBackend& backend, const std::string& path) {
    const std::optional<HidConnectionInfo> info = backend.Inspect(path);
    if (!info) {
        fmt::print("  (the report descriptor cannot be read)\n");
        return;
    }
    if (info->collectionIndex != 0) return;
    const std::vector<uint8_t>& bytes = info->reportDescriptor;
    fmt::print("  report descriptor, {} bytes:\n", bytes.size());
    for (std::size_t at = 0; at < bytes.size(); at += 16) {
        std::string line;
        for (std::size_t i = at; i < std::min(at + 16, bytes.size()); ++i)
            line += fmt::format(" {:02x}", bytes[i]);
        fmt::print("   {}\n", line);
    }
    const ParsedDescriptor parsed = ParseReportDescriptor(bytes);
    if (!parsed.Ok()) fmt::print("  REJECTED: {}\n", DescriptorErrorText(parsed.error));
    for (const std::string& line : DescribeCollections(parsed))
        fmt::print("  collection {}\n", line);
    for (const std::string& note : parsed.skipped)
        fmt::print("  skipped {}\n", note);
}

// One path: its ids, what it is and which row it claims. False when one of
// ours could not be opened.
bool ShowPath(IHidBackend& backend, HidDevice& probe, const std::string& path,
              std::vector<DeviceEntry>& deviceList) {
    const PathIds ids = ParseDevicePath(path);
    fmt::print("{}\n  vid {:04x} pid {:04x} mi {:02x} col {:02x}", path, ids.vendorId,
               ids.productId, ids.interfaceNumber, ids.collection);
    ClaimResult claim = ClaimPath(probe, path, deviceList);
    if (claim.outcome == ClaimOutcome::NotCandidate) {
        // Not one of ours by its path: what it is, without opening it.
        std::optional<DeviceEntry> inspected = Inspect(backend, path);
        if (!inspected) {
            fmt::print("  (not described by the system)\n");
            return true;
        }
        claim.probed = *inspected;
    }
    if (claim.outcome == ClaimOutcome::OpenFailed) {
        fmt::print("\n  CANNOT OPEN: {}\n", claim.openMessage);
        return false;
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
    return true;
}

int Run(bool descriptors) {
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
        if (!ShowPath(*selected.backend, probe, *path, deviceList)) ++openFailures;
        if (descriptors) PrintDescriptor(*selected.backend, *path);
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

int main(int argc, char** argv) {
    bool descriptors = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--descriptor") == 0) {
            descriptors = true;
        } else {
            std::fprintf(stderr,
                         "usage: q731-hid-list [--descriptor]\n"
                         "  --descriptor  print each interface's report descriptor in hex, with "
                         "its collections, report ids and lengths\n");
            return 2;
        }
    }
    return q731::Run(descriptors);
}
