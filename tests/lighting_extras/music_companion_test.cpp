// The control centre's side of the capture companion, against a stand-in
// companion socket: the connect sequence and the capture gate, frames reaching
// the UI loop, the shutdown commands, a start that fails being told, and the
// watchdog starting a companion that went away, less and less often.

#include "lighting_extras/music_companion.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <thread>

#include "platform/message_bus.h"
#include "tests/support/test_folder.h"
#include "tests/support/wait.h"

extern char** environ;

namespace q731 {
namespace {

using namespace std::chrono_literals;
using testing::WaitUntil;

// Listens where the companion would and keeps its one client.
class FakeCompanion {
public:
    explicit FakeCompanion(const fs::path& runtime) {
        listen_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = CompanionSocketPath(runtime).string();
        if (path.size() >= sizeof address.sun_path) {
            ADD_FAILURE() << "socket path too long: " << path;
            return;
        }
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        EXPECT_EQ(::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(listen_, 4), 0);
    }
    ~FakeCompanion() {
        Hangup();
        ::close(listen_);
    }
    void Accept() { client_ = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC); }
    void Hangup() {
        if (client_ >= 0) ::close(client_);
        client_ = -1;
    }
    // The commands received so far (waits briefly for `count`).
    std::vector<std::pair<int, std::int64_t>> Commands(std::size_t count) {
        std::vector<std::pair<int, std::int64_t>> out;
        char buffer[kMaxBusPacket];
        while (out.size() < count) {
            timeval limit{2, 0};
            ::setsockopt(client_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            const ssize_t got = ::recv(client_, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            auto message =
                DecodeBusMessage(std::string_view(buffer, static_cast<std::size_t>(got)));
            if (message && message->name == kMusicCommandName) {
                out.emplace_back(static_cast<int>(message->wParam), message->lParam);
            } else if (message && message->name == kMusicStyleName) {
                out.emplace_back(-1, static_cast<std::int64_t>(message->payload.size()));
            }
        }
        return out;
    }
    void SendFrame(int type, const std::string& payload) {
        const std::string packet =
            EncodeBusMessage({std::string(kMusicFrameName), type, 0, payload});
        EXPECT_EQ(::send(client_, packet.data(), packet.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(packet.size()));
    }

private:
    int listen_ = -1;
    int client_ = -1;
};

using Commands = std::vector<std::pair<int, std::int64_t>>;

class MusicCompanionTest : public ::testing::Test {
protected:
    MusicCompanionTest() { loop_.BindToCurrentThread(); }
    std::unique_ptr<MusicCompanion> Make(std::function<bool(std::string*)> launch) {
        MusicCompanionSetup setup;
        setup.runtimeFolder = folder_.path();
        setup.launch = std::move(launch);
        setup.running = [this] { return running_.load(); };
        auto companion = std::make_unique<MusicCompanion>(loop_, setup);
        companion->SetCaptureWanted([this] { return wanted_; });
        return companion;
    }

    testing::TestFolder folder_{"q731-mc"};
    UiLoop loop_;
    std::atomic<bool> running_{true};
    bool wanted_ = false;
};

TEST_F(MusicCompanionTest, SequenceGateFramesAndShutdown) {
    FakeCompanion fake(folder_.path());
    auto companion = Make(nullptr);
    companion->SendStyle({});
    std::vector<std::pair<int, std::string>> frames;
    companion->SetFrameHandler(
        [&](int type, std::string payload) { frames.emplace_back(type, std::move(payload)); });

    ASSERT_TRUE(companion->ConnectNow());
    fake.Accept();
    // Register, connect, capture; no keyboard shows music, so stop; the style.
    EXPECT_EQ(fake.Commands(5), (Commands{{0, 0}, {3, 0}, {1, 0}, {2, 0}, {-1, 40}}));
    wanted_ = true;
    companion->UpdateCapture();
    companion->UpdateCapture();  // no change, nothing sent
    wanted_ = false;
    companion->UpdateCapture();
    companion->SendChannel(1, 12);
    EXPECT_EQ(fake.Commands(3), (Commands{{1, 0}, {2, 0}, {7, 9}}));

    fake.SendFrame(1, std::string(2000, '\x01'));
    ASSERT_TRUE(WaitUntil([&] {
        loop_.ProcessPending();
        return !frames.empty();
    }));
    EXPECT_EQ(frames[0].first, 1);
    EXPECT_EQ(frames[0].second.size(), 2000u);

    companion->Shutdown();
    EXPECT_EQ(fake.Commands(3), (Commands{{2, 0}, {4, 0}, {5, 0}}));
    EXPECT_FALSE(companion->Connected());
}

TEST_F(MusicCompanionTest, AFailedStartIsToldAndTheWatchdogStartsItAgainLessOften) {
    running_ = false;
    std::atomic<int> launches{0};
    auto companion = Make([&](std::string* error) {
        launches.fetch_add(1);
        *error = "no such program";
        return false;
    });
    std::vector<std::string> told;
    companion->SetNotice([&](const std::string& text) { told.push_back(text); });
    companion->Start();
    EXPECT_EQ(told, std::vector<std::string>{MusicCompanion::kLaunchFailedText});

    ManualClock clock;
    StopEvent stop;
    std::thread watchdog([&] { companion->Watch(stop, clock); });
    // Starts at 1 s, then 1, 2, 4 ... seconds apart, never more than 30.
    ASSERT_TRUE(testing::AdvanceAndSettle(clock, 1s));
    EXPECT_EQ(launches.load(), 2);
    ASSERT_TRUE(testing::AdvanceAndSettle(clock, 1s));
    EXPECT_EQ(launches.load(), 3);
    ASSERT_TRUE(testing::AdvanceAndSettle(clock, 1s));
    EXPECT_EQ(launches.load(), 3) << "two seconds after the last";
    ASSERT_TRUE(testing::AdvanceAndSettle(clock, 1s));
    EXPECT_EQ(launches.load(), 4);
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(testing::AdvanceAndSettle(clock, 1s));
    EXPECT_LE(launches.load(), 4 + 3 + 200 / 30 + 1);
    EXPECT_GE(launches.load(), 4 + 200 / 30);
    // Once one runs, it is watched every second again and connected to.
    running_ = true;
    ASSERT_TRUE(testing::AdvanceAndSettle(clock, 30s));
    const int settled = launches.load();
    ASSERT_TRUE(testing::AdvanceAndSettle(clock, 5s));
    EXPECT_EQ(launches.load(), settled);
    stop.Set();
    watchdog.join();
}

// A companion this program started but never reached is ended at shutdown
// rather than left waiting for a client.
TEST_F(MusicCompanionTest, ShutdownEndsAStartedCompanionNeverReached) {
    const fs::path script = folder_ / "companion.sh";
    const fs::path pidFile = folder_ / "pid";
    testing::WriteText(script, "#!/bin/sh\necho $$ > " + pidFile.string() + "\nexec sleep 60\n");
    fs::permissions(script, fs::perms::owner_all);
    MusicCompanionSetup setup;
    setup.runtimeFolder = folder_.path();
    setup.program = script;
    setup.running = [] { return false; };
    MusicCompanion companion(loop_, setup);
    companion.Start();
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(pidFile) && fs::file_size(pidFile) > 1; }));
    const std::string proc = "/proc/" + std::to_string(std::stoi(testing::ReadText(pidFile)));
    companion.Shutdown();
    // Gone, or a zombie left for the destructor to collect.
    EXPECT_TRUE(WaitUntil([&] {
        const std::string stat = fs::exists(proc) ? testing::ReadText(proc + "/stat") : "";
        return stat.empty() || stat.find(") Z ") != std::string::npos;
    }));
}

// The real companion on a test tone: killed, it is started again by the
// watchdog, connected to, and its frames flow again; "exit" leaves none.
TEST_F(MusicCompanionTest, AKilledCompanionIsStartedAgainAndReconnected) {
    const fs::path program = fs::path(Q731_BINARY_DIR) / "app" / std::string(kCompanionProgram);
    ASSERT_TRUE(fs::exists(program)) << program;
    std::mutex pidsMutex;
    std::vector<pid_t> pids;
    auto launch = [&](std::string* error) {
        const std::string path = program.string();
        const std::string runtime = folder_.path().string();
        const char* argv[] = {path.c_str(), "--runtime-dir", runtime.c_str(),
                              "--source",   "generated:440", nullptr};
        pid_t pid = -1;
        if (::posix_spawn(&pid, path.c_str(), nullptr, nullptr, const_cast<char**>(argv),
                          environ) != 0) {
            *error = "spawn failed";
            return false;
        }
        std::lock_guard lock(pidsMutex);
        pids.push_back(pid);
        return true;
    };
    MusicCompanionSetup setup;
    setup.runtimeFolder = folder_.path();
    setup.launch = launch;
    MusicCompanion companion(loop_, setup);
    wanted_ = true;
    companion.SetCaptureWanted([] { return true; });
    int frames = 0;
    companion.SetFrameHandler([&](int, std::string) { ++frames; });
    auto framesFlow = [&] {
        const int before = frames;
        return WaitUntil([&] {
            loop_.ProcessPending();
            return frames > before + 10;
        });
    };
    StopEvent stop;
    std::thread watchdog([&] { companion.Watch(stop); });
    companion.Start();
    ASSERT_TRUE(WaitUntil(
        [&] {
            loop_.ProcessPending();
            return companion.Connected();
        },
        10s));
    ASSERT_TRUE(framesFlow());

    pid_t first = -1;
    {
        std::lock_guard lock(pidsMutex);
        first = pids.front();
    }
    ::kill(first, SIGKILL);
    ASSERT_EQ(::waitpid(first, nullptr, 0), first);
    ASSERT_TRUE(WaitUntil(
        [&] {
            loop_.ProcessPending();
            std::lock_guard lock(pidsMutex);
            return pids.size() >= 2 && companion.Connected();
        },
        10s));
    EXPECT_TRUE(framesFlow()) << "the new companion sends again";

    stop.Set();
    watchdog.join();
    companion.Shutdown();
    std::lock_guard lock(pidsMutex);
    for (pid_t pid : pids) {
        int status = 0;
        if (pid == first) continue;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_FALSE(fs::exists(CompanionSocketPath(folder_.path())));
}

}  // namespace
}  // namespace q731
