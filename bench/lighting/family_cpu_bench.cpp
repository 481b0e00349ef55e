// The CPU a simulated mouse, keyboard and mouse pad cost the whole process
// while each runs a host-rendered mode and the window is hidden: the mouse in
// its streamed timed-steps mode, the keyboard in its host colour fill (also
// streamed), the pad in its wave (drawn only for a visible window).
//
//   lighting_cpu_bench [seconds]          default 60
//
// Everything runs as in the application: the 50 ms lighting tick on the UI
// loop, one render thread per device on the real clock, the simulated devices
// answering on the same bus.

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/device_tabs.h"
#include "device_access/device_path.h"
#include "devices/keyboard_device.h"
#include "devices/mouse_device.h"
#include "devices/mouse_pad_device.h"
#include "platform/ui_loop.h"
#include "sim/sim_pad.h"
#include "sim/sim_products.h"

namespace q731 {
namespace {

namespace fs = std::filesystem;

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::string PathOf(SimBus& bus, int unit, int collection) {
    for (const std::string& path : bus.PathsOf(unit)) {
        const PathIds ids = ParseDevicePath(path);
        if (ids.interfaceNumber == kSimCommandInterface && ids.collection == collection)
            return path;
    }
    return {};
}

// Sets a device up the way device selection does and opens its cable link.
bool Prepare(CVexloUSBDevice& device, SimBus& bus, int unit, const fs::path& folder) {
    const ProductRecord& record = RecordOf(device.GetProduct());
    const std::string name(TabOf(device.GetProduct()).tabName);
    device.SetNames(std::string(TabOf(device.GetProduct()).pageLayout), name,
                    std::string(record.lightingConfig));
    device.SetKeyCount(record.keyCount);
    device.SetLedCount(record.ledCount);
    fs::create_directories(folder / name);
    device.SetFolders({folder / name, fs::path(Q731_SOURCE_DIR) / "DefaultData"});
    device.SetProfileMode(record.profileMode);
    if (!device.StartProfiles()) return false;
    device.Initialise();
    device.SetAttention(false);  // the window is hidden
    return device.Link().OpenChannel(Channel::Cable, PathOf(bus, unit, 4));
}

void SetMode(CVexloUSBDevice& device, int mode) {
    LightSetting light = device.GetLightInfo();
    light.selectItem = static_cast<std::uint8_t>(mode);
    light.brightness = 4;
    light.speed = 4;
    light.multiColor = 1;
    device.SetLightInfo(light);
    device.ApplyProfile();
}

int Run(double seconds) {
    const fs::path folder =
        fs::temp_directory_path() / ("q731-light-cpu-" + std::to_string(::getpid()));
    auto bus = std::make_shared<SimBus>();
    auto mouseFirmware =
        std::make_shared<SimCommandFirmware>(SimChannel::Wired, MouseMemoryLayout());
    auto keyboardFirmware =
        std::make_shared<SimCommandFirmware>(SimChannel::Wired, KeyboardMemoryLayout());
    auto padFirmware =
        std::make_shared<SimCommandFirmware>(SimChannel::Wired, MousePadMemoryLayout());
    FillPadSettings(*padFirmware);
    const int mouseUnit = bus->Plug(MouseWiredProduct(), mouseFirmware);
    const int keyboardUnit = bus->Plug(KeyboardWiredProduct(), keyboardFirmware);
    const int padUnit = bus->Plug(MousePadProduct(), padFirmware);

    UiLoop loop(SteadyClock::Instance());
    loop.BindToCurrentThread();
    std::uint64_t frames[3] = {};
    double cpu = 0;
    double wall = 0;
    {
        CVexloMouseDevice mouse(bus);
        CVexloKeyboardDevice keyboard(bus);
        CVexloMousePadDevice pad(bus);
        if (!Prepare(mouse, *bus, mouseUnit, folder) ||
            !Prepare(keyboard, *bus, keyboardUnit, folder) ||
            !Prepare(pad, *bus, padUnit, folder)) {
            std::fprintf(stderr, "cannot open the simulated devices\n");
            return 1;
        }
        if (mouse.Connect() != LinkResult::Ok || keyboard.Connect() != LinkResult::Ok ||
            pad.Connect() != LinkResult::Ok) {
            std::fprintf(stderr, "cannot connect the simulated devices\n");
            return 1;
        }
        SetMode(mouse, CVexloMouseDevice::kStreamedMode);
        LedEffectStep step;
        step.light.selectItem = 4;  // the wave step
        step.light.brightness = 4;
        step.light.multiColor = 1;
        step.time = 1000;
        mouse.Steps().SetSteps({step, step});
        SetMode(keyboard, CVexloKeyboardDevice::kHostColourMode);
        if (keyboard.EnableHostLighting(true) != LinkResult::Ok) {
            std::fprintf(stderr, "the keyboard refused host lighting\n");
            return 1;
        }
        const std::uint32_t colour[] = {10, 200, 30, 0, 0, 0};
        keyboard.PushHostColour(colour);
        SetMode(pad, 0);

        CVexloUSBDevice* devices[] = {&mouse, &keyboard, &pad};
        for (CVexloUSBDevice* device : devices)
            loop.SetTimer(device, 1000, Millis(50), [device] { device->LightTick(); });
        const int owner = 0;
        loop.SetOneShotTimer(&owner, 1, Millis(static_cast<long>(seconds * 1000)),
                             [&loop] { loop.Quit(); });
        const double cpuBefore = ProcessCpuSeconds();
        const auto wallBefore = std::chrono::steady_clock::now();
        loop.Run();
        cpu = ProcessCpuSeconds() - cpuBefore;
        wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        for (CVexloUSBDevice* device : devices)
            loop.KillTimers(device);
        frames[0] = mouse.Renderer().FramesDrawn();
        frames[1] = keyboard.Renderer().FramesDrawn();
        frames[2] = pad.Renderer().FramesDrawn();
        mouse.CloseDevice();
        keyboard.CloseDevice();
        pad.CloseDevice();
    }
    std::printf(
        "mouse mode 11 + keyboard mode 31 + pad mode 0, window hidden: %.1f s wall, "
        "%.3f s CPU = %.3f%% of one core\n",
        wall, cpu, 100.0 * cpu / wall);
    std::printf("frames drawn: mouse %llu, keyboard %llu, pad %llu\n",
                static_cast<unsigned long long>(frames[0]),
                static_cast<unsigned long long>(frames[1]),
                static_cast<unsigned long long>(frames[2]));
    std::error_code ec;
    fs::remove_all(folder, ec);
    return 0;
}

}  // namespace
}  // namespace q731

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    return q731::Run(seconds > 0 ? seconds : 60.0);
}
