// The companion's socket: in process with a recording source for who may
// connect and when it acts, and the real program on the generated source for
// frames, a second start and a clean exit.

#include "lighting_extras/companion/companion_server.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_folder.h"
#include "tests/support/wait.h"

extern char** environ;

namespace q731::companion {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::TestFolder;
using testing::WaitUntil;

// Records the calls (read from the test's thread while the server runs).
struct RecordingSource final : ISoundSource {
    mutable std::mutex mutex;
    std::string calls;
    void Record(const char* call) {
        std::lock_guard lock(mutex);
        calls += call;
    }
    std::string Calls() const {
        std::lock_guard lock(mutex);
        return calls;
    }
    void Connect() override { Record("connect "); }
    void Disconnect() override { Record("disconnect "); }
    void StartCapture() override { Record("start "); }
    void StopCapture() override { Record("stop "); }
    int Wait(std::span<pollfd> fds, int timeoutMs) override {
        return ::poll(fds.data(), fds.size(), timeoutMs);
    }
};

int ConnectTo(const fs::path& socket) {
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    ::close(fd);
    return -1;
}

void Send(int fd, MusicCommand command) {
    const std::string packet =
        EncodeBusMessage({std::string(kMusicCommandName), static_cast<int>(command), 0, {}});
    ASSERT_EQ(::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(packet.size()));
}

// The next message; nothing on time-out or when the companion closed the socket.
std::optional<BusMessage> Receive(int fd, int timeoutMs = 3000) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, timeoutMs) <= 0) return std::nullopt;
    std::string buffer(kMaxBusPacket, '\0');
    const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (got <= 0) return std::nullopt;
    return DecodeBusMessage(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
}

// The end of the connection; a reset when the companion left our packets unread.
bool ClosedByPeer(int fd) {
    pollfd ready{fd, POLLIN, 0};
    char byte = 0;
    if (::poll(&ready, 1, 3000) <= 0) return false;
    const ssize_t got = ::recv(fd, &byte, 1, MSG_DONTWAIT);
    return got == 0 || (got < 0 && errno == ECONNRESET);
}

// A server on the recording source, run on its own thread; `stop` ends it.
struct ServerRun {
    TestFolder folder{"q731-mc"};
    RecordingSource source;
    int stop[2] = {-1, -1};
    std::optional<CompanionServer> server;
    std::optional<CompanionEnd> end;
    std::thread thread;

    explicit ServerRun(CompanionOptions options) {
        EXPECT_EQ(::pipe(stop), 0);
        options.runtimeFolder = folder.path();
        options.stopFd = stop[0];
        server.emplace(source, options);
        EXPECT_TRUE(server->Listen());
    }
    void Start() {
        thread = std::thread([this] { end = server->Run(); });
    }
    CompanionEnd Join() {
        if (thread.joinable()) thread.join();
        return end.value_or(CompanionEnd::Failed);
    }
    void Stop() { EXPECT_EQ(::write(stop[1], "x", 1), 1); }
    ~ServerRun() {
        Stop();
        Join();
        ::close(stop[0]);
        ::close(stop[1]);
    }
    fs::path Socket() const { return CompanionSocketPath(folder.path()); }
};

TEST(CompanionServer, ActsOnTheStateTheWholeQueueLeaves) {
    ServerRun run({});
    const int client = ConnectTo(run.Socket());
    ASSERT_GE(client, 0);
    // Queued before the server reads anything: one batch.
    for (MusicCommand command : {MusicCommand::Connect, MusicCommand::Capture, MusicCommand::Stop})
        Send(client, command);
    run.Start();
    ASSERT_TRUE(WaitUntil([&] { return run.source.Calls() == "connect "; }));
    Send(client, MusicCommand::Exit);
    EXPECT_EQ(run.Join(), CompanionEnd::ExitCommand);
    EXPECT_EQ(run.source.Calls(), "connect disconnect ");
    ::close(client);
}

