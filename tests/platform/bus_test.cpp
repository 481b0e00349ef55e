#include "platform/message_bus.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/log.h"
#include "platform/message_names.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

class BusTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/q731-bus-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        socket_ = BusSocketPath(dir_);
        ASSERT_TRUE(server_.Start(
            socket_,
            [](std::string_view name) {
                for (auto accepted : messages::kAcceptedFromOutside) {
                    if (accepted == name) return true;
                }
                return false;
            },
            [this](BusMessage message) {
                std::lock_guard lock(mutex_);
                received_.push_back(std::move(message));
                cv_.notify_all();
            }));
    }
    void TearDown() override {
        server_.Stop();
        fs::remove_all(dir_);
    }

    // Sends raw bytes as one packet.
    bool SendRaw(const std::string& bytes) {
        const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_.c_str());
        bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                  ::send(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
        ::close(fd);
        return ok;
    }

    // Waits until `count` messages were delivered and `dropped` were dropped.
    bool WaitFor(int count, int dropped) {
        std::unique_lock lock(mutex_);
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        // Drops do not signal the condition variable: look again every few ms.
        while (static_cast<int>(received_.size()) < count || server_.Dropped() < dropped) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            cv_.wait_for(lock, 5ms);
        }
        return true;
    }

    fs::path dir_;
    fs::path socket_;
    MessageBusServer server_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<BusMessage> received_;
};

