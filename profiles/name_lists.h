#pragma once
// The name lists a device shows beside its profile: macro names, built-in
// effects with their visibility and device codes, lighting areas and the
// user's custom effects. A row that its file lacks leaves its list as it was.

#include <filesystem>
#include <string>
#include <vector>

namespace q731 {

namespace fs = std::filesystem;

struct NameLists {
    std::vector<std::string> macroNames;
    std::vector<std::string> effectNames;
    std::vector<bool> effectVisible;
    std::vector<int> effectValues;
    std::vector<std::string> areaNames;
    std::vector<std::string> customEffectNames;
};

void LoadNameLists(NameLists& lists, int kindIndex, const fs::path& macroListPath,
                   const fs::path& defaultLightPath, const fs::path& lightLibraryPath);

}  // namespace q731
