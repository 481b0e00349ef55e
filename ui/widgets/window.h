#pragma once
// Windows. CWindowWnd holds the plain window operations over a native back end;
// WindowImplBase builds its content from a layout, receives the notifications
// of its controls and offers the hooks each window fills in (class name,
// layout file, InitWindow, Notify, HandleMessage, OnFinalMessage, custom
// controls). IUiPlatform is what a GUI back end (Qt, or the headless one for
// tests) provides: native windows, screens, tray, file dialogs, fonts.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui_loop.h"
#include "ui/widgets/dialog_builder.h"
#include "ui/widgets/notify.h"
#include "ui/widgets/paint_manager.h"

namespace q731 {

class WindowImplBase;
class CWindowWnd;

using LRESULT = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using WindowHandle = std::uintptr_t;  // 0 = no window

// Window styles (the usual numeric values, so callers can pass them unchanged).
inline constexpr unsigned kWsPopup = 0x80000000u;
inline constexpr unsigned kWsChild = 0x40000000u;
inline constexpr unsigned kWsVisible = 0x10000000u;
inline constexpr unsigned kWsClipChildren = 0x02000000u;
inline constexpr unsigned kWsExTopMost = 0x00000008u;
inline constexpr unsigned kWsExToolWindow = 0x00000080u;
inline constexpr unsigned kWsExNoActivate = 0x08000000u;
// Our own: a pop-up that closes when the user clicks elsewhere (menus).
inline constexpr unsigned kWsExPopupMenu = 0x40000000u;

// Messages the toolkit itself delivers to HandleMessage.
enum UiMessage : unsigned {
    kMsgDestroy = 0x0002,
    kMsgSize = 0x0005,      // wParam: 0 restored, 1 minimised, 2 maximised; lParam: cx | cy << 16
    kMsgActivate = 0x0006,  // wParam 0 inactive, 1 active
    kMsgClose = 0x0010,     // wParam: the code; a nonzero result refuses the close
    kMsgDisplayChange = 0x007E,
    kMsgTimer = 0x0113,  // wParam: timer id
    kMsgMouseHover = 0x02A1,
    kMsgMouseLeave = 0x02A3,
    kMsgDpiChanged = 0x02E0,  // wParam: dpi; lParam: unused
    kMsgLButtonUp = 0x0202,
    kMsgRButtonUp = 0x0205,
    kMsgUser = 0x0400,
    kMsgMenuCommand = 0x0400 + 121,  // wParam: index of the chosen menu element
};

struct ScreenInfo {
    UiRect geometry;
    UiRect workArea;
    int dpi = 96;
};

// The native side of one window.
class IWindowBackend : public IWindowHost {
public:
    virtual void Show(bool show, bool activate) = 0;
    virtual bool IsVisible() const = 0;
    // Takes the native window down; no callbacks come after this.
    virtual void Destroy() = 0;
    virtual void SetWindowRect(const UiRect& screenRect) = 0;
    virtual UiRect GetWindowRect() const = 0;
    virtual void Minimize() = 0;
    virtual void Maximize() = 0;
    virtual void Restore() = 0;
    virtual bool IsMaximized() const = 0;
    virtual bool IsMinimized() const = 0;
    // Runs a nested loop until `done` answers true (or nothing can end it).
    virtual void RunModalLoop(const std::function<bool()>& done) = 0;
    virtual void SetTitle(const std::string& title) = 0;
    virtual void SetIconFile(const std::string& path) = 0;
};

class ITrayBackend {
public:
    virtual ~ITrayBackend() = default;
    virtual void SetToolTip(const std::string& text) = 0;
    virtual void SetIconFile(const std::string& path) = 0;
    // A short notice from the tray (the desktop's notification).
    virtual void ShowNotice(const std::string& title, const std::string& text) = 0;
};

struct FileDialogOptions {
    std::string title;
    std::string filter;  // "Images (*.png);;All files (*)"
    std::string defaultExtension;
    std::string initialName;
    std::filesystem::path directory;
    // A save dialog replaces an existing file without asking first.
    bool replaceWithoutAsking = false;
};

class IFileDialogs {
public:
    virtual ~IFileDialogs() = default;
    virtual std::optional<std::filesystem::path> OpenFile(CWindowWnd* owner,
                                                          const FileDialogOptions& options) = 0;
    virtual std::optional<std::filesystem::path> SaveFile(CWindowWnd* owner,
                                                          const FileDialogOptions& options) = 0;
};

// A key or mouse-button press or release on its way to one of our windows.
struct UiInputEvent {
    enum class Kind { Key, Button };
    Kind kind = Kind::Key;
    // Key: the Linux key code (0 when the platform gives none); Button: 1 left,
    // 2 right, 4 middle, 8 back, 16 forward.
    int code = 0;
    bool down = false;
    bool repeat = false;  // an auto-repeated key press
    CWindowWnd* window = nullptr;
    UiPoint point{};  // Button: where, in the window's client coordinates
};
// Returns true to take the event: the window's controls then never see it.
using UiInputObserver = std::function<bool(const UiInputEvent&)>;

class IUiPlatform {
public:
    virtual ~IUiPlatform() = default;
    virtual UiLoop& Loop() = 0;
    virtual std::unique_ptr<IWindowBackend> CreateWindowBackend(WindowImplBase& window,
                                                                CWindowWnd* owner, unsigned style,
                                                                unsigned exStyle) = 0;
    virtual std::vector<ScreenInfo> Screens() = 0;
    virtual UiPoint CursorPos() = 0;
    // `activated` gets true for the right button, false for the left.
    virtual std::unique_ptr<ITrayBackend> CreateTray(const std::string& iconPath,
                                                     const std::string& toolTip,
                                                     std::function<void(bool right)> activated) = 0;
    virtual IFileDialogs& FileDialogs() = 0;
    virtual bool AddApplicationFont(const std::filesystem::path& file) = 0;
    virtual void RunMessageLoop() = 0;
    virtual void QuitMessageLoop() = 0;
    // While set, every key and button press and release aimed at our windows
    // goes to `observer` first; an empty observer ends that.
    virtual void SetInputObserver(UiInputObserver observer) = 0;
    // Whether one of our windows has the keyboard focus, and whether the
    // pointer is over one of them.
    virtual bool OwnsKeyboardFocus() const = 0;
    virtual bool PointerOverOurWindow() const = 0;
    // Hands `url` to the user's browser; false when nothing could take it.
    virtual bool OpenUrl(const std::string& url) = 0;
};

// The platform windows are created on. Set once by the back end at start-up.
void SetUiPlatform(IUiPlatform* platform);
IUiPlatform* GetUiPlatform();
// The platform's loop, or a process loop when no platform is set yet.
UiLoop& DefaultUiLoop();

class CWindowWnd {
public:
    CWindowWnd();
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    WindowHandle GetHWND() const;
    void ShowWindow(bool show = true, bool takeFocus = true);
    // Runs the window modally; returns the code given to Close, or -1 when the
    // loop ended without a close.
    int ShowModal();
    // Asks the window to close with `code`; the window may refuse (kMsgClose).
    void Close(int code = 0);
    void CenterWindow();
    void ResizeClient(int cx, int cy);
    void MoveWindow(const UiRect& screenRect);
    UiRect GetWindowRect() const;
    void SetIcon(int resourceId);
    LRESULT SendMessage(unsigned msg, WPARAM wParam = 0, LPARAM lParam = 0);
    // Queues the message on the UI loop; dropped when the window is gone by then.
    bool PostMessage(unsigned msg, WPARAM wParam = 0, LPARAM lParam = 0);
    // Window timers: kMsgTimer with wParam = id until killed.
    bool SetTimer(int id, int elapseMs);
    bool KillTimer(int id);
    CWindowWnd* GetOwner() const { return owner_; }
    bool IsClosing() const { return closing_; }
    IWindowBackend* GetBackend() const { return backend_.get(); }
    // False once the window object is gone; for callbacks that may outlive it.
    std::shared_ptr<bool> GetAliveToken() const { return alive_; }

