#include "macros/desktop_capture.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/log.h"

namespace q731 {

namespace {

namespace fs = std::filesystem;

// What the UI thread keeps of a running capture: records posted after a stop
// (or from an earlier start) find no sink and go nowhere.
struct SinkBox {
    IInputSource::Sink sink;
};

// A capture thread that sleeps in poll() on its inputs and on a wake pipe,
// so it costs nothing without input and stops at once.
class PolledCapture : public IInputSource {
public:
    PolledCapture(UiLoop& loop, Clock& clock) : loop_(loop), clock_(clock) {}
    // Each capture calls Stop in its own destructor, while Close still is its.
    ~PolledCapture() override { CloseWake(); }

    bool Start(Sink sink) override {
        Stop();
        failure_.clear();
        if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
            failure_ = std::string("no pipe: ") + std::strerror(errno);
            return false;
        }
        opened_ = true;
        if (!Open()) {
            Stop();
            return false;
        }
        box_ = std::make_shared<SinkBox>();
        box_->sink = std::move(sink);
        stop_.store(false);
        thread_ = std::thread([this, box = box_] { Run(box); });
        return true;
    }

    void Stop() override {
        if (box_) box_->sink = nullptr;
        box_.reset();
        if (thread_.joinable()) {
            stop_.store(true);
            const char byte = 1;
            (void)!::write(wake_[1], &byte, 1);
            thread_.join();
        }
        if (opened_) Close();
        opened_ = false;
        CloseWake();
    }

    bool Running() const override { return thread_.joinable(); }
    std::string Failure() const override { return failure_; }

protected:
    // Opens the inputs (UI thread, before the thread starts); false with
    // failure_ set when nothing can be read.
    virtual bool Open() = 0;
    virtual void Close() = 0;
    // The descriptors to wait on besides the wake pipe.
    virtual std::vector<int> Descriptors() = 0;
    // Reads what `fd` has; records go to `emit`.
    virtual void Read(int fd, const std::function<void(InputRecord)>& emit) = 0;

    std::string failure_;

private:
    void Run(const std::shared_ptr<SinkBox>& box) {
        auto emit = [this, box](InputRecord record) {
            record.time = clock_.Now();
            loop_.Post([box, record] {
                if (box->sink) box->sink(record);
            });
        };
        while (!stop_.load()) {
            std::vector<int> fds = Descriptors();
            std::vector<pollfd> polled;
            polled.push_back({wake_[0], POLLIN, 0});
            for (int fd : fds)
                polled.push_back({fd, POLLIN, 0});
            if (::poll(polled.data(), polled.size(), -1) < 0) {
                if (errno == EINTR) continue;
                LogWarning(std::string("macros: input capture stopped: ") + std::strerror(errno));
                return;
            }
            if (polled[0].revents != 0) return;
            for (std::size_t i = 1; i < polled.size(); ++i) {
                if (polled[i].revents != 0) Read(polled[i].fd, emit);
            }
        }
    }

    void CloseWake() {
        for (int& fd : wake_) {
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
    }

    UiLoop& loop_;
    Clock& clock_;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    bool opened_ = false;
    std::thread thread_;
    std::shared_ptr<SinkBox> box_;
};

// The X server's raw events: what every X client's keys and buttons do,
// read without grabbing anything.
class X11Capture final : public PolledCapture {
public:
    using PolledCapture::PolledCapture;
    ~X11Capture() override { Stop(); }

protected:
    bool Open() override {
        display_ = XOpenDisplay(nullptr);
        if (!display_) {
            failure_ = "no X11 display";
            return false;
        }
        int event = 0, error = 0;
        // 2.1 or later: raw events arrive even while another client holds a grab
        // (as it does from every button press until the release).
        int major = 2, minor = 2;
        if (!XQueryExtension(display_, "XInputExtension", &opcode_, &event, &error) ||
            XIQueryVersion(display_, &major, &minor) != Success) {
            failure_ = "the X server lacks XInput 2";
            return false;
        }
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XIEventMask mask{XIAllMasterDevices, sizeof(bits), bits};
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawKeyRelease);
        XISetMask(bits, XI_RawButtonPress);
        XISetMask(bits, XI_RawButtonRelease);
        XISelectEvents(display_, DefaultRootWindow(display_), &mask, 1);
        XFlush(display_);
        return true;
    }
    void Close() override {
        if (display_) XCloseDisplay(display_);
        display_ = nullptr;
    }
    std::vector<int> Descriptors() override { return {ConnectionNumber(display_)}; }
    void Read(int, const std::function<void(InputRecord)>& emit) override {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            XGenericEventCookie* cookie = &event.xcookie;
            if (cookie->type != GenericEvent || cookie->extension != opcode_ ||
                !XGetEventData(display_, cookie)) {
                continue;
            }
            const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
            InputRecord record;
            switch (cookie->evtype) {
                case XI_RawKeyPress:
                case XI_RawKeyRelease:
                    record.kind = InputRecord::Kind::Key;
                    record.code = raw->detail > 8 ? raw->detail - 8 : 0;  // X key codes: kernel + 8
                    record.down = cookie->evtype == XI_RawKeyPress;
                    emit(record);
                    break;
                case XI_RawButtonPress:
                case XI_RawButtonRelease:
                    record.down = cookie->evtype == XI_RawButtonPress;
                    if (const int code = ButtonCode(raw->detail)) {
                        record.kind = InputRecord::Kind::Button;
                        record.code = code;
                        emit(record);
                    }
                    break;
                default:
                    break;
            }
            XFreeEventData(display_, cookie);
        }
    }

private:
    // X buttons 4-7 are wheel steps and are never recorded.
    static int ButtonCode(int button) {
        switch (button) {
            case 1:
                return static_cast<int>(MouseButton::Left);
            case 2:
                return static_cast<int>(MouseButton::Middle);
            case 3:
                return static_cast<int>(MouseButton::Right);
            case 8:
                return static_cast<int>(MouseButton::Back);
            case 9:
                return static_cast<int>(MouseButton::Forward);
            default:
                return 0;
        }
    }

