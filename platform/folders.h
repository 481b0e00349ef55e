#pragma once
// Where the control centre finds its read-only data and keeps the user's files.
//
//   instance     folder of the executable
//   skin         layouts, images, language files ("skin/")
//   defaultData  read-only default documents ("DefaultData/")
//   userData     $XDG_DATA_HOME/GamingKeyboardQ731ControlCenter (device folders live here)
//   config       $XDG_CONFIG_HOME/GamingKeyboardQ731ControlCenter (key store, main.ini)
//   runtime      $XDG_RUNTIME_DIR/q731-control-center (lock file, message bus socket)
//
// Every path can be overridden, which is how tests get a private tree.

#include <filesystem>
#include <string>

namespace q731 {

namespace fs = std::filesystem;

inline constexpr const char* kAppFolderName = "GamingKeyboardQ731ControlCenter";

struct Folders {
    fs::path instance;
    fs::path skin;
    fs::path defaultData;
    fs::path userData;
    fs::path config;
    fs::path runtime;

    // Resolves every folder from the environment and the executable's place.
    // The data folders are searched in this order: $Q731_DATA_DIR, beside the
    // executable, the installed data folder, the source tree.
    static Folders Detect();

    // The user data folder, created with mode 0700 when missing. Empty on failure.
    fs::path UserDataFolder() const;
    // A device folder inside the user data folder ("mouse", "keyboard", ...),
    // created when missing. Empty when the name is not a plain folder name.
    fs::path DeviceFolder(const std::string& name) const;
    // Config and runtime folders, created (0700) when missing; empty on failure.
    fs::path ConfigFolder() const;
    fs::path RuntimeFolder() const;
};

// Path of the running executable's folder.
fs::path ExecutableFolder();

}  // namespace q731
