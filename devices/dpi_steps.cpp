#include "devices/dpi_steps.h"

#include <algorithm>

#include "devices/usb_device.h"

namespace q731 {

DpiScale DpiScale::Of(const DeviceInfoBlock& info) {
    return {info.SensorCode(), info.DpiStepSize(), info.DpiSteps(), info.LowestDpi()};
}

int DpiScale::ClampStep(int step) const {
    return std::clamp(step, 0, std::max(steps, 0));
}

int DpiScale::ResolutionOfStep(int step) const {
    const int n = ClampStep(step);
    if (sensor == kWideStepSensor && n > kWideStepKnee) {
        return lowest + kWideStepKnee * stepSize + (n - kWideStepKnee) * kWideStepDpi;
    }
    return lowest + n * stepSize;
}

std::optional<int> DpiScale::StepOfResolution(long long resolution) const {
    if (!Usable()) return std::nullopt;
    const long long r = std::max<long long>(resolution, lowest);
    long long step = (r - lowest) / stepSize;
    if (sensor == kWideStepSensor) {
        const long long knee = lowest + static_cast<long long>(kWideStepKnee) * stepSize;
        if (r > knee) step = (r - knee) / kWideStepDpi + kWideStepKnee;
    }
    return static_cast<int>(std::clamp<long long>(step, 0, std::max(steps, 0)));
}

}  // namespace q731
