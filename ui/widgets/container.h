#pragma once
// Containers and layouts: CContainerUI (children stacked in one rectangle),
// CVerticalLayoutUI and CHorizontalLayoutUI (children in a row, fixed sizes
// first, the rest shared), CTabLayoutUI (one child page at a time). A layout
// whose content overflows scrolls when its scroll bar is enabled.

#include <memory>
#include <vector>

#include "ui/widgets/control.h"

namespace q731 {

class CContainerUI : public CControlUI {
public:
    CContainerUI();
    ~CContainerUI() override;
    std::string_view GetClass() const override { return "ContainerUI"; }

    // Adds and owns `control`; returns it (nullptr for nullptr).
    CControlUI* Add(std::unique_ptr<CControlUI> control);
    CControlUI* AddAt(std::unique_ptr<CControlUI> control, int index);
    template <typename T, typename... Args>
    T* AddNew(Args&&... args) {
        auto owned = std::make_unique<T>(std::forward<Args>(args)...);
        T* raw = owned.get();
        Add(std::move(owned));
        return raw;
    }
    // Removes and destroys a child (after the current event when one is running).
    virtual bool Remove(CControlUI* control);
    bool RemoveAt(int index);
    virtual void RemoveAll();
    // Removes a child and hands it back instead of destroying it.
    std::unique_ptr<CControlUI> Detach(CControlUI* control);

    int GetCount() const { return static_cast<int>(items_.size()); }
    CControlUI* GetItemAt(int index) const;
    int GetItemIndex(const CControlUI* control) const;
    bool SetItemIndex(CControlUI* control, int index);

    void SetInset(const UiRect& inset);
    const UiRect& GetInset() const { return inset_; }
    void SetChildPadding(int padding);
    int GetChildPadding() const { return childPadding_; }
    void SetMouseChildEnabled(bool on) { mouseChildEnabled_ = on; }
    bool IsMouseChildEnabled() const { return mouseChildEnabled_; }
    void EnableScrollBar(bool vertical, bool horizontal);
    UiSize GetScrollPos() const { return scrollPos_; }
    UiSize GetScrollRange() const { return scrollRange_; }
    void SetScrollPos(UiSize pos);
    // Scrolls so that `control` (a descendant) is fully in view.
    void EnsureVisible(const CControlUI* control);

    void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) override;
    void SetVisible(bool visible) override;
    void SetInternVisible(bool visible) override;
    void SetEnabled(bool enabled) override;
    void SetPos(const UiRect& rc) override;
    bool SetAttribute(std::string_view name, std::string_view value) override;
    void DoEvent(TEventUI& event) override;
    CControlUI* FindControlAt(UiPoint point) override;
    CControlUI* FindControl(const std::function<bool(CControlUI*)>& visit) override;
    void DoPaint(IRenderer& renderer, const UiRect& paintRect) override;

protected:
    // Whether child `index` is shown when the container is (tab pages say no).
    virtual bool IsChildShown(int) const { return true; }
    void PropagateVisibility();
    // Places floating children relative to the container's corner.
    void LayoutFloat(CControlUI* child);
    // Lays children out along one axis; returns the content length.
    void LayoutLinear(const UiRect& rc, bool vertical);
    void PaintScrollBars(IRenderer& renderer);
    UiRect ContentRect() const;
    bool ScrollBy(int steps);

    std::vector<std::unique_ptr<CControlUI>> items_;
    UiRect inset_;
    int childPadding_ = 0;
    bool mouseChildEnabled_ = true;
    bool vScrollEnabled_ = false;
    bool hScrollEnabled_ = false;
    UiSize scrollPos_;
    UiSize scrollRange_;
    UiColor scrollThumbColor_ = 0x80808080;
};

class CVerticalLayoutUI : public CContainerUI {
public:
    std::string_view GetClass() const override { return "VerticalLayoutUI"; }
    void SetPos(const UiRect& rc) override;
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    std::string_view GetClass() const override { return "HorizontalLayoutUI"; }
    void SetPos(const UiRect& rc) override;
};

class CTabLayoutUI : public CContainerUI {
public:
    std::string_view GetClass() const override { return "TabLayoutUI"; }
    int GetCurSel() const { return curSel_; }
    // Shows page `index`; false (and no change) when there is no such page.
    bool SelectItem(int index);
    bool SelectItem(CControlUI* page) { return SelectItem(GetItemIndex(page)); }
    bool SetAttribute(std::string_view name, std::string_view value) override;
    void SetPos(const UiRect& rc) override;

protected:
    bool IsChildShown(int index) const override { return index == curSel_; }

private:
    int curSel_ = 0;
};

}  // namespace q731
