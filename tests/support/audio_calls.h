#pragma once
// The simulated audio library's call log as short lines, so a test can hold
// the calls it expects as a table: "write play EQ_Slider3 [] -2",
// "read rec VolumeScalarControl [-1]", "write rec AAVolumeScalarControl [0] 0.29f".

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <string>
#include <vector>

#include "headset/sim_audio_conf.h"

namespace q731::testing {

inline std::string DescribeEndpoint(std::int32_t endpointId) {
    if (endpointId == kSimPlaybackId) return "play";
    if (endpointId == kSimRecordingId) return "rec";
    return fmt::format("#{}", endpointId);
}

inline std::string DescribeValue(const AudioValue& value) {
    if (const auto* integer = std::get_if<std::int32_t>(&value)) return fmt::format("{}", *integer);
    return fmt::format("{:g}f", std::get<float>(value));
}

inline std::string DescribeCall(const AudioCall& call) {
    std::string line = fmt::format(
        "{} {} {} [{}]", call.operation == AudioOperation::Write ? "write" : "read",
        DescribeEndpoint(call.endpointId), call.property, fmt::join(call.parameter.Items(), ","));
    if (call.operation == AudioOperation::Write) line += " " + DescribeValue(call.value);
    return line;
}

// Reads and writes only.
inline std::vector<std::string> DescribePropertyCalls(const SimAudioConf& conf) {
    std::vector<std::string> lines;
    for (const AudioCall& call : conf.PropertyCalls())
        lines.push_back(DescribeCall(call));
    return lines;
}

inline std::vector<std::string> DescribeWrites(const SimAudioConf& conf) {
    std::vector<std::string> lines;
    for (const AudioCall& call : conf.Writes())
        lines.push_back(DescribeCall(call));
    return lines;
}

}  // namespace q731::testing
