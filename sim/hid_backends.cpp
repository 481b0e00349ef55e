#include "sim/hid_backends.h"

#include <charconv>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

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
    int delayMs = -1;
    if (const std::size_t at = devicesSetting.find('@'); at != std::string_view::npos) {
        const std::string_view digits = devicesSetting.substr(at + 1);
        const auto [end, ec] =
            std::from_chars(digits.data(), digits.data() + digits.size(), delayMs);
        if (ec != std::errc() || end != digits.data() + digits.size() || delayMs < 0) delayMs = -1;
        devicesSetting = devicesSetting.substr(0, at);
    }
    // "-hidraw" runs the simulated family through the hidraw back end.
    constexpr std::string_view kHidrawSuffix = "-hidraw";
    const bool hidraw = devicesSetting.ends_with(kHidrawSuffix);
    if (hidraw) devicesSetting.remove_suffix(kHidrawSuffix.size());
    if (devicesSetting == "sim" || devicesSetting == "sim-all") {
        auto bus = std::make_shared<SimBus>(hidraw ? SimBusMode::Hidraw : SimBusMode::Plain);
        const bool all = devicesSetting == "sim-all";
        auto plug = [all](SimBus& target) {
            all ? PlugFullFamily(target) : PlugDemoFamily(target);
        };
        if (delayMs <= 0) {
            plug(*bus);
        } else {
            selected.latePlug = std::jthread([bus, plug, delayMs](std::stop_token stop) {
                std::mutex mutex;
                std::condition_variable_any wake;
                std::unique_lock lock(mutex);
                if (!wake.wait_for(lock, stop, std::chrono::milliseconds(delayMs),
                                   [] { return false; })) {
                    if (!stop.stop_requested()) plug(*bus);
                }
            });
        }
        selected.simBus = bus;
        selected.backend = bus;
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
