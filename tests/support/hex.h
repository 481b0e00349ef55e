#pragma once
// Bytes written as hex strings, the way golden frames are kept in tests.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace q731::testing {

using Bytes = std::vector<std::uint8_t>;

// "04 1c 00" or "041c00": pairs of hex digits, spaces ignored.
Bytes FromHex(std::string_view hex);
// Lower-case hex with a space after every `group` bytes; no spaces for 0.
std::string ToHex(std::span<const std::uint8_t> bytes, std::size_t group = 1);
// `count` bytes of `bytes` from `from`.
Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t count);

}  // namespace q731::testing
