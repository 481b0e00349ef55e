#include "devices/lighting/render_thread.h"

#include <algorithm>

#include "devices/lighting/lighting_tables.h"
#include "platform/log.h"

namespace q731 {

RenderThread::RenderThread(Clock& clock, Hooks hooks, std::string exitText)
    : clock_(clock), hooks_(std::move(hooks)), exitText_(std::move(exitText)) {}

RenderThread::~RenderThread() {
    Stop();
}

void RenderThread::Start() {
    std::lock_guard lock(mutex_);
    if (thread_.joinable()) return;
    stop_.store(false);
    waker_.TakePoke();
    thread_ = std::thread([this] { Loop(); });
}

void RenderThread::Stop() {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) return;
    stop_.store(true);
    waker_.Poke();
    thread_.join();
}

bool RenderThread::Running() const {
    std::lock_guard lock(mutex_);
    return thread_.joinable();
}

void RenderThread::Wake() {
    changes_.fetch_add(1);
    waker_.Poke();
}

void RenderThread::Loop() {
    std::uint64_t drawnChange = ~std::uint64_t{0};
    SteadyTime nextFrame = clock_.Now();
    while (!stop_.load()) {
        const std::uint64_t change = changes_.load();
        const RenderPlan plan = hooks_.plan ? hooks_.plan() : RenderPlan{};
        const SteadyTime now = clock_.Now();
        SteadyTime wakeAt = now + kIdleRecheck;
        switch (plan.kind) {
            case RenderPlan::Kind::Idle:
                drawnChange = ~std::uint64_t{0};
                nextFrame = now;
                break;
            case RenderPlan::Kind::Static:
                if (drawnChange != change) {
                    hooks_.render(now);
                    frames_.fetch_add(1);
                    drawnChange = change;
                }
                nextFrame = now;
                break;
            case RenderPlan::Kind::Paced: {
                drawnChange = ~std::uint64_t{0};
                const Millis period(kTickMs * std::max(plan.ticks, 1));
                if (now >= nextFrame) {
                    hooks_.render(now);
                    frames_.fetch_add(1);
                    nextFrame += period;
                    // Fell far behind (suspend, a slow machine): keep the cadence
                    // from now rather than drawing a burst of stale frames.
                    if (nextFrame <= now) nextFrame = now + period;
                }
                wakeAt = nextFrame;
                break;
            }
        }
        if (stop_.load()) break;
        clock_.SleepUntil(waker_, wakeAt);
    }
    LogInfo(exitText_);
}

}  // namespace q731
