#pragma once
// A virtual HID bus: simulated products that enumerate with Windows-style
// paths, real report descriptors and one input queue per open connection.
// Products can be plugged and unplugged at any moment, from any thread; a
// blocked reader is woken by an abort or an unplug. Faults can be injected:
// enumeration failure, open failure, write failure, lost input (reads time out).
//
// Firmware behind a product sees every output report written to it and answers
// through a SimPort, which routes input reports by report id to the open
// connections of the collection that owns that id.
//
// In hidraw mode the bus is the hidraw back end itself, running on a fake
// kernel (sim_hidraw_kernel.h) whose nodes are the units' interfaces: paths,
// opens, reads and writes then take the production code's road, with every
// report of an interface reaching every open of it as on a real system.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device_access/hid_backend.h"
#include "sim/sim_hidraw_kernel.h"

namespace q731 {

struct SimInterfaceSpec {
    uint16_t interfaceNumber = 0;
    std::vector<uint8_t> descriptor;
};

struct SimProductSpec {
    std::string name;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t version = 0x0100;
    std::vector<SimInterfaceSpec> interfaces;
};

class SimBusCore;

enum class SimBusMode {
    Plain,   // each connection sees its own collection's reports, as on Windows
    Hidraw,  // the hidraw back end on a fake kernel
};

// What firmware holds to answer: input reports into the unit's interfaces.
class SimPort {
public:
    SimPort() = default;
    SimPort(std::shared_ptr<SimBusCore> core, int unit) : core_(std::move(core)), unit_(unit) {}

    // Queues `report` (report id first) for every open connection of the
    // collection owning its report id, readable after `delay`.
    void SendInput(uint16_t interfaceNumber, std::span<const uint8_t> report,
                   std::chrono::microseconds delay = std::chrono::microseconds(0)) const;
    void Unplug() const;
    int Unit() const { return unit_; }

private:
    std::shared_ptr<SimBusCore> core_;
    int unit_ = -1;
};

class ISimFirmware {
public:
    virtual ~ISimFirmware() = default;
    // One output report written to the unit's interface. False fails the write.
    // Called with no bus lock held, so firmware may answer or unplug from here.
    virtual bool OnOutputReport(uint16_t interfaceNumber, std::span<const uint8_t> report,
                                const SimPort& port) = 0;
};

class SimBus final : public IHidBackend {
public:
    explicit SimBus(SimBusMode mode = SimBusMode::Plain);
    ~SimBus() override;
    SimBus(const SimBus&) = delete;
    SimBus& operator=(const SimBus&) = delete;

    std::string Name() const override;
    std::optional<std::vector<std::string>> Enumerate() override;
    HidOpenResult Open(const std::string& path, const HidOpenParameters& parameters) override;
    std::optional<HidConnectionInfo> Inspect(const std::string& path) override;
    bool WatchChanges(std::shared_ptr<Waker> waker) override;

    SimBusMode Mode() const;
    // The fake kernel in hidraw mode (for its faults), else null.
    SimHidrawKernel* Kernel() const;
    // The hidraw node number of a unit's interface in hidraw mode; -1 otherwise.
    int NodeOf(int unit, uint16_t interfaceNumber) const;

    // Adds a unit; returns its id. A second unit of the same product gets
    // paths of its own.
    int Plug(SimProductSpec product, std::shared_ptr<ISimFirmware> firmware = nullptr);
    // Removes the unit: its paths vanish and its connections fail with
    // Disconnected. False when no such unit is plugged.
    bool Unplug(int unit);
    bool IsPlugged(int unit) const;
    std::vector<std::string> PathsOf(int unit) const;
    SimPort PortOf(int unit) const;

    // Input from the device side, as firmware would send it.
    void SendInput(int unit, uint16_t interfaceNumber, std::span<const uint8_t> report,
                   std::chrono::microseconds delay = std::chrono::microseconds(0));

    // Faults.
    void FailEnumerations(int count);
    void SetOpenFault(int unit, HidOpenError error);  // None clears it
    void SetWriteFault(int unit, bool fail);
    void SetInputLost(int unit, bool lost);

    // Output reports written to a unit that has no firmware (the headset's
    // LED reports, for instance), oldest first.
    std::vector<std::vector<uint8_t>> OutputLog(int unit) const;
    // Number of connections open now on the unit.
    int OpenConnections(int unit) const;

private:
    std::shared_ptr<SimBusCore> core_;
};

}  // namespace q731
