#include "app/application.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "app/control_requests.h"
#include "app/device_tabs.h"
#include "app/main_window.h"
#include "app/system_events.h"
#include "app/window_fit.h"
#include "devices/device_manager.h"
#include "devices/generic_device.h"
#include "devices/keyboard_device.h"
#include "devices/mouse_device.h"
#include "devices/mouse_pad_device.h"
#include "headset/alsa_mixer.h"
#include "headset/hs6533_device.h"
#include "headset/sim_audio_conf.h"
#include "lighting_extras/music_companion.h"
#include "macros/desktop_capture.h"
#include "platform/folders.h"
#include "platform/key_store.h"
#include "platform/log.h"
#include "platform/message_names.h"
#include "platform/single_instance.h"
#include "platform/worker_slots.h"
#include "profiles/profile_paths.h"
#include "sim/hid_backends.h"
#include "ui/controls/custom_controls.h"
#include "ui/qt/qt_platform.h"
#include "ui/widgets/dialog_builder.h"
#include "ui/widgets/resource_manager.h"

namespace q731 {

namespace {

constexpr const char* kWindowTitle = "Gaming Keyboard Q731 Control Center";
// The private fonts, tried in this order; a missing one only means its family is
// not available.
constexpr const char* kFontFiles[] = {"Font/Simplified_Chinese.ttf", "Font/Galdorin-Regular.otf",
                                      "Font/NotoSansThai-Regular.ttf",
                                      "Font/NotoSansCJKtc-Regular.otf"};

std::unique_ptr<CVexloUSBDevice> MakeDevice(Product product,
                                            const std::shared_ptr<IHidBackend>& backend,
                                            const Folders& folders, bool simulated) {
    std::unique_ptr<CVexloUSBDevice> device;
    switch (product) {
        case Product::Mouse: {
            auto mouse = std::make_unique<CVexloMouseDevice>(backend);
            // The screen size the mouse is told is the primary screen's at start-up.
            if (IUiPlatform* platform = GetUiPlatform()) {
                const std::vector<ScreenInfo> screens = platform->Screens();
                if (!screens.empty()) {
                    const UiRect screen = screens.front().geometry;
                    mouse->SetScreenSize(screen.right - screen.left, screen.bottom - screen.top);
                }
            }
            device = std::move(mouse);
            break;
        }
        case Product::Keyboard:
            device = std::make_unique<CVexloKeyboardDevice>(backend);
            break;
        case Product::MousePad:
            device = std::make_unique<CVexloMousePadDevice>(backend);
            break;
        case Product::Headset: {
            auto headset = std::make_unique<CVexloHS6533Device>(backend);
            // The simulated family has a simulated sound card; a real headset's
            // sound settings go through its card's ALSA mixer.
            if (simulated) {
                headset->SetAudioLibrary(MakeSimAudioConf());
            } else {
                headset->SetAudioLibrary(MakeAlsaAudioConf(
                    folders.ConfigFolder(), DeviceFolderPath(folders, Product::Headset)));
            }
            device = std::move(headset);
            break;
        }
    }
    if (!device) return nullptr;
    const DeviceTab& tab = TabOf(product);
    device->SetNames(std::string(tab.pageLayout), std::string(tab.tabName),
                     std::string(RecordOf(product).lightingConfig));
    device->SetFolders({DeviceFolderPath(folders, product), folders.defaultData});
    return device;
}

// The locale messages are shown in, as the C library picks it.
std::string Locale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return {};
}

}  // namespace

