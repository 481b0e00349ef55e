#include "platform/message_bus.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/log.h"

namespace q731 {

namespace {

constexpr char kMagic[4] = {'Q', '7', '3', '1'};
constexpr std::uint8_t kVersion = 1;

void PutLe(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint64_t GetLe(std::string_view in, std::size_t offset, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[offset + i])) << (8 * i);
    }
    return value;
}

bool ValidBusName(std::string_view name) {
    if (name.empty() || name.size() > kMaxBusName) return false;
    for (char c : name) {
        if (c < 0x21 || c > 0x7E) return false;
    }
    return true;
}

bool MakeAddress(const std::filesystem::path& path, sockaddr_un& address, std::string* error) {
    address = {};
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof(address.sun_path)) {
        if (error) *error = "socket path too long: " + text;
        return false;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

}  // namespace

std::string EncodeBusMessage(const BusMessage& message) {
    if (!ValidBusName(message.name) || message.payload.size() > kMaxBusPayload) return {};
    std::string out(kMagic, sizeof kMagic);
    PutLe(out, kVersion, 1);
    PutLe(out, 0, 1);
    PutLe(out, message.name.size(), 2);
    PutLe(out, message.payload.size(), 2);
    PutLe(out, 0, 2);
    PutLe(out, static_cast<std::uint64_t>(message.wParam), 8);
    PutLe(out, static_cast<std::uint64_t>(message.lParam), 8);
    out += message.name;
    out += message.payload;
    return out;
}

std::optional<BusMessage> DecodeBusMessage(std::string_view packet, std::string* why) {
    auto fail = [why](const char* reason) -> std::optional<BusMessage> {
        if (why) *why = reason;
        return std::nullopt;
    };
    if (packet.size() < kBusHeaderBytes) return fail("short packet");
    if (packet.size() > kMaxBusPacket) return fail("oversized packet");
    if (std::memcmp(packet.data(), kMagic, sizeof kMagic) != 0) return fail("bad magic");
    if (GetLe(packet, 4, 1) != kVersion) return fail("unknown version");
    if (GetLe(packet, 5, 1) != 0 || GetLe(packet, 10, 2) != 0) return fail("reserved bytes set");
    const std::size_t nameLength = GetLe(packet, 6, 2);
    const std::size_t payloadLength = GetLe(packet, 8, 2);
    if (nameLength > kMaxBusName || payloadLength > kMaxBusPayload) return fail("bad lengths");
    if (kBusHeaderBytes + nameLength + payloadLength != packet.size()) {
        return fail("lengths do not match the packet");
    }
    BusMessage message;
    message.wParam = static_cast<std::int64_t>(GetLe(packet, 12, 8));
    message.lParam = static_cast<std::int64_t>(GetLe(packet, 20, 8));
    message.name = std::string(packet.substr(kBusHeaderBytes, nameLength));
    message.payload = std::string(packet.substr(kBusHeaderBytes + nameLength, payloadLength));
    if (!ValidBusName(message.name)) return fail("bad name");
    return message;
}

std::filesystem::path BusSocketPath(const std::filesystem::path& runtimeFolder) {
    return runtimeFolder / "bus.sock";
}

MessageBusServer::~MessageBusServer() {
    Stop();
}

