#pragma once
// Paces a device's host-side lighting on a thread of its own. Before each frame
// it asks the device for a plan; it sleeps until the next frame is due, the
// plan may have changed (Wake), or it is stopped. Nothing spins: a static
// picture is drawn once per change, and a device whose frames nobody needs
// (window hidden, mode not streamed) is not drawn at all.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/clock.h"

namespace q731 {

struct RenderPlan {
    enum class Kind {
        Idle,    // draw nothing until woken: link closed, synchronised, frames not needed
        Static,  // the picture does not move: draw once per Wake
        Paced,   // draw every `ticks` ticks of 2 ms (0 counts as 1)
    };
    Kind kind = Kind::Idle;
    int ticks = 1;
};

class RenderThread {
public:
    struct Hooks {
        std::function<RenderPlan()> plan;
        std::function<void(SteadyTime now)> render;
    };

    RenderThread(Clock& clock, Hooks hooks, std::string exitText);
    ~RenderThread();
    RenderThread(const RenderThread&) = delete;
    RenderThread& operator=(const RenderThread&) = delete;

    // Both are idempotent; Stop joins the thread before returning.
    void Start();
    void Stop();
    bool Running() const;

    // The plan may have changed (mode, speed, link, synchronisation, visibility).
    void Wake();

    std::uint64_t FramesDrawn() const { return frames_.load(); }

    // An idle or static thread still looks at its plan this often, so a change
    // nobody announced is picked up within this time.
    static constexpr Millis kIdleRecheck{250};

private:
    void Loop();

    Clock& clock_;
    Hooks hooks_;
    std::string exitText_;
    mutable std::mutex mutex_;  // guards thread_ against concurrent Start/Stop
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> changes_{0};
    std::atomic<std::uint64_t> frames_{0};
    Waker waker_;
};

}  // namespace q731
