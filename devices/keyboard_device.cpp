#include "devices/keyboard_device.h"

#include <algorithm>
#include <utility>

#include "devices/lighting/key_renderers.h"
#include "platform/log.h"

namespace q731 {

namespace {

using namespace keyboard_block;

std::uint8_t Byte(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 0xFF));
}

const KeyboardModeRow* RowOf(int mode) {
    if (mode < 0 || mode >= static_cast<int>(kKeyboardModes.size())) return nullptr;
    return &kKeyboardModes[static_cast<std::size_t>(mode)];
}

// The wheel entry of the zone colour mode for each zone sub-mode.
int ZoneWheelEntry(int subMode) {
    switch (subMode) {
        case 1:
            return 25;
        case 2:
            return 70;
        case 3:
            return 95;
        default:
            return 174;
    }
}

}  // namespace

RenderPlan KeyboardPlanFor(int mode, int speedLevel, bool zones) {
    const auto speed = static_cast<std::size_t>(ClampLevel(speedLevel));
    if (zones) return {RenderPlan::Kind::Paced, kKeyboardPacing[speed]};
    const KeyboardModeRow* row = RowOf(mode);
    if (row == nullptr) return {};
    if (!row->moving) return {RenderPlan::Kind::Static, 1};
    return {RenderPlan::Kind::Paced, row->pacing[speed]};
}

CVexloKeyboardDevice::CVexloKeyboardDevice(std::shared_ptr<IHidBackend> backend, Clock& clock)
    : CKeyTableDevice(Product::Keyboard, std::move(backend), kKeyboardFactoryCodes, kNoPosition,
                      clock, "KB灯光线程设定退出") {
    ledOfKey_.fill(kNoLedIndex);
}

CVexloKeyboardDevice::~CVexloKeyboardDevice() {
    CloseDevice();
}

IKeyboardView* CVexloKeyboardDevice::KeyboardView() const {
    return dynamic_cast<IKeyboardView*>(View());
}

int CVexloKeyboardDevice::LedOfKey(int key) const {
    if (key < 0 || key >= kKeyboardLogicalKeys) return kNoLedIndex;
    return ledOfKey_[static_cast<std::size_t>(key)];
}

void CVexloKeyboardDevice::BuildLedMap(const std::vector<std::uint8_t>& ledMap) {
    ledOfKey_.fill(kNoLedIndex);
    for (std::size_t key = 0; key < ledOfKey_.size(); ++key) {
        const int position = Positions()[key];
        if (position == kNoPosition || static_cast<std::size_t>(position) >= ledMap.size()) {
            continue;
        }
        ledOfKey_[key] = ledMap[static_cast<std::size_t>(position)];
    }
}

LinkResult CVexloKeyboardDevice::Connect() {
    if (!Link().IsOpen()) return LinkResult::Failed;
    RestartStream();
    std::vector<std::uint8_t> ledMap;
    const LinkResult read = ReadKeyTables(&ledMap);
    // Without both tables no key has a position or an LED: nothing key- or
    // colour-related is sent until a later connect reads them.
    BuildLedMap(read == LinkResult::Ok ? ledMap : std::vector<std::uint8_t>{});
    // Without a readable profile the keyboard keeps the settings it had, and
    // the settings read next still reach the page.
    (void)LoadProfile();
    // A keyboard that does not answer keeps what the profile says until the
    // next resync reads it.
    (void)ReadSettings();
    // While the program has the lighting control, the keyboard takes its
    // lighting from the host from the moment it connects.
    if (read == LinkResult::Ok && HostLighting() && Link().EnableHostLighting() != LinkResult::Ok)
        LogWarning("keyboard: host lighting could not be enabled");
    RefreshView();
    Renderer().Start();
    Renderer().Wake();
    return read;
}

