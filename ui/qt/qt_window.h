#pragma once
// One frameless native window per toolkit window: paints the control tree,
// feeds it mouse, wheel and keyboard input, drags the window by its caption,
// lays a real QLineEdit or QTextEdit over an edit while it has focus, and
// shows combo drop-downs and tooltips.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "ui/widgets/window.h"

class QLineEdit;
class QTextEdit;
class QListWidget;

namespace q731 {

class QtWindowBackend;

class QtHostWidget final : public QWidget {
public:
    QtHostWidget(QtWindowBackend& backend, QWidget* parent, Qt::WindowFlags flags);
    QtWindowBackend& Backend() const { return backend_; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool InCaption(QPoint point) const;

    QtWindowBackend& backend_;
    std::optional<QPoint> manualDrag_;  // press offset when the window manager cannot move us
};

class QtWindowBackend final : public IWindowBackend {
public:
    QtWindowBackend(WindowImplBase& window, CWindowWnd* owner, unsigned style, unsigned exStyle);
    ~QtWindowBackend() override;

    // IWindowHost
    void InvalidateRect(const UiRect& rect) override;
    void SetCapture(bool on) override;
    void BeginTextEdit(CEditUI* edit) override;
    void EndTextEdit(CEditUI* edit) override;
    void ShowDropDown(CComboUI* combo) override;
    void ResetScaledAssets() override;
    std::optional<UiSize> ImageSize(const std::string& path) override;
    void ForgetControl(CControlUI* control) override;

    // IWindowBackend
    void Show(bool show, bool activate) override;
    bool IsVisible() const override;
    void Destroy() override;
    void SetWindowRect(const UiRect& screenRect) override;
    UiRect GetWindowRect() const override;
    void Minimize() override;
    void Maximize() override;
    void Restore() override;
    bool IsMaximized() const override { return maximized_; }
    bool IsMinimized() const override;
    void RunModalLoop(const std::function<bool()>& done) override;
    void SetTitle(const std::string& title) override;
    void SetIconFile(const std::string& path) override;

    QtHostWidget* Widget() const { return widget_.data(); }
    WindowImplBase& Window() { return window_; }
    CPaintManagerUI& Manager() { return *window_.GetPaintManager(); }
    // Keeps the overlay field on its edit after layout changes.
    void PlaceOverlay();

private:
    void CommitOverlay();
    void CloseOverlay();
    void CloseDropDown();

    WindowImplBase& window_;
    // Owned: deleted in Destroy. Guarded, because Qt deletes a child window's
    // widget with its parent's.
    QPointer<QtHostWidget> widget_;
    bool maximized_ = false;
    QRect restoreGeometry_;
    CEditUI* overlayEdit_ = nullptr;
    QPointer<QLineEdit> line_;
    QPointer<QTextEdit> text_;
    CComboUI* dropCombo_ = nullptr;
    QPointer<QListWidget> drop_;
};

}  // namespace q731
