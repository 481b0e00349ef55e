#include "devices/usb_device.h"

#include <algorithm>

#include "platform/log.h"
#include "profiles/device_startup.h"

namespace q731 {

namespace {

DeviceKind ProfileKindOf(DeviceKindCode kind) {
    switch (kind) {
        case DeviceKindCode::Mouse: return DeviceKind::Mouse;
        case DeviceKindCode::MousePad: return DeviceKind::MousePad;
        case DeviceKindCode::Headset: return DeviceKind::Headset;
        case DeviceKindCode::Keyboard:
        case DeviceKindCode::Base: break;
    }
    return DeviceKind::Keyboard;
}

}  // namespace

CVexloUSBDevice::CVexloUSBDevice(DeviceKindCode kind, std::shared_ptr<IHidBackend> backend)
    : kind_(kind), link_(backend), listenerLink_(backend) {
    profiles_.SetDeviceKind(ProfileKindOf(kind));
}

CVexloUSBDevice::~CVexloUSBDevice() = default;

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
    ProfileData().SetDeviceKindIndex(KindRow(ProfileKindOf(kind_)).kindIndex);
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
    const bool ok = StartDeviceProfiles(ProfileKindOf(kind_), folders_.deviceFolder,
                                        folders_.defaultDataFolder, ProfileData(), profiles_, names);
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

bool CVexloUSBDevice::SaveProfile() { return ProfileData().SaveProfile(); }

void CVexloUSBDevice::LoadDefinitions() {
    const DeviceKind kind = ProfileKindOf(kind_);
    NameLists fresh;
    LoadNameLists(fresh, KindRow(kind).kindIndex, MacroListPath(folders_.deviceFolder, kind),
                  DefaultLightPath(folders_.defaultDataFolder),
                  LightLibraryPath(folders_.deviceFolder));
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
