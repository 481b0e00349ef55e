#include "devices/keys/key_codes.h"

#include <algorithm>

#include "devices/keys/key_list.h"

namespace q731 {

namespace {

constexpr AssignmentCode Ctrl(std::uint8_t usage) {
    return {code_type::kKeyboardKey, 0x01, usage};
}
constexpr AssignmentCode Media(std::uint16_t usage) {
    return {code_type::kConsumer, static_cast<std::uint8_t>(usage & 0xFF),
            static_cast<std::uint8_t>(usage >> 8)};
}

std::uint8_t Clamp(int value, int low, int high) {
    return static_cast<std::uint8_t>(std::clamp(value, low, high));
}

template <std::size_t N>
int IndexOf(const std::array<AssignmentCode, N>& list, const AssignmentCode& code) {
    const auto it = std::find(list.begin(), list.end(), code);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

template <std::size_t N>
std::optional<AssignmentCode> Entry(const std::array<AssignmentCode, N>& list, int index) {
    if (index < 0 || index >= static_cast<int>(N)) return std::nullopt;
    return list[static_cast<std::size_t>(index)];
}

// Swing and wheel share one layout: delay and speed in value 1, direction bit
// and count in value 2. The wheel's second direction stores 128 - count.
AssignmentCode EncodeMotion(std::uint8_t type, const KeySelection& selection) {
    const std::uint8_t delay = Clamp(selection.delay, 0, 15);
    const std::uint8_t speed = Clamp(selection.speed, 0, 15);
    std::uint8_t count = Clamp(selection.count, 0, 127);
    std::uint8_t value2 = count;
    if (selection.direction != 0) {
        if (type == code_type::kWheel && count != 0) count = static_cast<std::uint8_t>(128 - count);
        value2 = static_cast<std::uint8_t>(count | 0x80);
    }
    return {type, static_cast<std::uint8_t>(delay << 4 | speed), value2};
}

void ShowMotion(const AssignmentCode& code, KeySelection& selection) {
    selection.delay = code.value1 >> 4;
    selection.speed = code.value1 & 0x0F;
    selection.direction = (code.value2 & 0x80) ? 1 : 0;
    int count = code.value2 & 0x7F;
    if (code.type == code_type::kWheel && selection.direction == 1 && count != 0) {
        count = 128 - count;
    }
    selection.count = count;
}

bool UsageInKeyList(std::uint8_t usage) {
    return FindKeyListRow({code_type::kKeyboardKey, 0, usage}) >= 0;
}

}  // namespace

const std::array<AssignmentCode, 5> kMouseButtonList = {{
    {code_type::kMouseButton, 0x01, 0},
    {code_type::kMouseButton, 0x04, 0},
    {code_type::kMouseButton, 0x02, 0},
    {code_type::kMouseButton, 0x10, 0},
    {code_type::kMouseButton, 0x08, 0},
}};

const std::array<AssignmentCode, 3> kDpiList = {{
    {code_type::kDpi, 1, 0},
    {code_type::kDpi, 2, 0},
    {code_type::kDpi, 3, 0},
}};

const std::array<AssignmentCode, 3> kSystemList = {{
    {code_type::kSystem, 0x01, 0},
    {code_type::kSystem, 0x02, 0},
    {code_type::kSystem, 0x04, 0},
}};

// Media select, play/pause, stop, previous, next, volume down, volume up, mute,
// browser home, refresh, stop, back, forward, favourites, search, computer,
// calculator, mail.
const std::array<AssignmentCode, 18> kMediaList = {{
    Media(0x0183),
    Media(0x00CD),
    Media(0x00B7),
    Media(0x00B6),
    Media(0x00B5),
    Media(0x00EA),
    Media(0x00E9),
    Media(0x00E2),
    Media(0x0223),
    Media(0x0227),
    Media(0x0226),
    Media(0x0224),
    Media(0x0225),
    Media(0x022A),
    Media(0x0221),
    Media(0x0194),
    Media(0x0192),
    Media(0x018A),
}};

// Ctrl with O, N, Z, S, C, X, V, F, A, minus, equals.
const std::array<AssignmentCode, 11> kShortcutList = {{
    Ctrl(0x12),
    Ctrl(0x11),
    Ctrl(0x1D),
    Ctrl(0x16),
    Ctrl(0x06),
    Ctrl(0x1B),
    Ctrl(0x19),
    Ctrl(0x09),
    Ctrl(0x04),
    Ctrl(0x2D),
    Ctrl(0x2E),
}};

AssignmentCode EncodeSelection(const KeySelection& selection, AssignmentCode previous,
                               AssignmentCode defaultCode, int macroCount) {
    switch (selection.category) {
        case KeyCategory::MouseButton:
            return Entry(kMouseButtonList, selection.listIndex).value_or(previous);
        case KeyCategory::Dpi:
            return Entry(kDpiList, selection.listIndex).value_or(previous);
        case KeyCategory::Media:
            return Entry(kMediaList, selection.listIndex).value_or(previous);
        case KeyCategory::System:
            return Entry(kSystemList, selection.listIndex).value_or(previous);
        case KeyCategory::Shortcut:
            return Entry(kShortcutList, selection.listIndex).value_or(previous);
        case KeyCategory::Swing:
            return EncodeMotion(code_type::kSwing, selection);
        case KeyCategory::Wheel:
            return EncodeMotion(code_type::kWheel, selection);
        case KeyCategory::Fire:
            return {code_type::kFire, Clamp(selection.interval, 0, 255),
                    Clamp(selection.fireCount, 0, 255)};
        case KeyCategory::KeyboardKey: {
            const int option = selection.modifierOption;
            const std::uint8_t modifier =
                (option >= 1 && option < kModifierOptionCount) ? 1u << (option - 1) : 0u;
            return {code_type::kKeyboardKey, modifier, selection.keyUsage};
        }
        case KeyCategory::Macro: {
            if (selection.macroIndex < 0 || selection.macroIndex >= macroCount ||
                selection.macroIndex > 255) {
                return previous;
            }
            const auto macro = static_cast<std::uint8_t>(selection.macroIndex);
            if (selection.repeatEntry == kRepeatCountedEntry) {
                return {code_type::kMacroCounted, macro, Clamp(selection.repeatCount, 0, 255)};
            }
            return {code_type::kMacro, macro, Clamp(selection.repeatEntry, 0, 3)};
        }
        case KeyCategory::GunKey:
            if (selection.listIndex < 0 || selection.listIndex > 255) return previous;
            return {code_type::kGunKey, static_cast<std::uint8_t>(selection.listIndex), 0};
        case KeyCategory::Default:
        case KeyCategory::None:
            break;
    }
    return defaultCode;
}

ShownCode ShowCode(AssignmentCode code, AssignmentCode defaultCode) {
    ShownCode shown{{}, code};
    KeySelection& page = shown.selection;
    if (code == defaultCode) {
        page.category = KeyCategory::Default;
        return shown;
    }
    switch (code.type) {
        case code_type::kMouseButton:
            page.category = KeyCategory::MouseButton;
            page.listIndex = IndexOf(kMouseButtonList, code);
            break;
        case code_type::kDpi:
            page.category = KeyCategory::Dpi;
            page.listIndex = IndexOf(kDpiList, code);
            break;
        case code_type::kConsumer:
            page.category = KeyCategory::Media;
            page.listIndex = IndexOf(kMediaList, code);
            break;
        case code_type::kSystem:
            page.category = KeyCategory::System;
            page.listIndex = IndexOf(kSystemList, code);
            break;
        case code_type::kSwing:
            page.category = KeyCategory::Swing;
            ShowMotion(code, page);
            break;
        case code_type::kWheel:
            page.category = KeyCategory::Wheel;
            ShowMotion(code, page);
            break;
        case code_type::kFire:
            page.category = KeyCategory::Fire;
            page.interval = code.value1;
            page.fireCount = code.value2;
            break;
        case code_type::kKeyboardKey:
            if (code.value1 > 128) {
                // Several modifiers including right Windows: only a shortcut can show it.
                const int index = IndexOf(kShortcutList, code);
                if (index >= 0) {
                    page.category = KeyCategory::Shortcut;
                    page.listIndex = index;
                }
                break;
            }
            page.category = KeyCategory::KeyboardKey;
            if (code.value1 != 0) {
                const bool single = (code.value1 & (code.value1 - 1)) == 0;
                if (single) {
                    int bit = 0;
                    while (((code.value1 >> bit) & 1) == 0)
                        ++bit;
                    page.modifierOption = ModifierOptionOfBit(bit);
                } else {
                    page.modifierOption = 0;
                    shown.workingCode.value1 = 0;
                }
            }
            if (code.value2 != 0 && !UsageInKeyList(code.value2)) {
                shown.workingCode.value1 = 0;
                shown.workingCode.value2 = 0;
                page.modifierOption = 0;
            } else {
                page.keyUsage = code.value2;
            }
            break;
        case code_type::kMacro:
            page.category = KeyCategory::Macro;
            page.macroIndex = code.value1;
            page.repeatEntry = std::min<int>(code.value2, 3);
            break;
        case code_type::kMacroCounted:
            page.category = KeyCategory::Macro;
            page.macroIndex = code.value1;
            page.repeatEntry = kRepeatCountedEntry;
            page.repeatCount = code.value2;
            break;
        case code_type::kGunKey:
            page.category = KeyCategory::GunKey;
            page.listIndex = code.value1;
            break;
        case code_type::kShortcutPage:
            page.category = KeyCategory::Shortcut;
            break;
        default:
            break;
    }
    return shown;
}

}  // namespace q731
