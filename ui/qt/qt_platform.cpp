#include "ui/qt/qt_platform.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QWindow>
#include <chrono>

#include "ui/qt/qt_window.h"

namespace q731 {

void PrepareQtEnvironment() {
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::Round);
}

void InstallFontFallbacks() {
    struct Fallback {
        const char* family;
        QStringList substitutes;
    };
    const QStringList cjk = {"Noto Sans CJK SC", "WenQuanYi Micro Hei"};
    const Fallback fallbacks[] = {
        {"汉仪菱心体简", cjk},
        {"Noto Sans CJK TC Regular", QStringList{"Noto Sans CJK TC"} + cjk},
        {"Noto Sans Thai", QStringList{"Noto Sans Thai UI"} + cjk},
        {"Arial", QStringList{"Liberation Sans", "Noto Sans", "DejaVu Sans"} + cjk},
    };
    for (const Fallback& fallback : fallbacks)
        QFont::insertSubstitutions(QString::fromUtf8(fallback.family), fallback.substitutes);
}

QtLoopDriver::QtLoopDriver(UiLoop& loop) : loop_(loop) {
    loop_.BindToCurrentThread();
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { Drive(); });
    loop_.SetWakeHook([this] { Schedule(); });
    Schedule();
}

QtLoopDriver::~QtLoopDriver() {
    loop_.SetWakeHook(nullptr);
}

void QtLoopDriver::Schedule() {
    // Any thread: one queued call at a time is enough, it drains everything.
    if (scheduled_.exchange(true)) return;
    QMetaObject::invokeMethod(
        this, [this] { Drive(); }, Qt::QueuedConnection);
}

int QtLoopDriver::Drive() {
    scheduled_.store(false);
    int ran = loop_.ProcessPending();
    auto deadline = loop_.NextDeadline();
    if (!deadline) {
        timer_.stop();
        return ran;
    }
    auto wait = std::chrono::ceil<std::chrono::milliseconds>(*deadline - loop_.GetClock().Now());
    timer_.start(static_cast<int>(std::clamp<long long>(wait.count(), 0, 24LL * 3600 * 1000)));
    return ran;
}

QtUiPlatform::QtUiPlatform(UiLoop& loop) : loop_(loop), driver_(loop) {
    InstallFontFallbacks();
}
QtUiPlatform::~QtUiPlatform() = default;

std::unique_ptr<IWindowBackend> QtUiPlatform::CreateWindowBackend(WindowImplBase& window,
                                                                  CWindowWnd* owner, unsigned style,
                                                                  unsigned exStyle) {
    return std::make_unique<QtWindowBackend>(window, owner, style, exStyle);
}

std::vector<ScreenInfo> QtUiPlatform::Screens() {
    std::vector<ScreenInfo> screens;
    auto rect = [](const QRect& r) {
        return UiRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    };
    for (QScreen* screen : QGuiApplication::screens()) {
        screens.push_back({rect(screen->geometry()), rect(screen->availableGeometry()),
                           int(screen->logicalDotsPerInch() + 0.5)});
    }
    return screens;
}

UiPoint QtUiPlatform::CursorPos() {
    QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

std::unique_ptr<ITrayBackend> QtUiPlatform::CreateTray(const std::string& iconPath,
                                                       const std::string& toolTip,
                                                       std::function<void(bool right)> activated) {
    class Tray final : public ITrayBackend {
    public:
        Tray(const std::string& icon, const std::string& tip, std::function<void(bool)> onClick)
            : onClick_(std::move(onClick)) {
            tray_.setIcon(QIcon(QString::fromStdString(icon)));
            tray_.setToolTip(QString::fromStdString(tip));
            QObject::connect(&tray_, &QSystemTrayIcon::activated, &tray_,
                             [this](QSystemTrayIcon::ActivationReason reason) {
                                 if (reason == QSystemTrayIcon::Context) {
                                     onClick_(true);
                                 } else if (reason == QSystemTrayIcon::Trigger) {
                                     onClick_(false);
                                 }
                             });
            tray_.show();
        }
        void SetToolTip(const std::string& text) override {
            tray_.setToolTip(QString::fromStdString(text));
        }
        void SetIconFile(const std::string& path) override {
            tray_.setIcon(QIcon(QString::fromStdString(path)));
        }
        void ShowNotice(const std::string& title, const std::string& text) override {
            tray_.showMessage(QString::fromStdString(title), QString::fromStdString(text),
                              QSystemTrayIcon::Warning);
        }

    private:
        QSystemTrayIcon tray_;
        std::function<void(bool)> onClick_;
    };
    return std::make_unique<Tray>(iconPath, toolTip, std::move(activated));
}

bool QtUiPlatform::AddApplicationFont(const std::filesystem::path& file) {
    return QFontDatabase::addApplicationFont(QString::fromStdString(file.string())) >= 0;
}

void QtUiPlatform::RunMessageLoop() {
    QApplication::exec();
}
namespace {

// Sees every key and button event where Qt first delivers it, to the native
// window, so each press counts once (not again as it travels up through the
// widgets) and edit overlays are covered too.
class InputFilter final : public QObject {
public:
    explicit InputFilter(UiInputObserver observer) : observer_(std::move(observer)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!watched->isWindowType()) return false;
        UiInputEvent input;
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::KeyRelease: {
                const auto* key = static_cast<QKeyEvent*>(event);
                input.kind = UiInputEvent::Kind::Key;
                // X11 and Wayland key codes are the kernel's plus 8.
                const quint32 native = key->nativeScanCode();
                input.code = native > 8 ? static_cast<int>(native - 8) : 0;
                input.down = event->type() == QEvent::KeyPress;
                input.repeat = key->isAutoRepeat();
                break;
            }
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease: {
                const auto* mouse = static_cast<QMouseEvent*>(event);
                input.kind = UiInputEvent::Kind::Button;
                input.code = ButtonCode(mouse->button());
                if (input.code == 0) return false;
                input.down = event->type() == QEvent::MouseButtonPress;
                const QPointF at = mouse->position();
                input.point = {static_cast<int>(at.x()), static_cast<int>(at.y())};
                break;
            }
            default:
                return false;
        }
        input.window = WindowOf(static_cast<QWindow*>(watched));
        return observer_ && observer_(input);
    }

private:
    static int ButtonCode(Qt::MouseButton button) {
        switch (button) {
            case Qt::LeftButton:
                return 1;
            case Qt::RightButton:
                return 2;
            case Qt::MiddleButton:
                return 4;
            case Qt::BackButton:
                return 8;
            case Qt::ForwardButton:
                return 16;
            default:
                return 0;
        }
    }
    static CWindowWnd* WindowOf(QWindow* window) {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->windowHandle() != window) continue;
            if (auto* host = dynamic_cast<QtHostWidget*>(widget)) return &host->Backend().Window();
        }
        return nullptr;
    }

    UiInputObserver observer_;
};

}  // namespace

