#pragma once
// Plain value types shared by the toolkit: rectangles, points, sizes, colours,
// and the parsing helpers that turn layout attribute text into them. Attribute
// text comes from skin files, so every parser accepts garbage and reports it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace q731 {

// Text is UTF-8 everywhere inside the toolkit.
using CDuiString = std::string;

struct UiPoint {
    int x = 0;
    int y = 0;
    bool operator==(const UiPoint&) const = default;
};

struct UiSize {
    int cx = 0;
    int cy = 0;
    bool operator==(const UiSize&) const = default;
};

struct UiRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(UiPoint p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    bool Intersects(const UiRect& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    UiRect Intersect(const UiRect& o) const;
    UiRect Deflate(const UiRect& by) const {
        return {left + by.left, top + by.top, right - by.right, bottom - by.bottom};
    }
    UiRect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    bool operator==(const UiRect&) const = default;
};

// 0xAARRGGBB; alpha 0 means "no colour" for backgrounds and borders.
using UiColor = std::uint32_t;

// Text alignment and layout flags for DrawText.
enum TextStyle : unsigned {
    kTextLeft = 0x0,
    kTextCenter = 0x1,
    kTextRight = 0x2,
    kTextTop = 0x0,
    kTextVCenter = 0x4,
    kTextBottom = 0x8,
    kTextSingleLine = 0x20,
    kTextWordBreak = 0x10,
    kTextEndEllipsis = 0x8000,
};

// Attribute parsers. Each returns nullopt on text it cannot read in full.
std::optional<int> ParseInt(std::string_view text);
std::optional<UiColor> ParseColor(std::string_view text);  // "#FF00FF00", "0xFF00FF00", "FF00FF00"
std::optional<UiRect> ParseRect(std::string_view text);    // "l,t,r,b"
std::optional<UiSize> ParseSize(std::string_view text);    // "cx,cy"
bool ParseBool(std::string_view text);                     // "true" / "1" (case-insensitive)

std::string_view Trim(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
std::string ToLower(std::string_view text);
std::vector<std::string_view> SplitList(std::string_view text, char sep);

}  // namespace q731
