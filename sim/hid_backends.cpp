#include "sim/hid_backends.h"

#include <cstdlib>

#include "device_access/hidraw_backend.h"
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

void PlugDemoFamily(SimBus& bus) {
    bus.Plug(MouseReceiverProduct());
    bus.Plug(KeyboardWiredProduct());
    bus.Plug(MousePadProduct());
    bus.Plug(HeadsetProduct());
}

void PlugFullFamily(SimBus& bus) {
    bus.Plug(MouseWiredProduct());
    bus.Plug(MouseReceiverProduct());
    bus.Plug(KeyboardWiredProduct());
    bus.Plug(KeyboardReceiverProduct());
    bus.Plug(MousePadProduct());
    bus.Plug(HeadsetProduct());
    for (DecoyKind kind : {DecoyKind::OtherInterface, DecoyKind::OtherCollection,
                           DecoyKind::WrongUsage, DecoyKind::OtherVendor}) {
        bus.Plug(DecoyProduct(kind));
    }
    bus.Plug(MouseReceiverProduct());
}

}  // namespace q731
