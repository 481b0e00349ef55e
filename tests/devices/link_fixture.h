#pragma once
// A link on a simulated product with strict firmware behind it.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "devices/device_link.h"
#include "sim/sim_bus.h"
#include "sim/sim_firmware.h"
#include "sim/sim_products.h"
#include "tests/support/hex.h"
#include "tests/support/sim_helpers.h"

namespace q731 {

using testing::Bytes;
using testing::FromHex;

// Short read time-outs: a request that gets no answer fails quickly. Writes
// never stall unless a test makes them, so theirs is long enough for a
// loaded machine to schedule the hidraw mode's writer thread.
inline constexpr ChannelTimeouts kTestTimeouts{2000, 60, 2000, 60};

class LinkTest : public ::testing::Test {
protected:
    void Attach(SimChannel channel, SimMemoryLayout layout = MouseMemoryLayout()) {
        firmware_ = std::make_shared<SimCommandFirmware>(channel, layout);
        const bool receiver = channel == SimChannel::Receiver;
        unit_ = bus_->Plug(receiver ? MouseReceiverProduct() : MouseWiredProduct(), firmware_);
        channel_ = receiver ? Channel::Receiver : Channel::Cable;
        link_ = std::make_unique<CDeviceLink>(bus_);
        link_->SetTimeouts(channel_, kTestTimeouts);
        ASSERT_TRUE(link_->OpenChannel(channel_, CommandPath()));
    }

    std::string CommandPath() const { return testing::CommandPathOf(*bus_, unit_); }
    std::vector<Bytes> Sent() const { return testing::SentFrames(*firmware_); }
    void ExpectNoViolations() const { testing::ExpectNoViolations(*firmware_); }

    std::shared_ptr<SimBus> bus_ = testing::MakeTestBus();
    std::shared_ptr<SimCommandFirmware> firmware_;
    std::unique_ptr<CDeviceLink> link_;
    int unit_ = 0;
    Channel channel_ = Channel::Cable;
};

}  // namespace q731
