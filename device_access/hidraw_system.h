#pragma once
// The raw layer under the hidraw back end: the system calls it makes on
// /dev/hidrawN, behind an interface so that a fake kernel (sim/) can stand in
// for the real one in tests.
//
// What the kernel does, and every implementation must do the same:
//  - Every open file of a node receives every input report of the node's USB
//    interface, whatever top-level collection it belongs to, in a ring of 64
//    slots per open; when the ring is full the newest report is dropped.
//  - A report is read whole, without the report id byte when the interface
//    does not number its reports; a read into a shorter buffer is cut.
//  - A write takes the report id first; a leading 0 is not sent to the device.
//    It may block (usbhid waits up to 5 s for a device that does not take it).
//  - After an unplug poll reports a hang-up, reads end with an error once the
//    ring is empty and writes fail with ENODEV.
//  - Poll and read can fail with EINTR; callers retry.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace q731 {

struct HidrawNodeInfo {
    std::string node;  // "/dev/hidraw3"
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t version = 0;
    int interfaceNumber = -1;  // -1 when not a USB interface
    // Changes only when a device is plugged anew, not with the node's owner,
    // mode or ACL: the HID device name ("0003:320F:221D.0007").
    std::string identity;
};

// Poll results, combined as bits.
inline constexpr int kRawPollReadable = 1;
inline constexpr int kRawPollHangUp = 2;  // unplugged (or an error on the node)
inline constexpr int kRawPollWoken = 4;   // Wake() was called
inline constexpr int kRawWaitForever = -1;

class IHidrawFile {
public:
    virtual ~IHidrawFile() = default;
    // Waits up to `timeoutMs` (kRawWaitForever: no limit) for a report, a
    // hang-up or a Wake(). Returns the bits above (0 on time-out) or -errno.
    virtual int Poll(int timeoutMs) = 0;
    // One report, without waiting: its length, or -errno (-EAGAIN when none).
    virtual long Read(std::span<uint8_t> buffer) = 0;
    // One report, report id first: the bytes written, or -errno. May block.
    virtual long Write(std::span<const uint8_t> report) = 0;
    // Ends a Poll in progress (or the next one) with kRawPollWoken. Any thread.
    virtual void Wake() = 0;
};

struct HidrawOpenResult {
    std::unique_ptr<IHidrawFile> file;
    int error = 0;  // errno when `file` is empty
};

class IHidrawSystem {
public:
    virtual ~IHidrawSystem() = default;
    virtual std::string Name() const = 0;
    // The hidraw nodes present, or nothing when the system could not be asked.
    virtual std::optional<std::vector<HidrawNodeInfo>> ListNodes() = 0;
    // The node's report descriptor as the kernel holds it (no need to open the
    // node: sysfs is readable by everyone). Empty when it cannot be read.
    virtual std::vector<uint8_t> ReadDescriptor(const std::string& node) = 0;
    // Opens the node for reading and writing.
    virtual HidrawOpenResult Open(const std::string& node) = 0;
    virtual bool WatchChanges(std::shared_ptr<Waker> waker) {
        (void)waker;
        return false;
    }
};

// The real kernel: hidapi (for the USB interface numbers) and sysfs to list,
// open(2), poll(2) and an eventfd to talk.
std::shared_ptr<IHidrawSystem> MakeLinuxHidrawSystem();

}  // namespace q731
