#pragma once
// Where each product keeps its files, and how their names are built. Every
// builder takes its folder as a parameter, so tests run on a private tree.

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/products.h"

namespace q731 {

// What renaming a profile or a macro did; Duplicate, Done and Blank are the
// values the panels show messages for.
enum class RenameResult : int { Failed = -1, Duplicate = 0, Done = 1, Blank = 2 };

namespace fs = std::filesystem;

struct Folders;

inline constexpr const char* kProfileListFileName = "ProfileList.ini";
inline constexpr const char* kProfileExtension = ".Json";
inline constexpr const char* kLightLibraryFileName = "tamry_light.config";
inline constexpr const char* kDefaultLightFileName = "default_light.json";
inline constexpr int kShootingSlotCount = 4;

// The product's folder inside the user data folder, created (0700) when missing.
fs::path DeviceFolderPath(const Folders& folders, Product product);
fs::path DefaultProfilePath(const fs::path& defaultDataFolder, Product product);
// Empty when `identifier` is not safe to use as a file name.
fs::path ProfilePath(const fs::path& deviceFolder, std::string_view identifier);
fs::path ProfileListPath(const fs::path& deviceFolder);
fs::path LightLibraryPath(const fs::path& deviceFolder);
fs::path MacroListPath(const fs::path& deviceFolder, Product product);
fs::path DefaultLightPath(const fs::path& defaultDataFolder);
// "ShootData_<slot>.Shoot" in `folder`; empty for a slot outside 0-3.
fs::path ShootingFilePath(const fs::path& folder, int slot);

}  // namespace q731
