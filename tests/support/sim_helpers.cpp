#include "tests/support/sim_helpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

#include "device_access/device_path.h"
#include "sim/sim_products.h"

namespace q731::testing {

std::shared_ptr<SimBus> MakeTestBus() {
    const char* setting = std::getenv("Q731_DEVICES");
    const bool hidraw =
        setting != nullptr && std::string_view(setting).find("hidraw") != std::string_view::npos;
    return std::make_shared<SimBus>(hidraw ? SimBusMode::Hidraw : SimBusMode::Plain);
}

std::string CollectionPath(const SimBus& bus, int unit, int collection) {
    for (const std::string& path : bus.PathsOf(unit)) {
        const PathIds ids = ParseDevicePath(path);
        if (ids.interfaceNumber == kSimCommandInterface && ids.collection == collection) {
            return path;
        }
    }
    return {};
}

std::string CommandPathOf(const SimBus& bus, int unit) {
    return CollectionPath(bus, unit, 4);
}

std::string EventPathOf(const SimBus& bus, int unit) {
    return CollectionPath(bus, unit, 3);
}

std::vector<Bytes> SentFrames(const SimCommandFirmware& firmware) {
    std::vector<Bytes> frames;
    for (const SimFrameRecord& record : firmware.FrameLog()) {
        if (record.toDevice) frames.push_back(record.bytes);
    }
    return frames;
}

int CountFrames(const SimCommandFirmware& firmware, int command) {
    int count = 0;
    for (const SimFrameRecord& record : firmware.FrameLog()) {
        if (record.toDevice && record.bytes.size() > 3 && record.bytes[3] == command) ++count;
    }
    return count;
}

void ExpectNoViolations(const SimCommandFirmware& firmware) {
    for (const SimViolation& violation : firmware.Violations()) {
        ADD_FAILURE() << "frame " << violation.frameNumber << ": " << violation.what;
    }
}

}  // namespace q731::testing
