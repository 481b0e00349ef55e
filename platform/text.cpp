#include "platform/text.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>

namespace q731 {

namespace {

// One code point decoded from `text` at `at`; nullopt for a byte that starts
// no valid sequence (overlong forms and surrogates included).
std::optional<char32_t> Decode(std::string_view text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    int length = 0;
    char32_t value = 0;
    if (lead < 0x80) {
        ++at;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
    } else {
        return std::nullopt;
    }
    if (at + static_cast<std::size_t>(length) > text.size()) return std::nullopt;
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(at + static_cast<std::size_t>(i));
        if ((next & 0xC0) != 0x80) return std::nullopt;
        value = (value << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    at += static_cast<std::size_t>(length);
    return value;
}

void Encode(char32_t value, std::string& out) {
    if (value < 0x80) {
        out.push_back(static_cast<char>(value));
    } else if (value < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (value >> 6)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else if (value < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (value >> 12)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (value >> 18)));
        out.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    }
}

// The C library's Unicode case tables, independent of the process's locale.
locale_t UnicodeLocale() {
    static const locale_t locale = [] {
        locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return made ? made
                    : newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(nullptr));
    }();
    return locale;
}

char32_t Lower(char32_t value) {
    if (value < 0x80) return value >= 'A' && value <= 'Z' ? value - 'A' + 'a' : value;
    const locale_t locale = UnicodeLocale();
    if (!locale) return value;
    const wint_t lowered = towlower_l(static_cast<wint_t>(value), locale);
    return lowered == WEOF ? value : static_cast<char32_t>(lowered);
}

}  // namespace

std::string FoldCase(std::string_view text) {
    std::string folded;
    folded.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t start = at;
        if (const std::optional<char32_t> value = Decode(text, at)) {
            Encode(Lower(*value), folded);
        } else {
            folded.push_back(text[start]);
            at = start + 1;
        }
    }
    return folded;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    return FoldCase(a) == FoldCase(b);
}

std::string_view TrimmedText(std::string_view text) {
    const auto spaceAt = [&](std::size_t at, bool fromEnd) -> std::size_t {
        // The length of the white space at `at` (or ending at `at`), 0 for none.
        static constexpr std::string_view kWide[] = {"\xC2\xA0", "\xE3\x80\x80"};
        if (!fromEnd) {
            const char c = text[at];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f') return 1;
            for (std::string_view wide : kWide)
                if (text.substr(at).starts_with(wide)) return wide.size();
        } else {
            const char c = text[at - 1];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f') return 1;
            for (std::string_view wide : kWide)
                if (text.substr(0, at).ends_with(wide)) return wide.size();
        }
        return 0;
    };
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t n = spaceAt(begin, false);
        if (n == 0) break;
        begin += n;
    }
    std::size_t end = text.size();
    while (end > begin) {
        const std::size_t n = spaceAt(end, true);
        if (n == 0) break;
        end -= n;
    }
    return text.substr(begin, end - begin);
}

long long ParseDecimal(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
    constexpr long long kCap = 1'000'000'000;
    long long value = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
        value = std::min(kCap, value * 10 + (text[at] - '0'));
    }
    return negative ? -value : value;
}

}  // namespace q731