bool MessageBusServer::Start(const std::filesystem::path& socketPath, Filter accept,
                             Handler handler, std::string* error) {
    Stop();
    sockaddr_un address{};
    if (!MakeAddress(socketPath, address, error)) return false;

    // A socket file nobody answers on is left over from a run that died.
    if (std::filesystem::exists(socketPath)) {
        const int probe = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        const bool live = probe >= 0 && ::connect(probe, reinterpret_cast<sockaddr*>(&address),
                                                  sizeof address) == 0;
        if (probe >= 0) ::close(probe);
        if (live) {
            if (error) *error = "another program is listening on " + socketPath.string();
            return false;
        }
        ::unlink(socketPath.c_str());
    }

    // Non-blocking: the server takes every waiting connection and stops at EAGAIN.
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        if (error) *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    // Only the owner may connect: the folder is private, the socket is made 0600,
    // and the peer check in Serve is the last line.
    const int bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (bound != 0 || ::chmod(socketPath.c_str(), 0600) != 0 || ::listen(fd, SOMAXCONN) != 0 ||
        ::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        if (error) *error = "cannot listen on " + socketPath.string() + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    path_ = socketPath;
    accept_ = std::move(accept);
    handler_ = std::move(handler);
    listenFd_ = fd;
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void MessageBusServer::Stop() {
    if (listenFd_ < 0) return;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(stopPipe_[1], &byte, 1);
    if (thread_.joinable()) thread_.join();
    ::close(listenFd_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
    listenFd_ = -1;
    stopPipe_[0] = stopPipe_[1] = -1;
    ::unlink(path_.c_str());
}

namespace {

using BusClock = std::chrono::steady_clock;

struct Connection {
    int fd = -1;
    BusClock::time_point lastActivity;
    int packets = 0;
    std::size_t bytes = 0;
};

long long MillisSince(BusClock::time_point then, BusClock::time_point now) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(now - then).count();
}

}  // namespace

// Every connection is served at once from one poll set: a client that is slow,
// silent or flooding uses up only its own budget, never another's turn.
void MessageBusServer::Serve() {
    std::vector<Connection> connections;
    std::vector<pollfd> fds;
    std::string buffer(kMaxBusPacket + 1, '\0');
    auto close = [](Connection& connection, const std::string& why, bool normal) {
        const std::string line = "message bus: closed a connection: " + why;
        normal ? LogDebug(line) : LogWarning(line);
        ::close(connection.fd);
        connection.fd = -1;
    };
    // Reads what the connection has now; closes it when it is done or over budget.
    auto serve = [&](Connection& connection, short events, BusClock::time_point now) {
        if (auto why = ServeReadable(connection.fd, events, connection.packets, connection.bytes,
                                     buffer)) {
            close(connection, why->first, why->second);
        } else if (events != 0) {
            connection.lastActivity = now;
        }
    };
    auto compact = [&] {
        std::erase_if(connections, [](const Connection& c) { return c.fd < 0; });
    };
    while (true) {
        fds.clear();
        fds.push_back({stopPipe_[0], POLLIN, 0});
        fds.push_back({listenFd_, POLLIN, 0});
        auto now = BusClock::now();
        int timeoutMs = -1;
        for (const Connection& connection : connections) {
            fds.push_back({connection.fd, POLLIN, 0});
            const long long left = idleLimitMs_ - MillisSince(connection.lastActivity, now);
            const int wait = static_cast<int>(std::max<long long>(left, 0));
            timeoutMs = timeoutMs < 0 ? wait : std::min(timeoutMs, wait);
        }
        if (::poll(fds.data(), fds.size(), timeoutMs) < 0) {
            if (errno == EINTR) continue;
            LogError(std::string("message bus: poll: ") + std::strerror(errno));
            break;
        }
        if (fds[0].revents != 0) break;
        now = BusClock::now();

        // In the order the connections came, so one client's messages keep theirs.
        for (std::size_t i = 0; i < connections.size(); ++i) {
            if (fds[i + 2].revents != 0) serve(connections[i], fds[i + 2].revents, now);
        }
        for (Connection& connection : connections) {
            const long long idle = MillisSince(connection.lastActivity, now);
            if (connection.fd >= 0 && idle >= idleLimitMs_) {
                close(connection, "silent for " + std::to_string(idle) + " ms", false);
            }
        }
        compact();
        if ((fds[1].revents & POLLIN) == 0) continue;
        while (true) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0) break;  // EAGAIN: nobody else is waiting
            ucred peer{};
            socklen_t length = sizeof peer;
            if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 ||
                peer.uid != ::getuid()) {
                LogWarning("message bus: refused a connection from another user");
                dropped_.fetch_add(1);
                ::close(fd);
                continue;
            }
            // Most clients send at once and hang up: served here, they never
            // take a place in the table.
            Connection connection{fd, now, 0, 0};
            serve(connection, 0, now);
            if (connection.fd < 0) continue;
            if (connections.size() >= kBusMaxConnections) {
                // The table is full: the connection silent the longest makes
                // room, so a client hoarding connections loses its own.
                auto oldest = std::min_element(connections.begin(), connections.end(),
                                               [](const Connection& a, const Connection& b) {
                                                   return a.lastActivity < b.lastActivity;
                                               });
                close(*oldest, "too many connections; this one was the most idle", false);
                connections.erase(oldest);
            }
            connections.push_back(connection);
        }
    }
    for (Connection& connection : connections)
        close(connection, "the bus is stopping", true);
}

