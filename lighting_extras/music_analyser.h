#pragma once
// Music lighting's analysis, on the UI thread. The companion's "frame"
// messages arrive here as blocks: a samples block is turned into lighting
// levels for the keyboards and the mouse, a colour block goes to the host's
// own lighting unchanged.
//
// Each samples frame is compared with the one before it; the per-value
// differences are what moves the lights. A frame that differs from the one
// before by a little but not by nothing (its differences add up to less than
// kNoiseSum) is background noise: the frames queued so far are dropped and
// levels wait until kQueueDepth usable frames have been queued again. Levels
// are smoothed: a band's new level is (old level + the sum of its group of
// differences) / 4. The devices get levels on every third frame, each band at
// the highest it reached since the last send: a beat whose difference shows
// in one frame between two sends still lights the keys (a steady tone after it
// differs by nothing, so it would otherwise never light them).
//
// The companion stops sending when the music stops, so the app calls
// CheckSilence every 100 ms: after kSilence without a frame the queues are
// emptied and the analyser is no longer active.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "lighting_extras/music_link.h"
#include "platform/clock.h"

namespace q731 {

// A block that passed CheckMusicBlock. `values` holds the block's int32
// values and zeros after them; `count` is how many of them the receiver
// uses: every kFrameValues of a samples block, the colour block's own values.
struct MusicBlockData {
    MusicBlock type = MusicBlock::Samples;
    std::array<std::int32_t, kFrameValues> values{};
    std::size_t count = 0;

    std::span<const std::int32_t> Values() const { return {values.data(), count}; }
};

// The block of `type` carried by `payload`, decoded as little-endian int32;
// nothing for an unknown type or a payload that is empty, too long for its
// type or not a whole number of values.
std::optional<MusicBlockData> CheckMusicBlock(int type, std::string_view payload);

class MusicAnalyser {
public:
    using Sink = std::function<void(std::span<const std::int32_t>)>;

    static constexpr std::size_t kBands = 25;        // keyboard levels
    static constexpr std::size_t kCoarseBands = 10;  // mouse levels
    static constexpr std::size_t kGroupStride = 5;   // differences per band
    static constexpr std::size_t kGroupWidth = 4;    // of which summed
    static constexpr std::size_t kQueueDepth = 4;
    static constexpr std::int64_t kNoiseSum = 100;
    static constexpr unsigned kFramesPerSend = 3;
    static constexpr Millis kSilence{500};
    // The mouse's share of the level buffer starts one value in.
    static constexpr std::size_t kMouseValues = kFrameValues - 1;

    explicit MusicAnalyser(Clock& clock);

    // Receivers; an unset one is skipped. A receiver gets a view of a buffer
    // that lives only during the call.
    void SetKeyboardSink(Sink sink) { keyboards_ = std::move(sink); }  // kFrameValues values
    void SetMouseSink(Sink sink) { mouse_ = std::move(sink); }         // kMouseValues values
    void SetHostColourSink(Sink sink) { hostColour_ = std::move(sink); }

    // A "frame" message: checked, then handled. False when it was dropped.
    bool HandleBlock(int type, std::string_view payload);
    void HandleBlock(const MusicBlockData& block);
    void HandleSamples(const std::array<std::int32_t, kFrameValues>& samples);

    // Ends the active state once kSilence has passed without a frame.
    void CheckSilence();

    bool Active() const { return active_; }
    const std::array<std::int32_t, kBands>& Levels() const { return levels_; }
    const std::array<std::int32_t, kCoarseBands>& CoarseLevels() const { return coarse_; }
    std::size_t QueuedDifferences() const { return differences_.size(); }
    std::size_t QueuedFlags() const { return usable_.size(); }
    unsigned FrameCounter() const { return frameCounter_; }

private:
    using Frame = std::array<std::int32_t, kFrameValues>;

    void ClearQueues();
    void ComputeLevels(const Frame& differences);

    Clock& clock_;
    Sink keyboards_;
    Sink mouse_;
    Sink hostColour_;
    bool active_ = false;
    SteadyTime lastFrame_{};
    unsigned frameCounter_ = 0;
    Frame previous_{};
    std::deque<Frame> differences_;
    std::deque<bool> usable_;
    std::array<std::int32_t, kBands> levels_{};
    std::array<std::int32_t, kCoarseBands> coarse_{};
    // The highest levels since the devices last got theirs.
    std::array<std::int32_t, kBands> heldLevels_{};
    std::array<std::int32_t, kCoarseBands> heldCoarse_{};
};

}  // namespace q731
