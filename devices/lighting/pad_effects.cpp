#include "devices/lighting/pad_effects.h"

#include <algorithm>

namespace q731 {

namespace {

// The render thread counts ticks of kTickMs; the pad's rows are in
// milliseconds, so a frame comes at the nearest tick at or after its time.
int TicksOfMs(int ms) {
    return std::max(1, (ms + kTickMs - 1) / kTickMs);
}

const PadModeRow* RowOf(int mode) {
    for (const PadModeRow& row : kPadModes) {
        if (row.mode == mode) return &row;
    }
    return nullptr;
}

Rgb SingleColour(const LightSetting& light) {
    return {light.red, light.green, light.blue};
}

int Curve96(int index) {
    return kBreathCurve96[static_cast<std::size_t>(((index % 96) + 96) % 96)];
}

// Rotates the first `count` entries one place: up moves k to k + 1 and the
// last to 0; down moves k + 1 to k and 0 to the last.
template <std::size_t N>
void RotateFirst(std::array<std::uint8_t, N>& entries, int count, bool up) {
    const auto end = entries.begin() + std::clamp<int>(count, 0, static_cast<int>(N));
    if (end == entries.begin()) return;
    if (up) {
        std::rotate(entries.begin(), end - 1, end);
    } else {
        std::rotate(entries.begin(), entries.begin() + 1, end);
    }
}

}  // namespace

RenderPlan PadPlanFor(int mode, int speedLevel) {
    const PadModeRow* row = RowOf(mode);
    if (row == nullptr) return {RenderPlan::Kind::Idle, 1};
    if (!row->moving) return {RenderPlan::Kind::Static, 1};
    if (row->renderer == PadRenderer::TimedSteps) return {RenderPlan::Kind::Paced, 1};
    return {RenderPlan::Kind::Paced,
            TicksOfMs(kPadFrameMs[static_cast<std::size_t>(ClampLevel(speedLevel))])};
}

void PadEffects::Reset() {
    counters_ = {};
    frameCounter_ = 0;
    columns_.fill(0);
    columns_[0] = 1;
    intensity_.fill(0);
}

void PadEffects::Render(const LightSetting& light, LedColourList& leds, TimedSteps& steps,
                        SteadyTime now) {
    const PadModeRow* row = RowOf(light.selectItem);
    if (row == nullptr) return;
    switch (row->renderer) {
        case PadRenderer::Wave:
            return ShowPadWave(light, leds);
        case PadRenderer::Spectrum:
            return ShowSpectrum(light, counters_, leds);
        case PadRenderer::BreatheColours:
            return BreatheColours(light, counters_, leds);
        case PadRenderer::Static:
            return ShowStatic(light, leds);
        case PadRenderer::Blink:
            return ShowBlink(light, counters_, leds, now);
        case PadRenderer::TimedSteps:
            return steps.Render(leds, now, light.speed);
        case PadRenderer::Ripple:
            return ShowPadRipple(light, leds);
        case PadRenderer::GroupRipple:
            return ShowPadGroupRipple(light, leds);
        case PadRenderer::Off:
            return ShowOff(leds);
    }
}

void PadEffects::ShowPadWave(const LightSetting& light, LedColourList& leds) {
    const int brightness = BrightnessOfLevel(light.brightness);
    const std::size_t count = leds.Size();
    if (light.multiColor) {
        counters_.position = StepPosition(light.direction, kWheelColours, counters_.position, 1);
        for (std::size_t i = 0; i < count; ++i) {
            const int entry = (counters_.position + 1 + 7 * static_cast<int>(i)) % kWheelColours;
            leds.Set(i, LedColour::Of(WheelColour(entry), brightness));
        }
        return;
    }
    counters_.position = StepPosition(light.direction, 96, counters_.position, 1);
    for (std::size_t i = 0; i < count; ++i) {
        const int level =
            brightness * Curve96(counters_.position + 1 + 7 * static_cast<int>(i)) / 256;
        leds.Set(i, LedColour::Of(SingleColour(light), level));
    }
}

bool PadEffects::StepRippleFrame(const LightSetting& light, std::size_t ledCount, int rotateCount,
                                 bool rotateUp) {
    counters_.position = StepPosition(light.direction, kWheelColours, counters_.position, 1);
    bool stepped = false;
    if (frameCounter_ > 1) {
        frameCounter_ = 0;
        const std::size_t lit = std::min<std::size_t>(ledCount, kColumns);
        for (std::size_t i = 0; i < lit; ++i) {
            if (columns_[i] != 0) intensity_[i] = 255;
        }
        RotateFirst(columns_, rotateCount, rotateUp);
        stepped = true;
    }
    ++frameCounter_;
    return stepped;
}

Rgb PadEffects::RippleColour(const LightSetting& light, const LedColourList& leds, int shownLed,
                             bool hold) {
    if (!light.multiColor) return SingleColour(light);
    counters_.position = (counters_.position + 12) & 0xFF;
    if (hold) {
        const LedColour shown = leds.Get(static_cast<std::size_t>(shownLed));
        return {shown.red, shown.green, shown.blue};
    }
    return WheelColour(counters_.position);
}

void PadEffects::ShowPadRipple(const LightSetting& light, LedColourList& leds) {
    const std::size_t count = std::min<std::size_t>(leds.Size(), kIntensities);
    StepRippleFrame(light, count, kColumns, light.direction == 1);
    if (count == 0) return;
    const int brightness = BrightnessOfLevel(light.brightness);
    const std::size_t lead = light.direction == 1 ? 0 : count - 1;
    const int mode = light.selectItem;
    for (std::size_t i = 0; i < count; ++i) {
        intensity_[i] = DecayStep(intensity_[i], mode);
        const Rgb colour = RippleColour(light, leds, static_cast<int>(i), intensity_[lead] != 0);
        leds.Set(i, LedColour::Of(colour, brightness * intensity_[i] / 256));
    }
}

void PadEffects::ShowPadGroupRipple(const LightSetting& light, LedColourList& leds) {
    const std::size_t count = std::min<std::size_t>(leds.Size(), kIntensities);
    StepRippleFrame(light, count, kGroupColumns, light.direction != 1);
    const int brightness = BrightnessOfLevel(light.brightness);
    const std::size_t lead = light.direction == 1 ? 0 : kGroups - 1;
    const int mode = light.selectItem;
    for (int g = 0; g < kGroups; ++g) {
        const auto gi = static_cast<std::size_t>(g);
        intensity_[gi] = DecayStep(intensity_[gi], mode);
        const std::array<int, 2> pair = GroupLeds(g);
        const Rgb colour = RippleColour(light, leds, pair[0], intensity_[lead] != 0);
        // LEDs past the pad's count are dropped by the list itself.
        for (int led : pair)
            leds.Set(static_cast<std::size_t>(led),
                     LedColour::Of(colour, brightness * intensity_[gi] / 256));
    }
}

}  // namespace q731
