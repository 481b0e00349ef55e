#pragma once
// A link on a simulated product with strict firmware behind it.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "device_access/device_path.h"
#include "devices/device_link.h"
#include "sim/sim_bus.h"
#include "sim/sim_firmware.h"
#include "sim/sim_products.h"

namespace q731 {

using Bytes = std::vector<uint8_t>;

inline Bytes FromHex(const std::string& hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size();) {
        if (hex[i] == ' ') {
            ++i;
            continue;
        }
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return bytes;
}

// Short time-outs: a request that gets no answer fails quickly.
inline constexpr ChannelTimeouts kTestTimeouts{200, 60, 200, 60};

class LinkTest : public ::testing::Test {
protected:
    void Attach(SimChannel channel, SimMemoryLayout layout = MouseMemoryLayout()) {
        firmware_ = std::make_shared<SimCommandFirmware>(channel, layout);
        const bool receiver = channel == SimChannel::Receiver;
        unit_ = bus_->Plug(receiver ? MouseReceiverProduct() : MouseWiredProduct(), firmware_);
        kind_ = receiver ? kChannelKindReceiver : kChannelKindWired;
        link_ = std::make_unique<CDeviceLink>(bus_);
        link_->SetTimeouts(kind_, kTestTimeouts);
        ASSERT_TRUE(link_->OpenChannel(kind_, CommandPath()));
    }

    std::string CommandPath() const {
        for (const std::string& path : bus_->PathsOf(unit_)) {
            const PathIds ids = ParseDevicePath(path);
            if (ids.interfaceNumber == kSimCommandInterface && ids.collection == 4) return path;
        }
        return {};
    }

    // Frames the host wrote, oldest first.
    std::vector<Bytes> Sent() const {
        std::vector<Bytes> frames;
        for (const SimFrameRecord& record : firmware_->FrameLog()) {
            if (record.toDevice) frames.push_back(record.bytes);
        }
        return frames;
    }

    void ExpectNoViolations() const {
        for (const SimViolation& violation : firmware_->Violations()) {
            ADD_FAILURE() << "frame " << violation.frameNumber << ": " << violation.what;
        }
    }

    std::shared_ptr<SimBus> bus_ = std::make_shared<SimBus>();
    std::shared_ptr<SimCommandFirmware> firmware_;
    std::unique_ptr<CDeviceLink> link_;
    int unit_ = 0;
    int kind_ = kChannelKindWired;
};

}  // namespace q731
