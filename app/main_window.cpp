#include "app/main_window.h"

#include <fmt/format.h>

#include <cstdlib>
#include <cstring>

#include "app/about_window.h"
#include "app/colour_select_window.h"
#include "app/device_tabs.h"
#include "app/language.h"
#include "app/macro_control.h"
#include "app/message_box.h"
#include "app/message_texts.h"
#include "app/music_window.h"
#include "app/settings_window.h"
#include "app/window_fit.h"
#include "devices/keyboard_device.h"
#include "devices/mouse_device.h"
#include "devices/mouse_pad_device.h"
#include "headset/hs6533_device.h"
#include "platform/log.h"
#include "platform/message_names.h"
#include "ui/controls/device_profile.h"
#include "ui/controls/headset_panels.h"
#include "ui/widgets/menu.h"
#include "ui/widgets/range.h"
#include "ui/widgets/resource_manager.h"

namespace q731 {

namespace {

Json::Value LightingControlEvent(bool on) {
    Json::Value event(Json::objectValue);
    event["event"] = "lighting-control";
    event["on"] = on;
    return event;
}

Json::Value DeviceEvent(const char* name, Product product) {
    Json::Value event(Json::objectValue);
    event["event"] = name;
    event["device"] = std::string(RecordOf(product).name);
    return event;
}

constexpr int kAppIcon = 107;
constexpr const char* kAppTitle = "Gaming Keyboard Q731 Control Center";
constexpr const char* kLightingOn = "控制灯光";
constexpr const char* kLightingOff = "不控制灯光";

std::string LayoutPath(std::string_view tablePath) {
    std::string path(tablePath);
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

// A device's page as the device sees it: its battery panel and a redraw.
class TabDeviceView final : public IDeviceView {
public:
    TabDeviceView(CPaintManagerUI& manager, CMpDevicePowerUI& panel)
        : manager_(manager), panel_(panel) {}
    void Refresh() override { manager_.NeedUpdate(); }
    void ShowPower(std::span<const std::uint8_t> block) override { panel_.ShowPower(block); }

private:
    CPaintManagerUI& manager_;
    CMpDevicePowerUI& panel_;
};

// The language's text `id` with its "%s" filled with `value` (the id itself
// when the language lacks it).
std::string TextWith(std::string_view id, const std::string& value) {
    std::string text = CResourceManager::GetInstance().GetText(id).value_or(std::string(id));
    if (const std::size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, value);
    return text;
}

}  // namespace

CMainWnd::CMainWnd(UiLoop& loop, DeviceManager& devices, MessageRegistry& registry,
                   MainWindowServices services)
    : WindowImplBase(loop),
      loop_(loop),
      devices_(devices),
      registry_(registry),
      services_(std::move(services)),
      gameEvents_(
          loop, [this] { return devices_.CurrentDevice(); },
          [this](CVexloUSBDevice* device) {
              return devices_.TabOfDevice(device) >= 0 && device->Link().IsOpen();
          },
          [this](CVexloUSBDevice& device, const LightSetting& light, bool save) {
              SaveAndSend(device, light, save);
          }),
      analyser_(loop.GetClock()) {
    wakeId_ = registry_.Register(messages::kWake);
    settingsForwardId_ = registry_.Register(messages::kSettingsForward);
    startAnnounceId_ = registry_.Register(messages::kStartAnnounce);
    lightingControlId_ = registry_.Register(messages::kLightingControl);
    tabTableId_ = registry_.Register(messages::kTabTableRequest);
    registry_.Register(messages::kAudioCommand);
    for (std::size_t i = 0; i < gameIds_.size(); ++i) {
        gameIds_[i] = registry_.Register(messages::kGameEvents[i]);
    }
    MacroRecording::Window window;
    window.lock = [this](bool locked) { LockForRecording(locked); };
    window.passThrough = [this](const UiInputEvent& event) {
        // The stop button's click ends the run and is not part of it.
        if (event.window != this || event.kind != UiInputEvent::Kind::Button) return false;
        CControlUI* hit = m_pm.FindControl(event.point);
        return hit && hit->GetName() == "macro_btn_stopredio";
    };
    window.asker = this;
    window.text = [](std::string_view id) {
        return CResourceManager::GetInstance().GetText(id).value_or(std::string());
    };
    recording_ = std::make_unique<MacroRecording>(
        SteadyClock::Instance(),
        services_.makeDesktopCapture ? services_.makeDesktopCapture() : nullptr, std::move(window));
}

CMainWnd::~CMainWnd() {
    devices_.SetObserver(nullptr);
    if (MusicCompanion* music = services_.music) {
        music->SetFrameHandler(nullptr);
        music->SetCaptureWanted(nullptr);
        music->SetNotice(nullptr);
    }
    for (const TabState& tab : devices_.Tabs()) {
        tab.device->SetView(nullptr);
        if (auto* keys = dynamic_cast<CKeyTableDevice*>(tab.device)) keys->SetPictureSink(nullptr);
        if (auto* pad = dynamic_cast<CVexloMousePadDevice*>(tab.device))
            pad->SetPictureSink(nullptr);
        if (auto* headset = dynamic_cast<CVexloHS6533Device*>(tab.device)) {
            headset->SetPictureSink(nullptr);
            headset->Audio().SetView(nullptr);
            headset->Audio().SetAsker(nullptr);
        }
    }
    tray_.DeleteTrayIcon();
}

std::unique_ptr<CControlUI> CMainWnd::CreateControl(std::string_view className) {
    auto same = [className](std::string_view name) {
        if (name.size() != className.size()) return false;
        for (std::size_t i = 0; i < name.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(name[i])) !=
                std::tolower(static_cast<unsigned char>(className[i]))) {
                return false;
            }
        }
        return true;
    };
    if (same("DeviceOption")) return std::make_unique<CDeviceOptionUI>();
    if (same("MacroControl")) return std::make_unique<CMacroControlUI>();
    if (same("MpDevicePower")) return std::make_unique<CMpDevicePowerUI>();
    if (same("Voice6533Control")) return std::make_unique<CVoice6533ControlUI>();
    if (same("MagicControl")) return std::make_unique<CMagicControlUI>();
    // Sub-trees that live in layouts of their own.
    static constexpr std::pair<std::string_view, std::string_view> kSubTrees[] = {
        {"DeviceProfileUI", "XML/CustomControlXML/DeviceProfile.xml"},
        {"LightSetControlUI", "XML/CustomControlXML/LightControl.xml"},
        {"Voice6533SetControlUI", "XML/CustomControlXML/Voice6533Control.xml"},
        {"MagicSetControlUI", "XML/CustomControlXML/MagicControl.xml"},
        {"KeySetControlUI", "XML/CustomControlXML/KeySetControl.xml"},
        {"MacroSetControlUI", "XML/CustomControlXML/MacroControl.xml"},
        {"ShootKeySetControlUI", "XML/CustomControlXML/ShootControl.xml"},
        {"VirtualSetControlUI", "XML/CustomControlXML/VirtualSet.xml"},
    };
    for (const auto& [name, layout] : kSubTrees) {
        if (!same(name)) continue;
        // A sub-tree naming another (or itself) must not recurse without end.
        if (subTreeDepth_ >= kMaxSubTreeDepth) return std::make_unique<CContainerUI>();
        ++subTreeDepth_;
        CDialogBuilder builder;
        std::unique_ptr<CControlUI> tree = builder.Create(layout, {}, this, &m_pm);
        --subTreeDepth_;
        return tree ? std::move(tree) : std::make_unique<CContainerUI>();
    }
    // Device pages and panels whose classes are not part of this program yet
    // stand as plain containers, so layouts naming them still build.
    static constexpr std::string_view kPlain[] = {"VexloMousePadDevice", "VexloHS6533Device",
                                                  "VexloMouseDevice", "VexloKeyboardDevice"};
    for (std::string_view name : kPlain) {
        if (same(name)) return std::make_unique<CContainerUI>();
    }
    return nullptr;
}

