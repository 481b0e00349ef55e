#include "sim/hid_backends.h"

#include <cstdlib>

#include "device_access/hidraw_backend.h"
#include "sim/sim_firmware.h"
#include "sim/sim_products.h"

namespace q731 {

SelectedBackend SelectHidBackend() {
    const char* setting = std::getenv("Q731_DEVICES");
    return SelectHidBackend(setting != nullptr ? setting : "");
}

SelectedBackend SelectHidBackend(std::string_view devicesSetting) {
    SelectedBackend selected;
    if (devicesSetting == "sim" || devicesSetting == "sim-all") {
        selected.simBus = std::make_shared<SimBus>();
        if (devicesSetting == "sim") {
            PlugDemoFamily(*selected.simBus);
        } else {
            PlugFullFamily(*selected.simBus);
        }
        selected.backend = selected.simBus;
        return selected;
    }
    selected.backend = MakeHidrawBackend();
    return selected;
}

namespace {

std::shared_ptr<SimCommandFirmware> Firmware(SimChannel channel, SimMemoryLayout layout) {
    return std::make_shared<SimCommandFirmware>(channel, layout);
}

}  // namespace

void PlugDemoFamily(SimBus& bus) {
    bus.Plug(MouseReceiverProduct(), Firmware(SimChannel::Receiver, MouseMemoryLayout()));
    bus.Plug(KeyboardWiredProduct(), Firmware(SimChannel::Wired, KeyboardMemoryLayout()));
    bus.Plug(MousePadProduct(), Firmware(SimChannel::Wired, MousePadMemoryLayout()));
    bus.Plug(HeadsetProduct());
}

void PlugFullFamily(SimBus& bus) {
    bus.Plug(MouseWiredProduct(), Firmware(SimChannel::Wired, MouseMemoryLayout()));
    bus.Plug(MouseReceiverProduct(), Firmware(SimChannel::Receiver, MouseMemoryLayout()));
    bus.Plug(KeyboardWiredProduct(), Firmware(SimChannel::Wired, KeyboardMemoryLayout()));
    bus.Plug(KeyboardReceiverProduct(), Firmware(SimChannel::Receiver, KeyboardMemoryLayout()));
    bus.Plug(MousePadProduct(), Firmware(SimChannel::Wired, MousePadMemoryLayout()));
    bus.Plug(HeadsetProduct());
    for (DecoyKind kind : {DecoyKind::OtherInterface, DecoyKind::OtherCollection,
                           DecoyKind::WrongUsage, DecoyKind::OtherVendor}) {
        bus.Plug(DecoyProduct(kind));
    }
    bus.Plug(MouseReceiverProduct());
}

}  // namespace q731