TEST(CompanionServer, RefusesAnotherUserAndKeepsOneClient) {
    CompanionOptions refuseAll;
    refuseAll.peerAllowed = [](int) { return false; };
    ServerRun foreign(refuseAll);
    foreign.Start();
    const int stranger = ConnectTo(foreign.Socket());
    ASSERT_GE(stranger, 0);
    // The refusal may close the socket before the request goes out: either way
    // nothing reaches the sound source.
    const std::string request =
        EncodeBusMessage({std::string(kMusicCommandName), int(MusicCommand::Connect), 0, {}});
    (void)::send(stranger, request.data(), request.size(), MSG_NOSIGNAL);
    EXPECT_TRUE(ClosedByPeer(stranger));
    foreign.Stop();
    EXPECT_EQ(foreign.Join(), CompanionEnd::Stopped);
    EXPECT_EQ(foreign.server->ClientsRefused(), 1);
    EXPECT_EQ(foreign.source.Calls(), "");
    ::close(stranger);

    // A newer client replaces the older, whose requests go with it; with no
    // client left the server ends after the idle time.
    CompanionOptions shortIdle;
    shortIdle.idleExit = 1s;
    ServerRun run(shortIdle);
    run.Start();
    const int older = ConnectTo(run.Socket());
    ASSERT_GE(older, 0);
    Send(older, MusicCommand::Connect);
    Send(older, MusicCommand::Capture);
    ASSERT_TRUE(WaitUntil([&] { return run.source.Calls() == "connect start "; }));
    const int newer = ConnectTo(run.Socket());
    ASSERT_GE(newer, 0);
    EXPECT_TRUE(ClosedByPeer(older));
    EXPECT_EQ(run.source.Calls(), "connect start stop disconnect ");
    ::close(newer);
    EXPECT_EQ(run.Join(), CompanionEnd::Idle);
    ::close(older);
}

pid_t StartCompanion(const fs::path& runtime) {
    std::vector<std::string> args = {Q731_COMPANION_PROGRAM,
                                     "--runtime-dir",
                                     runtime.string(),
                                     "--source",
                                     "generated:1000",
                                     "--idle-exit",
                                     "20"};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    EXPECT_EQ(::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    return pid;
}

// The exit status, or nothing when the process still runs after `limit`.
std::optional<int> ExitStatus(pid_t pid, std::chrono::milliseconds limit) {
    int status = 0;
    if (!WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, limit)) {
        return std::nullopt;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(CompanionProgram, SendsFramesAndLeavesNoSocketOnExit) {
    TestFolder folder("q731-mc");
    const fs::path socket = CompanionSocketPath(folder.path());
    const pid_t pid = StartCompanion(folder.path());
    int client = -1;
    ASSERT_TRUE(WaitUntil([&] { return (client = ConnectTo(socket)) >= 0; }));

    // A second start finds the first and ends at once.
    EXPECT_EQ(ExitStatus(StartCompanion(folder.path()), 3s), 0);

    for (MusicCommand command :
         {MusicCommand::Register, MusicCommand::Connect, MusicCommand::Capture})
        Send(client, command);
    std::vector<std::int32_t> levels;
    bool colour = false;
    for (int i = 0; i < 100 && (levels.empty() || !colour); ++i) {
        const std::optional<BusMessage> frame = Receive(client);
        ASSERT_TRUE(frame && frame->name == kMusicFrameName);
        if (frame->wParam == static_cast<int>(MusicBlock::Colour)) {
            colour = frame->payload.size() == kMaxColourBlockBytes;
        } else if (frame->wParam == static_cast<int>(MusicBlock::Samples) && i > 10) {
            ASSERT_EQ(frame->payload.size(), kMaxSamplesBlockBytes);
            levels.resize(kFrameValues);
            std::memcpy(levels.data(), frame->payload.data(), kMaxSamplesBlockBytes);
        }
    }
    ASSERT_TRUE(colour);
    ASSERT_FALSE(levels.empty());
    const auto peak = std::max_element(levels.begin(), levels.end()) - levels.begin();
    EXPECT_NEAR(SpectrumAnalyser::BandCentreHz(static_cast<std::size_t>(peak)), 1000, 50);

    Send(client, MusicCommand::Exit);
    EXPECT_EQ(ExitStatus(pid, 5s), 0);
    EXPECT_FALSE(fs::exists(socket));
    ::close(client);
}

}  // namespace
}  // namespace q731::companion
