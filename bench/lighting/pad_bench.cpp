// Frames per second of every mouse-pad renderer on one core, and the CPU a
// simulated pad costs the whole process while a moving mode runs.
//
//   lighting_bench                       the renderer benchmarks
//   lighting_bench --cpu_seconds=60      also the CPU run, window hidden and shown
//
// The CPU run drives the pad as the application does: the 50 ms lighting tick
// on the UI loop, the render thread on the real clock, the listener on the
// event interface, against the simulated pad.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "device_access/device_path.h"
#include "devices/lighting/light_stream.h"
#include "devices/lighting/pad_effects.h"
#include "devices/mouse_pad_device.h"
#include "platform/ui_loop.h"
#include "sim/sim_pad.h"
#include "sim/sim_products.h"

namespace q731 {
namespace {

namespace fs = std::filesystem;
constexpr int kPadLeds = 15;

LightSetting PadLight(int mode, bool multi) {
    LightSetting light;
    light.selectItem = static_cast<std::uint8_t>(mode);
    light.brightness = 4;
    light.speed = 2;
    light.direction = 1;
    light.multiColor = multi ? 1 : 0;
    light.red = 200;
    light.green = 40;
    light.blue = 90;
    return light;
}

void BM_PadRenderer(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    const bool multi = state.range(1) != 0;
    PadEffects effects;
    LedColourList leds(kPadLeds);
    TimedSteps steps;
    LedEffectStep step;
    step.light = PadLight(4, true);
    step.time = 500;
    steps.SetSteps({step, step});
    const LightSetting light = PadLight(mode, multi);
    SteadyTime now{};
    for (auto _ : state) {
        now += Millis(2);
        effects.Render(light, leds, steps, now);
        benchmark::DoNotOptimize(leds.Get(7));
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(std::string(multi ? "wheel" : "single"));
}
BENCHMARK(BM_PadRenderer)->ArgsProduct({{0, 1, 2, 3, 4, 5, 6, 7, 8}, {0, 1}});

void BM_BuildLightFrame(benchmark::State& state) {
    const std::size_t count = static_cast<std::size_t>(state.range(0));
    LedColourList leds(count);
    leds.Fill({200, 100, 50, 180});
    for (auto _ : state) {
        const std::vector<LedColour> snapshot = leds.Snapshot();
        benchmark::DoNotOptimize(BuildLightFrame(snapshot, 3 * count));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildLightFrame)->Arg(15)->Arg(170);

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

// Runs a simulated pad in mode `mode` for `seconds` and prints the share of
// one core the process used.
void CpuRun(double seconds, int mode, bool windowShown) {
    const fs::path folder =
        fs::temp_directory_path() / ("q731-pad-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder / "MousePad");
    {
        auto bus = std::make_shared<SimBus>();
        auto firmware =
            std::make_shared<SimCommandFirmware>(SimChannel::Wired, MousePadMemoryLayout());
        FillPadSettings(*firmware);
        const int unit = bus->Plug(MousePadProduct(), firmware);
        UiLoop loop(SteadyClock::Instance());
        loop.BindToCurrentThread();
        CVexloMousePadDevice pad(bus);
        pad.SetLedCount(kPadLeds);
        pad.AttachLoop(&loop);
        pad.SetFolders({folder / "MousePad", fs::path(Q731_SOURCE_DIR) / "DefaultData"});
        pad.SetAttention(windowShown);
        if (!pad.StartProfiles() ||
            !pad.Link().OpenChannel(Channel::Cable, PathOf(*bus, unit, 4)) ||
            !pad.OpenListener(Channel::Cable, PathOf(*bus, unit, 3)) ||
            pad.Connect() != LinkResult::Ok) {
            std::fprintf(stderr, "cannot open the simulated pad\n");
            return;
        }
        LightSetting light = pad.GetLightInfo();
        light.selectItem = static_cast<std::uint8_t>(mode);
        pad.SetLightInfo(light);
        pad.ApplyProfile();

        const int owner = 0;
        loop.SetTimer(&pad, 1000, Millis(50), [&pad] { pad.LightTick(); });
        loop.SetOneShotTimer(&owner, 1, Millis(static_cast<long>(seconds * 1000)),
                             [&loop] { loop.Quit(); });
        const double cpuBefore = ProcessCpuSeconds();
        const auto wallBefore = std::chrono::steady_clock::now();
        loop.Run();
        const double cpu = ProcessCpuSeconds() - cpuBefore;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        loop.KillTimers(&pad);
        std::printf(
            "pad mode %d, window %s: %.1f s wall, %.3f s CPU = %.3f%% of one core, %llu frames\n",
            mode, windowShown ? "shown " : "hidden", wall, cpu, 100.0 * cpu / wall,
            static_cast<unsigned long long>(pad.Renderer().FramesDrawn()));
        pad.CloseDevice();
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
}

}  // namespace
}  // namespace q731

int main(int argc, char** argv) {
    double cpuSeconds = 0;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--cpu_seconds=", 14) == 0) {
            cpuSeconds = std::atof(argv[i] + 14);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (cpuSeconds > 0) {
        q731::CpuRun(cpuSeconds, 0, false);
        q731::CpuRun(cpuSeconds, 0, true);
    }
    return 0;
}
