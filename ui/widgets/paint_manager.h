#pragma once
// CPaintManagerUI: one per window. Owns the control tree, finds controls by
// name, routes input to controls (hover, capture, focus), delivers
// notifications, runs control timers on the UI loop and holds the window's
// scale, fonts and image strings.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/ui_loop.h"
#include "ui/widgets/control.h"
#include "ui/widgets/image_string.h"
#include "ui/widgets/notify.h"
#include "ui/widgets/render.h"

namespace q731 {

class CEditUI;
class CComboUI;

// What the toolkit asks of the native window that shows a paint manager's tree.
class IWindowHost {
public:
    virtual ~IWindowHost() = default;
    virtual void InvalidateRect(const UiRect& rect) = 0;
    virtual void SetCapture(bool on) = 0;
    // A native text field over `edit` while it has focus; EndTextEdit commits it.
    virtual void BeginTextEdit(CEditUI* edit) = 0;
    virtual void EndTextEdit(CEditUI* edit) = 0;
    virtual void ShowDropDown(CComboUI* combo) = 0;
    // Scale-dependent caches (scaled images, fonts) must be rebuilt.
    virtual void ResetScaledAssets() = 0;
    // The size of an image file in pixels; nullopt when it cannot be read.
    virtual std::optional<UiSize> ImageSize(const std::string& path) = 0;
    // `control` leaves the tree: drop every reference to it, commit nothing.
    virtual void ForgetControl(CControlUI* control) = 0;
};

// The scale of one window: design pixels (96 per inch) to device pixels.
class CDPI {
public:
    static constexpr int kDesignDpi = 96;
    static constexpr int kMinDpi = 24;
    static constexpr int kMaxDpi = 960;

    int GetDPI() const { return dpi_; }
    int GetScale() const { return dpi_ * 100 / kDesignDpi; }  // percent
    // False (and no change) for a scale outside kMinDpi..kMaxDpi.
    bool SetScale(int dpi);
    int Scale(int value) const;
    UiRect Scale(const UiRect& rect) const;
    UiSize Scale(const UiSize& size) const;

private:
    int dpi_ = kDesignDpi;
};

struct TFontInfo {
    std::string family;
    int size = 14;  // design pixels
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

struct TImageInfo {
    std::string path;
    UiSize size;
};

enum class ResourceType { File = 1, Zip = 2 };

class CPaintManagerUI {
public:
    explicit CPaintManagerUI(UiLoop& loop);
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    UiLoop& GetLoop() const { return loop_; }
    void SetHost(IWindowHost* host) { host_ = host; }
    IWindowHost* GetHost() const { return host_; }
    void SetName(std::string name) { name_ = std::move(name); }
    const std::string& GetName() const { return name_; }

    // The tree. The manager owns the root; AttachDialog replaces any previous one.
    bool AttachDialog(std::unique_ptr<CControlUI> root);
    CControlUI* GetRoot() const { return root_.get(); }
    // Called by controls when they join or leave the tree.
    void InitControl(CControlUI* control);
    void ReapObjects(CControlUI* control);
    // Destroys a control that left the tree; deferred while an event or
    // notification is being delivered, so a handler may remove its own sender.
    void ReleaseControl(std::unique_ptr<CControlUI> control);
    bool IsAlive(const CControlUI* control) const { return alive_.count(control) > 0; }

    // Lookup: the first control of that name in tree order, or nullptr.
    CControlUI* FindControl(std::string_view name) const;
    CControlUI* FindSubControlByName(CControlUI* parent, std::string_view name) const;
    CControlUI* FindControl(UiPoint point) const;
    std::vector<CControlUI*> FindSubControlsByClass(CControlUI* parent,
                                                    std::string_view className) const;

    // Window size (device pixels) and layout.
    void SetClientSize(UiSize size);
    UiSize GetClientSize() const { return clientSize_; }
    void SetInitSize(UiSize designSize) { initSize_ = designSize; }
    UiSize GetInitSize() const { return initSize_; }
    void SetCaptionRect(const UiRect& designRect) { caption_ = designRect; }
    const UiRect& GetCaptionRect() const { return caption_; }
    void SetSizeBox(const UiRect& designRect) { sizeBox_ = designRect; }
    const UiRect& GetSizeBox() const { return sizeBox_; }
    void SetMinInfo(UiSize designSize) { minInfo_ = designSize; }
    UiSize GetMinInfo() const { return minInfo_; }
    void NeedUpdate();
    bool IsUpdateNeeded() const { return updateNeeded_; }
    // Lays the tree out when needed; true when it did.
    bool UpdateLayout();
    void Invalidate(const UiRect& rect);
    void Invalidate();
    // Paints everything that intersects `paintRect` (lays out first when needed).
    void Paint(IRenderer& renderer, const UiRect& paintRect);

