#include "ui/widgets/list.h"

#include <algorithm>

#include "ui/widgets/paint_manager.h"

namespace q731 {

namespace {

bool ParseListInfo(TListInfoUI& info, std::string_view key, std::string_view value) {
    auto color = [&](UiColor& into) {
        if (auto c = ParseColor(value)) into = *c;
        return true;
    };
    if (key == "itemfont") {
        if (auto v = ParseInt(value)) info.font = *v;
        return true;
    }
    if (key == "itemtextcolor") return color(info.textColor);
    if (key == "itembkcolor") return color(info.bkColor);
    if (key == "itemhotbkcolor") return color(info.hotBkColor);
    if (key == "itemselectedbkcolor") return color(info.selectedBkColor);
    if (key == "itemselectedtextcolor") return color(info.selectedTextColor);
    if (key == "itemhottextcolor") return color(info.hotTextColor);
    if (key == "itemdisabledtextcolor") return color(info.disabledTextColor);
    if (key == "itemtextpadding") {
        if (auto r = ParseRect(value)) info.textPadding = *r;
        return true;
    }
    if (key == "itemheight") {
        if (auto v = ParseInt(value); v && *v >= 0) info.itemHeight = *v;
        return true;
    }
    return false;
}

// Index of the next visible, enabled item from `from` in direction `dir`, or -1.
int NextSelectable(const CContainerUI& owner, int from, int dir) {
    for (int i = from + dir; i >= 0 && i < owner.GetCount(); i += dir) {
        CControlUI* item = owner.GetItemAt(i);
        if (item->IsVisible() && item->IsEnabled()) return i;
    }
    return -1;
}

}  // namespace

IListOwnerUI* CListContainerElementUI::GetOwner() const {
    return dynamic_cast<IListOwnerUI*>(parent_);
}

int CListContainerElementUI::GetIndex() const {
    auto* container = dynamic_cast<CContainerUI*>(parent_);
    return container ? container->GetItemIndex(this) : -1;
}

bool CListContainerElementUI::IsSelected() const {
    IListOwnerUI* owner = GetOwner();
    return owner && owner->IsItemSelected(GetIndex());
}

bool CListContainerElementUI::Select(bool select, bool triggerEvent) {
    IListOwnerUI* owner = GetOwner();
    if (!owner) return false;
    if (select) return owner->SelectItem(GetIndex(), false, triggerEvent);
    if (IsSelected()) return owner->SelectItem(-1, false, triggerEvent);
    return true;
}

bool CListContainerElementUI::Activate() {
    if (!CControlUI::Activate()) return false;
    SendNotify(notify::kItemActivate);
    return true;
}

void CListContainerElementUI::DoEvent(TEventUI& event) {
    if (!IsEnabled()) {
        CHorizontalLayoutUI::DoEvent(event);
        return;
    }
    switch (event.Type) {
        case UiEventType::ButtonDown:
        case UiEventType::RButtonDown:
            if (IListOwnerUI* owner = GetOwner()) {
                if ((event.wKeyState & kModControl) && owner->ToggleItem(GetIndex())) return;
                owner->SelectItem(GetIndex(), true, true);
            }
            return;
        case UiEventType::ButtonUp:
            if (rcItem_.Contains(event.ptMouse)) SendNotify(notify::kItemClick);
            return;
        case UiEventType::DblClick:
            Activate();
            return;
        case UiEventType::KeyDown:
            if (event.chKey == kKeyReturn) {
                Activate();
                SendNotify(notify::kReturn);
                return;
            }
            break;
        case UiEventType::MouseEnter:
            state_ |= kStateHot;
            Invalidate();
            return;
        case UiEventType::MouseLeave:
            state_ &= ~kStateHot;
            Invalidate();
            return;
        default:
            break;
    }
    CHorizontalLayoutUI::DoEvent(event);
}

UiSize CListContainerElementUI::EstimateSize(UiSize available) {
    UiSize size = CControlUI::EstimateSize(available);
    if (size.cy == 0) {
        IListOwnerUI* owner = GetOwner();
        size.cy = Scale(owner ? owner->GetListInfo().itemHeight : 30);
    }
    return size;
}

void CListContainerElementUI::PaintBkColor(IRenderer& renderer) {
    IListOwnerUI* owner = GetOwner();
    if (owner) {
        const TListInfoUI& info = owner->GetListInfo();
        UiColor color = info.bkColor;
        if (IsSelected() && info.selectedBkColor) {
            color = info.selectedBkColor;
        } else if ((state_ & kStateHot) && info.hotBkColor) {
            color = info.hotBkColor;
        }
        if ((color >> 24) != 0) renderer.FillRect(rcItem_, color);
    }
    CHorizontalLayoutUI::PaintBkColor(renderer);
}

void CListLabelElementUI::PaintText(IRenderer& renderer) {
    IListOwnerUI* owner = GetOwner();
    std::string text = GetText();
    if (!owner || text.empty()) {
        CListContainerElementUI::PaintText(renderer);
        return;
    }
    const TListInfoUI& info = owner->GetListInfo();
    UiColor color = textColor_ ? textColor_ : info.textColor;
    if (!IsEnabled()) {
        color = info.disabledTextColor;
    } else if (IsSelected() && info.selectedTextColor) {
        color = info.selectedTextColor;
    } else if ((state_ & kStateHot) && info.hotTextColor) {
        color = info.hotTextColor;
    }
    UiRect rc = rcItem_.Deflate(Scale(info.textPadding));
    renderer.DrawText(rc, text, color, ResolveFont(font_ >= 0 ? font_ : info.font),
                      kTextVCenter | kTextSingleLine | kTextEndEllipsis);
}

CListUI::CListUI() {
    vScrollEnabled_ = true;
}

bool CListUI::SetAttribute(std::string_view name, std::string_view value) {
    std::string key = ToLower(name);
    if (ParseListInfo(info_, key, value)) {
        Invalidate();
        return true;
    }
    if (key == "multiselect") {
        SetMultiSelect(ParseBool(value));
        return true;
    }
    return CVerticalLayoutUI::SetAttribute(name, value);
}

bool CListUI::SelectItem(int index, bool takeFocus, bool triggerEvent) {
    if (index < -1 || index >= GetCount()) return false;
    bool hadExtra = !extraSelected_.empty();
    extraSelected_.clear();
    if (index == curSel_) {
        if (hadExtra) Invalidate();
        return true;
    }
    int previous = curSel_;
    curSel_ = index;
    Invalidate();
    CControlUI* item = GetItemAt(index);
    if (item) {
        EnsureVisible(item);
        if (takeFocus) item->SetFocus();
    }
    if (triggerEvent) {
        SendNotify(notify::kItemSelect, static_cast<std::uintptr_t>(index),
                   static_cast<std::intptr_t>(previous));
    }
    return true;
}

bool CListUI::ToggleItem(int index) {
    if (!multiSelect_) return false;
    CControlUI* item = GetItemAt(index);
    if (!item) return false;
    if (index == curSel_) {
        curSel_ = -1;
    } else if (auto it = std::find(extraSelected_.begin(), extraSelected_.end(), item);
               it != extraSelected_.end()) {
        extraSelected_.erase(it);
    } else if (curSel_ < 0) {
        curSel_ = index;
    } else {
        extraSelected_.push_back(item);
    }
    Invalidate();
    SendNotify(notify::kItemSelect, static_cast<std::uintptr_t>(index), curSel_);
    return true;
}

bool CListUI::IsItemSelected(int index) const {
    if (index < 0) return false;
    if (index == curSel_) return true;
    CControlUI* item = GetItemAt(index);
    return std::find(extraSelected_.begin(), extraSelected_.end(), item) != extraSelected_.end();
}

std::vector<int> CListUI::GetSelectedItems() const {
    std::vector<int> selected;
    for (int i = 0; i < GetCount(); ++i) {
        if (IsItemSelected(i)) selected.push_back(i);
    }
    return selected;
}

bool CListUI::Remove(CControlUI* control) {
    int index = GetItemIndex(control);
    if (index < 0) return false;
    std::erase(extraSelected_, control);
    if (index == curSel_) {
        curSel_ = -1;
    } else if (index < curSel_) {
        --curSel_;
    }
    return CVerticalLayoutUI::Remove(control);
}

void CListUI::RemoveAll() {
    curSel_ = -1;
    extraSelected_.clear();
    CVerticalLayoutUI::RemoveAll();
}

void CListUI::DoEvent(TEventUI& event) {
    if (event.Type == UiEventType::KeyDown && IsEnabled()) {
        int dir = event.chKey == kKeyUp ? -1 : event.chKey == kKeyDown ? 1 : 0;
        if (dir != 0) {
            int next = NextSelectable(*this, curSel_, dir);
            if (next >= 0) SelectItem(next, true, true);
            return;
        }
    }
    CVerticalLayoutUI::DoEvent(event);
}

CComboUI::CComboUI() {
    textPadding_ = {6, 0, 24, 0};
    info_.selectedBkColor = 0xFFD8E6F5;
    info_.hotBkColor = 0xFFEEF3F9;
}

bool CComboUI::SetAttribute(std::string_view name, std::string_view value) {
    std::string key = ToLower(name);
    if (ParseListInfo(info_, key, value)) return true;
    if (key == "dropboxsize") {
        if (auto s = ParseSize(value)) dropBoxSize_ = {std::max(0, s->cx), std::max(0, s->cy)};
    } else if (key == "normalimage") {
        normalImage_ = std::string(value);
    } else if (key == "hotimage") {
        hotImage_ = std::string(value);
    } else if (key == "pushedimage") {
        pushedImage_ = std::string(value);
    } else if (key == "disabledimage") {
        disabledImage_ = std::string(value);
    } else if (key == "arrowimage") {
        arrowImage_ = std::string(value);
    } else if (key == "selectedid") {
        if (auto v = ParseInt(value)) curSel_ = std::max(-1, *v);  // checked in DoInit
    } else {
        return CContainerUI::SetAttribute(name, value);
    }
    Invalidate();
    return true;
}

void CComboUI::DoInit() {
    // A "selectedid" from the layout that names no item selects nothing.
    if (curSel_ >= GetCount()) curSel_ = -1;
}

bool CComboUI::SelectItem(int index, bool takeFocus, bool triggerEvent) {
    if (index < -1 || index >= GetCount()) return false;
    if (takeFocus) SetFocus();
    if (index == curSel_) return true;
    int previous = curSel_;
    curSel_ = index;
    Invalidate();
    if (triggerEvent) {
        SendNotify(notify::kItemSelect, static_cast<std::uintptr_t>(index),
                   static_cast<std::intptr_t>(previous));
    }
    return true;
}

bool CComboUI::Remove(CControlUI* control) {
    int index = GetItemIndex(control);
    if (index < 0) return false;
    if (index == curSel_) {
        curSel_ = -1;
    } else if (index < curSel_) {
        --curSel_;
    }
    return CContainerUI::Remove(control);
}

void CComboUI::RemoveAll() {
    curSel_ = -1;
    CContainerUI::RemoveAll();
}

std::string CComboUI::GetText() const {
    CControlUI* item = GetItemAt(curSel_);
    return item ? item->GetText() : std::string();
}

void CComboUI::SetDroppedDown(bool on) {
    droppedDown_ = on;
    Invalidate();
}

bool CComboUI::Activate() {
    if (!CControlUI::Activate()) return false;
    SendNotify(notify::kDropDown);
    if (manager_ && manager_->GetHost() && !droppedDown_) manager_->GetHost()->ShowDropDown(this);
    return true;
}

void CComboUI::DoEvent(TEventUI& event) {
    if (!IsEnabled()) {
        CContainerUI::DoEvent(event);
        return;
    }
    switch (event.Type) {
        case UiEventType::ButtonDown:
            state_ |= kStatePushed;
            Invalidate();
            return;
        case UiEventType::ButtonUp: {
            bool open = (state_ & kStatePushed) && rcItem_.Contains(event.ptMouse);
            state_ &= ~kStatePushed;
            Invalidate();
            if (open) Activate();
            return;
        }
        case UiEventType::KeyDown: {
            int dir = event.chKey == kKeyUp ? -1 : event.chKey == kKeyDown ? 1 : 0;
            if (dir != 0) {
                int next = NextSelectable(*this, curSel_, dir);
                if (next >= 0) SelectItem(next, false, true);
                return;
            }
            if (event.chKey == kKeyReturn || event.chKey == kKeySpace) {
                Activate();
                return;
            }
            break;
        }
        case UiEventType::ScrollWheel:
            // The wheel scrolls the page under the pointer; it never changes a
            // setting that the user only passed over.
            CControlUI::DoEvent(event);
            return;
        case UiEventType::MouseEnter:
            state_ |= kStateHot;
            Invalidate();
            return;
        case UiEventType::MouseLeave:
            state_ &= ~kStateHot;
            Invalidate();
            return;
        default:
            break;
    }
    CContainerUI::DoEvent(event);
}

void CComboUI::SetPos(const UiRect& rc) {
    CControlUI::SetPos(rc);
}

CControlUI* CComboUI::FindControlAt(UiPoint point) {
    return CControlUI::FindControlAt(point);
}

void CComboUI::DoPaint(IRenderer& renderer, const UiRect& paintRect) {
    CControlUI::DoPaint(renderer, paintRect);
}

void CComboUI::PaintStatusImage(IRenderer& renderer) {
    bool drawn = false;
    if (!IsEnabled()) {
        drawn = DrawImage(renderer, disabledImage_);
    } else if (state_ & kStatePushed || droppedDown_) {
        drawn = DrawImage(renderer, pushedImage_);
    } else if (state_ & kStateHot) {
        drawn = DrawImage(renderer, hotImage_);
    }
    if (!drawn) DrawImage(renderer, normalImage_);
    if (!arrowImage_.empty()) {
        int size = Scale(16);
        UiRect arrow{rcItem_.right - size - Scale(4), rcItem_.top + (rcItem_.Height() - size) / 2,
                     rcItem_.right - Scale(4), rcItem_.top + (rcItem_.Height() + size) / 2};
        DrawImage(renderer, arrowImage_, arrow);
    }
}

void CComboUI::PaintText(IRenderer& renderer) {
    UiColor color =
        IsEnabled() ? (textColor_ ? textColor_ : info_.textColor) : info_.disabledTextColor;
    PaintTextIn(renderer, GetText(), color);
}

}  // namespace q731
