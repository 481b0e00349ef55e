#pragma once
// The mouse's profile document: DPI stages, system and polling settings and the
// read-only straight-line correction table.

#include <vector>

#include "profiles/basic_profiledata.h"

namespace q731 {

class CMouseProfiledata : public CBasicProfiledata {
public:
    // Reads "StageDPIs" over the held list (stage i replaces held stage i or is
    // appended; held stages past the document's count stay) and the level
    // "StageActive".
    std::vector<DpiStage> GetDpiStages();
    // Replaces the held list; the document's stage array then mirrors it.
    void SetDpiStages(const std::vector<DpiStage>& stages);
    int GetActiveStage();
    void SetActiveStage(int stage);
    MouseSystemSettings GetSystemSettings();
    void SetSystemSettings(const MouseSystemSettings& settings);
    std::vector<CorrectEntry> GetCorrectList();

private:
    std::vector<DpiStage> stages_;
    int activeStage_ = 0;
    MouseSystemSettings systemSettings_;
    std::vector<CorrectEntry> correctList_;
};

}  // namespace q731
