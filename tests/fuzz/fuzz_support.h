#pragma once
// What the fuzz targets share: a reader that takes typed values from the
// fuzzer's bytes (zeros once they run out, so every input is a valid script),
// a private scratch folder per process, and a quiet log.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace q731::fuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, std::size_t size) : bytes_(data, size) {}

    bool Empty() const { return bytes_.empty(); }
    std::size_t Left() const { return bytes_.size(); }
    uint8_t Byte();
    uint16_t U16();
    bool Bool() { return (Byte() & 1) != 0; }
    // Up to `count` bytes: fewer when the input ends first.
    std::span<const uint8_t> Take(std::size_t count);
    std::span<const uint8_t> Rest() { return Take(bytes_.size()); }

private:
    std::span<const uint8_t> bytes_;
};

inline std::string_view AsText(const uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A folder of this process's own, emptied on every call, so that one input's
// files never meet the next one's.
const std::filesystem::path& FreshScratchFolder();
void WriteFile(const std::filesystem::path& path, std::string_view bytes);

// Warnings about bad input are the expected outcome here: printing them
// would only slow the fuzzer down.
void SilenceLog();

// Stops the run with a message: a broken invariant is a finding like a crash.
[[noreturn]] void Fail(std::string_view what);

}  // namespace q731::fuzz
