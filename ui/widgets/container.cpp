#include "ui/widgets/container.h"

#include <algorithm>

#include "ui/widgets/paint_manager.h"

namespace q731 {

namespace {
constexpr int kScrollBarWidth = 6;  // design pixels
constexpr int kWheelStep = 40;      // design pixels per wheel notch
}  // namespace

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
    // Children go first, while this container is still whole.
    while (!items_.empty())
        items_.pop_back();
}

CControlUI* CContainerUI::Add(std::unique_ptr<CControlUI> control) {
    return AddAt(std::move(control), GetCount());
}

CControlUI* CContainerUI::AddAt(std::unique_ptr<CControlUI> control, int index) {
    if (!control) return nullptr;
    index = std::clamp(index, 0, GetCount());
    CControlUI* raw = control.get();
    items_.insert(items_.begin() + index, std::move(control));
    raw->SetManager(manager_, this, manager_ != nullptr);
    PropagateVisibility();
    NeedUpdate();
    return raw;
}

std::unique_ptr<CControlUI> CContainerUI::Detach(CControlUI* control) {
    auto it = std::find_if(items_.begin(), items_.end(),
                           [&](const auto& item) { return item.get() == control; });
    if (it == items_.end()) return nullptr;
    std::unique_ptr<CControlUI> owned = std::move(*it);
    items_.erase(it);
    owned->SetManager(nullptr, nullptr, false);
    NeedUpdate();
    return owned;
}

bool CContainerUI::Remove(CControlUI* control) {
    CPaintManagerUI* manager = manager_;
    auto owned = Detach(control);
    if (!owned) return false;
    if (manager) {
        manager->ReleaseControl(std::move(owned));
    }
    return true;
}

bool CContainerUI::RemoveAt(int index) {
    return Remove(GetItemAt(index));
}

void CContainerUI::RemoveAll() {
    while (!items_.empty())
        Remove(items_.back().get());
    scrollPos_ = {};
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return items_[static_cast<std::size_t>(index)].get();
}

int CContainerUI::GetItemIndex(const CControlUI* control) const {
    for (int i = 0; i < GetCount(); ++i) {
        if (items_[static_cast<std::size_t>(i)].get() == control) return i;
    }
    return -1;
}

bool CContainerUI::SetItemIndex(CControlUI* control, int index) {
    int from = GetItemIndex(control);
    if (from < 0 || index < 0 || index >= GetCount()) return false;
    auto owned = std::move(items_[static_cast<std::size_t>(from)]);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + index, std::move(owned));
    PropagateVisibility();
    NeedUpdate();
    return true;
}

void CContainerUI::SetInset(const UiRect& inset) {
    inset_ = inset;
    NeedUpdate();
}

void CContainerUI::SetChildPadding(int padding) {
    childPadding_ = std::max(0, padding);
    NeedUpdate();
}

void CContainerUI::EnableScrollBar(bool vertical, bool horizontal) {
    vScrollEnabled_ = vertical;
    hScrollEnabled_ = horizontal;
    if (!vertical) scrollPos_.cy = 0;
    if (!horizontal) scrollPos_.cx = 0;
    NeedUpdate();
}

void CContainerUI::SetScrollPos(UiSize pos) {
    pos.cx = std::clamp(pos.cx, 0, scrollRange_.cx);
    pos.cy = std::clamp(pos.cy, 0, scrollRange_.cy);
    if (pos == scrollPos_) return;
    scrollPos_ = pos;
    UiRect rc = rcItem_;
    rcItem_ = {};  // force the relayout of SetPos
    SetPos(rc);
    Invalidate();
}

void CContainerUI::EnsureVisible(const CControlUI* control) {
    if (!control) return;
    UiRect content = ContentRect();
    const UiRect& pos = control->GetPos();
    UiSize target = scrollPos_;
    if (pos.top < content.top) target.cy -= content.top - pos.top;
    if (pos.bottom > content.bottom) target.cy += pos.bottom - content.bottom;
    if (pos.left < content.left) target.cx -= content.left - pos.left;
    if (pos.right > content.right) target.cx += pos.right - content.right;
    SetScrollPos(target);
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    for (auto& item : items_)
        item->SetManager(manager, this, init);
    CControlUI::SetManager(manager, parent, init);
}