void CMainWnd::InitWindow() {
    CResourceManager::GetInstance().LoadLanguage("lan_cn.xml");
    CSkinChangedObserver::Instance().AddReceiver(*this);
    SetIcon(kAppIcon);
    devices_.SetObserver(this);
    if (services_.trayAvailable) {
        tray_.CreateTrayIcon(this, kAppIcon, kAppTitle, main_msg::kTray);
    }
}

void CMainWnd::OnWindowInit() {
    if (startedUp_) return;
    startedUp_ = true;
    // Announce the start and the lighting state to other programs.
    SetLightingControl(true, true);
    // The language the user chose last; with none stored, the locale's.
    ApplyLanguage(DetermineLanguage(LanguageTable::Read(services_.languageTable),
                                    services_.keyStore, services_.locale));
    devices_.CreateStartupTabs();
    // Hidden until the first device scan has finished (the wake message),
    // unless there is no tray to come back from.
    if (services_.trayAvailable) ShowWindow(false, false);
    if (services_.startWorkers) services_.startWorkers();
    StartMusic();
    loop_.SetOneShotTimer(this, main_timer::kFit, Millis(100), [this] {
        if (awake_) RefitToMonitor();
    });
    UpdateNoDeviceScreen();
}

bool CMainWnd::Gated(unsigned msg) const {
    (void)msg;
    return !awake_;
}

void CMainWnd::Notify(TNotifyUI& msg) {
    const std::string name = msg.pSender ? msg.pSender->GetName() : std::string();
    if (msg.sType != notify::kTimer) LogDebug(fmt::format("notify {} from {}", msg.sType, name));
    if (msg.sType == notify::kWindowInit) {
        OnWindowInit();
    } else if (msg.sType == notify::kWindowSize) {
        if (name == "root" && !sawWindowSize_) {
            sawWindowSize_ = true;
            RefitToMonitor();
        }
    } else if (msg.sType == notify::kSelectChanged) {
        OnRoutedNotify(NotifyKind::SelectChanged, msg);
    } else if (msg.sType == notify::kValueChanged) {
        OnRoutedNotify(NotifyKind::ValueChanged, msg);
    } else if (msg.sType == notify::kMoveValueChanged) {
        OnRoutedNotify(NotifyKind::MoveValueChanged, msg);
    } else if (msg.sType == notify::kItemSelect) {
        OnRoutedNotify(NotifyKind::ItemSelect, msg);
    } else if (msg.sType == notify::kKillFocus) {
        if (name == "keyset_keyboard_text_edit") recording_->StopKeyCapture();
        OnRoutedNotify(NotifyKind::KillFocus, msg);
    } else if (msg.sType == notify::kColorChanged) {
        OnRoutedNotify(NotifyKind::ColorChanged, msg);
    } else if (msg.sType == notify::kSetFocus && name == "keyset_keyboard_text_edit") {
        // The key box waits for a key: the next one pressed is taken, not typed.
        recording_->StartKeyCapture([this](const InputRecord& record) {
            const std::optional<ScanKey> key = ScanKeyOfLinuxKey(record.code);
            if (!key) return;
            if (CDevicePage* page = PageOf(devices_.CurrentDevice()))
                page->OnCapturedKey(key->scanCode, key->extended);
        });
    } else if (msg.sType == notify::kMenu && name == "macro_action") {
        // A row's context menu: the row was selected by the press already.
        CMenuWnd::DestroyMenu();
        const UiPoint at = GetUiPlatform() ? GetUiPlatform()->CursorPos() : UiPoint{};
        CMenuWnd::Show(this, "XML/Menus/macro_action_menu.xml", at, kMenuAlignLeft | kMenuAlignTop,
                       [this](const std::string& item, int) { OnMacroMenu(item); });
        return;
    } else if (msg.sType == "click_wpremove" || msg.sType == "click_wpedit") {
        return;  // the toolkit's own handling is skipped for these
    }
    WindowImplBase::Notify(msg);
}

void CMainWnd::OnClick(TNotifyUI& msg) {
    const std::string name = msg.pSender ? msg.pSender->GetName() : std::string();
    const Route route = RouteNotification(NotifyKind::Click, name);
    if (route.owner == Owner::MainWindow) {
        if (route.name == "closebtn") {
            HideToTray();
        } else if (route.name == "nodevice_ok_btn") {
            if (services_.trayAvailable) ShowWindow(false, false);
        } else if (route.name == "control_light_status") {
            SetLightingControl(!lightingControl_, true);
        } else if (route.name == "minbtn") {
            if (backend_) backend_->Minimize();
        } else if (route.name == "maxbtn") {
            if (backend_) backend_->Maximize();
            SyncMaximizeButtons(true);
        } else if (route.name == "restorebtn") {
            if (backend_) backend_->Restore();
            SyncMaximizeButtons(false);
        } else if (route.name == "skinbtn" && msg.pSender) {
            const fs::path folder = services_.configFolder;
            CSkinFrame::Show(*this, *msg.pSender, CSkinChangedObserver::Instance(),
                             folder.empty() ? fs::path() : folder / "main.ini");
        } else if (route.name == "setbtn") {
            OpenSettingsWindow(true);
        }
        // "gamemodebtn", "cloudbtn" and "smarteyesbtn" do nothing.
        return;
    }
    if (route.owner == Owner::LightingSync && route.name == "deng_same_mode") {
        (void)StartSynchronisation();
        return;
    }
    if (route.owner == Owner::MacroEditor || route.owner == Owner::MacroRecording) {
        OnMacroPanel(route, NotifyKind::Click, msg);
        return;
    }
    if (route.owner == Owner::ColourPalette) {
        OpenColourPalette(route.number);
        return;
    }
    if (route.owner == Owner::MusicLighting &&
        (route.name == "music_setting_btn" || route.name == "music_setting_text")) {
        OpenMusicWindow();
        return;
    }
    if (route.owner == Owner::DeviceTabs) {
        if (route.name == "device_select_prev") devices_.SelectPrevious();
        if (route.name == "device_select_next") devices_.SelectNext();
        return;
    }
    if (route.owner == Owner::None || ToCurrentPage(route.owner, NotifyKind::Click, route, msg)) {
        return;
    }
    LogDebug(fmt::format("'{}' belongs to a page that is not part of this build", name));
}

CDevicePage* CMainWnd::PageOf(const CVexloUSBDevice* device) const {
    const int tab = devices_.TabOfDevice(device);
    if (tab < 0 || tab >= static_cast<int>(pageObjects_.size())) return nullptr;
    return pageObjects_[static_cast<std::size_t>(tab)].get();
}

