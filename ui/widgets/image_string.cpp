#include "ui/widgets/image_string.h"

#include <algorithm>

namespace q731 {

namespace {

bool SetModifier(TDrawInfo& info, std::string_view key, std::string_view value, std::string& why) {
    auto rect = [&](std::optional<UiRect>& into) {
        auto parsed = ParseRect(value);
        if (!parsed) return false;
        into = *parsed;
        return true;
    };
    if (key == "file" || key == "res") {
        info.sImageName = std::string(value);
    } else if (key == "restype") {
        info.sResType = std::string(value);
    } else if (key == "dest") {
        if (!rect(info.rcDest)) return why = "bad dest", false;
    } else if (key == "source") {
        if (!rect(info.rcSource)) return why = "bad source", false;
    } else if (key == "corner") {
        auto corner = ParseRect(value);
        if (!corner || corner->left < 0 || corner->top < 0 || corner->right < 0 ||
            corner->bottom < 0) {
            return why = "bad corner", false;
        }
        info.rcCorner = *corner;
    } else if (key == "mask") {
        auto mask = ParseColor(value);
        if (!mask) return why = "bad mask", false;
        info.dwMask = *mask;
    } else if (key == "fade") {
        auto fade = ParseInt(value);
        if (!fade) return why = "bad fade", false;
        info.uFade = std::clamp(*fade, 0, 255);
    } else if (key == "hole") {
        info.bHole = ParseBool(value);
    } else if (key == "xtiled") {
        info.bTiledX = ParseBool(value);
    } else if (key == "ytiled") {
        info.bTiledY = ParseBool(value);
    } else if (key == "hsl") {
        info.bHSL = ParseBool(value);
    }
    return true;
}

}  // namespace

std::optional<TDrawInfo> ParseImageString(std::string_view text, std::string* error) {
    TDrawInfo info;
    info.sDrawString = std::string(text);
    // A full path is a file name whatever it holds: a picture the user chose
    // may have quotes or '=' in its name.
    if (text.starts_with('/')) {
        info.sImageName = std::string(text);
        return info;
    }
    std::string_view rest = Trim(text);
    if (rest.empty()) return std::nullopt;
    if (rest.find('=') == std::string_view::npos) {
        info.sImageName = std::string(rest);
        return info;
    }
    std::string why;
    while (!(rest = Trim(rest)).empty()) {
        std::size_t eq = rest.find('=');
        if (eq == std::string_view::npos) {
            why = "modifier without a value";
            break;
        }
        std::string key = ToLower(Trim(rest.substr(0, eq)));
        rest = Trim(rest.substr(eq + 1));
        if (rest.empty() || (rest.front() != '\'' && rest.front() != '"')) {
            why = "value of '" + key + "' is not quoted";
            break;
        }
        char quote = rest.front();
        std::size_t close = rest.find(quote, 1);
        if (close == std::string_view::npos) {
            why = "unterminated value of '" + key + "'";
            break;
        }
        if (!SetModifier(info, key, rest.substr(1, close - 1), why)) break;
        rest.remove_prefix(close + 1);
    }
    if (why.empty() && info.sImageName.empty()) why = "no file named";
    if (!why.empty()) {
        if (error) *error = why;
        return std::nullopt;
    }
    return info;
}

}  // namespace q731
