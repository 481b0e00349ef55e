#include "devices/mouse_device.h"

#include <algorithm>

#include "devices/shoot_image.h"

namespace q731 {

namespace {

using namespace mouse_block;

void Put16(MouseSettingsBlock& block, std::size_t at, int value) {
    const int clamped = std::clamp(value, 0, 0xFFFF);
    block[at] = static_cast<std::uint8_t>(clamped & 0xFF);
    block[at + 1] = static_cast<std::uint8_t>(clamped >> 8);
}

std::uint16_t ClampU16(int value) {
    return static_cast<std::uint16_t>(std::clamp(value, 0, 0xFFFF));
}

}  // namespace

RenderPlan MousePlanFor(int mode, int speedLevel) {
    if (mode < 0 || mode >= static_cast<int>(kMouseModes.size())) return {};
    const MouseModeRow& row = kMouseModes[static_cast<std::size_t>(mode)];
    if (!row.moving) return {RenderPlan::Kind::Static, 1};
    // The timed steps count every tick themselves, a batch of ticks per wake.
    if (row.renderer == MouseRenderer::TimedSteps) {
        return {RenderPlan::Kind::Paced, kTimedStepTicksPerWake};
    }
    return {RenderPlan::Kind::Paced,
            kMousePacing[static_cast<std::size_t>(ClampLevel(speedLevel))]};
}

CVexloMouseDevice::CVexloMouseDevice(std::shared_ptr<IHidBackend> backend, Clock& clock)
    : CKeyTableDevice(Product::Mouse, std::move(backend), kMouseFactoryCodes, kNoPosition, clock,
                      "MS灯光线程设定退出") {}

CVexloMouseDevice::~CVexloMouseDevice() {
    CloseDevice();
}

IMouseView* CVexloMouseDevice::MouseView() const {
    return dynamic_cast<IMouseView*>(View());
}

int CVexloMouseDevice::ButtonPosition(int button) const {
    if (button < 0 || button >= kButtonCount) return kNoPosition;
    return Positions()[static_cast<std::size_t>(button)];
}

void CVexloMouseDevice::SetScreenSize(int width, int height) {
    screenWidth_ = width;
    screenHeight_ = height;
}

LinkResult CVexloMouseDevice::Connect() {
    if (!Link().IsOpen()) return LinkResult::Failed;
    RestartStream();
    const LinkResult read = ReadKeyTables(nullptr);
    if (read != LinkResult::Ok) return read;
    scale_ = DpiScale::Of(info_);
    // Without a readable profile the mouse keeps the settings it had.
    (void)LoadProfile();
    RefreshView();
    Renderer().Start();
    Renderer().Wake();
    return LinkResult::Ok;
}

void CVexloMouseDevice::ApplyProfile() {
    const LightSetting light = GetLightInfo();
    block_[kMode] = light.selectItem;
    block_[kSpeed] = SpeedByte(light.speed);
    SetZoneSettings(profile_.GetLedList());
    Steps().SetSteps(profile_.GetEffectSteps());
    stages_ = profile_.GetDpiStages();
    const int active = profile_.GetActiveStage();
    activeStage_ = ValidStage(active) ? active : 0;
    SetRenderLighting(light.selectItem, light.speed);
    Renderer().Wake();  // a still picture shows the new colours
}

MouseSettingsBlock CVexloMouseDevice::BuildSettingsBlock(std::uint8_t byte0, std::uint8_t byte59,
                                                         int width, int height) {
    MouseSettingsBlock block{};
    const LightSetting light = GetLightInfo();
    block[kProfile] = byte0;
    LightToBlock(light, ModeCode(light.selectItem > kHighestMode ? 0 : light.selectItem), block);
    const int polling = profile_.GetSystemSettings().reportStage;
    block[kPollingRate] = static_cast<std::uint8_t>(polling < kPollingRates ? polling : 0);
    const int active = profile_.GetActiveStage();
    block[kActiveStage] = static_cast<std::uint8_t>(ValidStage(active) ? active : 0);
    for (std::size_t i = 0; i < kStageCount && i < stages_.size(); ++i) {
        const DpiStage& stage = stages_[i];
        const std::size_t at = kStages + kStageBytes * i;
        const std::array<std::uint8_t, kStageBytes> bytes = {
            stage.enabled, stage.separateXY, stage.dpiX[0], stage.dpiX[1], stage.dpiY[0],
            stage.dpiY[1], stage.red,        stage.green,   stage.blue};
        std::copy(bytes.begin(), bytes.end(), block.begin() + static_cast<long>(at));
    }
    block[kByte59] = byte59;
    Put16(block, kScreenWidth, width);
    Put16(block, kScreenHeight, height);
    for (const CorrectEntry& entry : profile_.GetCorrectList()) {
        if (entry.select == 0) continue;
        block[kCorrectMinSq] = entry.minSq;
        block[kCorrectPixThresh] = entry.pixThresh;
        break;
    }
    return block;
}

LinkResult CVexloMouseDevice::WriteSettings() {
    return WriteSettings(0, 0, 1, screenWidth_, screenHeight_);
}

LinkResult CVexloMouseDevice::WriteSettings(int profile, std::uint8_t byte0, std::uint8_t byte59,
                                            int screenWidth, int screenHeight) {
    if (profile < 0 || profile >= kProfiles) return LinkResult::Failed;
    MouseSettingsBlock block = BuildSettingsBlock(byte0, byte59, screenWidth, screenHeight);
    const LinkResult result = ConfigurationWrite([&] {
        return Link().WriteMemory(std::span<const std::uint8_t>(block).first(kWriteBytes),
                                  static_cast<std::uint32_t>(profile) * kStride);
    });
    if (result == LinkResult::Ok) {
        // The kept block holds the mode as an index; the bytes past the
        // written part stay as last read.
        const LightSetting light = GetLightInfo();
        block[kMode] = light.selectItem;
        std::copy_n(block.begin(), kWriteBytes, block_.begin());
        SetRenderLighting(light.selectItem, light.speed);
    }
    return result;
}

LinkResult CVexloMouseDevice::Resync() {
    SetSynchronised(false);
    if (!GateLink()) return LinkResult::Failed;
    MouseSettingsBlock block{};
    std::uint8_t profile = 0;
    if (ReadActiveProfileBlock(Link(), block, kStride, kProfiles, profile) != LinkResult::Ok) {
        return LinkResult::Failed;
    }
    block[kProfile] = profile;
    block[kMode] = ModeIndexOrCode(block[kMode]);
    block[kCleared] = 0;

    // The mouse keeps its direction ("Fx") as the profile has it.
    const LightSetting light = LightFromBlock(block, GetLightInfo(), false);
    block_ = block;
    SetLightInfo(light);
    SetRenderLighting(light.selectItem, light.speed);
    Renderer().Wake();
    // Five stages exist; another value is a damaged block and changes nothing.
    if (ValidStage(block[kActiveStage])) {
        activeStage_ = block[kActiveStage];
        profile_.SetActiveStage(activeStage_);
    }
    SaveProfileOrLog("reading the mouse's settings");
    RefreshView();
    return LinkResult::Ok;
}

LinkResult CVexloMouseDevice::WriteShootData() {
    const MacroImage image = BuildShootImage(Folders().deviceFolder, Folders().defaultDataFolder);
    if (!image.Fits()) return LinkResult::Failed;
    if (!GateLink()) return LinkResult::Failed;
    const LinkResult info = ReadInfoBlock();
    if (info != LinkResult::Ok) return info;
    return Session([&] { return Link().WriteShootData(image.bytes); });
}

void CVexloMouseDevice::StreamLeds() {
    Stream().SendLeds(Link(), Leds(), static_cast<std::size_t>(info_.KeyCount()) * 3);
}

void CVexloMouseDevice::OnDeviceEvent(std::uint16_t value, Channel channel) {
    if (value == device_event::kMouseButton) {
        // Listener thread: only a flag changes hands; the render thread draws
        // the flash with its own state.
        if (RenderMode() == kMouseReactiveMode) reactivePending_.store(true);
        return;
    }
    CVexloUSBDevice::OnDeviceEvent(value, channel);
}

void CVexloMouseDevice::ResetEffects() {
    effects_.Reset();
    reactivePending_.store(false);
    Leds().Fill({});
}

void CVexloMouseDevice::DrawFrame(const LightSetting& light, SteadyTime now) {
    const int mode = light.selectItem;
    if (mode < 0 || mode >= static_cast<int>(kMouseModes.size())) return;
    if (reactivePending_.exchange(false) && mode == kMouseReactiveMode) {
        effects_.TriggerReactive(random_);
    }
    LedColourList& leds = Leds();
    switch (kMouseModes[static_cast<std::size_t>(mode)].renderer) {
        case MouseRenderer::Wave:
            return effects_.ShowWave(light, leds);
        case MouseRenderer::Spectrum:
            return ShowSpectrum(light, effects_.Counters(), leds);
        case MouseRenderer::BreatheColours:
            return BreatheColours(light, effects_.Counters(), leds);
        case MouseRenderer::Static:
            return ShowStatic(light, leds);
        case MouseRenderer::Blink:
            return ShowBlink(light, effects_.Counters(), leds, now);
        case MouseRenderer::TimedSteps:
            return Steps().RenderTicks(leds, now, light.speed, kTimedStepTicksPerWake);
        case MouseRenderer::Reactive:
            return effects_.ShowReactive(light, leds);
        case MouseRenderer::BreathePalette:
            return BreathePalette(light, effects_.Counters(), leds);
        case MouseRenderer::BlinkPalette:
            return BlinkPalette(light, effects_.Counters(), leds, now);
        case MouseRenderer::Ripple:
            return effects_.ShowRipple(light, mode, leds);
        case MouseRenderer::Off:
            return ShowOff(leds);
    }
}

void CVexloMouseDevice::OnProfileStage(int profile, int stage) {
    if (ValidStage(stage)) block_[kActiveStage] = static_cast<std::uint8_t>(stage);
    CVexloUSBDevice::OnProfileStage(profile, stage);
}

void CVexloMouseDevice::EnsureStages(int count) {
    if (static_cast<int>(stages_.size()) < count) stages_.resize(static_cast<std::size_t>(count));
}

bool CVexloMouseDevice::StoreStages() {
    profile_.SetDpiStages(stages_);
    SaveProfileOrLog("changing the DPI stages");
    return WriteSettings() == LinkResult::Ok;
}

bool CVexloMouseDevice::EnableStage(int stage, bool on) {
    if (!ValidStage(stage)) return false;
    EnsureStages(stage + 1);
    if (!on) {
        // The page keeps one stage enabled and the active one on; so does the device.
        int enabled = 0;
        for (std::size_t i = 0; i < stages_.size() && i < kStageCount; ++i)
            enabled += stages_[i].enabled != 0 ? 1 : 0;
        const bool isEnabled = stages_[static_cast<std::size_t>(stage)].enabled != 0;
        if (stage == profile_.GetActiveStage() || (isEnabled && enabled <= 1)) return false;
    }
    if (IMouseView* view = MouseView()) view->ShowStageEnabled(stage, on);
    stages_[static_cast<std::size_t>(stage)].enabled = on ? 1 : 0;
    return StoreStages();
}

bool CVexloMouseDevice::SelectStage(int stage, std::span<const std::optional<int>> sliders) {
    if (!ValidStage(stage)) return false;
    profile_.SetActiveStage(stage);
    activeStage_ = stage;
    for (int i = 0; i < kStageCount; ++i) {
        const std::size_t at = static_cast<std::size_t>(i);
        const int value = at < sliders.size() && sliders[at] ? *sliders[at] : 0;
        const int step = scale_.Usable() ? scale_.ClampStep(value) : ClampU16(value);
        if (IMouseView* view = MouseView()) view->ShowStageValue(i, step);
        EnsureStages(i + 1);
        stages_[at].SetDpiX(static_cast<std::uint16_t>(step));
    }
    return StoreStages();
}

bool CVexloMouseDevice::SetStageStep(int stage, int step) {
    if (!ValidStage(stage)) return false;
    const int clamped = scale_.Usable() ? scale_.ClampStep(step) : ClampU16(step);
    if (IMouseView* view = MouseView()) view->ShowStageValue(stage, clamped);
    EnsureStages(stage + 1);
    stages_[static_cast<std::size_t>(stage)].SetDpiX(static_cast<std::uint16_t>(clamped));
    return StoreStages();
}

bool CVexloMouseDevice::SetStageColour(int stage, std::uint32_t colour) {
    if (!ValidStage(stage)) return false;
    EnsureStages(stage + 1);
    DpiStage& entry = stages_[static_cast<std::size_t>(stage)];
    entry.red = static_cast<std::uint8_t>(colour >> 16);
    entry.green = static_cast<std::uint8_t>(colour >> 8);
    entry.blue = static_cast<std::uint8_t>(colour);
    if (IMouseView* view = MouseView())
        view->ShowStageColour(stage, 0xFF000000u | (colour & 0xFFFFFFu));
    return StoreStages();
}

void CVexloMouseDevice::PreviewStageStep(int stage, int step) {
    if (!ValidStage(stage)) return;
    if (IMouseView* view = MouseView()) view->ShowStageValue(stage, scale_.ClampStep(step));
}

bool CVexloMouseDevice::EnterStageResolution(int stage, std::string_view text) {
    if (!ValidStage(stage)) return false;
    const std::optional<int> step = scale_.StepOfResolution(ParseDecimal(text));
    if (!step) return false;
    if (IMouseView* view = MouseView()) view->ShowStageValue(stage, *step);
    EnsureStages(stage + 1);
    stages_[static_cast<std::size_t>(stage)].SetDpiX(static_cast<std::uint16_t>(*step));
    return StoreStages();
}

void CVexloMouseDevice::SaveSystemSettings(const MouseSystemSettings& settings) {
    profile_.SetSystemSettings(settings);
    SaveProfileOrLog("changing the mouse's settings");
}

bool CVexloMouseDevice::SetPollingRate(int index) {
    if (index < 0 || index >= kPollingRates) return false;
    if (IMouseView* view = MouseView()) view->ShowPollingRate(index);
    MouseSystemSettings settings = profile_.GetSystemSettings();
    settings.reportStage = static_cast<std::uint16_t>(index);
    SaveSystemSettings(settings);
    return WriteSettings() == LinkResult::Ok;
}

void CVexloMouseDevice::SetPointerSpeed(int speed) {
    MouseSystemSettings settings = profile_.GetSystemSettings();
    settings.mouseSpeed = ClampU16(speed);
    SaveSystemSettings(settings);
}

void CVexloMouseDevice::SetDoubleClickTime(int milliseconds) {
    MouseSystemSettings settings = profile_.GetSystemSettings();
    settings.doubleClickTime = ClampU16(milliseconds);
    SaveSystemSettings(settings);
}

void CVexloMouseDevice::SetPointerPrecision(bool on) {
    MouseSystemSettings settings = profile_.GetSystemSettings();
    settings.pointerPrecision = on ? 1 : 0;
    SaveSystemSettings(settings);
}

void CVexloMouseDevice::SetScrollLines(int lines) {
    MouseSystemSettings settings = profile_.GetSystemSettings();
    settings.wheelScrollLines = ClampU16(lines);
    settings.scrollPage = 0;
    SaveSystemSettings(settings);
}

void CVexloMouseDevice::SetScrollPage(bool on, int lines) {
    MouseSystemSettings settings = profile_.GetSystemSettings();
    settings.wheelScrollLines = ClampU16(lines);
    settings.scrollPage = on ? 1 : 0;
    SaveSystemSettings(settings);
}

}  // namespace q731
