// The sound server source on libpulse's plain main loop, run by the companion's
// own thread: Wait prepares the loop, polls its descriptors together with the
// caller's in one poll() (through the loop's poll hook), and dispatches.
//
// Whatever fails (the server is not there, goes away or restarts, the monitor
// cannot be recorded) is retried after a back-off that grows from
// kFirstRetryMs to kLastRetryMs and starts over once a stream runs.

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "lighting_extras/companion/music_analysis.h"
#include "lighting_extras/companion/sound_source.h"
#include "lighting_extras/music_link.h"
#include "platform/log.h"

namespace q731::companion {

namespace {

constexpr int kFirstRetryMs = 500;
constexpr int kLastRetryMs = 5000;
constexpr const char* kMonitor = "@DEFAULT_MONITOR@";
// Shortest time between two reads of the stream: three hops (15 ms). Each wake of the
// companion costs more than the analysis of a hop, and the keys follow the
// music well within this.
constexpr std::size_t kHopsPerRead = 3;
constexpr std::chrono::milliseconds kReadGap{1000 * kHopsPerRead * kHopSamples / kCaptureRate};

class PulseSource final : public ISoundSource {
public:
    PulseSource() : loop_(pa_mainloop_new()) {
        if (loop_ == nullptr) {
            LogError("sound server: cannot make a main loop");
            return;
        }
        api_ = pa_mainloop_get_api(loop_);
        pa_mainloop_set_poll_func(loop_, &PulseSource::PollThunk, this);
    }
    ~PulseSource() override {
        Disconnect();
        if (retry_ != nullptr) api_->time_free(retry_);
        if (loop_ != nullptr) pa_mainloop_free(loop_);
    }

    void Connect() override {
        wantServer_ = true;
        if (context_ == nullptr) StartContext();
    }
    void Disconnect() override {
        wantServer_ = false;
        CancelRetry();
        ReleaseContext();
        retryMs_ = kFirstRetryMs;
        failing_ = false;
    }
    void StartCapture() override {
        wantStream_ = true;
        if (stream_ == nullptr && context_ != nullptr &&
            pa_context_get_state(context_) == PA_CONTEXT_READY) {
            OpenStream();
        }
    }
    void StopCapture() override {
        wantStream_ = false;
        ReleaseStream();
    }

    int Wait(std::span<pollfd> fds, int timeoutMs) override {
        if (loop_ == nullptr) {
            const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
            return ready < 0 && errno == EINTR ? 0 : ready;
        }
        // While recording, the server is read at most every kReadGap: the
        // hops in between wait in the stream's buffer and are analysed
        // together. The caller's descriptors are still answered at once.
        if (stream_ != nullptr) {
            const auto due = lastDispatch_ + kReadGap;
            const auto now = std::chrono::steady_clock::now();
            if (now < due) {
                int gapMs = static_cast<int>(
                    std::chrono::ceil<std::chrono::milliseconds>(due - now).count());
                if (timeoutMs >= 0) gapMs = std::min(gapMs, timeoutMs);
                const int ready = ::poll(fds.data(), fds.size(), gapMs);
                if (ready != 0) return ready < 0 && errno == EINTR ? 0 : ready;
                if (timeoutMs >= 0) {
                    timeoutMs -= gapMs;
                    if (timeoutMs == 0) return 0;
                }
            }
        }
        extra_ = fds;
        extraReady_ = 0;
        const int usec = timeoutMs < 0 ? -1 : std::min(timeoutMs, INT_MAX / 1000) * 1000;
        const bool ok = pa_mainloop_prepare(loop_, usec) >= 0 && pa_mainloop_poll(loop_) >= 0 &&
                        pa_mainloop_dispatch(loop_) >= 0;
        lastDispatch_ = std::chrono::steady_clock::now();
        extra_ = {};
        return ok ? extraReady_ : -1;
    }

private:
    static int PollThunk(pollfd* ufds, unsigned long nfds, int timeout, void* self) {
        return static_cast<PulseSource*>(self)->Poll(ufds, nfds, timeout);
    }
    static void ContextThunk(pa_context* context, void* self) {
        static_cast<PulseSource*>(self)->ContextChanged(context);
    }
    static void StreamThunk(pa_stream* stream, void* self) {
        static_cast<PulseSource*>(self)->StreamChanged(stream);
    }
    static void ReadThunk(pa_stream* stream, std::size_t, void* self) {
        static_cast<PulseSource*>(self)->Read(stream);
    }
    static void RetryThunk(pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
        static_cast<PulseSource*>(self)->Retry();
    }

    // The loop's descriptors and the caller's in one poll().
    int Poll(pollfd* ufds, unsigned long nfds, int timeout) {
        polled_.assign(ufds, ufds + nfds);
        polled_.insert(polled_.end(), extra_.begin(), extra_.end());
        if (::poll(polled_.data(), polled_.size(), timeout) < 0) {
            for (unsigned long i = 0; i < nfds; ++i)
                ufds[i].revents = 0;
            return errno == EINTR ? 0 : -1;
        }
        int ready = 0;
        for (unsigned long i = 0; i < nfds; ++i) {
            ufds[i].revents = polled_[i].revents;
            ready += ufds[i].revents != 0 ? 1 : 0;
        }
        for (std::size_t i = 0; i < extra_.size(); ++i) {
            extra_[i].revents = polled_[nfds + i].revents;
            extraReady_ += extra_[i].revents != 0 ? 1 : 0;
        }
        return ready;
    }

