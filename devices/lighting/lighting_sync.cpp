#include "devices/lighting/lighting_sync.h"

#include <algorithm>
#include <array>

#include "devices/lighting/lighting_tables.h"
#include "devices/usb_device.h"
#include "platform/log.h"
#include "platform/stop_event.h"

namespace q731 {

namespace {

// Mode index of each common effect, by product (the enum's order).
constexpr std::array<std::array<int, kSyncEffects>, 4> kSyncModes = {{
    {5, 6, 23, 4, 28},  // keyboard
    {2, 3, 4, 1, 10},   // mouse
    {2, 3, 4, 1, 8},    // mouse pad
    {2, 3, 4, 1, 8},    // headset
}};

const std::array<int, kSyncEffects>& ModesOf(Product product) {
    return kSyncModes[static_cast<std::size_t>(product)];
}

// Mice first, then mouse pads, headsets and keyboards.
int ApplyRank(Product product) {
    switch (product) {
        case Product::Mouse:
            return 0;
        case Product::MousePad:
            return 1;
        case Product::Headset:
            return 2;
        case Product::Keyboard:
            return 3;
    }
    return 4;
}

// Keyboards first, then mice, mouse pads and headsets.
int StartRank(Product product) {
    return product == Product::Keyboard ? 0 : ApplyRank(product) + 1;
}

bool Taking(CVexloUSBDevice& device) {
    return device.Synchronised() && device.Link().IsOpen();
}

}  // namespace

std::optional<SyncEffect> SyncEffectOfMode(Product product, int mode) {
    const auto& modes = ModesOf(product);
    for (int effect = 0; effect < kSyncEffects; ++effect) {
        if (modes[static_cast<std::size_t>(effect)] == mode) return static_cast<SyncEffect>(effect);
    }
    return std::nullopt;
}

int SyncModeOf(Product product, SyncEffect effect) {
    return ModesOf(product)[static_cast<std::size_t>(effect)];
}

int SyncIntervalTicks(int speedLevel) {
    const int level = std::clamp(speedLevel, 0, 14);
    return level < kLevels ? kMousePacing[static_cast<std::size_t>(level)] : 0;
}

std::chrono::milliseconds SyncPeriod(int speedLevel) {
    const int ticks = SyncIntervalTicks(speedLevel);
    return std::chrono::milliseconds(ticks == 0 ? 1 : ticks * kTickMs);
}

std::optional<LedColour> SyncEngine::Step(const SyncSettings& s, SteadyTime now) {
    const int brightness = BrightnessOfLevel(s.brightness);
    const Rgb single{s.red, s.green, s.blue};
    switch (static_cast<SyncEffect>(s.effect)) {
        case SyncEffect::Breathing: {
            breathStep_ = StepPosition(s.direction == 1 ? 1 : 0, 128, breathStep_, 1);
            if (s.multiColor && breathStep_ < 2)
                breathColour_ = StepPosition(1, kWheelColours, breathColour_, 16);
            const Rgb colour = s.multiColor ? WheelColour(breathColour_) : single;
            return LedColour::Of(
                colour, brightness * kBreathCurve128[static_cast<std::size_t>(breathStep_)] / 256);
        }
        case SyncEffect::Steady:
            return LedColour::Of(single, brightness);
        case SyncEffect::Flashing: {
            const auto halfPeriod = std::chrono::milliseconds(SyncIntervalTicks(s.speed) * 200);
            if (now - lastToggle_ >= halfPeriod) {
                flashOn_ = !flashOn_;
                lastToggle_ = now;
                flashColour_ += 14;
                if (flashColour_ >= kWheelColours) flashColour_ = 0;
            }
            if (!flashOn_) return LedColour{};
            return LedColour::Of(s.multiColor ? WheelColour(flashColour_) : single, brightness);
        }
        case SyncEffect::ColourCycle:
            cyclePosition_ = StepPosition(1, kWheelColours, cyclePosition_, 1);
            return LedColour::Of(WheelColour(cyclePosition_), brightness);
        case SyncEffect::Off:
            return LedColour{};
    }
    return std::nullopt;
}

LightingSync::LightingSync(Clock& clock) : clock_(clock) {}

void LightingSync::SetDevices(std::vector<CVexloUSBDevice*> devices) {
    std::erase(devices, nullptr);
    std::stable_sort(devices.begin(), devices.end(), [](const auto* a, const auto* b) {
        return ApplyRank(a->GetProduct()) < ApplyRank(b->GetProduct());
    });
    std::lock_guard lock(mutex_);
    devices_ = std::move(devices);
}

void LightingSync::SetSettings(const SyncSettings& settings) {
    std::lock_guard lock(mutex_);
    settings_ = settings;
}

SyncSettings LightingSync::Settings() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

std::uint64_t LightingSync::Steps() const {
    std::lock_guard lock(mutex_);
    return steps_;
}

LightingSync::Snapshot LightingSync::Take() const {
    std::lock_guard lock(mutex_);
    return {devices_, settings_};
}

void LightingSync::ApplyColour(std::span<CVexloUSBDevice* const> devices, LedColour colour) {
    for (CVexloUSBDevice* device : devices) {
        if (!Taking(*device)) continue;
        device->Leds().Fill(colour);
    }
}

std::optional<SteadyTime> LightingSync::RunPass() {
    const SteadyTime now = clock_.Now();
    const Snapshot snapshot = Take();
    const bool any = std::any_of(snapshot.devices.begin(), snapshot.devices.end(),
                                 [](CVexloUSBDevice* device) { return Taking(*device); });
    if (!any) {
        active_ = false;
        return std::nullopt;
    }
    const auto period = SyncPeriod(snapshot.settings.speed);
    if (!active_) {
        // The first step comes one period after the start, as every later one.
        active_ = true;
        nextStep_ = now + period;
        return nextStep_;
    }
    if (now < nextStep_) return nextStep_;
    if (const std::optional<LedColour> colour = engine_.Step(snapshot.settings, now))
        ApplyColour(snapshot.devices, *colour);
    {
        std::lock_guard lock(mutex_);
        ++steps_;
    }
    nextStep_ += period;
    // After a stall the steps go on from now rather than catching up in a burst.
    if (nextStep_ <= now) nextStep_ = now + period;
    return nextStep_;
}

void LightingSync::Run(const WorkerArgs& args) {
    if (!args.stopEvent) return;
    StopEvent& stop = *args.stopEvent;
    while (!stop.IsSet()) {
        const std::optional<SteadyTime> next = RunPass();
        // Idle: nothing to do until a synchronisation starts or the stop.
        const SteadyTime deadline = next ? *next : clock_.Now() + std::chrono::hours(1);
        if (stop.WaitUntil(clock_, deadline, waker_)) break;
    }
    LogInfo("lighting sync thread ended");
}

bool StartSynchronisation(CVexloUSBDevice& current, std::span<CVexloUSBDevice* const> devices,
                          LightingSync& sync, const ApplyLighting& apply) {
    const LightSetting light = current.GetLightInfo();
    const std::optional<SyncEffect> effect =
        SyncEffectOfMode(current.GetProduct(), light.selectItem);
    if (!effect) return false;
    sync.SetSettings({static_cast<std::uint8_t>(*effect), light.brightness, light.speed,
                      light.direction, light.multiColor, light.red, light.green, light.blue});
    std::vector<CVexloUSBDevice*> ordered(devices.begin(), devices.end());
    std::erase(ordered, nullptr);
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto* a, const auto* b) {
        return StartRank(a->GetProduct()) < StartRank(b->GetProduct());
    });
    for (CVexloUSBDevice* device : ordered) {
        if (!device->Link().IsOpen()) continue;
        // The levels and colour of the current device; the device's own zone
        // sub-mode, custom group and restore mode stay.
        LightSetting own = device->GetLightInfo();
        own.selectItem = static_cast<std::uint8_t>(SyncModeOf(device->GetProduct(), *effect));
        own.brightness = light.brightness;
        own.speed = light.speed;
        own.direction = light.direction;
        own.multiColor = light.multiColor;
        own.red = light.red;
        own.green = light.green;
        own.blue = light.blue;
        device->SetSynchronised(true);
        apply(*device, own);
    }
    sync.Wake();
    return true;
}

}  // namespace q731
