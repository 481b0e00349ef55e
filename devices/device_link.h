#pragma once
// CDeviceLink: the command channel of one mouse, keyboard or mouse pad. It
// knows the 64-byte frame and its checksum, matches each request with its
// answer, splits transfers into chunks for the selected channel (cable or
// receiver), keeps concurrent senders apart and turns everything into the
// small result codes the device classes act on.
//
// Locks: the command lock or the lighting lock is taken per frame, then the
// exchange lock for the write and the read of that frame together, so no other
// frame can take a reply that is not its own. Reopening a connection closes it
// first (which ends an exchange in flight on it) and then replaces it under
// the exchange lock.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "device_access/hid_device.h"
#include "platform/products.h"

namespace q731 {

enum class [[nodiscard]] LinkResult : int{
    Ok = 1,
    Failed = 0,           // link not open, or no answer to the request
    WriteFailed = -1,     // the request could not be written, or was refused unsent
    ReceiverLost = -101,  // the receiver sent 0xAA instead of the answer
    StatusError = -102,   // answer status 0xFF
    StatusBusy = -103,    // answer status 0xFE
    BadBank = -201,       // key table bank other than 0; nothing sent
};

enum class LinkCommand : uint8_t {
    EnterConfig = 0x01,
    LeaveConfig = 0x02,
    ReadDeviceInfo = 0x03,
    ReadMemory = 0x05,
    WriteMemory = 0x06,
    ReadKeyTable = 0x07,
    WriteKeyTable = 0x09,
    WriteKeyColours = 0x0B,
    StreamLightFrame = 0x12,
    WriteMacroMemory = 0x15,
    WriteShootData = 0x17,
    ReadPowerStatus = 0x1A,
    ReadLedMap = 0x1B,
    EnableHostLighting = 0x1C,
    QueryLink = 0xAA,
};

// Frame layout.
inline constexpr std::size_t kFrameBytes = 64;
inline constexpr uint8_t kFrameReportId = 4;
inline constexpr std::size_t kFrameChecksumLow = 1;
inline constexpr std::size_t kFrameChecksumHigh = 2;
inline constexpr std::size_t kFrameCommand = 3;
inline constexpr std::size_t kFrameLength = 4;
inline constexpr std::size_t kFrameAddressLow = 5;
inline constexpr std::size_t kFrameAddressHigh = 6;
inline constexpr std::size_t kFrameStatus = 7;
inline constexpr std::size_t kFrameData = 8;
inline constexpr std::size_t kFrameDataBytes = kFrameBytes - kFrameData;  // 56
inline constexpr uint8_t kStatusError = 0xFF;
inline constexpr uint8_t kStatusBusy = 0xFE;
inline constexpr uint8_t kLinkUpMarker = 0xFF;  // QueryLink reply byte 8

inline constexpr uint8_t kWiredChunkBytes = 56;
inline constexpr uint8_t kReceiverChunkBytes = 24;
inline constexpr uint8_t kShootChunkBytes = 56;
inline constexpr uint16_t kDefaultTransferSize = 512;
inline constexpr uint16_t kMaxTransferSize = 512;
inline constexpr uint32_t kKeyTableBankStride = 512;
inline constexpr uint32_t kAddressSpace = 0x10000;
inline constexpr std::size_t kDeviceInfoBytes = 34;
inline constexpr std::size_t kPowerStatusBytes = 6;
inline constexpr auto kLeaveConfigPause = std::chrono::milliseconds(10);

using Frame = std::array<uint8_t, kFrameBytes>;

// Sum of bytes 3-63 into bytes 1 (low) and 2 (high).
uint16_t FrameChecksum(std::span<const uint8_t, kFrameBytes> frame);
void StampChecksum(Frame& frame);
Frame MakeFrame(LinkCommand command, uint8_t byte4 = 0, uint16_t address = 0);

struct ChannelTimeouts {
    uint32_t writeMs;
    uint32_t readMs;
    uint32_t lightWriteMs;
    uint32_t lightReadMs;
};
inline constexpr ChannelTimeouts kWiredTimeouts{1000, 1000, 1000, 1000};
inline constexpr ChannelTimeouts kReceiverTimeouts{5000, 5000, 500, 500};

class CDeviceLink {
public:
    explicit CDeviceLink(std::shared_ptr<IHidBackend> backend);
    ~CDeviceLink();
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;

