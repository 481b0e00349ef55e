#pragma once
// CVexloUSBDevice: what every mouse, keyboard, mouse pad and headset object has
// in common. It owns the command link and the listener link, the device's live
// lighting state and LED colours, the definitions loaded from its defaults and
// its profile (held by the derived class). It talks to its page only through
// IDeviceView; with no view it runs headless (tests, tools).

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device_access/device_table.h"
#include "devices/device_link.h"
#include "devices/device_listener.h"
#include "devices/lighting/effects.h"
#include "devices/lighting/led_colours.h"
#include "platform/products.h"
#include "platform/ui_loop.h"
#include "profiles/basic_profiledata.h"
#include "profiles/name_lists.h"
#include "profiles/profile_list.h"
#include "profiles/profile_paths.h"

namespace q731 {

namespace fs = std::filesystem;

// What a device page offers the device. Every call comes on the UI thread.
class IDeviceView {
public:
    virtual ~IDeviceView() = default;
    // Redraw the page from the device's state.
    virtual void Refresh() {}
    // A 6-byte power status block for the battery panel.
    virtual void ShowPower(std::span<const std::uint8_t> block) { (void)block; }
    virtual void ShowFunctionPage(int page) { (void)page; }
    virtual void ShowSelectedKey(int key) { (void)key; }
};

// The 34-byte block ReadDeviceInfo returns, kept as read.
struct DeviceInfoBlock {
    std::array<std::uint8_t, kDeviceInfoBytes> bytes{};

    int KeyCount() const { return bytes[5]; }
    int MacroCapacityBytes() const { return bytes[6] * 128; }
    std::uint16_t SensorCode() const { return Word(9); }
    int DpiStepSize() const { return bytes[11]; }
    std::uint16_t DpiSteps() const { return Word(12); }
    std::uint16_t LowestDpi() const { return Word(14); }

private:
    std::uint16_t Word(std::size_t at) const {
        return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
    }
};

// What WriteMacros did. Besides the named values, a positive value is how many
// bytes the macros are over the device's macro memory (nothing was sent), and
// another negative one the link's own failing code.
enum class [[nodiscard]] MacroWriteResult : int{Written = 0, Failed = -1};

constexpr MacroWriteResult MacroOverflow(int bytes) {
    return static_cast<MacroWriteResult>(bytes);
}

// Where a device finds its files.
struct DeviceFolders {
    fs::path deviceFolder;       // user data folder / device folder name
    fs::path defaultDataFolder;  // read-only defaults
};

class CVexloUSBDevice {
public:
    CVexloUSBDevice(Product product, std::shared_ptr<IHidBackend> backend);
    virtual ~CVexloUSBDevice();
    CVexloUSBDevice(const CVexloUSBDevice&) = delete;
    CVexloUSBDevice& operator=(const CVexloUSBDevice&) = delete;

    // Identity and set-up (done once by device selection before Initialise).
    Product GetProduct() const { return product_; }
    void SetIdentity(const DeviceEntry& entry) { identity_ = entry; }
    const DeviceEntry& Identity() const { return identity_; }
    void SetNames(std::string pageLayout, std::string tabName, std::string lightingConfig);
    const std::string& PageLayout() const { return pageLayout_; }
    const std::string& TabName() const { return tabName_; }
    void SetKeyCount(int count) { keyCount_ = std::max(count, 0); }
    int KeyCount() const { return keyCount_; }
    // Resizes and zeroes the LED colour list and the zone settings.
    void SetLedCount(int count);
    int LedCount() const { return static_cast<int>(leds_.Size()); }
    void SetHasBattery(bool has) { hasBattery_ = has; }
    bool HasBattery() const { return hasBattery_; }
    // Whether the power status is polled: devices with a battery, and pads
    // with a phone charger.
    virtual bool PollsPower() const { return hasBattery_; }
    void SetView(IDeviceView* view) { view_ = view; }
    IDeviceView* View() const { return view_; }
    // The product's profile mode (its record has it); also points the profile
    // data at the product's row of the light library.
    void SetProfileMode(int mode);
    int GetProfileMode() const { return profileMode_; }
    void SetFolders(DeviceFolders folders) { folders_ = std::move(folders); }
    const DeviceFolders& Folders() const { return folders_; }

    // Called once after creation. With no page layout the device has no keys
    // and no LEDs.
    virtual void Initialise();

    // Links.
    CDeviceLink& Link() { return link_; }
    CDeviceLink& ListenerLink() { return listenerLink_; }
    bool OnReceiver() const { return link_.SelectedChannel() == Channel::Receiver; }

    // Where the device hands work to the UI thread (listener events, timers).
    // Set by device selection; without one, device events are dropped.
    void AttachLoop(UiLoop* loop) { loop_ = loop; }
    UiLoop* Loop() const { return loop_; }

    // Listener threads on the device's event interfaces.
    [[nodiscard]] virtual bool OpenListener(Channel channel, const std::string& path);
    void CloseListener(Channel channel);
    DeviceListener& Listener() { return listener_; }
    // Stops the listeners, closes the link and kills the device's timers.
    virtual void CloseDevice();

    // Timer ids the device owns on the UI loop (owner: the device).
    static constexpr int kTimerResync = 1002;

    // On a listener thread, for every event value. The base schedules Resync
    // 50 ms later on the UI thread for 0x0401 and hands 0x10pp / 0x11sp to
    // OnProfileStage on the UI thread while the command link is open.
    virtual void OnDeviceEvent(std::uint16_t value, Channel channel);
    // UI thread: the device reports its active profile and, unless `stage` is
    // -1, its DPI stage (0-4; anything else was dropped before).
    virtual void OnProfileStage(int profile, int stage);
    int ActiveProfile() const { return activeProfile_; }
    int ActiveStage() const { return activeStage_; }