std::optional<std::pair<std::string, bool>> MessageBusServer::ServeReadable(int fd, short events,
                                                                            int& packets,
                                                                            std::size_t& bytes,
                                                                            std::string& buffer) {
    using Reason = std::pair<std::string, bool>;
    while (true) {
        const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // All read; a hang-up without data left is the end.
                if (events & (POLLHUP | POLLERR)) return Reason{"closed by the peer", true};
                return std::nullopt;
            }
            return Reason{std::string("receive failed: ") + std::strerror(errno), false};
        }
        if (got == 0) {
            // An empty packet and the peer's end both read as 0 bytes: data
            // still queued, or no hang-up, means this was an empty packet.
            int queued = 0;
            const bool more = ::ioctl(fd, FIONREAD, &queued) == 0 && queued > 0;
            pollfd probe{fd, POLLIN, 0};
            const bool hungUp = ::poll(&probe, 1, 0) > 0 && (probe.revents & (POLLHUP | POLLERR));
            if (!more && hungUp) return Reason{"closed by the peer", true};
            LogWarning("message bus: dropped an empty packet");
            dropped_.fetch_add(1);
        } else if (static_cast<std::size_t>(got) > kMaxBusPacket) {
            LogWarning("message bus: dropped an oversized packet of " + std::to_string(got) +
                       " bytes");
            dropped_.fetch_add(1);
        } else {
            Deliver(fd, std::string_view(buffer.data(), static_cast<std::size_t>(got)));
        }
        bytes += static_cast<std::size_t>(std::max<ssize_t>(got, 1));
        if (++packets >= kBusMaxPacketsPerConnection) {
            return Reason{"packet budget used (" + std::to_string(packets) + " packets)", false};
        }
        if (bytes > kBusMaxBytesPerConnection) {
            return Reason{"byte budget used (" + std::to_string(bytes) + " bytes)", false};
        }
    }
}

void MessageBusServer::SetRequestHandler(std::string name, RequestHandler handler) {
    requestName_ = std::move(name);
    requestHandler_ = std::move(handler);
}

void MessageBusServer::Deliver(int fd, std::string_view packet) {
    std::string why;
    auto message = DecodeBusMessage(packet, &why);
    if (!message) {
        LogWarning("message bus: dropped a malformed packet (" + why + ")");
        dropped_.fetch_add(1);
        return;
    }
    if (requestHandler_ && message->name == requestName_) {
        const int replyFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (replyFd < 0) {
            LogWarning(std::string("message bus: no way to answer: ") + std::strerror(errno));
            dropped_.fetch_add(1);
            return;
        }
        delivered_.fetch_add(1);
        requestHandler_(std::move(*message), std::make_shared<BusReply>(replyFd));
        return;
    }
    if (accept_ && !accept_(message->name)) {
        LogWarning("message bus: dropped unknown message '" + message->name + "'");
        dropped_.fetch_add(1);
        return;
    }
    delivered_.fetch_add(1);
    if (handler_) handler_(std::move(*message));
}

BusReply::~BusReply() {
    if (fd_ >= 0) ::close(fd_);
}

