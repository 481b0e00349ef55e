// The macro panel with 4,000 rows: showing a macro (file read, rows built in
// the panel's list) and saving it (delays read from the panel, file written
// atomically) on the build machine's disk (Q731_BENCH_DIR, else the current
// folder; not a tmpfs). And the desktop capture's thread without input: how
// often it wakes in 10 s (it should sleep in poll() the whole time).

#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include "app/macro_control.h"
#include "bench/support/bench_folder.h"
#include "macros/desktop_capture.h"
#include "ui/widgets/list.h"

namespace q731 {
namespace {

namespace fs = std::filesystem;

struct NoHost final : IMacroEditorHost {
    void MacroListChanged() override {}
    bool CurrentKeysUse(int) override { return false; }
    bool FixKeyReferences(int) override { return false; }
    void SaveKeys() override {}
};

// The panel's two lists, as its layout names them, without a window.
std::unique_ptr<CMacroControlUI> Panel() {
    auto panel = std::make_unique<CMacroControlUI>();
    auto names = std::make_unique<CListUI>();
    names->SetName("macro_name_list");
    panel->Add(std::move(names));
    auto actions = std::make_unique<CListUI>();
    actions->SetName("macro_action_list");
    panel->Add(std::move(actions));
    return panel;
}

struct Rig {
    fs::path folder = BenchFolder("macro-editor-bench");
    MacroStore store{folder, Product::Keyboard};
    std::unique_ptr<CMacroControlUI> panel = Panel();
    NoHost host;
    MacroEditor editor{store, *panel, host, nullptr};

    Rig() {
        editor.Load();
        editor.AddMacro();
        std::vector<MacroEvent> events;
        for (int i = 0; i < 4000; ++i)
            events.push_back(
                {i % 2 ? "up" : "down", 10, 4 + i % 26, static_cast<std::uint32_t>(i)});
        store.SaveEvents(0, "macro_1", events);
    }
    ~Rig() { fs::remove_all(folder); }
};

void BM_ShowMacro4000(benchmark::State& state) {
    Rig rig;
    for (auto _ : state) {
        rig.editor.ShowMacro();
        benchmark::DoNotOptimize(rig.editor.Rows().data());
    }
    state.counters["rows"] = static_cast<double>(rig.editor.Rows().size());
}

void BM_SaveMacro4000(benchmark::State& state) {
    Rig rig;
    rig.editor.ShowMacro();
    for (auto _ : state)
        benchmark::DoNotOptimize(rig.editor.SaveMacro());
}

// Context switches of the threads the capture starts, over 10 s of no input.
long SwitchesOf(const std::string& task) {
    std::ifstream status("/proc/self/task/" + task + "/status");
    std::string line;
    long switches = 0;
    while (std::getline(status, line)) {
        if (line.find("ctxt_switches:") != std::string::npos)
            switches += std::stol(line.substr(line.find(':') + 1));
    }
    return switches;
}

std::set<std::string> Tasks() {
    std::set<std::string> tasks;
    for (const auto& entry : fs::directory_iterator("/proc/self/task"))
        tasks.insert(entry.path().filename().string());
    return tasks;
}

void BM_CaptureIdleWakeups(benchmark::State& state) {
    const fs::path folder = BenchFolder("capture-bench");
    ::mkfifo((folder / "event0").c_str(), 0600);
    UiLoop loop;
    for (auto _ : state) {
        const std::set<std::string> before = Tasks();
        auto capture = MakeEvdevCapture(loop, SteadyClock::Instance(), folder.string());
        if (!capture->Start([](const InputRecord&) {})) {
            state.SkipWithError(capture->Failure().c_str());
            break;
        }
        // Counted from once the thread sleeps: its start is not a wake-up.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::set<std::string> started;
        for (const std::string& task : Tasks()) {
            if (!before.contains(task)) started.insert(task);
        }
        long first = 0;
        for (const std::string& task : started)
            first += SwitchesOf(task);
        std::this_thread::sleep_for(std::chrono::seconds(10));
        long last = 0;
        for (const std::string& task : started)
            last += SwitchesOf(task);
        state.counters["wakeups_in_10s"] = static_cast<double>(last - first);
        capture->Stop();
    }
    fs::remove_all(folder);
}

BENCHMARK(BM_ShowMacro4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveMacro4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CaptureIdleWakeups)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace q731

BENCHMARK_MAIN();
