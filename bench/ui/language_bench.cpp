// A language switch as the user makes it: the main window with the mouse and
// keyboard pages built, the about window and the skin window open. One switch
// loads the language file, rebuilds the shared fonts (Chinese and English use
// different families), re-reads the key captions, and lays out and paints
// every window at 144 dpi with QPainter, as the native windows then do.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <filesystem>

#include "app/about_window.h"
#include "app/device_tabs.h"
#include "app/main_window.h"
#include "app/skin.h"
#include "devices/keyboard_device.h"
#include "devices/mouse_device.h"
#include "platform/files.h"
#include "sim/sim_bus.h"
#include "ui/qt/qt_platform.h"
#include "ui/qt/qt_renderer.h"
#include "ui/widgets/headless.h"
#include "ui/widgets/resource_manager.h"

namespace q731 {
namespace {

namespace fs = std::filesystem;

struct Program {
    Program() {
        char pattern[] = "/tmp/q731-language-bench-XXXXXX";
        data = ::mkdtemp(pattern);
        SetUiPlatform(&platform);
        CPaintManagerUI::SetResourcePath(Q731_SOURCE_DIR "/skin");
        CResourceManager::GetInstance().LoadResource("res.xml");
        CControlFactory::GetInstance().RegistControl(
            "DeviceOption", [] { return std::make_unique<CDeviceOptionUI>(); });
        CControlFactory::GetInstance().RegistControl(
            "MpDevicePower", [] { return std::make_unique<CMpDevicePowerUI>(); });
        MainWindowServices services;
        services.languageTable = fs::path(Q731_SOURCE_DIR) / "DefaultData/Language.config";
        services.locale = "en_US.UTF-8";
        window = std::make_unique<CMainWnd>(loop, devices, registry, services);
        window->Create(nullptr, "Gaming Keyboard Q731 Control Center", kWsPopup);
        loop.ProcessPending();
        window->SendMessage(registry.Register("Q731"));
        window->GetPaintManager()->SetDPI(144);
        window->ResizeClient(1500, 960);
        about = std::make_unique<CAboutWnd>(loop);
        about->Create(window.get(), "  ", kWsPopup | kWsVisible, kWsExToolWindow);
        if (CControlUI* button = window->GetPaintManager()->FindControl("skinbtn"))
            CSkinFrame::Show(*window, *button, CSkinChangedObserver::Instance(), {});
    }
    ~Program() {
        if (CSkinFrame* skin = CSkinFrame::Current()) skin->Close(0);
        about.reset();
        loop.ProcessPending();
        window.reset();
        devices.Shutdown();
        SetUiPlatform(nullptr);
        fs::remove_all(data);
    }
    std::unique_ptr<CVexloUSBDevice> Make(Product product) {
        std::unique_ptr<CVexloUSBDevice> device;
        if (product == Product::Mouse) device = std::make_unique<CVexloMouseDevice>(bus);
        if (product == Product::Keyboard) device = std::make_unique<CVexloKeyboardDevice>(bus);
        if (!device) return nullptr;
        const DeviceTab& tab = TabOf(product);
        device->SetNames(std::string(tab.pageLayout), std::string(tab.tabName),
                         std::string(RecordOf(product).lightingConfig));
        device->SetFolders({data / tab.tabName, fs::path(Q731_SOURCE_DIR) / "DefaultData"});
        EnsureDirectory(data / tab.tabName);
        return device;
    }
    // Lays out and paints every window, as their next paint after the switch.
    void PaintAll() {
        for (CPaintManagerUI* pm : CPaintManagerUI::GetAllManagers()) {
            const UiSize size = pm->GetClientSize();
            if (size.cx <= 0 || size.cy <= 0) continue;
            QImage target(size.cx, size.cy, QImage::Format_ARGB32_Premultiplied);
            QPainter painter(&target);
            QtRenderer renderer(painter);
            pm->Paint(renderer, {0, 0, size.cx, size.cy});
        }
    }

    fs::path data;
    UiLoop loop;
    HeadlessPlatform platform{loop};
    MessageRegistry registry;
    std::shared_ptr<SimBus> bus = std::make_shared<SimBus>();
    DeviceManager devices{loop, bus, [this](Product product) { return Make(product); }};
    std::unique_ptr<CMainWnd> window;
    std::unique_ptr<CAboutWnd> about;
};

void BM_LanguageSwitch(benchmark::State& state) {
    Program program;
    program.PaintAll();
    int language = 1;
    for (auto _ : state) {
        language = 1 - language;
        program.window->SendMessage(main_msg::kLanguage, static_cast<WPARAM>(language));
        program.about->SendMessage(main_msg::kLanguage);
        program.PaintAll();
    }
    state.counters["windows"] = static_cast<double>(CPaintManagerUI::GetAllManagers().size());
}
BENCHMARK(BM_LanguageSwitch)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace q731
