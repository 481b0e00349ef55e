#pragma once
// The simulated family as tests see it: the paths of a product's collections
// and what its firmware was sent.

#include <memory>
#include <string>
#include <vector>

#include "sim/sim_bus.h"
#include "sim/sim_firmware.h"
#include "tests/support/hex.h"

namespace q731::testing {

// The bus a suite runs on: the plain simulator, or, when Q731_DEVICES names a
// hidraw mode ("sim-hidraw"), the hidraw back end on the simulator's kernel.
std::shared_ptr<SimBus> MakeTestBus();

// The command interface's collection `collection` of `unit`; empty when none.
std::string CollectionPath(const SimBus& bus, int unit, int collection);
// Collection 4 carries the command frames, collection 3 the device's events.
std::string CommandPathOf(const SimBus& bus, int unit);
std::string EventPathOf(const SimBus& bus, int unit);

// Frames the host wrote, oldest first.
std::vector<Bytes> SentFrames(const SimCommandFirmware& firmware);
// Frames of `command` the host wrote.
int CountFrames(const SimCommandFirmware& firmware, int command);
// One failed expectation per frame the strict firmware objected to.
void ExpectNoViolations(const SimCommandFirmware& firmware);

}  // namespace q731::testing
