// The headset's lighting tick on the UI thread while its render thread sends
// the wave, with every LED report taking 1 ms on the simulated bus (a full-
// speed USB interrupt transfer). The tick only hands the picture on, so its
// cost must not grow with the reports: compared with the 12 ms a frame's
// twelve reports take on the wire, which a tick that sent them would cost.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "bench/support/bench_folder.h"
#include "headset/hs6533_device.h"
#include "sim/sim_bus.h"
#include "sim/sim_products.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

constexpr auto kReportTime = 1ms;

// Takes every report after a modelled transfer time.
class SlowHeadset final : public ISimFirmware {
public:
    bool OnOutputReport(std::uint16_t, std::span<const std::uint8_t>, const SimPort&) override {
        std::this_thread::sleep_for(kReportTime);
        reports.fetch_add(1);
        return true;
    }
    std::atomic<std::uint64_t> reports{0};
};

void BM_HeadsetLightTick(benchmark::State& state) {
    const auto folder = BenchFolder("headset-bench");
    auto bus = std::make_shared<SimBus>();
    auto firmware = std::make_shared<SlowHeadset>();
    const int unit = bus->Plug(HeadsetProduct(), firmware);
    UiLoop loop;
    CVexloHS6533Device headset(bus);
    headset.SetLedCount(static_cast<int>(kHeadsetLeds));
    headset.AttachLoop(&loop);
    headset.SetHostLighting(true);
    headset.SetAttention(true);
    headset.SetFolders({folder / "HD", std::filesystem::path(Q731_SOURCE_DIR) / "DefaultData"});
    std::filesystem::create_directories(folder / "HD");
    if (!headset.StartProfiles() ||
        !headset.Link().OpenChannel(Channel::Cable, bus->PathsOf(unit).front())) {
        state.SkipWithError("no headset");
        return;
    }
    std::uint64_t shown = 0;
    headset.SetPictureSink([&](std::span<const LedColour> leds) { shown += leds.size(); });
    LightSetting wave = headset.GetLightInfo();
    wave.selectItem = 0;
    headset.SetLightInfo(wave);
    (void)headset.Connect();

    const auto started = std::chrono::steady_clock::now();
    const std::uint64_t reportsBefore = firmware->reports.load();
    for (auto _ : state) {
        headset.LightTick();
        benchmark::DoNotOptimize(shown);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    headset.CloseDevice();
    state.counters["reports_per_s"] = (firmware->reports.load() - reportsBefore) / seconds;
    state.counters["frames_sent"] = static_cast<double>(headset.FramesSent());
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_HeadsetLightTick)->MinTime(2.0)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace q731

BENCHMARK_MAIN();