bool CMainWnd::ToCurrentPage(Owner owner, NotifyKind kind, const Route& route, TNotifyUI& msg) {
    CDevicePage* page = PageOf(devices_.CurrentDevice());
    if (!page) return false;
    static constexpr PageNotify kKinds[] = {PageNotify::Click,        PageNotify::SelectChanged,
                                            PageNotify::ValueChanged, PageNotify::MoveValueChanged,
                                            PageNotify::ItemSelect,   PageNotify::KillFocus,
                                            PageNotify::ColorChanged};
    PageEvent event;
    event.kind = kKinds[static_cast<std::size_t>(kind)];
    event.name = route.name;
    event.number = route.number;
    event.sender = msg.pSender;
    event.wParam = msg.wParam;
    switch (owner) {
        case Owner::Lighting:
            return page->OnLighting(event);
        case Owner::KeyAssignment:
            return page->OnKeyAssignment(event);
        case Owner::MouseSettings:
        case Owner::KeyboardSettings:
        case Owner::Headset:
            return page->OnSettings(event);
        case Owner::Shooting:
            return page->OnShooting(event);
        case Owner::MusicLighting:
            return page->OnMusicLighting(event);
        case Owner::ProfileList:
            if (event.kind == PageNotify::ItemSelect) {
                // The device follows a moment later, so that running through the
                // list with the keyboard sends only the profile the user stops at.
                loop_.SetOneShotTimer(this, main_timer::kProfileSwitch, Millis(400),
                                      [this, device = devices_.CurrentDevice()] {
                                          if (Exiting()) return;
                                          CDevicePage* shown = PageOf(device);
                                          if (!shown) return;
                                          shown->SwitchProfile();
                                          AnnounceProfile(*device);
                                      });
                return true;
            }
            return page->OnProfile(event);
        default:
            return false;
    }
}

void CMainWnd::OnRoutedNotify(NotifyKind kind, TNotifyUI& msg) {
    if (!msg.pSender) return;
    const Route route = RouteNotification(kind, msg.pSender->GetName());
    switch (route.owner) {
        case Owner::DeviceTabs:
            if (kind == NotifyKind::SelectChanged) {
                // The first tab button whose option is selected is the current tab.
                for (std::size_t tab = 0; tab < tabButtons_.size(); ++tab) {
                    if (!tabButtons_[tab]) continue;
                    COptionUI* option = tabButtons_[tab]->SelectOption();
                    if (option && option->IsSelected() && tabButtons_[tab]->TabVisible()) {
                        devices_.SelectTab(static_cast<int>(tab));
                        break;
                    }
                }
            }
            break;
        case Owner::PageTabs:
            if (kind == NotifyKind::SelectChanged) {
                if (CVexloUSBDevice* device = devices_.CurrentDevice()) {
                    device->SetFunctionPage(PageTabNumber(route.name));
                }
            }
            break;
        case Owner::None:
            break;
        case Owner::MacroEditor:
            OnMacroPanel(route, kind, msg);
            break;
        case Owner::MusicLighting:
            if (route.name == "R_light_slider" || route.name == "G_light_slider" ||
                route.name == "B_light_slider") {
                // One of the style's weights, straight to the companion.
                auto* slider = dynamic_cast<CSliderUI*>(msg.pSender);
                if (kind != NotifyKind::ValueChanged || !slider) break;
                const char channel = route.name[0];
                const int value = slider->GetValue();
                if (services_.music && services_.music->Connected()) {
                    services_.music->SendChannel(channel == 'R'   ? 0
                                                 : channel == 'G' ? 1
                                                                  : 2,
                                                 value);
                    if (CControlUI* label =
                            m_pm.FindControl(fmt::format("{}_light_label", channel)))
                        label->SetText(fmt::format("{} {}", channel, value));
                }
                break;
            }
            (void)ToCurrentPage(route.owner, kind, route, msg);
            break;
        default:
            if (!ToCurrentPage(route.owner, kind, route, msg)) {
                LogDebug(fmt::format("'{}' belongs to a page that is not part of this build",
                                     msg.pSender->GetName()));
            }
            break;
    }
}

LRESULT CMainWnd::HandleCustomMessage(unsigned msg, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    if (msg == kMsgDestroy) {
        recording_->Stop();
        recording_->StopKeyCapture();
        exiting_ = true;
        gameEvents_.RestoreNow();  // also when the window manager closed the window
        tray_.DeleteTrayIcon();
        ShowWindow(false, false);
        loop_.KillTimers(this);
        if (services_.shutdown) services_.shutdown();
        handled = false;  // the toolkit's own clean-up runs too
        return 0;
    }
    if (Exiting()) {
        // Queued before or during the exit (wake, tray, timers, other
        // programs): nothing may show, raise or change anything any more.
        handled = false;
        return 0;
    }
    if (msg == wakeId_) {
        RestoreAndRaise();
        return 0;
    }
    if (msg == kMsgActivate) {
        active_ = wParam != 0;
        attention_ = active_;
        for (const TabState& tab : devices_.Tabs())
            tab.device->SetAttention(attention_);
        handled = false;
        return 0;
    }
    if (msg == kMsgMouseHover || msg == kMsgMouseLeave) {
        if (!active_) {
            attention_ = msg == kMsgMouseHover;
            for (const TabState& tab : devices_.Tabs())
                tab.device->SetAttention(attention_);
        }
        handled = false;
        return 0;
    }
    if (msg == main_msg::kPower) {
        if (wParam == main_msg::kPowerSuspend) {
            recording_->Stop();
            awake_ = false;
            for (const TabState& tab : devices_.Tabs())
                tab.device->SetHostLighting(false);
        } else if (wParam == main_msg::kPowerResume) {
            awake_ = true;
            for (const TabState& tab : devices_.Tabs()) {
                tab.device->SetHostLighting(lightingControl_);
                // The devices lost their state while the machine slept. One
                // that does not answer yet gets it with its next change.
                if (tab.device->Link().IsOpen()) (void)tab.device->WriteSettings();
            }
        }
        return 0;
    }
    if (msg == kMsgDisplayChange) {
        RefitToMonitor();
        return 0;
    }
    if (msg == kMsgDpiChanged) {
        const int dpi = AcceptedScaleOr96(static_cast<int>(wParam & 0xFFFF));
        m_pm.SetDPI(dpi);
        m_pm.ResetDPIAssets();
        dpi_ = dpi;
        ResizeClient(kMainWindowWidth * dpi / 96, kMainWindowHeight * dpi / 96);
        CenterWindow();
        return 0;
    }
    // Everything below is ignored while the machine is suspended.
    if (Gated(msg)) {
        handled = false;
        return 0;
    }
    if (msg == lightingControlId_) {
        if (wParam == 1 && (lParam == 0 || lParam == 1)) SetLightingControl(lParam == 1, false);
        return 0;
    }
    if (msg == tabTableId_) {
        if (services_.sendTabTable) services_.sendTabTable(MakeTabTableBlock());
        return 0;
    }
    // The settings window takes no action on the forwarded message.
    if (msg == settingsForwardId_ || msg == startAnnounceId_) return 0;
    for (MessageId id : gameIds_) {
        if (msg == id) {
            gameEvents_.OnGameEvent(static_cast<long long>(wParam), static_cast<long long>(lParam));
            return 0;
        }
    }
    switch (msg) {
        case main_msg::kTray:
            if (lParam == kMsgLButtonUp) OnTrayClick(false);
            if (lParam == kMsgRButtonUp) OnTrayClick(true);
            return 0;
        case main_msg::kTrayMenuCommand:
            return 0;
        case main_msg::kDebug:
            LogDebug("message 1224");
            return 0;
        case main_msg::kShowProgress:
            if (CControlUI* progress = m_pm.FindControl("setting_progress"))
                progress->SetVisible(true);
            return 0;
        case main_msg::kLanguage:
            ApplyLanguage(static_cast<int>(wParam));
            return 0;
        case main_msg::kOpenSettings:
            OpenSettingsWindow(false);
            return 0;
        case main_msg::kClearUpdateMark:
            if (CControlUI* set = m_pm.FindControl("setbtn")) set->SetForeImage("");
            return 0;
        default:
            break;
    }
    handled = false;
    return 0;
}

