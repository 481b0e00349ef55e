#include "sim/sim_firmware.h"

#include <algorithm>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "sim/sim_products.h"

namespace q731 {

namespace {

constexpr std::size_t kFrameBytes = 64;
constexpr std::size_t kCommand = 3;
constexpr std::size_t kLength = 4;
constexpr std::size_t kAddressLow = 5;
constexpr std::size_t kAddressHigh = 6;
constexpr std::size_t kStatus = 7;
constexpr std::size_t kData = 8;
constexpr uint8_t kStatusOk = 0x00;
constexpr uint8_t kStatusError = 0xFF;
constexpr uint8_t kWiredChunk = 56;
constexpr uint8_t kReceiverChunk = 24;
constexpr uint8_t kShootChunk = 56;
constexpr auto kLeaveConfigPause = std::chrono::milliseconds(10);

enum Command : uint8_t {
    kEnterConfig = 0x01,
    kLeaveConfig = 0x02,
    kReadDeviceInfo = 0x03,
    kReadMemory = 0x05,
    kWriteMemory = 0x06,
    kReadKeyTable = 0x07,
    kWriteKeyTable = 0x09,
    kWriteKeyColours = 0x0B,
    kStreamLightFrame = 0x12,
    kWriteMacroMemory = 0x15,
    kWriteShootData = 0x17,
    kReadPowerStatus = 0x1A,
    kReadLedMap = 0x1B,
    kEnableHostLighting = 0x1C,
    kQueryLink = 0xAA,
};

struct ChunkCommand {
    uint8_t command;
    SimRegion region;
    bool write;
    bool needsConfig;
};

// clang-format off
constexpr ChunkCommand kChunkCommands[] = {
    {kReadDeviceInfo,   SimRegion::Info,       false, false},
    {kReadMemory,       SimRegion::Settings,   false, false},
    {kWriteMemory,      SimRegion::Settings,   true,  true},
    {kReadKeyTable,     SimRegion::KeyTable,   false, false},
    {kWriteKeyTable,    SimRegion::KeyTable,   true,  true},
    {kWriteKeyColours,  SimRegion::KeyColours, true,  false},
    {kStreamLightFrame, SimRegion::LedFrame,   true,  false},
    {kWriteMacroMemory, SimRegion::Macro,      true,  true},
    {kWriteShootData,   SimRegion::Shoot,      true,  true},
    {kReadLedMap,       SimRegion::LedMap,     false, false},
};
// clang-format on

uint16_t Checksum(std::span<const uint8_t> frame) {
    uint32_t sum = 0;
    for (std::size_t i = kCommand; i < kFrameBytes; ++i)
        sum += frame[i];
    return static_cast<uint16_t>(sum);
}

SimMemoryLayout BaseLayout(uint8_t keyCount, uint8_t macroUnits) {
    SimMemoryLayout layout;
    layout.info[kSimInfoKeyCount] = keyCount;
    layout.info[kSimInfoMacroUnits] = macroUnits;
    layout.ledMapBytes = std::max<uint32_t>(keyCount, 1);
    return layout;
}

}  // namespace

SimMemoryLayout MouseMemoryLayout() {
    SimMemoryLayout layout = BaseLayout(11, 32);
    layout.info[9] = 0x51;   // sensor code
    layout.info[11] = 50;    // DPI step
    layout.info[12] = 0x40;  // 320 steps
    layout.info[13] = 0x01;
    layout.info[14] = 50;  // lowest resolution
    layout.power = {85, 2, 0, 0, 0, 0};
    return layout;
}

SimMemoryLayout KeyboardMemoryLayout() {
    SimMemoryLayout layout = BaseLayout(170, 64);
    layout.power = {100, 0, 0, 0, 0, 0};
    return layout;
}

SimMemoryLayout MousePadMemoryLayout() {
    SimMemoryLayout layout = BaseLayout(0, 0);
    layout.power = {0, 0, 0, 0, 0, 2};  // a phone of the second family on the pad
    return layout;
}

SimCommandFirmware::SimCommandFirmware(SimChannel channel, SimMemoryLayout layout)
    : channel_(channel), layout_(layout) {
    for (int region = 0; region < static_cast<int>(memory_.size()); ++region) {
        memory_[static_cast<std::size_t>(region)].assign(RegionSize(static_cast<SimRegion>(region)),
                                                         0);
    }
    std::copy(layout_.info.begin(), layout_.info.end(), Memory(SimRegion::Info).begin());
    std::copy(layout_.power.begin(), layout_.power.end(), Memory(SimRegion::Power).begin());
}

uint32_t SimCommandFirmware::RegionSize(SimRegion region) const {
    switch (region) {
        case SimRegion::Settings:
            return layout_.settingsBytes;
        case SimRegion::KeyTable:
            return layout_.keyTableBanks * layout_.keyTableBankBytes;
        case SimRegion::KeyColours:
            return layout_.keyColourGroups * layout_.keyColourStride;
        case SimRegion::LedFrame:
            return layout_.ledFrameBytes;
        case SimRegion::Macro:
            return uint32_t{layout_.info[kSimInfoMacroUnits]} * kSimMacroUnitBytes;
        case SimRegion::Shoot:
            return layout_.shootBytes;
        case SimRegion::LedMap:
            return layout_.ledMapBytes;
        case SimRegion::Info:
            return kSimInfoBytes;
        case SimRegion::Power:
            return kSimPowerBytes;
    }
    return 0;
}

std::vector<uint8_t>& SimCommandFirmware::Memory(SimRegion region) {
    return memory_[static_cast<std::size_t>(region)];
}

void SimCommandFirmware::Violation(int frameNumber, std::string what) {
    violations_.push_back({frameNumber, std::move(what)});
}

bool SimCommandFirmware::OnOutputReport(uint16_t interfaceNumber, std::span<const uint8_t> report,
                                        const SimPort& port) {
    if (interfaceNumber != kSimCommandInterface) return true;  // keyboard LEDs and the like
    const Plan plan = Handle(report);
    // Answers go out with no firmware lock held.
    for (const Outgoing& out : plan.reports) {
        port.SendInput(kSimCommandInterface, out.bytes, out.delay);
    }
    if (plan.unplug) port.Unplug();
    return plan.writeOk;
}

SimCommandFirmware::Plan SimCommandFirmware::Handle(std::span<const uint8_t> report) {
    std::lock_guard lock(mutex_);
    Plan plan;
    const int frameNumber = frames_;
    const uint8_t command = report.size() > kCommand ? report[kCommand] : 0;
    SimFault fault;
    const bool faulted = TakeFault(command, frameNumber, fault);
    if (faulted && fault.kind == SimFaultKind::WriteFailure) {
        plan.writeOk = false;
        return plan;
    }
    if (faulted && fault.kind == SimFaultKind::UnplugBeforeFrame) {
        plan.writeOk = false;
        plan.unplug = true;
        return plan;
    }
    ++frames_;
    log_.push_back({true, frameNumber, {report.begin(), report.end()}});
    const auto now = std::chrono::steady_clock::now();
    const auto sincePrevious = now - lastFrame_;
    const bool hadPrevious = frameNumber > 0;
    lastFrame_ = now;

    if (channel_ == SimChannel::Receiver && !radioOn_) {
        // The receiver answers for itself; the device behind it is unreachable.
        std::vector<uint8_t> reply(kFrameBytes, 0);
        reply[0] = kSimCommandReportId;
        reply[kCommand] = kQueryLink;
        if (command == kQueryLink) {
            reply[kData] = 0x00;
        } else if (radioOffReply_ == RadioOffReply::Silent) {
            return plan;
        }
        log_.push_back({false, frameNumber, reply});
        plan.reports.push_back({std::move(reply), latency_});
        return plan;
    }
    if (command == kLeaveConfig && hadPrevious && sincePrevious < kLeaveConfigPause) {
        Violation(
            frameNumber,
            fmt::format(
                "LeaveConfig {} us after the previous frame",
                std::chrono::duration_cast<std::chrono::microseconds>(sincePrevious).count()));
    }

    std::vector<uint8_t> reply(kFrameBytes, 0);
    reply[0] = kSimCommandReportId;
    for (std::size_t i = kCommand; i < kStatus && i < report.size(); ++i)
        reply[i] = report[i];
    Execute(report, frameNumber, reply);

    if (faulted && fault.kind == SimFaultKind::UnplugAfterWrite) {
        plan.unplug = true;
        return plan;
    }
    if (faulted && fault.kind == SimFaultKind::NoReply) return plan;
    std::chrono::microseconds delay = latency_;
    if (faulted) {
        switch (fault.kind) {
            case SimFaultKind::Delay:
            case SimFaultKind::LateReply:
                delay += fault.delay;
                break;
            case SimFaultKind::StatusFF:
                reply[kStatus] = 0xFF;
                break;
            case SimFaultKind::StatusFE:
                reply[kStatus] = 0xFE;
                break;
            case SimFaultKind::ShortReply:
                reply.resize(kData);
                break;
            case SimFaultKind::WrongByte4:
                reply[kLength] = static_cast<uint8_t>(reply[kLength] + 1);
                break;
            case SimFaultKind::StrayBefore:
                for (int i = 0; i < fault.strays; ++i) {
                    std::vector<uint8_t> stray(kFrameBytes, 0);
                    stray[0] = kSimCommandReportId;
                    stray[kCommand] = fault.strayCommand;
                    log_.push_back({false, frameNumber, stray});
                    plan.reports.push_back({std::move(stray), latency_});
                }
                break;
            default:
                break;
        }
    }
    log_.push_back({false, frameNumber, reply});
    plan.reports.push_back({std::move(reply), delay});
    return plan;
}

bool SimCommandFirmware::TakeFault(uint8_t command, int frameNumber, SimFault& out) {
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (it->command >= 0 && it->command != command) continue;
        if (it->frame >= 0 && it->frame != frameNumber) continue;
        out = *it;
        if (it->times > 0 && --it->times == 0) faults_.erase(it);
        return true;
    }
    return false;
}

