#pragma once
// Simulated firmware behind the command collection of the mouse, keyboard and
// mouse pad. It is strict on purpose: every frame is validated (report id,
// checksum, length byte within the channel's chunk size, address and length
// within the region), data writes outside a configuration session and a
// LeaveConfig that follows the previous frame too quickly are recorded, so a
// wrong frame fails a test. Faults can be injected per command and per frame.

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/sim_bus.h"

namespace q731 {

enum class SimChannel { Wired, Receiver };

enum class SimRegion {
    Settings,
    KeyTable,
    KeyColours,
    LedFrame,
    Macro,
    Shoot,
    LedMap,
    Info,
    Power
};

inline constexpr std::size_t kSimInfoBytes = 34;
inline constexpr std::size_t kSimPowerBytes = 6;
inline constexpr std::size_t kSimInfoKeyCount = 5;
inline constexpr std::size_t kSimInfoMacroUnits = 6;  // macro area in units of 128 bytes
inline constexpr uint32_t kSimMacroUnitBytes = 128;

struct SimMemoryLayout {
    uint32_t settingsBytes = 0x800;
    uint32_t keyTableBanks = 4;
    uint32_t keyTableBankBytes = 512;
    uint32_t keyColourGroups = 4;
    uint32_t keyColourStride = 512;
    uint32_t ledFrameBytes = 512;
    uint32_t shootBytes = 0x1000;
    uint32_t ledMapBytes = 170;
    std::array<uint8_t, kSimInfoBytes> info{};
    std::array<uint8_t, kSimPowerBytes> power{};
};

SimMemoryLayout MouseMemoryLayout();
SimMemoryLayout KeyboardMemoryLayout();
SimMemoryLayout MousePadMemoryLayout();

enum class SimFaultKind {
    NoReply,
    Delay,        // answer `delay` later
    StrayBefore,  // `strays` reports for `strayCommand` before the answer
    LateReply,    // answer after `delay`, meant to be past the host's time-out
    StatusFF,
    StatusFE,
    ShortReply,         // an 8-byte answer
    WrongByte4,         // answer byte 4 differs from the request's
    WriteFailure,       // the host's write fails
    UnplugAfterWrite,   // the frame arrives, then the device is gone
    UnplugBeforeFrame,  // the device is gone before the frame arrives
};

struct SimFault {
    SimFaultKind kind = SimFaultKind::NoReply;
    int command = -1;  // -1: any command
    int frame = -1;    // -1: any frame; n: the n-th frame written (from 0)
    int times = 1;     // how often it applies; -1: always
    std::chrono::microseconds delay{0};
    uint8_t strayCommand = 0x55;
    int strays = 1;
};

// What the receiver does with a command while its device's radio is off.
enum class RadioOffReply { Silent, Unsolicited0xAA };

struct SimFrameRecord {
    bool toDevice = true;
    int frameNumber = 0;
    std::vector<uint8_t> bytes;
};

struct SimViolation {
    int frameNumber = 0;
    std::string what;
};

class SimCommandFirmware final : public ISimFirmware {
public:
    SimCommandFirmware(SimChannel channel, SimMemoryLayout layout);

    bool OnOutputReport(uint16_t interfaceNumber, std::span<const uint8_t> report,
                        const SimPort& port) override;

    void SetLatency(std::chrono::microseconds latency);
    void SetRadioOn(bool on);
    void SetRadioOffReply(RadioOffReply reply);
    void AddFault(const SimFault& fault);
    void ClearFaults();

    std::vector<SimFrameRecord> FrameLog() const;
    std::string FrameLogHex() const;
    void ClearLog();
    std::vector<SimViolation> Violations() const;
    int FramesReceived() const;
    bool InConfig() const;
    bool HostLighting() const;

    std::vector<uint8_t> Region(SimRegion region) const;
    void FillRegion(SimRegion region, uint32_t offset, std::span<const uint8_t> bytes);

private:
    struct Outgoing {
        std::vector<uint8_t> bytes;
        std::chrono::microseconds delay;
    };
    struct Plan {
        bool writeOk = true;
        bool unplug = false;
        std::vector<Outgoing> reports;
    };

    Plan Handle(std::span<const uint8_t> report);
    bool TakeFault(uint8_t command, int frameNumber, SimFault& out);
    // Validates and runs one frame; fills `reply` bytes 7 onward.
    void Execute(std::span<const uint8_t> frame, int frameNumber, std::vector<uint8_t>& reply);
    bool ChunkAccess(std::span<const uint8_t> frame, int frameNumber, SimRegion region,
                     uint32_t& address, uint32_t& length);
    std::vector<uint8_t>& Memory(SimRegion region);
    uint32_t RegionSize(SimRegion region) const;
    void Violation(int frameNumber, std::string what);

    mutable std::mutex mutex_;
    SimChannel channel_;
    SimMemoryLayout layout_;
    std::array<std::vector<uint8_t>, 9> memory_;
    std::chrono::microseconds latency_{0};
    bool radioOn_ = true;
    RadioOffReply radioOffReply_ = RadioOffReply::Silent;
    std::vector<SimFault> faults_;
    std::vector<SimFrameRecord> log_;
    std::vector<SimViolation> violations_;
    int frames_ = 0;
    bool inConfig_ = false;
    bool hostLighting_ = false;
    std::chrono::steady_clock::time_point lastFrame_{};
};

}  // namespace q731