    virtual LRESULT HandleMessage(unsigned msg, WPARAM wParam, LPARAM lParam) = 0;
    virtual void OnFinalMessage() {}

protected:
    // Destroys the native window and runs OnFinalMessage, once.
    void FinalizeClose();
    virtual UiLoop& WindowLoop() = 0;
    virtual void OnBackendGone() {}

    std::unique_ptr<IWindowBackend> backend_;
    CWindowWnd* owner_ = nullptr;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    bool closing_ = false;
    bool finalized_ = false;
    int closeCode_ = 0;
};

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IDialogBuilderCallback {
public:
    explicit WindowImplBase(UiLoop& loop = DefaultUiLoop());
    ~WindowImplBase() override;

    // Creates the native window and builds the layout. False when there is no
    // platform or the layout cannot be built.
    bool Create(CWindowWnd* owner, const std::string& name, unsigned style = kWsPopup,
                unsigned exStyle = 0);

    virtual std::string GetWindowClassName() const = 0;
    virtual std::string GetSkinFile() = 0;
    virtual void InitWindow() {}
    // Default: the caption buttons "closebtn", "minbtn", "maxbtn", "restorebtn",
    // then the notification pump (sub-windows).
    void Notify(TNotifyUI& msg) override;
    LRESULT HandleMessage(unsigned msg, WPARAM wParam, LPARAM lParam) override;
    virtual LRESULT HandleCustomMessage(unsigned msg, WPARAM wParam, LPARAM lParam, bool& handled);
    std::unique_ptr<CControlUI> CreateControl(std::string_view className) override;
    // A key pressed in the window, before its focused control sees it; true
    // consumes it.
    virtual bool OnKeyDown(int key, unsigned modifiers) {
        (void)key;
        (void)modifiers;
        return false;
    }

    CPaintManagerUI* GetPaintManager() { return &m_pm; }

protected:
    UiLoop& WindowLoop() override { return m_pm.GetLoop(); }
    virtual void OnClick(TNotifyUI& msg);
    // Shows "maxbtn" or "restorebtn" to match the window state.
    void SyncMaximizeButtons(bool maximized);
    // The paint manager takes `dpi` and the window its layout's size at it.
    void ScaleTo(int dpi);

    CPaintManagerUI m_pm;
};

class CTrayIcon {
public:
    // Shows the tray icon; its clicks reach `window` as `message` with wParam
    // `iconId` and lParam kMsgLButtonUp or kMsgRButtonUp.
    bool CreateTrayIcon(CWindowWnd* window, int iconId, const std::string& toolTip,
                        unsigned message);
    void DeleteTrayIcon();
    void SetToolTipText(const std::string& text);
    // False when there is no tray icon to show it from.
    bool ShowNotice(const std::string& title, const std::string& text);
    bool IsVisible() const { return backend_ != nullptr; }

private:
    std::unique_ptr<ITrayBackend> backend_;
};

// The file an icon resource id names in the resource index (id as decimal text).
std::string IconFileForResource(int resourceId);

}  // namespace q731