bool SimCommandFirmware::ChunkAccess(std::span<const uint8_t> frame, int frameNumber,
                                     SimRegion region, uint32_t& address, uint32_t& length) {
    const uint8_t command = frame[kCommand];
    length = frame[kLength];
    address = uint32_t{frame[kAddressLow]} | uint32_t{frame[kAddressHigh]} << 8;
    const uint8_t limit = command == kWriteShootData      ? kShootChunk
                          : channel_ == SimChannel::Wired ? kWiredChunk
                                                          : kReceiverChunk;
    if (length == 0 || length > limit) {
        Violation(frameNumber,
                  fmt::format("command {:02x}: length {} outside 1..{}", command, length, limit));
        return false;
    }
    if (region == SimRegion::KeyTable) {
        const uint32_t bank = address / layout_.keyTableBankBytes;
        const uint32_t offset = address % layout_.keyTableBankBytes;
        if (bank >= layout_.keyTableBanks || offset + length > layout_.keyTableBankBytes) {
            Violation(frameNumber,
                      fmt::format("key table: bank {} offset {} length {} out of range", bank,
                                  offset, length));
            return false;
        }
        return true;
    }
    if (address + length > RegionSize(region)) {
        Violation(frameNumber, fmt::format("command {:02x}: {}+{} past the region's {} bytes",
                                           command, address, length, RegionSize(region)));
        return false;
    }
    return true;
}

