#include "profiles/device_startup.h"

namespace q731 {

bool LoadCurrentProfile(const ProfileList& list, CBasicProfiledata& data) {
    const fs::path path = ProfilePath(list.DeviceFolder(), list.CurrentIdentifier());
    if (path.empty()) return false;
    data.SetProfilePath(path);
    data.LoadProfileDocument(path);
    return true;
}

bool StartDeviceProfiles(DeviceKind kind, const fs::path& deviceFolder,
                         const fs::path& defaultDataFolder, CBasicProfiledata& data,
                         ProfileList& list, NameLists& names) {
    const DeviceKindRow& row = KindRow(kind);
    const fs::path defaultPath = DefaultProfilePath(defaultDataFolder, kind);
    data.SetDefaultPath(defaultPath);
    data.SetDeviceKindIndex(row.kindIndex);

    list.SetFolders(deviceFolder, defaultPath);
    list.SetDeviceKind(kind);
    if (!list.LoadProfileList()) return false;

    data.SetLightLibraryPath(LightLibraryPath(deviceFolder));
    if (!LoadCurrentProfile(list, data)) return false;
    data.LoadLightLibrary(LightLibraryPath(deviceFolder));

    LoadNameLists(names, row.kindIndex, MacroListPath(deviceFolder, kind),
                  DefaultLightPath(defaultDataFolder), LightLibraryPath(deviceFolder));
    return true;
}

}  // namespace q731