void CMainWnd::OnBusMessage(const BusMessage& message) {
    if (exiting_) return;  // queued before the exit: nothing may change any more
    const std::optional<MessageId> id = registry_.Find(message.name);
    if (!id) return;
    bool handled = false;
    HandleCustomMessage(*id, static_cast<WPARAM>(message.wParam),
                        static_cast<LPARAM>(message.lParam), handled);
}

void CMainWnd::ApplyLanguage(int index) {
    if (index == languageInUse_) return;
    // The index comes from another window or program, and the table is a file:
    // nothing changes (fonts, texts, the stored choice) unless both are sound
    // and the language file loads.
    const std::optional<LanguageRow> row = LanguageTable::Read(services_.languageTable).Row(index);
    if (!row) {
        LogWarning(fmt::format("language {} is not in the language table", index));
        return;
    }
    CResourceManager& resources = CResourceManager::GetInstance();
    if (!resources.LoadLanguage(row->file)) {
        LogWarning("language file " + row->file + " cannot be loaded");
        return;
    }
    if (const auto family = FontFamilyForSwitch(languageInUse_, index))
        CreateFontSet(m_pm, *family);
    languageInUse_ = index;
    resources.SetLanguage(row->name);
    resources.ReloadText();
    (void)StoreLanguage(services_.keyStore, row->id);  // a failure is logged; the texts stay
    m_pm.Invalidate();
    if (about_) about_->SendMessage(main_msg::kLanguage);
    if (palette_) palette_->SendMessage(main_msg::kLanguage);
    if (settingsWnd_) settingsWnd_->SendMessage(main_msg::kLanguage);
    m_pm.NeedUpdate();
    // Key captions are texts of the language too.
    for (const TabState& tab : devices_.Tabs()) {
        if (tab.product != Product::Mouse && tab.product != Product::Keyboard) continue;
        if (CDevicePage* page = PageOf(tab.device)) page->MacrosChanged();
    }
}

int CMainWnd::Receive(const SkinMessage& message) {
    CControlUI* root = m_pm.FindControl("root");
    if (!root) return 1;
    if (message.isColour) {
        root->SetBkColor(message.colour);
        root->SetBkImage("");
        return 1;
    }
    // Decoded, the picture must stay a reasonable size: a photo fits, a
    // 30000-pixel panorama does not.
    constexpr int kMaxSide = 8192;
    constexpr long long kMaxPixels = 40'000'000;
    const TImageInfo* image = m_pm.GetImageEx(message.picture);
    const bool fits = image && image->size.cx > 0 && image->size.cy > 0 &&
                      image->size.cx <= kMaxSide && image->size.cy <= kMaxSide &&
                      static_cast<long long>(image->size.cx) * image->size.cy <= kMaxPixels;
    if (!fits) {
        const std::string text = TextWith(kPictureFailedText, message.picture);
        LogWarning("told the user: " + text);
        // After the skin window's click has been handled, not inside it.
        loop_.Post([this, alive = GetAliveToken(), text] {
            if (!*alive) return;
            Ask({CResourceManager::GetInstance().GetText("message_title_text").value_or(""), text,
                 false, QuestionButtons::Ok});
        });
        return 1;
    }
    root->SetBkColor(0);
    // The picture whole, never spliced into an image string: a full path is
    // taken as a file name whatever characters it holds.
    root->SetBkImage(message.picture);
    return 1;
}

void CMainWnd::SetLightingControl(bool on, bool announce) {
    const bool changed = on != lightingControl_;
    lightingControl_ = on;
    if (CControlUI* label = m_pm.FindControl("control_light_status")) {
        label->SetText(on ? kLightingOn : kLightingOff);
    }
    for (const TabState& tab : devices_.Tabs()) {
        // A connected keyboard is told to take its lighting from the host; one
        // that connects later is told after it connects.
        auto* keyboard = dynamic_cast<CVexloKeyboardDevice*>(tab.device);
        if (keyboard && on && keyboard->Link().IsOpen()) {
            if (keyboard->EnableHostLighting(true) != LinkResult::Ok)
                LogWarning("the keyboard did not take the host's lighting control");
        } else {
            tab.device->SetHostLighting(on);
        }
    }
    // Programs watching over the bus hear of every change, whoever made it.
    (void)announce;
    if (changed && services_.announce) services_.announce(LightingControlEvent(on));
}

std::vector<Json::Value> CMainWnd::CurrentEvents() const {
    std::vector<Json::Value> events{LightingControlEvent(lightingControl_)};
    for (const Product product : announcedDevices_)
        events.push_back(DeviceEvent("device-arrived", product));
    return events;
}

bool CMainWnd::StartSynchronisation() {
    CVexloUSBDevice* current = devices_.CurrentDevice();
    if (!current || !services_.lightingSync) return false;
    const std::vector<CVexloUSBDevice*> devices = devices_.Devices();
    return q731::StartSynchronisation(
        *current, devices, *services_.lightingSync,
        [this](CVexloUSBDevice& device, const LightSetting& light) {
            if (CDevicePage* page = PageOf(&device)) {
                page->ApplyLighting(light);
                return;
            }
            device.SetLightInfo(light);
            if (!device.SaveProfile()) LogWarning("synchronised lighting: a profile was not saved");
            device.ApplyProfile();
            (void)device.WriteSettings();
        });
}

std::optional<std::string> CMainWnd::SelectProfileByName(CVexloUSBDevice& device,
                                                         const std::string& name) {
    CDevicePage* page = PageOf(&device);
    if (!page) return "the device has no page";
    const std::vector<std::string> names = device.Profiles().ProfileNames();
    const auto found = std::find(names.begin(), names.end(), name);
    if (found == names.end()) return "no profile is named \"" + name + "\"";
    if (!page->SwitchToProfile(static_cast<int>(found - names.begin())))
        return "the device did not take the profile (it stays selected in the list)";
    AnnounceProfile(device);
    return std::nullopt;
}

void CMainWnd::AnnounceProfile(CVexloUSBDevice& device) {
    if (!services_.announce) return;
    Json::Value event = DeviceEvent("profile-switched", device.GetProduct());
    const std::vector<std::string> names = device.Profiles().ProfileNames();
    const int index = device.Profiles().SelectedIndex();
    if (index >= 0 && index < static_cast<int>(names.size()))
        event["profile"] = names[static_cast<std::size_t>(index)];
    services_.announce(event);
}

