#include "devices/mouse_pad_device.h"

#include <algorithm>

#include <fmt/format.h>

#include "platform/log.h"

namespace q731 {

namespace {

constexpr char kRenderExitText[] = "mouse pad render thread ended";

std::uint8_t ClampByteLevel(int level) {
    return static_cast<std::uint8_t>(ClampLevel(level));
}

}  // namespace

PadPowerStatus DecodePadPower(std::span<const std::uint8_t> block) {
    PadPowerStatus status;
    if (block.size() < kPowerStatusBytes) return status;
    status.charge = std::min<int>(block[0], 100);
    if (block[1] <= 2) status.supply = static_cast<SupplyState>(block[1]);
    if (block[5] >= 1 && block[5] <= 3) status.phone = static_cast<PhoneKind>(block[5]);
    return status;
}

CVexloMousePadDevice::CVexloMousePadDevice(std::shared_ptr<IHidBackend> backend, Clock& clock)
    : CVexloUSBDevice(Product::MousePad, std::move(backend)),
      clock_(clock),
      renderer_(clock, {[this] { return Plan(); }, [this](SteadyTime now) { RenderFrame(now); }},
                kRenderExitText) {
    Listener().SetExitText("MS设备同步线程设定退出");
}

CVexloMousePadDevice::~CVexloMousePadDevice() {
    CloseDevice();
}

void CVexloMousePadDevice::CloseDevice() {
    renderer_.Stop();
    CVexloUSBDevice::CloseDevice();
}

LinkResult CVexloMousePadDevice::Connect() {
    if (Link().IsOpen()) {
        // The information block is kept for what it tells; the pad answers
        // the rest of the bring-up even when it could not be read.
        const LinkResult info = ConfigurationWrite([this] { return ReadInfoBlock(); });
        if (info != LinkResult::Ok) LogWarning("mouse pad: no information block");
        // The pad's own bytes must be known before the first settings write;
        // when they cannot be read now, that write reads them first.
        (void)ReadBlock();
    }
    // Without a readable profile the pad keeps the settings it had.
    (void)LoadProfile();
    RefreshView();
    renderer_.Start();
    renderer_.Wake();
    return LinkResult::Ok;
}

LinkResult CVexloMousePadDevice::ReadBlock() {
    if (!Link().IsOpen()) return LinkResult::Failed;
    std::array<std::uint8_t, pad_block::kProfileStride> raw{};
    std::uint8_t profile = 0;
    const LinkResult result =
        ReadActiveProfileBlock(Link(), raw, pad_block::kProfileStride, kAnyProfileNumber, profile);
    if (result != LinkResult::Ok) return result;

    // Translated in a copy: a block that failed to arrive is never translated.
    PadBlock fresh{};
    std::copy_n(raw.begin(), pad_block::kBytes, fresh.begin());
    fresh[pad_block::kProfile] = profile;
    const std::vector<int>& codes = Definitions().effectValues;
    const auto code = std::find(codes.begin(), codes.end(), fresh[pad_block::kMode]);
    if (code != codes.end())
        fresh[pad_block::kMode] = static_cast<std::uint8_t>(code - codes.begin());
    fresh[pad_block::kSpeed] = SpeedLevelOfByte(fresh[pad_block::kSpeed]);
    {
        std::lock_guard lock(blockMutex_);
        block_ = fresh;
        blockRead_ = true;
    }
    activeProfile_ = profile;
    return LinkResult::Ok;
}

LinkResult CVexloMousePadDevice::Resync() {
    SetSynchronised(false);
    const LinkResult result = ReadBlock();
    renderer_.Wake();
    return result == LinkResult::Ok ? LinkResult::Ok : LinkResult::Failed;
}

void CVexloMousePadDevice::ApplyProfile() {
    const LightSetting light = GetLightInfo();
    {
        std::lock_guard lock(blockMutex_);
        block_[pad_block::kMode] = light.selectItem > kPadMaxMode ? 0 : light.selectItem;
        block_[pad_block::kBrightness] = ClampByteLevel(light.brightness);
        block_[pad_block::kSpeed] = ClampByteLevel(light.speed);
        block_[pad_block::kMultiColor] = light.multiColor;
        block_[pad_block::kRed] = light.red;
        block_[pad_block::kGreen] = light.green;
        block_[pad_block::kBlue] = light.blue;
    }
    SetZoneSettings(profile_.GetLedList());
    Steps().SetSteps(profile_.GetEffectSteps());
    renderer_.Wake();
}

LinkResult CVexloMousePadDevice::WriteSettingsFor(int profile) {
    if (profile < 0 || profile > 0xFF) return LinkResult::Failed;
    PadBlock wire;
    bool known = false;
    {
        std::lock_guard lock(blockMutex_);
        wire = block_;
        known = blockRead_;
    }
    if (!known && ReadBlock() == LinkResult::Ok) {
        // Bring the pad's own bytes in, keep our lighting bytes.
        const PadBlock read = KeptBlock();
        wire[pad_block::kPadOwnByte] = read[pad_block::kPadOwnByte];
        std::copy(read.begin() + pad_block::kPadOwnFirst, read.end(),
                  wire.begin() + pad_block::kPadOwnFirst);
        wire[pad_block::kProfile] = read[pad_block::kProfile];
        std::lock_guard lock(blockMutex_);
        block_ = wire;
        known = true;
    }
    wire[pad_block::kMode] =
        ModeCode(wire[pad_block::kMode] > kPadMaxMode ? 0 : wire[pad_block::kMode]);
    wire[pad_block::kSpeed] = SpeedByte(wire[pad_block::kSpeed]);
    const std::uint32_t address = static_cast<std::uint32_t>(profile) * pad_block::kProfileStride;
    const LinkResult result = ConfigurationWrite([&] {
        if (known) return Link().WriteMemory(wire, address);
        // The pad's own bytes could not be read: write only the lighting bytes
        // around them rather than overwrite them with zeros.
        const std::span<const std::uint8_t> all(wire);
        const LinkResult first = Link().WriteMemory(
            all.subspan(pad_block::kMode, pad_block::kPadOwnByte - pad_block::kMode),
            address + pad_block::kMode);
        if (first != LinkResult::Ok) return first;
        return Link().WriteMemory(
            all.subspan(pad_block::kMultiColor, pad_block::kPadOwnFirst - pad_block::kMultiColor),
            address + pad_block::kMultiColor);
    });
    return result == LinkResult::Ok ? LinkResult::Ok : LinkResult::Failed;
}

PadBlock CVexloMousePadDevice::KeptBlock() const {
    std::lock_guard lock(blockMutex_);
    return block_;
}

bool CVexloMousePadDevice::BlockRead() const {
    std::lock_guard lock(blockMutex_);
    return blockRead_;
}

bool CVexloMousePadDevice::ReadPower() {
    // The charger is worth showing even while the window is hidden: the pad
    // is on the cable, so asking costs one frame.
    if (!Link().IsOpen()) return false;
    std::array<std::uint8_t, kPowerStatusBytes> block{};
    if (Link().ReadPowerStatus(block, kPowerStatusBytes, 0) != LinkResult::Ok) return false;
    block[3] = 0;
    lastPower_ = DecodePadPower(block);
    if (View()) View()->ShowPower(block);
    return true;
}

void CVexloMousePadDevice::OnDeviceEvent(std::uint16_t value, Channel channel) {
    (void)channel;
    if (value != device_event::kResyncRequest) return;
    // The pad sends a burst of requests while its own buttons are used; the
    // one-shot timer restarts on each, so the pad is read once it settles.
    PostToUi([this] {
        // A failed read keeps the block read before.
        Loop()->SetOneShotTimer(this, kTimerResync, kResyncDelay, [this] { (void)Resync(); });
    });
}

void CVexloMousePadDevice::RefreshView() {
    LoadDefinitions();
    if (View()) View()->Refresh();
}

LightSetting CVexloMousePadDevice::RenderSetting() const {
    LightSetting light = GetLightInfo();
    std::lock_guard lock(blockMutex_);
    light.selectItem = block_[pad_block::kMode];
    light.speed = block_[pad_block::kSpeed];
    return light;
}

RenderPlan CVexloMousePadDevice::Plan() {
    // Nobody needs the frames while the window is hidden or inactive: the pad
    // animates itself, and its picture is not repainted then.
    if (!Link().IsOpen() || Link().SyncFlag() || !HostLighting() || !Attention()) return {};
    const LightSetting light = RenderSetting();
    return PadPlanFor(light.selectItem, light.speed);
}

void CVexloMousePadDevice::RenderFrame(SteadyTime now) {
    const LightSetting light = RenderSetting();
    if (light.selectItem != renderedMode_) {
        effects_.Reset();
        Leds().Fill({});
        renderedMode_ = light.selectItem;
    }
    effects_.Render(light, Leds(), Steps(), now);
}

void CVexloMousePadDevice::LightTick() {
    const bool open = Link().IsOpen();
    const std::uint32_t inputs = (open ? 1u : 0u) | (Link().SyncFlag() ? 2u : 0u) |
                                 (HostLighting() ? 4u : 0u) | (Attention() ? 8u : 0u);
    if (inputs != lastPlanInputs_) {
        lastPlanInputs_ = inputs;
        renderer_.Wake();
    }
    if (!open || !HostLighting() || !Attention() || !pictureSink_) return;
    const std::vector<LedColour> picture = Leds().Snapshot();
    pictureSink_(picture);
}

}  // namespace q731
