#include "platform/folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "platform/files.h"
#include "platform/log.h"

#ifndef Q731_INSTALL_DATADIR
#define Q731_INSTALL_DATADIR ""
#endif
#ifndef Q731_SOURCE_TREE
#define Q731_SOURCE_TREE ""
#endif

namespace q731 {

namespace {

fs::path EnvPath(const char* name) {
    const char* value = std::getenv(name);
    return (value && *value) ? fs::path(value) : fs::path();
}

fs::path HomeFolder() {
    fs::path home = EnvPath("HOME");
    return home.empty() ? fs::path("/tmp") : home;
}

bool HasDataFolders(const fs::path& root) {
    std::error_code ec;
    return !root.empty() && fs::is_directory(root / "skin", ec) &&
           fs::is_directory(root / "DefaultData", ec);
}

// A folder created 0700 when missing. A strict one must also be owned by us and
// not writable by others, since what it holds (the bus socket, the lock) is
// trusted by whoever finds it.
fs::path PrivateFolder(const fs::path& dir, bool strict = false) {
    if (dir.empty()) return {};
    std::string error;
    if (!EnsureDirectory(dir, fs::perms::owner_all, &error)) {
        LogError(error);
        return {};
    }
    if (!strict) return dir;
    // lstat: a symbolic link put there by someone else is never followed.
    struct stat info {};
    if (::lstat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        LogError("folder " + dir.string() + " is not private to this user; not using it");
        return {};
    }
    return dir;
}

}  // namespace

fs::path ExecutableFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec) : exe.parent_path();
}

Folders Folders::Detect() {
    Folders folders;
    folders.instance = ExecutableFolder();

    fs::path dataRoot = EnvPath("Q731_DATA_DIR");
    if (!HasDataFolders(dataRoot)) {
        const fs::path candidates[] = {
            folders.instance,
            folders.instance.parent_path() / "share" / "q731-control-center",
            fs::path(Q731_INSTALL_DATADIR),
            fs::path(Q731_SOURCE_TREE),
        };
        dataRoot.clear();
        for (const fs::path& candidate : candidates) {
            if (HasDataFolders(candidate)) {
                dataRoot = candidate;
                break;
            }
        }
        if (dataRoot.empty()) dataRoot = folders.instance;
    }
    folders.skin = dataRoot / "skin";
    folders.defaultData = dataRoot / "DefaultData";

    fs::path dataHome = EnvPath("XDG_DATA_HOME");
    if (dataHome.empty()) dataHome = HomeFolder() / ".local" / "share";
    folders.userData = dataHome / kAppFolderName;

    fs::path configHome = EnvPath("XDG_CONFIG_HOME");
    if (configHome.empty()) configHome = HomeFolder() / ".config";
    folders.config = configHome / kAppFolderName;

    fs::path runtime = EnvPath("XDG_RUNTIME_DIR");
    folders.runtime = runtime.empty() ? fs::temp_directory_path() /
                                            ("q731-control-center-" + std::to_string(::getuid()))
                                      : runtime / "q731-control-center";
    return folders;
}

fs::path Folders::UserDataFolder() const {
    return PrivateFolder(userData);
}

fs::path Folders::DeviceFolder(const std::string& name) const {
    if (!IsSafeIdentifier(name)) return {};
    const fs::path root = UserDataFolder();
    if (root.empty()) return {};
    return PrivateFolder(root / name);
}

fs::path Folders::ConfigFolder() const {
    return PrivateFolder(config);
}

fs::path Folders::RuntimeFolder() const {
    return PrivateFolder(runtime, true);
}

}  // namespace q731
