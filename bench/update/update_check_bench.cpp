// The settings window's update check from start to its final status, for the
// three rows of a mouse, a keyboard and the application, against servers on
// the loopback:
//  - Good: every row answered at once (TLS handshake and request per row).
//  - Refused: nothing listens; each row fails at connect.
//  - Silent: requests are taken in and never answered; each row waits out
//    the stall time-out (kStall here, 30 s in the program).
// Counters:
//  - ms_per_row: wall time per row.
//  - ratio_to_good: the case's time over the good server's (measured once).
//  - ratio_to_stall: the silent case's time per row over the stall time-out:
//    how close to its time-out a silent server lets the worker go.

#include <benchmark/benchmark.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "tests/update/update_fixture.h"
#include "update/http_client.h"
#include "update/update_check.h"

namespace q731 {
namespace {

using testing::TlsServer;

constexpr Millis kStall{100};

std::vector<UpdateRow> ThreeRows() {
    const FirmwareVersion devices[] = {{Product::Mouse, 0x0103}, {Product::Keyboard, 0x0100}};
    return RowsToCheck(devices, 1014);
}

HttpSettings BenchSettings() {
    HttpSettings settings = testing::TestSettings();
    settings.stallTimeout = kStall;
    return settings;
}

double SecondsForCheck(const std::string& url) {
    HttpClient client(BenchSettings());
    const auto start = std::chrono::steady_clock::now();
    const UpdateSummary summary = RunUpdateCheck(ThreeRows(), client, url, {}, {});
    benchmark::DoNotOptimize(summary.outcome);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Answers only after the client has given up. It lets go of the server's
// thread in the end: a server that held every request would run out of threads
// and stop taking connections at all.
TlsServer::Handler LateAnswer() {
    return [](const httplib::Request&, httplib::Response& response) {
        std::this_thread::sleep_for(kStall * 3);
        response.set_content("{}", "application/json");
    };
}

TlsServer::Handler GoodAnswer() {
    return [](const httplib::Request&, httplib::Response& response) {
        response.set_content(R"({"name":"n","version":"0104","version_name":"V"})",
                             "application/json");
    };
}

double GoodSeconds() {
    static const double seconds = [] {
        TlsServer server(GoodAnswer());
        SecondsForCheck(server.Url());  // the first handshake loads the CA store
        double total = 0;
        for (int run = 0; run < 5; ++run)
            total += SecondsForCheck(server.Url());
        return total / 5;
    }();
    return seconds;
}

enum class Server { Good, Refused, Silent };

void CheckThreeRows(benchmark::State& state) {
    const auto kind = static_cast<Server>(state.range(0));
    std::optional<TlsServer> server;
    std::string url = fmt::format("https://127.0.0.1:{}", testing::UnusedPort());
    if (kind != Server::Refused) {
        server.emplace(kind == Server::Silent ? LateAnswer() : GoodAnswer());
        url = server->Url();
    }
    const double good = GoodSeconds();
    double total = 0;
    for (auto _ : state) {
        const double seconds = SecondsForCheck(url);
        state.SetIterationTime(seconds);
        total += seconds;
    }
    const double perRun = total / static_cast<double>(state.iterations());
    const double rows = static_cast<double>(ThreeRows().size());
    state.counters["ms_per_row"] = perRun * 1000 / rows;
    state.counters["ratio_to_good"] = perRun / good;
    if (kind == Server::Silent) {
        state.counters["ratio_to_stall"] =
            perRun / rows / std::chrono::duration<double>(kStall).count();
    }
}
BENCHMARK(CheckThreeRows)
    ->ArgName("server")
    ->Arg(static_cast<int>(Server::Good))
    ->Arg(static_cast<int>(Server::Refused))
    ->Arg(static_cast<int>(Server::Silent))
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace q731

BENCHMARK_MAIN();