    // Input from the native window (device pixels, window coordinates).
    void HandleMouseMove(UiPoint point, unsigned modifiers = 0);
    void HandleMouseLeave();
    void HandleButtonDown(UiPoint point, unsigned modifiers = 0);
    void HandleButtonUp(UiPoint point, unsigned modifiers = 0);
    void HandleDoubleClick(UiPoint point, unsigned modifiers = 0);
    void HandleRightButtonDown(UiPoint point, unsigned modifiers = 0);
    void HandleRightButtonUp(UiPoint point, unsigned modifiers = 0);
    void HandleWheel(UiPoint point, int delta, unsigned modifiers = 0);
    void HandleKeyDown(int key, unsigned modifiers = 0);
    // Sees every key before the focused control; true consumes it (a dialog's
    // Escape works wherever the focus is).
    void SetKeyPreview(std::function<bool(int key, unsigned modifiers)> preview) {
        keyPreview_ = std::move(preview);
    }
    void HandleChar(int character, unsigned modifiers = 0);
    void HandleWindowFocusLost();
    CControlUI* GetHover() const { return hover_; }
    CControlUI* GetCapture() const { return capture_; }
    CControlUI* GetFocus() const { return focus_; }
    void SetFocus(CControlUI* control);

    // Notifications.
    void AddNotifier(INotifyUI* notifier);
    void RemoveNotifier(INotifyUI* notifier);
    void SendNotify(CControlUI* control, const std::string& type, std::uintptr_t wParam = 0,
                    std::intptr_t lParam = 0, bool async = false);
    void SendNotify(TNotifyUI& msg, bool async = false);

    // Control timers: "timer" notifications with wParam = id until killed.
    bool SetTimer(CControlUI* control, int id, int elapseMs);
    bool KillTimer(CControlUI* control, int id);
    void KillTimers(CControlUI* control);

    // Scale.
    CDPI* GetDPIObj() { return &dpi_; }
    bool SetDPI(int dpi);
    static void SetAllDPI(int dpi);
    void ResetDPIAssets();
    int Scale(int value) const { return dpi_.Scale(value); }
    UiRect Scale(const UiRect& rect) const { return dpi_.Scale(rect); }

    // Fonts. Shared fonts belong to every window; a window's own font of the
    // same id wins.
    void AddFont(int id, std::string family, int size, bool bold, bool underline, bool italic,
                 bool shared = true);
    void SetDefaultFont(std::string family, int size, bool bold, bool underline, bool italic,
                        bool shared = true);
    void RemoveAllFonts(bool shared = true);
    const TFontInfo* GetFontInfo(int id) const;
    UiFont GetScaledFont(int id) const;

    // <Default> attribute lists per element name, applied before an element's own attributes.
    void AddDefaultAttributeList(std::string_view elementName, std::string attributes);
    const std::string* GetDefaultAttributeList(std::string_view elementName) const;

    // Hue/saturation/lightness shift for images drawn with hsl='true'.
    void SetHSL(int hue, int saturation, int lightness);
    void GetHSL(int& hue, int& saturation, int& lightness) const;

    // Resources (process-wide).
    static void SetInstance(std::uintptr_t instance);
    static std::uintptr_t GetInstance();
    static void SetResourcePath(std::string path);
    static const std::string& GetResourcePath();
    static void SetResourceType(ResourceType type);
    static ResourceType GetResourceType();
    // Archives are not supported: always false, and the resource path stays in use.
    static bool SetResourceZip(const std::string& zipFile);
    // The file an image name refers to: absolute names as they are, others under
    // the resource path. Empty when the name tries to climb out of it.
    static std::string ResolveImagePath(std::string_view name);
    // Parsed image string (cached); nullptr for a malformed one.
    const TDrawInfo* GetDrawInfo(std::string_view imageString);
    // The image's file and size; nullptr when it cannot be read.
    const TImageInfo* GetImageEx(std::string_view name);

    // Processes every paint manager's pending layout (used after language or scale changes).
    static const std::vector<CPaintManagerUI*>& GetAllManagers();
    // Runs the platform's message loop until it quits.
    static void MessageLoop();

    // Controls the toolkit lays out while dispatching; used by tests and the back end.
    int DispatchDepth() const { return dispatchDepth_; }

private:
    class DispatchScope;
    void SendEvent(CControlUI* control, UiEventType type, UiPoint point, unsigned modifiers,
                   int key = 0, int wheel = 0);
    void FlushReleased();

    UiLoop& loop_;
    IWindowHost* host_ = nullptr;
    std::string name_;
    std::unique_ptr<CControlUI> root_;
    std::unordered_set<const CControlUI*> alive_;
    std::vector<std::unique_ptr<CControlUI>> released_;
    std::vector<INotifyUI*> notifiers_;
    std::function<bool(int, unsigned)> keyPreview_;
    UiPoint lastMouse_;
    CControlUI* hover_ = nullptr;
    CControlUI* capture_ = nullptr;
    CControlUI* focus_ = nullptr;
    int dispatchDepth_ = 0;
    bool updateNeeded_ = true;
    bool firstLayout_ = true;
    UiSize clientSize_;
    UiSize initSize_;
    UiSize minInfo_;
    UiRect caption_;
    UiRect sizeBox_;
    CDPI dpi_;
    std::map<int, TFontInfo> fonts_;
    std::optional<TFontInfo> defaultFont_;
    std::map<std::string, std::string> defaultAttributes_;
    std::unordered_map<std::string, std::unique_ptr<TDrawInfo>> drawInfos_;
    std::unordered_map<std::string, std::unique_ptr<TImageInfo>> images_;
    int hue_ = 0;
    int saturation_ = 100;
    int lightness_ = 100;
    std::shared_ptr<bool> aliveToken_ = std::make_shared<bool>(true);
};

}  // namespace q731
