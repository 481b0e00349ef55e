#pragma once
// The companion's side of the music link (lighting_extras/music_link.h): the
// seqpacket socket in the runtime folder, one client at a time, the commands
// it sends, and the frames the analysis makes of the source's samples.
//
// Everything runs on the caller's thread in one loop that waits inside the
// source (ISoundSource::Wait), so a frame leaves as soon as its samples
// arrive. Frames are sent without waiting: when the client's socket is full
// the frame is dropped and counted. A client that goes away takes its
// requests with it: the stream closes and the server is left until the next
// client asks again.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "lighting_extras/companion/command_state.h"
#include "lighting_extras/companion/music_analysis.h"
#include "lighting_extras/companion/sound_source.h"
#include "platform/message_bus.h"

namespace q731::companion {

struct CompanionOptions {
    std::filesystem::path runtimeFolder;
    // How long the companion waits for a client before it ends.
    std::chrono::milliseconds idleExit = kCompanionIdleExit;
    // Whether the peer on a newly accepted socket may stay; empty: only
    // processes of this user id.
    std::function<bool(int fd)> peerAllowed;
    // Readable when the companion must end (a signal); -1 for none.
    int stopFd = -1;
};

enum class CompanionEnd { ExitCommand, Idle, Stopped, Failed };

class CompanionServer {
public:
    CompanionServer(ISoundSource& source, CompanionOptions options);
    ~CompanionServer();
    CompanionServer(const CompanionServer&) = delete;
    CompanionServer& operator=(const CompanionServer&) = delete;

    // Binds the socket (replacing whatever file is in its place: the caller
    // holds the instance lock, so no other companion serves it).
    bool Listen(std::string* error = nullptr);
    // Serves until Exit, the idle limit, the stop descriptor or a failure.
    CompanionEnd Run();

    int FramesSent() const { return framesSent_; }
    int FramesDropped() const { return framesDropped_; }
    int ClientsRefused() const { return clientsRefused_; }

private:
    enum class SendResult { Sent, Full, Broken };

    void AcceptClients();
    // Applies every packet queued on the client to the state (the source is
    // synced by the caller afterwards); false when the client is gone.
    bool ReadClient(short events);
    void DropClient(const char* why);
    void SendFrame(const SpectrumFrame& frame);
    SendResult SendPacket(const std::string& packet);

    ISoundSource& source_;
    CompanionOptions options_;
    SourceControl control_;
    MusicCommandState state_;
    SpectrumAnalyser analyser_;
    int listenFd_ = -1;
    int clientFd_ = -1;
    bool clientBroken_ = false;
    std::string buffer_;
    int framesSent_ = 0;
    int framesDropped_ = 0;
    int clientsRefused_ = 0;
    int ignored_ = 0;
};

// Whether `fd`'s peer runs under this process's user id.
bool PeerIsSameUser(int fd);

}  // namespace q731::companion
