// Recording on a private X server with the Qt back end and the X11 capture
// both running: keys and clicks (sent with XTest, as a keyboard and mouse
// would) that reach our window become one record each, not two; keys typed
// into another X client are recorded once and still reach that client.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QTest>
#include <QWindow>
#include <cstdlib>
#include <vector>

#include "app/macro_recording.h"
#include "macros/desktop_capture.h"
#include "tests/support/wait.h"
#include "ui/qt/qt_platform.h"
#include "ui/qt/qt_window.h"

// Xlib's macros (None, True, ...) would break the headers above: it comes last.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

namespace q731 {
namespace {

class Window final : public WindowImplBase {
public:
    explicit Window(UiLoop& loop) : WindowImplBase(loop) {}
    std::string GetWindowClassName() const override { return "RecordingTestWnd"; }
    std::string GetSkinFile() override { return "<Window size='300,200'><Control/></Window>"; }
    QWidget* Widget() { return static_cast<QtWindowBackend*>(GetBackend())->Widget(); }
};

class X11Recording : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "x11_recording_tests";
        static char* argv[] = {name, nullptr};
        PrepareQtEnvironment();
        app_ = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
    }
    X11Recording() : platform_(loop_) { SetUiPlatform(&platform_); }
    ~X11Recording() override {
        if (xtest_) XCloseDisplay(xtest_);
        SetUiPlatform(nullptr);
    }

    // Pumps Qt and the UI loop until `done`, at most `limit`.
    bool Pump(const std::function<bool()>& done,
              std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        return testing::WaitUntil(
            [&] {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
                loop_.ProcessPending();
                return done();
            },
            limit);
    }
    void Key(unsigned linuxCode) {
        XTestFakeKeyEvent(xtest_, linuxCode + 8, True, CurrentTime);
        XTestFakeKeyEvent(xtest_, linuxCode + 8, False, CurrentTime);
        XSync(xtest_, False);
    }
    void ClickAt(int x, int y) {
        XTestFakeMotionEvent(xtest_, -1, x, y, CurrentTime);
        XTestFakeButtonEvent(xtest_, 1, True, CurrentTime);
        XTestFakeButtonEvent(xtest_, 1, False, CurrentTime);
        XSync(xtest_, False);
    }

    static QApplication* app_;
    UiLoop loop_;
    QtUiPlatform platform_;
    Display* xtest_ = XOpenDisplay(nullptr);
};
QApplication* X11Recording::app_ = nullptr;

TEST_F(X11Recording, InputReachingOurWindowCountsOnceAndOtherClientsKeepTheirs) {
    ASSERT_NE(xtest_, nullptr) << "runs on a private X server";
    Window window(loop_);
    ASSERT_TRUE(window.Create(nullptr, "ours", kWsPopup | kWsVisible));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.Widget()));
    window.Widget()->windowHandle()->requestActivate();
    ASSERT_TRUE(Pump([] { return QGuiApplication::focusWindow() != nullptr; }));

    WindowInputSource own(SteadyClock::Instance(), nullptr);
    CDeviceHook hook(own, MakeX11Capture(loop_, SteadyClock::Instance()), ReachesOurWindows);
    std::vector<InputRecord> seen;
    ASSERT_TRUE(hook.SetHook(
        0, HookMode::Append, [&](const InputRecord& r) { seen.push_back(r); }, true, true));
    ASSERT_TRUE(hook.OutsideRunning()) << hook.OutsideFailure();

    Key(30);  // A, into our focused window
    const QPoint centre = window.Widget()->mapToGlobal(QPoint(150, 100));
    ClickAt(centre.x(), centre.y());
    ASSERT_TRUE(Pump([&] { return seen.size() >= 4; }));
    // Give a doubled copy from the capture time to arrive.
    Pump([] { return false; }, std::chrono::milliseconds(500));
    ASSERT_EQ(seen.size(), 4u) << "each press and release once";
    EXPECT_EQ(seen[0].code, 30);
    EXPECT_EQ(seen[2].kind, InputRecord::Kind::Button);

    // Another client takes the focus: its keys are recorded from the capture
    // alone, and it still gets them.
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    const ::Window theirs =
        XCreateSimpleWindow(other, DefaultRootWindow(other), 500, 400, 200, 150, 0, 0, 0);
    XSelectInput(other, theirs, KeyPressMask);
    XMapRaised(other, theirs);
    XSync(other, False);
    XSetInputFocus(other, theirs, RevertToParent, CurrentTime);
    XSync(other, False);
    ASSERT_TRUE(Pump([] { return QGuiApplication::focusWindow() == nullptr; }));
    seen.clear();
    Key(48);  // B
    int theirKeys = 0;
    ASSERT_TRUE(Pump([&] {
        while (XPending(other) > 0) {
            XEvent event;
            XNextEvent(other, &event);
            theirKeys += event.type == KeyPress ? 1 : 0;
        }
        return seen.size() >= 2 && theirKeys == 1;
    })) << seen.size()
        << " recorded, " << theirKeys << " reached the other client";
    EXPECT_EQ(seen[0].code, 48);
    hook.RemoveHook();
    XCloseDisplay(other);
}

}  // namespace
}  // namespace q731
