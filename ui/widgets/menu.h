#pragma once
// Menus: a small pop-up window built from a layout whose items are
// <MenuElement name="..." text="..."/>. Choosing an item closes the menu, posts
// kMsgMenuCommand (wParam the item's index among the menu's elements) to the
// owner and calls the command callback with the item's name.

#include <functional>
#include <string>

#include "ui/widgets/buttons.h"
#include "ui/widgets/window.h"

namespace q731 {

class CMenuElementUI : public CButtonUI {
public:
    CMenuElementUI();
    std::string_view GetClass() const override { return "MenuElementUI"; }
    UiSize EstimateSize(UiSize available) override;
};

// Corner of the menu that lies at the given point.
enum MenuAlignment : unsigned {
    kMenuAlignLeft = 1,    // the point is the menu's left edge (default)
    kMenuAlignTop = 2,     // the point is the menu's top edge (default)
    kMenuAlignRight = 4,   // the point is the menu's right edge
    kMenuAlignBottom = 8,  // the point is the menu's bottom edge
};

class CMenuWnd : public WindowImplBase {
public:
    using CommandHandler = std::function<void(const std::string& name, int index)>;

    // Builds the menu from `layout` and shows it at `point` (screen pixels),
    // kept inside the screen's work area. The object deletes itself when the
    // menu closes, so create it with new and forget it.
    static CMenuWnd* Show(CWindowWnd* owner, const std::string& layout, UiPoint point,
                          unsigned alignment = kMenuAlignLeft | kMenuAlignTop,
                          CommandHandler onCommand = {});
    // Closes the open menu, if any.
    static void DestroyMenu();
    static CMenuWnd* Current();

    std::string GetWindowClassName() const override { return "MenuWnd"; }
    std::string GetSkinFile() override { return layout_; }
    void Notify(TNotifyUI& msg) override;
    LRESULT HandleCustomMessage(unsigned msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnFinalMessage() override;

private:
    CMenuWnd(std::string layout, CommandHandler onCommand);
    ~CMenuWnd() override;

    std::string layout_;
    CommandHandler onCommand_;
};

}  // namespace q731