void CVexloKeyboardDevice::ApplyProfile() {
    const LightSetting light = GetLightInfo();
    block_[kMode] = light.selectItem;
    block_[kSpeed] = SpeedByte(light.speed);
    SetZoneSettings(profile_.GetLedList());
    zonesPresent_.store(ZoneEffects::AnyPresent(ZoneSettings()));
    Steps().SetSteps(profile_.GetEffectSteps());
    if (light.selectItem == kCustomMode) {
        LedsFromKeyColours(profile_.GetCustomColourGroup(light.customGroup, LedCount()));
    }
    {
        std::lock_guard lock(musicMutex_);
        audio_ = profile_.GetAudioLightSetting();
    }
    SetRenderLighting(light.selectItem, light.speed);
    // The custom mode applied again starts afresh, as a mode change does.
    if (light.selectItem == kCustomMode) RestartRenderer();
    Renderer().Wake();  // a still picture shows the new colours
}

LinkResult CVexloKeyboardDevice::ReadSettings() {
    SetSynchronised(false);
    if (!GateLink()) return LinkResult::Failed;
    KeyboardSettingsBlock block{};
    std::uint8_t profile = 0;
    if (ReadActiveProfileBlock(Link(), block, kStride, kProfiles, profile) != LinkResult::Ok) {
        return LinkResult::Failed;
    }
    block[kProfile] = profile;
    block[kMode] = ModeIndexOrCode(block[kMode]);
    block[kCleared] = 0;
    block[kStage] = block_[kStage];

    LightSetting light = LightFromBlock(block, GetLightInfo(), true);
    light.zzccMode = block[kZoneMode];
    light.customGroup = block[kCustomGroup];
    block_ = block;
    SetLightInfo(light);
    SetRenderLighting(light.selectItem, light.speed);
    Renderer().Wake();
    // A failed write pauses colour writes for a while; the colours stay in the
    // profile and go with the next write.
    if (light.selectItem == kCustomMode) (void)LoadCustomGroup();

    KeyboardSystemSettings settings = profile_.GetSystemSettings();
    settings.key6Flag = block[kKey6Flag];
    settings.wFlag = block[kWFlag];
    settings.winFlag = block[kWinFlag];
    profile_.SetSystemSettings(settings);
    SaveProfileOrLog("reading the keyboard's settings");
    return LinkResult::Ok;
}

LinkResult CVexloKeyboardDevice::Resync() {
    if (reloadProfile_.exchange(false)) {
        // The keyboard switched profiles itself: follow it first. A list or
        // profile that cannot be read leaves the one loaded before.
        (void)Profiles().LoadProfileList();
        (void)LoadProfile();
    }
    const LinkResult result = ReadSettings();
    RefreshView();
    return result;
}

void CVexloKeyboardDevice::OnDeviceEvent(std::uint16_t value, Channel channel) {
    if (value == device_event::kKeyboardProfileChanged) {
        if (channel != Channel::Cable) return;
        reloadProfile_.store(true);
        value = device_event::kResyncRequest;
    }
    CVexloUSBDevice::OnDeviceEvent(value, channel);
}

void CVexloKeyboardDevice::OnProfileStage(int profile, int stage) {
    if (stage >= 0 && stage <= 4) block_[kStage] = static_cast<std::uint8_t>(stage);
    CVexloUSBDevice::OnProfileStage(profile, stage);
}

LinkResult CVexloKeyboardDevice::WriteSettings(int profile) {
    if (profile < 0 || profile >= kProfiles) return LinkResult::Failed;
    const LightSetting light = GetLightInfo();
    const KeyboardSystemSettings settings = profile_.GetSystemSettings();
    KeyboardSettingsBlock block{};
    block[kProfile] = 0;
    LightToBlock(light, ModeCode(light.selectItem > kHighestMode ? 0 : light.selectItem), block);
    block[kZoneMode] = light.zzccMode;
    block[kWFlag] = Byte(settings.wFlag);
    block[kKey6Flag] = Byte(settings.key6Flag);
    block[kWinFlag] = Byte(settings.winFlag);
    block[kPollingRate] = Byte(settings.pollingRate);
    block[kCustomGroup] = light.customGroup;
    const LinkResult result = ConfigurationWrite(
        [&] { return Link().WriteMemory(block, static_cast<std::uint32_t>(profile) * kStride); });
    if (result == LinkResult::Ok) {
        const std::uint8_t stage = block_[kStage];
        block_ = block;
        block_[kMode] = light.selectItem;
        block_[kStage] = stage;
        SetRenderLighting(light.selectItem, light.speed);
    }
    return result;
}

