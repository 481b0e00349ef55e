// The X11 capture on a private X server: keys and clicks another client gets
// (sent with XTest, as a keyboard would) are recorded, and that client still
// gets every one of them: nothing is grabbed. Without a display the capture
// refuses with a reason.

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "macros/desktop_capture.h"
#include "tests/support/wait.h"

// Xlib's macros (None, True, ...) would break the headers above: it comes last.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace q731 {
namespace {

// Another X client with a focused window, counting the key presses and
// button presses it gets.
class OtherClient {
public:
    OtherClient() {
        display_ = XOpenDisplay(nullptr);
        if (!display_) return;
        window_ =
            XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 400, 300, 0, 0, 0);
        XSelectInput(display_, window_, KeyPressMask | ButtonPressMask | ExposureMask);
        XMapRaised(display_, window_);
        XSync(display_, False);
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        XWarpPointer(display_, None, window_, 0, 0, 0, 0, 200, 150);
        XSync(display_, False);
    }
    ~OtherClient() {
        if (display_) XCloseDisplay(display_);
    }
    bool Ok() const { return display_ != nullptr; }
    void Key(unsigned linuxCode) {
        const unsigned x = linuxCode + 8;
        XTestFakeKeyEvent(display_, x, True, CurrentTime);
        XTestFakeKeyEvent(display_, x, False, CurrentTime);
        XSync(display_, False);
    }
    void Click(unsigned button) {
        XTestFakeButtonEvent(display_, button, True, CurrentTime);
        XTestFakeButtonEvent(display_, button, False, CurrentTime);
        XSync(display_, False);
    }
    // Events this client's window got so far.
    void Drain() {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == KeyPress) ++keys;
            if (event.type == ButtonPress) ++buttons;
        }
    }
    int keys = 0;
    int buttons = 0;

private:
    Display* display_ = nullptr;
    Window window_ = 0;
};

TEST(X11Capture, RecordsWhatAnotherClientGetsWithoutTakingIt) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "runs on a private X server";
    UiLoop loop;
    OtherClient other;
    ASSERT_TRUE(other.Ok());
    std::unique_ptr<IInputSource> capture = MakeX11Capture(loop, SteadyClock::Instance());
    std::vector<InputRecord> seen;
    ASSERT_TRUE(capture->Start([&](const InputRecord& r) { seen.push_back(r); }))
        << capture->Failure();
    other.Key(30);  // A
    other.Click(1);
    other.Click(4);  // a wheel step: not a button
    other.Click(8);
    const bool arrived = testing::WaitUntil([&] {
        loop.ProcessPending();
        other.Drain();
        return seen.size() >= 6 && other.keys >= 1 && other.buttons >= 3;
    });
    std::string recorded;
    for (const InputRecord& r : seen)
        recorded += std::to_string(r.code) + (r.down ? " down, " : " up, ");
    ASSERT_TRUE(arrived) << recorded << other.keys << " keys and " << other.buttons
                         << " clicks reached the other client";
    EXPECT_EQ(seen[0].kind, InputRecord::Kind::Key);
    EXPECT_EQ(seen[0].code, 30);
    EXPECT_TRUE(seen[0].down);
    EXPECT_FALSE(seen[1].down);
    EXPECT_EQ(seen[2].code, static_cast<int>(MouseButton::Left));
    EXPECT_EQ(seen[4].code, static_cast<int>(MouseButton::Back));
    EXPECT_EQ(seen.size(), 6u) << "the wheel step is not recorded";

    capture->Stop();
    other.Key(48);
    loop.ProcessPending();
    EXPECT_EQ(seen.size(), 6u);
}

TEST(X11Capture, WithoutADisplayItSaysWhy) {
    const std::string saved = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    ::setenv("DISPLAY", ":9999", 1);
    UiLoop loop;
    std::unique_ptr<IInputSource> capture = MakeX11Capture(loop, SteadyClock::Instance());
    EXPECT_FALSE(capture->Start([](const InputRecord&) {}));
    EXPECT_EQ(capture->Failure(), "no X11 display");
    ::setenv("DISPLAY", saved.c_str(), 1);
}

}  // namespace
}  // namespace q731
