#include "ui/widgets/control.h"

#include <algorithm>

#include "ui/widgets/paint_manager.h"
#include "ui/widgets/resource_manager.h"

namespace q731 {

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    if (manager_) manager_->ReapObjects(this);
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    if (manager_ && manager_ != manager) manager_->ReapObjects(this);
    manager_ = manager;
    parent_ = parent;
    if (manager_ && init) manager_->InitControl(this);
}

std::string CControlUI::DisplayText(const std::string& raw) const {
    if (!resourceText_ || raw.empty()) return raw;
    auto text = CResourceManager::GetInstance().GetText(raw);
    return text ? *text : raw;
}

std::string CControlUI::GetText() const {
    return DisplayText(text_);
}

void CControlUI::SetText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    Invalidate();
}

void CControlUI::SetResourceText(bool on) {
    if (resourceText_ == on) return;
    resourceText_ = on;
    Invalidate();
}

std::string CControlUI::GetToolTip() const {
    return DisplayText(toolTip_);
}
void CControlUI::SetToolTip(std::string text) {
    toolTip_ = std::move(text);
}
std::string CControlUI::GetToolTipTitle() const {
    return DisplayText(toolTipTitle_);
}
void CControlUI::SetToolTipTitle(std::string title) {
    toolTipTitle_ = std::move(title);
}

std::string CControlUI::GetVirtualWnd() const {
    for (const CControlUI* c = this; c; c = c->parent_) {
        if (!c->virtualWnd_.empty()) return c->virtualWnd_;
    }
    return {};
}

void CControlUI::SetVisible(bool visible) {
    if (visible_ == visible) return;
    bool wasVisible = IsVisible();
    visible_ = visible;
    if (!visible && focused_ && manager_) manager_->SetFocus(nullptr);
    if (wasVisible != IsVisible()) NeedParentUpdate();
}

void CControlUI::SetInternVisible(bool visible) {
    internVisible_ = visible;
    if (!visible && focused_ && manager_) manager_->SetFocus(nullptr);
}

void CControlUI::SetEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    if (!enabled) {
        state_ &= ~(kStateHot | kStatePushed);
        if (focused_ && manager_) manager_->SetFocus(nullptr);
    }
    Invalidate();
}

void CControlUI::SetFocus() {
    if (manager_) manager_->SetFocus(this);
}

void CControlUI::SetFixedWidth(int cx) {
    if (cx < 0 || cx == fixedWidth_) return;
    fixedWidth_ = cx;
    NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
    if (cy < 0 || cy == fixedHeight_) return;
    fixedHeight_ = cy;
    NeedParentUpdate();
}

void CControlUI::SetMinWidth(int cx) {
    if (cx < 0) return;
    minWidth_ = cx;
    NeedParentUpdate();
}
void CControlUI::SetMaxWidth(int cx) {
    if (cx < 0) return;
    maxWidth_ = cx;
    NeedParentUpdate();
}
void CControlUI::SetMinHeight(int cy) {
    if (cy < 0) return;
    minHeight_ = cy;
    NeedParentUpdate();
}
void CControlUI::SetMaxHeight(int cy) {
    if (cy < 0) return;
    maxHeight_ = cy;
    NeedParentUpdate();
}

void CControlUI::SetPadding(const UiRect& padding) {
    padding_ = padding;
    NeedParentUpdate();
}

void CControlUI::SetFloat(bool on) {
    if (float_ == on) return;
    float_ = on;
    NeedParentUpdate();
}

void CControlUI::SetFloatPos(const UiRect& pos) {
    floatPos_ = pos;
    NeedParentUpdate();
}

void CControlUI::SetPos(const UiRect& rc) {
    UiRect fixed = rc;
    if (fixed.right < fixed.left) fixed.right = fixed.left;
    if (fixed.bottom < fixed.top) fixed.bottom = fixed.top;
    if (fixed == rcItem_) return;
    Invalidate();
    rcItem_ = fixed;
    Invalidate();
}

