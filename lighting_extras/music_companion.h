#pragma once
// The audio-capture companion as the control centre sees it: started beside
// the program, connected a moment later, told to capture only while some
// keyboard shows music, given the active style, and started again by a
// watchdog thread when it goes away.
//
// Everything but the watchdog runs on the UI thread. The watchdog only tests
// whether a companion holds its instance lock, starts one when none does (a
// second apart at first, then doubling to half a minute while starts keep
// failing) and asks the UI thread to connect; it never talks to the companion
// and never shows anything. Frames reach the UI thread through its loop.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lighting_extras/music_client.h"
#include "platform/clock.h"
#include "platform/stop_event.h"
#include "platform/ui_loop.h"

namespace q731 {

namespace fs = std::filesystem;

// Starts `program` with no arguments, its own process; the pid, or nothing
// (with the reason) when it could not be started.
std::optional<int> SpawnProgram(const fs::path& program, std::string* error = nullptr);

// Which capture command, if any, follows a change of what the keyboards show.
class MusicCaptureGate {
public:
    // After the connect sequence (register, connect, capture) the companion
    // captures; `wanted` says whether any keyboard is in a music mode.
    std::optional<MusicCommand> AfterConnect(bool wanted);
    std::optional<MusicCommand> Update(bool wanted);
    bool Capturing() const { return capturing_; }

private:
    bool capturing_ = false;
};

struct MusicCompanionSetup {
    fs::path runtimeFolder;
    fs::path program;
    // Starts the companion; by default SpawnProgram(program). False with the
    // reason when it could not be started.
    std::function<bool(std::string* error)> launch;
    // Whether a companion holds the instance lock; by default tested on the
    // lock file in the runtime folder.
    std::function<bool()> running;
};

class MusicCompanion {
public:
    static constexpr int kConnectTimer = 1011;
    static constexpr Millis kConnectDelay{100};
    static constexpr Millis kWatchInterval{1000};
    static constexpr Millis kSettleAfterLaunch{500};
    static constexpr Millis kMaxBackOff{30000};
    // Shown when the companion cannot be started.
    static constexpr const char* kLaunchFailedText = "Record open failed!";

    using FrameHandler = std::function<void(int type, std::string payload)>;
    using Notice = std::function<void(const std::string& text)>;

    MusicCompanion(UiLoop& loop, MusicCompanionSetup setup);
    ~MusicCompanion();
    MusicCompanion(const MusicCompanion&) = delete;
    MusicCompanion& operator=(const MusicCompanion&) = delete;

    // Where frames go (UI thread) and who tells the user that the companion
    // could not be started.
    void SetFrameHandler(FrameHandler handler) { onFrame_ = std::move(handler); }
    void SetNotice(Notice notice) { notice_ = std::move(notice); }
    // Whether capture is wanted, asked at every connect.
    void SetCaptureWanted(std::function<bool()> wanted) { wanted_ = std::move(wanted); }

    // Starts the companion (told on failure) and connects 100 ms later.
    void Start();
    // Connects now and sends register, connect to the sound server, capture,
    // then stop when no keyboard wants music, then the style.
    bool ConnectNow();
    bool Connected() const { return link_.Connected(); }

    // The keyboards' music state changed (or may have): capture follows it.
    void UpdateCapture();
    bool Capturing() const { return gate_.Capturing(); }
    // The active style's block: kept, and sent whenever connected.
    void SendStyle(const std::array<std::uint8_t, kStyleBlockBytes>& block);
    // One of the style's three weights (channel 0-2, value 0-9), while connected.
    void SendChannel(int channel, int value);

    // The watchdog's body (a worker thread): until `stop` is set.
    void Watch(StopEvent& stop, Clock& clock = SteadyClock::Instance());

    // Stop capturing, leave the sound server and end: the program is closing.
    void Shutdown();

    // For tests: the commands sent, in order.
    const std::vector<MusicCommand>& SentCommands() const { return sent_; }

private:
    bool Launch(std::string* error);
    bool Send(MusicCommand command, int value = 0);
    void ReapChildren();

    UiLoop& loop_;
    MusicCompanionSetup setup_;
    MusicCompanionLink link_;
    MusicCaptureGate gate_;
    FrameHandler onFrame_;
    Notice notice_;
    std::function<bool()> wanted_;
    std::optional<std::array<std::uint8_t, kStyleBlockBytes>> style_;
    std::vector<MusicCommand> sent_;
    // Lets posted work find out that this object is gone.
    std::shared_ptr<MusicCompanion*> self_;
    std::atomic<bool> linkLost_{false};
    std::mutex childrenMutex_;
    std::vector<int> children_;
};

}  // namespace q731
