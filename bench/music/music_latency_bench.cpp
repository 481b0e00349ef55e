// Music lighting end to end, on a private sound server: how long a sound takes
// to light the keyboard, and what the companion costs while it records.
//
//   tests/support/private_pulse.sh build/bench/music/music_bench [bursts]   (default 120)
//
// A feeder thread keeps a low-latency playback stream into the null sink fed
// with silence and, when asked, plays a tone burst (80 Hz at half full scale
// for 150 ms). A burst's onset is when the sink plays its first sample: the
// moment that sample was written plus the stream's latency at that moment.
// The real companion records the sink's monitor; its frames go through the
// analyser to a simulated keyboard by cable (1 ms modelled USB round trip)
// showing music, wired as the application wires them: frames and the 50 ms
// lighting tick on the UI loop, the keyboard's render thread drawing its LED
// colour list. Each burst starts from a dark keyboard after a random pause,
// and two delays are taken from its onset:
//   - to the first lit key in the keyboard's LED colour list (polled every
//     0.2 ms), the target being p95 < 50 ms;
//   - to the first light-frame report with a colour that the simulated
//     keyboard receives (the stream follows the 50 ms lighting tick).
// A row of the bursts that lit a key while still sounding follows (a burst lit
// only by its end would show there as missing). The companion's CPU (utime + stime of
// /proc/<pid>/stat) is taken over the bursts and over five seconds of continuous tone; the target
// is < 2% of a core.

#include <pulse/error.h>
#include <pulse/simple.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <numbers>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "lighting_extras/music_analyser.h"
#include "lighting_extras/music_companion.h"
#include "platform/ui_loop.h"
#include "tests/music_e2e/music_rig.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;
using BenchClock = std::chrono::steady_clock;

constexpr int kRate = 48000;
constexpr int kToneHz = 80;                 // the keyboard's 25 levels cover 30-140 Hz
constexpr int kChunkSamples = kRate / 400;  // 2.5 ms per write
constexpr auto kBurst = 150ms;
constexpr auto kUsbLatency = std::chrono::microseconds(1000);

