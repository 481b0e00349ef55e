// The lighting sync thread's cost and pacing on the real clock: the simulated
// mouse, keyboard and mouse pad synchronised (colour cycle at speed 4, a step
// every 14 ms), then nothing synchronised, each for the given time.
//
//   lighting_sync_bench [seconds]          default 60 per phase
//
// Prints the thread's CPU as a share of one core, the steps run against those
// expected, and the spread of the times between steps against the period.

#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "device_access/device_path.h"
#include "devices/lighting/lighting_sync.h"
#include "devices/usb_device.h"
#include "platform/stop_event.h"
#include "profiles/basic_profiledata.h"
#include "sim/sim_firmware.h"
#include "sim/sim_products.h"

namespace q731 {
namespace {

class Device final : public CVexloUSBDevice {
public:
    Device(Product product, std::shared_ptr<IHidBackend> backend)
        : CVexloUSBDevice(product, std::move(backend)) {
        SetLedCount(RecordOf(product).ledCount);
    }
    ~Device() override { CloseDevice(); }
    CBasicProfiledata& ProfileData() override { return profile_; }

private:
    CBasicProfiledata profile_;
};

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Phase {
    double cpuSeconds = 0;
    std::vector<double> gapsMs;  // between steps
};

// The sync thread's loop, noting when each step ran.
Phase RunPhase(LightingSync& sync, std::chrono::seconds span) {
    Phase phase;
    StopEvent stop;
    Waker wake;
    std::thread thread([&] {
        const double start = ThreadCpuSeconds();
        std::uint64_t steps = sync.Steps();
        SteadyTime last{};
        std::vector<double> gaps;
        while (!stop.IsSet()) {
            const std::optional<SteadyTime> next = sync.RunPass();
            if (sync.Steps() != steps) {
                steps = sync.Steps();
                const SteadyTime now = std::chrono::steady_clock::now();
                if (last != SteadyTime{})
                    gaps.push_back(std::chrono::duration<double, std::milli>(now - last).count());
                last = now;
            }
            const SteadyTime deadline =
                next ? *next : std::chrono::steady_clock::now() + std::chrono::hours(1);
            if (stop.WaitUntil(SteadyClock::Instance(), deadline, wake)) break;
        }
        phase.cpuSeconds = ThreadCpuSeconds() - start;
        phase.gapsMs = std::move(gaps);
    });
    std::this_thread::sleep_for(span);
    stop.Set();
    thread.join();
    return phase;
}

void Report(const char* what, const Phase& phase, std::chrono::seconds span, double periodMs) {
    const double share = 100.0 * phase.cpuSeconds / static_cast<double>(span.count());
    std::printf("%s: thread CPU %.3f s in %lld s = %.4f %% of one core\n", what, phase.cpuSeconds,
                static_cast<long long>(span.count()), share);
    if (phase.gapsMs.empty() || periodMs <= 0) return;
    std::vector<double> gaps = phase.gapsMs;
    std::sort(gaps.begin(), gaps.end());
    double sum = 0;
    for (double gap : gaps)
        sum += gap;
    const double mean = sum / static_cast<double>(gaps.size());
    const auto at = [&](double q) {
        return gaps[static_cast<std::size_t>(q * static_cast<double>(gaps.size() - 1))];
    };
    std::printf(
        "  steps %zu (expected %.0f); gap mean %.3f ms (period %.0f ms), "
        "median %.3f, p99 %.3f, max %.3f ms\n",
        gaps.size() + 1, static_cast<double>(span.count()) * 1000.0 / periodMs, mean, periodMs,
        at(0.5), at(0.99), gaps.back());
}

}  // namespace
}  // namespace q731

int main(int argc, char** argv) {
    using namespace q731;
    const std::chrono::seconds span(argc > 1 ? std::max(1, std::atoi(argv[1])) : 60);
    auto bus = std::make_shared<SimBus>();
    std::vector<std::unique_ptr<Device>> devices;
    const auto add = [&](Product product, SimProductSpec plugged, SimMemoryLayout layout) {
        const int unit = bus->Plug(std::move(plugged),
                                   std::make_shared<SimCommandFirmware>(SimChannel::Wired, layout));
        devices.push_back(std::make_unique<Device>(product, bus));
        for (const std::string& path : bus->PathsOf(unit)) {
            const PathIds ids = ParseDevicePath(path);
            if (ids.interfaceNumber == kSimCommandInterface && ids.collection == 4)
                (void)devices.back()->Link().OpenChannel(Channel::Cable, path);
        }
    };
    add(Product::Mouse, MouseWiredProduct(), MouseMemoryLayout());
    add(Product::Keyboard, KeyboardWiredProduct(), KeyboardMemoryLayout());
    add(Product::MousePad, MousePadProduct(), MousePadMemoryLayout());
    std::vector<CVexloUSBDevice*> pointers;
    for (const auto& device : devices)
        pointers.push_back(device.get());

    LightingSync sync(SteadyClock::Instance());
    sync.SetDevices(pointers);
    LightSetting light = devices[0]->GetLightInfo();
    light.selectItem =
        static_cast<std::uint8_t>(SyncModeOf(Product::Mouse, SyncEffect::ColourCycle));
    light.brightness = 4;
    light.speed = 4;
    devices[0]->SetLightInfo(light);
    if (!StartSynchronisation(
            *devices[0], pointers, sync,
            [](CVexloUSBDevice& device, const LightSetting& set) { device.SetLightInfo(set); })) {
        std::fprintf(stderr, "synchronisation did not start\n");
        return 1;
    }
    const double periodMs = static_cast<double>(SyncPeriod(4).count());
    Report("synchronised, speed 4", RunPhase(sync, span), span, periodMs);
    for (const auto& device : devices)
        device->SetSynchronised(false);
    Report("nothing synchronised", RunPhase(sync, span), span, 0);
    return 0;
}
