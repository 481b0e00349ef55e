#include "profiles/hs6533_profiledata.h"

#include <algorithm>

namespace q731 {

using json::GetI32;
using json::Member;
using json::ObjectMember;

HeadsetSystemSettings CHs6533Profiledata::GetSystemSettings() {
    const Json::Value& section = Member(document_, "SystemSetStages");
    systemSettings_ = {GetI32(section, "MagicEnable"),      GetI32(section, "MagicType"),
                       GetI32(section, "EqType"),           GetI32(section, "CustomEqSeletIndex"),
                       GetI32(section, "MicInSelect"),      GetI32(section, "MicInValue"),
                       GetI32(section, "MicMoniterSelect"), GetI32(section, "MicMoniterValue")};
    return systemSettings_;
}

void CHs6533Profiledata::SetSystemSettings(const HeadsetSystemSettings& settings) {
    systemSettings_ = settings;
    Json::Value& section = ObjectMember(MutableDocument(), "SystemSetStages");
    section["MagicEnable"] = settings.magicEnable;
    section["MagicType"] = settings.magicType;
    section["EqType"] = settings.eqType;
    section["CustomEqSeletIndex"] = settings.customEqSelectIndex;
    section["MicInSelect"] = settings.micInSelect;
    section["MicInValue"] = settings.micInValue;
    section["MicMoniterSelect"] = settings.micMonitorSelect;
    section["MicMoniterValue"] = settings.micMonitorValue;
}

int CHs6533Profiledata::PresetCurveFor(int eqType) {
    return eqType >= 1 && eqType <= kPresetCurveCount ? eqType : 1;
}

int CHs6533Profiledata::CustomCurveCount() const {
    // The names come from the file: however many it lists, a curve index never
    // grows the document past a fixed number of curves.
    return std::min(static_cast<int>(json::ArraySize(Member(document_, "CustomEQNameInfo"))),
                    kMaxCustomCurves);
}

CHs6533Profiledata::Curve CHs6533Profiledata::ReadCurve(const char* section, int curve) {
    Curve values{};
    Json::Value& bands = json::ArrayAt(json::ArrayMember(MutableDocument(), section),
                                       static_cast<Json::ArrayIndex>(curve));
    for (int band = 0; band < kBandCount; ++band) {
        Json::Value& element = bands[static_cast<Json::ArrayIndex>(band)];
        if (!element.isObject() || Member(element, "value").isNull()) {
            json::EnsureObject(element)["value"] = 0;
            continue;
        }
        values[static_cast<std::size_t>(band)] = GetI32(element, "value");
    }
    equaliserValues_ = values;
    return values;
}

void CHs6533Profiledata::WriteCurve(const char* section, int curve, const Curve& values) {
    Json::Value& bands = json::ArrayAt(json::ArrayMember(MutableDocument(), section),
                                       static_cast<Json::ArrayIndex>(curve));
    for (int band = 0; band < kBandCount; ++band) {
        json::ObjectAt(bands, static_cast<Json::ArrayIndex>(band))["value"] =
            values[static_cast<std::size_t>(band)];
    }
    equaliserValues_ = values;
}

CHs6533Profiledata::Curve CHs6533Profiledata::GetEqualiserCurve(int eqType) {
    if (eqType == kCustomCurveType) {
        return GetCustomCurve(GetI32(Member(document_, "SystemSetStages"), "CustomEqSeletIndex"));
    }
    return ReadCurve("EQHzValueInfo", PresetCurveFor(eqType));
}

void CHs6533Profiledata::SetPresetCurve(int eqType, const Curve& values) {
    if (eqType == kCustomCurveType) return;
    WriteCurve("EQHzValueInfo", PresetCurveFor(eqType), values);
}

CHs6533Profiledata::Curve CHs6533Profiledata::GetCustomCurve(int customIndex) {
    if (customIndex < 0 || customIndex >= CustomCurveCount()) return Curve{};
    return ReadCurve("CustomEQHzValueInfo", customIndex);
}

bool CHs6533Profiledata::SetCustomCurve(int customIndex, const Curve& values) {
    if (customIndex < 0 || customIndex >= CustomCurveCount()) return false;
    WriteCurve("CustomEQHzValueInfo", customIndex, values);
    return true;
}

std::vector<std::string> CHs6533Profiledata::GetCustomCurveNames() {
    std::vector<std::string> names;
    const Json::Value& list = Member(document_, "CustomEQNameInfo");
    for (Json::ArrayIndex i = 0; i < json::ArraySize(list); ++i) {
        names.push_back(json::GetString(list[i], "Name"));
    }
    return names;
}

void CHs6533Profiledata::SetCustomCurveNames(const std::vector<std::string>& names) {
    Json::Value list(Json::arrayValue);
    for (const std::string& name : names) {
        Json::Value entry(Json::objectValue);
        entry["Name"] = name;
        list.append(entry);
    }
    MutableDocument()["CustomEQNameInfo"] = list;
}

}  // namespace q731
