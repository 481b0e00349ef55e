#pragma once
// CControlUI: the base of every control. It keeps the properties a layout can
// set, lays itself out in the rectangle its parent gives it, paints in layers
// (background colour, background image, state images, text, border) and turns
// input events into notifications.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "ui/widgets/notify.h"
#include "ui/widgets/render.h"
#include "ui/widgets/ui_types.h"

namespace q731 {

class CPaintManagerUI;
class CContainerUI;

enum class UiEventType {
    MouseEnter,
    MouseLeave,
    MouseMove,
    ButtonDown,
    ButtonUp,
    DblClick,
    RButtonDown,
    RButtonUp,
    ContextMenu,
    ScrollWheel,
    KeyDown,
    KeyUp,
    Char,
    SetFocus,
    KillFocus,
    Timer,
};

// Key codes for KeyDown (the virtual-key numbers layouts and pages already know).
enum UiKey : int {
    kKeyBack = 0x08,
    kKeyTab = 0x09,
    kKeyReturn = 0x0D,
    kKeyEscape = 0x1B,
    kKeySpace = 0x20,
    kKeyPageUp = 0x21,
    kKeyPageDown = 0x22,
    kKeyEnd = 0x23,
    kKeyHome = 0x24,
    kKeyLeft = 0x25,
    kKeyUp = 0x26,
    kKeyRight = 0x27,
    kKeyDown = 0x28,
};

enum UiModifier : unsigned { kModShift = 1, kModControl = 2, kModAlt = 4 };

struct TEventUI {
    UiEventType Type = UiEventType::MouseMove;
    CControlUI* pSender = nullptr;
    UiPoint ptMouse;
    int chKey = 0;
    unsigned wKeyState = 0;
    int wheelDelta = 0;  // positive when the wheel turns away from the user
    std::uintptr_t wParam = 0;
};

// Control states for state images.
enum UiState : unsigned {
    kStateHot = 1,
    kStatePushed = 2,
    kStateFocused = 4,
    kStateDisabled = 8,
    kStateSelected = 16,
};

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    // Class names as layouts and pages compare them ("ButtonUI", "OptionUI", ...).
    virtual std::string_view GetClass() const { return "ControlUI"; }

