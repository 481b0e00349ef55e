#include "devices/lighting/light_stream.h"

#include <algorithm>

#include "platform/log.h"

namespace q731 {

std::vector<std::uint8_t> BuildLightFrame(std::span<const LedColour> leds, std::size_t frameBytes,
                                          std::span<const std::uint8_t> ledMap,
                                          FrameShading shading) {
    std::vector<std::uint8_t> frame(std::min(frameBytes, kMaxLightFrameBytes), 0);
    for (std::size_t i = 0; i < leds.size(); ++i) {
        std::size_t led = i;
        if (!ledMap.empty()) {
            if (i >= ledMap.size() || ledMap[i] == kNoLedIndex) continue;
            led = ledMap[i];
        }
        const std::size_t at = 3 * led;
        if (at + 3 > frame.size()) continue;
        const Rgb shaded = shading == FrameShading::Shaded
                               ? leds[i].Shaded()
                               : Rgb{leds[i].red, leds[i].green, leds[i].blue};
        frame[at] = shaded.red;
        frame[at + 1] = shaded.green;
        frame[at + 2] = shaded.blue;
    }
    return frame;
}

StreamOutcome LightStream::Send(CDeviceLink& link, std::span<const std::uint8_t> frame) {
    if (!link.IsOpen()) return StreamOutcome::LinkClosed;
    ChannelState& state = State(link.SelectedChannel());
    if (state.stopped) return StreamOutcome::Stopped;
    const SteadyTime start = clock_.Now();
    if (state.pausing) {
        if (start < state.pauseEnds) return StreamOutcome::Paused;
        state.pausing = false;
    }
    const LinkResult result = link.StreamLightFrame(frame);
    const SteadyTime end = clock_.Now();
    const bool slow = end - start > kSlowSend;
    StreamOutcome outcome = StreamOutcome::Sent;
    if (slow) {
        if (++state.slowSends >= kSlowSendsToStop) {
            state.stopped = true;
            LogInfo("light stream stopped: the device answers too slowly");
            outcome = StreamOutcome::Stopping;
        } else {
            outcome = StreamOutcome::Slow;
        }
    } else {
        state.slowSends = 0;
    }
    if (result != LinkResult::Ok) {
        // The pause keeps a failing device from being asked on every tick; the
        // tick itself is never held up by it.
        state.pausing = true;
        state.pauseEnds = end + kFailurePause;
        if (outcome == StreamOutcome::Sent) outcome = StreamOutcome::Failed;
    }
    return outcome;
}

StreamOutcome LightStream::SendLeds(CDeviceLink& link, const LedColourList& leds,
                                    std::size_t frameBytes, std::span<const std::uint8_t> ledMap) {
    if (!link.IsOpen()) return StreamOutcome::LinkClosed;
    const std::vector<LedColour> snapshot = leds.Snapshot();
    return Send(link, BuildLightFrame(snapshot, frameBytes, ledMap));
}

void LightStream::OnLinkCheck(bool up) {
    if (up) {
        Restart(Channel::Receiver);
    } else {
        State(Channel::Receiver).stopped = true;
    }
}

void LightStream::Restart(Channel channel) {
    State(channel) = ChannelState{};
}

}  // namespace q731
