#include "profiles/profile_paths.h"

#include "platform/files.h"
#include "platform/folders.h"

namespace q731 {

fs::path DeviceFolderPath(const Folders& folders, Product product) {
    return folders.DeviceFolder(std::string(RecordOf(product).profileFolder));
}

fs::path DefaultProfilePath(const fs::path& defaultDataFolder, Product product) {
    return defaultDataFolder / RecordOf(product).defaultDocument;
}

fs::path ProfilePath(const fs::path& deviceFolder, std::string_view identifier) {
    if (deviceFolder.empty() || !IsSafeIdentifier(identifier)) return {};
    return deviceFolder / (std::string(identifier) + kProfileExtension);
}

fs::path ProfileListPath(const fs::path& deviceFolder) {
    return deviceFolder / kProfileListFileName;
}

fs::path LightLibraryPath(const fs::path& deviceFolder) {
    return deviceFolder / kLightLibraryFileName;
}

fs::path MacroListPath(const fs::path& deviceFolder, Product product) {
    return deviceFolder / RecordOf(product).macroList;
}

fs::path DefaultLightPath(const fs::path& defaultDataFolder) {
    return defaultDataFolder / kDefaultLightFileName;
}

fs::path ShootingFilePath(const fs::path& folder, int slot) {
    if (slot < 0 || slot >= kShootingSlotCount) return {};
    return folder / ("ShootData_" + std::to_string(slot) + ".Shoot");
}

}  // namespace q731
