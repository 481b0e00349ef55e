#pragma once
// A simulated audio configuration library: endpoints and feature answers set
// by the caller, values kept per (endpoint, property, parameter), failures
// injected per property and operation, and a log of every call. Tests assert
// against the log; the demo mode (Q731_DEVICES=sim) runs the headset page on it.

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "headset/audio_conf.h"

namespace q731 {

enum class AudioOperation : int {
    Load,
    Init,
    CreateDeviceList,
    GetDeviceCount,
    GetDeviceById,
    Read,
    ReadText,
    Write,
};

struct AudioCall {
    AudioOperation operation = AudioOperation::Read;
    std::int32_t endpointId = 0;
    std::string property;
    PropertyParameter parameter;
    AudioValue value{};  // what was written, or what a read returned
    friend bool operator==(const AudioCall&, const AudioCall&) = default;
};

class SimAudioConf final : public IAudioConfLib {
public:
    // A property failing one operation with one result.
    struct Failure {
        std::string property;
        AudioOperation operation = AudioOperation::Read;
        AudioResult result = AudioResult::Error;
    };

    // False: Load fails as when the library is missing.
    bool available = true;
    bool initSucceeds = true;
    std::vector<ConfDeviceInfo> playback;
    std::vector<ConfDeviceInfo> recording;
    // "GetSupportFeature" answers by endpoint id; an endpoint without one fails the read.
    std::map<std::int32_t, std::string> featureText;
    // Scalars are kept in this many steps (0: exactly), as a coarse mixer does.
    int scalarSteps = 0;
    std::vector<AudioCall> calls;

    void FailProperty(std::string property, AudioOperation operation,
                      AudioResult result = AudioResult::Error);
    void ClearFailures() { failures_.clear(); }
    void Store(std::int32_t endpointId, std::string property, const PropertyParameter& parameter,
               const AudioValue& value);
    // The stored value, if any.
    std::optional<AudioValue> Stored(std::int32_t endpointId, const std::string& property,
                                     const PropertyParameter& parameter = {}) const;
    // The log's reads and writes only, in order.
    std::vector<AudioCall> PropertyCalls() const;
    std::vector<AudioCall> Writes() const;

    bool Load() override;
    bool ConfLibInit() override;
    void CreateDeviceList() override;
    int GetDeviceCount(AudioDirection direction) override;
    std::optional<ConfDeviceInfo> GetDeviceById(AudioDirection direction, int index) override;
    AudioReading ReadProperty(const ConfDeviceInfo& endpoint, std::string_view property,
                              const PropertyParameter& parameter) override;
    AudioTextReading ReadPropertyText(const ConfDeviceInfo& endpoint,
                                      std::string_view property) override;
    AudioResult WriteProperty(const ConfDeviceInfo& endpoint, std::string_view property,
                              const AudioValue& value, const PropertyParameter& parameter) override;

private:
    using Key = std::tuple<std::int32_t, std::string, std::uint8_t, std::array<std::int32_t, 3>>;
    static Key KeyOf(std::int32_t endpointId, std::string_view property,
                     const PropertyParameter& parameter);
    std::optional<AudioResult> InjectedFailure(std::string_view property,
                                               AudioOperation operation) const;
    const std::vector<ConfDeviceInfo>& Endpoints(AudioDirection direction) const;
    AudioCall& Log(AudioOperation operation, std::int32_t endpointId = 0,
                   std::string_view property = {}, const PropertyParameter& parameter = {},
                   const AudioValue& value = {});

    std::vector<Failure> failures_;
    std::map<Key, AudioValue> values_;
};

// Endpoint ids of the simulated headset.
inline constexpr std::int32_t kSimPlaybackId = 0x6533'0001;
inline constexpr std::int32_t kSimRecordingId = 0x6533'0002;

// The simulated headset: a speaker and an inactive digital output, a
// microphone whose answer claims the voice changer, and a monitoring path.
std::unique_ptr<SimAudioConf> MakeSimAudioConf();

}  // namespace q731
