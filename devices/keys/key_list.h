#pragma once
// The key list: every key that can be named or captured, with its display-name
// key (looked up in the language files), Windows virtual-key code and code; the
// capture table of scan codes; and the captions shown for a key's function.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "devices/keys/key_codes.h"

namespace q731 {

struct KeyListRow {
    std::string_view nameKey;
    int virtualKey;
    AssignmentCode code;
};

inline constexpr int kKeyListRows = 142;
inline constexpr int kModifierRows = 8;   // rows 0-7: the modifiers alone
inline constexpr int kCaptureRows = 113;  // rows 0-112 can be captured
extern const std::array<KeyListRow, kKeyListRows> kKeyList;

// A key as the keyboard hook reports it: PC set-1 scan code and extended flag.
struct ScanCode {
    std::uint16_t scan;
    bool extended;
};
extern const std::array<ScanCode, kCaptureRows> kCaptureTable;

// Row of the first captured key with this scan code and bit 0 of the hook's
// flags as its extended flag; nothing when no row has them.
std::optional<int> FindCapturedRow(std::uint16_t scanCode, std::uint32_t hookFlags);

// What capturing a key does to the page.
struct CapturedKey {
    enum class Kind { Nothing, Modifier, Key } kind = Kind::Nothing;
    int modifierOption = 0;    // Modifier: option 1-4
    std::uint8_t usage = 0;    // Key: HID usage
    std::string_view nameKey;  // Key: display-name key
};
CapturedKey CaptureKey(std::uint16_t scanCode, std::uint32_t hookFlags);

// First row carrying exactly this code; -1 when none.
int FindKeyListRow(const AssignmentCode& code);

// The caption of a key's function.
struct KeyCaption {
    enum class Kind {
        Keep,          // the key keeps the caption it had
        None,          // no caption
        LanguageKeys,  // texts of `keys`, joined by "+"
        FixedText,     // `text` as it stands
        MacroName,     // `text` is the macro's name
    };
    Kind kind = Kind::None;
    std::vector<std::string_view> keys;
    std::string text;
};
KeyCaption CaptionFor(const AssignmentCode& code, std::span<const std::string> macroNames);

// The text shown for a function that has no caption of its own ("off").
inline constexpr std::string_view kFallbackCaption = "关闭";

}  // namespace q731
