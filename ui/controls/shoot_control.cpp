#include "ui/controls/shoot_control.h"

#include "ui/widgets/buttons.h"

namespace q731 {

ShootPanel& CShootControlUI::Bind(IQuestionAsker* asker) {
    panel_ = std::make_unique<ShootPanel>(*this, asker);
    return *panel_;
}

CControlUI* CShootControlUI::Child(std::string_view name) const {
    return const_cast<CShootControlUI*>(this)->FindControl(
        [name](CControlUI* control) { return control->GetName() == name; });
}

bool CShootControlUI::Flag(std::string_view name) const {
    const auto* option = dynamic_cast<const COptionUI*>(Child(name));
    return option && option->IsSelected();
}

void CShootControlUI::SetFlag(std::string_view name, bool on) {
    if (auto* option = dynamic_cast<COptionUI*>(Child(name))) option->Selected(on, false);
}

std::string CShootControlUI::Text(std::string_view name) const {
    const CControlUI* control = Child(name);
    return control ? control->GetText() : std::string();
}

void CShootControlUI::SetText(std::string_view name, const std::string& text) {
    if (CControlUI* control = Child(name)) {
        control->SetResourceText(false);
        control->SetText(text);
    }
}

void CShootControlUI::SetCaption(std::string_view name, std::string_view textId) {
    if (CControlUI* control = Child(name)) {
        control->SetResourceText(true);
        control->SetText(std::string(textId));
    }
}

void CShootControlUI::ShowSlotPicture(int slot) {
    if (auto* pictures = dynamic_cast<CTabLayoutUI*>(Child(shoot_control::kPictures)))
        pictures->SelectItem(slot);
}

}  // namespace q731
