#include "headset/alsa_audio_conf.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <system_error>

#include "platform/files.h"
#include "profiles/document_file.h"
#include "profiles/json_fields.h"

namespace q731 {
namespace {

// The card's two endpoints; the library's context carries the card number.
constexpr std::int32_t kPlaybackEndpointId = 1;
constexpr std::int32_t kRecordingEndpointId = 2;
// ALSA's longest element name.
constexpr std::size_t kMaxElementName = 44;
// A "usbid" file holds "vvvv:pppp" and a line end.
constexpr std::size_t kMaxUsbIdBytes = 64;
// Nothing of what is only stored is applied, so nothing is claimed: seven
// items, the mask first.
constexpr std::string_view kFeatureAnswer = "0,0,0,0,0,0,0";

// The element names are guesses from USB audio class cards ("Mic" carries
// the capture controls and the side-tone playback controls); the override
// file corrects them for a card that names its controls otherwise.
struct DefaultBinding {
    const char* property;
    MixerSide side;
    MixerRole role;
    const char* element;
};
// clang-format off
constexpr DefaultBinding kDefaultBindings[] = {
    {"MuteControl",           MixerSide::Capture,  MixerRole::MuteSwitch, "Mic"},
    {"VolumeScalarControl",   MixerSide::Capture,  MixerRole::Volume,     "Mic"},
    {"AAMuteControl",         MixerSide::Playback, MixerRole::MuteSwitch, "Mic"},
    {"AAVolumeScalarControl", MixerSide::Playback, MixerRole::Volume,     "Mic"},
    {"GetAAMaxVol",           MixerSide::Playback, MixerRole::Presence,   "Mic"},
};

// Every property of the audio logic without a binding above; "GetSupportFeature"
// is answered, not stored.
constexpr auto kPlay = AudioDirection::Playback;
constexpr auto kRec = AudioDirection::Recording;
constexpr StoredProperty kStoredOnly[] = {
    {"Enable_EQ_GFX",                kPlay, "equaliser"},
    {"EQ_Slider1",                   kPlay, "equaliser"},
    {"EQ_Slider2",                   kPlay, "equaliser"},
    {"EQ_Slider3",                   kPlay, "equaliser"},
    {"EQ_Slider4",                   kPlay, "equaliser"},
    {"EQ_Slider5",                   kPlay, "equaliser"},
    {"EQ_Slider6",                   kPlay, "equaliser"},
    {"EQ_Slider7",                   kPlay, "equaliser"},
    {"EQ_Slider8",                   kPlay, "equaliser"},
    {"EQ_Slider9",                   kPlay, "equaliser"},
    {"EQ_Slider10",                  kPlay, "equaliser"},
    {"VirtualSurroundEffectControl", kPlay, "surround"},
    {"Enable_RFX_GFX",               kPlay, "room effect"},
    {"RFX_ENVIRONMENT",              kPlay, "room effect"},
    {"RFX_ROOMSIZE",                 kPlay, "room effect"},
    {"Enable_MAGICVOICE",            kRec,  "voice changer"},
    {"MagicVoice_Selection",         kRec,  "voice changer"},
    {"Enable_MICECHO",               kRec,  "echo"},
    {"Enable_ENC_LFX",               kRec,  "noise reduction"},
    {"VolumeControl",                kRec,  "microphone volume (start default only)"},
    {"AAVolumeControl",              kRec,  "monitoring volume (start default only)"},
};
// clang-format on

std::string_view Trimmed(std::string_view text) {
    const std::size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos) return {};
    return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

std::optional<int> CardNumber(const std::string& folderName) {
    constexpr std::string_view kPrefix = "card";
    if (!folderName.starts_with(kPrefix) || folderName.size() == kPrefix.size())
        return std::nullopt;
    int number = 0;
    const char* first = folderName.data() + kPrefix.size();
    const char* last = folderName.data() + folderName.size();
    const auto [rest, error] = std::from_chars(first, last, number);
    if (error != std::errc{} || rest != last || number < 0) return std::nullopt;
    return number;
}

}  // namespace

std::vector<MixerBinding> HeadsetMixerBindings(const fs::path& overrideFile) {
    const Json::Value names =
        overrideFile.empty() ? Json::Value() : DocumentFile::ReadJsonFile(overrideFile);
    std::vector<MixerBinding> bindings;
    for (const DefaultBinding& row : kDefaultBindings) {
        MixerBinding& binding =
            bindings.emplace_back(MixerBinding{row.property, row.side, row.role, row.element});
        const Json::Value& name = json::Member(names, row.property);
        if (name.isString() && !name.asString().empty() &&
            name.asString().size() <= kMaxElementName) {
            binding.element = name.asString();
        }
    }
    return bindings;
}

std::span<const StoredProperty> StoredOnlyProperties() {
    return kStoredOnly;
}

std::optional<int> FindUsbSoundCard(const fs::path& procAsound, std::string_view usbId) {
    std::optional<int> found;
    std::error_code error;
    fs::directory_iterator entry(procAsound, error);
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
        const std::optional<int> card = CardNumber(entry->path().filename().string());
        if (!card || (found && *found < *card)) continue;
        std::string text;
        if (ReadFileBytes(entry->path() / "usbid", text, kMaxUsbIdBytes) != ReadStatus::Ok) {
            continue;
        }
        std::string id(Trimmed(text));
        std::transform(id.begin(), id.end(), id.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (id == usbId) found = card;
    }
    return found;
}

AlsaAudioConf::AlsaAudioConf(std::unique_ptr<IAlsaMixer> mixer, AlsaAudioPaths paths)
    : mixer_(std::move(mixer)), paths_(std::move(paths)) {}

fs::path AlsaAudioConf::StoreFile() const {
    std::string name = "headset-audio-" + std::string(kHeadsetUsbId) + ".json";
    std::replace(name.begin(), name.end(), ':', '-');
    return paths_.storeFolder / name;
}

bool AlsaAudioConf::Load() {
    card_ = FindUsbSoundCard(paths_.procAsound, kHeadsetUsbId);
    if (!card_ || !mixer_->Open(*card_)) {
        card_.reset();
        return false;
    }
    bindings_ = HeadsetMixerBindings(paths_.overrideFile);
    // A damaged file is moved aside and its values read as never set; one
    // that can be neither read nor moved is left alone and nothing is stored.
    stored_ = Json::Value(Json::objectValue);
    storeWritable_ = DocumentFile::ReadForUpdate(StoreFile(), stored_);
    return true;
}

int AlsaAudioConf::GetDeviceCount(AudioDirection) {
    return card_ ? 1 : 0;
}

std::optional<ConfDeviceInfo> AlsaAudioConf::GetDeviceById(AudioDirection direction, int index) {
    if (!card_ || index != 0) return std::nullopt;
    if (direction == AudioDirection::Playback)
        return ConfDeviceInfo{kPlaybackEndpointId, 1, *card_, 1};
    return ConfDeviceInfo{kRecordingEndpointId, kRecordingKind, *card_, 1};
}

const MixerBinding* AlsaAudioConf::BindingOf(std::string_view property) const {
    for (const MixerBinding& binding : bindings_) {
        if (binding.property == property) return &binding;
    }
    return nullptr;
}

std::string AlsaAudioConf::StoreKey(const ConfDeviceInfo& endpoint, std::string_view property,
                                    const PropertyParameter& parameter) {
    std::string key = std::to_string(endpoint.endpointId) + "/" + std::string(property);
    for (const std::int32_t item : parameter.Items())
        key += "/" + std::to_string(item);
    return key;
}

AudioReading AlsaAudioConf::ReadProperty(const ConfDeviceInfo& endpoint, std::string_view property,
                                         const PropertyParameter& parameter) {
    if (!card_) return {AudioResult::Error, {}};
    if (const MixerBinding* binding = BindingOf(property)) return ReadBound(*binding);
    const Json::Value& value =
        json::Member(stored_, StoreKey(endpoint, property, parameter).c_str());
    // A value of another type than written reads as never set, so audio
    // start gives it its default again.
    if (value.isInt() && value.type() != Json::realValue) {
        return {AudioResult::Ok, static_cast<std::int32_t>(value.asInt())};
    }
    if (value.type() == Json::realValue) {
        return {AudioResult::Ok, static_cast<float>(value.asDouble())};
    }
    return {AudioResult::NoValue, {}};
}

AudioReading AlsaAudioConf::ReadBound(const MixerBinding& binding) {
    switch (binding.role) {
        case MixerRole::MuteSwitch: {
            const std::optional<bool> on = mixer_->GetSwitch(binding.element, binding.side);
            if (!on) return {AudioResult::NotSupported, {}};
            return {AudioResult::Ok, *on ? 0 : 1};
        }
        case MixerRole::Volume: {
            const std::optional<MixerRange> range =
                mixer_->VolumeRange(binding.element, binding.side);
            if (!range) return {AudioResult::NotSupported, {}};
            const std::optional<long> raw = mixer_->GetVolume(binding.element, binding.side);
            if (!raw || range->max <= range->min) return {AudioResult::Error, {}};
            const double scalar = static_cast<double>(*raw - range->min) /
                                  static_cast<double>(range->max - range->min);
            return {AudioResult::Ok, static_cast<float>(std::clamp(scalar, 0.0, 1.0))};
        }
        case MixerRole::Presence:
            if (!mixer_->VolumeRange(binding.element, binding.side)) {
                return {AudioResult::NotSupported, {}};
            }
            return {AudioResult::Ok, 1.0F};
    }
    return {AudioResult::Error, {}};
}

AudioTextReading AlsaAudioConf::ReadPropertyText(const ConfDeviceInfo&, std::string_view property) {
    if (!card_ || property != "GetSupportFeature") return {AudioResult::NotSupported, {}};
    return {AudioResult::Ok, std::string(kFeatureAnswer)};
}

AudioResult AlsaAudioConf::WriteProperty(const ConfDeviceInfo& endpoint, std::string_view property,
                                         const AudioValue& value,
                                         const PropertyParameter& parameter) {
    if (!card_) return AudioResult::Error;
    if (const MixerBinding* binding = BindingOf(property)) return WriteBound(*binding, value);
    if (!storeWritable_ || !EnsureDirectory(paths_.storeFolder)) return AudioResult::Error;
    Json::Value updated = stored_;
    const std::string key = StoreKey(endpoint, property, parameter);
    if (const auto* integer = std::get_if<std::int32_t>(&value)) {
        updated[key] = *integer;
    } else {
        updated[key] = static_cast<double>(std::get<float>(value));
    }
    if (!DocumentFile::WriteJsonFile(StoreFile(), updated)) return AudioResult::Error;
    stored_ = std::move(updated);
    return AudioResult::Ok;
}

AudioResult AlsaAudioConf::WriteBound(const MixerBinding& binding, const AudioValue& value) {
    switch (binding.role) {
        case MixerRole::MuteSwitch: {
            const bool muted = AsInteger(value) != 0;
            return mixer_->SetSwitch(binding.element, binding.side, !muted) ? AudioResult::Ok
                                                                            : AudioResult::Error;
        }
        case MixerRole::Volume: {
            const std::optional<MixerRange> range =
                mixer_->VolumeRange(binding.element, binding.side);
            if (!range) return AudioResult::NotSupported;
            double scalar = AsNumber(value);
            scalar = std::isnan(scalar) ? 0.0 : std::clamp(scalar, 0.0, 1.0);
            const long raw =
                range->min + std::lround(scalar * static_cast<double>(range->max - range->min));
            return mixer_->SetVolume(binding.element, binding.side, raw) ? AudioResult::Ok
                                                                         : AudioResult::Error;
        }
        case MixerRole::Presence:
            return AudioResult::NotSupported;
    }
    return AudioResult::Error;
}

}  // namespace q731
