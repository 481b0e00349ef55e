#include "lighting_extras/companion/companion_server.h"

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include <fmt/format.h>

#include "platform/log.h"

namespace q731::companion {

namespace {

using Clock = std::chrono::steady_clock;

// A flood of packets is read over several turns of the loop, so that the
// frames keep going out meanwhile.
constexpr int kMaxPacketsPerTurn = 256;

// True for the 1st, 10th, 100th... time: how often repeated trouble is logged.
bool Rarely(int count) {
    while (count >= 10 && count % 10 == 0)
        count /= 10;
    return count == 1;
}

}  // namespace

bool PeerIsSameUser(int fd) {
    ucred peer{};
    socklen_t length = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 &&
           length == sizeof peer && peer.uid == ::getuid();
}

CompanionServer::CompanionServer(ISoundSource& source, CompanionOptions options)
    : source_(source),
      options_(std::move(options)),
      control_(source),
      buffer_(kMaxBusPacket + 1, '\0') {
    if (!options_.peerAllowed) options_.peerAllowed = PeerIsSameUser;
    source_.SetSink([this](std::span<const float> samples) {
        // Late samples of a stream just closed are not wanted any more.
        if (!state_.StreamWanted()) return;
        analyser_.Push(samples, [this](const SpectrumFrame& frame) { SendFrame(frame); });
    });
}

CompanionServer::~CompanionServer() {
    control_.Release();
    source_.SetSink({});
    if (clientFd_ >= 0) ::close(clientFd_);
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        ::unlink(CompanionSocketPath(options_.runtimeFolder).c_str());
    }
}

bool CompanionServer::Listen(std::string* error) {
    const std::string path = CompanionSocketPath(options_.runtimeFolder).string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        if (error) *error = "socket path too long: " + path;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    // A file left by a companion that died: ours now, since we hold the lock.
    ::unlink(path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        if (error) *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    // The runtime folder is private; 0600 and the peer check keep it so.
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 8) != 0) {
        if (error) *error = "cannot listen on " + path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    listenFd_ = fd;
    return true;
}

CompanionEnd CompanionServer::Run() {
    if (listenFd_ < 0) return CompanionEnd::Failed;
    auto finish = [this](CompanionEnd end, const char* why) {
        LogInfo(fmt::format("music companion: ending ({}); {} frames sent, {} dropped", why,
                            framesSent_, framesDropped_));
        if (clientFd_ >= 0) DropClient("the companion ends");
        control_.Release();
        return end;
    };
    auto idleSince = Clock::now();
    while (true) {
        int timeoutMs = -1;
        if (clientFd_ < 0) {
            const auto left = options_.idleExit - (Clock::now() - idleSince);
            if (left <= Clock::duration::zero()) return finish(CompanionEnd::Idle, "no client");
            timeoutMs =
                static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
        }
        pollfd fds[3] = {
            {listenFd_, POLLIN, 0}, {options_.stopFd, POLLIN, 0}, {clientFd_, POLLIN, 0}};
        if (source_.Wait(fds, timeoutMs) < 0) {
            LogError(std::string("music companion: poll: ") + std::strerror(errno));
            return finish(CompanionEnd::Failed, "poll failed");
        }
        if (fds[1].revents != 0) return finish(CompanionEnd::Stopped, "stopped");
        if (clientBroken_) {
            DropClient("it cannot be written to");
            idleSince = Clock::now();
        } else if (clientFd_ >= 0 && fds[2].revents != 0) {
            // Every queued message first, then the state they leave.
            const bool gone = !ReadClient(fds[2].revents);
            if (state_.ExitRequested()) return finish(CompanionEnd::ExitCommand, "asked to");
            analyser_.SetWeights(state_.Weights());
            if (!state_.StreamWanted()) analyser_.Reset();
            if (gone) {
                DropClient("closed by the peer");
                idleSince = Clock::now();
            } else {
                control_.Sync(state_);
            }
        }
        if (fds[0].revents != 0) AcceptClients();
    }
}

