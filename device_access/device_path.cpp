#include "device_access/device_path.h"

#include <algorithm>
#include <cctype>

namespace q731 {

namespace {

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    const char lower = Lower(c);
    if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
    return -1;
}

}  // namespace

uint32_t HexAfterMarker(std::string_view path, std::string_view marker) {
    const auto found = std::search(path.begin(), path.end(), marker.begin(), marker.end(),
                                   [](char a, char b) { return Lower(a) == Lower(b); });
    if (found == path.end() || marker.empty()) return 0;
    uint32_t value = 0;
    for (auto it = found + static_cast<std::ptrdiff_t>(marker.size()); it != path.end(); ++it) {
        const int digit = HexDigit(*it);
        if (digit < 0) break;
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return value;
}

PathIds ParseDevicePath(std::string_view path) {
    return {static_cast<uint16_t>(HexAfterMarker(path, "vid_")),
            static_cast<uint16_t>(HexAfterMarker(path, "pid_")),
            static_cast<uint16_t>(HexAfterMarker(path, "&mi_")),
            static_cast<uint16_t>(HexAfterMarker(path, "&col"))};
}

}  // namespace q731
