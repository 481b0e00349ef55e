#pragma once
// The local message bus: how other programs of the same user reach the running
// control centre (wake-up, lighting control, game events). A Unix seqpacket
// socket in the private runtime folder; peers of another user id are refused.
//
// Packet (little-endian): "Q731" magic, version 1, a reserved byte, name length
// (u16), payload length (u16), reserved (u16), wParam (i64), lParam (i64), then
// the name (printable ASCII) and the payload. Anything else is dropped.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

namespace q731 {

struct BusMessage {
    std::string name;
    std::int64_t wParam = 0;
    std::int64_t lParam = 0;
    std::string payload;
};

inline constexpr std::size_t kBusHeaderBytes = 28;
inline constexpr std::size_t kMaxBusName = 255;
inline constexpr std::size_t kMaxBusPayload = 4096;
inline constexpr std::size_t kMaxBusPacket = kBusHeaderBytes + kMaxBusName + kMaxBusPayload;

// What one connection may use before the server closes it. Connections are
// served side by side, so a client that exceeds these only loses its own.
inline constexpr std::size_t kBusMaxConnections = 64;
inline constexpr int kBusMaxPacketsPerConnection = 16;
inline constexpr std::size_t kBusMaxBytesPerConnection = 16 * kMaxBusPacket;
inline constexpr long long kBusIdleLimitMs = 2000;

// Empty when the message cannot be encoded (name or payload too long, bad name).
std::string EncodeBusMessage(const BusMessage& message);

// The way back to the client that sent a request: a duplicate of its
// connection, so the answer can go from another thread, later, even after the
// server closed its own end. Sending never blocks; a client that does not
// read loses its answer. The connection is let go with the object.
class BusReply {
public:
    explicit BusReply(int fd) : fd_(fd) {}
    ~BusReply();
    BusReply(const BusReply&) = delete;
    BusReply& operator=(const BusReply&) = delete;

    bool Send(const BusMessage& message);
    // Whether the client has hung up.
    bool PeerGone() const;

private:
    int fd_ = -1;
};
std::optional<BusMessage> DecodeBusMessage(std::string_view packet, std::string* why = nullptr);

class MessageBusServer {
public:
    using Handler = std::function<void(BusMessage)>;
    using Filter = std::function<bool(std::string_view name)>;
    using RequestHandler = std::function<void(BusMessage, std::shared_ptr<BusReply>)>;

    // `idleLimitMs`: how long a connection may stay silent before it is closed.
    explicit MessageBusServer(long long idleLimitMs = kBusIdleLimitMs)
        : idleLimitMs_(idleLimitMs) {}
    ~MessageBusServer();
    MessageBusServer(const MessageBusServer&) = delete;
    MessageBusServer& operator=(const MessageBusServer&) = delete;

    // Listens on `socketPath` (a stale socket file left by a dead server is
    // replaced; a live one is not). `handler` runs on the bus thread for every
    // well-formed message whose name `accept` allows. Every connection the
    // server closes is logged with the reason.
    bool Start(const std::filesystem::path& socketPath, Filter accept, Handler handler,
               std::string* error = nullptr);
    // Before Start: messages named `name` go to `handler` with a way to answer
    // (instead of the filter and the plain handler).
    void SetRequestHandler(std::string name, RequestHandler handler);
    void Stop();
    bool Running() const { return listenFd_ >= 0; }

    int Delivered() const { return delivered_.load(); }
    int Dropped() const { return dropped_.load(); }

private:
    void Serve();
    // Reads what one connection has; a reason (and whether it is a normal end)
    // when the connection must be closed.
    std::optional<std::pair<std::string, bool>> ServeReadable(int fd, short events, int& packets,
                                                              std::size_t& bytes,
                                                              std::string& buffer);
    void Deliver(int fd, std::string_view packet);

    long long idleLimitMs_;
    std::filesystem::path path_;
    Filter accept_;
    Handler handler_;
    std::string requestName_;
    RequestHandler requestHandler_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::thread thread_;
    std::atomic<int> delivered_{0};
    std::atomic<int> dropped_{0};
};

bool SendBusMessage(const std::filesystem::path& socketPath, const BusMessage& message,
                    std::string* error = nullptr);

// Sends `message` and waits up to `timeoutMs` for the answer on the same
// connection; nothing (with the reason) when none came.
std::optional<BusMessage> RequestBusMessage(const std::filesystem::path& socketPath,
                                            const BusMessage& message, int timeoutMs,
                                            std::string* error = nullptr);

// Sends `message`, then hands each message that comes back on the connection
// to `each` until it returns false or the connection ends: the first must come
// within `timeoutMs`, the others may take as long as they take. False (with the
// reason) when the message could not be sent or no first answer came.
bool WatchBusMessages(const std::filesystem::path& socketPath, const BusMessage& message,
                      int timeoutMs, const std::function<bool(const BusMessage&)>& each,
                      std::string* error = nullptr);

// The bus socket inside a runtime folder.
std::filesystem::path BusSocketPath(const std::filesystem::path& runtimeFolder);

}  // namespace q731

namespace q731 {
// Retries while the socket is not there yet or refuses (a first instance that
// is still starting), for at most `patienceMs`.
bool SendBusMessageWithin(const std::filesystem::path& socketPath, const BusMessage& message,
                          int patienceMs, std::string* error = nullptr);
}  // namespace q731
