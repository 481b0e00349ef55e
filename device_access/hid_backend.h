#pragma once
// The seam between HidDevice and the system's HID stack. A back end lists the
// interface paths present and opens one of them; a connection reads and writes
// whole reports of one top-level collection.
//
// Paths follow one convention on every back end: they carry "vid_XXXX",
// "pid_XXXX", "&mi_XX" and, for an interface with more than one top-level
// collection, "&colXX" (hexadecimal, collections numbered from 1 in
// report-descriptor order), so that the discovery rules read them the same way
// whatever produced them.
//
// Blocking rules every implementation keeps:
//  - Read and Write block at most `timeoutMs` (kHidInfinite: no limit).
//  - Abort() from any thread ends every Read and Write in progress on that
//    connection at once and makes every later one fail, so a listener blocked
//    with no time-out is released by a close from another thread. Abort state
//    belongs to the connection (one open), never to the next open.
//  - An unplugged device ends pending and later transfers with Disconnected.
//  - A connection stays valid until destroyed, even after its device left.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace q731 {

inline constexpr uint32_t kHidInfinite = 0xFFFFFFFFu;

enum class HidIoStatus : int { Ok, TimedOut, Aborted, Disconnected, Failed };

struct [[nodiscard]] HidIoResult {
    HidIoStatus status = HidIoStatus::Failed;
    std::size_t bytes = 0;

    bool Ok() const { return status == HidIoStatus::Ok; }
};

struct HidOpenParameters {
    bool readAccess = true;
    bool writeAccess = false;
    bool overlapped = true;
    bool exclusive = false;
};

// The two ways the program opens an interface, both shared with other programs:
// to talk to it, and to read its attributes and capabilities or its events.
inline constexpr HidOpenParameters kOpenReadWrite{.readAccess = true, .writeAccess = true};
inline constexpr HidOpenParameters kOpenReadOnly{.readAccess = true, .writeAccess = false};

enum class HidOpenError : int {
    None,
    NotFound,       // no such path (any more)
    Mismatch,       // the node now belongs to another device or interface
    AccessDenied,   // permissions: see the message for the fix
    BadDescriptor,  // the interface's report descriptor cannot be used
    Failed,
};

struct HidConnectionInfo {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t version = 0;
    // Descriptor of the whole interface and the index (from 0) of the
    // top-level collection this connection serves.
    std::vector<uint8_t> reportDescriptor;
    int collectionIndex = 0;
};

class IHidConnection {
public:
    virtual ~IHidConnection() = default;

    virtual const HidConnectionInfo& Info() const = 0;
    // One input report of this collection, report id first (0 when the
    // interface does not number its reports). A report longer than `buffer`
    // is cut to its size.
    virtual HidIoResult Read(std::span<uint8_t> buffer, uint32_t timeoutMs) = 0;
    // One output report, report id first.
    virtual HidIoResult Write(std::span<const uint8_t> report, uint32_t timeoutMs) = 0;
    virtual void Abort() = 0;
};

struct HidOpenResult {
    std::unique_ptr<IHidConnection> connection;
    HidOpenError error = HidOpenError::Failed;
    std::string message;  // for diagnostics; says how to fix what the user can fix
};

class IHidBackend {
public:
    virtual ~IHidBackend() = default;

    virtual std::string Name() const = 0;
    // The paths present now, or nothing when the system could not be asked.
    virtual std::optional<std::vector<std::string>> Enumerate() = 0;
    virtual HidOpenResult Open(const std::string& path, const HidOpenParameters& parameters) = 0;
    // What the system tells about an interface without opening it (ids, the
    // descriptor, the collection's index), for diagnostics on interfaces that
    // are not ours. Nothing when the back end cannot tell.
    virtual std::optional<HidConnectionInfo> Inspect(const std::string& path) {
        (void)path;
        return std::nullopt;
    }
    // Asks to be told when interfaces may have come or gone: the back end
    // pokes `waker` after each change. Returns false when it cannot tell, and
    // callers then poll Enumerate.
    virtual bool WatchChanges(std::shared_ptr<Waker> waker) {
        (void)waker;
        return false;
    }
};

}  // namespace q731