    void StartContext() {
        context_ = pa_context_new(api_, std::string(kCompanionProgram).c_str());
        if (context_ == nullptr) {
            Failed("cannot make a context");
            return;
        }
        pa_context_set_state_callback(context_, &PulseSource::ContextThunk, this);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            Failed(std::string("cannot connect: ") + pa_strerror(pa_context_errno(context_)));
        }
    }

    void ContextChanged(pa_context* context) {
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY) {
            LogInfo(std::string("sound server: connected to ") +
                    (pa_context_get_server(context) ? pa_context_get_server(context) : "?"));
            if (wantStream_) {
                if (stream_ == nullptr) OpenStream();
            } else {
                Recovered();
            }
        } else if (!PA_CONTEXT_IS_GOOD(state)) {
            Failed(std::string("connection ended: ") + pa_strerror(pa_context_errno(context)));
        }
    }

    void OpenStream() {
        const pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32LE, kCaptureRate, 1};
        stream_ = pa_stream_new(context_, "music lighting", &sampleFormat, nullptr);
        if (stream_ == nullptr) {
            Failed(std::string("cannot make a stream: ") + pa_strerror(pa_context_errno(context_)));
            return;
        }
        pa_stream_set_state_callback(stream_, &PulseSource::StreamThunk, this);
        pa_stream_set_read_callback(stream_, &PulseSource::ReadThunk, this);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = static_cast<std::uint32_t>(-1);
        attr.prebuf = static_cast<std::uint32_t>(-1);
        attr.minreq = static_cast<std::uint32_t>(-1);
        // The monitor's latency is set to the read gap (three hops): low enough
        // for the keys to follow the music whatever latency the players ask
        // of the output, and the server is not made to wake every 5 ms.
        attr.fragsize = static_cast<std::uint32_t>(kHopsPerRead * kHopSamples * sizeof(float));
        if (pa_stream_connect_record(stream_, kMonitor, &attr, PA_STREAM_ADJUST_LATENCY) < 0) {
            Failed(std::string("cannot record ") + kMonitor + ": " +
                   pa_strerror(pa_context_errno(context_)));
        }
    }

    void StreamChanged(pa_stream* stream) {
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_READY) {
            LogInfo(std::string("sound server: recording ") +
                    (pa_stream_get_device_name(stream) ? pa_stream_get_device_name(stream) : "?"));
            Recovered();
        } else if (!PA_STREAM_IS_GOOD(state)) {
            Failed(std::string("stream ended: ") + pa_strerror(pa_context_errno(context_)));
        }
    }

    // Everything the stream holds now; holes (data lost) are skipped.
    void Read(pa_stream* stream) {
        while (pa_stream_readable_size(stream) > 0) {
            const void* data = nullptr;
            std::size_t bytes = 0;
            if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) return;
            if (data != nullptr) {
                samples_.resize(bytes / sizeof(float));
                std::memcpy(samples_.data(), data, samples_.size() * sizeof(float));
                Deliver(samples_);
            }
            pa_stream_drop(stream);
        }
    }

    void ReleaseStream() {
        if (stream_ == nullptr) return;
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_read_callback(stream_, nullptr, nullptr);
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }

    void ReleaseContext() {
        ReleaseStream();
        if (context_ == nullptr) return;
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }

    // The first failure after things ran is a warning; the retries that follow
    // are only debug lines. One failure often reports twice (the call and the
    // state change): a retry already due covers it.
    void Failed(const std::string& why) {
        if (retryPending_ || !wantServer_) return;
        const std::string line =
            "sound server: " + why + "; retrying in " + std::to_string(retryMs_) + " ms";
        failing_ ? LogDebug(line) : LogWarning(line);
        failing_ = true;
        ScheduleRetry();
    }

    void Recovered() {
        failing_ = false;
        retryMs_ = kFirstRetryMs;
    }

    void ScheduleRetry() {
        if (!wantServer_ || retryPending_ || api_ == nullptr) return;
        timeval when{};
        pa_timeval_add(pa_gettimeofday(&when), static_cast<pa_usec_t>(retryMs_) * 1000);
        if (retry_ == nullptr) {
            retry_ = api_->time_new(api_, &when, &PulseSource::RetryThunk, this);
        } else {
            api_->time_restart(retry_, &when);
        }
        retryPending_ = retry_ != nullptr;
        retryMs_ = std::min(retryMs_ * 2, kLastRetryMs);
    }

    void CancelRetry() {
        if (retry_ != nullptr && retryPending_) api_->time_restart(retry_, nullptr);
        retryPending_ = false;
    }

    // Starts again whatever is wanted and not running.
    void Retry() {
        retryPending_ = false;
        if (!wantServer_) return;
        if (context_ == nullptr || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
            ReleaseContext();
            StartContext();
            return;
        }
        const bool streamBad =
            stream_ == nullptr || !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_));
        if (pa_context_get_state(context_) == PA_CONTEXT_READY && wantStream_ && streamBad) {
            ReleaseStream();
            OpenStream();
        }
    }

    pa_mainloop* loop_ = nullptr;
    pa_mainloop_api* api_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    pa_time_event* retry_ = nullptr;
    bool retryPending_ = false;
    int retryMs_ = kFirstRetryMs;
    bool failing_ = false;
    bool wantServer_ = false;
    bool wantStream_ = false;
    std::span<pollfd> extra_;
    int extraReady_ = 0;
    std::vector<pollfd> polled_;
    std::vector<float> samples_;
    std::chrono::steady_clock::time_point lastDispatch_{};
};

}  // namespace

std::unique_ptr<ISoundSource> MakePulseSource() {
    return std::make_unique<PulseSource>();
}

}  // namespace q731::companion