UiSize CControlUI::EstimateSize(UiSize) {
    return {Scale(fixedWidth_), Scale(fixedHeight_)};
}

void CControlUI::SetBkColor(UiColor color) {
    if (bkColor_ == color) return;
    bkColor_ = color;
    Invalidate();
}
void CControlUI::SetBkImage(std::string image) {
    if (bkImage_ == image) return;
    bkImage_ = std::move(image);
    Invalidate();
}
void CControlUI::SetForeImage(std::string image) {
    if (foreImage_ == image) return;
    foreImage_ = std::move(image);
    Invalidate();
}
void CControlUI::SetBorderColor(UiColor color) {
    borderColor_ = color;
    Invalidate();
}
void CControlUI::SetBorderSize(int size) {
    borderSize_ = std::max(0, size);
    Invalidate();
}
void CControlUI::SetBorderRound(int radius) {
    borderRound_ = std::max(0, radius);
    Invalidate();
}
void CControlUI::SetTextColor(UiColor color) {
    textColor_ = color;
    Invalidate();
}
void CControlUI::SetDisabledTextColor(UiColor color) {
    disabledTextColor_ = color;
    Invalidate();
}
void CControlUI::SetFont(int id) {
    font_ = id;
    Invalidate();
}
void CControlUI::SetTextStyle(unsigned style) {
    textStyle_ = style;
    Invalidate();
}
void CControlUI::SetTextPadding(const UiRect& padding) {
    textPadding_ = padding;
    Invalidate();
}

bool CControlUI::SetAttribute(std::string_view name, std::string_view value) {
    auto color = [&](void (CControlUI::*set)(UiColor)) {
        if (auto c = ParseColor(value)) (this->*set)(*c);
    };
    // Sizes and positions from a skin are kept to a sane range, so that layout
    // sums and tiling loops cannot overflow or run for ever.
    auto bounded = [](int v) { return std::clamp(v, -65535, 65535); };
    auto integer = [&](auto set) {
        if (auto v = ParseInt(value)) set(bounded(*v));
    };
    auto rect = [&](auto set) {
        if (auto r = ParseRect(value)) {
            set(UiRect{bounded(r->left), bounded(r->top), bounded(r->right), bounded(r->bottom)});
        }
    };
    std::string key = ToLower(name);
    if (key == "name") {
        SetName(std::string(value));
    } else if (key == "text") {
        SetText(std::string(value));
    } else if (key == "resourcetext") {
        SetResourceText(ParseBool(value));
    } else if (key == "tooltip") {
        SetToolTip(std::string(value));
    } else if (key == "tooltiptitle") {
        SetToolTipTitle(std::string(value));
    } else if (key == "userdata") {
        SetUserData(std::string(value));
    } else if (key == "virtualwnd") {
        SetVirtualWnd(std::string(value));
    } else if (key == "visible") {
        SetVisible(ParseBool(value));
    } else if (key == "enabled") {
        SetEnabled(ParseBool(value));
    } else if (key == "mouse") {
        SetMouseEnabled(ParseBool(value));
    } else if (key == "keyboard") {
        SetKeyboardEnabled(ParseBool(value));
    } else if (key == "float") {
        SetFloat(ParseBool(value));
    } else if (key == "pos") {
        rect([&](UiRect r) {
            SetFloatPos(r);
            SetFixedWidth(std::max(0, r.right - r.left));
            SetFixedHeight(std::max(0, r.bottom - r.top));
        });
    } else if (key == "padding") {
        rect([&](UiRect r) { SetPadding(r); });
    } else if (key == "width") {
        integer([&](int v) { SetFixedWidth(v); });
    } else if (key == "height") {
        integer([&](int v) { SetFixedHeight(v); });
    } else if (key == "minwidth") {
        integer([&](int v) { SetMinWidth(v); });
    } else if (key == "maxwidth") {
        integer([&](int v) { SetMaxWidth(v); });
    } else if (key == "minheight") {
        integer([&](int v) { SetMinHeight(v); });
    } else if (key == "maxheight") {
        integer([&](int v) { SetMaxHeight(v); });
    } else if (key == "bkcolor") {
        color(&CControlUI::SetBkColor);
    } else if (key == "bkimage") {
        SetBkImage(std::string(value));
    } else if (key == "foreimage") {
        SetForeImage(std::string(value));
    } else if (key == "bordercolor") {
        color(&CControlUI::SetBorderColor);
    } else if (key == "bordersize") {
        integer([&](int v) { SetBorderSize(v); });
    } else if (key == "borderround") {
        auto size = ParseSize(value);
        if (size) {
            SetBorderRound(size->cx);
        } else {
            integer([&](int v) { SetBorderRound(v); });
        }
    } else if (key == "textcolor") {
        color(&CControlUI::SetTextColor);
    } else if (key == "disabledtextcolor") {
        color(&CControlUI::SetDisabledTextColor);
    } else if (key == "font") {
        integer([&](int v) { SetFont(v); });
    } else if (key == "textpadding") {
        rect([&](UiRect r) { SetTextPadding(r); });
    } else if (key == "align") {
        unsigned style = textStyle_ & ~(kTextCenter | kTextRight);
        if (value == "center") style |= kTextCenter;
        if (value == "right") style |= kTextRight;
        SetTextStyle(style);
    } else if (key == "valign") {
        unsigned style = textStyle_ & ~(kTextVCenter | kTextBottom);
        if (value == "vcenter" || value == "center") style |= kTextVCenter;
        if (value == "bottom") style |= kTextBottom;
        SetTextStyle(style);
    } else if (key == "endellipsis") {
        SetTextStyle(ParseBool(value) ? textStyle_ | kTextEndEllipsis
                                      : textStyle_ & ~kTextEndEllipsis);
    } else if (key == "wordbreak" || key == "multiline") {
        SetTextStyle(ParseBool(value) ? (textStyle_ | kTextWordBreak) & ~kTextSingleLine
                                      : (textStyle_ & ~kTextWordBreak) | kTextSingleLine);
    } else if (key == "showhtml" || key == "cursor") {
        // Accepted for layout compatibility; text is drawn plain.
    } else {
        return false;
    }
    return true;
}

