#pragma once
// CMacroControlUI: the macro panel of the keyboard and mouse pages. It shows
// what its MacroEditor hands it (the macro list, one row per action with the
// action's mark, its name and a delay field) and carries the editor bound to
// the page's device: its folder's macros, the page for the key captions and
// the key page's save sequence.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "macros/macro_editor.h"
#include "ui/widgets/container.h"
#include "ui/widgets/list.h"

namespace q731 {

class CDevicePage;
class CVexloUSBDevice;
class CEditUI;

// One row of the action list; its context menu becomes a "menu" notification.
class CMacroActionRowUI : public CListContainerElementUI {
public:
    std::string_view GetClass() const override { return "MacroActionRow"; }
    void DoEvent(TEventUI& event) override;
};

class CMacroControlUI : public CHorizontalLayoutUI, public IMacroEditorView {
public:
    CMacroControlUI();
    ~CMacroControlUI() override;
    std::string_view GetClass() const override { return "MacroControl"; }

    // Binds the panel to the device of `page` (keyboard or mouse) and shows
    // its macros. Null editor until then.
    void Bind(CVexloUSBDevice& device, CDevicePage& page, IQuestionAsker* asker);
    MacroEditor* Editor() { return editor_.get(); }
    // Shows the run: the recording mark, and the stop button as the only way
    // out of the locked editor.
    void ShowRecording(bool on);

    // IMacroEditorView.
    void ShowMacroNames(const std::vector<std::string>& names, int selected) override;
    void ShowRows(const std::vector<MacroRow>& rows, int selected) override;
    void ScrollToSelectedRow() override;
    void EnableEditing(bool enabled) override;
    std::string DelayText(int row) const override;
    std::string FieldText(std::string_view field) const override;
    void SetFieldText(std::string_view field, const std::string& text) override;
    bool FixedDelayChecked() const override;
    void LockForRecording(bool locked) override;

private:
    class Host;
    CControlUI* Child(std::string_view name) const;
    CListUI* NameList() const;
    CListUI* ActionList() const;
    std::string Language(std::string_view id) const;
    // Sets row `row`'s mark, name and delay to `shown`.
    void FillRow(CListContainerElementUI& row, const MacroRow& shown);
    std::unique_ptr<CListContainerElementUI> NewRow();

    std::unique_ptr<MacroStore> store_;
    std::unique_ptr<Host> host_;
    std::unique_ptr<MacroEditor> editor_;
};

// The name a row shows for `event`: a key or button's language id, or the
// movement's id and its distance.
struct MacroRowCaption {
    std::string nameId;  // language text id; empty when the event is unknown
    std::string suffix;  // the distance of a movement
    bool keyboard = false;
};
MacroRowCaption CaptionOfEvent(const MacroEvent& event);

}  // namespace q731
