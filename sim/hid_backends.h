#pragma once
// Run-time choice of the HID back end. device_access cannot know the simulator,
// so the choice lives here, beside it: Q731_DEVICES=sim attaches the simulated
// family, Q731_DEVICES=sim-all every simulated product plus decoys and a second
// unit, and anything else (or nothing) the hidraw back end. "sim-hidraw" and
// "sim-all-hidraw" put the same family behind the hidraw back end on a fake
// kernel, so that a real system's report routing is what the program meets.
// A suffix "@MS"
// ("sim@80") plugs the simulated devices MS milliseconds after start instead of
// at once, so that arrivals can meet other events (an early quit) in tests.

#include <memory>
#include <string_view>
#include <thread>

#include "device_access/hid_backend.h"
#include "sim/sim_bus.h"

namespace q731 {

struct SelectedBackend {
    std::shared_ptr<IHidBackend> backend;
    std::shared_ptr<SimBus> simBus;  // set when the back end is simulated
    std::jthread latePlug;           // plugs the devices later ("@MS"); stops early
};

// Reads Q731_DEVICES.
SelectedBackend SelectHidBackend();
SelectedBackend SelectHidBackend(std::string_view devicesSetting);

// Mouse on its receiver, keyboard by cable, mouse pad and headset.
void PlugDemoFamily(SimBus& bus);
// All six products, one decoy of each kind and a second receiver mouse.
void PlugFullFamily(SimBus& bus);

}  // namespace q731
