#pragma once
// HidDevice: one HID connection object. It lists interface paths, opens one
// top-level collection, knows its attributes and report capabilities, reads and
// writes reports with a time-out that a close from another thread cuts short,
// and decodes input reports into HidData items.
//
// Threads: one thread may block in Read (even with no time-out) and one in
// Write while another thread calls Close or Open. Close aborts the transfers in
// flight and waits until none is left before it frees anything, so a reader
// never touches freed buffers or items. The path list belongs to the thread
// that owns the object.

#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device_access/hid_backend.h"
#include "device_access/report_decoder.h"
#include "device_access/report_descriptor.h"

namespace q731 {

struct HidAttributes {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t version = 0;
};

struct HidCaps {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    uint16_t inputReportByteLength = 0;
    uint16_t outputReportByteLength = 0;
    uint16_t featureReportByteLength = 0;
};

class HidDevice {
public:
    explicit HidDevice(std::shared_ptr<IHidBackend> backend);
    ~HidDevice();
    HidDevice(const HidDevice&) = delete;
    HidDevice& operator=(const HidDevice&) = delete;

    // Path list and cursor.
    [[nodiscard]] bool ListPaths();
    std::optional<std::string> NextPath();
    void FreePaths();
    std::size_t PathCount() const { return paths_.size(); }

    [[nodiscard]] bool Open(const std::string& path, const HidOpenParameters& parameters);
    void Close();
    bool IsOpen() const;

    // One report with a time-out in ms (kHidInfinite: until a report arrives or
    // the connection is closed). False on time-out, abort, unplug or error.
    [[nodiscard]] bool Read(uint8_t* buffer, std::size_t count, std::size_t* outCount,
                            uint32_t timeoutMs);
    [[nodiscard]] bool Write(const uint8_t* buffer, std::size_t count, std::size_t* outCount,
                             uint32_t timeoutMs);
    // The same, telling why a transfer failed.
    HidIoResult ReadReport(std::span<uint8_t> buffer, uint32_t timeoutMs);
    HidIoResult WriteReport(std::span<const uint8_t> report, uint32_t timeoutMs);

    // Decodes `report` into this connection's items of `kind` and, when asked,
    // copies them out. False when closed or when a value item fails to decode.
    [[nodiscard]] bool DecodeInputReport(std::span<const uint8_t> report, HidReportKind kind,
                                         std::vector<HidData>* itemsOut);

    HidAttributes Attributes() const;
    HidCaps Caps() const;
    // The open collection's parsed capabilities and the whole interface's
    // report descriptor; empty while closed.
    HidCollectionCaps CollectionCaps() const;
    std::vector<uint8_t> ReportDescriptor() const;
    std::string OpenPath() const;
    HidOpenParameters Parameters() const;
    int InterfaceNumber() const;
    int CollectionNumber() const;
    HidOpenError LastOpenError() const;
    std::string LastOpenMessage() const;
    IHidBackend& Backend() const { return *backend_; }

private:
    struct OpenState;
    class TransferGuard;

    void CloseLocked();

    std::shared_ptr<IHidBackend> backend_;

    std::vector<std::string> paths_;
    std::size_t cursor_ = 0;

    // Serialises Open and Close against each other.
    std::mutex openMutex_;
    // Guards every field below and the in-flight count.
    mutable std::mutex mutex_;
    std::condition_variable idle_;
    int inFlight_ = 0;
    std::shared_ptr<OpenState> open_;
    std::string path_;
    HidOpenParameters parameters_;
    int interfaceNumber_ = 0;
    int collectionNumber_ = 0;
    HidOpenError lastOpenError_ = HidOpenError::None;
    std::string lastOpenMessage_;
};

}  // namespace q731