    const std::string& GetName() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    CPaintManagerUI* GetManager() const { return manager_; }
    CControlUI* GetParent() const { return parent_; }
    // Called when the control joins a window's tree (recursively for containers).
    virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init);
    virtual void DoInit() {}

    // Text. With resource text on, the text is a language id and GetText answers
    // the current language's text for it (the id itself when it has none).
    virtual std::string GetText() const;
    virtual void SetText(std::string text);
    const std::string& GetRawText() const { return text_; }
    bool IsResourceText() const { return resourceText_; }
    void SetResourceText(bool on);
    std::string GetToolTip() const;
    void SetToolTip(std::string text);
    std::string GetToolTipTitle() const;
    void SetToolTipTitle(std::string title);

    const std::string& GetUserData() const { return userData_; }
    void SetUserData(std::string data) { userData_ = std::move(data); }
    std::uintptr_t GetTag() const { return tag_; }
    void SetTag(std::uintptr_t tag) { tag_ = tag; }
    // The sub-window ("virtualwnd") this control's notifications go to; inherited.
    std::string GetVirtualWnd() const;
    void SetVirtualWnd(std::string name) { virtualWnd_ = std::move(name); }

    virtual bool IsVisible() const { return visible_ && internVisible_; }
    // The control's own flag, whether or not a parent hides it.
    bool IsVisibleFlag() const { return visible_; }
    virtual void SetVisible(bool visible);
    // Hidden because a parent is (tab pages, hidden containers).
    virtual void SetInternVisible(bool visible);
    virtual bool IsEnabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled);
    bool IsMouseEnabled() const { return mouseEnabled_; }
    void SetMouseEnabled(bool on) { mouseEnabled_ = on; }
    bool IsKeyboardEnabled() const { return keyboardEnabled_; }
    void SetKeyboardEnabled(bool on) { keyboardEnabled_ = on; }
    bool IsFocused() const { return focused_; }
    void SetFocus();
    virtual bool WantsFocus() const { return false; }

    // Geometry in design pixels (the window's scale turns them into device pixels).
    int GetFixedWidth() const { return fixedWidth_; }
    void SetFixedWidth(int cx);
    int GetFixedHeight() const { return fixedHeight_; }
    void SetFixedHeight(int cy);
    void SetMinWidth(int cx);
    void SetMaxWidth(int cx);
    void SetMinHeight(int cy);
    void SetMaxHeight(int cy);
    int GetMinWidth() const { return minWidth_; }
    int GetMaxWidth() const { return maxWidth_; }
    int GetMinHeight() const { return minHeight_; }
    int GetMaxHeight() const { return maxHeight_; }
    const UiRect& GetPadding() const { return padding_; }
    void SetPadding(const UiRect& padding);
    bool IsFloat() const { return float_; }
    void SetFloat(bool on);
    // Position inside the parent for a floating control (design pixels).
    const UiRect& GetFloatPos() const { return floatPos_; }
    void SetFloatPos(const UiRect& pos);

    // Device-pixel rectangle in window coordinates, set by the parent's layout.
    const UiRect& GetPos() const { return rcItem_; }
    virtual void SetPos(const UiRect& rc);
    // Size wanted in device pixels; 0 in a dimension means "share what is left".
    virtual UiSize EstimateSize(UiSize available);

    // Appearance.
    UiColor GetBkColor() const { return bkColor_; }
    void SetBkColor(UiColor color);
    const std::string& GetBkImage() const { return bkImage_; }
    void SetBkImage(std::string image);
    const std::string& GetForeImage() const { return foreImage_; }
    void SetForeImage(std::string image);
    UiColor GetBorderColor() const { return borderColor_; }
    void SetBorderColor(UiColor color);
    int GetBorderSize() const { return borderSize_; }
    void SetBorderSize(int size);
    void SetBorderRound(int radius);
    UiColor GetTextColor() const { return textColor_; }
    void SetTextColor(UiColor color);
    void SetDisabledTextColor(UiColor color);
    int GetFont() const { return font_; }
    void SetFont(int id);
    unsigned GetTextStyle() const { return textStyle_; }
    void SetTextStyle(unsigned style);
    void SetTextPadding(const UiRect& padding);
    const UiRect& GetTextPadding() const { return textPadding_; }

    // Sets one layout attribute. False when the name is unknown to the control.
    virtual bool SetAttribute(std::string_view name, std::string_view value);
    // Sets "name1=\"v1\" name2=\"v2\"" lists (the form of <Default> entries).
    void ApplyAttributeList(std::string_view list);

    // Input.
    virtual void DoEvent(TEventUI& event);
    // The topmost control at `point` that takes mouse input (this or a child).
    virtual CControlUI* FindControlAt(UiPoint point);
    // Visits this control and its descendants; stops when `visit` returns true.
    virtual CControlUI* FindControl(const std::function<bool(CControlUI*)>& visit);
    virtual bool Activate();

    // Painting.
    virtual void DoPaint(IRenderer& renderer, const UiRect& paintRect);
    virtual void PaintBkColor(IRenderer& renderer);
    virtual void PaintBkImage(IRenderer& renderer);
    virtual void PaintStatusImage(IRenderer& renderer);
    virtual void PaintText(IRenderer& renderer);
    virtual void PaintBorder(IRenderer& renderer);
    // Draws an image string in `rc` (device pixels); false when nothing was drawn.
    bool DrawImage(IRenderer& renderer, std::string_view image, const UiRect& rc);
    bool DrawImage(IRenderer& renderer, std::string_view image) {
        return DrawImage(renderer, image, rcItem_);
    }

    // Asks the window to lay out again (size or visibility changed) or to repaint.
    void NeedUpdate();
    void NeedParentUpdate();
    void Invalidate();

    // Helpers around the manager; harmless when the control is not in a window.
    int Scale(int value) const;
    UiRect Scale(const UiRect& rect) const;
    void SendNotify(const std::string& type, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    bool SetTimer(int id, int elapseMs);
    bool KillTimer(int id);

protected:
    std::string DisplayText(const std::string& raw) const;
    UiFont ResolveFont(int id) const;
    void PaintTextIn(IRenderer& renderer, const std::string& text, UiColor color);

    CPaintManagerUI* manager_ = nullptr;
    CControlUI* parent_ = nullptr;
    std::string name_;
    std::string text_;
    std::string toolTip_;
    std::string toolTipTitle_;
    std::string userData_;
    std::string virtualWnd_;
    std::uintptr_t tag_ = 0;
    bool resourceText_ = false;
    bool visible_ = true;
    bool internVisible_ = true;
    bool enabled_ = true;
    bool mouseEnabled_ = true;
    bool keyboardEnabled_ = true;
    bool focused_ = false;
    bool float_ = false;
    unsigned state_ = 0;

    int fixedWidth_ = 0;
    int fixedHeight_ = 0;
    int minWidth_ = 0;
    int maxWidth_ = 99999;
    int minHeight_ = 0;
    int maxHeight_ = 99999;
    UiRect padding_;
    UiRect floatPos_;
    UiRect rcItem_;

    UiColor bkColor_ = 0;
    UiColor borderColor_ = 0;
    UiColor textColor_ = 0;
    UiColor disabledTextColor_ = 0;
    int borderSize_ = 0;
    int borderRound_ = 0;
    int font_ = -1;
    unsigned textStyle_ = kTextVCenter | kTextSingleLine;
    UiRect textPadding_;
    std::string bkImage_;
    std::string foreImage_;

    friend class CPaintManagerUI;
};

}  // namespace q731