void CMainWnd::AnnounceDevices() {
    std::vector<Product> shown;
    for (const TabState& tab : devices_.Tabs()) {
        if (tab.visible) shown.push_back(tab.product);
    }
    if (shown == announcedDevices_) return;
    if (services_.announce) {
        for (const Product product : shown) {
            if (std::find(announcedDevices_.begin(), announcedDevices_.end(), product) ==
                announcedDevices_.end())
                services_.announce(DeviceEvent("device-arrived", product));
        }
        for (const Product product : announcedDevices_) {
            if (std::find(shown.begin(), shown.end(), product) == shown.end())
                services_.announce(DeviceEvent("device-removed", product));
        }
    }
    announcedDevices_ = std::move(shown);
}

void CMainWnd::TellMiceAndKeyboards(bool shown) {
    for (const TabState& tab : devices_.Tabs()) {
        if (tab.product == Product::Mouse || tab.product == Product::Keyboard) {
            tab.device->SetPowerPause(!shown);
        }
    }
}

void CMainWnd::CloseSecondaryWindows() {
    if (about_) about_->Close(0);
    if (CSkinFrame* skin = CSkinFrame::Current()) skin->Close(0);
    if (palette_) palette_->Close(0);
    if (musicWnd_) musicWnd_->Close(0);
    if (settingsWnd_) settingsWnd_->ForceClose();
    CMenuWnd::DestroyMenu();
}

void CMainWnd::HideToTray() {
    recording_->Stop();
    recording_->StopKeyCapture();
    CloseSecondaryWindows();
    if (!services_.trayAvailable) {
        // Nowhere to come back from: minimise instead of hiding.
        if (backend_) backend_->Minimize();
        return;
    }
    ShowWindow(false, false);
    TellMiceAndKeyboards(false);
}

void CMainWnd::UpdateNoDeviceScreen() {
    if (CControlUI* noDevice = m_pm.FindControl("No_device_Link")) {
        noDevice->SetVisible(devices_.VisibleTabCount() == 0);
    }
}

void CMainWnd::RestoreAndRaise() {
    // Once the exit has begun nothing may show the window again: a shown
    // window would keep the program alive with nothing to end it.
    if (Exiting()) return;
    UpdateNoDeviceScreen();
    TellMiceAndKeyboards(true);
    if (backend_) {
        if (backend_->IsMinimized()) backend_->Restore();
        backend_->Show(true, true);
    }
}

void CMainWnd::OnTrayClick(bool right) {
    if (Exiting()) return;
    if (right) {
        loop_.SetOneShotTimer(this, main_timer::kTrayMenu, Millis(10), [this] {
            CMenuWnd::DestroyMenu();
            IUiPlatform* platform = GetUiPlatform();
            const UiPoint cursor = platform ? platform->CursorPos() : UiPoint{0, 0};
            CMenuWnd::Show(this, "menu.xml", cursor, kMenuAlignLeft | kMenuAlignBottom,
                           [this](const std::string& item, int) { OnTrayMenuCommand(item); });
        });
        return;
    }
    UpdateNoDeviceScreen();
    CloseSecondaryWindows();
    if (backend_ && backend_->IsVisible() && !backend_->IsMinimized()) {
        HideToTray();
        return;
    }
    RefitToMonitor();
    RestoreAndRaise();
    m_pm.NeedUpdate();
}

void CMainWnd::OnTrayMenuCommand(const std::string& item) {
    if (item == "exit") {
        Exit();
    } else if (item == "about_menu") {
        ShowAbout();
    } else if (item == "setwnd_menu") {
        OpenSettingsWindow(false);
    }
}

void CMainWnd::OpenSettingsWindow(bool besideMain) {
    if (settingsWnd_ || Exiting()) return;
    SettingsWindowSetup setup;
    setup.mainWindow = this;
    setup.languageIndex = languageInUse_;
    setup.languageTable = services_.languageTable;
    // Each device row asks about the open device of its own type, whatever
    // order the devices arrived in.
    std::vector<FirmwareVersion> firmware;
    for (const TabState& tab : devices_.Tabs()) {
        if (!tab.device || !tab.device->Link().IsOpen()) continue;
        CDeviceLink& link = tab.device->Link();
        HidDevice& connection =
            tab.device->OnReceiver() ? link.ReceiverConnection() : link.WiredConnection();
        firmware.push_back({tab.product, connection.Attributes().version});
    }
    setup.rows = RowsToCheck(firmware, ApplicationVersionNumber(ApplicationVersion()));
    setup.serverUrl = UpdateServerUrl(services_.keyStore);
    setup.dataFolder = services_.userDataFolder;
    setup.http = services_.updateHttp;

    auto window = std::make_unique<CSetWnd>(loop_, std::move(setup));
    if (!window->Create(this, "SetWnd", kWsPopup, kWsExToolWindow)) {
        LogError("settings: cannot build its window");
        return;
    }
    settingsWnd_ = window.get();
    window->SetScale(dpi_);
    if (besideMain) {
        const UiRect main = GetWindowRect();
        const UiRect own = window->GetWindowRect();
        const int width = own.right - own.left;
        const int x = main.right - width - m_pm.Scale(30);
        const int y = main.top + m_pm.Scale(60);
        window->MoveWindow({x, y, x + width, y + (own.bottom - own.top)});
    } else {
        window->CenterWindow();
    }
    RunModal([&window] { return window->Run(); });
    settingsWnd_ = nullptr;
    window.reset();
    if (backend_ && backend_->IsVisible() && !Exiting()) backend_->Show(true, true);
}

void CMainWnd::ShowAbout() {
    if (about_ || Exiting()) return;
    auto about = std::make_unique<CAboutWnd>(loop_);
    if (!about->Create(this, "  ", kWsPopup | kWsVisible, kWsExToolWindow)) return;
    about_ = about.get();
    about->CenterWindow();
    RunModal([&about] { return about->ShowModal(); });
    about_ = nullptr;
}

void CMainWnd::OpenColourPalette(int stage) {
    if (palette_ || Exiting()) return;
    auto* mouse = dynamic_cast<CVexloMouseDevice*>(devices_.CurrentDevice());
    if (!mouse || stage < 0 || stage >= CVexloMouseDevice::kStageCount) return;
    // The palette starts from the colour the stage's swatch shows.
    ArgbColour initial = 0xFFFFFFFFu;
    const std::string swatchName = fmt::format("DPI_color_option_{}", stage);
    if (CDevicePage* page = PageOf(mouse)) {
        if (CControlUI* swatch = m_pm.FindSubControlByName(page->Root(), swatchName))
            initial = swatch->GetBkColor();
    }
    auto palette = std::make_unique<CColorSelectWnd>(loop_, services_.userDataFolder,
                                                     services_.defaultDataFolder);
    // Shown by its modal run, once it has its scale, colour and place.
    if (!palette->Create(this, "PalletDialog", kWsPopup, kWsExToolWindow)) {
        LogError("colour palette: cannot build its window");
        return;
    }
    palette_ = palette.get();
    palette->SetScale(dpi_);
    palette->SetColour(initial);
    palette->SetSevenColourAvailable(false);
    palette->CenterWindow();
    const int result = RunModal([&palette] { return palette->Run(); });
    palette_ = nullptr;
    // The window takes the focus back, as it had it before.
    if (backend_ && backend_->IsVisible() && !Exiting()) backend_->Show(true, true);
    const ArgbColour colour = palette->Colour();
    palette.reset();
    if (result != palette_result::kOk || Exiting()) return;
    // The mouse that opened the palette may have gone meanwhile.
    const int tab = devices_.TabOfDevice(mouse);
    if (tab < 0 || !devices_.Tabs()[static_cast<std::size_t>(tab)].visible) {
        LogInfo("colour palette: the mouse went while the palette was open; nothing changed");
        return;
    }
    if (!mouse->SetStageColour(stage, colour))
        LogWarning(fmt::format("stage {} colour: the mouse did not take it", stage));
}

