#pragma once
// Controls that hold something else:
// - CWndUI ("Wnd"): keeps a native window over the control's rectangle.
// - CComboEditContainerElementUI ("ComboEditContainerElement"): one row of a
//   macro's event list, built from its own layout, with an editable delay.

#include <memory>
#include <string_view>

#include "ui/widgets/buttons.h"
#include "ui/widgets/edit.h"
#include "ui/widgets/list.h"
#include "ui/widgets/window.h"

namespace q731 {

class CWndUI : public CControlUI {
public:
    std::string_view GetClass() const override { return "Wnd"; }

    // The window stays owned by its creator; the control only moves, shows and
    // hides it, and stops touching it once it is gone. nullptr lets go.
    void Attach(CWindowWnd* window);
    CWindowWnd* GetWindow() const;

    // Whenever the control moves, shows or hides, the window follows without
    // being activated.
    void SetPos(const UiRect& rc) override;
    void SetVisible(bool visible) override;
    void SetInternVisible(bool visible) override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) override;

    // The control's rectangle on the screen: the paint window's origin plus
    // the control's position in it.
    UiRect GetScreenRect() const;

private:
    void SyncWindow();

    CWindowWnd* window_ = nullptr;
    std::weak_ptr<bool> windowAlive_;
};

class CComboEditContainerElementUI : public CListContainerElementUI {
public:
    static constexpr std::string_view kLayout = "XML/CustomControlXML/ComboEditElementItem.xml";

    std::string_view GetClass() const override { return "ComboEditContainerElement"; }
    // Builds the row's content from kLayout, once.
    void DoInit() override;
    // "normalimage", "hotimage" and "selectedimage" are accepted and ignored
    // (the list colours the row); "menu" makes a right click send "menu".
    bool SetAttribute(std::string_view name, std::string_view value) override;
    void DoEvent(TEventUI& event) override;

    // The row's parts; nullptr until built or when the layout lacks them.
    CLabelUI* GetText1();
    CLabelUI* GetText2();
    CEditUI* GetDelayEdit();
    bool IsContextMenuUsed() const { return contextMenu_; }

private:
    bool built_ = false;
    bool contextMenu_ = false;
};

}  // namespace q731
