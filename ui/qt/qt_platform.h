#pragma once
// The Qt 6 platform of the toolkit: drives the UI loop from the Qt event loop,
// creates native windows, and offers screens, the tray, file dialogs and
// application fonts. Create a QApplication first (after PrepareQtEnvironment),
// then one QtUiPlatform, and hand it to SetUiPlatform.

#include <QObject>
#include <QTimer>
#include <atomic>
#include <memory>

#include "ui/widgets/window.h"

namespace q731 {

// Call before constructing QApplication: the toolkit scales by itself, so Qt's
// own device-pixel scaling stays off.
void PrepareQtEnvironment();

// Runs UiLoop work inside the Qt event loop: posted calls as soon as they
// arrive, timers at their deadlines, without polling.
class QtLoopDriver final : public QObject {
public:
    explicit QtLoopDriver(UiLoop& loop);
    ~QtLoopDriver() override;
    int Drive();

private:
    void Schedule();

    UiLoop& loop_;
    QTimer timer_;
    std::atomic<bool> scheduled_{false};
};

// The interface's font families that a Linux desktop seldom has stand in for
// installed ones (Noto from fonts-noto-cjk and fonts-noto-core, then
// WenQuanYi), so every language draws, and Chinese text (a profile name) shows
// in every language. A family that is installed, or loaded from "Font/", wins.
void InstallFontFallbacks();

class QtUiPlatform final : public IUiPlatform, public IFileDialogs {
public:
    explicit QtUiPlatform(UiLoop& loop);
    ~QtUiPlatform() override;

    UiLoop& Loop() override { return loop_; }
    std::unique_ptr<IWindowBackend> CreateWindowBackend(WindowImplBase& window, CWindowWnd* owner,
                                                        unsigned style, unsigned exStyle) override;
    std::vector<ScreenInfo> Screens() override;
    UiPoint CursorPos() override;
    std::unique_ptr<ITrayBackend> CreateTray(const std::string& iconPath,
                                             const std::string& toolTip,
                                             std::function<void(bool right)> activated) override;
    IFileDialogs& FileDialogs() override { return *this; }
    bool AddApplicationFont(const std::filesystem::path& file) override;
    void RunMessageLoop() override;
    void QuitMessageLoop() override;
    void SetInputObserver(UiInputObserver observer) override;
    bool OwnsKeyboardFocus() const override;
    bool PointerOverOurWindow() const override;
    bool OpenUrl(const std::string& url) override;

    std::optional<std::filesystem::path> OpenFile(CWindowWnd* owner,
                                                  const FileDialogOptions& options) override;
    std::optional<std::filesystem::path> SaveFile(CWindowWnd* owner,
                                                  const FileDialogOptions& options) override;

private:
    UiLoop& loop_;
    QtLoopDriver driver_;
    std::unique_ptr<QObject> inputFilter_;
};

}  // namespace q731