bool CMainWnd::AnyKeyboardWantsMusic() const {
    for (const TabState& tab : devices_.Tabs()) {
        auto* keyboard = dynamic_cast<CVexloKeyboardDevice*>(tab.device);
        if (!keyboard || !tab.visible || !keyboard->Link().IsOpen()) continue;
        const int mode = keyboard->GetLightInfo().selectItem;
        if (mode == CVexloKeyboardDevice::kMusicMode ||
            mode == CVexloKeyboardDevice::kHostColourMode) {
            return true;
        }
    }
    return false;
}

void CMainWnd::StartMusic() {
    if (!services_.userDataFolder.empty()) {
        styleStore_.emplace(services_.userDataFolder / "AudioFile.json",
                            services_.defaultDataFolder / "AudioFile.json");
        styles_ = styleStore_->Load();
    }
    MusicCompanion* music = services_.music;
    if (!music) return;
    auto keyboards = [this](auto&& each) {
        for (const TabState& tab : devices_.Tabs()) {
            auto* keyboard = dynamic_cast<CVexloKeyboardDevice*>(tab.device);
            if (keyboard && tab.visible) each(*keyboard);
        }
    };
    analyser_.SetKeyboardSink([keyboards](std::span<const std::int32_t> levels) {
        keyboards([levels](CVexloKeyboardDevice& keyboard) { keyboard.PushAudioLevels(levels); });
    });
    // The mouse takes no music levels of its own; the colour block goes to
    // the first keyboard.
    analyser_.SetHostColourSink([keyboards](std::span<const std::int32_t> values) {
        std::vector<std::uint32_t> colour(values.begin(), values.end());
        bool first = true;
        keyboards([&](CVexloKeyboardDevice& keyboard) {
            if (first) keyboard.PushHostColour(colour);
            first = false;
        });
    });
    music->SetFrameHandler([this](int type, std::string payload) {
        if (!Exiting()) (void)analyser_.HandleBlock(type, payload);
    });
    music->SetCaptureWanted([this] { return AnyKeyboardWantsMusic(); });
    music->SetNotice([this](const std::string& text) {
        // Told once the window is up, never from inside its start.
        loop_.Post([this, text] {
            if (!Exiting()) Ask({std::string(), text, false, QuestionButtons::Ok});
        });
    });
    music->SendStyle(StyleBlock(styles_));
    music->Start();
    // Silence ends the music levels; capture follows the keyboards' modes.
    loop_.SetTimer(this, main_timer::kMusicFlush, Millis(100), [this, music] {
        analyser_.CheckSilence();
        music->UpdateCapture();
    });
}

void CMainWnd::OpenMusicWindow() {
    if (musicWnd_ || Exiting()) return;
    auto window = std::make_unique<CMusicWnd>(loop_, styles_);
    if (!window->Create(this, "MusicWnd", kWsPopup, kWsExToolWindow)) {
        LogError("music styles: cannot build its window");
        return;
    }
    musicWnd_ = window.get();
    window->SetScale(dpi_);
    window->CenterWindow();
    const int result = RunModal([&window] { return window->Run(); });
    musicWnd_ = nullptr;
    if (backend_ && backend_->IsVisible() && !Exiting()) backend_->Show(true, true);
    const AudioLightStyles chosen = window->Styles();
    window.reset();
    if (result != 1 || Exiting()) return;
    styles_ = chosen;
    if (services_.music) services_.music->SendStyle(StyleBlock(styles_));
    if (styleStore_ && !styleStore_->Save(styles_))
        LogWarning("music styles: AudioFile.json could not be saved");
}

void CMainWnd::ReportSaveFailure(const WriteFailure& failure) {
    const std::string folder = failure.folder.string();
    if (Exiting() || !reportedFolders_.insert(folder).second) return;
    const SaveFailureText what = SaveFailureTextFor(failure.error);
    std::string text = TextWith(what.id, folder);
    if (what.appendReason) text += " (" + std::string(std::strerror(failure.error)) + ")";
    LogWarning("told the user: " + text);
    const std::string title =
        CResourceManager::GetInstance().GetText("save_failed_title_text").value_or("");
    const bool shown = backend_ && backend_->IsVisible() && !backend_->IsMinimized();
    if (!shown && tray_.ShowNotice(title, text)) return;
    Ask({title, text, false, QuestionButtons::Ok});
}

void CMainWnd::ReportAccessDenied(const std::string& node) {
    if (Exiting()) return;
    const std::string text = TextWith(kAccessDeniedText, node);
    LogWarning("told the user: " + text);
    const std::string title =
        CResourceManager::GetInstance().GetText(kAccessDeniedTitle).value_or("");
    const bool shown = backend_ && backend_->IsVisible() && !backend_->IsMinimized();
    if (!shown && tray_.ShowNotice(title, text)) return;
    Ask({title, text, false, QuestionButtons::Ok});
}

int CMainWnd::Ask(const Question& question) {
    if (Exiting()) return 0;
    return RunModal([&] {
        return CMsgWnd::Show(loop_, this, question.title, question.text, dpi_, question.textIsId,
                             static_cast<int>(question.buttons));
    });
}

int CMainWnd::RunModal(const std::function<int()>& run) {
    ++modalDepth_;
    const int code = run();
    if (--modalDepth_ == 0 && exitPending_) {
        // The handler that opened the window is still on the stack: the exit
        // runs once it has returned to the loop.
        loop_.Post([this, alive = GetAliveToken()] {
            if (!*alive) return;
            exitPending_ = false;
            Exit();
        });
    }
    return code;
}

void CMainWnd::Exit() {
    if (exiting_) return;
    if (modalDepth_ > 0) {
        exitPending_ = true;
        CMsgWnd::CloseAll();
        CloseSecondaryWindows();
        return;
    }
    exiting_ = true;
    // A game's lighting must not outlive the program in the user's profile.
    gameEvents_.RestoreNow();
    CloseSecondaryWindows();
    Close(0);
}

void CMainWnd::RefitToMonitor() {
    if (!backend_ || Exiting()) return;
    const bool wasShown = backend_->IsVisible() && !backend_->IsMinimized();
    // A hidden window is resized where it is and stays hidden.
    if (backend_->IsMinimized()) backend_->Restore();
    int width = 0;
    int height = 0;
    if (IUiPlatform* platform = GetUiPlatform()) {
        const UiRect window = backend_->GetWindowRect();
        const UiPoint centre{(window.left + window.right) / 2, (window.top + window.bottom) / 2};
        for (const ScreenInfo& screen : platform->Screens()) {
            const UiRect& g = screen.geometry;
            const bool contains = centre.x >= g.left && centre.x < g.right && centre.y >= g.top &&
                                  centre.y < g.bottom;
            if (width == 0 || contains) {
                width = g.right - g.left;
                height = g.bottom - g.top;
            }
        }
    }
    int dpi = ScaleForMonitor(width, height);
    if (!IsAcceptedScale(dpi)) {
        LogWarning("MAIN_WND DPI SET ERROR");
        dpi = 96;
    }
    // The layout is designed at 96 dpi; at another scale the window grows with it.
    CPaintManagerUI::SetAllDPI(dpi);
    ResizeClient(kMainWindowWidth * dpi / 96, kMainWindowHeight * dpi / 96);
    dpi_ = dpi;
    CenterWindow();
    if (wasShown) {
        backend_->Show(true, false);
    } else {
        backend_->Show(false, false);
    }
}

