#include "profiles/mouse_profiledata.h"

namespace q731 {

using json::GetU16;
using json::GetU8;
using json::Member;
using json::ObjectAt;
using json::ObjectMember;

std::vector<DpiStage> CMouseProfiledata::GetDpiStages() {
    const Json::Value& section = Member(document_, "DPIStages");
    activeStage_ = json::GetI32(section, "StageActive");
    const Json::Value& list = Member(section, "StageDPIs");
    for (Json::ArrayIndex i = 0; i < json::ArraySize(list); ++i) {
        DpiStage stage;
        stage.enabled = GetU8(list[i], "StageActive");
        stage.separateXY = GetU8(list[i], "StageXY");
        stage.SetDpiX(GetU16(list[i], "StageDPIX"));
        stage.SetDpiY(GetU16(list[i], "StageDPIY"));
        stage.red = GetU8(list[i], "StageColorR");
        stage.green = GetU8(list[i], "StageColorG");
        stage.blue = GetU8(list[i], "StageColorB");
        if (i < stages_.size()) {
            stages_[i] = stage;
        } else {
            stages_.push_back(stage);
        }
    }
    return stages_;
}

void CMouseProfiledata::SetDpiStages(const std::vector<DpiStage>& stages) {
    stages_ = stages;
    Json::Value& list =
        json::ArrayMember(ObjectMember(MutableDocument(), "DPIStages"), "StageDPIs");
    list.resize(static_cast<Json::ArrayIndex>(stages.size()));
    for (std::size_t i = 0; i < stages.size(); ++i) {
        Json::Value& element = ObjectAt(list, static_cast<Json::ArrayIndex>(i));
        element["StageActive"] = stages[i].enabled;
        element["StageXY"] = stages[i].separateXY;
        element["StageDPIX"] = stages[i].DpiX();
        element["StageDPIY"] = stages[i].DpiY();
        element["StageColorR"] = stages[i].red;
        element["StageColorG"] = stages[i].green;
        element["StageColorB"] = stages[i].blue;
    }
}

int CMouseProfiledata::GetActiveStage() {
    activeStage_ = json::GetI32(Member(document_, "DPIStages"), "StageActive");
    return activeStage_;
}

void CMouseProfiledata::SetActiveStage(int stage) {
    activeStage_ = stage;
    ObjectMember(MutableDocument(), "DPIStages")["StageActive"] = stage;
}

MouseSystemSettings CMouseProfiledata::GetSystemSettings() {
    const Json::Value& system = Member(document_, "SystemStages");
    systemSettings_ = {GetU16(system, "DoubleClickTime"),
                       GetU16(system, "MouseSpeed"),
                       GetU16(system, "PointerPrecision"),
                       GetU16(system, "ScorllPage"),
                       GetU16(system, "WheelScorlllinse"),
                       GetU16(Member(document_, "ReportStages"), "StageActive")};
    return systemSettings_;
}

void CMouseProfiledata::SetSystemSettings(const MouseSystemSettings& settings) {
    systemSettings_ = settings;
    Json::Value& system = ObjectMember(MutableDocument(), "SystemStages");
    system["DoubleClickTime"] = settings.doubleClickTime;
    system["MouseSpeed"] = settings.mouseSpeed;
    system["PointerPrecision"] = settings.pointerPrecision;
    system["ScorllPage"] = settings.scrollPage;
    system["WheelScorlllinse"] = settings.wheelScrollLines;
    ObjectMember(MutableDocument(), "ReportStages")["StageActive"] = settings.reportStage;
}

std::vector<CorrectEntry> CMouseProfiledata::GetCorrectList() {
    correctList_.clear();
    const Json::Value& list = Member(document_, "CorrectInfo");
    for (Json::ArrayIndex i = 0; i < json::ArraySize(list); ++i) {
        correctList_.push_back({GetU8(list[i], "CorrectPixThresh"), GetU8(list[i], "CorrectMinSq"),
                                GetU8(list[i], "CorrectSelect"),
                                json::GetString(list[i], "CorrectName")});
    }
    return correctList_;
}

}  // namespace q731
