#pragma once
// A platform without a screen: windows are records of what was asked of them.
// Used by page tests and by everything that runs the toolkit without a display.
// Modal loops process the UI loop until the window closes; when nothing is left
// to run they ask the idle hook (tests move a manual clock there) and end when
// it answers false.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/widgets/window.h"

namespace q731 {

class HeadlessWindowBackend final : public IWindowBackend {
public:
    HeadlessWindowBackend(class HeadlessPlatform& platform, WindowImplBase& window);
    ~HeadlessWindowBackend() override;

    void InvalidateRect(const UiRect& area) override { invalidated.push_back(area); }
    void SetCapture(bool on) override { captured = on; }
    void BeginTextEdit(CEditUI* edit) override { editing = edit; }
    void EndTextEdit(CEditUI* edit) override {
        if (editing == edit) editing = nullptr;
    }
    void ShowDropDown(CComboUI* combo) override { droppedDown = combo; }
    void ResetScaledAssets() override { ++assetResets; }
    std::optional<UiSize> ImageSize(const std::string& path) override;
    void ForgetControl(CControlUI* control) override;

    void Show(bool show, bool) override { visible = show; }
    bool IsVisible() const override { return visible; }
    void Destroy() override { visible = false; }
    void SetWindowRect(const UiRect& rect) override;
    UiRect GetWindowRect() const override { return rect; }
    void Minimize() override { minimized = true; }
    void Maximize() override;
    void Restore() override;
    bool IsMaximized() const override { return maximized; }
    bool IsMinimized() const override { return minimized; }
    void RunModalLoop(const std::function<bool()>& done) override;
    void SetTitle(const std::string& text) override { title = text; }
    void SetIconFile(const std::string& path) override { icon = path; }

    HeadlessPlatform& platform;
    WindowImplBase& window;
    std::vector<UiRect> invalidated;
    UiRect rect{0, 0, 0, 0};
    UiRect restoreRect;
    bool visible = false;
    bool captured = false;
    bool minimized = false;
    bool maximized = false;
    int assetResets = 0;
    CEditUI* editing = nullptr;
    CComboUI* droppedDown = nullptr;
    std::string title;
    std::string icon;
};

class HeadlessPlatform final : public IUiPlatform, public IFileDialogs {
public:
    explicit HeadlessPlatform(UiLoop& loop);
    ~HeadlessPlatform() override;

    UiLoop& Loop() override { return loop_; }
    std::unique_ptr<IWindowBackend> CreateWindowBackend(WindowImplBase& window, CWindowWnd* owner,
                                                        unsigned style, unsigned exStyle) override;
    std::vector<ScreenInfo> Screens() override { return screens; }
    UiPoint CursorPos() override { return cursor; }
    std::unique_ptr<ITrayBackend> CreateTray(const std::string& iconPath,
                                             const std::string& toolTip,
                                             std::function<void(bool)> activated) override;
    IFileDialogs& FileDialogs() override { return *this; }
    bool AddApplicationFont(const std::filesystem::path& file) override;
    void RunMessageLoop() override;
    void QuitMessageLoop() override { quit_ = true; }
    void SetInputObserver(UiInputObserver observer) override {
        inputObserver = std::move(observer);
    }
    bool OwnsKeyboardFocus() const override { return focused; }
    bool PointerOverOurWindow() const override { return pointerOver; }
    bool OpenUrl(const std::string& url) override {
        openedUrls.push_back(url);
        return true;
    }
    // Hands `event` to the observer as a window would; true when it was taken.
    bool FeedInput(const UiInputEvent& event) {
        return inputObserver ? inputObserver(event) : false;
    }

    std::optional<std::filesystem::path> OpenFile(CWindowWnd*, const FileDialogOptions&) override {
        if (whileDialogOpen) whileDialogOpen();
        return nextFile;
    }
    std::optional<std::filesystem::path> SaveFile(CWindowWnd*, const FileDialogOptions&) override {
        return nextFile;
    }

    // Runs the loop until `done` or until nothing is left and `idle` says stop.
    void RunUntil(const std::function<bool()>& done);

    std::vector<ScreenInfo> screens{{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 96}};
    UiPoint cursor;
    std::function<bool()> idle;  // called when the loop has nothing to do; false = stop
    std::optional<std::filesystem::path> nextFile;
    // Runs while an open-file dialog is "shown" (focus changes, closes).
    std::function<void()> whileDialogOpen;
    std::vector<HeadlessWindowBackend*> windows;
    // Every address handed to the browser, in order.
    std::vector<std::string> openedUrls;
    // Tray clicks for tests: the last tray created.
    std::function<void(bool)> trayActivated;
    std::string trayToolTip;
    std::vector<std::pair<std::string, std::string>> trayNotices;  // title, text
    UiInputObserver inputObserver;
    bool focused = true;
    bool pointerOver = false;

private:
    UiLoop& loop_;
    bool quit_ = false;
};

}  // namespace q731
