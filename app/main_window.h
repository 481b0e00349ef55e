#pragma once
// CMainWnd: the control centre's one top-level window. It builds the main
// layout, keeps the device tabs in step with the device manager, routes every
// control notification to its owner, handles the messages other programs send,
// owns the tray icon and its menu, and fits itself to the monitor.

#include <json/json.h>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/dispatch.h"
#include "app/game_events.h"
#include "app/macro_recording.h"
#include "app/skin.h"
#include "devices/device_manager.h"
#include "devices/lighting/lighting_sync.h"
#include "lighting_extras/audio_styles.h"
#include "lighting_extras/music_analyser.h"
#include "lighting_extras/music_companion.h"
#include "platform/files.h"
#include "platform/key_store.h"
#include "platform/message_bus.h"
#include "platform/message_registry.h"
#include "platform/question.h"
#include "ui/controls/device_tab_controls.h"
#include "ui/pages/device_page.h"
#include "ui/widgets/window.h"
#include "update/http_client.h"

namespace q731 {

class CAboutWnd;
class CColorSelectWnd;
class CMusicWnd;
class CSetWnd;

// Plain message numbers the main window handles.
namespace main_msg {
inline constexpr unsigned kTray = 1025;
inline constexpr unsigned kHook = 1054;
inline constexpr unsigned kTrayMenuCommand = 1145;
inline constexpr unsigned kDebug = 1224;
inline constexpr unsigned kShowProgress = 3072;
inline constexpr unsigned kLanguage = 3089;
inline constexpr unsigned kOpenSettings = 3093;
inline constexpr unsigned kClearUpdateMark = 3094;
inline constexpr unsigned kPower = 0x0218;  // wParam: 4 suspend, 18 resumed
inline constexpr unsigned kPowerSuspend = 4;
inline constexpr unsigned kPowerResume = 18;
}  // namespace main_msg

// Timers of the main window.
namespace main_timer {
inline constexpr int kFit = 1011;
inline constexpr int kTrayMenu = 1032;
inline constexpr int kMusicFlush = 1067;
inline constexpr int kProfileSwitch = 1055;
}  // namespace main_timer

// What the main window needs from the rest of the program.
struct MainWindowServices {
    // Starts the worker threads (after "windowinit").
    std::function<void()> startWorkers;
    // Stops them (on destroy), then the process leaves its loop.
    std::function<void()> shutdown;
    // Sends the device-tab table to the outside tool, when one listens.
    std::function<void(const std::vector<std::uint8_t>& block)> sendTabTable;
    // The language table ("Language.config"); missing: the texts of
    // "lan_cn.xml" stay and no language is applied.
    std::filesystem::path languageTable;
    // Keeps the user's language; none: the locale decides and nothing is stored.
    KeyStore* keyStore = nullptr;
    // The locale ("zh_CN.UTF-8"), for the language when none is stored.
    std::string locale;
    // Where "main.ini" is written; empty: the skin window writes nothing.
    std::filesystem::path configFolder;
    // Whether the desktop has a tray: without one the window never hides into it.
    bool trayAvailable = true;
    // The lighting sync thread's state; none: "deng_same_mode" does nothing.
    LightingSync* lightingSync = nullptr;
    // Makes the capture of other programs' input for macro recording; none:
    // only our own windows' input is recorded.
    std::function<std::unique_ptr<IInputSource>()> makeDesktopCapture;
    // Where the colour palette keeps the user's swatches, and the folder of
    // its read-only default copy. Empty: the swatches are not kept.
    std::filesystem::path userDataFolder;
    std::filesystem::path defaultDataFolder;
    // The audio-capture companion; none: no music lighting.
    MusicCompanion* music = nullptr;
    // How the settings window's update check reaches its server (the address
    // comes from the key store or $Q731_UPDATE_URL).
    HttpSettings updateHttp;
    // Tells the programs watching over the bus of an event ({"event": ...});
    // none: nobody is told.
    std::function<void(const Json::Value& event)> announce;
};

class CMainWnd : public WindowImplBase,
                 public ITabObserver,
                 public IQuestionAsker,
                 public CSkinChangedReceiver {
public:
    CMainWnd(UiLoop& loop, DeviceManager& devices, MessageRegistry& registry,
             MainWindowServices services);
    ~CMainWnd() override;

    std::string GetWindowClassName() const override { return "MainWnd"; }
    std::string GetSkinFile() override { return "XML_MAIN"; }
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    LRESULT HandleCustomMessage(unsigned msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    std::unique_ptr<CControlUI> CreateControl(std::string_view className) override;

    // A message another program sent over the local bus (UI thread).
    void OnBusMessage(const BusMessage& message);
    // The tray menu's "exit", SIGTERM and SIGINT: close everything and quit.
    // While a modal window runs (a message box, the about window) it is closed
    // with 0 first and the exit follows once the handler that opened it has
    // returned, so nothing runs on a destroyed window.
    void Exit();
    bool Exiting() const { return exiting_ || exitPending_; }
    // Whether a modal window (a question, the settings, a palette) is open.
    bool ModalOpen() const { return modalDepth_ > 0; }

    // A file could not be written (UI thread). The user is told once per run
    // and folder: which folder, why, and that changes are kept in memory until
    // saving works again. In the box while the window is shown, else by the tray.
    void ReportSaveFailure(const WriteFailure& failure);
    // One of our devices may not be opened (UI thread): the notice names the
    // node, the udev rule and the README section that installs it.
    void ReportAccessDenied(const std::string& node);

    // IQuestionAsker: the message box over this window, at its scale. Answers
    // 0 without showing anything once the program is ending.
    int Ask(const Question& question) override;

    // The skin window's choice on "root": a colour, or a picture that can be
    // shown. A picture that cannot (missing, not a picture, too large) leaves
    // the background as it is and the user is told. Returns 1.
    int Receive(const SkinMessage& message) override;

    // ITabObserver.
    void TabCreated(int tab) override;
    void TabsChanged() override;
    void RestoreAndRaise() override;
    void SelectedTabHiding() override;

    // State visible to tests.
    bool Awake() const { return awake_; }
    bool LightingControl() const { return lightingControl_; }
    // Makes the profile named `name` current on `device` as its page's list
    // would; the reason when it cannot.
    std::optional<std::string> SelectProfileByName(CVexloUSBDevice& device,
                                                   const std::string& name);
    // The events a watcher gets when it starts watching: the state now.
    std::vector<Json::Value> CurrentEvents() const;
    // "deng_same_mode": every connected device shows the current device's
    // effect in step. False when the current mode has no common effect.
    bool StartSynchronisation();
    int Scale() const { return dpi_; }
    // The index of the language in use in the language table; -1 before the first.
    int LanguageInUse() const { return languageInUse_; }
    bool StartedUp() const { return startedUp_; }
    GameEventLighting& GameEvents() { return gameEvents_; }
    DeviceManager& Devices() { return devices_; }
    // The page of a device's tab, when the device has one.
    CDevicePage* PageOf(const CVexloUSBDevice* device) const;
    // Re-fits the window to its monitor (timer 1011, display change).
    void RefitToMonitor();
    // The macro panel of a device's page, when it has one.
    CMacroControlUI* MacroPanelOf(const CVexloUSBDevice* device) const;
    MacroRecording& Recording() { return *recording_; }
    // The open colour palette, if any.
    CColorSelectWnd* ColourPalette() const { return palette_; }
    // The music styles window, while open.
    CMusicWnd* MusicWindow() const { return musicWnd_; }
    CSetWnd* SettingsWindow() const { return settingsWnd_; }
    // The settings window, beside this one ("setbtn") or centred (the tray
    // menu, 3093); one at a time.
    void OpenSettingsWindow(bool besideMain);
    const AudioLightStyles& MusicStyles() const { return styles_; }
    MusicAnalyser& Music() { return analyser_; }
    // Whether a keyboard that is there shows a music mode (capture is wanted).
    bool AnyKeyboardWantsMusic() const;

private:
    void OnWindowInit();
    void OnClick(TNotifyUI& msg) override;
    void OnRoutedNotify(NotifyKind kind, TNotifyUI& msg);
    // Hands a notification to the page of the current device.
    bool ToCurrentPage(Owner owner, NotifyKind kind, const Route& route, TNotifyUI& msg);
    void OnTrayClick(bool right);
    void OnTrayMenuCommand(const std::string& item);
    void ShowAbout();
    // The palette for stage `stage`'s colour of the current device, when that
    // is a mouse; OK gives the stage the chosen colour on that mouse.
    void OpenColourPalette(int stage);
    // Music lighting: the styles, the companion and the analysis of its frames.
    void StartMusic();
    // The music styles window; OK keeps, saves and sends the styles.
    void OpenMusicWindow();
    // Tells watchers which devices arrived or went since the last time.
    void AnnounceDevices();
    void AnnounceProfile(CVexloUSBDevice& device);
    void CloseSecondaryWindows();
    void HideToTray();
    void SetLightingControl(bool on, bool announce);
    void ApplyLanguage(int index);
    void TellMiceAndKeyboards(bool shown);
    void UpdateNoDeviceScreen();
    void SaveAndSend(CVexloUSBDevice& device, const LightSetting& light, bool save);
    bool Gated(unsigned msg) const;
    // Runs `window` modally, counting it so that an exit waits for it.
    int RunModal(const std::function<int()>& run);
    // The macro panel's buttons, list choices, delay fields and row menu.
    void OnMacroPanel(const Route& route, NotifyKind kind, TNotifyUI& msg);
    void OnMacroMenu(const std::string& item);
    void StartRecording(DelayMode delayMode, HookMode hookMode);
    void LockForRecording(bool locked);

    UiLoop& loop_;
    DeviceManager& devices_;
    MessageRegistry& registry_;
    MainWindowServices services_;
    GameEventLighting gameEvents_;
    CTrayIcon tray_;
    CAboutWnd* about_ = nullptr;
    CColorSelectWnd* palette_ = nullptr;
    CMusicWnd* musicWnd_ = nullptr;
    CSetWnd* settingsWnd_ = nullptr;
    MusicAnalyser analyser_;
    std::optional<AudioStyleStore> styleStore_;
    AudioLightStyles styles_;
    std::vector<CDeviceOptionUI*> tabButtons_;
    std::vector<CMpDevicePowerUI*> powerPanels_;
    std::vector<CControlUI*> devicePages_;
    std::vector<std::unique_ptr<IDeviceView>> views_;
    std::vector<std::unique_ptr<CDevicePage>> pageObjects_;  // by tab; null without a page
    std::vector<CMacroControlUI*> macroPanels_;              // by tab; null without one
    std::unique_ptr<MacroRecording> recording_;
    MessageId wakeId_ = 0;
    MessageId settingsForwardId_ = 0;
    MessageId startAnnounceId_ = 0;
    MessageId lightingControlId_ = 0;
    MessageId tabTableId_ = 0;
    std::array<MessageId, 4> gameIds_{};
    bool awake_ = true;
    bool active_ = false;
    bool attention_ = false;
    bool lightingControl_ = true;
    // The products last announced as shown, to tell arrivals and removals.
    std::vector<Product> announcedDevices_;
    bool startedUp_ = false;
    bool sawWindowSize_ = false;
    bool exiting_ = false;
    bool exitPending_ = false;
    std::set<std::string> reportedFolders_;
    CVexloUSBDevice* shownDevice_ = nullptr;  // the device whose page was last shown
    int modalDepth_ = 0;
    int dpi_ = 96;
    int languageInUse_ = -1;
    static constexpr int kMaxSubTreeDepth = 4;
    int subTreeDepth_ = 0;
};

}  // namespace q731
