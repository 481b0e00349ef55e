// The headset's lighting tick on the UI thread while its render thread sends
// the wave, with every LED report taking 1 ms on the simulated bus (a full-
// speed USB interrupt transfer). The tick only hands the picture on, so its
// cost must not grow with the reports: compared with the 12 ms a frame's
// twelve reports take on the wire, which a tick that sent them would cost.
//
// One step of the microphone level slider on the UI thread: the level written
// to the simulated configuration library (which answers at once: it models no
// latency) and recorded in the profile, under 1 ms. Every step also saves the
// profile; that save is timed on its own, to the disk the bench runs on.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "bench/support/bench_folder.h"
#include "headset/headset_audio.h"
#include "headset/hs6533_device.h"
#include "headset/sim_audio_conf.h"
#include "profiles/device_startup.h"
#include "profiles/hs6533_profiledata.h"
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

// The simulator logs every call; the log is emptied this often, outside the timing.
constexpr std::size_t kMaxLoggedCalls = 4096;

// The headset's current profile as the device starts it, in `deviceFolder`.
bool StartHeadsetProfile(const std::filesystem::path& deviceFolder, CHs6533Profiledata& profile) {
    std::filesystem::create_directories(deviceFolder);
    ProfileList list;
    NameLists names;
    return StartDeviceProfiles(Product::Headset, deviceFolder,
                               std::filesystem::path(Q731_SOURCE_DIR) / "DefaultData", profile,
                               list, names);
}

// The step without its save, which is counted: the library write and the
// profile document updated in memory.
void BM_HeadsetMicSliderWrite(benchmark::State& state) {
    const auto folder = BenchFolder("headset-slider-bench");
    CHs6533Profiledata profile;
    if (!StartHeadsetProfile(folder / "HD", profile)) {
        state.SkipWithError("no profile");
        std::filesystem::remove_all(folder);
        return;
    }
    std::unique_ptr<SimAudioConf> library = MakeSimAudioConf();
    std::uint64_t saves = 0;
    HeadsetAudio audio(
        library.get(), profile, [&saves] { return ++saves > 0; }, nullptr);
    audio.LoadFromProfile();
    audio.Start();
    if (!audio.RecordingEndpoint()) {
        state.SkipWithError("no recording endpoint");
        std::filesystem::remove_all(folder);
        return;
    }
    int level = 40;
    for (auto _ : state) {
        level = level == 40 ? 41 : 40;
        audio.View().SetMicLevel(level);
        audio.OnMicSlider();
        if (library->calls.size() >= kMaxLoggedCalls) {
            state.PauseTiming();
            library->calls.clear();
            state.ResumeTiming();
        }
    }
    // Each step must have reached the library and the profile, or the time
    // measured a step that did nothing.
    const std::optional<AudioValue> written =
        library->Stored(kSimRecordingId, "VolumeScalarControl", kAllChannels);
    if (!written || ScalarToLevel(AsNumber(*written)) != level ||
        profile.GetSystemSettings().micInValue != level) {
        state.SkipWithError("the level was not written");
    }
    state.counters["saves_per_step"] =
        static_cast<double>(saves) / static_cast<double>(state.iterations());
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_HeadsetMicSliderWrite)->MinTime(1.0)->Unit(benchmark::kMicrosecond);

// The save each step triggers: the whole profile rewritten atomically (a
// temporary file, fsync, rename, fsync of the folder).
void BM_HeadsetProfileSave(benchmark::State& state) {
    const auto folder = BenchFolder("headset-save-bench");
    CHs6533Profiledata profile;
    if (!StartHeadsetProfile(folder / "HD", profile)) {
        state.SkipWithError("no profile");
        std::filesystem::remove_all(folder);
        return;
    }
    HeadsetSystemSettings settings = profile.GetSystemSettings();
    for (auto _ : state) {
        settings.micInValue = settings.micInValue == 40 ? 41 : 40;
        profile.SetSystemSettings(settings);
        if (!profile.SaveProfile()) {
            state.SkipWithError("the profile was not saved");
            break;
        }
    }
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(profile.GetProfilePath(), error);
    if (!error) state.counters["file_bytes"] = static_cast<double>(bytes);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_HeadsetProfileSave)->MinTime(1.0)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace q731

BENCHMARK_MAIN();
