#include "headset/audio_conf.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace q731 {

double AsNumber(const AudioValue& value) {
    return std::visit([](auto number) { return static_cast<double>(number); }, value);
}

std::int32_t AsInteger(const AudioValue& value) {
    if (const auto* integer = std::get_if<std::int32_t>(&value)) return *integer;
    const double number = static_cast<double>(std::get<float>(value));
    if (std::isnan(number)) return 0;
    constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
    constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(std::round(number), kLowest, kHighest));
}

std::optional<ConfDeviceInfo> ChoosePlaybackEndpoint(std::span<const ConfDeviceInfo> endpoints) {
    for (const std::int32_t kind : kPlaybackKinds) {
        for (const ConfDeviceInfo& endpoint : endpoints) {
            if (endpoint.kind == kind && endpoint.flag == kActiveFlag) return endpoint;
        }
    }
    return std::nullopt;
}

std::optional<ConfDeviceInfo> ChooseRecordingEndpoint(std::span<const ConfDeviceInfo> endpoints) {
    for (const ConfDeviceInfo& endpoint : endpoints) {
        if (endpoint.kind == kRecordingKind) return endpoint;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> ParseSupportFeature(std::string_view text) {
    constexpr int kMinimumItems = 7;
    std::string_view first;
    int items = 0;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        if (item.empty()) continue;
        if (items++ == 0) first = item;
    }
    if (items < kMinimumItems) return std::nullopt;

    const std::size_t begin = first.find_first_not_of(" \t");
    const std::size_t end = first.find_last_not_of(" \t");
    if (begin == std::string_view::npos) return std::nullopt;
    first = first.substr(begin, end - begin + 1);
    std::uint32_t mask = 0;
    const auto [rest, error] = std::from_chars(first.data(), first.data() + first.size(), mask);
    if (error != std::errc{} || rest != first.data() + first.size()) return std::nullopt;
    return mask;
}

float LevelToScalar(int level) {
    return static_cast<float>(std::clamp(level, 0, 100)) / 100.0F;
}

int ScalarToLevel(double scalar) {
    if (std::isnan(scalar)) return 0;
    return static_cast<int>(std::lround(std::clamp(scalar, 0.0, 1.0) * 100.0));
}

}  // namespace q731