void CContainerUI::PropagateVisibility() {
    for (int i = 0; i < GetCount(); ++i) {
        items_[static_cast<std::size_t>(i)]->SetInternVisible(IsVisible() && IsChildShown(i));
    }
}

void CContainerUI::SetVisible(bool visible) {
    CControlUI::SetVisible(visible);
    PropagateVisibility();
}

void CContainerUI::SetInternVisible(bool visible) {
    CControlUI::SetInternVisible(visible);
    PropagateVisibility();
}

void CContainerUI::SetEnabled(bool enabled) {
    CControlUI::SetEnabled(enabled);
    Invalidate();
}

bool CContainerUI::SetAttribute(std::string_view name, std::string_view value) {
    std::string key = ToLower(name);
    if (key == "inset") {
        if (auto r = ParseRect(value)) SetInset(*r);
    } else if (key == "childpadding") {
        if (auto v = ParseInt(value)) SetChildPadding(*v);
    } else if (key == "mousechild") {
        SetMouseChildEnabled(ParseBool(value));
    } else if (key == "vscrollbar") {
        EnableScrollBar(ParseBool(value), hScrollEnabled_);
    } else if (key == "hscrollbar") {
        EnableScrollBar(vScrollEnabled_, ParseBool(value));
    } else if (key == "scrollthumbcolor") {
        if (auto c = ParseColor(value)) scrollThumbColor_ = *c;
    } else {
        return CControlUI::SetAttribute(name, value);
    }
    return true;
}

UiRect CContainerUI::ContentRect() const {
    UiRect rc = rcItem_.Deflate(Scale(inset_));
    if (scrollRange_.cy > 0) rc.right -= Scale(kScrollBarWidth);
    if (scrollRange_.cx > 0) rc.bottom -= Scale(kScrollBarWidth);
    return rc;
}

void CContainerUI::LayoutFloat(CControlUI* child) {
    UiRect pos = Scale(child->GetFloatPos());
    child->SetPos(pos.Offset(rcItem_.left, rcItem_.top));
}

void CContainerUI::SetPos(const UiRect& rc) {
    CControlUI::SetPos(rc);
    UiRect inner = rcItem_.Deflate(Scale(inset_));
    for (auto& item : items_) {
        if (!item->IsVisible()) continue;
        if (item->IsFloat()) {
            LayoutFloat(item.get());
        } else {
            item->SetPos(inner.Deflate(Scale(item->GetPadding())));
        }
    }
}

