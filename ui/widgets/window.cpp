#include "ui/widgets/window.h"

#include <algorithm>
#include <atomic>

#include "platform/log.h"
#include "ui/widgets/resource_manager.h"

namespace q731 {

namespace {
std::atomic<IUiPlatform*> gPlatform{nullptr};
}  // namespace

void SetUiPlatform(IUiPlatform* platform) {
    gPlatform.store(platform);
}
IUiPlatform* GetUiPlatform() {
    return gPlatform.load();
}

UiLoop& DefaultUiLoop() {
    if (IUiPlatform* platform = GetUiPlatform()) return platform->Loop();
    static UiLoop loop;
    return loop;
}

void CPaintManagerUI::MessageLoop() {
    if (IUiPlatform* platform = GetUiPlatform()) platform->RunMessageLoop();
}

std::string IconFileForResource(int resourceId) {
    auto file = CResourceManager::GetInstance().GetResourceFile(std::to_string(resourceId));
    return file ? CPaintManagerUI::ResolveImagePath(*file) : std::string();
}

CWindowWnd::CWindowWnd() = default;

CWindowWnd::~CWindowWnd() {
    *alive_ = false;
    if (backend_) backend_->Destroy();
}

WindowHandle CWindowWnd::GetHWND() const {
    return backend_ && !finalized_ ? reinterpret_cast<WindowHandle>(backend_.get()) : 0;
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
    if (backend_ && !finalized_) backend_->Show(show, takeFocus);
}

int CWindowWnd::ShowModal() {
    if (!backend_ || finalized_) return -1;
    backend_->Show(true, true);
    backend_->RunModalLoop([this] { return closing_; });
    int code = closing_ ? closeCode_ : -1;
    if (!closing_) LogWarning("modal loop ended without a close");
    closing_ = true;
    // May delete this object (OnFinalMessage); nothing below touches members.
    FinalizeClose();
    return code;
}

void CWindowWnd::Close(int code) {
    if (closing_ || finalized_) return;
    if (HandleMessage(kMsgClose, static_cast<WPARAM>(code), 0) != 0) return;  // refused
    closing_ = true;
    closeCode_ = code;
    if (backend_) backend_->Show(false, false);
    // The window goes away after the current event, never under the caller's feet.
    WindowLoop().Post([this, alive = alive_] {
        if (*alive) FinalizeClose();
    });
}

void CWindowWnd::FinalizeClose() {
    if (finalized_) return;
    finalized_ = true;
    WindowLoop().KillTimers(this);
    HandleMessage(kMsgDestroy, 0, 0);
    OnBackendGone();
    if (backend_) backend_->Destroy();
    OnFinalMessage();
}

void CWindowWnd::CenterWindow() {
    if (!backend_) return;
    UiRect rc = backend_->GetWindowRect();
    UiRect area;
    if (owner_ && owner_->backend_ && owner_->backend_->IsVisible()) {
        area = owner_->backend_->GetWindowRect();
    }
    std::vector<ScreenInfo> screens;
    if (IUiPlatform* platform = GetUiPlatform()) screens = platform->Screens();
    UiRect work = screens.empty() ? UiRect{0, 0, 1920, 1080} : screens.front().workArea;
    UiPoint center{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
    for (const ScreenInfo& screen : screens) {
        if (screen.geometry.Contains(center)) work = screen.workArea;
    }
    if (area.IsEmpty()) area = work;
    int x = area.left + (area.Width() - rc.Width()) / 2;
    int y = area.top + (area.Height() - rc.Height()) / 2;
    // Keep the window on the screen it belongs to.
    x = std::clamp(x, work.left, std::max(work.left, work.right - rc.Width()));
    y = std::clamp(y, work.top, std::max(work.top, work.bottom - rc.Height()));
    backend_->SetWindowRect({x, y, x + rc.Width(), y + rc.Height()});
}

void CWindowWnd::ResizeClient(int cx, int cy) {
    if (!backend_) return;
    UiRect rc = backend_->GetWindowRect();
    backend_->SetWindowRect({rc.left, rc.top, rc.left + std::max(0, cx), rc.top + std::max(0, cy)});
}

void CWindowWnd::MoveWindow(const UiRect& screenRect) {
    if (backend_) backend_->SetWindowRect(screenRect);
}

UiRect CWindowWnd::GetWindowRect() const {
    return backend_ ? backend_->GetWindowRect() : UiRect{};
}

void CWindowWnd::SetIcon(int resourceId) {
    std::string file = IconFileForResource(resourceId);
    if (backend_ && !file.empty()) backend_->SetIconFile(file);
}

LRESULT CWindowWnd::SendMessage(unsigned msg, WPARAM wParam, LPARAM lParam) {
    UiLoop& loop = WindowLoop();
    if (loop.IsUiThread()) return HandleMessage(msg, wParam, lParam);
    auto result = loop.SendFor([&] { return *alive_ ? HandleMessage(msg, wParam, lParam) : 0; });
    return result.value_or(0);
}

bool CWindowWnd::PostMessage(unsigned msg, WPARAM wParam, LPARAM lParam) {
    return WindowLoop().Post([this, alive = alive_, msg, wParam, lParam] {
        if (*alive && !finalized_) HandleMessage(msg, wParam, lParam);
    });
}

bool CWindowWnd::SetTimer(int id, int elapseMs) {
    if (elapseMs <= 0 || finalized_) return false;
    WindowLoop().SetTimer(this, id, Millis(elapseMs), [this, alive = alive_, id] {
        if (*alive && !finalized_) HandleMessage(kMsgTimer, static_cast<WPARAM>(id), 0);
    });
    return true;
}

bool CWindowWnd::KillTimer(int id) {
    return WindowLoop().KillTimer(this, id);
}

WindowImplBase::WindowImplBase(UiLoop& loop) : m_pm(loop) {}

WindowImplBase::~WindowImplBase() {
    *alive_ = false;
    WindowLoop().KillTimers(this);
    m_pm.SetHost(nullptr);
    if (backend_) {
        backend_->Destroy();
        backend_.reset();
    }
}

bool WindowImplBase::Create(CWindowWnd* owner, const std::string& name, unsigned style,
                            unsigned exStyle) {
    IUiPlatform* platform = GetUiPlatform();
    if (!platform || backend_) return false;
    owner_ = owner;
    m_pm.SetName(name);
    CDialogBuilder builder;
    auto root = builder.Create(GetSkinFile(), {}, this, &m_pm);
    if (!root) {
        LogError("window " + GetWindowClassName() + ": cannot build " + GetSkinFile() + ": " +
                 builder.GetLastError());
        return false;
    }
    backend_ = platform->CreateWindowBackend(*this, owner, style, exStyle);
    if (!backend_) return false;
    m_pm.SetHost(backend_.get());
    m_pm.AttachDialog(std::move(root));
    m_pm.AddNotifier(this);
    m_pm.SetKeyPreview([this](int key, unsigned modifiers) { return OnKeyDown(key, modifiers); });
    UiSize size = m_pm.GetDPIObj()->Scale(m_pm.GetInitSize());
    if (size.cx > 0 && size.cy > 0) {
        UiRect rc = backend_->GetWindowRect();
        backend_->SetWindowRect({rc.left, rc.top, rc.left + size.cx, rc.top + size.cy});
    }
    backend_->SetTitle(name);
    InitWindow();
    m_pm.SendNotify(m_pm.GetRoot(), notify::kWindowInit, 0, 0, true);
    if (style & kWsVisible) backend_->Show(true, !(exStyle & kWsExNoActivate));
    return true;
}

void WindowImplBase::Notify(TNotifyUI& msg) {
    if (msg.sType == notify::kClick) OnClick(msg);
    NotifyPump(msg);
}

void WindowImplBase::OnClick(TNotifyUI& msg) {
    if (!msg.pSender || !backend_) return;
    const std::string& name = msg.pSender->GetName();
    if (name == "closebtn") {
        Close(0);
    } else if (name == "minbtn") {
        backend_->Minimize();
    } else if (name == "maxbtn") {
        backend_->Maximize();
        SyncMaximizeButtons(true);
    } else if (name == "restorebtn") {
        backend_->Restore();
        SyncMaximizeButtons(false);
    }
}

void WindowImplBase::ScaleTo(int dpi) {
    m_pm.SetDPI(dpi);
    const UiSize size = m_pm.GetDPIObj()->Scale(m_pm.GetInitSize());
    if (size.cx > 0 && size.cy > 0) ResizeClient(size.cx, size.cy);
}

void WindowImplBase::SyncMaximizeButtons(bool maximized) {
    if (CControlUI* max = m_pm.FindControl("maxbtn")) max->SetVisible(!maximized);
    if (CControlUI* restore = m_pm.FindControl("restorebtn")) restore->SetVisible(maximized);
}

LRESULT WindowImplBase::HandleMessage(unsigned msg, WPARAM wParam, LPARAM lParam) {
    bool handled = false;
    LRESULT result = HandleCustomMessage(msg, wParam, lParam, handled);
    if (handled) return result;
    switch (msg) {
        case kMsgSize:
            if (wParam != 1) SyncMaximizeButtons(wParam == 2);
            return 0;
        case kMsgDpiChanged:
            m_pm.SetDPI(static_cast<int>(wParam));
            return 0;
        default:
            return 0;
    }
}

LRESULT WindowImplBase::HandleCustomMessage(unsigned, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

std::unique_ptr<CControlUI> WindowImplBase::CreateControl(std::string_view) {
    return nullptr;
}

bool CTrayIcon::CreateTrayIcon(CWindowWnd* window, int iconId, const std::string& toolTip,
                               unsigned message) {
    IUiPlatform* platform = GetUiPlatform();
    if (!platform || !window) return false;
    backend_ = platform->CreateTray(
        IconFileForResource(iconId), toolTip,
        [window, alive = window->GetAliveToken(), iconId, message](bool right) {
            if (*alive)
                window->PostMessage(message, static_cast<WPARAM>(iconId),
                                    right ? kMsgRButtonUp : kMsgLButtonUp);
        });
    return backend_ != nullptr;
}

void CTrayIcon::DeleteTrayIcon() {
    backend_.reset();
}

void CTrayIcon::SetToolTipText(const std::string& text) {
    if (backend_) backend_->SetToolTip(text);
}

bool CTrayIcon::ShowNotice(const std::string& title, const std::string& text) {
    if (!backend_) return false;
    backend_->ShowNotice(title, text);
    return true;
}

}  // namespace q731
