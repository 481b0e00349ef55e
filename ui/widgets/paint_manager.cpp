#include "ui/widgets/paint_manager.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "platform/log.h"

namespace q731 {

namespace {

// Process-wide state of the toolkit, touched on the UI thread only.
struct Shared {
    std::vector<CPaintManagerUI*> managers;
    std::map<int, TFontInfo> fonts;
    std::optional<TFontInfo> defaultFont;
    std::string resourcePath;
    ResourceType resourceType = ResourceType::File;
    std::uintptr_t instance = 0;
};

Shared& GetShared() {
    static Shared shared;
    return shared;
}

// Image strings built at run time (fades, panning windows) would otherwise grow
// the cache without end.
constexpr std::size_t kMaxCachedDrawInfos = 4096;

}  // namespace

bool CDPI::SetScale(int dpi) {
    if (dpi < kMinDpi || dpi > kMaxDpi) return false;
    dpi_ = dpi;
    return true;
}

int CDPI::Scale(int value) const {
    if (dpi_ == kDesignDpi) return value;
    return static_cast<int>(std::lround(double(value) * dpi_ / kDesignDpi));
}

UiRect CDPI::Scale(const UiRect& rect) const {
    return {Scale(rect.left), Scale(rect.top), Scale(rect.right), Scale(rect.bottom)};
}

UiSize CDPI::Scale(const UiSize& size) const {
    return {Scale(size.cx), Scale(size.cy)};
}

class CPaintManagerUI::DispatchScope {
public:
    explicit DispatchScope(CPaintManagerUI& manager) : manager_(manager) {
        ++manager_.dispatchDepth_;
    }
    ~DispatchScope() {
        if (--manager_.dispatchDepth_ == 0) manager_.FlushReleased();
    }
    DispatchScope(const DispatchScope&) = delete;
    DispatchScope& operator=(const DispatchScope&) = delete;

private:
    CPaintManagerUI& manager_;
};

CPaintManagerUI::CPaintManagerUI(UiLoop& loop) : loop_(loop) {
    GetShared().managers.push_back(this);
}

CPaintManagerUI::~CPaintManagerUI() {
    *aliveToken_ = false;
    root_.reset();
    released_.clear();
    std::erase(GetShared().managers, this);
}

bool CPaintManagerUI::AttachDialog(std::unique_ptr<CControlUI> root) {
    if (!root) return false;
    hover_ = capture_ = focus_ = nullptr;
    if (root_) ReleaseControl(std::move(root_));
    root_ = std::move(root);
    root_->SetManager(this, nullptr, true);
    NeedUpdate();
    return true;
}

void CPaintManagerUI::InitControl(CControlUI* control) {
    alive_.insert(control);
    control->DoInit();
}

void CPaintManagerUI::ReapObjects(CControlUI* control) {
    alive_.erase(control);
    if (hover_ == control) hover_ = nullptr;
    if (capture_ == control) {
        capture_ = nullptr;
        if (host_) host_->SetCapture(false);
    }
    if (focus_ == control) focus_ = nullptr;
    if (host_) host_->ForgetControl(control);
    loop_.KillTimers(control);
}

void CPaintManagerUI::ReleaseControl(std::unique_ptr<CControlUI> control) {
    if (!control) return;
    if (dispatchDepth_ > 0) {
        control->SetVisible(false);
        released_.push_back(std::move(control));
        return;
    }
    control.reset();
}

void CPaintManagerUI::FlushReleased() {
    while (!released_.empty()) {
        auto batch = std::move(released_);
        released_.clear();
        batch.clear();
    }
}

CControlUI* CPaintManagerUI::FindControl(std::string_view name) const {
    if (!root_ || name.empty()) return nullptr;
    return root_->FindControl([&](CControlUI* c) { return c->GetName() == name; });
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* parent, std::string_view name) const {
    if (!parent || name.empty()) return nullptr;
    return parent->FindControl([&](CControlUI* c) { return c != parent && c->GetName() == name; });
}

CControlUI* CPaintManagerUI::FindControl(UiPoint point) const {
    return root_ ? root_->FindControlAt(point) : nullptr;
}

std::vector<CControlUI*> CPaintManagerUI::FindSubControlsByClass(CControlUI* parent,
                                                                 std::string_view className) const {
    std::vector<CControlUI*> found;
    if (!parent) return found;
    parent->FindControl([&](CControlUI* c) {
        if (c != parent && c->GetClass() == className) found.push_back(c);
        return false;
    });
    return found;
}

void CPaintManagerUI::SetClientSize(UiSize size) {
    size.cx = std::max(0, size.cx);
    size.cy = std::max(0, size.cy);
    if (size == clientSize_) return;
    clientSize_ = size;
    NeedUpdate();
    if (root_) {
        SendNotify(root_.get(), notify::kWindowSize, static_cast<std::uintptr_t>(size.cx), size.cy);
    }
}

void CPaintManagerUI::NeedUpdate() {
    updateNeeded_ = true;
    Invalidate();
}

bool CPaintManagerUI::UpdateLayout() {
    if (!updateNeeded_ || !root_) return false;
    updateNeeded_ = false;
    // Force a full pass even when the window size did not change.
    root_->rcItem_ = {};
    root_->SetPos({0, 0, clientSize_.cx, clientSize_.cy});
    firstLayout_ = false;
    return true;
}

void CPaintManagerUI::Invalidate(const UiRect& rect) {
    if (host_ && !rect.IsEmpty()) host_->InvalidateRect(rect);
}

void CPaintManagerUI::Invalidate() {
    Invalidate({0, 0, clientSize_.cx, clientSize_.cy});
}

void CPaintManagerUI::Paint(IRenderer& renderer, const UiRect& paintRect) {
    UpdateLayout();
    if (root_ && root_->IsVisible()) root_->DoPaint(renderer, paintRect);
}

void CPaintManagerUI::SendEvent(CControlUI* control, UiEventType type, UiPoint point,
                                unsigned modifiers, int key, int wheel) {
    if (!control || !IsAlive(control)) return;
    DispatchScope scope(*this);
    TEventUI event;
    event.Type = type;
    event.pSender = control;
    event.ptMouse = point;
    event.wKeyState = modifiers;
    event.chKey = key;
    event.wheelDelta = wheel;
    control->DoEvent(event);
}

void CPaintManagerUI::HandleMouseMove(UiPoint point, unsigned modifiers) {
    lastMouse_ = point;
    if (capture_) {
        SendEvent(capture_, UiEventType::MouseMove, point, modifiers);
        return;
    }
    CControlUI* hit = FindControl(point);
    if (hit != hover_) {
        CControlUI* old = hover_;
        hover_ = hit;
        SendEvent(old, UiEventType::MouseLeave, point, modifiers);
        if (hover_ == hit) SendEvent(hit, UiEventType::MouseEnter, point, modifiers);
    }
    if (hover_) SendEvent(hover_, UiEventType::MouseMove, point, modifiers);
}

void CPaintManagerUI::HandleMouseLeave() {
    if (capture_) return;
    CControlUI* old = hover_;
    hover_ = nullptr;
    SendEvent(old, UiEventType::MouseLeave, lastMouse_, 0);
}

void CPaintManagerUI::HandleButtonDown(UiPoint point, unsigned modifiers) {
    lastMouse_ = point;
    DispatchScope scope(*this);
    CControlUI* hit = FindControl(point);
    if (!hit || !hit->IsEnabled()) {
        SetFocus(nullptr);
        return;
    }
    // Focus moves first, so an edit that is left commits before the click acts.
    SetFocus(hit->WantsFocus() && hit->IsKeyboardEnabled() ? hit : nullptr);
    if (!IsAlive(hit)) return;
    capture_ = hit;
    if (host_) host_->SetCapture(true);
    SendEvent(hit, UiEventType::ButtonDown, point, modifiers);
}

void CPaintManagerUI::HandleButtonUp(UiPoint point, unsigned modifiers) {
    lastMouse_ = point;
    CControlUI* target = capture_;
    capture_ = nullptr;
    if (host_) host_->SetCapture(false);
    SendEvent(target, UiEventType::ButtonUp, point, modifiers);
}

void CPaintManagerUI::HandleDoubleClick(UiPoint point, unsigned modifiers) {
    lastMouse_ = point;
    CControlUI* hit = FindControl(point);
    if (!hit || !hit->IsEnabled()) return;
    capture_ = hit;
    if (host_) host_->SetCapture(true);
    SendEvent(hit, UiEventType::DblClick, point, modifiers);
}

void CPaintManagerUI::HandleRightButtonDown(UiPoint point, unsigned modifiers) {
    lastMouse_ = point;
    CControlUI* hit = FindControl(point);
    if (hit && hit->IsEnabled()) SendEvent(hit, UiEventType::RButtonDown, point, modifiers);
}

void CPaintManagerUI::HandleRightButtonUp(UiPoint point, unsigned modifiers) {
    lastMouse_ = point;
    CControlUI* hit = FindControl(point);
    if (!hit || !hit->IsEnabled()) return;
    SendEvent(hit, UiEventType::RButtonUp, point, modifiers);
    SendEvent(hit, UiEventType::ContextMenu, point, modifiers);
}

void CPaintManagerUI::HandleWheel(UiPoint point, int delta, unsigned modifiers) {
    lastMouse_ = point;
    if (delta == 0) return;
    CControlUI* hit = FindControl(point);
    if (hit) SendEvent(hit, UiEventType::ScrollWheel, point, modifiers, 0, delta);
}

void CPaintManagerUI::HandleKeyDown(int key, unsigned modifiers) {
    if (keyPreview_ && keyPreview_(key, modifiers)) return;
    if (key == kKeyTab && root_) {
        // Tab walks the focusable controls in tree order (Shift+Tab backwards).
        std::vector<CControlUI*> order;
        root_->FindControl([&](CControlUI* c) {
            if (c->WantsFocus() && c->IsVisible() && c->IsEnabled() && c->IsKeyboardEnabled()) {
                order.push_back(c);
            }
            return false;
        });
        if (order.empty()) return;
        auto it = std::find(order.begin(), order.end(), focus_);
        std::ptrdiff_t index = it == order.end() ? -1 : it - order.begin();
        std::ptrdiff_t count = static_cast<std::ptrdiff_t>(order.size());
        index =
            (modifiers & kModShift) ? (index <= 0 ? count - 1 : index - 1) : (index + 1) % count;
        SetFocus(order[static_cast<std::size_t>(index)]);
        return;
    }
    if (focus_) SendEvent(focus_, UiEventType::KeyDown, lastMouse_, modifiers, key);
}

void CPaintManagerUI::HandleChar(int character, unsigned modifiers) {
    if (focus_) SendEvent(focus_, UiEventType::Char, lastMouse_, modifiers, character);
}

void CPaintManagerUI::HandleWindowFocusLost() {
    if (!capture_) return;
    // A drag that loses the window ends as a release where the pointer was last seen.
    HandleButtonUp(lastMouse_, 0);
}

void CPaintManagerUI::SetFocus(CControlUI* control) {
    if (control == focus_) return;
    if (control && !IsAlive(control)) return;
    DispatchScope scope(*this);
    CControlUI* old = focus_;
    focus_ = control;
    SendEvent(old, UiEventType::KillFocus, lastMouse_, 0);
    // A killfocus handler may have moved the focus elsewhere already.
    if (control && focus_ == control) SendEvent(control, UiEventType::SetFocus, lastMouse_, 0);
}

void CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    if (notifier && std::find(notifiers_.begin(), notifiers_.end(), notifier) == notifiers_.end()) {
        notifiers_.push_back(notifier);
    }
}

void CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
    std::erase(notifiers_, notifier);
}

void CPaintManagerUI::SendNotify(CControlUI* control, const std::string& type,
                                 std::uintptr_t wParam, std::intptr_t lParam, bool async) {
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = control;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg, async);
}

void CPaintManagerUI::SendNotify(TNotifyUI& msg, bool async) {
    if (msg.pSender && !IsAlive(msg.pSender)) return;
    if (msg.pSender && msg.sVirtualWnd.empty()) msg.sVirtualWnd = msg.pSender->GetVirtualWnd();
    msg.ptMouse = lastMouse_;
    msg.dwTimestamp = static_cast<std::uint64_t>(
        std::chrono::duration_cast<Millis>(loop_.GetClock().Now().time_since_epoch()).count());
    if (async) {
        loop_.Post([this, token = std::weak_ptr<bool>(aliveToken_), msg]() mutable {
            auto alive = token.lock();
            if (alive && *alive) SendNotify(msg, false);
        });
        return;
    }
    DispatchScope scope(*this);
    // A handler may add or remove notifiers; deliver to the ones registered now
    // that are still registered when their turn comes.
    std::vector<INotifyUI*> receivers = notifiers_;
    for (INotifyUI* receiver : receivers) {
        if (std::find(notifiers_.begin(), notifiers_.end(), receiver) == notifiers_.end()) continue;
        receiver->Notify(msg);
    }
}

