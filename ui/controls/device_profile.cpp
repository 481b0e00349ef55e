#include "ui/controls/device_profile.h"

#include "ui/widgets/buttons.h"
#include "ui/widgets/edit.h"
#include "ui/widgets/list.h"
#include "ui/widgets/paint_manager.h"

namespace q731 {

void CDeviceProfileUI::Bind(ProfileList& list, Product product, IQuestionAsker* asker) {
    panel_ = std::make_unique<DeviceProfilePanel>(list, *this, asker);
    panel_->SetProduct(product);
}

CControlUI* CDeviceProfileUI::Child(std::string_view name) const {
    return const_cast<CDeviceProfileUI*>(this)->FindControl(
        [name](CControlUI* control) { return control->GetName() == name; });
}

CComboUI* CDeviceProfileUI::Combo() const {
    return dynamic_cast<CComboUI*>(Child("device_profile_combo"));
}

CEditUI* CDeviceProfileUI::NameField() const {
    return dynamic_cast<CEditUI*>(Child("device_profile_name_edit"));
}

void CDeviceProfileUI::ToggleButtonArea() {
    if (CControlUI* area = Child("profile_menu_layout")) area->SetVisible(!area->IsVisible());
}

void CDeviceProfileUI::ShowEntries(const std::vector<std::string>& names, int selected) {
    CComboUI* combo = Combo();
    if (!combo) return;
    combo->RemoveAll();
    for (const std::string& name : names) {
        auto entry = std::make_unique<CListLabelElementUI>();
        entry->SetText(name);  // the user's own text, never a language id
        entry->SetToolTip(name);
        combo->Add(std::move(entry));
    }
    combo->SelectItem(selected < static_cast<int>(names.size()) ? selected : -1, false, false);
}

int CDeviceProfileUI::SelectedEntry() const {
    const CComboUI* combo = Combo();
    return combo ? combo->GetCurSel() : -1;
}

void CDeviceProfileUI::ShowName(const std::string& name) {
    if (CEditUI* field = NameField()) field->SetText(name);
}

std::string CDeviceProfileUI::EnteredName() const {
    const CEditUI* field = NameField();
    return field ? field->GetText() : std::string();
}

void CDeviceProfileUI::ShowPageTab(std::string_view tab, bool shown) {
    if (CControlUI* option = GetManager() ? GetManager()->FindControl(tab) : nullptr)
        option->SetVisible(shown);
}

void CDeviceProfileUI::MarkPageTab(std::string_view tab, bool marked) {
    auto* option =
        dynamic_cast<COptionUI*>(GetManager() ? GetManager()->FindControl(tab) : nullptr);
    if (option) option->Selected(marked, false);
}

}  // namespace q731
