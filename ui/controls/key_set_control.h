#pragma once
// CKeySetControlUI: the key-assignment panel. It shows a key's function as the
// page's lists, boxes and options (the category list chooses which sub-page
// shows), and reads them back as a KeySelection for the device to encode.

#include <string>
#include <string_view>
#include <vector>

#include "devices/keys/key_codes.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/container.h"
#include "ui/widgets/edit.h"
#include "ui/widgets/list.h"

namespace q731 {

class CKeySetControlUI : public CVerticalLayoutUI {
public:
    std::string_view GetClass() const override { return "KeySetControl"; }

    // A keyboard has no DPI or gun-key functions: their categories are hidden.
    void SetKeyboard(bool keyboard);
    // The macro list's names, in order, with no entry selected.
    void SetMacroNames(const std::vector<std::string>& names);

    // The category of function-list entry `entry` (its user data as a decimal
    // number); -1 when it has none.
    int CategoryOfEntry(int entry);
    // The category the function list shows; -1 without a selection.
    int SelectedCategory();
    // Shows the sub-page of `category`.
    void ShowCategory(int category);
    // Category 6 was chosen: the captured key and every modifier option clear.
    void ClearKeyboardKey();
    // The count box of the macro's repeat list shows only with entry 4.
    void ShowRepeatCountBox();
    // Marks modifier option `option` (0-4) only.
    void SelectModifier(int option);

    // The whole panel shows `selection` (nothing is sent).
    void ShowSelection(const KeySelection& selection);
    KeySelection ReadSelection();
    // A captured key: its usage and the text shown for it.
    void SetCapturedKey(std::uint8_t usage, const std::string& textId);

    // "key_butt_keysave", "key_butt_keycancel" and "key_butt_prosave".
    void EnableApplyButtons(bool enabled);

private:
    template <typename T>
    T* Find(std::string_view name) {
        return dynamic_cast<T*>(
            FindControl([name](CControlUI* control) { return control->GetName() == name; }));
    }
    int ComboIndex(std::string_view name);
    void SelectCombo(std::string_view name, int index);
    int EditNumber(std::string_view name);
    void SetEditNumber(std::string_view name, int value);

    std::uint8_t capturedUsage_ = 0;
};

}  // namespace q731