bool BusReply::Send(const BusMessage& message) {
    const std::string packet = EncodeBusMessage(message);
    if (packet.empty() || fd_ < 0) return false;
    return ::send(fd_, packet.data(), packet.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
           static_cast<ssize_t>(packet.size());
}

namespace {

// A connected client socket that has sent `message`; -1 (with the reason) when not.
int SendOnNewConnection(const std::filesystem::path& socketPath, const BusMessage& message,
                        std::string* error) {
    const std::string packet = EncodeBusMessage(message);
    if (packet.empty()) {
        if (error) *error = "message cannot be encoded (name or payload too long)";
        return -1;
    }
    sockaddr_un address{};
    if (!MakeAddress(socketPath, address, error)) return -1;
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        if (error) *error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    // A server whose backlog is full for a moment (a burst of clients) is
    // tried again briefly; a missing or refusing one fails at once.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    int connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    while (connected != 0 && errno == EAGAIN && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    if (connected != 0 || ::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL | MSG_DONTWAIT) !=
                              static_cast<ssize_t>(packet.size())) {
        if (error) *error = "cannot reach " + socketPath.string() + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

// The next message on `fd`, waiting up to `timeoutMs` (-1: as long as it takes).
std::optional<BusMessage> ReceiveWithin(int fd, int timeoutMs, std::string* error) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string buffer(kMaxBusPacket + 1, '\0');
    while (true) {
        int wait = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            wait = static_cast<int>(std::max<long long>(left, 0));
        }
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, wait);
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) {
            if (error) *error = "no answer within " + std::to_string(timeoutMs) + " ms";
            return std::nullopt;
        }
        const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got <= 0) {
            if (error) *error = "the control centre closed the connection without an answer";
            return std::nullopt;
        }
        if (static_cast<std::size_t>(got) > kMaxBusPacket) continue;  // not one of ours
        if (auto message =
                DecodeBusMessage(std::string_view(buffer.data(), static_cast<std::size_t>(got)))) {
            return message;
        }
    }
}

}  // namespace

bool BusReply::PeerGone() const {
    pollfd probe{fd_, 0, 0};
    return fd_ < 0 || (::poll(&probe, 1, 0) > 0 && (probe.revents & (POLLHUP | POLLERR)) != 0);
}

std::optional<BusMessage> RequestBusMessage(const std::filesystem::path& socketPath,
                                            const BusMessage& message, int timeoutMs,
                                            std::string* error) {
    const int fd = SendOnNewConnection(socketPath, message, error);
    if (fd < 0) return std::nullopt;
    std::optional<BusMessage> answer = ReceiveWithin(fd, timeoutMs, error);
    ::close(fd);
    return answer;
}

bool WatchBusMessages(const std::filesystem::path& socketPath, const BusMessage& message,
                      int timeoutMs, const std::function<bool(const BusMessage&)>& each,
                      std::string* error) {
    const int fd = SendOnNewConnection(socketPath, message, error);
    if (fd < 0) return false;
    std::optional<BusMessage> next = ReceiveWithin(fd, timeoutMs, error);
    const bool answered = next.has_value();
    while (next && each(*next))
        next = ReceiveWithin(fd, -1, nullptr);
    ::close(fd);
    return answered;
}

bool SendBusMessage(const std::filesystem::path& socketPath, const BusMessage& message,
                    std::string* error) {
    const std::string packet = EncodeBusMessage(message);
    if (packet.empty()) {
        if (error) *error = "message cannot be encoded (name or payload too long)";
        return false;
    }
    sockaddr_un address{};
    if (!MakeAddress(socketPath, address, error)) return false;
    // Never blocks: a peer that does not accept or does not read makes the
    // send fail at once rather than hold up the caller (often the UI thread).
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        if (error) *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
              ::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
                  static_cast<ssize_t>(packet.size());
    if (!ok && error) *error = "cannot reach " + socketPath.string() + ": " + std::strerror(errno);
    ::close(fd);
    return ok;
}

}  // namespace q731

namespace q731 {
bool SendBusMessageWithin(const std::filesystem::path& socketPath, const BusMessage& message,
                          int patienceMs, std::string* error) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(patienceMs);
    while (true) {
        if (SendBusMessage(socketPath, message, error)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
}  // namespace q731