void QtUiPlatform::SetInputObserver(UiInputObserver observer) {
    if (inputFilter_) {
        QCoreApplication::instance()->removeEventFilter(inputFilter_.get());
        inputFilter_.reset();
    }
    if (!observer) return;
    inputFilter_ = std::make_unique<InputFilter>(std::move(observer));
    QCoreApplication::instance()->installEventFilter(inputFilter_.get());
}

bool QtUiPlatform::OwnsKeyboardFocus() const {
    return QGuiApplication::focusWindow() != nullptr;
}

bool QtUiPlatform::PointerOverOurWindow() const {
    return QGuiApplication::topLevelAt(QCursor::pos()) != nullptr;
}

bool QtUiPlatform::OpenUrl(const std::string& url) {
    const QUrl address(QString::fromStdString(url), QUrl::StrictMode);
    return address.isValid() && QDesktopServices::openUrl(address);
}

void QtUiPlatform::QuitMessageLoop() {
    // exit(), not quit(): quit() first asks every window to close and is
    // cancelled when one refuses, which would leave the loop running with no
    // way to end it. The program has already closed what it needed to.
    QCoreApplication::exit(0);
}

namespace {
QWidget* OwnerWidget(CWindowWnd* owner) {
    if (!owner) return nullptr;
    auto* backend = dynamic_cast<QtWindowBackend*>(owner->GetBackend());
    return backend ? backend->Widget() : nullptr;
}

QString InitialPath(const FileDialogOptions& options) {
    QString dir = QString::fromStdString(options.directory.string());
    QString name = QString::fromStdString(options.initialName);
    if (name.contains('*')) name.clear();  // a pattern is a filter, not a name
    if (dir.isEmpty()) return name;
    return name.isEmpty() ? dir : dir + '/' + name;
}
}  // namespace

namespace {
// Patterns with every letter matched in either case: "*.json" also lists
// "a.Json" and "B.JSON". The patterns stay out of sight in the dialog.
QString CaseBlindFilter(const std::string& filter) {
    QString out;
    int depth = 0;
    for (const QChar c : QString::fromStdString(filter)) {
        if (c == '(') ++depth;
        if (c == ')' && depth > 0) --depth;
        if (depth > 0 && c.isLetter() && c.toLower() != c.toUpper()) {
            out += '[';
            out += c.toLower();
            out += c.toUpper();
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

// The toolkit's own dialog on every desktop, so it looks and behaves the same
// everywhere and tests can drive it.
void Prepare(QFileDialog& dialog, const FileDialogOptions& options) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilter(CaseBlindFilter(options.filter));
}
}  // namespace

std::optional<std::filesystem::path> QtUiPlatform::OpenFile(CWindowWnd* owner,
                                                            const FileDialogOptions& options) {
    QFileDialog dialog(OwnerWidget(owner), QString::fromStdString(options.title),
                       InitialPath(options));
    Prepare(dialog, options);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

std::optional<std::filesystem::path> QtUiPlatform::SaveFile(CWindowWnd* owner,
                                                            const FileDialogOptions& options) {
    QFileDialog dialog(OwnerWidget(owner), QString::fromStdString(options.title),
                       InitialPath(options));
    Prepare(dialog, options);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, options.replaceWithoutAsking);
    // A name typed without an extension gets this one.
    dialog.setDefaultSuffix(QString::fromStdString(options.defaultExtension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

}  // namespace q731
