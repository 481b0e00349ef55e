// End-to-end measurements of hot-plug against the simulated family:
//   1. CPU used by an idle scan thread (every product connected, nothing
//      changing), as a share of one core;
//   2. time from a plug to its arrival being handled on the UI thread.
// Usage: hotplug_bench [idle-seconds] [plug-rounds]

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include "device_access/device_scanner.h"
#include "sim/hid_backends.h"
#include "sim/sim_bus.h"
#include "sim/sim_products.h"

using namespace q731;
using WallClock = std::chrono::steady_clock;

namespace {

double ThreadCpuSeconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 20;

    // 1. Idle scan thread.
    {
        auto bus = std::make_shared<SimBus>();
        PlugFullFamily(*bus);
        DeviceList list;
        UiLoop loop;
        std::thread ui([&] { loop.Run(); });
        DeviceScanner scanner(bus, list, loop, {[](int) {}, [](int) {}, [] {}, {}});
        StopEvent stop;
        clockid_t cpuClock{};
        std::atomic<bool> ready{false};
        std::thread scan([&] {
            pthread_getcpuclockid(pthread_self(), &cpuClock);
            ready = true;
            RunWorkerLoop({nullptr, &stop}, SteadyClock::Instance(), [&] {
                scanner.RunPass();
                return DeviceScanner::kPeriod;
            });
        });
        while (!ready)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // first passes claim all
        const double cpuBefore = ThreadCpuSeconds(cpuClock);
        const int passesBefore = scanner.Passes();
        const int listingsBefore = scanner.Listings();
        const auto wallBefore = WallClock::now();
        std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
        const double cpu = ThreadCpuSeconds(cpuClock) - cpuBefore;
        const double wall = std::chrono::duration<double>(WallClock::now() - wallBefore).count();
        std::printf(
            "idle scan thread: %.3f ms CPU in %.1f s = %.4f%% of one core "
            "(%d passes, %d listings)\n",
            cpu * 1e3, wall, 100.0 * cpu / wall, scanner.Passes() - passesBefore,
            scanner.Listings() - listingsBefore);
        stop.Set();
        scan.join();
        loop.Quit();
        ui.join();
    }

    // 2. Plug to arrival.
    {
        auto bus = std::make_shared<SimBus>();
        DeviceList list;
        UiLoop loop;
        std::atomic<long long> arrivedAt{0};
        std::thread ui([&] { loop.Run(); });
        DeviceScanner scanner(
            bus, list, loop,
            {[&](int) { arrivedAt = WallClock::now().time_since_epoch().count(); },
             [](int) {},
             [] {},
             {}});
        StopEvent stop;
        std::thread scan([&] {
            RunWorkerLoop({nullptr, &stop}, SteadyClock::Instance(), [&] {
                scanner.RunPass();
                return DeviceScanner::kPeriod;
            });
        });
        std::mt19937 random(731);
        std::vector<double> latencies;
        for (int round = 0; round < rounds; ++round) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50 + random() % 200));
            arrivedAt = 0;
            const auto plugged = WallClock::now();
            const int unit = bus->Plug(MousePadProduct());
            while (arrivedAt == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            latencies.push_back(
                std::chrono::duration<double, std::milli>(
                    WallClock::time_point(WallClock::duration(arrivedAt.load())) - plugged)
                    .count());
            bus->Unplug(unit);
            std::this_thread::sleep_for(std::chrono::milliseconds(250));  // removal handled
        }
        std::sort(latencies.begin(), latencies.end());
        double sum = 0;
        for (double latency : latencies)
            sum += latency;
        std::printf(
            "plug to arrival: mean %.1f ms, median %.1f ms, max %.1f ms over %zu plugs "
            "(scan period %lld ms)\n",
            sum / static_cast<double>(latencies.size()), latencies[latencies.size() / 2],
            latencies.back(), latencies.size(),
            static_cast<long long>(DeviceScanner::kPeriod.count()));
        stop.Set();
        scan.join();
        loop.Quit();
        ui.join();
    }
    return 0;
}
