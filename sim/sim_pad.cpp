#include "sim/sim_pad.h"

#include <array>

namespace q731 {

namespace {
constexpr std::size_t kCommandByte = 3;
}  // namespace

std::vector<std::uint8_t> SimPadFactoryBlock(std::uint8_t profile) {
    std::vector<std::uint8_t> block(kSimPadBlockStride, 0);
    block[0] = profile;
    block[1] = 1;  // mode code
    block[2] = 4;  // brightness level
    block[3] = 2;  // 4 - speed level
    block[4] = static_cast<std::uint8_t>(0xA0 + profile);
    block[5] = 1;
    block[6] = 0xFF;
    for (std::size_t i = 9; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(0x30 + i + 16 * profile);
    return block;
}

void FillPadSettings(SimCommandFirmware& firmware, std::uint8_t active) {
    for (std::uint32_t profile = 0; profile < kSimPadProfiles; ++profile) {
        firmware.FillRegion(SimRegion::Settings, profile * kSimPadBlockStride,
                            SimPadFactoryBlock(static_cast<std::uint8_t>(profile)));
    }
    // Byte 0 of the memory is the active profile and also byte 0 of block 0.
    const std::array<std::uint8_t, 1> activeByte{active};
    firmware.FillRegion(SimRegion::Settings, 0, activeByte);
}

void SimClockedLatency::SetLatency(int command, std::chrono::milliseconds latency) {
    std::lock_guard lock(mutex_);
    command_ = command;
    latency_ = latency;
}

bool SimClockedLatency::OnOutputReport(std::uint16_t interfaceNumber,
                                       std::span<const std::uint8_t> report, const SimPort& port) {
    std::chrono::milliseconds latency{0};
    {
        std::lock_guard lock(mutex_);
        const int command = report.size() > kCommandByte ? report[kCommandByte] : -1;
        if (command_ == -1 || command_ == command) latency = latency_;
    }
    if (latency.count() > 0) clock_.Advance(latency);
    return inner_->OnOutputReport(interfaceNumber, report, port);
}

}  // namespace q731
