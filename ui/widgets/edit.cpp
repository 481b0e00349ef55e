#include "ui/widgets/edit.h"

#include <algorithm>

#include "ui/widgets/paint_manager.h"

namespace q731 {

std::size_t Utf8Length(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string CutUtf8(std::string_view text, std::size_t count) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (seen == count) return std::string(text.substr(0, i));
            ++seen;
        }
    }
    return std::string(text);
}

CEditUI::CEditUI() {
    textPadding_ = {4, 2, 4, 2};
    textStyle_ = kTextVCenter | kTextSingleLine;
}

CRichEditUI::CRichEditUI() {
    multiLine_ = true;
    maxChar_ = 30000;
    textStyle_ = kTextTop | kTextWordBreak;
}

std::string CEditUI::Filter(std::string text) const {
    if (numberOnly_) {
        std::erase_if(text, [](char c) { return c < '0' || c > '9'; });
    }
    if (!multiLine_) std::erase_if(text, [](char c) { return c == '\n' || c == '\r'; });
    if (maxChar_ >= 0 && Utf8Length(text) > static_cast<std::size_t>(maxChar_)) {
        text = CutUtf8(text, static_cast<std::size_t>(maxChar_));
    }
    return text;
}

void CEditUI::SetText(std::string text) {
    CLabelUI::SetText(Filter(std::move(text)));
}

void CEditUI::SetMaxChar(int maxChar) {
    maxChar_ = std::max(0, maxChar);
    SetText(text_);
}
void CEditUI::SetReadOnly(bool on) {
    readOnly_ = on;
    if (on && focused_ && manager_) manager_->SetFocus(nullptr);
    Invalidate();
}
void CEditUI::SetPasswordMode(bool on) {
    password_ = on;
    Invalidate();
}
void CEditUI::SetNumberOnly(bool on) {
    numberOnly_ = on;
    SetText(text_);
}
std::string CEditUI::GetTipValue() const {
    return DisplayText(tipValue_);
}
void CEditUI::SetTipValue(std::string tip) {
    tipValue_ = std::move(tip);
    Invalidate();
}

void CEditUI::OnTextEdited(std::string text) {
    text = Filter(std::move(text));
    if (text == text_) return;
    text_ = std::move(text);
    Invalidate();
    SendNotify(notify::kTextChanged);
}

void CEditUI::OnReturn() {
    SendNotify(notify::kReturn);
    // Return ends the edit like a click elsewhere would (unless a handler moved focus).
    if (manager_ && manager_->GetFocus() == this) manager_->SetFocus(nullptr);
}

void CEditUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UiEventType::SetFocus:
            CLabelUI::DoEvent(event);
            if (manager_ && manager_->GetHost()) manager_->GetHost()->BeginTextEdit(this);
            SendNotify(notify::kSetFocus);
            return;
        case UiEventType::KillFocus:
            // The native field hands its final text back before "killfocus" goes out.
            if (manager_ && manager_->GetHost()) manager_->GetHost()->EndTextEdit(this);
            CLabelUI::DoEvent(event);
            SendNotify(notify::kKillFocus);
            return;
        case UiEventType::Char: {
            if (readOnly_ || event.chKey < 0x20 || event.chKey > 0x10FFFF) return;
            std::string added;
            unsigned code = static_cast<unsigned>(event.chKey);
            if (code < 0x80) {
                added += static_cast<char>(code);
            } else if (code < 0x800) {
                added += static_cast<char>(0xC0 | (code >> 6));
                added += static_cast<char>(0x80 | (code & 0x3F));
            } else if (code < 0x10000) {
                added += static_cast<char>(0xE0 | (code >> 12));
                added += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                added += static_cast<char>(0x80 | (code & 0x3F));
            } else {
                added += static_cast<char>(0xF0 | (code >> 18));
                added += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
                added += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                added += static_cast<char>(0x80 | (code & 0x3F));
            }
            OnTextEdited(text_ + added);
            return;
        }
        case UiEventType::KeyDown:
            if (event.chKey == kKeyBack && !readOnly_ && !text_.empty()) {
                OnTextEdited(CutUtf8(text_, Utf8Length(text_) - 1));
                return;
            }
            if (event.chKey == kKeyReturn && !multiLine_) {
                OnReturn();
                return;
            }
            break;
        case UiEventType::MouseEnter:
        case UiEventType::MouseLeave:
            CLabelUI::DoEvent(event);
            Invalidate();
            return;
        default:
            break;
    }
    CLabelUI::DoEvent(event);
}

bool CEditUI::SetAttribute(std::string_view name, std::string_view value) {
    std::string key = ToLower(name);
    if (key == "maxchar") {
        if (auto v = ParseInt(value)) SetMaxChar(*v);
    } else if (key == "readonly") {
        SetReadOnly(ParseBool(value));
    } else if (key == "password") {
        SetPasswordMode(ParseBool(value));
    } else if (key == "numberonly") {
        SetNumberOnly(ParseBool(value));
    } else if (key == "tipvalue") {
        SetTipValue(std::string(value));
    } else if (key == "tipvaluecolor") {
        if (auto c = ParseColor(value)) tipValueColor_ = *c;
    } else if (key == "nativebkcolor") {
        if (auto c = ParseColor(value)) nativeBkColor_ = *c;
    } else if (key == "normalimage") {
        normalImage_ = std::string(value);
    } else if (key == "hotimage") {
        hotImage_ = std::string(value);
    } else if (key == "focusedimage") {
        focusedImage_ = std::string(value);
    } else if (key == "disabledimage") {
        disabledImage_ = std::string(value);
    } else if (key == "text") {
        SetText(std::string(value));
    } else {
        return CLabelUI::SetAttribute(name, value);
    }
    return true;
}

void CEditUI::PaintBkColor(IRenderer& renderer) {
    CLabelUI::PaintBkColor(renderer);
    if ((nativeBkColor_ >> 24) != 0) {
        renderer.FillRect(rcItem_.Deflate(Scale(textPadding_)), nativeBkColor_);
    }
}

void CEditUI::PaintStatusImage(IRenderer& renderer) {
    bool drawn = false;
    if (!IsEnabled()) {
        drawn = DrawImage(renderer, disabledImage_);
    } else if (focused_) {
        drawn = DrawImage(renderer, focusedImage_);
    } else if (state_ & kStateHot) {
        drawn = DrawImage(renderer, hotImage_);
    }
    if (!drawn) DrawImage(renderer, normalImage_);
    CLabelUI::PaintStatusImage(renderer);
}

void CEditUI::PaintText(IRenderer& renderer) {
    // The native field draws the text while the edit has focus in a real window.
    if (focused_ && manager_ && manager_->GetHost()) return;
    if (text_.empty()) {
        PaintTextIn(renderer, GetTipValue(), tipValueColor_);
        return;
    }
    if (password_) {
        std::string masked;
        for (std::size_t i = 0; i < Utf8Length(text_); ++i)
            masked += "\xE2\x97\x8F";  // ●
        PaintTextIn(renderer, masked, textColor_);
        return;
    }
    UiColor color = IsEnabled() || disabledTextColor_ == 0 ? textColor_ : disabledTextColor_;
    PaintTextIn(renderer, text_, color);
}

}  // namespace q731
