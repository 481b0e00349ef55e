#include "lighting_extras/music_companion.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/log.h"
#include "platform/single_instance.h"

extern char** environ;

namespace q731 {

std::optional<int> SpawnProgram(const fs::path& program, std::string* error) {
    const std::string path = program.string();
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = -1;
    const int result = ::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ);
    if (result != 0) {
        if (error) *error = path + ": " + std::strerror(result);
        return std::nullopt;
    }
    return pid;
}

std::optional<MusicCommand> MusicCaptureGate::AfterConnect(bool wanted) {
    capturing_ = true;
    return Update(wanted);
}

std::optional<MusicCommand> MusicCaptureGate::Update(bool wanted) {
    if (wanted == capturing_) return std::nullopt;
    capturing_ = wanted;
    return wanted ? MusicCommand::Capture : MusicCommand::Stop;
}

MusicCompanion::MusicCompanion(UiLoop& loop, MusicCompanionSetup setup)
    : loop_(loop), setup_(std::move(setup)), self_(std::make_shared<MusicCompanion*>(this)) {
    if (!setup_.running) {
        setup_.running = [lock = CompanionLockPath(setup_.runtimeFolder)] {
            // The companion holds the lock while it runs: taking it here
            // means none does. It is let go at once, before any start.
            InstanceLock probe;
            return probe.Acquire(lock) != InstanceLock::Result::Acquired;
        };
    }
}

MusicCompanion::~MusicCompanion() {
    loop_.KillTimers(this);
    link_.Close();
    self_.reset();
    ReapChildren();
}

bool MusicCompanion::Launch(std::string* error) {
    if (setup_.launch) return setup_.launch(error);
    const std::optional<int> pid = SpawnProgram(setup_.program, error);
    if (!pid) return false;
    std::lock_guard lock(childrenMutex_);
    children_.push_back(*pid);
    return true;
}

void MusicCompanion::ReapChildren() {
    // A companion that ended is collected here, so none stays a zombie.
    std::lock_guard lock(childrenMutex_);
    std::erase_if(children_, [](int pid) {
        int status = 0;
        return ::waitpid(pid, &status, WNOHANG) != 0;
    });
}

void MusicCompanion::Start() {
    std::string error;
    if (!setup_.running() && !Launch(&error)) {
        LogWarning("music companion: cannot start: " + error);
        if (notice_) notice_(kLaunchFailedText);
    }
    loop_.SetOneShotTimer(this, kConnectTimer, kConnectDelay, [this] { (void)ConnectNow(); });
}

bool MusicCompanion::ConnectNow() {
    if (link_.Connected()) return true;
    std::weak_ptr<MusicCompanion*> weak = self_;
    std::string error;
    linkLost_.store(false);
    const bool connected = link_.Connect(
        CompanionSocketPath(setup_.runtimeFolder),
        [this, weak](int type, std::string payload) {
            loop_.Post([weak, type, payload = std::move(payload)]() mutable {
                if (auto self = weak.lock(); self && (*self)->onFrame_) {
                    (*self)->onFrame_(type, std::move(payload));
                }
            });
        },
        [this] { linkLost_.store(true); }, &error);
    if (!connected) {
        LogDebug("music companion: " + error);
        return false;
    }
    Send(MusicCommand::Register);
    Send(MusicCommand::Connect);
    Send(MusicCommand::Capture);
    if (auto command = gate_.AfterConnect(wanted_ && wanted_())) Send(*command);
    if (style_) (void)link_.SendStyle(*style_);
    return true;
}

bool MusicCompanion::Send(MusicCommand command, int value) {
    sent_.push_back(command);
    return link_.SendCommand(command, value);
}

void MusicCompanion::UpdateCapture() {
    if (!link_.Connected()) return;
    if (auto command = gate_.Update(wanted_ && wanted_())) Send(*command);
}

void MusicCompanion::SendStyle(const std::array<std::uint8_t, kStyleBlockBytes>& block) {
    style_ = block;
    if (link_.Connected()) (void)link_.SendStyle(block);
}

void MusicCompanion::SendChannel(int channel, int value) {
    if (channel < 0 || channel > 2 || !link_.Connected()) return;
    Send(static_cast<MusicCommand>(static_cast<int>(MusicCommand::ChannelR) + channel),
         std::clamp(value, 0, 9));
}

void MusicCompanion::Watch(StopEvent& stop, Clock& clock) {
    std::weak_ptr<MusicCompanion*> weak = self_;
    auto reconnect = [this, weak] {
        loop_.Post([weak] {
            if (auto self = weak.lock()) (void)(*self)->ConnectNow();
        });
    };
    Millis backOff = kWatchInterval;
    Millis wait = kWatchInterval;
    while (!stop.WaitFor(clock, wait)) {
        ReapChildren();
        if (setup_.running()) {
            backOff = kWatchInterval;
            wait = kWatchInterval;
            // Running but not linked (it replaced our connection, or it was
            // started by hand before us): connect again.
            if (linkLost_.load() || !link_.Connected()) reconnect();
            continue;
        }
        std::string error;
        if (!Launch(&error)) {
            LogWarning("music companion: cannot start again: " + error);
        } else if (stop.WaitFor(clock, kSettleAfterLaunch)) {
            return;
        } else {
            reconnect();
        }
        // A companion that keeps going away is started less and less often.
        wait = backOff;
        backOff = std::min(backOff * 2, kMaxBackOff);
    }
}

void MusicCompanion::Shutdown() {
    loop_.KillTimers(this);
    if (link_.Connected()) {
        Send(MusicCommand::Stop);
        Send(MusicCommand::Disconnect);
        Send(MusicCommand::Exit);
    }
    link_.Close();
    // A companion started moments ago may not have been reached yet and would
    // wait for a client until its idle time runs out: the ones this program
    // started are told to end now. One that ended already is a zombie until
    // reaped, so its pid cannot belong to another process.
    {
        std::lock_guard lock(childrenMutex_);
        for (const int pid : children_)
            ::kill(pid, SIGTERM);
    }
    ReapChildren();
}

}  // namespace q731
