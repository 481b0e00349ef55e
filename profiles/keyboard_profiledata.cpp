#include "profiles/keyboard_profiledata.h"

#include <algorithm>

namespace q731 {

using json::ArrayAt;
using json::GetU16;
using json::GetU8;
using json::Member;
using json::ObjectMember;

namespace {

Json::Value ColourObject(const KeyColour& colour) {
    Json::Value object(Json::objectValue);
    object["Red"] = colour.red;
    object["Green"] = colour.green;
    object["Blue"] = colour.blue;
    object["Alpha"] = colour.alpha;
    return object;
}

}  // namespace

KeyboardSystemSettings CKeyboardProfiledata::GetSystemSettings() {
    const Json::Value& section = Member(document_, "SystemStages");
    systemSettings_ = {GetU16(section, "Repeat"),   GetU16(section, "RepeatDelay"),
                       GetU16(section, "Key6Flag"), GetU16(section, "PollingRate"),
                       GetU16(section, "WFlag"),    GetU16(section, "WinFlag")};
    return systemSettings_;
}

void CKeyboardProfiledata::SetSystemSettings(const KeyboardSystemSettings& settings) {
    systemSettings_ = settings;
    Json::Value& section = ObjectMember(MutableDocument(), "SystemStages");
    section["Repeat"] = settings.repeat;
    section["RepeatDelay"] = settings.repeatDelay;
    section["Key6Flag"] = settings.key6Flag;
    section["PollingRate"] = settings.pollingRate;
    section["WFlag"] = settings.wFlag;
    section["WinFlag"] = settings.winFlag;
}

std::vector<KeyColour> CKeyboardProfiledata::GetCustomColourGroup(int group, int keyCount) {
    const int count = std::clamp(keyCount, 0, kMaxKeys);
    std::vector<KeyColour> colours(static_cast<std::size_t>(count));
    if (group < 0 || group >= kMaxCustomGroups) return colours;

    Json::Value& info =
        json::ArrayMember(ObjectMember(MutableDocument(), "CustomLightMode"), "LightColorInfo");
    Json::Value& keys = ArrayAt(info, static_cast<Json::ArrayIndex>(group));
    for (int key = 0; key < count; ++key) {
        Json::Value& element = keys[static_cast<Json::ArrayIndex>(key)];
        if (!element.isObject()) {
            element = ColourObject({});
            continue;
        }
        colours[static_cast<std::size_t>(key)] = {GetU8(element, "Red"), GetU8(element, "Green"),
                                                  GetU8(element, "Blue"), GetU8(element, "Alpha")};
    }
    return colours;
}

void CKeyboardProfiledata::SetCustomColourGroup(const std::vector<KeyColour>& colours, int group) {
    if (group < 0 || group >= kMaxCustomGroups ||
        colours.size() > static_cast<std::size_t>(kMaxKeys)) {
        return;
    }
    customColours_ = colours;
    Json::Value& info =
        json::ArrayMember(ObjectMember(MutableDocument(), "CustomLightMode"), "LightColorInfo");
    Json::Value& keys = ArrayAt(info, static_cast<Json::ArrayIndex>(group));
    for (std::size_t key = 0; key < colours.size(); ++key) {
        keys[static_cast<Json::ArrayIndex>(key)] = ColourObject(colours[key]);
    }
}

int CKeyboardProfiledata::GetSelectedCustomGroup() {
    selectedCustomGroup_ =
        json::GetI32(Member(document_, "CustomLightMode"), "CustomLightModeGroupIndex");
    return selectedCustomGroup_;
}

void CKeyboardProfiledata::SetSelectedCustomGroup(int group) {
    selectedCustomGroup_ = group;
    ObjectMember(MutableDocument(), "CustomLightMode")["CustomLightModeGroupIndex"] = group;
}

}  // namespace q731
