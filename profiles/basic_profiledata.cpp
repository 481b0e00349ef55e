#include "profiles/basic_profiledata.h"

#include <fmt/format.h>

#include "platform/files.h"
#include "platform/log.h"
#include "profiles/profile_list.h"

namespace q731 {

using json::ArrayMember;
using json::At;
using json::GetBool;
using json::GetI32;
using json::GetInt64;
using json::GetU8;
using json::Member;
using json::ObjectAt;
using json::ObjectMember;

namespace {

constexpr std::uint32_t kCodeMask = 0xFFFFFF;

// A rebuilt profile file gets back what names it: the identifier is the file
// name and the display name is whatever the profile list says.
void FillIdentity(Json::Value& contents, const fs::path& path) {
    if (path.extension() != kProfileExtension) return;
    const std::string identifier = path.stem().string();
    if (!IsSafeIdentifier(identifier)) return;
    if (!Member(contents, "profileUUID").isString()) contents["profileUUID"] = identifier;
    if (!Member(contents, "profilename").isString()) {
        const std::string name = ListedProfileName(path.parent_path(), identifier);
        if (!name.empty()) contents["profilename"] = name;
    }
}

LightSetting ReadLightInfo(const Json::Value& section) {
    LightSetting light;
    light.selectItem = GetU8(section, "SelectItem");
    light.brightness = GetU8(section, "Light");
    light.speed = GetU8(section, "Speed");
    light.direction = GetU8(section, "Fx");
    light.multiColor = GetBool(section, "MultiColor") ? 1 : 0;
    light.red = GetU8(section, "Red");
    light.green = GetU8(section, "Green");
    light.blue = GetU8(section, "Blue");
    light.zzccMode = GetU8(section, "ZZCCLedMode");
    light.customGroup = GetU8(section, "CustomGroup");
    light.oldMode = GetU8(section, "OldLedmode");
    return light;
}

// The zone and step records share these keys.
LightSetting ReadLedRecord(const Json::Value& element, bool flagsAsBooleans) {
    LightSetting light;
    light.selectItem = GetU8(element, "LEDREGMode");
    light.brightness = GetU8(element, "LEDBrightness");
    light.speed = GetU8(element, "LEDSpeed");
    light.direction = flagsAsBooleans ? (GetBool(element, "LEDDirection") ? 1 : 0)
                                      : GetU8(element, "LEDDirection");
    light.multiColor = flagsAsBooleans ? (GetBool(element, "LEDMultiColor") ? 1 : 0)
                                       : GetU8(element, "LEDMultiColor");
    light.red = GetU8(element, "red");
    light.green = GetU8(element, "green");
    light.blue = GetU8(element, "blue");
    return light;
}

}  // namespace

void CBasicProfiledata::SetProfilePath(const fs::path& path) {
    if (!path.empty()) profilePath_ = path;
}

void CBasicProfiledata::SetDefaultPath(const fs::path& path) {
    if (!path.empty()) defaultPath_ = path;
}

void CBasicProfiledata::SetDocumentIndex(int index) {
    if (index >= 0 && index <= kMaxDocumentIndex) documentIndex_ = index;
}

void CBasicProfiledata::SetDeviceKindIndex(int kindIndex) {
    deviceKindIndex_ = kindIndex;
    documentIndex_ = 0;
}

Json::Value CBasicProfiledata::LoadProfileDocument(const fs::path& path) {
    return LoadDocumentInto(path, document_);
}

Json::Value CBasicProfiledata::LoadSecondaryDocument(const fs::path& path) {
    return LoadDocumentInto(path, secondaryDocument_);
}

Json::Value CBasicProfiledata::LoadDocumentInto(const fs::path& path, Json::Value& target) {
    target = Json::Value();
    if (path.empty()) return target;
    const auto index = static_cast<Json::ArrayIndex>(documentIndex_);

    DocumentRead read = DocumentFile::Read(path);
    if (read.status == DocumentStatus::Unreadable) return target;  // never overwrite it

    Json::Value contents(Json::objectValue);
    bool damaged = read.status != DocumentStatus::Ok && read.status != DocumentStatus::Missing;
    if (read.status == DocumentStatus::Ok) {
        if (!read.value.isObject()) {
            damaged = true;
        } else {
            const Json::Value& devices = Member(read.value, "Device");
            const Json::Value& element = At(devices, index);
            if (element.isObject()) {
                target = element;
                return target;
            }
            // Completing the file must not overwrite anything that is there.
            damaged = !(devices.isNull() || devices.isArray()) || !element.isNull();
            contents.swap(read.value);
        }
    }
    if (damaged && DocumentFile::KeepAside(path).empty()) return target;

    const Json::Value defaults = DocumentFile::ReadJsonFile(defaultPath_);
    const Json::Value& defaultDocument = At(Member(defaults, "Device"), index);
    if (!defaultDocument.isObject()) {
        LogWarning("no default document in " + defaultPath_.string());
        return target;
    }
    target = defaultDocument;
    if (!Member(contents, "Device").isArray()) contents["Device"] = Json::Value(Json::arrayValue);
    contents["Device"][index] = defaultDocument;
    FillIdentity(contents, path);
    DocumentFile::WriteJsonFile(path, contents);  // failure is logged; the document still loads
    return target;
}

Json::Value CBasicProfiledata::LoadLightLibrary(const fs::path& path) {
    lightLibrary_ = DocumentFile::ReadJsonFile(path);
    return lightLibrary_;
}

bool CBasicProfiledata::SaveProfile() {
    return StoreDocument(document_, profilePath_);
}

bool CBasicProfiledata::SaveSecondaryDocument(const fs::path& path) {
    return StoreDocument(secondaryDocument_, path);
}

bool CBasicProfiledata::StoreDocument(const Json::Value& value, const fs::path& path) {
    if (path.empty() || !value.isObject()) return false;
    Json::Value contents;
    bool keptAside = false;
    if (!DocumentFile::ReadForUpdate(path, contents, &keptAside)) return false;
    if (!keptAside && contents.isObject() && contents.isMember("Device") &&
        !contents["Device"].isArray()) {
        // Someone changed the file's shape since it was read: keep it aside
        // rather than replace what it holds with our one document.
        if (MoveAside(path, "corrupt", DocumentFile::TimeStamp()).empty()) return false;
        contents = Json::Value(Json::objectValue);
        keptAside = true;
    }
    if (keptAside) FillIdentity(contents, path);
    ArrayMember(contents, "Device")[static_cast<Json::ArrayIndex>(documentIndex_)] = value;
    return DocumentFile::WriteJsonFile(path, contents);
}

bool CBasicProfiledata::WriteDocument(const Json::Value& value, const fs::path& path) {
    if (path.empty()) return false;
    Json::Value existing;
    if (!DocumentFile::ReadForUpdate(path, existing)) return false;
    return DocumentFile::WriteJsonFile(path, value);
}

LightSetting CBasicProfiledata::GetLightSetting() {
    const Json::Value& section = Member(document_, "LightInfo");
    lightSetting_ = section.isObject() ? ReadLightInfo(section) : fallbackLightSetting_;
    return lightSetting_;
}

void CBasicProfiledata::SetLightSetting(const LightSetting& setting) {
    lightSetting_ = setting;
    Json::Value& section = ObjectMember(MutableDocument(), "LightInfo");
    section["SelectItem"] = setting.selectItem;
    section["Light"] = setting.brightness;
    section["Speed"] = setting.speed;
    section["Fx"] = setting.direction;
    section["MultiColor"] = setting.multiColor != 0 ? 1 : 0;
    section["Red"] = setting.red;
    section["Green"] = setting.green;
    section["Blue"] = setting.blue;
    section["ZZCCLedMode"] = setting.zzccMode;
    section["CustomGroup"] = setting.customGroup;
    section["OldLedmode"] = setting.oldMode;
}

AudioLightSetting CBasicProfiledata::GetAudioLightSetting() {
    const Json::Value& section = Member(document_, "AudioLightInfo");
    AudioLightSetting audio;
    audio.audioMode = GetU8(section, "AudioMode");
    audio.backgroundRed = GetU8(section, "BkColorR");
    audio.backgroundGreen = GetU8(section, "BkColorG");
    audio.backgroundBlue = GetU8(section, "BkColorB");
    audio.foregroundRed = GetU8(section, "FgColorR");
    audio.foregroundGreen = GetU8(section, "FgColorG");
    audio.foregroundBlue = GetU8(section, "FgColorB");
    audio.sevenColors = GetBool(section, "7ColorFlags") ? 1 : 0;
    audio.colorType = GetBool(section, "ColorTypeFlags") ? 1 : 0;
    audioLightSetting_ = audio;
    return audio;
}

void CBasicProfiledata::SetAudioLightSetting(const AudioLightSetting& setting) {
    audioLightSetting_ = setting;
    Json::Value& section = ObjectMember(MutableDocument(), "AudioLightInfo");
    section["AudioMode"] = setting.audioMode;
    section["BkColorR"] = setting.backgroundRed;
    section["BkColorG"] = setting.backgroundGreen;
    section["BkColorB"] = setting.backgroundBlue;
    section["FgColorR"] = setting.foregroundRed;
    section["FgColorG"] = setting.foregroundGreen;
    section["FgColorB"] = setting.foregroundBlue;
    section["7ColorFlags"] = setting.sevenColors != 0 ? 1 : 0;
    section["ColorTypeFlags"] = setting.colorType != 0 ? 1 : 0;
}

std::vector<LightSetting> CBasicProfiledata::GetLedList() {
    ledList_.clear();
    const Json::Value& list = Member(document_, "LightList");
    for (Json::ArrayIndex i = 0; i < json::ArraySize(list); ++i) {
        const Json::Value& element = list[i];
        if (element.isNull()) {
            ledList_.emplace_back();
            continue;
        }
        LightSetting light = ReadLedRecord(element, true);
        light.present = 1;
        ledList_.push_back(light);
    }
    return ledList_;
}

std::vector<LedEffectStep> CBasicProfiledata::GetEffectSteps() {
    effectSteps_.clear();
    if (lightLibrary_.isNull() || lightLibraryPath_.empty()) return effectSteps_;
    const int position = int{lightSetting_.selectItem} - builtInEffectCount_;
    if (position < 0) return effectSteps_;
    // The names the user picked from came from the kind's own row.
    const Json::Value& entry =
        At(At(Member(lightLibrary_, "LightInfo"), deviceKindIndex_), position);
    const std::string guid = json::GetString(entry, "Guid");
    if (!IsSafeIdentifier(guid)) {
        if (!guid.empty()) LogWarning("custom effect name refused: " + guid);
        return effectSteps_;
    }
    const Json::Value effect =
        DocumentFile::ReadJsonFile(lightLibraryPath_.parent_path() / (guid + ".light"));
    const Json::Value& steps = Member(effect, "LEDEffectList");
    for (Json::ArrayIndex i = 0; i < json::ArraySize(steps); ++i) {
        LedEffectStep step;
        step.light = ReadLedRecord(steps[i], false);
        step.time = GetI32(steps[i], "Time");
        step.cycle = GetI32(steps[i], "Cyle");
        effectSteps_.push_back(step);
    }
    return effectSteps_;
}

std::vector<KeyEntry> CBasicProfiledata::ReadKeyList(const Json::Value& document) {
    std::vector<KeyEntry> keys;
    const Json::Value& list = Member(document, "KeyList");
    const Json::ArrayIndex count = static_cast<Json::ArrayIndex>(json::ArraySize(list));
    keys.reserve(count);
    for (Json::ArrayIndex i = 0; i < count; ++i) {
        const auto keyIndex = static_cast<std::uint16_t>(i);
        const auto current = static_cast<std::uint32_t>(GetInt64(list[i], "Assignment"));
        const auto factory = static_cast<std::uint32_t>(GetInt64(list[i], "DefaultAssignment"));
        keys.push_back({KeyBinding::FromCode(keyIndex, current & kCodeMask),
                        KeyBinding::FromCode(keyIndex, factory & kCodeMask)});
    }
    return keys;
}

void CBasicProfiledata::WriteKeyList(Json::Value& document, const std::vector<KeyEntry>& keys) {
    Json::Value& list = ArrayMember(json::EnsureObject(document), "KeyList");
    for (std::size_t i = 0; i < keys.size(); ++i) {
        ObjectAt(list, static_cast<Json::ArrayIndex>(i))["Assignment"] = keys[i].current.Code();
    }
}

std::vector<KeyEntry> CBasicProfiledata::GetKeyList() {
    keyList_ = ReadKeyList(document_);
    return keyList_;
}

std::vector<KeyEntry> CBasicProfiledata::GetSecondaryKeyList() {
    secondaryKeyList_ = ReadKeyList(secondaryDocument_);
    return secondaryKeyList_;
}

void CBasicProfiledata::SetKeyList(const std::vector<KeyEntry>& keys) {
    keyList_ = keys;
    WriteKeyList(document_, keys);
}

void CBasicProfiledata::SetSecondaryKeyList(const std::vector<KeyEntry>& keys) {
    secondaryKeyList_ = keys;
    WriteKeyList(secondaryDocument_, keys);
}

}  // namespace q731
