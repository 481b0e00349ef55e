#include "devices/dpi_steps.h"

#include <algorithm>
#include <cctype>

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

long long ParseDecimal(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
    constexpr long long kCap = 1'000'000'000;
    long long value = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
        value = std::min(kCap, value * 10 + (text[at] - '0'));
    }
    return negative ? -value : value;
}

}  // namespace q731
