#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <future>

#include "platform/files.h"
#include "platform/message_bus.h"
#include "platform/message_names.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/q731-run-XXXXXX";
        dir_ = ::mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs `body` in a child process and returns its exit status.
    template <typename F>
    pid_t Fork(F body) {
        const pid_t pid = ::fork();
        if (pid == 0) ::_exit(body());
        return pid;
    }
    static int ExitCode(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path dir_;
};

TEST_F(InstanceTest, SecondLockHolderIsRefusedUntilTheFirstReleases) {
    InstanceLock first;
    InstanceLock second;
    ASSERT_EQ(first.Acquire(dir_ / "instance.lock"), InstanceLock::Result::Acquired);
    EXPECT_EQ(second.Acquire(dir_ / "instance.lock"), InstanceLock::Result::HeldElsewhere);
    first.Release();
    EXPECT_EQ(second.Acquire(dir_ / "instance.lock"), InstanceLock::Result::Acquired);
    InstanceLock broken;
    EXPECT_EQ(broken.Acquire(dir_ / "no" / "such" / "folder"), InstanceLock::Result::Error);
}

TEST_F(InstanceTest, LockOfACrashedRunDoesNotBlockTheNextStart) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = Fork([&] {
        InstanceLock lock;
        if (lock.Acquire(dir_ / "instance.lock") != InstanceLock::Result::Acquired) return 1;
        const char byte = 1;
        if (::write(ready[1], &byte, 1) != 1) return 2;
        ::pause();  // killed here, holding the lock
        return 0;
    });
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    InstanceLock lock;
    EXPECT_EQ(lock.Acquire(dir_ / "instance.lock"), InstanceLock::Result::HeldElsewhere);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(fs::exists(dir_ / "instance.lock")) << "the stale file is still there";
    EXPECT_EQ(lock.Acquire(dir_ / "instance.lock"), InstanceLock::Result::Acquired);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(InstanceTest, SecondStartWakesTheFirstAndReportsSecondary) {
    InstanceLock lock;
    ASSERT_EQ(ClaimInstance(dir_, lock), InstanceRole::Primary);
    std::promise<BusMessage> woken;
    MessageBusServer bus;
    ASSERT_TRUE(bus.Start(
        BusSocketPath(dir_), [](std::string_view) { return true; },
        [&](BusMessage message) { woken.set_value(std::move(message)); }));

    const pid_t second = Fork([&] {
        InstanceLock mine;
        return ClaimInstance(dir_, mine) == InstanceRole::Secondary ? 0 : 1;
    });
    EXPECT_EQ(ExitCode(second), 0);
    auto future = woken.get_future();
    ASSERT_EQ(future.wait_for(5s), std::future_status::ready);
    const BusMessage message = future.get();
    EXPECT_EQ(message.name, messages::kWake);
    EXPECT_EQ(message.wParam, 0);
    EXPECT_EQ(message.lParam, 1);
}

// A copy that holds the lock but never answers (stuck) is named, with the way
// to end it, instead of the second start ending silently.
TEST_F(InstanceTest, SecondStartNamesACopyThatHoldsTheLockButNeverAnswers) {
    InstanceLock lock;
    ASSERT_EQ(ClaimInstance(dir_, lock), InstanceRole::Primary);
    InstanceLock mine;
    std::string why;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(ClaimInstance(dir_, mine, &why, 300), InstanceRole::Unresponsive);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
    const std::string pid = std::to_string(::getpid());
    EXPECT_NE(why.find("process " + pid), std::string::npos) << why;
    EXPECT_NE(why.find("kill " + pid), std::string::npos) << why;
    EXPECT_FALSE(mine.Held());
    EXPECT_EQ(ClaimInstance({}, mine), InstanceRole::Failed);
}

}  // namespace
}  // namespace q731
