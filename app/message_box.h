#pragma once
// CMsgWnd: the one skinned modal box for the program's questions and notices.
// It shows a title, a text (usually a language text id) and OK alone or OK and
// Cancel over the window that asked, at that window's scale, and answers 1 for
// OK and 0 for everything else (Cancel, the close button, Escape, the window
// manager's close, or a loop that ended without a close).

#include <string>

#include "ui/widgets/window.h"

namespace q731 {

class CMsgWnd final : public WindowImplBase {
public:
    explicit CMsgWnd(UiLoop& loop) : WindowImplBase(loop) {}

    std::string GetWindowClassName() const override { return "MsgWnd"; }
    std::string GetSkinFile() override { return "XML_MSG"; }
    void InitWindow() override;
    LRESULT HandleCustomMessage(unsigned msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    bool OnKeyDown(int key, unsigned modifiers) override;

    // Builds a box owned by `owner` (may be null), runs it modally and returns
    // 1 when "confirm_btn" closed it, 0 otherwise. A scale the box does not
    // accept becomes 96 (logged as "MSG_WND DPI SET ERROR"). Only the box is
    // scaled: no other window changes size or scale.
    static int Show(UiLoop& loop, CWindowWnd* owner, const std::string& title,
                    const std::string& text, int dpi, bool textIsId, int buttonSet);

    // Closes every box that is running with 0, innermost first (the program is
    // ending). Each Show call returns 0 once its own loop has unwound.
    static void CloseAll();
    static int OpenCount();

    int Scale() const { return dpi_; }

protected:
    void OnClick(TNotifyUI& msg) override;

private:
    void Configure(const std::string& title, const std::string& text, int dpi, bool textIsId,
                   int buttonSet);
    void ApplyScale(int dpi);

    int dpi_ = 96;
    CControlUI* closeButton_ = nullptr;
};

}  // namespace q731