    Display* display_ = nullptr;
    int opcode_ = 0;
};

// The kernel's event devices this user may read, opened read-only and never
// grabbed; the folder is watched for devices plugged in later.
class EvdevCapture final : public PolledCapture {
public:
    EvdevCapture(UiLoop& loop, Clock& clock, std::string folder)
        : PolledCapture(loop, clock), folder_(std::move(folder)) {}
    ~EvdevCapture() override { Stop(); }

protected:
    bool Open() override {
        watch_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (watch_ >= 0) ::inotify_add_watch(watch_, folder_.c_str(), IN_CREATE | IN_ATTRIB);
        int refused = 0;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder_, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("event") && !OpenNode(entry.path().string())) ++refused;
        }
        std::lock_guard lock(mutex_);
        if (!devices_.empty()) return true;
        failure_ = refused > 0 ? folder_ + " cannot be read by this user" : "no input devices";
        return false;
    }
    void Close() override {
        std::lock_guard lock(mutex_);
        for (const auto& [fd, path] : devices_)
            ::close(fd);
        devices_.clear();
        if (watch_ >= 0) ::close(watch_);
        watch_ = -1;
    }
    std::vector<int> Descriptors() override {
        std::lock_guard lock(mutex_);
        std::vector<int> fds;
        if (watch_ >= 0) fds.push_back(watch_);
        for (const auto& [fd, path] : devices_)
            fds.push_back(fd);
        return fds;
    }
    void Read(int fd, const std::function<void(InputRecord)>& emit) override {
        if (fd == watch_) return FollowNewNodes();
        input_event events[64];
        const ssize_t got = ::read(fd, events, sizeof(events));
        if (got <= 0) {
            if (got == 0 || (errno != EAGAIN && errno != EINTR)) Forget(fd);  // unplugged
            return;
        }
        const auto count = static_cast<std::size_t>(got) / sizeof(input_event);
        for (std::size_t i = 0; i < count; ++i) {
            const input_event& e = events[i];
            if (e.type != EV_KEY) continue;
            InputRecord record;
            record.down = e.value != 0;
            record.repeat = e.value == 2;
            if (e.code < BTN_MISC) {
                record.kind = InputRecord::Kind::Key;
                record.code = e.code;
            } else if (const int button = ButtonCode(e.code)) {
                record.kind = InputRecord::Kind::Button;
                record.code = button;
            } else {
                continue;
            }
            emit(record);
        }
    }

private:
    static int ButtonCode(int code) {
        switch (code) {
            case BTN_LEFT:
                return static_cast<int>(MouseButton::Left);
            case BTN_RIGHT:
                return static_cast<int>(MouseButton::Right);
            case BTN_MIDDLE:
                return static_cast<int>(MouseButton::Middle);
            case BTN_SIDE:
            case BTN_BACK:
                return static_cast<int>(MouseButton::Back);
            case BTN_EXTRA:
            case BTN_FORWARD:
                return static_cast<int>(MouseButton::Forward);
            default:
                return 0;
        }
    }

    bool OpenNode(const std::string& path) {
        {
            std::lock_guard lock(mutex_);
            for (const auto& [fd, open] : devices_) {
                if (open == path) return true;
            }
        }
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return false;
        std::lock_guard lock(mutex_);
        devices_[fd] = path;
        return true;
    }
    void Forget(int fd) {
        std::lock_guard lock(mutex_);
        if (devices_.erase(fd) > 0) ::close(fd);
    }
    void FollowNewNodes() {
        alignas(inotify_event) char buffer[4096];
        while (::read(watch_, buffer, sizeof(buffer)) > 0) {
        }
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder_, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("event")) (void)OpenNode(entry.path().string());
        }
    }

    std::string folder_;
    int watch_ = -1;
    std::mutex mutex_;  // devices_ between the UI thread's open and the capture thread
    std::map<int, std::string> devices_;
};

}  // namespace

std::unique_ptr<IInputSource> MakeX11Capture(UiLoop& loop, Clock& clock) {
    return std::make_unique<X11Capture>(loop, clock);
}

std::unique_ptr<IInputSource> MakeEvdevCapture(UiLoop& loop, Clock& clock, std::string folder) {
    return std::make_unique<EvdevCapture>(loop, clock, std::move(folder));
}

std::unique_ptr<IInputSource> MakeDesktopCapture(UiLoop& loop, Clock& clock,
                                                 const std::string& override) {
    if (override == "window") return nullptr;
    if (override == "x11") return MakeX11Capture(loop, clock);
    if (override == "evdev") return MakeEvdevCapture(loop, clock);
    const char* session = std::getenv("XDG_SESSION_TYPE");
    const bool wayland = (session && std::string(session) == "wayland") ||
                         (std::getenv("WAYLAND_DISPLAY") && !std::getenv("DISPLAY"));
    return wayland ? MakeEvdevCapture(loop, clock) : MakeX11Capture(loop, clock);
}

}  // namespace q731
