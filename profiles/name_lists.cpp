#include "profiles/name_lists.h"

#include "profiles/document_file.h"
#include "profiles/json_fields.h"

namespace q731 {

using json::At;
using json::Member;

namespace {

std::vector<std::string> NamesOf(const Json::Value& row, const char* key) {
    std::vector<std::string> names;
    for (Json::ArrayIndex i = 0; i < json::ArraySize(row); ++i) {
        names.push_back(json::GetString(row[i], key));
    }
    return names;
}

}  // namespace

void LoadNameLists(NameLists& lists, int kindIndex, const fs::path& macroListPath,
                   const fs::path& defaultLightPath, const fs::path& lightLibraryPath) {
    const Json::Value macros = DocumentFile::ReadJsonFile(macroListPath);
    lists.macroNames = NamesOf(Member(macros, "MacroInfo"), "MacroName");

    const Json::Value defaults = DocumentFile::ReadJsonFile(defaultLightPath);
    const Json::Value& effects = At(Member(defaults, "DefaultLightName"), kindIndex);
    if (effects.isArray()) {
        lists.effectNames = NamesOf(effects, "LightName");
        lists.effectVisible.clear();
        lists.effectValues.clear();
        for (Json::ArrayIndex i = 0; i < effects.size(); ++i) {
            lists.effectVisible.push_back(json::GetBool(effects[i], "visible"));
            lists.effectValues.push_back(json::GetI32(effects[i], "value"));
        }
    }
    const Json::Value& areas = At(Member(defaults, "AreaLightName"), kindIndex);
    if (areas.isArray()) lists.areaNames = NamesOf(areas, "LightName");

    const Json::Value library = DocumentFile::ReadJsonFile(lightLibraryPath);
    const Json::Value& custom = At(Member(library, "LightInfo"), kindIndex);
    if (custom.isArray()) lists.customEffectNames = NamesOf(custom, "LightName");
}

}  // namespace q731