int RunControlCentre(int argc, char** argv, const AppHooks& hooks) {
    const auto started = std::chrono::steady_clock::now();
    SystemEvents::BlockTerminationSignals();

    // One copy per user: a second start wakes the first and ends.
    const Folders folders = Folders::Detect();
    InstanceLock instance;
    std::string error;
    switch (ClaimInstance(folders.RuntimeFolder(), instance, &error)) {
        case InstanceRole::Secondary:
            return 0;
        case InstanceRole::Unresponsive:
            std::fprintf(stderr, "q731-control-center: %s\n", error.c_str());
            return 1;
        case InstanceRole::Failed:
            LogWarning("single-instance lock unavailable (" + error + "); starting anyway");
            break;
        case InstanceRole::Primary:
            break;
    }

    PrepareQtEnvironment();
    QApplication qtApp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    UiLoop loop;
    QtUiPlatform platform(loop);
    SetUiPlatform(&platform);

    for (const char* font : kFontFiles) {
        const std::filesystem::path file = folders.skin.parent_path() / font;
        std::error_code ec;
        if (std::filesystem::exists(file, ec)) platform.AddApplicationFont(file);
    }
    CPaintManagerUI::SetResourcePath(folders.skin.string());
    if (!CResourceManager::GetInstance().LoadResource("res.xml")) {
        std::fprintf(stderr, "q731-control-center: no skin in %s\n", folders.skin.c_str());
        SetUiPlatform(nullptr);
        return 0;
    }
    RegisterCustomControls();
    CControlFactory::GetInstance().RegistControl(
        "DeviceOption", [] { return std::make_unique<CDeviceOptionUI>(); });
    CControlFactory::GetInstance().RegistControl(
        "MpDevicePower", [] { return std::make_unique<CMpDevicePowerUI>(); });
    MessageRegistry& registry = MessageRegistry::Global();
    for (std::string_view name : messages::kProcessMessages)
        registry.Register(name);

    SelectedBackend hid = SelectHidBackend();
    DeviceManager devices(loop, hid.backend, [&](Product product) {
        return MakeDevice(product, hid.backend, folders, hid.simBus != nullptr);
    });
    // Before the workers: the sync thread must end before what it walks goes.
    LightingSync lightingSync(SteadyClock::Instance());
    // Outlives the workers: its watchdog is one of them.
    MusicCompanionSetup musicSetup;
    musicSetup.runtimeFolder = folders.RuntimeFolder();
    musicSetup.program = ExecutableFolder() / std::string(kCompanionProgram);
    std::optional<MusicCompanion> music;
    if (!musicSetup.runtimeFolder.empty() && !std::getenv("Q731_NO_MUSIC_COMPANION")) {
        music.emplace(loop, musicSetup);
    }
    WorkerSlots workers;
    // Who watches over the bus (UI thread); outlives the window that tells it.
    ControlWatchers watchers;
    MessageBusServer bus;
    std::unique_ptr<DeviceScanner> scanner;
    CMainWnd* window = nullptr;
    bool shownOnce = false;

    // The user's language choice, as the registry value "LANGUAGE" would keep it.
    const fs::path config = folders.ConfigFolder();
    std::optional<KeyStore> keys;
    if (!config.empty()) keys.emplace(config / "registry.ini");

    MainWindowServices services;
    services.languageTable = folders.defaultData / "Language.config";
    services.keyStore = keys ? &*keys : nullptr;
    services.locale = Locale();
    services.configFolder = config;
    services.trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    services.lightingSync = &lightingSync;
    services.userDataFolder = folders.UserDataFolder();
    services.defaultDataFolder = folders.defaultData;
    services.music = music ? &*music : nullptr;
    services.announce = [&watchers](const Json::Value& event) { watchers.Announce(event); };
    services.makeDesktopCapture = [&loop] {
        const char* chosen = std::getenv("Q731_CAPTURE");
        return MakeDesktopCapture(loop, SteadyClock::Instance(), chosen ? chosen : "");
    };
    services.startWorkers = [&] {
        scanner = devices.MakeScanner(
            [&] {
                // After the first pass, whatever it found: the window may show.
                if (!window) return;
                window->SendMessage(registry.Register(messages::kWake), 0, 0);
                if (!shownOnce) {
                    shownOnce = true;
                    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - started)
                                        .count();
                    LogInfo("main window shown " + std::to_string(ms) + " ms after start");
                    if (std::getenv("Q731_REPORT_STARTUP")) {
                        std::fprintf(stderr, "q731-control-center: window shown after %lld ms\n",
                                     static_cast<long long>(ms));
                    }
                    if (hooks.windowShown) {
                        // After the wake message's own handling, from the loop.
                        loop.Post([&hooks, &window] {
                            if (window && !window->Exiting()) hooks.windowShown(*window);
                        });
                    }
                }
            },
            // On the UI loop already.
            [&](const std::string& node) {
                if (window) window->ReportAccessDenied(node);
            });
        workers.Start(WorkerSlots::kDeviceScanSlot, "device scan",
                      [&](const WorkerArgs& args) { scanner->Run(args, SteadyClock::Instance()); });
        workers.Start(WorkerSlots::kLightingSyncSlot, "lighting sync",
                      [&](const WorkerArgs& args) { lightingSync.Run(args); });
        if (music) {
            workers.Start(WorkerSlots::kAudioWatchdogSlot, "audio watchdog",
                          [&](const WorkerArgs& args) { music->Watch(*args.stopEvent); });
        }
    };
    services.shutdown = [&] {
        // Sends from workers fail from here on, so none can block the exit.
        loop.BeginShutdown();
        const auto report = workers.StopAll();
        if (report.abandoned > 0) LogError("some workers did not stop");
        // With the watchdog gone nothing starts the companion again.
        if (music) music->Shutdown();
        bus.Stop();
        devices.Shutdown();
        platform.QuitMessageLoop();
    };
    services.sendTabTable = [&](const std::vector<std::uint8_t>& block) {
        const std::filesystem::path tool = folders.RuntimeFolder() / "worktool.sock";
        std::error_code ec;
        if (!std::filesystem::exists(tool, ec)) return;  // no outside tool listening
        BusMessage message{"WM_COPYDATA", static_cast<std::int64_t>(kTabTableDataKind), 0,
                           std::string(block.begin(), block.end())};
        SendBusMessage(tool, message);
    };

    CMainWnd mainWindow(loop, devices, registry, services);
    window = &mainWindow;
    if (!mainWindow.Create(nullptr, kWindowTitle, kWsPopup)) {
        std::fprintf(stderr, "q731-control-center: cannot build the main window\n");
        services.shutdown();
        SetUiPlatform(nullptr);
        return 0;
    }
    mainWindow.CenterWindow();

    constexpr int kMaxBusBacklog = 64;
    std::atomic<int> busBacklog{0};
    const std::filesystem::path runtime = folders.RuntimeFolder();
    if (!runtime.empty()) {
        // q731ctl's requests: answered on the UI thread, on the connection
        // they came by.
        bus.SetRequestHandler(
            std::string(messages::kControlRequest),
            [&loop, &devices, &busBacklog, &watchers, &mainWindow](
                BusMessage message, std::shared_ptr<BusReply> reply) {
                if (busBacklog.load() >= kMaxBusBacklog) {
                    LogWarning("message bus: UI busy; dropped a request");
                    return;
                }
                busBacklog.fetch_add(1);
                loop.Post([&devices, &busBacklog, &watchers, &mainWindow,
                           message = std::move(message), reply] {
                    busBacklog.fetch_sub(1);
                    const std::string operation = ControlOperation(message);
                    // While a dialog waits for the user, or the program ends,
                    // only questions that change nothing are answered: a
                    // change now could land under a choice the user is making.
                    const bool quiet = operation == "devices" || operation == "watch" ||
                                       operation == "quit";  // an exit closes the dialogs
                    if (!quiet && (mainWindow.Exiting() || mainWindow.ModalOpen())) {
                        Json::Value body(Json::objectValue);
                        body["error"] = mainWindow.Exiting()
                                            ? "the control centre is ending"
                                            : "a dialog is open in the control centre; try again "
                                              "once it is closed";
                        Json::StreamWriterBuilder writer;
                        writer["indentation"] = "";
                        (void)reply->Send({std::string(messages::kControlReply), message.wParam,
                                           static_cast<std::int64_t>(ControlResult::Failed),
                                           Json::writeString(writer, body)});
                    } else if (operation == "watch") {
                        watchers.Add(message, reply, mainWindow.CurrentEvents());
                    } else if (operation == "quit") {
                        // Answered first: the client learns it was heard, then
                        // the program ends as from the tray's "exit".
                        (void)reply->Send(
                            {std::string(messages::kControlReply), message.wParam, 0, "{}"});
                        mainWindow.Exit();
                    } else if (!reply->Send(AnswerControlRequest(
                                   message, devices,
                                   [&mainWindow](CVexloUSBDevice& device, const std::string& name) {
                                       return mainWindow.SelectProfileByName(device, name);
                                   }))) {
                        LogDebug("message bus: a request's answer could not be sent");
                    }
                });
            });
        const bool listening = bus.Start(
            BusSocketPath(runtime),
            [](std::string_view name) {
                for (std::string_view accepted : messages::kAcceptedFromOutside) {
                    if (MessageNamesEqual(accepted, name)) return true;
                }
                return false;
            },
            [&loop, &mainWindow, &busBacklog](BusMessage message) {
                // Another program sending faster than the UI thread can act
                // must not make the queue grow without end.
                if (busBacklog.load() >= kMaxBusBacklog) {
                    LogWarning("message bus: UI busy; dropped '" + message.name + "'");
                    return;
                }
                busBacklog.fetch_add(1);
                message.payload.clear();  // no message the window acts on carries one
                loop.Post([&mainWindow, &busBacklog, message = std::move(message)] {
                    busBacklog.fetch_sub(1);
                    mainWindow.OnBusMessage(message);
                });
            },
            &error);
        if (!listening) LogWarning("message bus: " + error);
    }

    // A save that fails (read-only folder, full disk) is told to the user once
    // per folder; the writer may be any thread, so it goes through the loop.
    SetWriteFailureObserver([&loop, &mainWindow](const WriteFailure& failure) {
        loop.Post([&mainWindow, failure] { mainWindow.ReportSaveFailure(failure); });
    });

    SystemEvents events([&] { mainWindow.Exit(); },
                        [&](bool sleeping) {
                            mainWindow.SendMessage(main_msg::kPower, sleeping
                                                                         ? main_msg::kPowerSuspend
                                                                         : main_msg::kPowerResume);
                        });
    events.WatchSleep();

    platform.RunMessageLoop();
    SetWriteFailureObserver(nullptr);
    loop.BeginShutdown();
    workers.StopAll();
    bus.Stop();
    SetUiPlatform(nullptr);
    if (WorkerSlots::AbandonedThreads() > 0) {
        // A worker that would not stop still uses objects about to be destroyed:
        // every file is already written, so leave without running destructors.
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}

}  // namespace q731