void CContainerUI::LayoutLinear(const UiRect& rc, bool vertical) {
    CControlUI::SetPos(rc);
    // Two passes when scrolling: the scroll bar takes width only once content overflows.
    for (int pass = 0; pass < 2; ++pass) {
        UiRect inner = rcItem_.Deflate(Scale(inset_));
        bool scrollAlong = vertical ? vScrollEnabled_ : hScrollEnabled_;
        UiSize range = scrollRange_;
        if (scrollAlong && (vertical ? range.cy : range.cx) > 0) {
            (vertical ? inner.right : inner.bottom) -= Scale(kScrollBarWidth);
        }
        const int along = vertical ? inner.Height() : inner.Width();
        const int across = vertical ? inner.Width() : inner.Height();
        const int gap = Scale(childPadding_);

        struct Slot {
            CControlUI* child;
            UiSize want;
            UiRect pad;
        };
        std::vector<Slot> slots;
        int fixedTotal = 0;
        int flexible = 0;
        for (auto& item : items_) {
            if (!item->IsVisible() || item->IsFloat()) continue;
            UiSize want = item->EstimateSize({inner.Width(), inner.Height()});
            UiRect pad = Scale(item->GetPadding());
            int len = vertical ? want.cy : want.cx;
            int lo = Scale(vertical ? item->GetMinHeight() : item->GetMinWidth());
            int hi = Scale(vertical ? item->GetMaxHeight() : item->GetMaxWidth());
            if (len > 0) {
                fixedTotal += std::clamp(len, lo, std::max(lo, hi));
            } else {
                ++flexible;
            }
            fixedTotal += vertical ? pad.top + pad.bottom : pad.left + pad.right;
            slots.push_back({item.get(), want, pad});
        }
        if (slots.size() > 1) fixedTotal += gap * static_cast<int>(slots.size() - 1);
        // Shared space: a flexible child held by its minimum or maximum takes
        // that size, and the rest is shared again among the others.
        std::vector<bool> pinned(slots.size(), false);
        int share = 0;
        for (bool again = true; again;) {
            again = false;
            share = flexible > 0 ? std::max(0, (along - fixedTotal) / flexible) : 0;
            for (std::size_t i = 0; i < slots.size(); ++i) {
                CControlUI* child = slots[i].child;
                if (pinned[i] || (vertical ? slots[i].want.cy : slots[i].want.cx) > 0) continue;
                int lo = Scale(vertical ? child->GetMinHeight() : child->GetMinWidth());
                int hi = Scale(vertical ? child->GetMaxHeight() : child->GetMaxWidth());
                int held = std::clamp(share, lo, std::max(lo, hi));
                if (held == share) continue;
                pinned[i] = true;
                (vertical ? slots[i].want.cy : slots[i].want.cx) = held;
                fixedTotal += held;
                --flexible;
                again = true;
                break;
            }
        }

        int offset = scrollAlong ? (vertical ? scrollPos_.cy : scrollPos_.cx) : 0;
        int cursor = (vertical ? inner.top : inner.left) - offset;
        int content = 0;
        for (const Slot& slot : slots) {
            CControlUI* child = slot.child;
            int len = vertical ? slot.want.cy : slot.want.cx;
            int lo = Scale(vertical ? child->GetMinHeight() : child->GetMinWidth());
            int hi = Scale(vertical ? child->GetMaxHeight() : child->GetMaxWidth());
            len = std::clamp(len > 0 ? len : share, lo, std::max(lo, hi));
            int wantAcross = vertical ? slot.want.cx : slot.want.cy;
            int padAcross =
                vertical ? slot.pad.left + slot.pad.right : slot.pad.top + slot.pad.bottom;
            int width =
                wantAcross > 0 ? std::min(wantAcross, across - padAcross) : across - padAcross;
            width = std::max(0, width);
            UiRect pos;
            if (vertical) {
                cursor += slot.pad.top;
                pos = {inner.left + slot.pad.left, cursor, inner.left + slot.pad.left + width,
                       cursor + len};
                cursor += len + slot.pad.bottom + gap;
            } else {
                cursor += slot.pad.left;
                pos = {cursor, inner.top + slot.pad.top, cursor + len,
                       inner.top + slot.pad.top + width};
                cursor += len + slot.pad.right + gap;
            }
            child->SetPos(pos);
        }
        content = cursor + offset - (vertical ? inner.top : inner.left) - (slots.empty() ? 0 : gap);
        int overflow = scrollAlong ? std::max(0, content - along) : 0;
        if (vertical) {
            scrollRange_.cy = overflow;
            scrollPos_.cy = std::min(scrollPos_.cy, overflow);
        } else {
            scrollRange_.cx = overflow;
            scrollPos_.cx = std::min(scrollPos_.cx, overflow);
        }
        bool barChanged =
            (range.cy > 0) != (scrollRange_.cy > 0) || (range.cx > 0) != (scrollRange_.cx > 0);
        if (!barChanged) break;
    }
    for (auto& item : items_) {
        if (item->IsVisible() && item->IsFloat()) LayoutFloat(item.get());
    }
}

void CVerticalLayoutUI::SetPos(const UiRect& rc) {
    LayoutLinear(rc, true);
}
void CHorizontalLayoutUI::SetPos(const UiRect& rc) {
    LayoutLinear(rc, false);
}

bool CContainerUI::ScrollBy(int steps) {
    UiSize target = scrollPos_;
    if (scrollRange_.cy > 0) {
        target.cy -= steps * Scale(kWheelStep);
    } else if (scrollRange_.cx > 0) {
        target.cx -= steps * Scale(kWheelStep);
    } else {
        return false;
    }
    target.cx = std::clamp(target.cx, 0, scrollRange_.cx);
    target.cy = std::clamp(target.cy, 0, scrollRange_.cy);
    if (target == scrollPos_) return false;
    SetScrollPos(target);
    return true;
}

