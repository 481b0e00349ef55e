#pragma once
// CShootControlUI: the mouse's shooting panel. Four slot options with a
// picture per slot, thirty bullet options, the bullet's two direction checks
// and three edits, and the buttons that reset, import, export and send. It
// carries the panel logic that works on the mouse's shooting files.

#include <memory>
#include <string>
#include <string_view>

#include "profiles/shoot_panel.h"
#include "ui/widgets/container.h"

namespace q731 {

class CShootControlUI : public CVerticalLayoutUI, public IShootView {
public:
    std::string_view GetClass() const override { return "ShootControl"; }

    // Makes the panel logic (once the page has its device).
    ShootPanel& Bind(IQuestionAsker* asker);
    // Null until bound.
    ShootPanel* Panel() { return panel_.get(); }

    // IShootView.
    bool HasControl(std::string_view name) const override { return Child(name) != nullptr; }
    bool Flag(std::string_view name) const override;
    void SetFlag(std::string_view name, bool on) override;
    std::string Text(std::string_view name) const override;
    void SetText(std::string_view name, const std::string& text) override;
    void SetCaption(std::string_view name, std::string_view textId) override;
    void ShowSlotPicture(int slot) override;

private:
    CControlUI* Child(std::string_view name) const;

    std::unique_ptr<ShootPanel> panel_;
};

}  // namespace q731