bool CPaintManagerUI::SetTimer(CControlUI* control, int id, int elapseMs) {
    if (!control || !IsAlive(control) || elapseMs <= 0) return false;
    loop_.SetTimer(control, id, Millis(elapseMs),
                   [this, control, id, token = std::weak_ptr<bool>(aliveToken_)] {
                       auto alive = token.lock();
                       if (!alive || !*alive || !IsAlive(control)) return;
                       DispatchScope scope(*this);
                       TEventUI event;
                       event.Type = UiEventType::Timer;
                       event.pSender = control;
                       event.wParam = static_cast<std::uintptr_t>(id);
                       event.ptMouse = lastMouse_;
                       control->DoEvent(event);
                   });
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* control, int id) {
    return control && loop_.KillTimer(control, id);
}

void CPaintManagerUI::KillTimers(CControlUI* control) {
    if (control) loop_.KillTimers(control);
}

bool CPaintManagerUI::SetDPI(int dpi) {
    if (!dpi_.SetScale(dpi)) {
        LogWarning("paint manager: scale " + std::to_string(dpi) + " dpi refused");
        return false;
    }
    ResetDPIAssets();
    NeedUpdate();
    return true;
}

void CPaintManagerUI::SetAllDPI(int dpi) {
    for (CPaintManagerUI* manager : GetShared().managers)
        manager->SetDPI(dpi);
}

