// One bullet stored from the shooting panel, as every edit that loses focus
// does it: the slot's file read and checked, the bullet group changed, the
// whole file written atomically (temporary file, fsync, rename, folder fsync).
// ShowBullet is the read alone, as a bullet or slot choice does it.
//
// The files go to $Q731_BENCH_DIR (default: the current folder), so that the
// write is timed on the disk the user's data lives on, not on a tmpfs; the
// file system type is printed first.

#include <benchmark/benchmark.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "profiles/shoot_panel.h"
#include "tests/support/shoot_view.h"

namespace q731 {
namespace {

namespace fs = std::filesystem;

struct Rig {
    Rig() : panel(view, nullptr) {
        const char* base = std::getenv("Q731_BENCH_DIR");
        root = fs::path(base && *base ? base : fs::current_path()) /
               ("q731-shoot-bench-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "mouse");
        panel.SetDeviceFolder(root / "mouse");
        panel.SetDefaultFolder(fs::path(Q731_SOURCE_DIR) / "DefaultData");
        panel.PrepareShootingFiles();
        panel.SelectSlot(1);
        panel.SelectBullet(0);
        static bool told = false;
        struct statfs info {};
        if (!std::exchange(told, true) && ::statfs(root.c_str(), &info) == 0)
            std::fprintf(stderr, "shooting files in %s (file system magic 0x%lx%s)\n", root.c_str(),
                         static_cast<unsigned long>(info.f_type),
                         info.f_type == 0x01021994 ? ", tmpfs: not the disk" : "");
    }
    ~Rig() { fs::remove_all(root); }

    fs::path root;
    testing::MemoryShootView view;
    ShootPanel panel;
};

void StoreBullet(benchmark::State& state) {
    Rig rig;
    int round = 0;
    for (auto _ : state) {
        const int bullet = round % kShootBulletCount;
        rig.view.texts[shoot_control::kVerticalEdit] = std::to_string(round % 256);
        rig.view.texts[shoot_control::kDelayEdit] = std::to_string(50 + round % 100);
        if (!rig.panel.StoreBullet(1, bullet)) state.SkipWithError("the store failed");
        ++round;
    }
}
BENCHMARK(StoreBullet)->Unit(benchmark::kMillisecond)->UseRealTime();

void ShowBullet(benchmark::State& state) {
    Rig rig;
    int round = 0;
    for (auto _ : state) {
        rig.panel.ShowBullet(1, round % kShootBulletCount);
        ++round;
    }
}
BENCHMARK(ShowBullet)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace q731

BENCHMARK_MAIN();