    // Device operations. The base has nothing to send: it connects to nothing
    // and fails what would need the device, and has no macros to write.
    [[nodiscard]] virtual LinkResult Connect() { return LinkResult::Failed; }
    [[nodiscard]] virtual LinkResult Resync() { return LinkResult::Failed; }
    // The profile's settings into what the device keeps; nothing is sent.
    virtual void ApplyProfile() {}
    [[nodiscard]] virtual LinkResult WriteSettings() { return LinkResult::Failed; }
    [[nodiscard]] virtual LinkResult WriteKeys() { return LinkResult::Failed; }
    [[nodiscard]] virtual MacroWriteResult WriteMacros() { return MacroWriteResult::Written; }
    // Replaces the profile's document with the default profile's; false when
    // there is none (the base has none).
    [[nodiscard]] virtual bool RestoreDefaults() { return false; }
    virtual void LightTick() {}
    // Reads the power status block and hands it to the view: nothing while the
    // link is closed, or (for devices with a battery) while the window is
    // hidden or the receiver says the device is off.
    [[nodiscard]] virtual bool ReadPower();
    // True when the device is reachable: on the cable always; on the receiver
    // when the link is open and the receiver says the device answers.
    [[nodiscard]] virtual bool CheckLink();
    // Loads the profile named by the profile list and applies it.
    [[nodiscard]] virtual bool LoadProfile();
    [[nodiscard]] bool SaveProfile();
    virtual CBasicProfiledata& ProfileData() = 0;
    ProfileList& Profiles() { return profiles_; }
    // Reads the profile list (creating the first profile when needed), loads
    // the selected profile and the name lists.
    [[nodiscard]] bool StartProfiles();
    // Reloads the definitions: macro names, lighting modes and their codes,
    // areas, the user's effects. Replaces, never appends.
    void LoadDefinitions();
    const NameLists& Definitions() const { return definitions_; }
    // Device code of lighting mode `index`; mode 0's code (or 0 when there are
    // no definitions) for an index the table does not have.
    std::uint8_t ModeCode(int index) const;
    // First mode index with this code; 0 when none.
    int ModeIndexOfCode(std::uint8_t code) const;

    // Lighting state.
    void SetLightInfo(const LightSetting& light);
    LightSetting GetLightInfo() const;
    void SetLedColour(int index, std::uint32_t colour);
    std::uint32_t GetLedColour(int index) const;
    LedColourList& Leds() { return leds_; }
    TimedSteps& Steps() { return steps_; }
    std::vector<LightSetting> ZoneSettings() const;
    void SetZoneSettings(std::vector<LightSetting> zones);

    // Synchronised lighting: the link's flag (read by the render threads and
    // the sync thread) and whoever shows it (the device's tab) change
    // together. The observer runs on the thread that changes the flag.
    void SetSynchronised(bool on);
    bool Synchronised() const { return link_.SyncFlag(); }
    void SetSyncObserver(std::function<void(bool on)> observer) {
        syncObserver_ = std::move(observer);
    }

    // Flags handed in by the main window.
    void SetHostLighting(bool on) { hostLighting_.store(on); }
    bool HostLighting() const { return hostLighting_.load(); }
    void SetPowerPause(bool paused) {
        if (hasBattery_) powerPause_.store(paused);
    }
    bool PowerPause() const { return powerPause_.load(); }
    void SetAttention(bool attention) { attention_.store(attention); }
    bool Attention() const { return attention_.load(); }

    // Page state.
    void SetFunctionPage(int page);
    int GetFunctionPage() const { return functionPage_; }
    void SelectKey(int key);
    int SelectedKey() const { return selectedKey_; }

    const DeviceInfoBlock& Info() const { return info_; }

protected:
    // Reads the information block (inside an open configuration session).
    LinkResult ReadInfoBlock();
    // EnterConfig, `body`, LeaveConfig: LeaveConfig is sent whenever EnterConfig
    // succeeded, and the first failing code is returned. A device on its
    // receiver is asked QueryLink first; a false answer sends nothing.
    LinkResult ConfigurationWrite(const std::function<LinkResult()>& body);

    // Posts `task` to the UI thread; false without a loop.
    bool PostToUi(std::function<void()> task);
    // SaveProfile for a change the device made on its own (read back from the
    // device, or set through the page): a failed write is logged naming
    // `change`, and the profile in memory keeps it for the next save.
    void SaveProfileOrLog(std::string_view change);

    DeviceInfoBlock info_;
    int activeProfile_ = 0;
    int activeStage_ = 0;
    mutable std::mutex lightMutex_;  // guards light_ against render threads
    LightSetting light_;

private:
    Product product_;
    DeviceEntry identity_;
    std::string pageLayout_;
    std::string tabName_;
    std::string lightingConfig_;
    int keyCount_ = 0;
    bool hasBattery_ = false;
    int profileMode_ = 0;
    DeviceFolders folders_;
    IDeviceView* view_ = nullptr;
    UiLoop* loop_ = nullptr;
    CDeviceLink link_;
    CDeviceLink listenerLink_;
    DeviceListener listener_;
    LedColourList leds_;
    TimedSteps steps_;
    mutable std::mutex zoneMutex_;  // the LED-record lock
    std::vector<LightSetting> zones_;
    NameLists definitions_;
    ProfileList profiles_;
    std::function<void(bool)> syncObserver_;
    std::atomic<bool> hostLighting_{true};
    std::atomic<bool> powerPause_{false};
    std::atomic<bool> attention_{true};
    int functionPage_ = 1;
    int selectedKey_ = -1;
};

}  // namespace q731