std::vector<std::uint8_t> CVexloKeyboardDevice::BuildStreamFrame() {
    const std::vector<LedColour> colours = Leds().Snapshot();
    return BuildLightFrame(colours, static_cast<std::size_t>(info_.KeyCount()) * 3, ledOfKey_);
}

void CVexloKeyboardDevice::StreamLeds() {
    const std::vector<std::uint8_t> frame = BuildStreamFrame();
    if (!frame.empty()) Stream().Send(Link(), frame);
}

void CVexloKeyboardDevice::PushHostColour(std::span<const std::uint32_t> values) {
    if (values.size() < 3) return;
    const Rgb colour{static_cast<std::uint8_t>(values[0]), static_cast<std::uint8_t>(values[1]),
                     static_cast<std::uint8_t>(values[2])};
    hostColour_.store(LedColour::Of(colour, 0).Pack());
    Renderer().Wake();
}

void CVexloKeyboardDevice::PushAudioLevels(std::span<const std::int32_t> values) {
    const MusicLevels levels = TakeMusicLevels(values);
    std::lock_guard lock(musicMutex_);
    pushedLevels_ = levels;
    if (RenderMode() != kMusicMode || audio_.audioMode != 2) return;
    // The ripples follow the pushes themselves: the levels are taken here,
    // and a ripple they start is drawn by the render thread's next frame.
    pushedLevels_.fill(0);
    if (rippleTrigger_.Add(levels)) rippleQueued_ = true;
}

void CVexloKeyboardDevice::SetAudioSettings(const AudioLightSetting& settings) {
    {
        std::lock_guard lock(musicMutex_);
        audio_ = settings;
    }
    profile_.SetAudioLightSetting(settings);
    SaveProfileOrLog("changing the music colours");
}

AudioLightSetting CVexloKeyboardDevice::AudioSettings() const {
    std::lock_guard lock(musicMutex_);
    return audio_;
}

void CVexloKeyboardDevice::ResetEffects() {
    counters_ = {};
    zoneEffects_.Reset();
    keyEffects_.Clear();
    keyEffects_.StartMode(RenderMode());
    std::lock_guard lock(musicMutex_);
    pushedLevels_.fill(0);
    rippleQueued_ = false;
}

void CVexloKeyboardDevice::DrawMusicFrame(const LightSetting& light, LedColourList& leds) {
    AudioLightSetting audio;
    bool ripple = false;
    {
        std::lock_guard lock(musicMutex_);
        audio = audio_;
        keyEffects_.musicLevels = pushedLevels_;
        pushedLevels_.fill(0);
        ripple = std::exchange(rippleQueued_, false);
    }
    if (ripple) keyEffects_.StartRipple(MusicRippleTrigger::kRippleKey, 1);
    (void)RenderMusicFrame(audio, light, keyEffects_, leds, random_);
}