std::int64_t Nanos(BenchClock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

// Between the bus and the firmware: when the first light-frame report with a
// colour arrives after Arm.
class StreamWatch final : public ISimFirmware {
public:
    explicit StreamWatch(std::shared_ptr<SimCommandFirmware> inner) : inner_(std::move(inner)) {}

    bool OnOutputReport(std::uint16_t interfaceNumber, std::span<const std::uint8_t> report,
                        const SimPort& port) override {
        if (armed_.load() && music_rig::LitLightFrame(report)) {
            std::int64_t none = 0;
            firstLit_.compare_exchange_strong(none, Nanos(BenchClock::now()));
        }
        return inner_->OnOutputReport(interfaceNumber, report, port);
    }
    void Arm() {
        firstLit_.store(0);
        armed_.store(true);
    }
    // Nanoseconds on the bench clock; 0 while none came.
    std::int64_t FirstLit() const { return firstLit_.load(); }

private:
    std::shared_ptr<SimCommandFirmware> inner_;
    std::atomic<bool> armed_{false};
    std::atomic<std::int64_t> firstLit_{0};
};

// The playback stream into the default sink, written on a thread of its own.
class TonePlayer {
public:
    ~TonePlayer() {
        stop_.store(true);
        if (thread_.joinable()) thread_.join();
        if (stream_ != nullptr) pa_simple_free(stream_);
    }

    bool Open(std::string* error) {
        const pa_sample_spec format{PA_SAMPLE_S16LE, kRate, 1};
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = kRate / 100 * 2;  // 10 ms queued ahead of the sink
        attr.prebuf = static_cast<std::uint32_t>(-1);
        attr.minreq = kChunkSamples * 2;
        attr.fragsize = static_cast<std::uint32_t>(-1);
        int code = 0;
        stream_ = pa_simple_new(nullptr, "q731 music bench", PA_STREAM_PLAYBACK, nullptr,
                                "tone bursts", &format, nullptr, &attr, &code);
        if (stream_ == nullptr) {
            *error = std::string("playback stream: ") + pa_strerror(code);
            return false;
        }
        thread_ = std::thread([this] { Feed(); });
        return true;
    }

    // Plays `length` of tone from the next chunk on; its onset follows.
    void Burst(std::chrono::milliseconds length) {
        onset_.store(0);
        latencyUs_.store(0);
        remaining_.store(static_cast<int>(length.count() * kRate / 1000));
    }
    void Continuous(bool on) {
        continuous_.store(on);
        if (!on) remaining_.store(0);
    }
    bool Playing() const { return remaining_.load() > 0; }
    std::int64_t Onset() const { return onset_.load(); }
    std::int64_t LatencyUs() const { return latencyUs_.load(); }
    bool Failed() const { return failed_.load(); }

private:
    void Feed() {
        std::vector<std::int16_t> chunk(kChunkSamples);
        long phase = 0;
        while (!stop_.load()) {
            // A continuous tone never reaches its end, so its phase runs on.
            const bool continuous = continuous_.load();
            const int remaining = continuous ? kChunkSamples + 1 : remaining_.load();
            const bool starts = remaining > 0 && phase == 0;
            for (int i = 0; i < kChunkSamples; ++i) {
                if (i < remaining) {
                    const double angle = 2.0 * std::numbers::pi * kToneHz * phase++ / kRate;
                    chunk[static_cast<std::size_t>(i)] =
                        static_cast<std::int16_t>(std::lround(16384.0 * std::sin(angle)));
                } else {
                    chunk[static_cast<std::size_t>(i)] = 0;
                }
            }
            if (remaining <= kChunkSamples) phase = 0;
            int code = 0;
            if (starts) {
                // What is queued now plays before this chunk's first sample.
                const pa_usec_t latency = pa_simple_get_latency(stream_, &code);
                latencyUs_.store(static_cast<std::int64_t>(latency));
                onset_.store(Nanos(BenchClock::now()) + static_cast<std::int64_t>(latency) * 1000);
            }
            if (pa_simple_write(stream_, chunk.data(), chunk.size() * sizeof(std::int16_t), &code) <
                0) {
                std::fprintf(stderr, "playback: %s\n", pa_strerror(code));
                failed_.store(true);
                return;
            }
            if (!continuous && remaining > 0)
                remaining_.store(std::max(0, remaining - kChunkSamples));
        }
    }

    pa_simple* stream_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> continuous_{false};
    std::atomic<int> remaining_{0};
    std::atomic<std::int64_t> onset_{0};
    std::atomic<std::int64_t> latencyUs_{0};
    std::atomic<bool> failed_{false};
};

// utime + stime of `pid` in seconds; nothing when it cannot be read.
std::optional<double> CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(in, text)) return std::nullopt;
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    // After the command name: state is field 3, utime 14, stime 15.
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    for (int i = 3; i < 14; ++i)
        fields >> field;
    unsigned long long utime = 0;
    unsigned long long stime = 0;
    if (!(fields >> utime >> stime)) return std::nullopt;
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Nearest-rank percentile of sorted `values`.
double Percentile(const std::vector<double>& values, double p) {
    if (values.empty()) return NAN;
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * values.size()));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

void PrintRow(const char* what, std::vector<double> ms, int bursts, const char* target) {
    std::sort(ms.begin(), ms.end());
    std::printf("  %-44s %7.1f %7.1f %7.1f  %4zu/%-4d %s\n", what, Percentile(ms, 50),
                Percentile(ms, 95), ms.empty() ? NAN : ms.back(), ms.size(), bursts, target);
}

struct Results {
    std::vector<double> toLed;
    std::vector<double> toStream;
    std::vector<double> playbackLatency;
    double burstCpu = NAN, burstWall = 0, toneCpu = NAN, toneWall = 0;
};

