#pragma once
// A macro editor over a private device folder, with a view that keeps what it
// is shown (delay fields included, which the test may type into) and a host
// that records what the editor asked of the page.

#include <map>
#include <string>
#include <vector>

#include "macros/macro_editor.h"
#include "platform/question.h"
#include "tests/support/test_folder.h"

namespace q731::testing {

struct FakeMacroView : IMacroEditorView {
    void ShowMacroNames(const std::vector<std::string>& shown, int selected) override {
        names = shown;
        selectedName = selected;
    }
    void ShowRows(const std::vector<MacroRow>& shown, int selected) override {
        rows = shown;
        delays.clear();
        for (const MacroRow& row : shown)
            delays.push_back(row.delay);
        selectedRow = selected;
    }
    void EnableEditing(bool enabled) override { editing = enabled; }
    std::string DelayText(int row) const override {
        return row >= 0 && row < static_cast<int>(delays.size())
                   ? delays[static_cast<std::size_t>(row)]
                   : std::string();
    }
    std::string FieldText(std::string_view field) const override {
        const auto it = fields.find(std::string(field));
        return it == fields.end() ? std::string() : it->second;
    }
    void SetFieldText(std::string_view field, const std::string& text) override {
        fields[std::string(field)] = text;
    }
    void LockForRecording(bool on) override { locked = on; }

    std::vector<std::string> names;
    int selectedName = -1;
    std::vector<MacroRow> rows;
    std::vector<std::string> delays;
    int selectedRow = -1;
    bool editing = false;
    bool locked = false;
    std::map<std::string, std::string> fields;
};

struct FakeMacroHost : IMacroEditorHost {
    void MacroListChanged() override { ++listChanges; }
    bool CurrentKeysUse(int macro) override { return macro == keyUses; }
    bool FixKeyReferences(int deleted) override {
        fixed.push_back(deleted);
        return keyUses >= deleted;
    }
    void SaveKeys() override { ++keySaves; }

    int listChanges = 0;
    int keyUses = -1;  // the macro a key of the current profile uses
    std::vector<int> fixed;
    int keySaves = 0;
};

struct EditorRig {
    TestFolder folder;
    MacroStore store{folder.path(), Product::Keyboard};
    FakeMacroView view;
    FakeMacroHost host;
    ScriptedQuestions asker{{}, 1};
    MacroEditor editor{store, view, host, &asker};

    // `count` macros, the first selected.
    void WithMacros(int count) {
        editor.Load();
        for (int i = 0; i < count; ++i)
            editor.AddMacro();
        editor.SelectMacro(0);
    }
    // One down row per button in `buttons`, then the selection on `selected`.
    void WithRows(std::vector<MouseButton> buttons, int selected = -1) {
        for (MouseButton button : buttons) {
            editor.SelectRow(static_cast<int>(editor.Rows().size()) - 1);
            editor.InsertButton(button, true);
        }
        editor.SaveMacro();
        editor.SelectRow(selected);
    }
    std::vector<int> Buttons() const {
        std::vector<int> buttons;
        for (const MacroRow& row : editor.Rows())
            buttons.push_back(row.event.button);
        return buttons;
    }
};

}  // namespace q731::testing
