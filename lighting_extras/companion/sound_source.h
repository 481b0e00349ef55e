#pragma once
// Where the companion's samples come from: the sound server's monitor of the
// default output, or a generated sine (tests and benches, no server needed).
// Mono float samples at kCaptureRate.
//
// The companion's loop waits inside the source (Wait), so one poll() covers
// the companion's sockets and whatever the source itself waits on; captured
// samples reach the sink from inside Wait.

#include <poll.h>

#include <functional>
#include <memory>
#include <span>
#include <utility>

namespace q731::companion {

class ISoundSource {
public:
    using SampleSink = std::function<void(std::span<const float>)>;

    virtual ~ISoundSource() = default;

    void SetSink(SampleSink sink) { sink_ = std::move(sink); }

    // Connect to / leave the sound server. A lost server is reconnected with
    // back-off until Disconnect.
    virtual void Connect() = 0;
    virtual void Disconnect() = 0;
    // Open / close the record stream; the stream opens once connected.
    virtual void StartCapture() = 0;
    virtual void StopCapture() = 0;

    // Waits at most `timeoutMs` (-1: no limit) until one of `fds` is ready,
    // doing the source's own work meanwhile. Returns the number of `fds` with
    // events (their revents are set), 0 on time-out, -1 on failure.
    virtual int Wait(std::span<pollfd> fds, int timeoutMs) = 0;

protected:
    void Deliver(std::span<const float> samples) {
        if (sink_ && !samples.empty()) sink_(samples);
    }

private:
    SampleSink sink_;
};

// Records "@DEFAULT_MONITOR@" from the sound server (PULSE_SERVER or the
// user's default), 5 ms fragments.
std::unique_ptr<ISoundSource> MakePulseSource();
// A sine of `hz` at half of full scale, paced in real time in 5 ms blocks
// while capturing. 0 Hz is digital silence.
std::unique_ptr<ISoundSource> MakeGeneratedSource(double hz);

}  // namespace q731::companion
