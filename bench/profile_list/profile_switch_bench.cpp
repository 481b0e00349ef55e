// Switching the simulated keyboard between two profiles from its page's
// profile panel, as the main window does it once a choice settles: the list
// stored, the profile loaded, settings, macros and key table sent, by cable
// with a modelled 1 ms USB round trip.
//  - frames, sessions: frames and configuration sessions per switch.
//  - ratio_to_model: wall time ÷ (frames × 1 ms + 10 ms per session, the
//    pause before LeaveConfig the firmware needs to commit).
//  - host_ms: what the switch costs beyond the modelled link (file work and
//    the host's own processing): wall time − the model, per switch.
// SwitchWithoutLatency shows the same switch with an instant device.

#include <benchmark/benchmark.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <filesystem>

#include "app/device_tabs.h"
#include "device_access/device_path.h"
#include "devices/keyboard_device.h"
#include "profiles/macro_store.h"
#include "sim/sim_firmware.h"
#include "sim/sim_products.h"
#include "ui/controls/custom_controls.h"
#include "ui/pages/kind_pages.h"
#include "ui/widgets/dialog_builder.h"
#include "ui/widgets/list.h"

namespace q731 {
namespace {

namespace fs = std::filesystem;

struct Rig {
    explicit Rig(std::chrono::microseconds latency) : pm(loop) {
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        root = fs::temp_directory_path() / ("q731-switch-bench-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "keyboard");
        firmware = std::make_shared<SimCommandFirmware>(SimChannel::Wired, KeyboardMemoryLayout());
        std::vector<std::uint8_t> table;
        for (const AssignmentCode& code : kKeyboardFactoryCodes)
            table.insert(table.end(), {code.type, code.value1, code.value2});
        firmware->FillRegion(SimRegion::KeyTable, 0, table);
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
            if (ids.interfaceNumber == kSimCommandInterface && ids.collection == 4)
                ready = device->Link().OpenChannel(Channel::Cable, path) && ready;
        }
        ready = device->Connect() == LinkResult::Ok && ready;

        // The first profile: three keys on macros of ten events each.
        MacroStore store(root / "keyboard", Product::Keyboard);
        for (int macro = 0; macro < 3; ++macro) {
            store.AddMacro();
            store.SaveEvents(macro, "m", std::vector<MacroEvent>(10, {"down", 10, 4, 20}));
            ready = device->StoreKeyAssignment(
                        macro,
                        AssignmentCode::FromInt(0x700000u | static_cast<unsigned>(macro) << 8)) &&
                    ready;
        }
        ready = device->SaveProfile() && ready;

        // The page with its profile panel only.
        RegisterCustomControls();
        CDialogBuilder builder;
        pm.AttachDialog(builder.Create(
            "<Window size='400,200'><VerticalLayout><DeviceProfile>"
            "<Combo name='device_profile_combo'/><Edit name='device_profile_name_edit'/>"
            "</DeviceProfile></VerticalLayout></Window>",
            {}, nullptr, &pm));
        PageContext context;
        context.manager = &pm;
        context.root = pm.GetRoot();
        context.device = device.get();
        page = MakeDevicePage(std::move(context));
        page->BuildPage();
        combo = dynamic_cast<CComboUI*>(pm.FindControl("device_profile_combo"));
        ready = combo != nullptr && page->OnProfile({PageNotify::Click, "device_copy_btn"}) &&
                combo->GetCount() == 2 && ready;
        firmware->SetLatency(latency);
    }
    ~Rig() {
        page.reset();
        device.reset();
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    void Switch(int index) {
        combo->SelectItem(index, false, false);
        page->SwitchProfile();
    }

    fs::path root;
    std::shared_ptr<SimBus> bus = std::make_shared<SimBus>();
    std::shared_ptr<SimCommandFirmware> firmware;
    std::unique_ptr<CVexloKeyboardDevice> device;
    UiLoop loop;
    CPaintManagerUI pm;
    std::unique_ptr<CDevicePage> page;
    CComboUI* combo = nullptr;
    bool ready = false;
};

int Sessions(const SimCommandFirmware& firmware) {
    int sessions = 0;
    for (const SimFrameRecord& record : firmware.FrameLog())
        sessions += record.toDevice && record.bytes.size() > 3 && record.bytes[3] == 0x01 ? 1 : 0;
    return sessions;
}

void SwitchProfile1ms(benchmark::State& state) {
    Rig rig(std::chrono::microseconds(1000));
    if (!rig.ready) state.SkipWithError("the simulated keyboard is not ready");
    int frames = 0;
    int sessions = 0;
    int index = 0;
    for (auto _ : state) {
        rig.firmware->ClearLog();
        const int before = rig.firmware->FramesReceived();
        rig.Switch(index ^= 1);
        frames = rig.firmware->FramesReceived() - before;
        sessions = Sessions(*rig.firmware);
    }
    const double iterations = static_cast<double>(state.iterations());
    const double model = frames * 0.001 + sessions * 0.010;
    state.counters["frames"] = frames;
    state.counters["sessions"] = sessions;
    state.counters["ratio_to_model"] = benchmark::Counter(
        iterations * model, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["model_ms"] = model * 1000;
}
BENCHMARK(SwitchProfile1ms)->Unit(benchmark::kMillisecond)->UseRealTime();

void SwitchWithoutLatency(benchmark::State& state) {
    Rig rig(std::chrono::microseconds(0));
    if (!rig.ready) state.SkipWithError("the simulated keyboard is not ready");
    int index = 0;
    for (auto _ : state) {
        rig.firmware->ClearLog();
        rig.Switch(index ^= 1);
    }
}
BENCHMARK(SwitchWithoutLatency)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace q731

BENCHMARK_MAIN();
