#pragma once
// Lists and combos. A CListUI is a scrolling column of elements; a CComboUI
// holds the same elements and shows the selected one, offering the rest in a
// drop-down. Both select with SelectItem (index, take focus, notify), which
// sends "itemselect" (wParam new index, lParam previous index) only when asked
// to and only when the selection changed.

#include <string>
#include <vector>

#include "ui/widgets/container.h"

namespace q731 {

struct TListInfoUI {
    int font = -1;
    UiColor textColor = 0xFF000000;
    UiColor bkColor = 0;
    UiColor hotBkColor = 0;
    UiColor selectedBkColor = 0;
    UiColor selectedTextColor = 0;
    UiColor hotTextColor = 0;
    UiColor disabledTextColor = 0xFF999999;
    UiRect textPadding{4, 0, 4, 0};
    int itemHeight = 30;  // design pixels, for elements without a height of their own
};

class IListOwnerUI {
public:
    virtual ~IListOwnerUI() = default;
    virtual TListInfoUI& GetListInfo() = 0;
    virtual int GetCurSel() const = 0;
    virtual bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true) = 0;
    // Ctrl-click on an element of a multi-select list.
    virtual bool ToggleItem(int) { return false; }
    virtual bool IsItemSelected(int index) const { return index == GetCurSel(); }
};

class CListContainerElementUI : public CHorizontalLayoutUI {
public:
    std::string_view GetClass() const override { return "ListContainerElementUI"; }
    IListOwnerUI* GetOwner() const;
    int GetIndex() const;
    bool IsSelected() const;
    bool Select(bool select = true, bool triggerEvent = true);
    bool Activate() override;
    void DoEvent(TEventUI& event) override;
    UiSize EstimateSize(UiSize available) override;
    void PaintBkColor(IRenderer& renderer) override;
};

// An element that is just a line of text (combo items and simple lists).
class CListLabelElementUI : public CListContainerElementUI {
public:
    std::string_view GetClass() const override { return "ListLabelElementUI"; }
    void PaintText(IRenderer& renderer) override;
};

class CListUI : public CVerticalLayoutUI, public IListOwnerUI {
public:
    CListUI();
    std::string_view GetClass() const override { return "ListUI"; }
    bool SetAttribute(std::string_view name, std::string_view value) override;
    void DoEvent(TEventUI& event) override;

    TListInfoUI& GetListInfo() override { return info_; }
    int GetCurSel() const override { return curSel_; }
    bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true) override;
    bool ToggleItem(int index) override;
    bool IsItemSelected(int index) const override;
    void SetMultiSelect(bool on) { multiSelect_ = on; }
    std::vector<int> GetSelectedItems() const;
    // Keeps the selection pointing at the same element when elements come and go.
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;

private:
    TListInfoUI info_;
    int curSel_ = -1;
    bool multiSelect_ = false;
    std::vector<const CControlUI*> extraSelected_;
};

class CComboUI : public CContainerUI, public IListOwnerUI {
public:
    CComboUI();
    std::string_view GetClass() const override { return "ComboUI"; }
    void DoInit() override;
    bool WantsFocus() const override { return true; }
    bool SetAttribute(std::string_view name, std::string_view value) override;
    void DoEvent(TEventUI& event) override;
    bool Activate() override;
    void SetPos(const UiRect& rc) override;
    CControlUI* FindControlAt(UiPoint point) override;
    void DoPaint(IRenderer& renderer, const UiRect& paintRect) override;
    void PaintStatusImage(IRenderer& renderer) override;
    void PaintText(IRenderer& renderer) override;
    std::string GetText() const override;

    TListInfoUI& GetListInfo() override { return info_; }
    int GetCurSel() const override { return curSel_; }
    bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true) override;
    // The form some callers use: SelectItem1 (index, take focus, notify).
    bool SelectItem1(int index, bool takeFocus, bool triggerEvent) {
        return SelectItem(index, takeFocus, triggerEvent);
    }
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;
    // Drop-down size in design pixels (0 width: as wide as the combo).
    UiSize GetDropBoxSize() const { return dropBoxSize_; }
    bool IsDroppedDown() const { return droppedDown_; }
    void SetDroppedDown(bool on);

private:
    TListInfoUI info_;
    int curSel_ = -1;
    UiSize dropBoxSize_{0, 150};
    bool droppedDown_ = false;
    std::string normalImage_;
    std::string hotImage_;
    std::string pushedImage_;
    std::string disabledImage_;
    std::string arrowImage_;
};

}  // namespace q731