TEST_F(BusTest, DeliversWellFormedMessagesWithTheirParameters) {
    ASSERT_TRUE(SendBusMessage(socket_, {"Game_Kill", 0, 5, {}}));
    ASSERT_TRUE(SendBusMessage(socket_, {std::string(messages::kLightingControl), 1, -1, "xy"}));
    ASSERT_TRUE(WaitFor(2, 0));
    EXPECT_EQ(received_[0].name, "Game_Kill");
    EXPECT_EQ(received_[0].wParam, 0);
    EXPECT_EQ(received_[0].lParam, 5);
    EXPECT_EQ(received_[1].lParam, -1);
    EXPECT_EQ(received_[1].payload, "xy");
    struct stat info {};
    ASSERT_EQ(::stat(socket_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(BusTest, DropsMalformedOversizedAndUnknownMessagesAndKeepsServing) {
    LogCapture log;
    std::string good = EncodeBusMessage({"Game_End", 2, 3, {}});
    std::string badMagic = good;
    badMagic[0] = 'X';
    std::string lengthMismatch = good + "extra";
    std::string oversized = good + std::string(kMaxBusPacket, 'z');
    std::string shortPacket = good.substr(0, 10);
    for (const std::string& packet : {badMagic, lengthMismatch, oversized, shortPacket}) {
        ASSERT_TRUE(SendRaw(packet));
    }
    ASSERT_TRUE(SendBusMessage(socket_, {"Format_Disk", 0, 0, {}}));
    ASSERT_TRUE(SendBusMessage(socket_, {"Game_Start", 1, 2, {}}));
    ASSERT_TRUE(WaitFor(1, 5));
    EXPECT_EQ(server_.Dropped(), 5);
    ASSERT_EQ(received_.size(), 1u);
    EXPECT_EQ(received_[0].name, "Game_Start");
    EXPECT_TRUE(log.Contains("oversized"));
    EXPECT_TRUE(log.Contains("unknown message 'Format_Disk'"));
}

// A connected client socket (the caller closes it).
int Connect(const fs::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Clients that hold connections open, flood one, or send nothing cost only
// themselves: every other client's messages still arrive.
TEST_F(BusTest, SilentAndGreedyClientsCannotLockOthersOut) {
    LogCapture log;
    std::vector<int> silent;
    for (int i = 0; i < 50; ++i) {
        silent.push_back(Connect(socket_));
        ASSERT_GE(silent.back(), 0) << i;
    }
    // One connection that sends past its budget and never reads or closes.
    const int greedy = Connect(socket_);
    const std::string packet = EncodeBusMessage({"Game_End", 0, 1, {}});
    int greedySent = 0;
    for (int i = 0; i < 2 * kBusMaxPacketsPerConnection; ++i) {
        if (::send(greedy, packet.data(), packet.size(), MSG_NOSIGNAL) <= 0) break;  // closed
        ++greedySent;
    }
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(SendBusMessageWithin(socket_, {"Game_Kill", 0, i, {}}, 2000)) << i;
    }
    ASSERT_TRUE(WaitFor(100 + kBusMaxPacketsPerConnection, 0));
    int fromOthers = 0;
    {
        std::lock_guard lock(mutex_);
        for (const BusMessage& message : received_)
            fromOthers += message.name == "Game_Kill" ? 1 : 0;
    }
    EXPECT_EQ(fromOthers, 100);
    EXPECT_GE(greedySent, kBusMaxPacketsPerConnection);
    EXPECT_TRUE(log.Contains("packet budget used")) << "the greedy connection was closed";
    for (int fd : silent)
        ::close(fd);
    ::close(greedy);
}

TEST(BusServer, EmptyPacketsAndSilentConnectionsAreLoggedAndSurvivedOrClosed) {
    char pattern[] = "/tmp/q731-bus-XXXXXX";
    const fs::path dir = ::mkdtemp(pattern);
    std::atomic<int> delivered{0};
    MessageBusServer server(100);  // a silent connection lasts 100 ms
    ASSERT_TRUE(server.Start(BusSocketPath(dir), nullptr, [&](BusMessage) { ++delivered; }));
    LogCapture log;
    const int fd = Connect(BusSocketPath(dir));
    ASSERT_GE(fd, 0);
    const std::string packet = EncodeBusMessage({"Game_End", 0, 1, {}});
    ASSERT_EQ(::send(fd, "", 0, MSG_NOSIGNAL), 0);
    ASSERT_EQ(::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(packet.size()));
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while ((delivered.load() < 1 || !log.Contains("silent for")) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(delivered.load(), 1) << "the packet after the empty one still arrives";
    EXPECT_TRUE(log.Contains("dropped an empty packet"));
    EXPECT_TRUE(log.Contains("closed a connection: silent for"));
    ::close(fd);
    server.Stop();
    fs::remove_all(dir);
}

// A request is answered on its own connection, later and from another thread,
// even after the server closed its end (here after 100 ms of silence); other
// messages still reach the plain handler; an unanswered request times out.
TEST(BusServer, RequestsAreAnsweredOnTheirConnectionFromAnyThread) {
    char pattern[] = "/tmp/q731-bus-XXXXXX";
    const fs::path dir = ::mkdtemp(pattern);
    std::atomic<int> plain{0};
    std::vector<std::thread> answering;
    std::vector<std::shared_ptr<BusReply>> held;
    MessageBusServer server(100);
    server.SetRequestHandler("ask", [&](BusMessage message, std::shared_ptr<BusReply> reply) {
        if (message.payload == "ignore") return;
        if (message.payload == "hold") {
            held.push_back(reply);
            return;
        }
        answering.emplace_back([message, reply] {
            std::this_thread::sleep_for(200ms);
            EXPECT_TRUE(reply->Send({"answer", message.wParam, 7, message.payload + "!"}));
        });
    });
    ASSERT_TRUE(server.Start(BusSocketPath(dir), nullptr, [&](BusMessage) { ++plain; }));

    std::string error;
    const auto answer =
        RequestBusMessage(BusSocketPath(dir), {"ask", 42, 0, "hello"}, 2000, &error);
    ASSERT_TRUE(answer) << error;
    EXPECT_EQ(answer->name, "answer");
    EXPECT_EQ(answer->wParam, 42);
    EXPECT_EQ(answer->lParam, 7);
    EXPECT_EQ(answer->payload, "hello!");
    // Kept but never answered: the client gives up; dropped: it learns at once.
    EXPECT_FALSE(RequestBusMessage(BusSocketPath(dir), {"ask", 1, 0, "hold"}, 300, &error));
    EXPECT_NE(error.find("no answer within 300 ms"), std::string::npos) << error;
    EXPECT_FALSE(RequestBusMessage(BusSocketPath(dir), {"ask", 1, 0, "ignore"}, 3000, &error));
    EXPECT_NE(error.find("without an answer"), std::string::npos) << error;
    EXPECT_TRUE(SendBusMessage(BusSocketPath(dir), {"Game_End", 0, 0, {}}));
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (plain.load() < 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    server.Stop();
    for (std::thread& thread : answering)
        thread.join();
    EXPECT_EQ(plain.load(), 1);
    fs::remove_all(dir);
}

TEST_F(BusTest, ClientRefusesWhatCannotBeEncoded) {
    std::string error;
    EXPECT_FALSE(SendBusMessage(socket_, {std::string(300, 'a'), 0, 0, {}}, &error));
    EXPECT_FALSE(
        SendBusMessage(socket_, {"Game_Kill", 0, 0, std::string(kMaxBusPayload + 1, 'p')}));
    EXPECT_FALSE(SendBusMessage(socket_, {"two words", 0, 0, {}}));
    EXPECT_FALSE(SendBusMessage(dir_ / "nobody.sock", {"Game_Kill", 0, 0, {}}, &error));
    EXPECT_NE(error.find("cannot reach"), std::string::npos);
}

TEST_F(BusTest, ALiveServerIsNotReplacedButAStaleSocketIs) {
    MessageBusServer second;
    std::string error;
    EXPECT_FALSE(second.Start(socket_, nullptr, nullptr, &error));
    EXPECT_NE(error.find("another program"), std::string::npos);
    server_.Stop();
    // Leave a dead socket file behind, as a crashed run would.
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    EXPECT_TRUE(second.Start(socket_, nullptr, nullptr, &error)) << error;
}

TEST_F(BusTest, PeersOfAnotherUserAreRefused) {
    if (::getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    // Open the way so that only the peer check stands between them.
    ::chmod(dir_.c_str(), 0755);
    ::chmod(socket_.c_str(), 0666);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setuid(65534) != 0) ::_exit(3);
        ::_exit(SendBusMessage(socket_, {"Game_Kill", 0, 5, {}}) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    // The send itself may or may not get through before the server hangs up.
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 3) << "could not become another user";
    ASSERT_TRUE(WaitFor(0, 1));
    EXPECT_TRUE(received_.empty());
}

TEST(BusClient, APeerThatNeverAcceptsCannotBlockTheSender) {
    char pattern[] = "/tmp/q731-stuck-XXXXXX";
    const fs::path dir = ::mkdtemp(pattern);
    const fs::path path = dir / "stuck.sock";
    const int listener = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 0), 0);  // and never accepts
    int refused = 0;
    for (int attempt = 0; attempt < 20; ++attempt) {
        const auto before = std::chrono::steady_clock::now();
        if (!SendBusMessage(path, {"WM_COPYDATA", 5, 0, std::string(1024, 'x')})) ++refused;
        EXPECT_LT(std::chrono::steady_clock::now() - before, 100ms) << "attempt " << attempt;
    }
    EXPECT_GT(refused, 0) << "the backlog fills and later sends fail";
    ::close(listener);
    fs::remove_all(dir);
}

TEST(BusCodec, RandomPacketsNeverCrashTheDecoder) {
    std::mt19937 random(731);
    const std::string valid = EncodeBusMessage({"Game_Death", 7, 9, "payload"});
    int decoded = 0;
    for (int round = 0; round < 100000; ++round) {
        std::string packet = valid;
        switch (round % 3) {
            case 0:  // flip a few bytes
                for (int flips = 0; flips < 3; ++flips) {
                    packet[random() % packet.size()] = static_cast<char>(random());
                }
                break;
            case 1:  // cut or extend
                packet.resize(random() % (valid.size() * 2));
                break;
            default:  // pure noise
                packet.resize(random() % 64);
                for (char& c : packet)
                    c = static_cast<char>(random());
        }
        if (auto message = DecodeBusMessage(packet)) {
            ++decoded;
            EXPECT_EQ(EncodeBusMessage(*message), packet) << "accepted packets are canonical";
        }
    }
    EXPECT_GT(decoded, 0);
}

}  // namespace
}  // namespace q731
