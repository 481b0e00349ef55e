#pragma once
// The headset's audio configuration library as typed operations. A back end
// (the ALSA mixer, the simulator) answers with values, never with text buffers,
// and its reads say why they failed: a property that was never given a value
// is not the same as one the back end cannot reach or a transient error, and
// the audio logic acts only on the first.
//
// All operations run on the UI thread and must return promptly: a back end
// that talks to hardware bounds its own waits.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace q731 {

enum class AudioDirection : int { Playback = 0, Recording = 1 };

// One endpoint as the library lists it. `context` is the library's own and is
// handed back untouched.
struct ConfDeviceInfo {
    std::int32_t endpointId = 0;
    std::int32_t kind = 0;
    std::int32_t context = 0;
    std::int32_t flag = 0;
    friend bool operator==(const ConfDeviceInfo&, const ConfDeviceInfo&) = default;
};

enum class AudioResult : int {
    Ok,
    NoValue,       // the property exists but nothing was ever stored
    NotSupported,  // the back end has no such property on this endpoint
    Error,         // the call failed; the value may well be there
};

// A property's parameter: nothing, one channel (-1 all, 0 or 1), or the
// three integers surround takes.
struct PropertyParameter {
    std::uint8_t count = 0;
    std::array<std::int32_t, 3> values{};

    static constexpr PropertyParameter None() { return {}; }
    static constexpr PropertyParameter Channel(std::int32_t channel) {
        return {1, {channel, 0, 0}};
    }
    static constexpr PropertyParameter Triple(std::int32_t a, std::int32_t b, std::int32_t c) {
        return {3, {a, b, c}};
    }
    std::span<const std::int32_t> Items() const { return {values.data(), count}; }
    friend bool operator==(const PropertyParameter&, const PropertyParameter&) = default;
};

inline constexpr PropertyParameter kAllChannels = PropertyParameter::Channel(-1);
inline constexpr PropertyParameter kFirstChannel = PropertyParameter::Channel(0);
inline constexpr PropertyParameter kSurroundParameter = PropertyParameter::Triple(4, -1, 0);

// Switches, selections and equaliser gains are integers; levels are scalars 0-1.
using AudioValue = std::variant<std::int32_t, float>;

// The value as a number, whichever form it came in.
double AsNumber(const AudioValue& value);
// Integers as they are; scalars rounded to the nearest integer, saturated.
std::int32_t AsInteger(const AudioValue& value);

struct AudioReading {
    AudioResult result = AudioResult::Error;
    AudioValue value{};
    bool Ok() const { return result == AudioResult::Ok; }
};

struct AudioTextReading {
    AudioResult result = AudioResult::Error;
    std::string text;
};

class IAudioConfLib {
public:
    virtual ~IAudioConfLib() = default;

    // Finds the library (or the headset's sound card); false: no audio
    // configuration can be done at all.
    virtual bool Load() = 0;
    // True on success.
    virtual bool ConfLibInit() = 0;
    virtual void CreateDeviceList() = 0;
    // Endpoints of a direction; 0 on failure.
    virtual int GetDeviceCount(AudioDirection direction) = 0;
    virtual std::optional<ConfDeviceInfo> GetDeviceById(AudioDirection direction, int index) = 0;

    virtual AudioReading ReadProperty(const ConfDeviceInfo& endpoint, std::string_view property,
                                      const PropertyParameter& parameter) = 0;
    // Properties that answer with text ("GetSupportFeature").
    virtual AudioTextReading ReadPropertyText(const ConfDeviceInfo& endpoint,
                                              std::string_view property) = 0;
    virtual AudioResult WriteProperty(const ConfDeviceInfo& endpoint, std::string_view property,
                                      const AudioValue& value,
                                      const PropertyParameter& parameter) = 0;
};

// Endpoint kinds and flags the choice looks for.
inline constexpr std::int32_t kRecordingKind = 2;
inline constexpr std::int32_t kActiveFlag = 1;
// Playback kinds, best first.
inline constexpr std::array<std::int32_t, 4> kPlaybackKinds = {1, 12, 7, 4};
// Feature mask bit of the voice changer.
inline constexpr std::uint32_t kVoiceChangerFeature = 0x20000;

// Playback: the first active endpoint of the best kind present; recording:
// the first of the recording kind, active or not. Nothing when none fits.
std::optional<ConfDeviceInfo> ChoosePlaybackEndpoint(std::span<const ConfDeviceInfo> endpoints);
std::optional<ConfDeviceInfo> ChooseRecordingEndpoint(std::span<const ConfDeviceInfo> endpoints);

// The feature mask of a "GetSupportFeature" answer: comma-separated items,
// empty ones skipped; at least seven are needed and the first is the mask in
// decimal. Nothing for shorter lists or a first item that is not an unsigned
// 32-bit decimal number. Never throws, whatever the text.
std::optional<std::uint32_t> ParseSupportFeature(std::string_view text);

// Levels are 0-100 in panels and profiles and scalars 0-1 in the library.
// Back from the library they are rounded to the nearest level, so a level
// survives the float round trip (0.29f is a hair under 0.29) and a mixer that
// keeps only a few steps reads back the level nearest to what it holds.
float LevelToScalar(int level);
int ScalarToLevel(double scalar);

}  // namespace q731