void CompanionServer::AcceptClients() {
    while (true) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                LogWarning(std::string("music companion: accept: ") + std::strerror(errno));
            return;
        }
        bool allowed = false;
        try {
            allowed = options_.peerAllowed(fd);
        } catch (...) {
            allowed = false;
        }
        if (!allowed) {
            ++clientsRefused_;
            if (Rarely(clientsRefused_)) {
                LogWarning(
                    fmt::format("music companion: refused a client of another user ({} so far)",
                                clientsRefused_));
            }
            ::close(fd);
            continue;
        }
        if (clientFd_ >= 0) DropClient("a newer client connected");
        clientFd_ = fd;
        LogInfo("music companion: a client connected");
    }
}

bool CompanionServer::ReadClient(short events) {
    bool gone = false;
    for (int packets = 0; packets < kMaxPacketsPerTurn && !gone; ++packets) {
        const ssize_t got =
            ::recv(clientFd_, buffer_.data(), buffer_.size(), MSG_DONTWAIT | MSG_TRUNC);
        if (got < 0) {
            if (errno == EINTR) continue;
            gone = errno != EAGAIN && errno != EWOULDBLOCK;
            if (!gone && (events & (POLLHUP | POLLERR))) gone = true;
            break;
        }
        if (got == 0) {
            // An empty packet and the peer's end both read as 0 bytes: with
            // nothing queued and the peer hung up, it is the end.
            int queued = 0;
            const bool more = ::ioctl(clientFd_, FIONREAD, &queued) == 0 && queued > 0;
            pollfd probe{clientFd_, POLLIN, 0};
            const bool hungUp = ::poll(&probe, 1, 0) > 0 && (probe.revents & (POLLHUP | POLLERR));
            gone = !more && hungUp;
            continue;
        }
        std::string why = "oversized";
        std::optional<BusMessage> message;
        if (static_cast<std::size_t>(got) <= kMaxBusPacket) {
            message = DecodeBusMessage(std::string_view(buffer_.data(), std::size_t(got)), &why);
        }
        if (message && state_.Apply(*message)) continue;
        if (Rarely(++ignored_)) {
            LogWarning(fmt::format("music companion: ignored a packet ({}; {} so far)",
                                   message ? "unknown message " + message->name : why, ignored_));
        }
    }
    return !gone;
}

void CompanionServer::DropClient(const char* why) {
    LogInfo(std::string("music companion: client closed: ") + why);
    // The source first: once the client sees the end, its requests are undone.
    state_ = MusicCommandState{};
    control_.Sync(state_);
    analyser_.Reset();
    analyser_.SetWeights(state_.Weights());
    ::close(clientFd_);
    clientFd_ = -1;
    clientBroken_ = false;
}

void CompanionServer::SendFrame(const SpectrumFrame& frame) {
    if (clientFd_ < 0 || clientBroken_) return;
    const std::string name(kMusicFrameName);
    const std::string samples =
        EncodeBusMessage({name, static_cast<int>(MusicBlock::Samples), 0, SamplesBlock(frame)});
    const std::string colour =
        EncodeBusMessage({name, static_cast<int>(MusicBlock::Colour), 0, ColourBlock(frame)});
    SendResult result = SendPacket(samples);
    if (result == SendResult::Sent) result = SendPacket(colour);
    if (result == SendResult::Sent) {
        ++framesSent_;
    } else if (result == SendResult::Full) {
        if (Rarely(++framesDropped_)) {
            LogWarning(fmt::format(
                "music companion: the client reads too slowly; {} frames dropped", framesDropped_));
        }
    } else {
        // Closed in the loop, outside the source's callbacks.
        clientBroken_ = true;
    }
}

CompanionServer::SendResult CompanionServer::SendPacket(const std::string& packet) {
    while (true) {
        if (::send(clientFd_, packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL) >= 0)
            return SendResult::Sent;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS) return SendResult::Full;
        return SendResult::Broken;
    }
}

}  // namespace q731::companion