void SimCommandFirmware::Execute(std::span<const uint8_t> frame, int frameNumber,
                                 std::vector<uint8_t>& reply) {
    reply[kStatus] = kStatusError;
    if (frame.size() != kFrameBytes || frame[0] != kSimCommandReportId) {
        Violation(frameNumber, fmt::format("frame of {} bytes, report id {:02x}", frame.size(),
                                           frame.empty() ? 0 : frame[0]));
        return;
    }
    const uint16_t sum = Checksum(frame);
    if (frame[1] != (sum & 0xFF) || frame[2] != (sum >> 8)) {
        Violation(frameNumber,
                  fmt::format("checksum {:02x}{:02x}, expected {:04x}", frame[2], frame[1], sum));
        return;
    }
    if (frame[kStatus] != 0) {
        Violation(frameNumber, "request byte 7 not 0");
        return;
    }
    const uint8_t command = frame[kCommand];
    for (const ChunkCommand& chunk : kChunkCommands) {
        if (chunk.command != command) continue;
        if (chunk.write && chunk.needsConfig && !inConfig_) {
            Violation(frameNumber,
                      fmt::format("command {:02x}: data write outside configuration", command));
        }
        uint32_t address = 0;
        uint32_t length = 0;
        if (!ChunkAccess(frame, frameNumber, chunk.region, address, length)) return;
        std::vector<uint8_t>& memory = Memory(chunk.region);
        if (chunk.write) {
            std::copy_n(frame.begin() + kData, length, memory.begin() + address);
        } else {
            std::copy_n(memory.begin() + address, length, reply.begin() + kData);
        }
        reply[kStatus] = kStatusOk;
        return;
    }
    switch (command) {
        case kEnterConfig:
            inConfig_ = true;
            break;
        case kLeaveConfig:
            if (!inConfig_) Violation(frameNumber, "LeaveConfig without EnterConfig");
            inConfig_ = false;
            break;
        case kEnableHostLighting:
            hostLighting_ = true;
            break;
        case kQueryLink:
            if (channel_ == SimChannel::Wired) {
                Violation(frameNumber, "QueryLink on the cable");
                return;
            }
            reply[kData] = 0xFF;
            break;
        case kReadPowerStatus: {
            const uint32_t length = frame[kLength];
            const uint32_t address = uint32_t{frame[kAddressLow]} | uint32_t{frame[kAddressHigh]}
                                                                        << 8;
            if (length > 56 || address + length > kSimPowerBytes) {
                Violation(frameNumber,
                          fmt::format("power status {}+{} out of range", address, length));
                return;
            }
            std::copy_n(Memory(SimRegion::Power).begin() + address, length, reply.begin() + kData);
            break;
        }
        default:
            Violation(frameNumber, fmt::format("unknown command {:02x}", command));
            return;
    }
    reply[kStatus] = kStatusOk;
}

