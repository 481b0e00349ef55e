#pragma once
// The profile side of bringing up a device, in the order every product follows:
// defaults and profile mode into the profile data, folders into the profile list, the
// list read (first profile made when needed), the selected profile loaded,
// then the name lists.

#include <filesystem>

#include "profiles/basic_profiledata.h"
#include "profiles/name_lists.h"
#include "profiles/profile_list.h"
#include "profiles/profile_paths.h"

namespace q731 {

namespace fs = std::filesystem;

// False when the profile list could not be read or created; the profile data
// then holds no document.
bool StartDeviceProfiles(Product product, const fs::path& deviceFolder,
                         const fs::path& defaultDataFolder, CBasicProfiledata& data,
                         ProfileList& list, NameLists& names);

// Reloads the document of the list's current entry (after a selection or reset).
bool LoadCurrentProfile(const ProfileList& list, CBasicProfiledata& data);

}  // namespace q731
