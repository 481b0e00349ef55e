#pragma once
// The light stream: in a host-driven mode the LED colour list is sent to the
// device as a light frame on every lighting tick. A device that answers slowly
// must not drag the UI thread down with it, so the stream backs off per
// channel: a send that takes longer than kSlowSend is slow, kSlowSendsToStop
// slow sends in a row stop the stream on that channel until a link check (on
// the receiver) or a reconnect restarts it, and a failed send keeps the
// channel quiet for kFailurePause. Chunks that meet a busy link are dropped by
// the link itself, never queued.
//
// One LightStream per device, used from the UI thread only (the lighting tick,
// the link check and connect all run there).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "devices/device_link.h"
#include "devices/lighting/led_colours.h"
#include "platform/clock.h"

namespace q731 {

inline constexpr Millis kSlowSend{500};
inline constexpr int kSlowSendsToStop = 2;
inline constexpr Millis kFailurePause{200};
// The light frame region of every device of the family.
inline constexpr std::size_t kMaxLightFrameBytes = 512;
// An LED map entry for a key without an LED.
inline constexpr std::uint8_t kNoLedIndex = 255;

// Whether a frame carries what the LED shows (each component × brightness ÷
// 256) or the entry's colour as stored (custom key colours are kept that way).
enum class FrameShading { Shaded, AsStored };

// A frame of `frameBytes` (at most kMaxLightFrameBytes) zero bytes with each
// entry's colour at 3 × its LED index: the entry's own index without a map,
// map[i] with one. Entries past the map, mapped to kNoLedIndex, or whose three
// bytes do not fit in the frame are left out.
std::vector<std::uint8_t> BuildLightFrame(std::span<const LedColour> leds, std::size_t frameBytes,
                                          std::span<const std::uint8_t> ledMap = {},
                                          FrameShading shading = FrameShading::Shaded);

enum class StreamOutcome {
    Sent,        // sent in time
    Slow,        // sent, but slowly; one more in a row stops the channel
    Stopping,    // the slow send that stopped the channel
    Failed,      // the link reported a failure; the channel pauses
    Stopped,     // not sent: the channel is stopped
    Paused,      // not sent: pausing after a failure
    LinkClosed,  // not sent: the link is not open
};

class LightStream {
public:
    explicit LightStream(Clock& clock) : clock_(clock) {}

    // Sends `frame` on the link's selected channel unless that channel is
    // stopped or pausing. The duration is measured on the injected clock.
    StreamOutcome Send(CDeviceLink& link, std::span<const std::uint8_t> frame);
    // Builds the frame from `leds` and sends it.
    StreamOutcome SendLeds(CDeviceLink& link, const LedColourList& leds, std::size_t frameBytes,
                           std::span<const std::uint8_t> ledMap = {});

    // The receiver's link check: an answer restarts its stream, silence stops it.
    void OnLinkCheck(bool up);
    // A reconnect on `channel` starts its stream afresh.
    void Restart(Channel channel);

    bool Stopped(Channel channel) const { return State(channel).stopped; }
    int SlowSends(Channel channel) const { return State(channel).slowSends; }

private:
    struct ChannelState {
        bool stopped = false;
        int slowSends = 0;
        bool pausing = false;
        SteadyTime pauseEnds{};
    };
    ChannelState& State(Channel channel) { return channels_[static_cast<std::size_t>(channel)]; }
    const ChannelState& State(Channel channel) const {
        return channels_[static_cast<std::size_t>(channel)];
    }

    Clock& clock_;
    std::array<ChannelState, kChannelCount> channels_{};
};

}  // namespace q731
