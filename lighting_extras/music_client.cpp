#include "lighting_extras/music_client.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/log.h"

namespace q731 {

namespace {

// One line in the log for the first drop and then every hundredth, so a
// companion that stops reading does not flood the log.
void LogDrop(int count, const std::string& why) {
    if (count == 1 || count % 100 == 0) {
        LogWarning("music companion: dropped " + std::to_string(count) + " message(s): " + why);
    }
}

}  // namespace

MusicCompanionLink::~MusicCompanionLink() {
    Close();
}

bool MusicCompanionLink::Connect(const std::filesystem::path& socketPath, FrameHandler onFrame,
                                 ClosedHandler onClosed, std::string* error) {
    Close();
    auto fail = [error](std::string why) {
        if (error) *error = std::move(why);
        return false;
    };
    sockaddr_un address{};
    const std::string path = socketPath.string();
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return fail("socket path too long: " + path);
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return fail(std::string("socket: ") + std::strerror(errno));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const std::string why = std::strerror(errno);
        ::close(fd);
        return fail("cannot reach " + path + ": " + why);
    }
    // Frames are only taken from a companion of this user.
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::getuid()) {
        ::close(fd);
        return fail(path + " belongs to another user");
    }
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        const std::string why = std::strerror(errno);
        ::close(fd);
        return fail("pipe: " + why);
    }
    onFrame_ = std::move(onFrame);
    onClosed_ = std::move(onClosed);
    closed_.store(false);
    fd_.store(fd);
    reader_ = std::thread([this, fd, stopFd = stopPipe_[0]] { Read(fd, stopFd); });
    return true;
}

void MusicCompanionLink::Close() {
    if (reader_.joinable()) {
        const char wake = 1;
        (void)!::write(stopPipe_[1], &wake, 1);
        reader_.join();
    }
    for (int& end : stopPipe_) {
        if (end >= 0) ::close(end);
        end = -1;
    }
    const int fd = fd_.exchange(-1);
    if (fd >= 0) ::close(fd);
    onFrame_ = nullptr;
    onClosed_ = nullptr;
}

bool MusicCompanionLink::Send(const BusMessage& message) {
    const int fd = fd_.load();
    if (fd < 0 || closed_.load()) return false;
    const std::string packet = EncodeBusMessage(message);
    if (packet.empty()) return false;
    const ssize_t sent = ::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent == static_cast<ssize_t>(packet.size())) return true;
    LogDrop(dropped_.fetch_add(1) + 1, sent < 0 ? std::strerror(errno) : "short send");
    return false;
}

bool MusicCompanionLink::SendCommand(MusicCommand command, int value) {
    BusMessage message;
    message.name = std::string(kMusicCommandName);
    message.wParam = static_cast<int>(command);
    message.lParam = value;
    return Send(message);
}

bool MusicCompanionLink::SendStyle(std::span<const std::uint8_t, kStyleBlockBytes> block) {
    BusMessage message;
    message.name = std::string(kMusicStyleName);
    message.payload.assign(reinterpret_cast<const char*>(block.data()), block.size());
    return Send(message);
}

void MusicCompanionLink::Read(int fd, int stopFd) {
    std::vector<char> buffer(kMaxBusPacket + 1);
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    while (true) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents != 0) return;  // Close(): no handler runs any more
        bool ended = (fds[0].revents & (POLLHUP | POLLERR)) != 0;
        while (true) {
            const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT);
            if (got < 0) {
                if (errno == EINTR) continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK) ended = true;
                break;
            }
            if (got == 0) {
                // The peer's end (an empty packet is never sent by the companion).
                ended = true;
                break;
            }
            if (static_cast<std::size_t>(got) > kMaxBusPacket) {
                LogDrop(dropped_.fetch_add(1) + 1, "oversized packet");
                continue;
            }
            std::string why;
            auto message = DecodeBusMessage(
                std::string_view(buffer.data(), static_cast<std::size_t>(got)), &why);
            if (!message || message->name != kMusicFrameName || message->wParam < 0 ||
                message->wParam > 255) {
                LogDrop(dropped_.fetch_add(1) + 1, message ? "unknown message" : why);
                continue;
            }
            if (onFrame_) onFrame_(static_cast<int>(message->wParam), std::move(message->payload));
        }
        if (ended) break;
    }
    closed_.store(true);
    if (onClosed_) onClosed_();
}

}  // namespace q731