void CControlUI::ApplyAttributeList(std::string_view list) {
    std::string_view rest = list;
    while (!(rest = Trim(rest)).empty()) {
        std::size_t eq = rest.find('=');
        if (eq == std::string_view::npos) return;
        std::string_view key = Trim(rest.substr(0, eq));
        rest = Trim(rest.substr(eq + 1));
        if (rest.empty() || (rest.front() != '"' && rest.front() != '\'')) return;
        char quote = rest.front();
        std::size_t close = rest.find(quote, 1);
        if (close == std::string_view::npos) return;
        SetAttribute(key, rest.substr(1, close - 1));
        rest.remove_prefix(close + 1);
    }
}

void CControlUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UiEventType::SetFocus:
            focused_ = true;
            Invalidate();
            return;
        case UiEventType::KillFocus:
            focused_ = false;
            Invalidate();
            return;
        case UiEventType::Timer:
            SendNotify(notify::kTimer, event.wParam);
            return;
        case UiEventType::MouseEnter:
            if (IsEnabled()) state_ |= kStateHot;
            return;
        case UiEventType::MouseLeave:
            state_ &= ~kStateHot;
            return;
        case UiEventType::ButtonDown:
        case UiEventType::ButtonUp:
        case UiEventType::DblClick:
        case UiEventType::RButtonDown:
        case UiEventType::RButtonUp:
        case UiEventType::ContextMenu:
        case UiEventType::ScrollWheel:
        case UiEventType::KeyDown:
            // Unhandled clicks, wheel and keys travel up: a label inside a list row
            // selects the row, and a list scrolls under its rows.
            if (parent_) parent_->DoEvent(event);
            return;
        default:
            return;
    }
}

CControlUI* CControlUI::FindControlAt(UiPoint point) {
    if (!IsVisible() || !mouseEnabled_ || !rcItem_.Contains(point)) return nullptr;
    return this;
}

