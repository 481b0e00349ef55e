#pragma once
// Numbered control names: prefix + "_" + decimal index ("DPI_slider_2"). Layouts
// name repeated controls this way and code finds their number by splitting the
// name at its last "_".

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

namespace q731 {

struct NumberedName {
    std::string prefix;  // with the "_"
    int number = 0;
};

// "DPI_slider_2" gives {"DPI_slider_", 2}. Only an all-digit suffix within int
// range counts; anything else is not a numbered name.
inline std::optional<NumberedName> SplitNumberedName(std::string_view name) {
    const std::size_t underscore = name.rfind('_');
    if (underscore == std::string_view::npos || underscore + 1 >= name.size()) return std::nullopt;
    const std::string_view digits = name.substr(underscore + 1);
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    int number = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return NumberedName{std::string(name.substr(0, underscore + 1)), number};
}

}  // namespace q731