void SimCommandFirmware::SetLatency(std::chrono::microseconds latency) {
    std::lock_guard lock(mutex_);
    latency_ = latency;
}

void SimCommandFirmware::SetRadioOn(bool on) {
    std::lock_guard lock(mutex_);
    radioOn_ = on;
}

void SimCommandFirmware::SetRadioOffReply(RadioOffReply reply) {
    std::lock_guard lock(mutex_);
    radioOffReply_ = reply;
}

void SimCommandFirmware::AddFault(const SimFault& fault) {
    std::lock_guard lock(mutex_);
    faults_.push_back(fault);
}

void SimCommandFirmware::ClearFaults() {
    std::lock_guard lock(mutex_);
    faults_.clear();
}

std::vector<SimFrameRecord> SimCommandFirmware::FrameLog() const {
    std::lock_guard lock(mutex_);
    return log_;
}

std::string SimCommandFirmware::FrameLogHex() const {
    std::lock_guard lock(mutex_);
    std::string text;
    for (const SimFrameRecord& record : log_) {
        text +=
            fmt::format("{:4} {} {:02x}\n", record.frameNumber,
                        record.toDevice ? "host->dev" : "dev->host", fmt::join(record.bytes, " "));
    }
    return text;
}

void SimCommandFirmware::ClearLog() {
    std::lock_guard lock(mutex_);
    log_.clear();
    violations_.clear();
}

std::vector<SimViolation> SimCommandFirmware::Violations() const {
    std::lock_guard lock(mutex_);
    return violations_;
}

int SimCommandFirmware::FramesReceived() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

bool SimCommandFirmware::InConfig() const {
    std::lock_guard lock(mutex_);
    return inConfig_;
}

bool SimCommandFirmware::HostLighting() const {
    std::lock_guard lock(mutex_);
    return hostLighting_;
}

std::vector<uint8_t> SimCommandFirmware::Region(SimRegion region) const {
    std::lock_guard lock(mutex_);
    return memory_[static_cast<std::size_t>(region)];
}

void SimCommandFirmware::FillRegion(SimRegion region, uint32_t offset,
                                    std::span<const uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    std::vector<uint8_t>& memory = Memory(region);
    if (offset >= memory.size()) return;
    const std::size_t count = std::min(bytes.size(), memory.size() - offset);
    std::copy_n(bytes.begin(), count, memory.begin() + offset);
}

}  // namespace q731
