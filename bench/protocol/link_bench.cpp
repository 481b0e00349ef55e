// Host cost of the command protocol through the simulator.
//  - FrameOverhead: one single-frame command at zero modelled latency; the
//    time per iteration is the host's own cost per frame (target: under 5 us).
//  - KeyTableWrite1ms: a 512-byte key-table write on the cable (10 frames) with
//    a modelled 1 ms USB round trip; the counter ratio_to_10ms should stay
//    within 5% of 1.0.

#include <benchmark/benchmark.h>
#include <sys/prctl.h>

#include "device_access/device_path.h"
#include "devices/device_link.h"
#include "sim/sim_firmware.h"
#include "sim/sim_products.h"

namespace q731 {
namespace {

struct Rig {
    explicit Rig(std::chrono::microseconds latency) {
        // The default 50 us timer slack would be charged to every modelled
        // round trip; the host code under test does not sleep at all.
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        firmware = std::make_shared<SimCommandFirmware>(SimChannel::Wired, KeyboardMemoryLayout());
        firmware->SetLatency(latency);
        const int unit = bus->Plug(KeyboardWiredProduct(), firmware);
        for (const std::string& path : bus->PathsOf(unit)) {
            const PathIds ids = ParseDevicePath(path);
            if (ids.interfaceNumber == kSimCommandInterface && ids.collection == 4) {
                opened = link.OpenChannel(Channel::Cable, path);
            }
        }
    }
    std::shared_ptr<SimBus> bus = std::make_shared<SimBus>();
    std::shared_ptr<SimCommandFirmware> firmware;
    CDeviceLink link{bus};
    bool opened = false;
};

void FrameOverhead(benchmark::State& state) {
    Rig rig(std::chrono::microseconds(0));
    for (auto _ : state) {
        if (rig.link.EnableHostLighting() != LinkResult::Ok) state.SkipWithError("exchange failed");
        // Keep the firmware's frame log from growing without end.
        if ((state.iterations() & 0x3FF) == 0) rig.firmware->ClearLog();
    }
}
BENCHMARK(FrameOverhead);

void KeyTableWrite1ms(benchmark::State& state) {
    Rig rig(std::chrono::microseconds(1000));
    const std::vector<uint8_t> table(512, 0x11);
    if (!rig.opened || rig.link.EnterConfig() != LinkResult::Ok) state.SkipWithError("no link");
    for (auto _ : state) {
        if (rig.link.WriteKeyTable(table, 0) != LinkResult::Ok) state.SkipWithError("write failed");
        rig.firmware->ClearLog();
    }
    state.counters["ratio_to_10ms"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 0.010,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(KeyTableWrite1ms)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace q731

BENCHMARK_MAIN();
