#pragma once
// A fake kernel for the hidraw back end: nodes that behave as /dev/hidrawN
// does, so the back end's own code can be run, and broken, without hardware.
//
// As the kernel: every open file of a node receives every report of the node,
// whatever its collection, in a ring of 64 slots of which 63 hold reports
// (the newest report is dropped when it is full); a leading 0 is stripped from
// a write before the device sees it; after an unplug poll reports a hang-up,
// reads fail with EIO once the ring is empty and writes with ENODEV; the
// lowest free node number is reused and the HID device name is new on every
// plug. Faults: listing failures, open errors, EINTR, writes that stall.

#include <chrono>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "device_access/hidraw_system.h"

namespace q731 {

inline constexpr std::size_t kSimHidrawRingSlots = 64;

class SimHidrawKernel final : public IHidrawSystem {
public:
    // What the device does with a written report (report id first, a leading 0
    // already gone): 0 when taken, or -errno.
    using WriteHandler = std::function<int(std::span<const uint8_t> report)>;

    struct NodeSetup {
        uint16_t vendorId = 0;
        uint16_t productId = 0;
        uint16_t version = 0;
        int interfaceNumber = -1;
        std::vector<uint8_t> descriptor;
        WriteHandler onWrite;  // none: every write is taken
    };

    SimHidrawKernel();
    ~SimHidrawKernel() override;
    SimHidrawKernel(const SimHidrawKernel&) = delete;
    SimHidrawKernel& operator=(const SimHidrawKernel&) = delete;

    // Plugs a node; returns its number (N of /dev/hidrawN).
    int AddNode(NodeSetup setup);
    // Unplugs it: open files hang up, the number becomes free.
    void RemoveNode(int minor);
    // A report from the device as the wire carries it (no id byte when the
    // interface does not number its reports), arriving after `delay`.
    void Deliver(int minor, std::span<const uint8_t> report,
                 std::chrono::microseconds delay = std::chrono::microseconds(0));
    static std::string NodePath(int minor);

    // Faults.
    void FailListings(int count);
    void SetOpenError(int minor, int error);  // errno for open(2); 0 clears it
    // The next `count` polls or reads on the node's files fail with EINTR.
    void InterruptCalls(int minor, int count);
    // While set, writes block until cleared or the node is unplugged.
    void StallWrites(int minor, bool stall);

    int OpenFiles(int minor) const;
    // Reports lost to full rings.
    int DroppedReports(int minor) const;

    // IHidrawSystem.
    std::string Name() const override { return "sim-hidraw"; }
    std::optional<std::vector<HidrawNodeInfo>> ListNodes() override;
    std::vector<uint8_t> ReadDescriptor(const std::string& node) override;
    HidrawOpenResult Open(const std::string& node) override;

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace q731
