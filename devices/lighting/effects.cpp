#include "devices/lighting/effects.h"

#include <algorithm>

namespace q731 {

namespace {

int Brightness(const LightSetting& light) {
    return BrightnessOfLevel(light.brightness);
}

int Curve128(int index) {
    return kBreathCurve128[static_cast<std::size_t>(index & 127)];
}
int Curve96(int index) {
    return kBreathCurve96[static_cast<std::size_t>(((index % 96) + 96) % 96)];
}
Rgb PaletteColour(int index) {
    return kPalette[static_cast<std::size_t>(index & 3)];
}
Rgb SingleColour(const LightSetting& light) {
    return {light.red, light.green, light.blue};
}

bool BlinkDue(EffectCounters& counters, SteadyTime now, int speedLevel) {
    if (now - counters.lastToggle < Millis(BlinkPeriodMs(speedLevel))) return false;
    counters.blinkOn = !counters.blinkOn;
    counters.lastToggle = now;
    return true;
}

}  // namespace

Rgb EffectColour(const LightSetting& light, int wheelIndex) {
    return light.multiColor ? WheelColour(wheelIndex) : SingleColour(light);
}

void BreatheColours(const LightSetting& light, EffectCounters& counters, LedColourList& leds) {
    counters.position = StepPosition(light.direction, 128, counters.position, 1);
    if (counters.position == 0) {
        counters.colour += 16;
        if (counters.colour > kWheelColours) counters.colour = 0;
    }
    leds.Fill(LedColour::Of(EffectColour(light, counters.colour),
                            Curve128(counters.position) * Brightness(light) / 256));
}

void BreathePalette(const LightSetting& light, EffectCounters& counters, LedColourList& leds) {
    counters.position = StepPosition(light.direction, 128, counters.position, 1);
    if (counters.position == 0 && ++counters.colour > 3) counters.colour = 0;
    leds.Fill(LedColour::Of(PaletteColour(counters.colour),
                            Curve128(counters.position) * Brightness(light) / 256));
}

void ShowStatic(const LightSetting& light, LedColourList& leds) {
    leds.Fill(LedColour::Of(SingleColour(light), Brightness(light)));
}

void ShowSpectrum(const LightSetting& light, EffectCounters& counters, LedColourList& leds) {
    counters.position = StepPosition(light.direction, kWheelColours, counters.position, 1);
    leds.Fill(LedColour::Of(WheelColour(counters.position), Brightness(light)));
}

void ShowBlink(const LightSetting& light, EffectCounters& counters, LedColourList& leds,
               SteadyTime now) {
    if (BlinkDue(counters, now, light.speed)) {
        counters.position += 16;
        if (counters.position >= kWheelColours) counters.position = 0;
    }
    if (!counters.blinkOn) return ShowOff(leds);
    leds.Fill(LedColour::Of(EffectColour(light, counters.position), Brightness(light)));
}

void BlinkPalette(const LightSetting& light, EffectCounters& counters, LedColourList& leds,
                  SteadyTime now) {
    if (BlinkDue(counters, now, light.speed) && ++counters.position > 3) counters.position = 0;
    if (!counters.blinkOn) return ShowOff(leds);
    leds.Fill(LedColour::Of(PaletteColour(counters.position), Brightness(light)));
}

void ShowOff(LedColourList& leds) {
    leds.Fill({});
}

std::uint8_t DecayStep(std::uint8_t v, int mode) {
    struct Step {
        int from;
        int minus;
    };
    static constexpr Step kModeZero[] = {{128, 40}, {64, 30}, {32, 15}, {17, 8}, {1, 1}};
    static constexpr Step kColourCycle[] = {{144, 45}, {128, 40}, {112, 35}, {96, 30}, {80, 25},
                                            {64, 20},  {32, 10},  {17, 5},   {1, 1}};
    static constexpr Step kOther[] = {{128, 40}, {64, 30}, {32, 10}, {17, 8}, {1, 1}};
    auto apply = [v](const auto& table) {
        for (const Step& step : table) {
            if (v >= step.from) return static_cast<std::uint8_t>(v - step.minus);
        }
        return v;
    };
    if (mode == 0) return apply(kModeZero);
    if (mode == 11 || mode == 21) return apply(kColourCycle);
    return apply(kOther);
}

const std::array<MouseLedGroup, MouseEffects::kGroups> kMouseLedGroups = {{
    {{0, 13, 0}, 2},
    {{1, 12, 0}, 2},
    {{2, 11, 0}, 2},
    {{3, 10, 0}, 2},
    {{4, 9, 0}, 2},
    {{5, 8, 0}, 2},
    {{6, 14, 7}, 3},
}};

namespace {
void FillGroup(LedColourList& leds, const MouseLedGroup& group, LedColour colour) {
    for (int i = 0; i < group.count; ++i)
        leds.Set(static_cast<std::size_t>(group.leds[i]), colour);
}
}  // namespace

void MouseEffects::Reset() {
    counters_ = {};
    columns_.fill(0);
    columns_[0] = 1;
    intensity_.fill(0);
    flashes_.fill({});
}

void MouseEffects::ShowWave(const LightSetting& light, LedColourList& leds) {
    const int brightness = Brightness(light);
    if (light.multiColor) {
        counters_.position = StepPosition(light.direction, kWheelColours, counters_.position, 1);
        for (int g = 0; g < kGroups; ++g) {
            const Rgb colour = WheelColour((counters_.position + 1 + 7 * g) % kWheelColours);
            FillGroup(leds, kMouseLedGroups[g], LedColour::Of(colour, brightness));
        }
        return;
    }
    counters_.position = StepPosition(light.direction, 96, counters_.position, 1);
    for (int g = 0; g < kGroups; ++g) {
        const int level = brightness * Curve96(counters_.position + 1 + 7 * g) / 256;
        FillGroup(leds, kMouseLedGroups[g], LedColour::Of(SingleColour(light), level));
    }
}

void MouseEffects::ShowRipple(const LightSetting& light, int mode, LedColourList& leds) {
    counters_.position = StepPosition(light.direction, kWheelColours, counters_.position, 1);
    for (std::size_t i = 0; i < intensity_.size(); ++i) {
        if (columns_[i] != 0) intensity_[i] = 255;
    }
    if (light.direction == 1) {
        std::rotate(columns_.rbegin(), columns_.rbegin() + 1, columns_.rend());
    } else {
        std::rotate(columns_.begin(), columns_.begin() + 1, columns_.end());
    }
    const int brightness = Brightness(light);
    const int leadGroup = light.direction == 1 ? 0 : kGroups - 1;
    const bool holdColours = intensity_[static_cast<std::size_t>(leadGroup)] != 0;
    for (int g = 0; g < kGroups; ++g) {
        const auto gi = static_cast<std::size_t>(g);
        intensity_[gi] = DecayStep(intensity_[gi], mode);
        counters_.position = (counters_.position + 12) & 0xFF;
        Rgb colour = SingleColour(light);
        if (light.multiColor) {
            if (holdColours) {
                const LedColour shown =
                    leds.Get(static_cast<std::size_t>(kMouseLedGroups[g].leds[0]));
                colour = {shown.red, shown.green, shown.blue};
            } else {
                colour = WheelColour(counters_.position);
            }
        }
        FillGroup(leds, kMouseLedGroups[g],
                  LedColour::Of(colour, brightness * intensity_[gi] / 256));
    }
}

void MouseEffects::ShowReactive(const LightSetting& light, LedColourList& leds) {
    const int brightness = Brightness(light);
    for (int i = 0; i < kLedCount; ++i) {
        Flash& flash = flashes_[static_cast<std::size_t>(i)];
        if (flash.state == 1) {
            flash.intensity = static_cast<std::uint8_t>(std::min(flash.intensity + 15, 255));
            if (flash.intensity == 255) flash.state = 2;
        } else if (flash.state == 2) {
            flash.intensity = static_cast<std::uint8_t>(std::max(flash.intensity - 15, 0));
            if (flash.intensity == 0) flash.state = 0;
        }
        leds.Set(static_cast<std::size_t>(i), LedColour::Of(EffectColour(light, flash.wheel),
                                                            brightness * flash.intensity / 256));
    }
}

void MouseEffects::TriggerReactive(std::mt19937& random) {
    std::uniform_int_distribution<int> wheel(0, kWheelColours - 1);
    for (Flash& flash : flashes_)
        flash = {1, 255, static_cast<std::uint8_t>(wheel(random))};
}

void TimedSteps::SetSteps(std::vector<LedEffectStep> steps) {
    std::lock_guard lock(mutex_);
    steps_ = std::move(steps);
    position_ = 0;
    started_ = false;
}

void TimedSteps::ResetCounters() {
    {
        std::lock_guard lock(mutex_);
        position_ = 0;
        started_ = false;
    }
    ticks_ = 0;
    cycle_ = 0;
    blinkColour_ = 0;
    blinkOn_ = false;
    lastToggle_ = {};
}

std::size_t TimedSteps::StepCount() const {
    std::lock_guard lock(mutex_);
    return steps_.size();
}

std::size_t TimedSteps::CurrentStep() const {
    std::lock_guard lock(mutex_);
    return position_;
}

void TimedSteps::RenderTicks(LedColourList& leds, SteadyTime now, int speedLevel, int ticks) {
    for (int i = ticks - 1; i >= 0; --i)
        Render(leds, now - Millis(kTickMs * i), speedLevel);
}

void TimedSteps::Render(LedColourList& leds, SteadyTime now, int speedLevel) {
    LedEffectStep step;
    {
        std::lock_guard lock(mutex_);
        if (position_ >= steps_.size()) position_ = 0;
        if (steps_.empty()) return ShowOff(leds);
        step = steps_[position_];
        if (!started_) {
            started_ = true;
            stepStart_ = now;
        }
    }
    const LightSetting& light = step.light;
    const int row = kMousePacing[static_cast<std::size_t>(ClampLevel(light.speed))];
    const int brightness = Brightness(light);
    ++ticks_;
    switch (light.selectItem) {
        case 0:
            if (ticks_ >= row) {
                ticks_ = 0;
                cycle_ = (cycle_ + 1) % 128;
            }
            leds.Fill(LedColour::Of(EffectColour(light, 0), Curve128(cycle_) * brightness / 256));
            break;
        case 1:
            if (ticks_ >= row) {
                ticks_ = 0;
                if (++cycle_ > 8) cycle_ = 0;
            }
            leds.Fill(LedColour::Of(SingleColour(light), brightness));
            break;
        case 2:
            cycle_ = (cycle_ + 1) % 128;
            if (ticks_ >= row) ticks_ = 0;
            if (now - lastToggle_ >= Millis(BlinkPeriodMs(speedLevel))) {
                blinkOn_ = !blinkOn_;
                lastToggle_ = now;
                blinkColour_ = cycle_ + 14;
                if (blinkColour_ >= kWheelColours) blinkColour_ = 0;
            }
            if (!blinkOn_) {
                ShowOff(leds);
            } else {
                leds.Fill(LedColour::Of(EffectColour(light, blinkColour_), brightness));
            }
            break;
        case 4: {
            if (ticks_ >= row) {
                ticks_ = 0;
                cycle_ = (cycle_ + 1) % kWheelColours;
            }
            int d = (cycle_ + 1) % kWheelColours;
            if (light.direction)
                d = kWheelColours - cycle_ == kWheelColours ? 191 : kWheelColours - cycle_;
            for (std::size_t j = 0; j < leds.Size(); ++j) {
                const int offset = static_cast<int>(j);
                if (light.multiColor) {
                    leds.Set(j, LedColour::Of(WheelColour((d + 12 * offset) % kWheelColours),
                                              brightness));
                } else {
                    leds.Set(j, LedColour::Of(SingleColour(light),
                                              brightness * Curve96(d + 12 * (offset + 1)) / 256));
                }
            }
            break;
        }
        case 5:
            if (ticks_ >= kKeyboardPacing[static_cast<std::size_t>(ClampLevel(light.speed))]) {
                ticks_ = 0;
                cycle_ = (cycle_ + 1) % kWheelColours;
            }
            leds.Fill(LedColour::Of(WheelColour(cycle_), brightness));
            break;
        default:
            break;  // no frame
    }
    if (ticks_ >= 255) ticks_ = 0;
    if (now - stepStart_ > Millis(step.time)) {
        std::lock_guard lock(mutex_);
        if (!steps_.empty()) position_ = (position_ + 1) % steps_.size();
        stepStart_ = now;
    }
}

}  // namespace q731
