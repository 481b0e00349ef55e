#include "profiles/device_startup.h"

namespace q731 {

bool LoadCurrentProfile(const ProfileList& list, CBasicProfiledata& data) {
    const fs::path path = ProfilePath(list.DeviceFolder(), list.CurrentIdentifier());
    if (path.empty()) return false;
    data.SetProfilePath(path);
    data.LoadProfileDocument(path);
    return true;
}

bool StartDeviceProfiles(Product product, const fs::path& deviceFolder,
                         const fs::path& defaultDataFolder, CBasicProfiledata& data,
                         ProfileList& list, NameLists& names) {
    const int profileMode = RecordOf(product).profileMode;
    const fs::path defaultPath = DefaultProfilePath(defaultDataFolder, product);
    data.SetDefaultPath(defaultPath);
    data.SetDeviceKindIndex(profileMode);

    list.SetFolders(deviceFolder, defaultPath);
    list.SetProduct(product);
    if (!list.LoadProfileList()) return false;

    data.SetLightLibraryPath(LightLibraryPath(deviceFolder));
    if (!LoadCurrentProfile(list, data)) return false;
    data.LoadLightLibrary(LightLibraryPath(deviceFolder));

    LoadNameLists(names, profileMode, MacroListPath(deviceFolder, product),
                  DefaultLightPath(defaultDataFolder), LightLibraryPath(deviceFolder));
    return true;
}

}  // namespace q731
