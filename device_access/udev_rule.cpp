#include "device_access/udev_rule.h"

#include <fmt/format.h>

#include <set>
#include <utility>

#include "device_access/device_table.h"

namespace q731 {

std::string MakeUdevRule() {
    std::string rule =
        "# Gives the user at the seat (uaccess) read and write access to the hidraw nodes\n"
        "# of the peripherals the Q731 Control Center configures. Install into\n"
        "# /etc/udev/rules.d/ (or /usr/lib/udev/rules.d/), then run:\n"
        "#   sudo udevadm control --reload && sudo udevadm trigger\n"
        "# The \"70-\" prefix matters: uaccess tags must be set before 73-seat-late.rules.\n"
        "# Generated from the supported-device table by q731-udev-rule; do not edit.\n\n";
    std::set<std::pair<uint16_t, uint16_t>> seen;
    for (const DeviceRow& row : kSupportedDevices) {
        if (!seen.insert({row.vendorId, row.productId}).second) continue;
        rule += fmt::format(
            "KERNEL==\"hidraw*\", ATTRS{{idVendor}}==\"{:04x}\", ATTRS{{idProduct}}==\"{:04x}\", "
            "TAG+=\"uaccess\"\n",
            row.vendorId, row.productId);
    }
    return rule;
}

}  // namespace q731
