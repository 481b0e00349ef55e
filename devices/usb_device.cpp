#include "devices/usb_device.h"

#include <algorithm>

#include <fmt/format.h>

#include "platform/log.h"
#include "profiles/device_startup.h"

namespace q731 {

CVexloUSBDevice::CVexloUSBDevice(Product product, std::shared_ptr<IHidBackend> backend)
    : product_(product),
      link_(backend),
      listenerLink_(backend),
      listener_(
          listenerLink_.WiredConnection(), listenerLink_.ReceiverConnection(),
          [this](std::uint16_t value, Channel channel) { OnDeviceEvent(value, channel); },
          "MS 设备同步线程设定退出") {
    profiles_.SetProduct(product);
}

CVexloUSBDevice::~CVexloUSBDevice() {
    CloseDevice();
}

bool CVexloUSBDevice::OpenListener(Channel channel, const std::string& path) {
    return listener_.Open(channel, path);
}

void CVexloUSBDevice::CloseListener(Channel channel) {
    listener_.Close(channel);
}

void CVexloUSBDevice::CloseDevice() {
    listener_.CloseAll();
    link_.Close();
    if (loop_) loop_->KillTimers(this);
}

bool CVexloUSBDevice::PostToUi(std::function<void()> task) {
    return loop_ != nullptr && loop_->Post(std::move(task));
}

void CVexloUSBDevice::OnDeviceEvent(std::uint16_t value, Channel channel) {
    (void)channel;
    LogDebug(fmt::format("device event 0x{:04X}", value));
    if (value == device_event::kResyncRequest) {
        LogDebug("接收到自动添加设备的同步信息要求");
        // Commands go out from the UI thread only; the timer is set there too.
        PostToUi([this] {
            // A failed read keeps what was read before; the device asks again
            // when it changes again.
            loop_->SetOneShotTimer(this, kTimerResync, Millis(50), [this] { (void)Resync(); });
        });
        return;
    }
    const int high = value >> 8;
    if (high != device_event::kProfileHigh && high != device_event::kProfileStageHigh) return;
    if (!link_.IsOpen()) return;
    const int profile = value & 0x0F;
    int stage = -1;
    if (high == device_event::kProfileStageHigh) {
        stage = (value >> 4) & 0x0F;
        // Five stages exist: a larger nibble is a damaged report.
        if (stage > 4) return;
    }
    PostToUi([this, profile, stage] { OnProfileStage(profile, stage); });
}

void CVexloUSBDevice::OnProfileStage(int profile, int stage) {
    activeProfile_ = profile;
    if (stage >= 0) activeStage_ = stage;
    if (view_) view_->Refresh();
}

void CVexloUSBDevice::SetNames(std::string pageLayout, std::string tabName,
                               std::string lightingConfig) {
    pageLayout_ = std::move(pageLayout);
    tabName_ = std::move(tabName);
    lightingConfig_ = std::move(lightingConfig);
}

void CVexloUSBDevice::SetLedCount(int count) {
    const auto size = static_cast<std::size_t>(std::max(count, 0));
    leds_.Resize(size);
    std::lock_guard lock(zoneMutex_);
    zones_.assign(size, LightSetting{});
}

void CVexloUSBDevice::SetProfileMode(int mode) {
    profileMode_ = mode;
    ProfileData().SetDeviceKindIndex(RecordOf(product_).profileMode);
}

void CVexloUSBDevice::Initialise() {
    if (pageLayout_.empty()) {
        keyCount_ = 0;
        SetLedCount(0);
    }
}

bool CVexloUSBDevice::ReadPower() {
    if (!link_.IsOpen()) return false;
    if (hasBattery_ && (powerPause_.load() || !link_.QueryLink())) return false;
    std::array<std::uint8_t, kPowerStatusBytes> block{};
    if (link_.ReadPowerStatus(block, kPowerStatusBytes, 0) != LinkResult::Ok) return false;
    block[3] = OnReceiver() ? 1 : 0;
    if (view_) view_->ShowPower(block);
    return true;
}

bool CVexloUSBDevice::CheckLink() {
    if (!OnReceiver()) return true;
    return link_.IsOpen() && link_.QueryLink();
}

bool CVexloUSBDevice::StartProfiles() {
    NameLists names;
    const bool ok = StartDeviceProfiles(product_, folders_.deviceFolder, folders_.defaultDataFolder,
                                        ProfileData(), profiles_, names);
    definitions_ = std::move(names);
    return ok;
}

bool CVexloUSBDevice::LoadProfile() {
    if (!LoadCurrentProfile(profiles_, ProfileData())) return false;
    {
        std::lock_guard lock(lightMutex_);
        light_ = ProfileData().GetLightSetting();
    }
    ApplyProfile();
    return true;
}

bool CVexloUSBDevice::SaveProfile() {
    return ProfileData().SaveProfile();
}

void CVexloUSBDevice::SaveProfileOrLog(std::string_view change) {
    if (SaveProfile()) return;
    LogWarning(fmt::format("{}: the profile could not be saved after {}", RecordOf(product_).name,
                           change));
}

void CVexloUSBDevice::LoadDefinitions() {
    NameLists fresh;
    LoadNameLists(
        fresh, RecordOf(product_).profileMode, MacroListPath(folders_.deviceFolder, product_),
        DefaultLightPath(folders_.defaultDataFolder), LightLibraryPath(folders_.deviceFolder));
    definitions_ = std::move(fresh);
}

std::uint8_t CVexloUSBDevice::ModeCode(int index) const {
    const std::vector<int>& codes = definitions_.effectValues;
    if (codes.empty()) return 0;
    if (index < 0 || static_cast<std::size_t>(index) >= codes.size()) index = 0;
    return static_cast<std::uint8_t>(codes[static_cast<std::size_t>(index)]);
}

int CVexloUSBDevice::ModeIndexOfCode(std::uint8_t code) const {
    const std::vector<int>& codes = definitions_.effectValues;
    const auto it = std::find(codes.begin(), codes.end(), code);
    return it == codes.end() ? 0 : static_cast<int>(it - codes.begin());
}

void CVexloUSBDevice::SetLightInfo(const LightSetting& light) {
    {
        std::lock_guard lock(lightMutex_);
        light_ = light;
    }
    ProfileData().SetLightSetting(light);
}

LightSetting CVexloUSBDevice::GetLightInfo() const {
    std::lock_guard lock(lightMutex_);
    return light_;
}

void CVexloUSBDevice::SetSynchronised(bool on) {
    const bool was = link_.SyncFlag();
    link_.SetSyncFlag(on);
    if (was != on && syncObserver_) syncObserver_(on);
}

void CVexloUSBDevice::SetLedColour(int index, std::uint32_t colour) {
    if (index < 0) return;
    leds_.Set(static_cast<std::size_t>(index), LedColour::Unpack(colour));
}

std::uint32_t CVexloUSBDevice::GetLedColour(int index) const {
    if (index < 0) return 0;
    return leds_.Get(static_cast<std::size_t>(index)).Pack();
}

std::vector<LightSetting> CVexloUSBDevice::ZoneSettings() const {
    std::lock_guard lock(zoneMutex_);
    return zones_;
}

void CVexloUSBDevice::SetZoneSettings(std::vector<LightSetting> zones) {
    std::lock_guard lock(zoneMutex_);
    // Never more zones than LEDs: the list comes from a file.
    zones.resize(std::min(zones.size(), leds_.Size()));
    zones.resize(leds_.Size());
    zones_ = std::move(zones);
}

void CVexloUSBDevice::SetFunctionPage(int page) {
    functionPage_ = page;
    if (view_) view_->ShowFunctionPage(page);
}

void CVexloUSBDevice::SelectKey(int key) {
    selectedKey_ = (key >= 0 && key < keyCount_) ? key : -1;
    if (view_) view_->ShowSelectedKey(selectedKey_);
}

LinkResult CVexloUSBDevice::ReadInfoBlock() {
    std::array<std::uint8_t, kDeviceInfoBytes> block{};
    const LinkResult result = link_.ReadDeviceInfo(block);
    if (result == LinkResult::Ok) info_.bytes = block;
    return result;
}

LinkResult CVexloUSBDevice::ConfigurationWrite(const std::function<LinkResult()>& body) {
    if (!link_.IsOpen()) return LinkResult::Failed;
    if (OnReceiver() && !link_.QueryLink()) return LinkResult::Failed;
    const LinkResult entered = link_.EnterConfig();
    if (entered != LinkResult::Ok) return entered;
    const LinkResult result = body();
    const LinkResult left = link_.LeaveConfig();
    return result != LinkResult::Ok ? result : left;
}

}  // namespace q731
