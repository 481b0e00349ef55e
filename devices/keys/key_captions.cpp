#include <algorithm>

#include "devices/keys/key_list.h"

namespace q731 {

namespace {

struct ValueName {
    std::uint8_t value;
    std::string_view key;
};

constexpr ValueName kMouseButtonNames[] = {{0x01, "mouse_key_left"},
                                           {0x04, "mouse_key_middle"},
                                           {0x02, "mouse_key_right"},
                                           {0x10, "mouse_key_forward"},
                                           {0x08, "mouse_key_back"}};
constexpr ValueName kDpiNames[] = {
    {1, "mouse_key_DPI_add"}, {2, "mouse_key_DPI_sub"}, {3, "mouse_key_DPI_loop"}};
constexpr ValueName kSystemNames[] = {
    {0x01, "system_power"}, {0x02, "system_sleep"}, {0x04, "system_wake_up"}};
constexpr ValueName kEditNames[] = {
    {0, "custem_cut"},  {1, "custem_copy"},       {2, "custem_paste"},
    {3, "custem_undo"}, {4, "custem_select_all"}, {5, "custem_find"},
    {6, "custem_new"},  {7, "custem_save"},       {8, "custem_open"}};
// Same order as the media list.
constexpr std::string_view kMediaNames[] = {
    "media_text",    "media_play",   "media_stop", "media_prev",  "media_next", "media_vol_sub",
    "media_vol_add", "media_mute",   "web_text",   "web_refresh", "wed_stop",   "wed_back",
    "wed_forward",   "wed_favorite", "web_search", "media_mypc",  "media_calc", "media_mail"};
static_assert(std::size(kMediaNames) == 18);

KeyCaption Keys(std::vector<std::string_view> keys) {
    KeyCaption caption;
    caption.kind = keys.empty() ? KeyCaption::Kind::None : KeyCaption::Kind::LanguageKeys;
    caption.keys = std::move(keys);
    return caption;
}

KeyCaption Fallback() {
    KeyCaption caption;
    caption.kind = KeyCaption::Kind::FixedText;
    caption.text = std::string(kFallbackCaption);
    return caption;
}

template <std::size_t N>
KeyCaption ByValue(const ValueName (&table)[N], std::uint8_t value) {
    for (const ValueName& entry : table) {
        if (entry.value == value) return Keys({entry.key});
    }
    return Fallback();
}

KeyCaption KeyboardCaption(const AssignmentCode& code) {
    if (code.value1 == 0 && code.value2 == 0) return Keys({"close_text"});
    const AssignmentCode asKey{code_type::kKeyboardKey, code.value1, code.value2};
    if (const int row = FindKeyListRow(asKey); row >= 0) return Keys({kKeyList[row].nameKey});
    // A modifier with a key: the names of every keyboard row sharing either value.
    std::vector<std::string_view> keys;
    for (const KeyListRow& row : kKeyList) {
        if (row.code.type != code_type::kKeyboardKey) continue;
        const bool sameModifier = code.value1 != 0 && row.code.value1 == code.value1;
        const bool sameKey = code.value2 != 0 && row.code.value2 == code.value2;
        if (sameModifier || sameKey) keys.push_back(row.nameKey);
    }
    return Keys(std::move(keys));
}

}  // namespace

KeyCaption CaptionFor(const AssignmentCode& code, std::span<const std::string> macroNames) {
    switch (code.type) {
        case code_type::kMouseButton:
            return ByValue(kMouseButtonNames, code.value1);
        case code_type::kSwing:
            return Keys({(code.value2 & 0x80) ? "mouse_key_right_Swing" : "mouse_key_left_Swing"});
        case code_type::kWheel:
            return Keys({(code.value2 & 0x80) ? "mouse_key_down_Swing" : "mouse_key_up_Swing"});
        case code_type::kDpi:
            return ByValue(kDpiNames, code.value1);
        case code_type::kFire:
            return Keys({"mouse_key_fire_key"});
        case code_type::kDeviceSpecific:
            return Keys({"mouse_key_DPI_shift"});
        case 0x00:
        case code_type::kKeyboardKey:
            return KeyboardCaption(code);
        case 0x22:
            if (code.value1 != 0) return Fallback();
            return ByValue(kEditNames, code.value2);
        case 0x23:
            return Keys({"show_window"});
        case code_type::kConsumer: {
            const auto it = std::find(kMediaList.begin(), kMediaList.end(), code);
            if (it == kMediaList.end()) return Fallback();
            return Keys({kMediaNames[it - kMediaList.begin()]});
        }
        case code_type::kSystem:
            return ByValue(kSystemNames, code.value1);
        case code_type::kMacro:
        case code_type::kMacroCounted: {
            // A profile may still name a macro that was deleted: no caption then.
            if (code.value1 >= macroNames.size()) return {};
            KeyCaption caption;
            caption.kind = KeyCaption::Kind::MacroName;
            caption.text = macroNames[code.value1];
            return caption;
        }
        case code_type::kSpecial:
            if (code.value1 == 0x02) return Keys({"mouse_key_smart_key"});
            if (code.value1 == 0x00) return Keys({"close_text"});
            if (const int row = FindKeyListRow(code); row >= 0)
                return Keys({kKeyList[row].nameKey});
            return Fallback();
        case code_type::kMacroKey:
            if (const int row = FindKeyListRow(code); row >= 0)
                return Keys({kKeyList[row].nameKey});
            return Fallback();
        case 0x15:
        case 0x21:
        case 0x50:
        case 0x60:
        case code_type::kShortcutPage:
        case 0xC0: {
            KeyCaption caption;
            caption.kind = KeyCaption::Kind::Keep;
            return caption;
        }
        default:
            return Fallback();
    }
}

}  // namespace q731