void CPaintManagerUI::ResetDPIAssets() {
    if (host_) host_->ResetScaledAssets();
    Invalidate();
}

void CPaintManagerUI::AddFont(int id, std::string family, int size, bool bold, bool underline,
                              bool italic, bool shared) {
    TFontInfo font{std::move(family), std::clamp(size, 1, 500), bold, underline, italic};
    (shared ? GetShared().fonts : fonts_)[id] = std::move(font);
    NeedUpdate();
}

void CPaintManagerUI::SetDefaultFont(std::string family, int size, bool bold, bool underline,
                                     bool italic, bool shared) {
    TFontInfo font{std::move(family), std::clamp(size, 1, 500), bold, underline, italic};
    (shared ? GetShared().defaultFont : defaultFont_) = std::move(font);
    NeedUpdate();
}

void CPaintManagerUI::RemoveAllFonts(bool shared) {
    fonts_.clear();
    if (shared) GetShared().fonts.clear();
    NeedUpdate();
}

const TFontInfo* CPaintManagerUI::GetFontInfo(int id) const {
    if (id >= 0) {
        if (auto it = fonts_.find(id); it != fonts_.end()) return &it->second;
        auto& shared = GetShared().fonts;
        if (auto it = shared.find(id); it != shared.end()) return &it->second;
    }
    if (defaultFont_) return &*defaultFont_;
    if (GetShared().defaultFont) return &*GetShared().defaultFont;
    return nullptr;
}