void CMainWnd::SaveAndSend(CVexloUSBDevice& device, const LightSetting& light, bool save) {
    device.SetLightInfo(light);
    if (save && !device.SaveProfile()) {
        LogWarning("the " + device.TabName() + " profile could not be saved");
    }
    device.ApplyProfile();
    const LinkResult result = device.WriteSettings();
    LogInfo(fmt::format("lighting mode {} sent to the {} (result {})", light.selectItem,
                        device.TabName(), static_cast<int>(result)));
}

void CMainWnd::TabCreated(int tab) {
    if (services_.lightingSync) services_.lightingSync->SetDevices(devices_.Devices());
    if (Exiting()) return;  // nothing is built for a window about to go
    const TabState& state = devices_.Tabs().at(static_cast<std::size_t>(tab));
    state.device->SetHostLighting(lightingControl_);
    const DeviceTab& row = TabOf(state.product);
    const ProductRecord& record = RecordOf(state.product);
    auto* header = dynamic_cast<CContainerUI*>(m_pm.FindControl("device_select_layout"));
    auto* pages = dynamic_cast<CTabLayoutUI*>(m_pm.FindControl("device_switch"));
    auto* panels = dynamic_cast<CTabLayoutUI*>(m_pm.FindControl("device_power_switch"));
    // The per-tab controls stay aligned with the tab numbers even when a tab
    // cannot be built: it gets empty slots, so later tabs keep their own.
    auto keepSlot = [this] {
        tabButtons_.push_back(nullptr);
        powerPanels_.push_back(nullptr);
        devicePages_.push_back(nullptr);
        pageObjects_.push_back(nullptr);
        macroPanels_.push_back(nullptr);
    };
    if (!header || !pages || !panels) {
        LogError("main layout lacks the device tab containers");
        keepSlot();
        return;
    }
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> panelTree =
        builder.Create("XML/CustomControlXML/MpDevicePower.xml", {}, this, &m_pm);
    std::unique_ptr<CControlUI> buttonTree =
        builder.Create(LayoutPath(kTabButtonLayout), {}, this, &m_pm);
    auto* panel = dynamic_cast<CMpDevicePowerUI*>(panelTree.get());
    auto* button = dynamic_cast<CDeviceOptionUI*>(buttonTree.get());
    if (!panel || !button) {
        LogError("cannot build the tab of " + std::string(row.tabName));
        keepSlot();
        return;
    }
    // The containers below take them over through the pointers kept above.
    (void)panelTree.release();
    (void)buttonTree.release();
    // The page: the device page layout when the skin has one, else an empty page.
    std::unique_ptr<CControlUI> page = builder.Create(LayoutPath(row.pageLayout), {}, this, &m_pm);
    if (!page) page = std::make_unique<CVerticalLayoutUI>();
    page->SetName(std::string(row.tabName) + "_page");

    panels->Add(std::unique_ptr<CControlUI>(panel));
    panel->SetKind(record.panelKind);
    panel->SetIndex(panels->GetCount() - 1);
    panel->SetHasBattery(state.device->HasBattery());
    CControlUI* pagePtr = pages->Add(std::move(page));

    header->Add(std::unique_ptr<CControlUI>(button));
    button->SetDevice(state.device);
    button->SetPowerPanel(std::string(kBatteryContainer), panel->Index());
    button->SetIcons(record.panelKind, 0);
    if (COptionUI* sync = button->SyncOption()) sync->SetVisible(false);
    if (COptionUI* option = button->SelectOption()) {
        option->SetGroup(std::string(kTabHeaderContainer));
    }
    if (CLabelUI* label = button->NameLabel()) {
        label->SetText(button->LabelTextId());
        label->SetResourceText(true);
    }
    button->SetTabVisible(false);
    // The page of the device, when it has one; a device without a page still
    // shows its battery.
    PageContext context;
    context.manager = &m_pm;
    context.root = pagePtr;
    context.device = state.device;
    context.asker = this;
    context.owner = this;
    context.powerPanel = panel;
    context.clearSync = [device = state.device] { device->SetSynchronised(false); };
    context.profileReset = [this] {
        if (!styleStore_) return;
        styles_ = styleStore_->Reset();
        if (services_.music) services_.music->SendStyle(StyleBlock(styles_));
    };
    std::unique_ptr<CDevicePage> pageObject = MakeDevicePage(std::move(context));
    if (pageObject) {
        pageObject->BuildPage();
        state.device->SetView(&pageObject->View());
        auto picture = [page = pageObject.get()](std::span<const LedColour> leds) {
            page->ShowPicture(leds);
        };
        if (auto* keys = dynamic_cast<CKeyTableDevice*>(state.device))
            keys->SetPictureSink(picture);
        if (auto* pad = dynamic_cast<CVexloMousePadDevice*>(state.device))
            pad->SetPictureSink(picture);
        if (auto* headset = dynamic_cast<CVexloHS6533Device*>(state.device))
            headset->SetPictureSink(picture);
    } else {
        views_.push_back(std::make_unique<TabDeviceView>(m_pm, *panel));
        state.device->SetView(views_.back().get());
    }
    CMacroControlUI* macroPanel = nullptr;
    if (pageObject && (state.product == Product::Keyboard || state.product == Product::Mouse)) {
        macroPanel = dynamic_cast<CMacroControlUI*>(
            pagePtr->FindControl([](CControlUI* c) { return c->GetClass() == "MacroControl"; }));
        if (macroPanel) macroPanel->Bind(*state.device, *pageObject, this);
    }
    macroPanels_.push_back(macroPanel);
    pageObjects_.push_back(std::move(pageObject));
    tabButtons_.push_back(button);
    powerPanels_.push_back(panel);
    devicePages_.push_back(pagePtr);
}