// Runs on its own thread while the UI loop runs; quits the loop at the end.
bool Drive(int bursts, UiLoop& loop, music_rig::SimMusicKeyboard& keyboard, StreamWatch& watch,
           TonePlayer& player, const std::atomic<int>& frames, pid_t companion, Results& out) {
    auto waitFor = [](const std::function<bool()>& done, auto limit, auto period) {
        const auto deadline = BenchClock::now() + limit;
        while (!done()) {
            if (BenchClock::now() > deadline) return false;
            std::this_thread::sleep_for(period);
        }
        return true;
    };
    if (!waitFor([&] { return frames.load() > 50; }, 20s, 10ms)) {
        std::fprintf(stderr, "no frames from the companion\n");
        return false;
    }
    auto dark = [&] { return !keyboard.AnyKeyLit() && !keyboard.FrameRegionLit(); };
    std::mt19937 random(731);
    std::uniform_int_distribution<int> pauseUs(0, 100000);

    const std::optional<double> cpuBefore = CpuSeconds(companion);
    const auto wallBefore = BenchClock::now();
    for (int i = 0; i < bursts && !player.Failed(); ++i) {
        // Dark for 100 ms in a row, then a random pause off the ticks' beat.
        auto darkSince = BenchClock::now();
        const bool settled = waitFor(
            [&] {
                if (!dark()) darkSince = BenchClock::now();
                return BenchClock::now() - darkSince > 100ms;
            },
            5s, 1ms);
        if (!settled) {
            std::fprintf(stderr, "burst %d: the keyboard did not go dark\n", i);
            continue;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(pauseUs(random)));
        watch.Arm();
        player.Burst(kBurst);
        std::int64_t led = 0;
        (void)waitFor(
            [&] {
                if (keyboard.AnyKeyLit()) led = Nanos(BenchClock::now());
                return led != 0;
            },
            1s, 200us);
        (void)waitFor([&] { return watch.FirstLit() != 0; }, 1s, 1ms);
        (void)waitFor([&] { return !player.Playing(); }, 2s, 1ms);
        const std::int64_t onset = player.Onset();
        if (onset == 0) continue;
        out.playbackLatency.push_back(player.LatencyUs() / 1000.0);
        if (led != 0) out.toLed.push_back((led - onset) / 1e6);
        if (watch.FirstLit() != 0) out.toStream.push_back((watch.FirstLit() - onset) / 1e6);
    }
    const std::optional<double> cpuAfter = CpuSeconds(companion);
    out.burstWall = std::chrono::duration<double>(BenchClock::now() - wallBefore).count();
    if (cpuBefore && cpuAfter) out.burstCpu = *cpuAfter - *cpuBefore;

    player.Continuous(true);
    std::this_thread::sleep_for(500ms);
    const std::optional<double> toneBefore = CpuSeconds(companion);
    const auto toneWallBefore = BenchClock::now();
    std::this_thread::sleep_for(5s);
    const std::optional<double> toneAfter = CpuSeconds(companion);
    out.toneWall = std::chrono::duration<double>(BenchClock::now() - toneWallBefore).count();
    if (toneBefore && toneAfter) out.toneCpu = *toneAfter - *toneBefore;
    player.Continuous(false);

    loop.Post([&loop] { loop.Quit(); });
    return !player.Failed();
}

