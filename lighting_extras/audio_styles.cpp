#include "lighting_extras/audio_styles.h"

#include <fmt/format.h>
#include <json/json.h>

#include <algorithm>
#include <cstddef>
#include <utility>

#include "platform/files.h"
#include "platform/log.h"
#include "profiles/document_file.h"
#include "profiles/json_fields.h"

namespace q731 {

namespace {

constexpr const char* kDevice = "Device";
constexpr const char* kAudioLightInfo = "AudioLightInfo";
constexpr const char* kActiveStyle = "nAudioStyle";
constexpr char kChannelLetters[] = {'R', 'G', 'B'};

std::string NameKey(std::size_t style) {
    return fmt::format("nStyleName{}", style + 1);
}

std::string ValueKey(std::size_t style, std::size_t channel) {
    return fmt::format("nStyle{}{}", kChannelLetters[channel], style);
}

int Clamp(int value, int highest) {
    return std::clamp(value, 0, highest);
}

// An integer member clamped to 0-highest; anything but an integer reads 0.
int ClampedInteger(const Json::Value& info, const std::string& key, int highest) {
    const Json::Value& value = json::Member(info, key.c_str());
    if (value.isInt64()) {
        return static_cast<int>(std::clamp<Json::Int64>(value.asInt64(), 0, highest));
    }
    if (value.isUInt64()) return highest;  // above the signed range
    return 0;
}

bool HasDevice(const Json::Value& document) {
    return json::Member(document, kDevice).isObject();
}

AudioLightStyles ParseStyles(const Json::Value& document) {
    const Json::Value& info = json::Member(json::Member(document, kDevice), kAudioLightInfo);
    AudioLightStyles styles;
    styles.active = ClampedInteger(info, kActiveStyle, kAudioStyles - 1);
    for (std::size_t style = 0; style < kAudioStyles; ++style) {
        styles.names[style] = json::GetString(info, NameKey(style).c_str());
        for (std::size_t channel = 0; channel < 3; ++channel)
            styles.values[style][channel] =
                ClampedInteger(info, ValueKey(style, channel), kAudioStyleMaxValue);
    }
    return styles;
}

Json::Value StylesToJson(const AudioLightStyles& styles) {
    Json::Value info(Json::objectValue);
    info[kActiveStyle] = Clamp(styles.active, kAudioStyles - 1);
    for (std::size_t style = 0; style < kAudioStyles; ++style) {
        info[NameKey(style)] = styles.names[style];
        for (std::size_t channel = 0; channel < 3; ++channel)
            info[ValueKey(style, channel)] =
                Clamp(styles.values[style][channel], kAudioStyleMaxValue);
    }
    return info;
}

bool WriteDocument(const fs::path& path, const Json::Value& document) {
    const fs::path folder = path.parent_path();
    if (!folder.empty() && !EnsureDirectory(folder)) {
        LogWarning("music lighting: cannot create " + folder.string());
        return false;
    }
    return DocumentFile::WriteJsonFile(path, document);
}

void PutLittleEndian(std::array<std::uint8_t, kStyleBlockBytes>& block, std::size_t offset,
                     int value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i)
        block[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i) & 0xFF);
}

}  // namespace

std::string DefaultStyleName(int index) {
    static constexpr const char* kNames[kAudioStyles] = {"第一组", "第二组", "第三组", "第四组"};
    if (index < 0 || index >= kAudioStyles) return {};
    return kNames[index];
}

std::array<std::uint8_t, kStyleBlockBytes> StyleBlock(const AudioLightStyles& styles) {
    std::array<std::uint8_t, kStyleBlockBytes> block{};
    const auto& rgb =
        styles.values[static_cast<std::size_t>(Clamp(styles.active, kAudioStyles - 1))];
    for (std::size_t channel = 0; channel < 3; ++channel) {
        int value = Clamp(rgb[channel], kAudioStyleMaxValue);
        if (channel == 1 && value == 0) value = 1;
        PutLittleEndian(block, channel * 4, value);
    }
    return block;
}

AudioStyleStore::AudioStyleStore(fs::path userFile, fs::path defaultFile)
    : userFile_(std::move(userFile)), defaultFile_(std::move(defaultFile)) {}

AudioLightStyles AudioStyleStore::Load() {
    const DocumentRead user = DocumentFile::Read(userFile_);
    if (user.status == DocumentStatus::Ok && HasDevice(user.value)) return ParseStyles(user.value);

    const DocumentRead defaults = DocumentFile::Read(defaultFile_);
    if (defaults.status != DocumentStatus::Ok || !HasDevice(defaults.value)) {
        LogWarning("music lighting: no usable default styles in " + defaultFile_.string());
        return ParseStyles(Json::Value());
    }
    if (user.status == DocumentStatus::Unreadable) {
        // Never replace what could not be read: the defaults serve this run.
        LogWarning("music lighting: cannot read " + userFile_.string());
        return ParseStyles(defaults.value);
    }
    // A present copy without our content may still be someone's data.
    if (user.status == DocumentStatus::Missing || !DocumentFile::KeepAside(userFile_).empty())
        (void)WriteDocument(userFile_, defaults.value);
    return ParseStyles(defaults.value);
}

AudioLightStyles AudioStyleStore::Reset() {
    const DocumentRead defaults = DocumentFile::Read(defaultFile_);
    if (defaults.status != DocumentStatus::Ok || !HasDevice(defaults.value)) {
        LogWarning("music lighting: no usable default styles in " + defaultFile_.string());
        return Load();
    }
    if (WriteDocument(userFile_, defaults.value)) {
        const DocumentRead user = DocumentFile::Read(userFile_);
        if (user.status == DocumentStatus::Ok && HasDevice(user.value))
            return ParseStyles(user.value);
    }
    return ParseStyles(defaults.value);
}

bool AudioStyleStore::Save(const AudioLightStyles& styles) {
    Json::Value document;
    if (!DocumentFile::ReadForUpdate(userFile_, document)) {
        LogWarning("music lighting: cannot update " + userFile_.string());
        return false;
    }
    // A "Device" member of another type would be lost to the rewrite.
    if (document.isMember(kDevice) && !document[kDevice].isObject() &&
        DocumentFile::KeepAside(userFile_).empty()) {
        return false;
    }
    json::ObjectMember(document, kDevice)[kAudioLightInfo] = StylesToJson(styles);
    return WriteDocument(userFile_, document);
}

}  // namespace q731