CControlUI* CControlUI::FindControl(const std::function<bool(CControlUI*)>& visit) {
    return visit(this) ? this : nullptr;
}

bool CControlUI::Activate() {
    return IsVisible() && IsEnabled();
}

void CControlUI::DoPaint(IRenderer& renderer, const UiRect& paintRect) {
    if (!rcItem_.Intersects(paintRect)) return;
    PaintBkColor(renderer);
    PaintBkImage(renderer);
    PaintStatusImage(renderer);
    PaintText(renderer);
    PaintBorder(renderer);
}

void CControlUI::PaintBkColor(IRenderer& renderer) {
    if ((bkColor_ >> 24) == 0) return;
    if (borderRound_ > 0) {
        renderer.FillRoundRect(rcItem_, Scale(borderRound_), bkColor_);
    } else {
        renderer.FillRect(rcItem_, bkColor_);
    }
}

void CControlUI::PaintBkImage(IRenderer& renderer) {
    if (!bkImage_.empty()) DrawImage(renderer, bkImage_);
}

void CControlUI::PaintStatusImage(IRenderer& renderer) {
    if (!foreImage_.empty()) DrawImage(renderer, foreImage_);
}

void CControlUI::PaintText(IRenderer&) {}

void CControlUI::PaintBorder(IRenderer& renderer) {
    if (borderSize_ <= 0 || (borderColor_ >> 24) == 0) return;
    renderer.DrawBorder(rcItem_, std::max(1, Scale(borderSize_)), borderColor_,
                        Scale(borderRound_));
}

UiFont CControlUI::ResolveFont(int id) const {
    if (manager_) return manager_->GetScaledFont(id);
    return UiFont{};
}

void CControlUI::PaintTextIn(IRenderer& renderer, const std::string& text, UiColor color) {
    if (text.empty()) return;
    UiRect rc = rcItem_.Deflate(Scale(textPadding_));
    if ((color >> 24) == 0) color = 0xFF000000;
    renderer.DrawText(rc, text, color, ResolveFont(font_), textStyle_);
}

bool CControlUI::DrawImage(IRenderer& renderer, std::string_view image, const UiRect& rc) {
    if (!manager_ || image.empty()) return false;
    const TDrawInfo* info = manager_->GetDrawInfo(image);
    if (!info) return false;
    ImageDraw draw;
    draw.info = info;
    draw.path = CPaintManagerUI::ResolveImagePath(info->sImageName);
    if (draw.path.empty()) return false;
    draw.dest = info->rcDest ? Scale(*info->rcDest).Offset(rc.left, rc.top) : rc;
    draw.scale = manager_->GetDPIObj()->GetDPI() / double(CDPI::kDesignDpi);
    manager_->GetHSL(draw.hue, draw.saturation, draw.lightness);
    return renderer.DrawImage(draw);
}

void CControlUI::NeedUpdate() {
    if (manager_) manager_->NeedUpdate();
    Invalidate();
}

void CControlUI::NeedParentUpdate() {
    if (parent_) parent_->Invalidate();
    NeedUpdate();
}

void CControlUI::Invalidate() {
    if (manager_ && !rcItem_.IsEmpty()) manager_->Invalidate(rcItem_);
}

int CControlUI::Scale(int value) const {
    return manager_ ? manager_->Scale(value) : value;
}
UiRect CControlUI::Scale(const UiRect& rect) const {
    return manager_ ? manager_->Scale(rect) : rect;
}

void CControlUI::SendNotify(const std::string& type, std::uintptr_t wParam, std::intptr_t lParam) {
    if (manager_) manager_->SendNotify(this, type, wParam, lParam);
}

bool CControlUI::SetTimer(int id, int elapseMs) {
    return manager_ && manager_->SetTimer(this, id, elapseMs);
}

bool CControlUI::KillTimer(int id) {
    return manager_ && manager_->KillTimer(this, id);
}

}  // namespace q731
