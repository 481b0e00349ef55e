#pragma once
// Text and push controls: CLabelUI, CButtonUI, COptionUI (a button that stays
// selected, alone or in a group) and CCheckBoxUI.

#include <string>

#include "ui/widgets/control.h"

namespace q731 {

class CLabelUI : public CControlUI {
public:
    std::string_view GetClass() const override { return "LabelUI"; }
    void PaintText(IRenderer& renderer) override;
};

class CButtonUI : public CLabelUI {
public:
    std::string_view GetClass() const override { return "ButtonUI"; }
    bool WantsFocus() const override { return true; }
    bool Activate() override;
    void DoEvent(TEventUI& event) override;
    bool SetAttribute(std::string_view name, std::string_view value) override;
    void PaintBkColor(IRenderer& renderer) override;
    void PaintStatusImage(IRenderer& renderer) override;
    void PaintText(IRenderer& renderer) override;

    void SetNormalImage(std::string image);
    void SetHotImage(std::string image);
    void SetPushedImage(std::string image);
    void SetFocusedImage(std::string image);
    void SetDisabledImage(std::string image);
    const std::string& GetNormalImage() const { return normalImage_; }
    const std::string& GetHotImage() const { return hotImage_; }
    const std::string& GetPushedImage() const { return pushedImage_; }
    void SetHotBkColor(UiColor color) { hotBkColor_ = color; }
    void SetHotTextColor(UiColor color) { hotTextColor_ = color; }
    unsigned GetState() const { return state_; }

protected:
    std::string normalImage_;
    std::string hotImage_;
    std::string pushedImage_;
    std::string focusedImage_;
    std::string disabledImage_;
    std::string hotForeImage_;
    UiColor hotBkColor_ = 0;
    UiColor pushedBkColor_ = 0;
    UiColor disabledBkColor_ = 0;
    UiColor hotTextColor_ = 0;
    UiColor pushedTextColor_ = 0;
};

class COptionUI : public CButtonUI {
public:
    ~COptionUI() override;
    std::string_view GetClass() const override { return "OptionUI"; }
    bool Activate() override;
    bool SetAttribute(std::string_view name, std::string_view value) override;
    void PaintBkColor(IRenderer& renderer) override;
    void PaintStatusImage(IRenderer& renderer) override;
    void PaintText(IRenderer& renderer) override;

    bool IsSelected() const { return selected_; }
    // Selecting an option of a group unselects the others of its group without
    // notifying them; "selectchanged" comes from this option only, and only
    // when `triggerEvent` is set and the state changed. Unselecting a grouped
    // option is allowed: a group may have nothing selected.
    virtual void Selected(bool selected, bool triggerEvent = true);
    const std::string& GetGroup() const { return group_; }
    void SetGroup(std::string group);
    void SetSelectedImage(std::string image);
    void SetSelectedHotImage(std::string image);
    void SetSelectedBkColor(UiColor color);
    UiColor GetSelectedBkColor() const { return selectedBkColor_; }
    void SetSelectedTextColor(UiColor color);

protected:
    bool selected_ = false;
    std::string group_;
    std::string selectedImage_;
    std::string selectedHotImage_;
    std::string selectedForeImage_;
    UiColor selectedBkColor_ = 0;
    UiColor selectedTextColor_ = 0;
};

// A check box: toggles on click and also sends "checkclick" (wParam 1 when now checked).
class CCheckBoxUI : public COptionUI {
public:
    std::string_view GetClass() const override { return "CheckBoxUI"; }
    bool Activate() override;
};

}  // namespace q731