int Run(int bursts) {
    const char* server = std::getenv("PULSE_SERVER");
    const char* runtimeBase = std::getenv("XDG_RUNTIME_DIR");
    if (server == nullptr || runtimeBase == nullptr) {
        std::fprintf(stderr,
                     "run through tests/support/private_pulse.sh (a private sound server)\n");
        return 2;
    }
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    const fs::path folder = fs::path(runtimeBase) / "music-bench";
    const fs::path runtime = folder / "runtime";
    fs::create_directories(runtime);

    auto firmware = std::make_shared<SimCommandFirmware>(SimChannel::Wired, KeyboardMemoryLayout());
    auto watch = std::make_shared<StreamWatch>(firmware);
    music_rig::SimMusicKeyboard keyboard(folder, kUsbLatency, watch, firmware);
    std::string error;
    if (!keyboard.Start(CVexloKeyboardDevice::kMusicMode, &error)) {
        std::fprintf(stderr, "keyboard: %s\n", error.c_str());
        return 1;
    }
    TonePlayer player;
    if (!player.Open(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    UiLoop loop(SteadyClock::Instance());
    loop.BindToCurrentThread();
    MusicAnalyser analyser(SteadyClock::Instance());
    analyser.SetKeyboardSink(
        [&](std::span<const std::int32_t> levels) { keyboard.Device().PushAudioLevels(levels); });
    const pid_t pid = music_rig::SpawnCompanion(Q731_COMPANION_PROGRAM, runtime, 10);
    music_rig::ChildGuard child(pid);
    if (pid <= 0) {
        std::fprintf(stderr, "cannot start the companion\n");
        return 1;
    }
    MusicCompanionSetup setup;
    setup.runtimeFolder = runtime;
    setup.launch = [](std::string*) { return true; };  // started above
    MusicCompanion companion(loop, setup);
    std::atomic<int> frames{0};
    companion.SetFrameHandler([&](int type, std::string payload) {
        frames.fetch_add(1);
        (void)analyser.HandleBlock(type, payload);
    });
    companion.SetCaptureWanted([&] { return keyboard.ShowsMusic(); });
    const int owner = 0;
    loop.SetTimer(&owner, 1, Millis(50), [&] { keyboard.Device().LightTick(); });
    loop.SetTimer(&owner, 2, Millis(100), [&] {
        analyser.CheckSilence();
        if (!companion.Connected()) (void)companion.ConnectNow();
        companion.UpdateCapture();
    });

    Results results;
    bool ok = false;
    std::thread driver([&] {
        ok = Drive(bursts, loop, keyboard, *watch, player, frames, pid, results);
        loop.Post([&loop] { loop.Quit(); });
    });
    loop.Run();
    driver.join();
    loop.KillTimers(&owner);
    companion.Shutdown();
    const std::optional<int> exitStatus = child.Wait(10s);
    std::error_code ec;
    fs::remove_all(folder, ec);
    if (!ok) return 1;

    std::printf(
        "music lighting: %d bursts of %d Hz for %lld ms into a null sink; keyboard by cable, "
        "%lld ms modelled USB round trip\n",
        bursts, kToneHz, static_cast<long long>(kBurst.count()),
        static_cast<long long>(kUsbLatency.count() / 1000));
    std::printf("  %-44s %7s %7s %7s  %9s\n", "from the onset in the sink to (ms)", "p50", "p95",
                "max", "bursts");
    PrintRow("the first lit key in the LED colour list", results.toLed, bursts,
             "(target p95 < 50)");
    PrintRow("the first lit light-frame report", results.toStream, bursts, "");
    // Keys first lit after the tone stopped were lit by its end, not its onset.
    std::vector<double> beforeEnd;
    std::copy_if(results.toLed.begin(), results.toLed.end(), std::back_inserter(beforeEnd),
                 [](double ms) { return ms < static_cast<double>(kBurst.count()); });
    PrintRow("the first lit key, bursts lit while sounding", beforeEnd, bursts, "");
    PrintRow("(playback queue ahead of the onset)", results.playbackLatency, bursts, "");
    std::printf(
        "  companion CPU while recording: bursts %.1f s: %.2f%% of one core; "
        "continuous tone %.1f s: %.2f%% (target < 2%%)\n",
        results.burstWall, 100.0 * results.burstCpu / results.burstWall, results.toneWall,
        100.0 * results.toneCpu / results.toneWall);
    if (exitStatus != std::optional<int>(0)) {
        std::fprintf(stderr, "the companion did not end cleanly on exit\n");
        return 1;
    }
    return 0;
}

}  // namespace
}  // namespace q731

int main(int argc, char** argv) {
    const int bursts = argc > 1 ? std::atoi(argv[1]) : 120;
    return q731::Run(bursts > 0 ? bursts : 120);
}