    // Connections and flags.
    HidDevice& WiredConnection() { return wired_; }
    HidDevice& ReceiverConnection() { return receiver_; }
    // Opens `channel` on `path` (closing what was open there), selects it and
    // sets the open flag when it worked.
    [[nodiscard]] bool OpenChannel(Channel channel, const std::string& path);
    // Clears the open flag and closes both connections, ending any exchange.
    void Close();
    void SetOpen(bool open) { open_.store(open); }
    bool IsOpen() const { return open_.load(); }
    bool IsBusy() const { return busy_.load() > 0; }
    void SelectChannel(Channel channel);
    Channel SelectedChannel() const {
        return receiverSelected_.load() ? Channel::Receiver : Channel::Cable;
    }
    uint8_t ChunkSize() const { return chunkSize_.load(); }
    [[nodiscard]] bool SetTransferSize(uint16_t size);
    uint16_t TransferSize() const { return transferSize_.load(); }
    void SetSyncFlag(bool set) { sync_.store(set); }
    bool SyncFlag() const { return sync_.load(); }
    // Replaces a channel's time-outs (tests and benchmarks shorten them).
    void SetTimeouts(Channel channel, ChannelTimeouts timeouts);
    std::mutex& ExchangeLock() { return exchangeLock_; }

    // One request and its answer. `reply` must hold 64 bytes.
    LinkResult Exchange(std::span<const uint8_t> request, std::span<uint8_t> reply,
                        std::size_t* outCount);
    LinkResult ExchangeLight(std::span<const uint8_t> request, std::span<uint8_t> reply,
                             std::size_t* outCount);

    // Commands.
    LinkResult EnterConfig();
    LinkResult LeaveConfig();
    LinkResult ReadDeviceInfo(std::span<uint8_t> destination);  // 34 bytes
    LinkResult ReadMemory(std::span<uint8_t> destination, uint32_t address);
    LinkResult WriteMemory(std::span<const uint8_t> source, uint32_t address);
    LinkResult ReadKeyTable(std::span<uint8_t> destination);  // transfer-size bytes
    LinkResult WriteKeyTable(std::span<const uint8_t> source, int bank);
    LinkResult WriteKeyColours(std::span<const uint8_t> source, uint32_t profile, uint32_t stride);
    LinkResult StreamLightFrame(std::span<const uint8_t> source);
    LinkResult WriteMacroMemory(std::span<const uint8_t> source);
    LinkResult WriteShootData(std::span<const uint8_t> source);
    LinkResult ReadPowerStatus(std::span<uint8_t> destination, uint8_t length, uint16_t address);
    LinkResult ReadLedMap(std::span<uint8_t> destination);  // transfer size / 3 bytes
    LinkResult EnableHostLighting();
    [[nodiscard]] bool QueryLink();
    // QueryLink with the exchange's own result: Failed means no answer came at
    // all (a time-out), which callers treat apart from an answer saying "off".
    // On the cable: Ok and up, with no traffic.
    LinkResult QueryLinkDetailed(bool& up);

private:
    enum class FrameLock { Command, Lighting, None };
    struct Transfer {
        LinkCommand command;
        FrameLock lock = FrameLock::Command;
        uint32_t address = 0;
        uint32_t total = 0;
        uint8_t chunk = 0;
        bool light = false;               // light frames: dropped while a command is busy
        const uint8_t* source = nullptr;  // for writes
        uint8_t* destination = nullptr;   // for reads
    };

    // How a frame is exchanged: with the lighting time-outs, and whether the
    // answer must echo the request's length and address.
    struct FrameMode {
        bool light = false;
        bool matchEcho = false;
    };

    LinkResult ExchangeFrame(const Frame& frame, std::span<uint8_t> reply, std::size_t* outCount,
                             FrameMode mode);
    LinkResult SingleFrame(const Frame& frame, FrameLock lock, std::span<uint8_t> reply,
                           FrameMode mode, std::size_t* outCount = nullptr);
    LinkResult Chunked(const Transfer& transfer);
    HidDevice& Selected() { return receiverSelected_.load() ? receiver_ : wired_; }
    ChannelTimeouts SelectedTimeouts() const;

    std::mutex commandLock_;
    std::mutex lightingLock_;
    std::mutex exchangeLock_;
    mutable std::mutex timeoutsMutex_;
    ChannelTimeouts wiredTimeouts_ = kWiredTimeouts;
    ChannelTimeouts receiverTimeouts_ = kReceiverTimeouts;
    std::atomic<uint16_t> transferSize_{kDefaultTransferSize};
    std::atomic<int> busy_{0};
    std::atomic<bool> open_{false};
    std::atomic<bool> sync_{false};
    std::atomic<bool> receiverSelected_{false};
    std::atomic<uint8_t> chunkSize_{kReceiverChunkBytes};
    // Declared last, so destroyed (and closed) first, while the locks above
    // still exist.
    HidDevice wired_;
    HidDevice receiver_;
};

}  // namespace q731
