#include "ui/widgets/ui_types.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace q731 {

UiRect UiRect::Intersect(const UiRect& o) const {
    UiRect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
             std::min(bottom, o.bottom)};
    if (r.IsEmpty()) return {};
    return r;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string ToLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::vector<std::string_view> SplitList(std::string_view text, char sep) {
    std::vector<std::string_view> parts;
    while (true) {
        std::size_t at = text.find(sep);
        parts.push_back(Trim(text.substr(0, at)));
        if (at == std::string_view::npos) break;
        text.remove_prefix(at + 1);
    }
    return parts;
}

std::optional<int> ParseInt(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::optional<UiColor> ParseColor(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '#') {
        text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    // Six digits name an opaque colour.
    if (text.size() <= 6) value |= 0xFF000000u;
    return value;
}

std::optional<UiRect> ParseRect(std::string_view text) {
    auto parts = SplitList(text, ',');
    if (parts.size() != 4) return std::nullopt;
    auto l = ParseInt(parts[0]), t = ParseInt(parts[1]), r = ParseInt(parts[2]),
         b = ParseInt(parts[3]);
    if (!l || !t || !r || !b) return std::nullopt;
    return UiRect{*l, *t, *r, *b};
}

std::optional<UiSize> ParseSize(std::string_view text) {
    auto parts = SplitList(text, ',');
    if (parts.size() != 2) return std::nullopt;
    auto cx = ParseInt(parts[0]), cy = ParseInt(parts[1]);
    if (!cx || !cy) return std::nullopt;
    return UiSize{*cx, *cy};
}

bool ParseBool(std::string_view text) {
    text = Trim(text);
    return EqualsNoCase(text, "true") || text == "1";
}

}  // namespace q731
