#include "headset/sim_audio_conf.h"

#include <cmath>

namespace q731 {

void SimAudioConf::FailProperty(std::string property, AudioOperation operation,
                                AudioResult result) {
    failures_.push_back({std::move(property), operation, result});
}

SimAudioConf::Key SimAudioConf::KeyOf(std::int32_t endpointId, std::string_view property,
                                      const PropertyParameter& parameter) {
    return {endpointId, std::string(property), parameter.count, parameter.values};
}

void SimAudioConf::Store(std::int32_t endpointId, std::string property,
                         const PropertyParameter& parameter, const AudioValue& value) {
    values_[KeyOf(endpointId, property, parameter)] = value;
}

std::optional<AudioValue> SimAudioConf::Stored(std::int32_t endpointId, const std::string& property,
                                               const PropertyParameter& parameter) const {
    const auto found = values_.find(KeyOf(endpointId, property, parameter));
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

std::vector<AudioCall> SimAudioConf::PropertyCalls() const {
    std::vector<AudioCall> found;
    for (const AudioCall& call : calls) {
        if (call.operation == AudioOperation::Read || call.operation == AudioOperation::Write) {
            found.push_back(call);
        }
    }
    return found;
}

std::vector<AudioCall> SimAudioConf::Writes() const {
    std::vector<AudioCall> found;
    for (const AudioCall& call : calls) {
        if (call.operation == AudioOperation::Write) found.push_back(call);
    }
    return found;
}

std::optional<AudioResult> SimAudioConf::InjectedFailure(std::string_view property,
                                                         AudioOperation operation) const {
    for (const Failure& failure : failures_) {
        if (failure.property == property && failure.operation == operation) return failure.result;
    }
    return std::nullopt;
}

const std::vector<ConfDeviceInfo>& SimAudioConf::Endpoints(AudioDirection direction) const {
    return direction == AudioDirection::Playback ? playback : recording;
}

AudioCall& SimAudioConf::Log(AudioOperation operation, std::int32_t endpointId,
                             std::string_view property, const PropertyParameter& parameter,
                             const AudioValue& value) {
    return calls.emplace_back(
        AudioCall{operation, endpointId, std::string(property), parameter, value});
}

bool SimAudioConf::Load() {
    Log(AudioOperation::Load);
    return available;
}

bool SimAudioConf::ConfLibInit() {
    Log(AudioOperation::Init);
    return initSucceeds;
}

void SimAudioConf::CreateDeviceList() {
    Log(AudioOperation::CreateDeviceList);
}

int SimAudioConf::GetDeviceCount(AudioDirection direction) {
    Log(AudioOperation::GetDeviceCount, static_cast<std::int32_t>(direction));
    return static_cast<int>(Endpoints(direction).size());
}

std::optional<ConfDeviceInfo> SimAudioConf::GetDeviceById(AudioDirection direction, int index) {
    Log(AudioOperation::GetDeviceById, static_cast<std::int32_t>(direction), {}, {}, index);
    const std::vector<ConfDeviceInfo>& endpoints = Endpoints(direction);
    if (index < 0 || static_cast<std::size_t>(index) >= endpoints.size()) return std::nullopt;
    return endpoints[static_cast<std::size_t>(index)];
}

AudioReading SimAudioConf::ReadProperty(const ConfDeviceInfo& endpoint, std::string_view property,
                                        const PropertyParameter& parameter) {
    AudioCall& call = Log(AudioOperation::Read, endpoint.endpointId, property, parameter);
    if (const auto failure = InjectedFailure(property, AudioOperation::Read)) return {*failure, {}};
    const auto found = values_.find(KeyOf(endpoint.endpointId, property, parameter));
    if (found == values_.end()) return {AudioResult::NoValue, {}};
    call.value = found->second;
    return {AudioResult::Ok, found->second};
}

AudioTextReading SimAudioConf::ReadPropertyText(const ConfDeviceInfo& endpoint,
                                                std::string_view property) {
    Log(AudioOperation::ReadText, endpoint.endpointId, property);
    if (const auto failure = InjectedFailure(property, AudioOperation::ReadText)) {
        return {*failure, {}};
    }
    const auto found = featureText.find(endpoint.endpointId);
    if (found == featureText.end()) return {AudioResult::NotSupported, {}};
    return {AudioResult::Ok, found->second};
}

AudioResult SimAudioConf::WriteProperty(const ConfDeviceInfo& endpoint, std::string_view property,
                                        const AudioValue& value,
                                        const PropertyParameter& parameter) {
    Log(AudioOperation::Write, endpoint.endpointId, property, parameter, value);
    if (const auto failure = InjectedFailure(property, AudioOperation::Write)) return *failure;
    AudioValue kept = value;
    if (const auto* scalar = std::get_if<float>(&value); scalar != nullptr && scalarSteps > 0) {
        const float steps = static_cast<float>(scalarSteps);
        kept = std::round(*scalar * steps) / steps;
    }
    values_[KeyOf(endpoint.endpointId, property, parameter)] = kept;
    return AudioResult::Ok;
}

std::unique_ptr<SimAudioConf> MakeSimAudioConf() {
    auto conf = std::make_unique<SimAudioConf>();
    // Endpoint id, kind, the library's context, flag.
    conf->playback = {{kSimPlaybackId + 0x100, 4, 0, 0}, {kSimPlaybackId, 1, 0, kActiveFlag}};
    conf->recording = {{kSimRecordingId, kRecordingKind, 0, kActiveFlag}};
    // Voice changer, equaliser and surround claimed by both endpoints.
    conf->featureText[kSimPlaybackId] = "131079,1,1,1,0,0,0,0";
    conf->featureText[kSimRecordingId] = "131079,1,1,1,0,0,0,0";
    // The monitoring path exists, so its reads succeed.
    conf->Store(kSimRecordingId, "GetAAMaxVol", {}, 1.0F);
    return conf;
}

}  // namespace q731
