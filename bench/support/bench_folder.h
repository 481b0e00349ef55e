#pragma once
// A fresh folder for a benchmark's files on the build machine's disk
// ($Q731_BENCH_DIR, else the current folder; not a tmpfs), so that file
// writes are timed where users' data lives.

#include <cstdlib>
#include <filesystem>
#include <string>

namespace q731 {

inline std::filesystem::path BenchFolder(const std::string& name) {
    const char* base = std::getenv("Q731_BENCH_DIR");
    std::filesystem::path folder =
        std::filesystem::path(base && *base ? base : std::filesystem::current_path().string()) /
        name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace q731