void CVexloKeyboardDevice::DrawFrame(const LightSetting& light, SteadyTime now) {
    LedColourList& leds = Leds();
    const int brightness = BrightnessOfLevel(light.brightness);
    if (const KeyboardModeRow* row = RowOf(light.selectItem)) {
        switch (row->renderer) {
            case KeyboardRenderer::TimedSteps:
                Steps().RenderTicks(leds, now, light.speed, kTimedStepTicksPerWake);
                break;
            case KeyboardRenderer::PerKey:
                (void)RenderKeyFrame(light.selectItem, light, keyEffects_, leds, random_);
                break;
            case KeyboardRenderer::Spectrum:
                ShowSpectrum(light, counters_, leds);
                break;
            case KeyboardRenderer::Blink:
                ShowBlink(light, counters_, leds, now);
                break;
            case KeyboardRenderer::BreathePalette:
                BreathePalette(light, counters_, leds);
                break;
            case KeyboardRenderer::BlinkPalette:
                BlinkPalette(light, counters_, leds, now);
                break;
            case KeyboardRenderer::Off:
                ShowOff(leds);
                break;
            case KeyboardRenderer::ZoneColour:
                leds.Fill(LedColour::Of(WheelColour(ZoneWheelEntry(light.zzccMode)), brightness));
                break;
            case KeyboardRenderer::Custom:
                for (std::size_t led = 0; led < leds.Size(); ++led)
                    leds.SetBrightness(led, static_cast<std::uint8_t>(brightness));
                break;
            case KeyboardRenderer::Music:
                DrawMusicFrame(light, leds);
                break;
            case KeyboardRenderer::HostColour: {
                const LedColour pushed = LedColour::Unpack(hostColour_.load());
                leds.Fill(LedColour::Of({pushed.red, pushed.green, pushed.blue}, brightness));
                break;
            }
        }
    }
    // Zones go over whatever the mode drew, every pass.
    if (zonesPresent_.load()) {
        const std::vector<LightSetting> zones = ZoneSettings();
        zoneEffects_.Apply(zones, leds, now);
    }
}

std::vector<KeyColour> CVexloKeyboardDevice::LedsAsKeyColours() {
    std::vector<KeyColour> colours;
    for (const LedColour& led : Leds().Snapshot()) {
        colours.push_back({led.red, led.green, led.blue, led.brightness});
    }
    return colours;
}

void CVexloKeyboardDevice::LedsFromKeyColours(const std::vector<KeyColour>& colours) {
    for (std::size_t key = 0; key < colours.size(); ++key) {
        const KeyColour& colour = colours[key];
        Leds().Set(key, {colour.red, colour.green, colour.blue, colour.alpha});
    }
}

LinkResult CVexloKeyboardDevice::SendCustomColours() {
    const LightSetting light = GetLightInfo();
    if (light.selectItem != kCustomMode || light.customGroup >= kCustomGroupCount) {
        return LinkResult::Failed;
    }
    if (!KeyTableValid() || Paused() || !GateLink()) return LinkResult::Failed;
    const std::vector<std::uint8_t> buffer = BuildLightFrame(
        Leds().Snapshot(), static_cast<std::size_t>(info_.KeyCount()) * 3, ledOfKey_);
    const LinkResult result = Link().WriteKeyColours(buffer, light.customGroup, kCustomGroupStride);
    if (result != LinkResult::Ok) PauseAfterFailure();
    return result;
}

bool CVexloKeyboardDevice::SelectCustomGroup(int group) {
    if (group < 0 || group >= kCustomGroupCount) return false;
    profile_.SetSelectedCustomGroup(group);
    LightSetting light = GetLightInfo();
    light.customGroup = static_cast<std::uint8_t>(group);
    SetLightInfo(light);
    SaveProfileOrLog("choosing a custom colour group");
    return true;
}

LinkResult CVexloKeyboardDevice::LoadCustomGroup() {
    const LightSetting light = GetLightInfo();
    LedsFromKeyColours(profile_.GetCustomColourGroup(light.customGroup, LedCount()));
    return SendCustomColours();
}

LinkResult CVexloKeyboardDevice::FillAllKeys(bool on) {
    const LightSetting light = GetLightInfo();
    Leds().Fill(on ? LedColour{light.red, light.green, light.blue, 255} : LedColour{0, 0, 0, 255});
    const LinkResult result = SendCustomColours();
    const int group = profile_.GetSelectedCustomGroup();
    if (group >= 0 && group < kCustomGroupCount) {
        profile_.SetCustomColourGroup(LedsAsKeyColours(), group);
        SaveProfileOrLog("filling the key colours");
    }
    return result;
}

