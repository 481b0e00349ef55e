// q731ctl's requests end to end: the control centre runs windowless on the
// offscreen platform with the simulated family in a private runtime folder,
// and one client asks, one request after the other, for the device list and
// for the mouse's DPI stages, then sets a stage. Each row gives the requests
// per second and the reply time's p50, p99 and maximum; the target is at
// least 1,000 simple requests per second.
//
//   build/bench/control/control_bench [requests]   (default 2000)

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/message_bus.h"
#include "platform/message_names.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Row {
    const char* what;
    std::string request;
};

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return values[at];
}

}  // namespace

int main(int argc, char** argv) {
    const int requests = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    char pattern[] = "/tmp/q731-control-bench-XXXXXX";
    const fs::path folder = ::mkdtemp(pattern);
    fs::create_directories(folder / "run");
    fs::permissions(folder / "run", fs::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", (folder / "run").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("Q731_DEVICES", "sim", 1);
    ::setenv("Q731_NO_MUSIC_COMPANION", "1", 1);
    ::setenv("Q731_LOG", "warning", 1);
    ::setenv("Q731_LOG_FILE", (folder / "log").c_str(), 1);

    char* appArgv[] = {const_cast<char*>(Q731_CONTROL_CENTRE), nullptr};
    pid_t app = -1;
    if (::posix_spawn(&app, Q731_CONTROL_CENTRE, nullptr, nullptr, appArgv, environ) != 0) {
        std::fprintf(stderr, "control_bench: cannot start %s\n", Q731_CONTROL_CENTRE);
        return 1;
    }
    const fs::path socket = q731::BusSocketPath(folder / "run" / "q731-control-center");
    const std::string devicesRequest = R"({"op":"devices"})";
    // Up when the devices answer: all four simulated products connected.
    bool ready = false;
    for (int i = 0; i < 200 && !ready; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto answer = q731::RequestBusMessage(
            socket, {std::string(q731::messages::kControlRequest), 1, 0, devicesRequest}, 2000);
        ready = answer && answer->payload.find("\"connected\":false") == std::string::npos;
        for (const char* product : {"\"mouse\"", "\"keyboard\"", "\"mouse pad\"", "\"headset\""})
            ready = ready && answer->payload.find(product) != std::string::npos;
    }
    if (!ready) {
        std::fprintf(
            stderr, "control_bench: the control centre never answered with its devices (log: %s)\n",
            (folder / "log").c_str());
        ::kill(app, SIGKILL);
        ::waitpid(app, nullptr, 0);
        return 1;
    }

    const Row rows[] = {
        {"devices (the list)", devicesRequest},
        {"dpi mouse (the stages)", R"({"op":"dpi","device":"mouse"})"},
        {"dpi mouse --stage 2 --set (a write)",
         R"({"op":"dpi","device":"mouse","stage":2,"set":1600})"},
    };
    std::printf("q731ctl requests, one client, %d each, to the simulated family\n", requests);
    std::printf("  %-38s %10s %9s %9s %9s %8s\n", "request", "per second", "p50 ms", "p99 ms",
                "max ms", "failed");
    int status = 0;
    for (const Row& row : rows) {
        std::vector<double> times;
        int failed = 0;
        const auto start = Clock::now();
        for (int i = 0; i < requests; ++i) {
            const auto sent = Clock::now();
            const auto answer = q731::RequestBusMessage(
                socket, {std::string(q731::messages::kControlRequest), i, 0, row.request}, 2000);
            times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
            if (!answer || answer->lParam != 0) {
                if (failed++ == 0) {
                    std::fprintf(stderr, "control_bench: %s: %s\n", row.what,
                                 answer ? answer->payload.c_str() : "no answer");
                }
            }
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("  %-38s %10.0f %9.2f %9.2f %9.2f %8d\n", row.what, requests / seconds,
                    Percentile(times, 0.5), Percentile(times, 0.99), Percentile(times, 1.0),
                    failed);
        if (failed > 0) status = 1;
    }
    std::printf("  (target: at least 1,000 simple requests per second)\n");
    ::kill(app, SIGTERM);
    ::waitpid(app, nullptr, 0);
    std::error_code ec;
    if (status == 0) fs::remove_all(folder, ec);
    return status;
}
