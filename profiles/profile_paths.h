#pragma once
// Where each device kind keeps its files, and how their names are built. Every
// builder takes its folder as a parameter, so tests run on a private tree.

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace q731 {

namespace fs = std::filesystem;

struct Folders;

enum class DeviceKind : int { Keyboard = 0, Mouse = 1, MousePad = 2, Headset = 3 };

struct DeviceKindRow {
    DeviceKind kind;
    int kindIndex;           // row of the kind in the light library and "default_light.json"
    const char* folderName;  // device folder and default profile stem
    const char* macroListName;
};

inline constexpr std::array<DeviceKindRow, 4> kDeviceKinds = {{
    {DeviceKind::Keyboard, 0, "keyboard", "macro.config"},
    {DeviceKind::Mouse, 1, "mouse", "macro.config"},
    {DeviceKind::MousePad, 2, "MousePad", "tamry_macro.config"},
    {DeviceKind::Headset, 3, "HD", "tamry_macro.config"},
}};

inline constexpr const char* kProfileListFileName = "ProfileList.ini";
inline constexpr const char* kProfileExtension = ".Json";
inline constexpr const char* kLightLibraryFileName = "tamry_light.config";
inline constexpr const char* kDefaultLightFileName = "default_light.json";
inline constexpr int kShootingSlotCount = 4;

const DeviceKindRow& KindRow(DeviceKind kind);

// The kind's folder inside the user data folder, created (0700) when missing.
fs::path DeviceFolderPath(const Folders& folders, DeviceKind kind);
fs::path DefaultProfilePath(const fs::path& defaultDataFolder, DeviceKind kind);
// Empty when `identifier` is not safe to use as a file name.
fs::path ProfilePath(const fs::path& deviceFolder, std::string_view identifier);
fs::path ProfileListPath(const fs::path& deviceFolder);
fs::path LightLibraryPath(const fs::path& deviceFolder);
fs::path MacroListPath(const fs::path& deviceFolder, DeviceKind kind);
fs::path DefaultLightPath(const fs::path& defaultDataFolder);
// "ShootData_<slot>.Shoot" in `folder`; empty for a slot outside 0-3.
fs::path ShootingFilePath(const fs::path& folder, int slot);

}  // namespace q731
