#include "devices/device_link.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include <fmt/format.h>

#include "device_access/device_table.h"
#include "platform/log.h"

namespace q731 {

namespace {

// Reports that can sit in a connection's queue: draining more than this means
// the device is flooding us, and the exchange goes ahead anyway.
constexpr int kMaxStaleReports = 128;
// An answer may be preceded by one report that answers something else.
constexpr int kMaxReads = 2;

class BusyGuard {
public:
    explicit BusyGuard(std::atomic<int>& busy) : busy_(busy) { ++busy_; }
    ~BusyGuard() { --busy_; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    std::atomic<int>& busy_;
};

bool EchoMatches(const Frame& request, std::span<const uint8_t> reply) {
    return reply[kFrameLength] == request[kFrameLength] &&
           reply[kFrameAddressLow] == request[kFrameAddressLow] &&
           reply[kFrameAddressHigh] == request[kFrameAddressHigh];
}

// The protocol needs report 4 in the command collection, 64 bytes out and at
// most 64 in. A device that differs may still answer, but when it does not,
// its descriptor is what tells why.
void CheckCommandCollection(const HidDevice& connection, const std::string& path) {
    const HidCollectionCaps caps = connection.CollectionCaps();
    if (caps.usagePage != kCommandUsagePage) return;
    const bool ownsFrames = caps.OwnsReportId(kFrameReportId);
    const uint16_t output = caps.Of(HidReportKind::Output).reportByteLength;
    const uint16_t input = caps.Of(HidReportKind::Input).reportByteLength;
    if (ownsFrames && output == kFrameBytes && input <= kFrameBytes) return;
    std::string hex;
    for (uint8_t byte : connection.ReportDescriptor())
        hex += fmt::format("{:02x}", byte);
    LogWarning(
        fmt::format("{}: the command collection {} report {}, its output reports have {} "
                    "bytes and its input reports {} (expected {} and at most {}); "
                    "report descriptor: {}",
                    path, ownsFrames ? "has" : "lacks", kFrameReportId, output, input, kFrameBytes,
                    kFrameBytes, hex));
}

LinkResult StatusResult(uint8_t status) {
    if (status == kStatusError) return LinkResult::StatusError;
    if (status == kStatusBusy) return LinkResult::StatusBusy;
    return LinkResult::Ok;
}

}  // namespace

uint16_t FrameChecksum(std::span<const uint8_t, kFrameBytes> frame) {
    uint32_t sum = 0;
    for (std::size_t i = kFrameCommand; i < kFrameBytes; ++i)
        sum += frame[i];
    return static_cast<uint16_t>(sum);
}

void StampChecksum(Frame& frame) {
    const uint16_t sum = FrameChecksum(frame);
    frame[kFrameChecksumLow] = static_cast<uint8_t>(sum & 0xFF);
    frame[kFrameChecksumHigh] = static_cast<uint8_t>(sum >> 8);
}

Frame MakeFrame(LinkCommand command, uint8_t byte4, uint16_t address) {
    Frame frame{};
    frame[0] = kFrameReportId;
    frame[kFrameCommand] = static_cast<uint8_t>(command);
    frame[kFrameLength] = byte4;
    frame[kFrameAddressLow] = static_cast<uint8_t>(address & 0xFF);
    frame[kFrameAddressHigh] = static_cast<uint8_t>(address >> 8);
    StampChecksum(frame);
    return frame;
}

CDeviceLink::CDeviceLink(std::shared_ptr<IHidBackend> backend)
    : wired_(backend), receiver_(backend) {}

CDeviceLink::~CDeviceLink() {
    // Stop, close, and only then let the locks go with the object.
    Close();
}

bool CDeviceLink::OpenChannel(Channel channel, const std::string& path) {
    const bool wasOpen = open_.load();
    const Channel previous = SelectedChannel();
    open_.store(false);
    HidDevice& connection = channel == Channel::Receiver ? receiver_ : wired_;
    // Closing first ends an exchange waiting on this connection, which then
    // gives up the exchange lock.
    connection.Close();
    std::lock_guard lock(exchangeLock_);
    if (!connection.Open(path, kOpenReadWrite)) {
        // A switch that fails leaves the device on the channel that worked.
        if (wasOpen && previous != channel) open_.store(true);
        return false;
    }
    CheckCommandCollection(connection, path);
    SelectChannel(channel);
    open_.store(true);
    return true;
}

void CDeviceLink::Close() {
    open_.store(false);
    wired_.Close();
    receiver_.Close();
}

void CDeviceLink::SelectChannel(Channel channel) {
    const bool receiver = channel == Channel::Receiver;
    receiverSelected_.store(receiver);
    chunkSize_.store(receiver ? kReceiverChunkBytes : kWiredChunkBytes);
}

bool CDeviceLink::SetTransferSize(uint16_t size) {
    if (size > kMaxTransferSize) return false;
    transferSize_.store(size);
    return true;
}

void CDeviceLink::SetTimeouts(Channel channel, ChannelTimeouts timeouts) {
    std::lock_guard lock(timeoutsMutex_);
    (channel == Channel::Receiver ? receiverTimeouts_ : wiredTimeouts_) = timeouts;
}

ChannelTimeouts CDeviceLink::SelectedTimeouts() const {
    std::lock_guard lock(timeoutsMutex_);
    return receiverSelected_.load() ? receiverTimeouts_ : wiredTimeouts_;
}

LinkResult CDeviceLink::ExchangeFrame(const Frame& frame, std::span<uint8_t> reply,
                                      std::size_t* outCount, FrameMode mode) {
    BusyGuard busy(busy_);
    if (outCount != nullptr) *outCount = 0;
    if (!open_.load()) return LinkResult::Failed;
    if (reply.size() < kFrameBytes) return LinkResult::WriteFailed;
    const std::span<uint8_t> answer = reply.first(kFrameBytes);
    const ChannelTimeouts timeouts = SelectedTimeouts();
    const uint32_t writeMs = mode.light ? timeouts.lightWriteMs : timeouts.writeMs;
    const uint32_t readMs = mode.light ? timeouts.lightReadMs : timeouts.readMs;

    // Held across the write and the read: no other frame may take this answer.
    std::lock_guard lock(exchangeLock_);
    const bool receiver = receiverSelected_.load();
    HidDevice& connection = Selected();

    // A late answer to an earlier, timed-out request must not pass for this
    // one. A connection reads its own collection's reports only, so only an
    // empty queue (or a dead connection) ends the drain.
    Frame stale{};
    int drained = 0;
    while (drained < kMaxStaleReports && connection.ReadReport(stale, 0).Ok())
        ++drained;
    if (drained == kMaxStaleReports) LogWarning("link: input still queued after draining");
    if (!connection.WriteReport(frame, writeMs).Ok()) return LinkResult::WriteFailed;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(readMs);
    for (int read = 0; read < kMaxReads; ++read) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const uint32_t waitMs = static_cast<uint32_t>(std::max<int64_t>(left.count(), 0));
        const HidIoResult result = connection.ReadReport(answer, waitMs);
        if (outCount != nullptr) *outCount = result.bytes;
        if (!result.Ok()) return LinkResult::Failed;
        // A device may send its answers shorter than a frame: the header is
        // enough to match, and what is missing reads as zero.
        if (result.bytes < kFrameData) continue;
        std::fill(answer.begin() + static_cast<std::ptrdiff_t>(std::min(result.bytes, kFrameBytes)),
                  answer.end(), uint8_t{0});
        if (answer[kFrameCommand] == frame[kFrameCommand] &&
            (!mode.matchEcho || EchoMatches(frame, answer))) {
            return LinkResult::Ok;
        }
        if (receiver && answer[kFrameCommand] == static_cast<uint8_t>(LinkCommand::QueryLink)) {
            return LinkResult::ReceiverLost;
        }
    }
    return LinkResult::Failed;  // only answers to other requests arrived
}

LinkResult CDeviceLink::Exchange(std::span<const uint8_t> request, std::span<uint8_t> reply,
                                 std::size_t* outCount) {
    if (outCount != nullptr) *outCount = 0;
    if (request.size() > kFrameBytes) return LinkResult::WriteFailed;
    Frame frame{};
    std::copy(request.begin(), request.end(), frame.begin());
    return ExchangeFrame(frame, reply, outCount, {});
}

LinkResult CDeviceLink::ExchangeLight(std::span<const uint8_t> request, std::span<uint8_t> reply,
                                      std::size_t* outCount) {
    if (outCount != nullptr) *outCount = 0;
    if (request.size() > kFrameBytes) return LinkResult::WriteFailed;
    Frame frame{};
    std::copy(request.begin(), request.end(), frame.begin());
    return ExchangeFrame(frame, reply, outCount, {.light = true});
}

LinkResult CDeviceLink::SingleFrame(const Frame& frame, FrameLock lock, std::span<uint8_t> reply,
                                    FrameMode mode, std::size_t* outCount) {
    std::unique_lock<std::mutex> frameLock;
    if (lock == FrameLock::Command) frameLock = std::unique_lock(commandLock_);
    if (lock == FrameLock::Lighting) frameLock = std::unique_lock(lightingLock_);
    const LinkResult result = ExchangeFrame(frame, reply, outCount, mode);
    if (result != LinkResult::Ok) return result;
    return StatusResult(reply[kFrameStatus]);
}

LinkResult CDeviceLink::Chunked(const Transfer& transfer) {
    // Addresses travel as 16 bits: a transfer past the end would wrap and
    // overwrite the start of the device's memory.
    if (uint64_t{transfer.address} + transfer.total > kAddressSpace || transfer.chunk == 0) {
        return LinkResult::WriteFailed;
    }
    Frame frame = MakeFrame(transfer.command);
    Frame reply{};
    for (uint32_t offset = 0; offset < transfer.total; offset += transfer.chunk) {
        const uint32_t piece = std::min<uint32_t>(transfer.chunk, transfer.total - offset);
        const uint32_t address = transfer.address + offset;
        frame[kFrameLength] = static_cast<uint8_t>(piece);
        frame[kFrameAddressLow] = static_cast<uint8_t>(address & 0xFF);
        frame[kFrameAddressHigh] = static_cast<uint8_t>(address >> 8);
        frame[kFrameStatus] = 0;
        if (transfer.source != nullptr) {
            std::copy_n(transfer.source + offset, piece, frame.begin() + kFrameData);
        }
        StampChecksum(frame);
        if (transfer.light && IsBusy()) {
            // Light frames are dropped, never queued, while a command is in flight.
            LogDebug("放弃灯光数据");
            continue;
        }
        std::size_t got = 0;
        const LinkResult result = SingleFrame(frame, transfer.lock, reply,
                                              {.light = transfer.light, .matchEcho = true}, &got);
        if (result != LinkResult::Ok) return result;
        if (transfer.destination != nullptr) {
            // A short answer may leave out what a status needs, never the data
            // asked for: zeros must not pass for the device's memory.
            if (got < kFrameData + piece) return LinkResult::Failed;
            // The piece we asked for, never what the reply claims to carry.
            std::copy_n(reply.begin() + kFrameData, piece, transfer.destination + offset);
        }
    }
    return LinkResult::Ok;
}

LinkResult CDeviceLink::EnterConfig() {
    Frame reply{};
    return SingleFrame(MakeFrame(LinkCommand::EnterConfig), FrameLock::Command, reply, {});
}

LinkResult CDeviceLink::LeaveConfig() {
    // The firmware needs a pause after the last data frame before it commits.
    std::this_thread::sleep_for(kLeaveConfigPause);
    Frame reply{};
    return SingleFrame(MakeFrame(LinkCommand::LeaveConfig), FrameLock::Command, reply, {});
}

LinkResult CDeviceLink::EnableHostLighting() {
    Frame reply{};
    return SingleFrame(MakeFrame(LinkCommand::EnableHostLighting), FrameLock::Command, reply, {});
}

bool CDeviceLink::QueryLink() {
    if (!receiverSelected_.load()) return true;  // a cable needs no asking
    Frame reply{};
    const LinkResult result =
        SingleFrame(MakeFrame(LinkCommand::QueryLink), FrameLock::Command, reply, {});
    return result == LinkResult::Ok && reply[kFrameData] == kLinkUpMarker;
}

LinkResult CDeviceLink::QueryLinkDetailed(bool& up) {
    up = true;
    if (!receiverSelected_.load()) return LinkResult::Ok;
    Frame reply{};
    const LinkResult result =
        SingleFrame(MakeFrame(LinkCommand::QueryLink), FrameLock::Command, reply, {});
    up = result == LinkResult::Ok && reply[kFrameData] == kLinkUpMarker;
    return result;
}

LinkResult CDeviceLink::ReadDeviceInfo(std::span<uint8_t> destination) {
    if (destination.size() < kDeviceInfoBytes) return LinkResult::WriteFailed;
    return Chunked({.command = LinkCommand::ReadDeviceInfo,
                    .total = kDeviceInfoBytes,
                    .chunk = ChunkSize(),
                    .destination = destination.data()});
}

LinkResult CDeviceLink::ReadMemory(std::span<uint8_t> destination, uint32_t address) {
    return Chunked({.command = LinkCommand::ReadMemory,
                    .address = address,
                    .total = static_cast<uint32_t>(destination.size()),
                    .chunk = ChunkSize(),
                    .destination = destination.data()});
}

LinkResult CDeviceLink::WriteMemory(std::span<const uint8_t> source, uint32_t address) {
    return Chunked({.command = LinkCommand::WriteMemory,
                    .address = address,
                    .total = static_cast<uint32_t>(source.size()),
                    .chunk = ChunkSize(),
                    .source = source.data()});
}

LinkResult CDeviceLink::ReadKeyTable(std::span<uint8_t> destination) {
    const uint32_t total = TransferSize();
    if (destination.size() < total) return LinkResult::WriteFailed;
    return Chunked({.command = LinkCommand::ReadKeyTable,
                    .total = total,
                    .chunk = ChunkSize(),
                    .destination = destination.data()});
}

LinkResult CDeviceLink::WriteKeyTable(std::span<const uint8_t> source, int bank) {
    if (bank != 0) return LinkResult::BadBank;
    const uint32_t total = TransferSize();
    if (source.size() < total) return LinkResult::WriteFailed;
    return Chunked({.command = LinkCommand::WriteKeyTable,
                    .address = static_cast<uint32_t>(bank) * kKeyTableBankStride,
                    .total = total,
                    .chunk = ChunkSize(),
                    .source = source.data()});
}

LinkResult CDeviceLink::WriteKeyColours(std::span<const uint8_t> source, uint32_t profile,
                                        uint32_t stride) {
    const uint64_t base = uint64_t{profile} * stride;
    if (base >= kAddressSpace) return LinkResult::WriteFailed;
    return Chunked({.command = LinkCommand::WriteKeyColours,
                    .lock = FrameLock::Lighting,
                    .address = static_cast<uint32_t>(base),
                    .total = static_cast<uint32_t>(source.size()),
                    .chunk = ChunkSize(),
                    .source = source.data()});
}

LinkResult CDeviceLink::StreamLightFrame(std::span<const uint8_t> source) {
    return Chunked({.command = LinkCommand::StreamLightFrame,
                    .lock = FrameLock::Lighting,
                    .total = static_cast<uint32_t>(source.size()),
                    .chunk = ChunkSize(),
                    .light = true,
                    .source = source.data()});
}

LinkResult CDeviceLink::WriteMacroMemory(std::span<const uint8_t> source) {
    return Chunked({.command = LinkCommand::WriteMacroMemory,
                    .total = static_cast<uint32_t>(source.size()),
                    .chunk = ChunkSize(),
                    .source = source.data()});
}

LinkResult CDeviceLink::WriteShootData(std::span<const uint8_t> source) {
    return Chunked({.command = LinkCommand::WriteShootData,
                    .lock = FrameLock::None,
                    .total = static_cast<uint32_t>(source.size()),
                    .chunk = kShootChunkBytes,
                    .source = source.data()});
}

LinkResult CDeviceLink::ReadPowerStatus(std::span<uint8_t> destination, uint8_t length,
                                        uint16_t address) {
    if (length > kFrameDataBytes || destination.size() < length) return LinkResult::WriteFailed;
    Frame reply{};
    std::size_t got = 0;
    const LinkResult result = SingleFrame(MakeFrame(LinkCommand::ReadPowerStatus, length, address),
                                          FrameLock::Command, reply, {}, &got);
    if (result != LinkResult::Ok) return result;
    if (got < kFrameData + length) return LinkResult::Failed;  // the block is not all there
    std::copy_n(reply.begin() + kFrameData, length, destination.begin());
    return result;
}

LinkResult CDeviceLink::ReadLedMap(std::span<uint8_t> destination) {
    const uint32_t total = TransferSize() / 3u;
    if (destination.size() < total) return LinkResult::WriteFailed;
    return Chunked({.command = LinkCommand::ReadLedMap,
                    .total = total,
                    .chunk = ChunkSize(),
                    .destination = destination.data()});
}

}  // namespace q731
