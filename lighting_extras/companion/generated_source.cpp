// The generated source: while capturing, a timerfd ticks every 5 ms and each
// tick (or the ticks missed meanwhile, up to a second's worth) becomes a block
// of the sine.

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "lighting_extras/companion/music_analysis.h"
#include "lighting_extras/companion/sound_source.h"

namespace q731::companion {

namespace {

constexpr double kAmplitude = 0.5;
constexpr std::uint64_t kMaxTicksAtOnce = 200;

class GeneratedSource final : public ISoundSource {
public:
    explicit GeneratedSource(double hz) : step_(2.0 * std::numbers::pi * hz / kCaptureRate) {}
    ~GeneratedSource() override { StopCapture(); }

    void Connect() override { connected_ = true; }
    void Disconnect() override {
        StopCapture();
        connected_ = false;
    }
    void StartCapture() override {
        if (!connected_ || timer_ >= 0) return;
        timer_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (timer_ < 0) return;
        constexpr long kTickNs = 1'000'000'000L * long{kHopSamples} / kCaptureRate;
        itimerspec period{};
        period.it_interval.tv_nsec = kTickNs;
        period.it_value.tv_nsec = kTickNs;
        ::timerfd_settime(timer_, 0, &period, nullptr);
    }
    void StopCapture() override {
        if (timer_ >= 0) ::close(timer_);
        timer_ = -1;
    }

    int Wait(std::span<pollfd> fds, int timeoutMs) override {
        polled_.assign(fds.begin(), fds.end());
        polled_.push_back({timer_, POLLIN, 0});
        const int ready = ::poll(polled_.data(), polled_.size(), timeoutMs);
        if (ready < 0) return errno == EINTR ? 0 : -1;
        std::copy_n(polled_.begin(), fds.size(), fds.begin());
        const bool ticked = polled_.back().revents != 0;
        if (ticked) Generate();
        return ready - (ticked ? 1 : 0);
    }

private:
    void Generate() {
        std::uint64_t ticks = 0;
        if (::read(timer_, &ticks, sizeof ticks) != sizeof ticks || ticks == 0) return;
        block_.resize(std::min(ticks, kMaxTicksAtOnce) * kHopSamples);
        for (float& sample : block_) {
            sample = static_cast<float>(kAmplitude * std::sin(phase_));
            phase_ = std::fmod(phase_ + step_, 2.0 * std::numbers::pi);
        }
        Deliver(block_);
    }

    double step_;
    double phase_ = 0;
    bool connected_ = false;
    int timer_ = -1;
    std::vector<pollfd> polled_;
    std::vector<float> block_;
};

}  // namespace

std::unique_ptr<ISoundSource> MakeGeneratedSource(double hz) {
    return std::make_unique<GeneratedSource>(hz);
}

}  // namespace q731::companion
