#include "ui/controls/key_set_control.h"

#include <algorithm>
#include <charconv>

#include "devices/keys/key_list.h"

namespace q731 {

namespace {

constexpr std::string_view kFunctionList = "keyset_function_combo";
constexpr std::string_view kCategoryPages = "keyset_function_tab";
constexpr std::string_view kMacroRepeat = "keyset_macro_over_combo";
constexpr std::string_view kMacroCount = "keyset_macro_cycle_edit";
constexpr std::string_view kKeyBox = "keyset_keyboard_text_edit";

// The list a category takes its entry from.
std::string_view ListOf(KeyCategory category) {
    switch (category) {
        case KeyCategory::MouseButton:
            return "keyset_mousekey_combo";
        case KeyCategory::Dpi:
            return "keyset_mousedpi_combo";
        case KeyCategory::Media:
            return "keyset_media_combo";
        case KeyCategory::System:
            return "keyset_system_combo";
        case KeyCategory::GunKey:
            return "keyset_gunkey_combo";
        case KeyCategory::Shortcut:
            return "keyset_combokey_combo";
        default:
            return {};
    }
}

// Swing and wheel share their controls' shape: delay, speed, count, direction.
std::string MotionGroup(KeyCategory category) {
    return category == KeyCategory::Swing ? "keyset_mouseswing" : "keyset_mousewheel";
}

std::optional<int> ParseDecimal(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

void CKeySetControlUI::SetKeyboard(bool keyboard) {
    CComboUI* functions = Find<CComboUI>(kFunctionList);
    if (!functions) return;
    for (int i = 0; i < functions->GetCount(); ++i) {
        const int category = CategoryOfEntry(i);
        const bool mouseOnly = category == static_cast<int>(KeyCategory::Dpi) ||
                               category == static_cast<int>(KeyCategory::GunKey);
        if (CControlUI* entry = functions->GetItemAt(i))
            entry->SetVisible(!(keyboard && mouseOnly));
    }
}

void CKeySetControlUI::SetMacroNames(const std::vector<std::string>& names) {
    CComboUI* macros = Find<CComboUI>("keyset_macro_combo");
    if (!macros) return;
    macros->RemoveAll();
    for (const std::string& name : names) {
        auto entry = std::make_unique<CListLabelElementUI>();
        entry->SetText(name);
        macros->Add(std::move(entry));
    }
    macros->SelectItem(-1, false, false);
}

int CKeySetControlUI::CategoryOfEntry(int entry) {
    CComboUI* functions = Find<CComboUI>(kFunctionList);
    CControlUI* item = functions ? functions->GetItemAt(entry) : nullptr;
    if (!item) return -1;
    return ParseDecimal(item->GetUserData()).value_or(-1);
}

int CKeySetControlUI::SelectedCategory() {
    CComboUI* functions = Find<CComboUI>(kFunctionList);
    return functions ? CategoryOfEntry(functions->GetCurSel()) : -1;
}

void CKeySetControlUI::ShowCategory(int category) {
    if (auto* pages = Find<CTabLayoutUI>(kCategoryPages)) pages->SelectItem(std::max(category, 0));
    ShowRepeatCountBox();
}

void CKeySetControlUI::ClearKeyboardKey() {
    capturedUsage_ = 0;
    if (CControlUI* box = Find<CControlUI>(kKeyBox)) box->SetText("");
    SelectModifier(-1);
}

void CKeySetControlUI::ShowRepeatCountBox() {
    if (CControlUI* count = Find<CControlUI>(kMacroCount)) {
        count->SetVisible(ComboIndex(kMacroRepeat) == kRepeatCountedEntry);
    }
}

void CKeySetControlUI::SelectModifier(int option) {
    for (int i = 0; i < kModifierOptionCount; ++i) {
        if (auto* check = Find<COptionUI>("key_ComBox_check_" + std::to_string(i))) {
            check->Selected(i == option, false);
        }
    }
}

int CKeySetControlUI::ComboIndex(std::string_view name) {
    auto* combo = Find<CComboUI>(name);
    return combo ? combo->GetCurSel() : -1;
}

void CKeySetControlUI::SelectCombo(std::string_view name, int index) {
    if (auto* combo = Find<CComboUI>(name)) {
        combo->SelectItem(index >= 0 && index < combo->GetCount() ? index : -1, false, false);
    }
}

int CKeySetControlUI::EditNumber(std::string_view name) {
    CControlUI* edit = Find<CControlUI>(name);
    return edit ? ParseDecimal(edit->GetText()).value_or(0) : 0;
}

void CKeySetControlUI::SetEditNumber(std::string_view name, int value) {
    if (CControlUI* edit = Find<CControlUI>(name)) edit->SetText(std::to_string(value));
}

void CKeySetControlUI::SetCapturedKey(std::uint8_t usage, const std::string& textId) {
    capturedUsage_ = usage;
    if (CControlUI* box = Find<CControlUI>(kKeyBox)) {
        box->SetText(textId);
        box->SetResourceText(true);
    }
}

void CKeySetControlUI::ShowSelection(const KeySelection& selection) {
    // The function list shows the entry of the selection's category.
    if (auto* functions = Find<CComboUI>(kFunctionList)) {
        int entry = -1;
        for (int i = 0; i < functions->GetCount(); ++i) {
            if (CategoryOfEntry(i) == static_cast<int>(selection.category)) {
                entry = i;
                break;
            }
        }
        functions->SelectItem(entry, false, false);
    }
    const std::string_view list = ListOf(selection.category);
    if (!list.empty()) SelectCombo(list, selection.listIndex);
    switch (selection.category) {
        case KeyCategory::Swing:
        case KeyCategory::Wheel: {
            const std::string group = MotionGroup(selection.category);
            SetEditNumber(group + "_delay_edit", selection.delay);
            SetEditNumber(group + "_speed_edit", selection.speed);
            SetEditNumber(group + "_num_edit", selection.count);
            SelectCombo(group + "_combo", selection.direction);
            break;
        }
        case KeyCategory::Fire:
            SetEditNumber("keyset_mousefire_interval_edit", selection.interval);
            SetEditNumber("keyset_mousefire_num_edit", selection.fireCount);
            break;
        case KeyCategory::KeyboardKey: {
            const int row = FindKeyListRow({code_type::kKeyboardKey, 0, selection.keyUsage});
            SetCapturedKey(selection.keyUsage,
                           row >= 0 ? std::string(kKeyList[static_cast<std::size_t>(row)].nameKey)
                                    : std::string());
            SelectModifier(selection.modifierOption);
            break;
        }
        case KeyCategory::Macro:
            SelectCombo("keyset_macro_combo", selection.macroIndex);
            SelectCombo(kMacroRepeat, selection.repeatEntry);
            SetEditNumber(kMacroCount, selection.repeatCount);
            break;
        default:
            break;
    }
    ShowCategory(static_cast<int>(selection.category));
}

KeySelection CKeySetControlUI::ReadSelection() {
    KeySelection selection;
    const int category = SelectedCategory();
    selection.category =
        category >= 0 && category <= 11 ? static_cast<KeyCategory>(category) : KeyCategory::None;
    const std::string_view list = ListOf(selection.category);
    if (!list.empty()) selection.listIndex = ComboIndex(list);
    if (selection.category == KeyCategory::Swing || selection.category == KeyCategory::Wheel) {
        const std::string group = MotionGroup(selection.category);
        selection.delay = EditNumber(group + "_delay_edit");
        selection.speed = EditNumber(group + "_speed_edit");
        selection.count = EditNumber(group + "_num_edit");
        selection.direction = std::max(ComboIndex(group + "_combo"), 0);
    }
    selection.interval = EditNumber("keyset_mousefire_interval_edit");
    selection.fireCount = EditNumber("keyset_mousefire_num_edit");
    selection.keyUsage = capturedUsage_;
    selection.modifierOption = 0;
    for (int i = 0; i < kModifierOptionCount; ++i) {
        auto* check = Find<COptionUI>("key_ComBox_check_" + std::to_string(i));
        if (check && check->IsSelected()) selection.modifierOption = i;
    }
    selection.macroIndex = ComboIndex("keyset_macro_combo");
    selection.repeatEntry = std::max(ComboIndex(kMacroRepeat), 0);
    selection.repeatCount = EditNumber(kMacroCount);
    return selection;
}

void CKeySetControlUI::EnableApplyButtons(bool enabled) {
    for (std::string_view name : {"key_butt_keysave", "key_butt_keycancel", "key_butt_prosave"}) {
        if (CControlUI* button = Find<CControlUI>(name)) button->SetEnabled(enabled);
    }
}

}  // namespace q731
