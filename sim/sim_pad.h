#pragma once
// The simulated mouse pad's own behaviour: a settings memory that looks like a
// pad fresh from the factory (with the bytes only the pad understands filled
// in), and a firmware front that makes chosen commands answer slowly on a
// manual clock, so that a host timing its sends on that clock meets a slow
// device without a test having to wait for one.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/clock.h"
#include "sim/sim_firmware.h"

namespace q731 {

inline constexpr std::uint32_t kSimPadProfiles = 4;
inline constexpr std::uint32_t kSimPadBlockStride = 64;

// The 64-byte settings block of pad profile `profile` as the factory leaves it:
// profile number, mode code 1, brightness 4, speed byte 2, colour wheel on,
// red; byte 4 and bytes 9-63 carry a pattern of the pad's own.
std::vector<std::uint8_t> SimPadFactoryBlock(std::uint8_t profile);
// Writes every profile's factory block and makes `active` the active profile.
void FillPadSettings(SimCommandFirmware& firmware, std::uint8_t active = 0);

class SimClockedLatency final : public ISimFirmware {
public:
    SimClockedLatency(std::shared_ptr<ISimFirmware> inner, ManualClock& clock)
        : inner_(std::move(inner)), clock_(clock) {}

    // Every frame of `command` (-1: any) moves the clock on by `latency`
    // before it is answered.
    void SetLatency(int command, std::chrono::milliseconds latency);

    bool OnOutputReport(std::uint16_t interfaceNumber, std::span<const std::uint8_t> report,
                        const SimPort& port) override;

private:
    std::shared_ptr<ISimFirmware> inner_;
    ManualClock& clock_;
    std::mutex mutex_;
    int command_ = -1;
    std::chrono::milliseconds latency_{0};
};

}  // namespace q731