void CContainerUI::DoEvent(TEventUI& event) {
    if (event.Type == UiEventType::ScrollWheel && (scrollRange_.cy > 0 || scrollRange_.cx > 0)) {
        int steps = event.wheelDelta / 120;
        if (steps == 0) steps = event.wheelDelta > 0 ? 1 : -1;
        if (ScrollBy(steps)) {
            if (manager_) manager_->HandleMouseMove(event.ptMouse);
            return;
        }
        // At the end of its range the wheel goes on to outer containers.
    }
    CControlUI::DoEvent(event);
}

CControlUI* CContainerUI::FindControlAt(UiPoint point) {
    if (!IsVisible() || !rcItem_.Contains(point)) return nullptr;
    if (mouseChildEnabled_) {
        UiRect clip = rcItem_.Deflate(Scale(inset_));
        for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
            if (!(*it)->IsFloat() && !clip.Contains(point)) continue;
            if (CControlUI* hit = (*it)->FindControlAt(point)) return hit;
        }
    }
    return mouseEnabled_ ? this : nullptr;
}

CControlUI* CContainerUI::FindControl(const std::function<bool(CControlUI*)>& visit) {
    if (visit(this)) return this;
    for (auto& item : items_) {
        if (CControlUI* found = item->FindControl(visit)) return found;
    }
    return nullptr;
}

void CContainerUI::PaintScrollBars(IRenderer& renderer) {
    UiRect inner = rcItem_.Deflate(Scale(inset_));
    int bar = Scale(kScrollBarWidth);
    if (scrollRange_.cy > 0) {
        int track = inner.Height();
        int total = track + scrollRange_.cy;
        int thumb = std::max(bar * 2, track * track / std::max(1, total));
        int top = inner.top + (track - thumb) * scrollPos_.cy / std::max(1, scrollRange_.cy);
        renderer.FillRoundRect({inner.right - bar, top, inner.right, top + thumb}, bar / 2,
                               scrollThumbColor_);
    }
    if (scrollRange_.cx > 0) {
        int track = inner.Width();
        int total = track + scrollRange_.cx;
        int thumb = std::max(bar * 2, track * track / std::max(1, total));
        int left = inner.left + (track - thumb) * scrollPos_.cx / std::max(1, scrollRange_.cx);
        renderer.FillRoundRect({left, inner.bottom - bar, left + thumb, inner.bottom}, bar / 2,
                               scrollThumbColor_);
    }
}

void CContainerUI::DoPaint(IRenderer& renderer, const UiRect& paintRect) {
    UiRect area = rcItem_.Intersect(paintRect);
    if (area.IsEmpty()) return;
    CControlUI::DoPaint(renderer, paintRect);
    UiRect clip = rcItem_.Deflate(Scale(inset_)).Intersect(area);
    renderer.PushClip(area);
    for (auto& item : items_) {
        if (!item->IsVisible()) continue;
        if (item->IsFloat()) {
            item->DoPaint(renderer, area);
        } else if (!clip.IsEmpty() && item->GetPos().Intersects(clip)) {
            renderer.PushClip(clip);
            item->DoPaint(renderer, clip);
            renderer.PopClip();
        }
    }
    PaintScrollBars(renderer);
    renderer.PopClip();
}

bool CTabLayoutUI::SelectItem(int index) {
    if (index < 0 || index >= GetCount()) return false;
    if (index == curSel_) return true;
    curSel_ = index;
    PropagateVisibility();
    NeedUpdate();
    return true;
}

bool CTabLayoutUI::SetAttribute(std::string_view name, std::string_view value) {
    if (EqualsNoCase(name, "selectedid")) {
        if (auto v = ParseInt(value)) {
            curSel_ = std::max(0, *v);
            PropagateVisibility();
        }
        return true;
    }
    return CContainerUI::SetAttribute(name, value);
}

void CTabLayoutUI::SetPos(const UiRect& rc) {
    CControlUI::SetPos(rc);
    UiRect inner = rcItem_.Deflate(Scale(inset_));
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* item = GetItemAt(i);
        if (i != curSel_) continue;
        if (item->IsFloat()) {
            LayoutFloat(item);
        } else {
            item->SetPos(inner.Deflate(Scale(item->GetPadding())));
        }
    }
}

}  // namespace q731