void CMainWnd::TabsChanged() {
    const auto& tabs = devices_.Tabs();
    AnnounceDevices();
    // A run belongs to the device shown when it started: another device
    // becoming current (a switch, or the recording one going) ends it.
    if (recording_->Running() && recording_->Panel() != MacroPanelOf(devices_.CurrentDevice()))
        recording_->Stop();
    auto* pages = dynamic_cast<CTabLayoutUI*>(m_pm.FindControl("device_switch"));
    auto* panels = dynamic_cast<CTabLayoutUI*>(m_pm.FindControl("device_power_switch"));
    for (std::size_t tab = 0; tab < tabs.size() && tab < tabButtons_.size(); ++tab) {
        CDeviceOptionUI* button = tabButtons_[tab];
        if (!button) continue;
        button->SetTabVisible(tabs[tab].visible);
        button->SetSynchronised(tabs[tab].synchronised);
        if (COptionUI* option = button->SelectOption()) option->Selected(tabs[tab].selected, false);
        if (tabs[tab].visible && tabs[tab].selected) {
            if (pages) pages->SelectItem(devicePages_[tab]);
            if (panels) {
                panels->SetVisible(true);
                panels->SelectItem(powerPanels_[tab]);
            }
        }
    }
    // A device that becomes current shows the page its page tab shows, so the
    // tabs and the page below them never disagree.
    CVexloUSBDevice* current = devices_.CurrentDevice();
    if (current && current != shownDevice_) {
        shownDevice_ = current;
        // The page tabs offered are those of the device shown.
        if (CDevicePage* page = PageOf(current); page && page->ProfilePanel()) {
            if (DeviceProfilePanel* panel = page->ProfilePanel()->Panel()) panel->ShowPageTabs();
        }
        // A tab this device does not offer (the mouse's pointer page when the
        // keyboard becomes current) gives way to the lighting page.
        for (std::string_view name : kPageTabs) {
            auto* option = dynamic_cast<COptionUI*>(m_pm.FindControl(name));
            if (option && option->IsSelected() && !option->IsVisible()) {
                if (auto* lighting = dynamic_cast<COptionUI*>(m_pm.FindControl(kPageTabs[0])))
                    lighting->Selected(true, false);
            }
        }
        for (std::string_view name : kPageTabs) {
            auto* option = dynamic_cast<COptionUI*>(m_pm.FindControl(name));
            if (option && option->IsSelected()) current->SetFunctionPage(PageTabNumber(name));
        }
    }
    UpdateNoDeviceScreen();
}

void CMainWnd::SelectedTabHiding() {
    CloseSecondaryWindows();
}

}  // namespace q731

namespace q731 {

CMacroControlUI* CMainWnd::MacroPanelOf(const CVexloUSBDevice* device) const {
    const int tab = devices_.TabOfDevice(device);
    if (tab < 0 || tab >= static_cast<int>(macroPanels_.size())) return nullptr;
    return macroPanels_[static_cast<std::size_t>(tab)];
}

void CMainWnd::LockForRecording(bool locked) {
    for (std::string_view name :
         {"device_select_layout", "device_select_prev", "device_select_next"}) {
        if (CControlUI* control = m_pm.FindControl(name)) control->SetEnabled(!locked);
    }
    for (std::string_view name : kPageTabs) {
        if (CControlUI* control = m_pm.FindControl(name)) control->SetEnabled(!locked);
    }
    if (CMacroControlUI* panel = recording_->Panel()) panel->ShowRecording(locked);
}

void CMainWnd::StartRecording(DelayMode delayMode, HookMode hookMode) {
    CMacroControlUI* panel = MacroPanelOf(devices_.CurrentDevice());
    if (!panel || Exiting()) return;
    if (!recording_->Start(*panel, delayMode, hookMode)) {
        LogDebug("macros: no run started (no macro selected, or no input to take)");
    }
}

void CMainWnd::OnMacroMenu(const std::string& item) {
    CMacroControlUI* panel = MacroPanelOf(devices_.CurrentDevice());
    MacroEditor* editor = panel ? panel->Editor() : nullptr;
    if (!editor || recording_->Running()) return;
    if (editor->RunMenuItem(item)) return;
    const DelayMode chosen = panel->FixedDelayChecked() ? DelayMode::Fixed : DelayMode::Real;
    struct RecordItem {
        std::string_view name;
        std::optional<DelayMode> delay;  // none: as "macro_check_time" says
        HookMode hook;
    };
    static constexpr RecordItem kItems[] = {
        {"redio_previous_record_time", std::nullopt, HookMode::InsertBefore},
        {"redio_previous_constant_time", DelayMode::Fixed, HookMode::InsertBefore},
        {"redio_previous_ignore_time", DelayMode::None, HookMode::InsertBefore},
        {"redio_later_record_time", std::nullopt, HookMode::InsertAfter},
        {"redio_later_constant_time", DelayMode::Fixed, HookMode::InsertAfter},
        {"redio_later_ignore_time", DelayMode::None, HookMode::InsertAfter},
        {"macro_action_edit", DelayMode::None, HookMode::Replace},
    };
    for (const RecordItem& entry : kItems) {
        if (entry.name == item) StartRecording(entry.delay.value_or(chosen), entry.hook);
    }
}

void CMainWnd::OnMacroPanel(const Route& route, NotifyKind kind, TNotifyUI& msg) {
    CMacroControlUI* panel = MacroPanelOf(devices_.CurrentDevice());
    MacroEditor* editor = panel ? panel->Editor() : nullptr;
    if (!editor) return;
    const std::string& name = route.name;
    if (kind == NotifyKind::ItemSelect) {
        auto* list = dynamic_cast<CListUI*>(msg.pSender);
        const int index = list ? list->GetCurSel() : -1;
        if (name == "macro_name_list") editor->SelectMacro(index);
        if (name == "macro_action_list") editor->SelectRow(index);
        return;
    }
    if (kind == NotifyKind::KillFocus) {
        if (name == "macro_delay" && !editor->Recording()) editor->SaveMacro();
        return;
    }
    if (kind != NotifyKind::Click) return;
    if (name == "macro_btn_stopredio") {
        recording_->Stop();
        return;
    }
    if (editor->Recording()) return;
    FileDialogOptions files;
    files.filter = "Macro Files (*.mac)";
    files.defaultExtension = "mac";
    IUiPlatform* platform = GetUiPlatform();
    static constexpr std::pair<std::string_view, RowMove> kMoves[] = {
        {"macro_btn_up", RowMove::Up},
        {"macro_btn_down", RowMove::Down},
        {"macro_btn_uptop", RowMove::Top},
        {"macro_btn_downbottom", RowMove::Bottom},
    };
    static constexpr std::pair<std::string_view, Movement> kMovements[] = {
        {"macro_inset_moveleftkey_btn", Movement::Left},
        {"macro_inset_moverightkey_btn", Movement::Right},
        {"macro_inset_moveupkey_btn", Movement::Up},
        {"macro_inset_movedownkey_btn", Movement::Down},
    };
    for (const auto& [button, move] : kMoves) {
        if (name == button) return editor->MoveRow(move);
    }
    for (const auto& [button, movement] : kMovements) {
        if (name == button) {
            editor->InsertMovement(movement);
            editor->SaveMacro();
            return;
        }
    }
    if (name == "macro_btn_starredio") {
        StartRecording(panel->FixedDelayChecked() ? DelayMode::Fixed : DelayMode::Real,
                       HookMode::Append);
    } else if (name == "macro_btn_name_add") {
        editor->AddMacro();
    } else if (name == "macro_btn_name_sub") {
        editor->DeleteMacroSequence();
    } else if (name == "macro_btn_name_edit") {
        editor->RenameMacro();
    } else if (name == "macro_btn_save") {
        editor->SaveMacro();
    } else if (name == "macro_btn_cancel") {
        editor->ShowMacro();
    } else if (name == "macro_btn_delete") {
        editor->DeleteRow();
    } else if (name == "macro_btn_deleteall") {
        editor->DeleteAllRows();
    } else if (name == "macro_btn_import" && platform) {
        if (const auto path = platform->FileDialogs().OpenFile(this, files))
            editor->ImportMacro(*path);
    } else if (name == "macro_btn_export" && platform && editor->CanExport()) {
        files.replaceWithoutAsking = true;
        if (const auto path = platform->FileDialogs().SaveFile(this, files))
            editor->ExportMacro(*path);
    }
}

}  // namespace q731