UiFont CPaintManagerUI::GetScaledFont(int id) const {
    static const TFontInfo kBuiltIn{};
    const TFontInfo* info = GetFontInfo(id);
    if (!info) info = &kBuiltIn;
    return UiFont{info->family, std::max(1, Scale(info->size)), info->bold, info->underline,
                  info->italic};
}

void CPaintManagerUI::AddDefaultAttributeList(std::string_view elementName,
                                              std::string attributes) {
    defaultAttributes_[ToLower(elementName)] = std::move(attributes);
}

const std::string* CPaintManagerUI::GetDefaultAttributeList(std::string_view elementName) const {
    auto it = defaultAttributes_.find(ToLower(elementName));
    return it == defaultAttributes_.end() ? nullptr : &it->second;
}

void CPaintManagerUI::SetHSL(int hue, int saturation, int lightness) {
    hue_ = std::clamp(hue, -180, 180);
    saturation_ = std::clamp(saturation, 0, 200);
    lightness_ = std::clamp(lightness, 0, 200);
    Invalidate();
}

void CPaintManagerUI::GetHSL(int& hue, int& saturation, int& lightness) const {
    hue = hue_;
    saturation = saturation_;
    lightness = lightness_;
}

void CPaintManagerUI::SetInstance(std::uintptr_t instance) {
    GetShared().instance = instance;
}
std::uintptr_t CPaintManagerUI::GetInstance() {
    return GetShared().instance;
}
void CPaintManagerUI::SetResourcePath(std::string path) {
    GetShared().resourcePath = std::move(path);
}
const std::string& CPaintManagerUI::GetResourcePath() {
    return GetShared().resourcePath;
}
void CPaintManagerUI::SetResourceType(ResourceType type) {
    GetShared().resourceType = type;
}
ResourceType CPaintManagerUI::GetResourceType() {
    return GetShared().resourceType;
}

bool CPaintManagerUI::SetResourceZip(const std::string& zipFile) {
    LogWarning("paint manager: resource archives are not supported (" + zipFile + ")");
    return false;
}

std::string CPaintManagerUI::ResolveImagePath(std::string_view name) {
    if (name.empty()) return {};
    std::filesystem::path path{std::string(name)};
    if (path.is_absolute()) return path.lexically_normal().string();
    for (const auto& part : path) {
        if (part == "..") return {};
    }
    return (std::filesystem::path(GetResourcePath()) / path).lexically_normal().string();
}

const TDrawInfo* CPaintManagerUI::GetDrawInfo(std::string_view imageString) {
    std::string key(imageString);
    if (auto it = drawInfos_.find(key); it != drawInfos_.end()) return it->second.get();
    if (drawInfos_.size() >= kMaxCachedDrawInfos) drawInfos_.clear();
    std::string error;
    auto parsed = ParseImageString(imageString, &error);
    std::unique_ptr<TDrawInfo> info;
    if (parsed) {
        info = std::make_unique<TDrawInfo>(std::move(*parsed));
    } else if (!error.empty()) {
        LogWarning("image string \"" + key + "\": " + error);
    }
    const TDrawInfo* raw = info.get();
    drawInfos_.emplace(std::move(key), std::move(info));
    return raw;
}

const TImageInfo* CPaintManagerUI::GetImageEx(std::string_view name) {
    std::string path = ResolveImagePath(name);
    if (path.empty() || !host_) return nullptr;
    if (auto it = images_.find(path); it != images_.end()) return it->second.get();
    auto size = host_->ImageSize(path);
    if (!size) return nullptr;
    auto info = std::make_unique<TImageInfo>(TImageInfo{path, *size});
    const TImageInfo* raw = info.get();
    images_.emplace(path, std::move(info));
    return raw;
}

const std::vector<CPaintManagerUI*>& CPaintManagerUI::GetAllManagers() {
    return GetShared().managers;
}

}  // namespace q731
