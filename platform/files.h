#pragma once
// File primitives shared by every subsystem that keeps user data: bounded reads,
// atomic replacement, and keeping a damaged file aside instead of losing it.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace q731 {

namespace fs = std::filesystem;

enum class ReadStatus { Ok, Missing, TooLarge, Error };

// Reads the whole file into `out` when it is at most `maxBytes` long.
ReadStatus ReadFileBytes(const fs::path& path, std::string& out, std::size_t maxBytes,
                         std::string* error = nullptr);

// Replaces `path` with `data` so that a crash at any moment leaves either the
// old or the new content: write a temporary in the same folder, fsync it,
// rename it over the target, fsync the folder. An existing file keeps its mode.
bool WriteFileAtomically(const fs::path& path, std::string_view data, std::string* error = nullptr);

// A write that failed, for whoever tells the user (once per folder and run).
struct WriteFailure {
    fs::path file;
    fs::path folder;
    int error = 0;  // errno: EROFS/EACCES/EPERM (read-only), ENOSPC/EDQUOT (full), ...
};
// Called (on the thread that wrote) for every failed WriteFileAtomically. The
// observer must be quick and thread-safe; an empty one removes it.
void SetWriteFailureObserver(std::function<void(const WriteFailure&)> observer);

// For tests: every WriteFileAtomically of a file under `folder` fails with
// `error` (an errno value) as a read-only or full file system would, until
// cleared with error 0. The first `after` writes there still succeed.
void InjectWriteFault(const fs::path& folder, int error, int after = 0);

// Renames `path` to "<name>.<tag>-<stamp>" beside it (a number is added when
// that name is taken) and returns the new path, or an empty path on failure.
fs::path MoveAside(const fs::path& path, std::string_view tag, std::string_view stamp);

// Creates `dir` and missing parents; a folder created here gets `perms`.
bool EnsureDirectory(const fs::path& dir, fs::perms perms = fs::perms::owner_all,
                     std::string* error = nullptr);

// True when `name` is a single path component made of [0-9A-Za-z_{}-] only,
// safe to turn into a file name on every system: names Windows reserves for
// devices ("CON", "NUL", "COM1", ... in any case) are refused too, since a file
// of that name reads as empty there and loses every save.
bool IsSafeIdentifier(std::string_view name);

}  // namespace q731
