#include "ui/controls/host_controls.h"

#include "platform/log.h"
#include "ui/widgets/dialog_builder.h"

namespace q731 {

void CWndUI::Attach(CWindowWnd* window) {
    window_ = window;
    windowAlive_ = window ? window->GetAliveToken() : std::weak_ptr<bool>();
    SyncWindow();
}

CWindowWnd* CWndUI::GetWindow() const {
    auto alive = windowAlive_.lock();
    return alive && *alive ? window_ : nullptr;
}

void CWndUI::SetPos(const UiRect& rc) {
    CControlUI::SetPos(rc);
    SyncWindow();
}

void CWndUI::SetVisible(bool visible) {
    CControlUI::SetVisible(visible);
    SyncWindow();
}

void CWndUI::SetInternVisible(bool visible) {
    CControlUI::SetInternVisible(visible);
    SyncWindow();
}

void CWndUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    CControlUI::SetManager(manager, parent, init);
    // A control taken out of its window takes the hosted window off the screen.
    SyncWindow();
}

UiRect CWndUI::GetScreenRect() const {
    UiRect rc = rcItem_;
    if (!manager_) return rc;
    if (auto* backend = dynamic_cast<IWindowBackend*>(manager_->GetHost())) {
        const UiRect window = backend->GetWindowRect();
        rc = rc.Offset(window.left, window.top);
    }
    return rc;
}

void CWndUI::SyncWindow() {
    CWindowWnd* window = GetWindow();
    if (!window || window->GetHWND() == 0) return;
    const bool show = manager_ && IsVisible();
    // Before the first layout the rectangle is empty: leave the window where it is.
    if (show && !rcItem_.IsEmpty()) window->MoveWindow(GetScreenRect());
    window->ShowWindow(show, false);
}

void CComboEditContainerElementUI::DoInit() {
    if (built_) return;
    built_ = true;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> content = builder.Create(kLayout, {}, nullptr, manager_);
    if (!content) {
        LogWarning("macro list row: cannot build " + std::string(kLayout) + ": " +
                   builder.GetLastError());
        return;
    }
    Add(std::move(content));
}

bool CComboEditContainerElementUI::SetAttribute(std::string_view name, std::string_view value) {
    const std::string key = ToLower(name);
    if (key == "normalimage" || key == "hotimage" || key == "selectedimage") return true;
    if (key == "menu") {
        contextMenu_ = ParseBool(value);
        return true;
    }
    return CListContainerElementUI::SetAttribute(name, value);
}

void CComboEditContainerElementUI::DoEvent(TEventUI& event) {
    if (event.Type == UiEventType::ContextMenu && contextMenu_ && IsEnabled()) {
        SendNotify(notify::kMenu);
        return;
    }
    CListContainerElementUI::DoEvent(event);
}

namespace {

template <typename T>
T* FindPart(CControlUI* row, std::string_view name) {
    CControlUI* found =
        row->FindControl([&](CControlUI* c) { return c != row && c->GetName() == name; });
    return dynamic_cast<T*>(found);
}

}  // namespace

CLabelUI* CComboEditContainerElementUI::GetText1() {
    return FindPart<CLabelUI>(this, "text1");
}

CLabelUI* CComboEditContainerElementUI::GetText2() {
    return FindPart<CLabelUI>(this, "text2");
}

CEditUI* CComboEditContainerElementUI::GetDelayEdit() {
    return FindPart<CEditUI>(this, "delay_edit");
}

}  // namespace q731
