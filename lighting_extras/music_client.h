#pragma once
// The control centre's end of the link to the audio-capture companion: one
// seqpacket connection, written from the UI thread without ever blocking (a
// full socket drops the message and says so in the log), read by a thread of
// its own that hands every "frame" message on. Blocks are passed on as they
// came; CheckMusicBlock decides what they hold.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "lighting_extras/music_link.h"
#include "platform/message_bus.h"

namespace q731 {

class MusicCompanionLink {
public:
    // Runs on the reader thread for each frame message: its type and payload.
    using FrameHandler = std::function<void(int type, std::string payload)>;
    // Runs on the reader thread once when the companion closes the connection.
    using ClosedHandler = std::function<void()>;

    MusicCompanionLink() = default;
    ~MusicCompanionLink();
    MusicCompanionLink(const MusicCompanionLink&) = delete;
    MusicCompanionLink& operator=(const MusicCompanionLink&) = delete;

    // Connects to the companion's socket (closing any earlier connection) and
    // starts reading. The peer must run as this user. Never waits: a
    // companion that is not listening yet fails at once.
    bool Connect(const std::filesystem::path& socketPath, FrameHandler onFrame,
                 ClosedHandler onClosed, std::string* error = nullptr);
    // Stops reading and closes; nothing is called afterwards.
    void Close();
    bool Connected() const { return fd_.load() >= 0 && !closed_.load(); }

    // False when not connected or when the message did not fit into the
    // socket (the companion is not reading): it is dropped, never waited for.
    bool Send(const BusMessage& message);
    bool SendCommand(MusicCommand command, int value = 0);
    bool SendStyle(std::span<const std::uint8_t, kStyleBlockBytes> block);

    int Dropped() const { return dropped_.load(); }

private:
    void Read(int fd, int stopFd);

    std::atomic<int> fd_{-1};
    std::atomic<bool> closed_{false};
    int stopPipe_[2] = {-1, -1};
    FrameHandler onFrame_;
    ClosedHandler onClosed_;
    std::thread reader_;
    std::atomic<int> dropped_{0};
};

}  // namespace q731
