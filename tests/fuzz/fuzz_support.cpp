#include "tests/fuzz/fuzz_support.h"

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "platform/log.h"

namespace q731::fuzz {

uint8_t FuzzInput::Byte() {
    if (bytes_.empty()) return 0;
    const uint8_t value = bytes_.front();
    bytes_ = bytes_.subspan(1);
    return value;
}

uint16_t FuzzInput::U16() {
    const uint16_t low = Byte();
    return static_cast<uint16_t>(low | (uint16_t{Byte()} << 8));
}

std::span<const uint8_t> FuzzInput::Take(std::size_t count) {
    const std::size_t taken = std::min(count, bytes_.size());
    const std::span<const uint8_t> part = bytes_.first(taken);
    bytes_ = bytes_.subspan(taken);
    return part;
}

const std::filesystem::path& FreshScratchFolder() {
    namespace fs = std::filesystem;
    static const fs::path folder = [] {
        std::error_code ec;
        // Shared memory where there is some: these targets write files on every input.
        fs::path base =
            fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path(ec);
        return base / ("q731-fuzz-" + std::to_string(::getpid()));
    }();
    std::error_code ec;
    fs::remove_all(folder, ec);
    fs::create_directories(folder, ec);
    if (ec) Fail("cannot make the scratch folder " + folder.string() + ": " + ec.message());
    return folder;
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) Fail("cannot write " + path.string());
}

void SilenceLog() {
    SetLogLevel(LogLevel::Off);
}

void Fail(std::string_view what) {
    std::fprintf(stderr, "fuzz invariant broken: %.*s\n", static_cast<int>(what.size()),
                 what.data());
    std::abort();
}

}  // namespace q731::fuzz
