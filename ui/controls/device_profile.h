#pragma once
// CDeviceProfileUI: the profile panel of a device page. It shows the device
// kind's profiles in "device_profile_combo" with the selected one's name in
// "device_profile_name_edit", and carries the panel logic that works on the
// device's profile list.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "profiles/profile_panel.h"
#include "ui/widgets/container.h"

namespace q731 {

class CComboUI;
class CEditUI;

class CDeviceProfileUI : public CVerticalLayoutUI, public IProfileListView {
public:
    std::string_view GetClass() const override { return "DeviceProfile"; }

    // Binds the panel to a device's profile list (once the page has its device).
    void Bind(ProfileList& list, Product product, IQuestionAsker* asker);
    // Null until bound.
    DeviceProfilePanel* Panel() { return panel_.get(); }

    // "profile_fun_spread_btn": shows or hides the button area.
    void ToggleButtonArea();

    // IProfileListView.
    void ShowEntries(const std::vector<std::string>& names, int selected) override;
    int SelectedEntry() const override;
    void ShowName(const std::string& name) override;
    std::string EnteredName() const override;
    void ShowPageTab(std::string_view tab, bool shown) override;
    void MarkPageTab(std::string_view tab, bool marked) override;

private:
    CControlUI* Child(std::string_view name) const;
    CComboUI* Combo() const;
    CEditUI* NameField() const;

    std::unique_ptr<DeviceProfilePanel> panel_;
};

}  // namespace q731
