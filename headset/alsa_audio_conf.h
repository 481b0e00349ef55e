#pragma once
// The audio configuration library on Linux: the headset's USB sound card
// through the ALSA mixer. The microphone's level and mute are the card's
// capture controls, monitoring (the microphone heard in the headphones) its
// playback controls of the same element. What the card has no control for
// (equaliser, surround, voice changer, echo, noise reduction) is kept in a
// small file per card so that the panels find it again; it reaches no
// hardware, and the feature answer claims none of it.
//
// The mixer is reached through IAlsaMixer so that the mapping is tested
// with a fake; alsa_mixer.h holds the libasound one.

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <json/json.h>

#include "headset/audio_conf.h"

namespace q731 {

namespace fs = std::filesystem;

enum class MixerSide { Playback, Capture };

struct MixerRange {
    long min = 0;
    long max = 0;
};

// One sound card's simple mixer controls. Reads take the first channel;
// writes set every channel.
class IAlsaMixer {
public:
    virtual ~IAlsaMixer() = default;
    // Opens the mixer of card `card` (closing any other); false on failure.
    virtual bool Open(int card) = 0;
    virtual std::vector<std::string> ElementNames() = 0;
    // Nothing when the element has no such switch or volume (or the call failed).
    virtual std::optional<bool> GetSwitch(const std::string& element, MixerSide side) = 0;
    virtual bool SetSwitch(const std::string& element, MixerSide side, bool on) = 0;
    virtual std::optional<MixerRange> VolumeRange(const std::string& element, MixerSide side) = 0;
    virtual std::optional<long> GetVolume(const std::string& element, MixerSide side) = 0;
    virtual bool SetVolume(const std::string& element, MixerSide side, long raw) = 0;
};

// What a property does with its mixer element.
enum class MixerRole {
    MuteSwitch,  // the property is "muted"; the element's switch is "on"
    Volume,      // scalar 0-1 over the element's raw range
    Presence,    // reads succeed only when the element has a volume
};

struct MixerBinding {
    const char* property;
    MixerSide side;
    MixerRole role;
    std::string element;
};

// The bindings with their element names, as a file in the config folder may
// rename them: a JSON object of property name to element name. Unknown
// properties and anything but a non-empty name are ignored.
std::vector<MixerBinding> HeadsetMixerBindings(const fs::path& overrideFile);

// The number of the sound card whose "cardN/usbid" under `procAsound` reads
// `usbId` (lowest number first); nothing when no card does.
std::optional<int> FindUsbSoundCard(const fs::path& procAsound, std::string_view usbId);

inline constexpr std::string_view kHeadsetUsbId = "0c76:1630";

// A property the audio logic uses that no binding serves: its value is only
// kept in the store file and reaches no hardware.
struct StoredProperty {
    const char* property;
    AudioDirection direction;
    const char* serves;  // what it is for; rows of one use are adjacent
};
std::span<const StoredProperty> StoredOnlyProperties();

struct AlsaAudioPaths {
    fs::path procAsound = "/proc/asound";
    fs::path overrideFile;  // element names; may be absent
    fs::path storeFolder;   // values of properties without an element
};

class AlsaAudioConf final : public IAudioConfLib {
public:
    AlsaAudioConf(std::unique_ptr<IAlsaMixer> mixer, AlsaAudioPaths paths);

    // Finds the headset's card again (its number changes when it is
    // replugged), opens its mixer and reads the element names and stored values.
    bool Load() override;
    bool ConfLibInit() override { return card_.has_value(); }
    void CreateDeviceList() override {}
    int GetDeviceCount(AudioDirection direction) override;
    std::optional<ConfDeviceInfo> GetDeviceById(AudioDirection direction, int index) override;
    AudioReading ReadProperty(const ConfDeviceInfo& endpoint, std::string_view property,
                              const PropertyParameter& parameter) override;
    AudioTextReading ReadPropertyText(const ConfDeviceInfo& endpoint,
                                      std::string_view property) override;
    AudioResult WriteProperty(const ConfDeviceInfo& endpoint, std::string_view property,
                              const AudioValue& value, const PropertyParameter& parameter) override;

    std::optional<int> Card() const { return card_; }
    const std::vector<MixerBinding>& Bindings() const { return bindings_; }
    fs::path StoreFile() const;

private:
    const MixerBinding* BindingOf(std::string_view property) const;
    AudioReading ReadBound(const MixerBinding& binding);
    AudioResult WriteBound(const MixerBinding& binding, const AudioValue& value);
    static std::string StoreKey(const ConfDeviceInfo& endpoint, std::string_view property,
                                const PropertyParameter& parameter);

    std::unique_ptr<IAlsaMixer> mixer_;
    AlsaAudioPaths paths_;
    std::optional<int> card_;
    std::vector<MixerBinding> bindings_;
    Json::Value stored_{Json::objectValue};
    bool storeWritable_ = false;
};

}  // namespace q731
