#pragma once
// A stage's resolution travels as a step number; the information block says
// how steps turn into DPI. One sensor changes scale above a knee: each step
// past step 48 is 200 DPI wide whatever the normal step size.

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/text.h"

namespace q731 {

struct DeviceInfoBlock;

inline constexpr std::uint16_t kWideStepSensor = 0x3325;
inline constexpr int kWideStepKnee = 48;
inline constexpr int kWideStepDpi = 200;

struct DpiScale {
    std::uint16_t sensor = 0;
    int stepSize = 0;  // DPI per step
    int steps = 0;     // highest step number
    int lowest = 0;    // DPI of step 0

    static DpiScale Of(const DeviceInfoBlock& info);
    bool Usable() const { return stepSize > 0; }
    int ClampStep(int step) const;
    // Displayed resolution of a step (clamped to 0..steps first).
    int ResolutionOfStep(int step) const;
    // The step a typed resolution stands for: the highest step whose displayed
    // resolution does not exceed it (after raising it to the lowest), so that
    // showing the step gives back what was typed whenever that is a step's
    // resolution. Nothing when the step size is 0.
    std::optional<int> StepOfResolution(long long resolution) const;
};

}  // namespace q731
