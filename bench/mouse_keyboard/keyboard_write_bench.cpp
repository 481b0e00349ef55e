// Writing a keyboard's full state (settings, key table, macros, custom colours)
// by cable with a modelled 1 ms USB round trip.
//  - frames: frames the keyboard receives per write of the full state.
//  - ratio_to_frames: wall time ÷ (frames × 1 ms).
//  - ratio_to_model: wall time ÷ (frames × 1 ms + 10 ms per configuration
//    session): the link waits 10 ms before each LeaveConfig, which the
//    firmware needs to commit; this ratio shows the host's own overhead.

#include <benchmark/benchmark.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <filesystem>

#include "app/device_tabs.h"
#include "device_access/device_path.h"
#include "devices/keyboard_device.h"
#include "profiles/document_file.h"
#include "profiles/macro_store.h"
#include "sim/sim_firmware.h"
#include "sim/sim_products.h"

namespace q731 {
namespace {

namespace fs = std::filesystem;

constexpr int kSessions = 3;  // settings, key table, macros; colours need none
constexpr auto kLatency = std::chrono::microseconds(1000);

struct Rig {
    Rig() {
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        root = fs::temp_directory_path() / ("q731-mk-bench-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "keyboard");
        firmware = std::make_shared<SimCommandFirmware>(SimChannel::Wired, KeyboardMemoryLayout());
        std::vector<std::uint8_t> table;
        for (const AssignmentCode& code : kKeyboardFactoryCodes)
            table.insert(table.end(), {code.type, code.value1, code.value2});
        firmware->FillRegion(SimRegion::KeyTable, 0, table);
        std::vector<std::uint8_t> ledMap;
        for (int key = 0; key < kKeyboardLogicalKeys; ++key)
            ledMap.push_back(static_cast<std::uint8_t>(key));
        firmware->FillRegion(SimRegion::LedMap, 0, ledMap);
        const int unit = bus->Plug(KeyboardWiredProduct(), firmware);

        device = std::make_unique<CVexloKeyboardDevice>(bus);
        const ProductRecord& record = RecordOf(Product::Keyboard);
        device->SetNames(std::string(TabOf(Product::Keyboard).pageLayout), "keyboard",
                         std::string(record.lightingConfig));
        device->SetKeyCount(record.keyCount);
        device->SetLedCount(record.ledCount);
        device->SetFolders({root / "keyboard", fs::path(Q731_SOURCE_DIR) / "DefaultData"});
        device->SetProfileMode(record.profileMode);
        ready = device->StartProfiles();
        device->Initialise();
        for (const std::string& path : bus->PathsOf(unit)) {
            const PathIds ids = ParseDevicePath(path);
            if (ids.interfaceNumber == kSimCommandInterface && ids.collection == 4) {
                ready = device->Link().OpenChannel(Channel::Cable, path) && ready;
            }
        }
        ready = device->Connect() == LinkResult::Ok && ready;

        // Real factory codes as the profile's defaults, three keys on macros.
        MacroStore store(root / "keyboard", Product::Keyboard);
        Json::Value document = device->Profile().Document();
        for (int key = 0; key < kKeyboardLogicalKeys; ++key) {
            const std::uint32_t code = kKeyboardFactoryCodes[static_cast<std::size_t>(key)].ToInt();
            document["KeyList"][key]["Assignment"] = code;
            document["KeyList"][key]["DefaultAssignment"] = code;
        }
        for (int macro = 0; macro < 3; ++macro) {
            store.AddMacro();
            store.SaveEvents(macro, "m", std::vector<MacroEvent>(10, {"down", 10, 4, 20}));
            document["KeyList"][macro]["Assignment"] = 0x700000u | static_cast<unsigned>(macro)
                                                                       << 8;
        }
        device->Profile().SetDocument(document);
        LightSetting light = device->GetLightInfo();
        light.selectItem = CVexloKeyboardDevice::kCustomMode;
        device->SetLightInfo(light);
        device->Leds().Fill({10, 20, 30, 255});
        firmware->SetLatency(kLatency);
    }
    ~Rig() {
        device.reset();
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    fs::path root;
    std::shared_ptr<SimBus> bus = std::make_shared<SimBus>();
    std::shared_ptr<SimCommandFirmware> firmware;
    std::unique_ptr<CVexloKeyboardDevice> device;
    bool ready = false;
};

void KeyboardFullStateWrite1ms(benchmark::State& state) {
    Rig rig;
    if (!rig.ready) state.SkipWithError("the simulated keyboard is not ready");
    int frames = 0;
    for (auto _ : state) {
        const int before = rig.firmware->FramesReceived();
        const bool ok = rig.device->WriteSettings() == LinkResult::Ok &&
                        rig.device->WriteKeys() == LinkResult::Ok &&
                        rig.device->WriteMacros() == MacroWriteResult::Written &&
                        rig.device->SendCustomColours() == LinkResult::Ok;
        if (!ok) state.SkipWithError("a write failed");
        frames = rig.firmware->FramesReceived() - before;
        rig.firmware->ClearLog();
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["frames"] = frames;
    state.counters["ratio_to_frames"] = benchmark::Counter(
        iterations * frames * 0.001, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["ratio_to_model"] =
        benchmark::Counter(iterations * (frames * 0.001 + kSessions * 0.010),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(KeyboardFullStateWrite1ms)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace q731

BENCHMARK_MAIN();
