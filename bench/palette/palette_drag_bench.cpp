// A drag across the colour palette with a collected swatch chosen as target:
// 1,000 "colorchanged" notifications through the palette window (headless
// platform, real layout, the colour options file on the build machine's
// disk). The drag is paced as a pointer moves, one event every 8 ms on the
// loop's manual clock, so the save timer fires as it would; the time per
// event is wall time on the calling (UI) thread. Reported: time per event
// and file writes per second of drag.

#include <benchmark/benchmark.h>

#include <chrono>

#include "app/colour_select_window.h"
#include "bench/support/bench_folder.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/color_palette.h"
#include "ui/widgets/headless.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

constexpr int kEvents = 1000;
constexpr auto kEventSpacing = 8ms;

void BM_PaletteDrag(benchmark::State& state) {
    ManualClock clock;
    UiLoop loop(clock);
    HeadlessPlatform platform(loop);
    SetUiPlatform(&platform);
    CPaintManagerUI::SetResourcePath(Q731_SOURCE_DIR "/skin");
    const auto folder = BenchFolder("palette-drag-bench");
    CColorSelectWnd palette(loop, folder, Q731_SOURCE_DIR "/DefaultData");
    if (!palette.Create(nullptr, "PalletDialog", kWsPopup, kWsExToolWindow)) {
        state.SkipWithError("no palette window");
        SetUiPlatform(nullptr);
        return;
    }
    palette.Model().Load();
    CPaintManagerUI& pm = *palette.GetPaintManager();
    dynamic_cast<COptionUI*>(pm.FindControl("collect_color_option_0"))->Selected(true);
    auto* field = dynamic_cast<CColorPaletteUI*>(pm.FindControl("Pallet"));

    const int writesBefore = palette.Model().FileWrites();
    std::int64_t events = 0;
    for (auto _ : state) {
        const ArgbColour colour = 0xFF000000u | static_cast<ArgbColour>(events * 2654435761u);
        field->SetSelectColor(colour);
        pm.SendNotify(field, notify::kColorChanged, colour);
        // The pointer's next move: due timers (the paced save) run here.
        state.PauseTiming();
        clock.Advance(kEventSpacing);
        state.ResumeTiming();
        loop.ProcessPending();
        ++events;
    }
    const int dragWrites = palette.Model().FileWrites() - writesBefore;
    palette.Model().Finish();  // the write the window's close makes, not part of the drag
    const double dragSeconds = std::chrono::duration<double>(kEventSpacing * events).count();
    state.counters["writes_per_s_of_drag"] = dragWrites / dragSeconds;
    state.counters["events"] = static_cast<double>(events);
    palette.Close(0);
    loop.ProcessPending();
    SetUiPlatform(nullptr);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_PaletteDrag)->Iterations(kEvents)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace q731

BENCHMARK_MAIN();
