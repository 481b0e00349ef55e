// The desktop captures: the kernel's event devices read passively, followed
// when plugged in later, and refused with a reason when nothing is readable;
// records reach the UI thread and stop with the capture.

#include <fcntl.h>
#include <linux/input.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "macros/desktop_capture.h"
#include "tests/support/test_folder.h"
#include "tests/support/wait.h"

namespace q731 {
namespace {

using testing::TestFolder;
namespace fs = std::filesystem;

// A FIFO standing in for an event device: whatever the test writes arrives
// as the kernel would hand it over.
class FakeNode {
public:
    explicit FakeNode(const fs::path& path) : path_(path) {
        EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
        // Opened for writing once the capture holds the reading end.
    }
    ~FakeNode() {
        if (fd_ >= 0) ::close(fd_);
    }
    void Send(std::vector<input_event> events) {
        // The writing end opens once the capture holds the reading end.
        if (fd_ < 0) {
            testing::WaitUntil([&] {
                fd_ = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
                return fd_ >= 0;
            });
        }
        ASSERT_GE(fd_, 0);
        ASSERT_EQ(::write(fd_, events.data(), events.size() * sizeof(input_event)),
                  static_cast<ssize_t>(events.size() * sizeof(input_event)));
    }

private:
    fs::path path_;
    int fd_ = -1;
};

input_event Key(int code, int value) {
    input_event event{};
    event.type = EV_KEY;
    event.code = static_cast<std::uint16_t>(code);
    event.value = value;
    return event;
}

struct CaptureRig {
    UiLoop loop;
    TestFolder folder;
    std::vector<InputRecord> seen;
    std::unique_ptr<IInputSource> capture =
        MakeEvdevCapture(loop, SteadyClock::Instance(), folder.path().string());

    bool Start() {
        return capture->Start([this](const InputRecord& r) { seen.push_back(r); });
    }
    // Runs the loop until `count` records arrived.
    bool WaitFor(std::size_t count) {
        return testing::WaitUntil([&] {
            loop.ProcessPending();
            return seen.size() >= count;
        });
    }
};

TEST(EvdevCapture, ReadsKeysAndButtonsPassivelyAndFollowsNewDevices) {
    CaptureRig rig;
    FakeNode keyboard(rig.folder / "event0");
    ASSERT_TRUE(rig.Start()) << rig.capture->Failure();
    keyboard.Send({Key(KEY_A, 1),
                   Key(KEY_A, 2),
                   {},
                   Key(KEY_A, 0),
                   Key(BTN_LEFT, 1),
                   Key(BTN_SIDE, 0),
                   Key(BTN_TOOL_PEN, 1)});
    ASSERT_TRUE(rig.WaitFor(5));
    const InputRecord& press = rig.seen[0];
    EXPECT_EQ(press.kind, InputRecord::Kind::Key);
    EXPECT_EQ(press.code, KEY_A);
    EXPECT_TRUE(press.down);
    EXPECT_TRUE(rig.seen[1].repeat) << "value 2 is the kernel's auto-repeat";
    EXPECT_FALSE(rig.seen[2].down);
    EXPECT_EQ(rig.seen[3].code, static_cast<int>(MouseButton::Left));
    EXPECT_EQ(rig.seen[4].code, static_cast<int>(MouseButton::Back));

    FakeNode mouse(rig.folder / "event7");  // plugged in while running
    mouse.Send({Key(BTN_RIGHT, 1)});
    ASSERT_TRUE(rig.WaitFor(6));
    EXPECT_EQ(rig.seen[5].code, static_cast<int>(MouseButton::Right));

    // Read and posted, but the capture stops before the UI thread gets to it.
    keyboard.Send({Key(KEY_B, 1)});
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    rig.capture->Stop();
    EXPECT_FALSE(rig.capture->Running());
    rig.loop.ProcessPending();
    EXPECT_EQ(rig.seen.size(), 6u) << "nothing after the stop";
}

TEST(EvdevCapture, RefusesWithAReasonWhenNothingCanBeRead) {
    CaptureRig empty;
    EXPECT_FALSE(empty.Start());
    EXPECT_EQ(empty.capture->Failure(), "no input devices");

    CaptureRig unreadable;
    fs::create_symlink(unreadable.folder / "gone", unreadable.folder / "event3");
    EXPECT_FALSE(unreadable.Start());
    EXPECT_NE(unreadable.capture->Failure().find("cannot be read"), std::string::npos);
    EXPECT_FALSE(unreadable.capture->Running());
}

}  // namespace
}  // namespace q731