bool CVexloKeyboardDevice::PaintKey(int key) {
    const LightSetting light = GetLightInfo();
    if (light.selectItem != kCustomMode || key < 0 || key >= LedCount()) return false;
    Leds().Set(static_cast<std::size_t>(key), {light.red, light.green, light.blue, 255});
    const int group = profile_.GetSelectedCustomGroup();
    if (group < 0 || group >= kCustomGroupCount) return true;
    profile_.SetCustomColourGroup(LedsAsKeyColours(), group);
    SaveProfileOrLog("painting a key");
    if (OnReceiver() || !KeyTableValid() || !Link().IsOpen() || Paused() ||
        light.customGroup >= kCustomGroupCount) {
        return true;
    }
    const std::vector<std::uint8_t> buffer =
        BuildLightFrame(Leds().Snapshot(), kPaintBytes, ledOfKey_, FrameShading::AsStored);
    if (Link().WriteKeyColours(buffer, light.customGroup, kCustomGroupStride) != LinkResult::Ok) {
        PauseAfterFailure();
    }
    return true;
}

LinkResult CVexloKeyboardDevice::EnableHostLighting(bool on) {
    SetHostLighting(on);
    if (!on) return LinkResult::Ok;
    if (!GateLink()) return LinkResult::Failed;
    return Link().EnableHostLighting();
}

bool CVexloKeyboardDevice::StoreSystemSettings(const KeyboardSystemSettings& settings, bool send) {
    profile_.SetSystemSettings(settings);
    SaveProfileOrLog("changing the keyboard's settings");
    return !send || WriteSettings() == LinkResult::Ok;
}

bool CVexloKeyboardDevice::SetFlag(KeyboardFlag flag, bool on) {
    KeyboardSystemSettings settings = profile_.GetSystemSettings();
    const std::uint16_t value = on ? 1 : 0;
    switch (flag) {
        case KeyboardFlag::WinLock:
            settings.winFlag = value;
            break;
        case KeyboardFlag::WKey:
            settings.wFlag = value;
            break;
        case KeyboardFlag::SixKey:
            settings.key6Flag = value;
            break;
    }
    return StoreSystemSettings(settings, true);
}

bool CVexloKeyboardDevice::SetPollingRate(int index) {
    if (index < 0 || index >= kPollingRates) return false;
    if (IKeyboardView* view = KeyboardView()) view->ShowPollingRate(index);
    KeyboardSystemSettings settings = profile_.GetSystemSettings();
    settings.pollingRate = static_cast<std::uint16_t>(index);
    return StoreSystemSettings(settings, true);
}

int CVexloKeyboardDevice::RepeatDelayMs(int index) {
    if (index < 0 || index >= kRepeatDelays) index = 0;
    return index * 250 + 250;
}

bool CVexloKeyboardDevice::SetRepeatDelay(int index) {
    if (index < 0 || index >= kRepeatDelays) return false;
    if (IKeyboardView* view = KeyboardView()) view->ShowRepeatDelay(index, RepeatDelayMs(index));
    KeyboardSystemSettings settings = profile_.GetSystemSettings();
    settings.repeatDelay = static_cast<std::uint16_t>(index);
    return StoreSystemSettings(settings, false);
}

void CVexloKeyboardDevice::SetRepeatRate(int rate) {
    KeyboardSystemSettings settings = profile_.GetSystemSettings();
    settings.repeat = static_cast<std::uint16_t>(std::clamp(rate, 0, 0xFFFF));
    // Nothing is sent, so only the save can fail, and that is logged.
    (void)StoreSystemSettings(settings, false);
}

}  // namespace q731
