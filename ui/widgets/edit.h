#pragma once
// Text fields. While an edit has the focus the window lays a native text field
// over it (clipboard, input methods, selection); the field reports every change
// back (OnTextEdited, "textchanged") and the edit commits the text when it
// loses the focus, before "killfocus" goes out. Without a native window the
// edit takes characters from HandleChar itself.

#include <string>

#include "ui/widgets/buttons.h"

namespace q731 {

class CEditUI : public CLabelUI {
public:
    CEditUI();
    std::string_view GetClass() const override { return "EditUI"; }
    bool WantsFocus() const override { return !readOnly_; }
    void DoEvent(TEventUI& event) override;
    bool SetAttribute(std::string_view name, std::string_view value) override;
    void PaintBkColor(IRenderer& renderer) override;
    void PaintStatusImage(IRenderer& renderer) override;
    void PaintText(IRenderer& renderer) override;

    // Text set by code is cut to the maximum length and, for a number-only
    // field, to its digits; it sends nothing.
    void SetText(std::string text) override;
    int GetMaxChar() const { return maxChar_; }
    void SetMaxChar(int maxChar);
    bool IsReadOnly() const { return readOnly_; }
    void SetReadOnly(bool on);
    bool IsPasswordMode() const { return password_; }
    void SetPasswordMode(bool on);
    bool IsNumberOnly() const { return numberOnly_; }
    void SetNumberOnly(bool on);
    bool IsMultiLine() const { return multiLine_; }
    std::string GetTipValue() const;
    void SetTipValue(std::string tip);
    UiColor GetTipValueColor() const { return tipValueColor_; }

    // From the native field: the user changed the text. Sends "textchanged".
    void OnTextEdited(std::string text);
    // From the native field: Return was pressed in a single-line field.
    void OnReturn();
    // Text as the rules of this field allow it (length, digits).
    std::string Filter(std::string text) const;

protected:
    int maxChar_ = 255;
    bool readOnly_ = false;
    bool password_ = false;
    bool numberOnly_ = false;
    bool multiLine_ = false;
    std::string tipValue_;
    UiColor tipValueColor_ = 0xFFBAC0C5;
    UiColor nativeBkColor_ = 0;
    std::string normalImage_;
    std::string hotImage_;
    std::string focusedImage_;
    std::string disabledImage_;
};

// A multi-line text field ("RichEdit" in layouts).
class CRichEditUI : public CEditUI {
public:
    CRichEditUI();
    std::string_view GetClass() const override { return "RichEditUI"; }
};

// Number of code points in UTF-8 text; CutUtf8 keeps the first `count` of them.
std::size_t Utf8Length(std::string_view text);
std::string CutUtf8(std::string_view text, std::size_t count);

}  // namespace q731
