#include "sim/sim_bus.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include <fmt/format.h>

#include "device_access/hidraw_backend.h"
#include "device_access/report_descriptor.h"
#include "sim/sim_hidraw_kernel.h"

namespace q731 {

namespace {

using SimClock = std::chrono::steady_clock;

// Like the kernel's per-open buffer: the oldest report goes when it is full.
constexpr std::size_t kInputQueueLimit = 64;
constexpr std::string_view kHidClassGuid = "{4d1e55b2-f16f-11cf-88cb-001111000030}";

struct PendingReport {
    std::vector<uint8_t> bytes;
    SimClock::time_point readyAt;
};

// The part of a connection the bus reaches into: its input queue and flags.
struct SimConnectionState {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<PendingReport> queue;
    bool aborted = false;
    bool disconnected = false;
};

}  // namespace

class SimBusCore : public std::enable_shared_from_this<SimBusCore> {
public:
    struct Collection {
        std::string path;
        HidCollectionCaps caps;
    };
    struct Interface {
        SimInterfaceSpec definition;
        bool usesReportIds = false;
        std::vector<Collection> collections;
        std::vector<std::pair<int, std::weak_ptr<SimConnectionState>>> connections;
        int node = -1;  // hidraw mode: the fake kernel's node
    };
    struct Unit {
        SimProductSpec product;
        std::vector<Interface> interfaces;
        std::shared_ptr<ISimFirmware> firmware;
        HidOpenError openFault = HidOpenError::None;
        bool writeFault = false;
        bool inputLost = false;
        std::vector<std::vector<uint8_t>> outputLog;
    };

    HidIoResult Write(int unit, uint16_t interfaceNumber, std::span<const uint8_t> report);
    void SendInput(int unit, uint16_t interfaceNumber, std::span<const uint8_t> report,
                   std::chrono::microseconds delay);
    bool Unplug(int unit);
    void NotifyChange();
    Interface* FindInterface(int unit, uint16_t interfaceNumber);

    // Hidraw mode: the kernel and the back end on it. Lock order: the bus
    // mutex before the kernel's; the kernel calls back without its own.
    std::shared_ptr<SimHidrawKernel> kernel;
    std::unique_ptr<IHidBackend> hidraw;

    mutable std::mutex mutex;
    std::map<int, Unit> units;
    int nextUnit = 1;
    int failEnumerations = 0;
    std::vector<std::weak_ptr<Waker>> watchers;
};

namespace {

class SimConnection final : public IHidConnection {
public:
    SimConnection(std::shared_ptr<SimBusCore> core, int unit, uint16_t interfaceNumber,
                  HidConnectionInfo info, std::shared_ptr<SimConnectionState> state)
        : core_(std::move(core)),
          unit_(unit),
          interfaceNumber_(interfaceNumber),
          info_(std::move(info)),
          state_(std::move(state)) {}

    const HidConnectionInfo& Info() const override { return info_; }

    HidIoResult Read(std::span<uint8_t> buffer, uint32_t timeoutMs) override {
        const bool infinite = timeoutMs == kHidInfinite;
        const auto deadline = SimClock::now() + std::chrono::milliseconds(infinite ? 0 : timeoutMs);
        std::unique_lock lock(state_->mutex);
        while (true) {
            if (state_->aborted) return {HidIoStatus::Aborted, 0};
            if (state_->disconnected) return {HidIoStatus::Disconnected, 0};
            const auto now = SimClock::now();
            if (!state_->queue.empty() && state_->queue.front().readyAt <= now) {
                const std::vector<uint8_t> report = std::move(state_->queue.front().bytes);
                state_->queue.pop_front();
                const std::size_t count = std::min(report.size(), buffer.size());
                std::copy_n(report.begin(), count, buffer.begin());
                return {HidIoStatus::Ok, count};
            }
            if (!infinite && now >= deadline) return {HidIoStatus::TimedOut, 0};
            auto wakeAt = infinite ? SimClock::time_point::max() : deadline;
            if (!state_->queue.empty()) wakeAt = std::min(wakeAt, state_->queue.front().readyAt);
            if (wakeAt == SimClock::time_point::max()) {
                state_->changed.wait(lock);
            } else {
                state_->changed.wait_until(lock, wakeAt);
            }
        }
    }

    HidIoResult Write(std::span<const uint8_t> report, uint32_t /*timeoutMs*/) override {
        {
            std::lock_guard lock(state_->mutex);
            if (state_->aborted) return {HidIoStatus::Aborted, 0};
            if (state_->disconnected) return {HidIoStatus::Disconnected, 0};
        }
        return core_->Write(unit_, interfaceNumber_, report);
    }

    void Abort() override {
        std::lock_guard lock(state_->mutex);
        state_->aborted = true;
        state_->changed.notify_all();
    }

private:
    std::shared_ptr<SimBusCore> core_;
    int unit_;
    uint16_t interfaceNumber_;
    HidConnectionInfo info_;
    std::shared_ptr<SimConnectionState> state_;
};

void Deliver(SimConnectionState& state, std::span<const uint8_t> report,
             SimClock::time_point readyAt) {
    std::lock_guard lock(state.mutex);
    if (state.disconnected) return;
    if (state.queue.size() >= kInputQueueLimit) state.queue.pop_front();
    state.queue.push_back({{report.begin(), report.end()}, readyAt});
    state.changed.notify_all();
}

}  // namespace

SimBusCore::Interface* SimBusCore::FindInterface(int unit, uint16_t interfaceNumber) {
    auto found = units.find(unit);
    if (found == units.end()) return nullptr;
    for (Interface& iface : found->second.interfaces) {
        if (iface.definition.interfaceNumber == interfaceNumber) return &iface;
    }
    return nullptr;
}

HidIoResult SimBusCore::Write(int unit, uint16_t interfaceNumber, std::span<const uint8_t> report) {
    std::shared_ptr<ISimFirmware> firmware;
    {
        std::lock_guard lock(mutex);
        auto found = units.find(unit);
        if (found == units.end()) return {HidIoStatus::Disconnected, 0};
        if (found->second.writeFault) return {HidIoStatus::Failed, 0};
        firmware = found->second.firmware;
        if (!firmware) {
            found->second.outputLog.emplace_back(report.begin(), report.end());
            return {HidIoStatus::Ok, report.size()};
        }
    }
    const SimPort port(shared_from_this(), unit);
    if (!firmware->OnOutputReport(interfaceNumber, report, port)) {
        std::lock_guard lock(mutex);
        // A device that left while taking the frame did not refuse it.
        return {units.contains(unit) ? HidIoStatus::Failed : HidIoStatus::Disconnected, 0};
    }
    return {HidIoStatus::Ok, report.size()};
}

void SimBusCore::SendInput(int unit, uint16_t interfaceNumber, std::span<const uint8_t> report,
                           std::chrono::microseconds delay) {
    if (report.empty()) return;
    std::vector<std::shared_ptr<SimConnectionState>> targets;
    {
        std::lock_guard lock(mutex);
        Interface* iface = FindInterface(unit, interfaceNumber);
        if (iface == nullptr || units[unit].inputLost) return;
        if (kernel) {
            // The wire carries no id byte when the interface numbers no reports.
            kernel->Deliver(iface->node, iface->usesReportIds ? report : report.subspan(1), delay);
            return;
        }
        for (auto& [collection, weak] : iface->connections) {
            auto state = weak.lock();
            if (!state) continue;
            const HidCollectionCaps& caps =
                iface->collections[static_cast<std::size_t>(collection)].caps;
            if (!iface->usesReportIds || caps.OwnsReportId(report[0])) targets.push_back(state);
        }
    }
    const auto readyAt = SimClock::now() + delay;
    for (auto& state : targets)
        Deliver(*state, report, readyAt);
}

bool SimBusCore::Unplug(int unit) {
    std::vector<std::shared_ptr<SimConnectionState>> states;
    {
        std::lock_guard lock(mutex);
        auto found = units.find(unit);
        if (found == units.end()) return false;
        for (Interface& iface : found->second.interfaces) {
            for (auto& [collection, weak] : iface.connections) {
                if (auto state = weak.lock()) states.push_back(state);
            }
            if (kernel) kernel->RemoveNode(iface.node);
        }
        units.erase(found);
    }
    for (auto& state : states) {
        std::lock_guard lock(state->mutex);
        state->disconnected = true;
        state->changed.notify_all();
    }
    NotifyChange();
    return true;
}

void SimBusCore::NotifyChange() {
    std::vector<std::shared_ptr<Waker>> toPoke;
    {
        std::lock_guard lock(mutex);
        std::erase_if(watchers, [](const std::weak_ptr<Waker>& weak) { return weak.expired(); });
        for (auto& weak : watchers) {
            if (auto waker = weak.lock()) toPoke.push_back(waker);
        }
    }
    for (auto& waker : toPoke)
        waker->Poke();
}

void SimPort::SendInput(uint16_t interfaceNumber, std::span<const uint8_t> report,
                        std::chrono::microseconds delay) const {
    if (core_) core_->SendInput(unit_, interfaceNumber, report, delay);
}

void SimPort::Unplug() const {
    if (core_) core_->Unplug(unit_);
}

namespace {

// A unit's interface as a node of the fake kernel; writes reach its firmware.
SimHidrawKernel::NodeSetup NodeSetupOf(std::weak_ptr<SimBusCore> weak, int unit,
                                       const SimProductSpec& product,
                                       const SimBusCore::Interface& iface) {
    const uint16_t interfaceNumber = iface.definition.interfaceNumber;
    const bool numbered = iface.usesReportIds;
    return {.vendorId = product.vendorId,
            .productId = product.productId,
            .version = product.version,
            .interfaceNumber = interfaceNumber,
            .descriptor = iface.definition.descriptor,
            .onWrite = [weak, unit, interfaceNumber, numbered](std::span<const uint8_t> sent) {
                auto core = weak.lock();
                if (!core) return -ENODEV;
                // Firmware takes reports id first, 0 for an unnumbered one.
                std::vector<uint8_t> report;
                if (!numbered) report.push_back(0);
                report.insert(report.end(), sent.begin(), sent.end());
                const HidIoResult written = core->Write(unit, interfaceNumber, report);
                if (written.Ok()) return 0;
                return written.status == HidIoStatus::Disconnected ? -ENODEV : -EIO;
            }};
}

}  // namespace

SimBus::SimBus(SimBusMode mode) : core_(std::make_shared<SimBusCore>()) {
    if (mode == SimBusMode::Hidraw) {
        core_->kernel = std::make_shared<SimHidrawKernel>();
        core_->hidraw = MakeHidrawBackend(core_->kernel);
    }
}

SimBus::~SimBus() = default;

std::string SimBus::Name() const {
    return core_->kernel ? "sim-hidraw" : "sim";
}

SimBusMode SimBus::Mode() const {
    return core_->kernel ? SimBusMode::Hidraw : SimBusMode::Plain;
}

SimHidrawKernel* SimBus::Kernel() const {
    return core_->kernel.get();
}

int SimBus::NodeOf(int unit, uint16_t interfaceNumber) const {
    std::lock_guard lock(core_->mutex);
    const SimBusCore::Interface* iface = core_->FindInterface(unit, interfaceNumber);
    return iface == nullptr ? -1 : iface->node;
}

std::optional<std::vector<std::string>> SimBus::Enumerate() {
    {
        std::lock_guard lock(core_->mutex);
        if (core_->failEnumerations > 0) {
            --core_->failEnumerations;
            return std::nullopt;
        }
    }
    if (core_->hidraw) return core_->hidraw->Enumerate();
    std::lock_guard lock(core_->mutex);
    std::vector<std::string> paths;
    for (const auto& [id, unit] : core_->units) {
        for (const auto& iface : unit.interfaces) {
            for (const auto& collection : iface.collections)
                paths.push_back(collection.path);
        }
    }
    return paths;
}

HidOpenResult SimBus::Open(const std::string& path, const HidOpenParameters& parameters) {
    if (core_->hidraw) return core_->hidraw->Open(path, parameters);
    HidOpenResult result;
    std::lock_guard lock(core_->mutex);
    for (auto& [id, unit] : core_->units) {
        for (auto& iface : unit.interfaces) {
            for (std::size_t index = 0; index < iface.collections.size(); ++index) {
                if (iface.collections[index].path != path) continue;
                if (unit.openFault != HidOpenError::None) {
                    result.error = unit.openFault;
                    result.message = unit.openFault == HidOpenError::AccessDenied
                                         ? fmt::format("Permission denied on {} (simulated)", path)
                                         : fmt::format("{}: cannot be opened (simulated)", path);
                    return result;
                }
                auto state = std::make_shared<SimConnectionState>();
                std::erase_if(iface.connections,
                              [](const auto& entry) { return entry.second.expired(); });
                iface.connections.emplace_back(static_cast<int>(index), state);
                HidConnectionInfo info{unit.product.vendorId, unit.product.productId,
                                       unit.product.version, iface.definition.descriptor,
                                       static_cast<int>(index)};
                result.connection = std::make_unique<SimConnection>(
                    core_, id, iface.definition.interfaceNumber, std::move(info), std::move(state));
                result.error = HidOpenError::None;
                return result;
            }
        }
    }
    result.error = HidOpenError::NotFound;
    result.message = fmt::format("{}: no such interface", path);
    return result;
}

std::optional<HidConnectionInfo> SimBus::Inspect(const std::string& path) {
    if (core_->hidraw) return core_->hidraw->Inspect(path);
    std::lock_guard lock(core_->mutex);
    for (const auto& [id, unit] : core_->units) {
        for (const auto& iface : unit.interfaces) {
            for (std::size_t index = 0; index < iface.collections.size(); ++index) {
                if (iface.collections[index].path != path) continue;
                return HidConnectionInfo{unit.product.vendorId, unit.product.productId,
                                         unit.product.version, iface.definition.descriptor,
                                         static_cast<int>(index)};
            }
        }
    }
    return std::nullopt;
}

bool SimBus::WatchChanges(std::shared_ptr<Waker> waker) {
    std::lock_guard lock(core_->mutex);
    core_->watchers.push_back(std::move(waker));
    return true;
}

int SimBus::Plug(SimProductSpec product, std::shared_ptr<ISimFirmware> firmware) {
    int id = 0;
    {
        std::lock_guard lock(core_->mutex);
        id = core_->nextUnit++;
        SimBusCore::Unit unit;
        for (const SimInterfaceSpec& ifaceSpec : product.interfaces) {
            SimBusCore::Interface iface;
            iface.definition = ifaceSpec;
            const ParsedDescriptor parsed = ParseReportDescriptor(ifaceSpec.descriptor);
            iface.usesReportIds = parsed.usesReportIds;
            const std::size_t count = std::max<std::size_t>(parsed.collections.size(), 1);
            for (std::size_t index = 0; index < count; ++index) {
                std::string path =
                    fmt::format("\\\\?\\hid#vid_{:04x}&pid_{:04x}&mi_{:02x}", product.vendorId,
                                product.productId, ifaceSpec.interfaceNumber);
                if (count > 1) path += fmt::format("&col{:02x}", index + 1);
                path += fmt::format("#8&{:08x}&0&{:04x}#{}", 0x51A0000 + id, index, kHidClassGuid);
                iface.collections.push_back({std::move(path), index < parsed.collections.size()
                                                                  ? parsed.collections[index]
                                                                  : HidCollectionCaps{}});
            }
            if (core_->kernel)
                iface.node = core_->kernel->AddNode(NodeSetupOf(core_, id, product, iface));
            unit.interfaces.push_back(std::move(iface));
        }
        unit.product = std::move(product);
        unit.firmware = std::move(firmware);
        core_->units.emplace(id, std::move(unit));
    }
    core_->NotifyChange();
    return id;
}

bool SimBus::Unplug(int unit) {
    return core_->Unplug(unit);
}

bool SimBus::IsPlugged(int unit) const {
    std::lock_guard lock(core_->mutex);
    return core_->units.contains(unit);
}

std::vector<std::string> SimBus::PathsOf(int unit) const {
    std::vector<std::string> paths;
    if (core_->hidraw) {
        std::vector<std::string> nodes;
        {
            std::lock_guard lock(core_->mutex);
            auto found = core_->units.find(unit);
            if (found == core_->units.end()) return paths;
            for (const auto& iface : found->second.interfaces)
                nodes.push_back(SimHidrawKernel::NodePath(iface.node) + "#");
        }
        for (std::string& path : core_->hidraw->Enumerate().value_or(std::vector<std::string>{})) {
            for (const std::string& node : nodes) {
                if (path.starts_with(node)) paths.push_back(std::move(path));
            }
        }
        return paths;
    }
    std::lock_guard lock(core_->mutex);
    auto found = core_->units.find(unit);
    if (found == core_->units.end()) return paths;
    for (const auto& iface : found->second.interfaces) {
        for (const auto& collection : iface.collections)
            paths.push_back(collection.path);
    }
    return paths;
}

SimPort SimBus::PortOf(int unit) const {
    return SimPort(core_, unit);
}

void SimBus::SendInput(int unit, uint16_t interfaceNumber, std::span<const uint8_t> report,
                       std::chrono::microseconds delay) {
    core_->SendInput(unit, interfaceNumber, report, delay);
}

void SimBus::FailEnumerations(int count) {
    std::lock_guard lock(core_->mutex);
    core_->failEnumerations = count;
}

void SimBus::SetOpenFault(int unit, HidOpenError error) {
    std::lock_guard lock(core_->mutex);
    if (auto found = core_->units.find(unit); found != core_->units.end()) {
        found->second.openFault = error;
        if (!core_->kernel) return;
        int code = 0;
        if (error == HidOpenError::AccessDenied) code = EACCES;
        if (error == HidOpenError::NotFound) code = ENOENT;
        if (error != HidOpenError::None && code == 0) code = EIO;
        for (const auto& iface : found->second.interfaces)
            core_->kernel->SetOpenError(iface.node, code);
    }
}

void SimBus::SetWriteFault(int unit, bool fail) {
    std::lock_guard lock(core_->mutex);
    if (auto found = core_->units.find(unit); found != core_->units.end()) {
        found->second.writeFault = fail;
    }
}

void SimBus::SetInputLost(int unit, bool lost) {
    std::lock_guard lock(core_->mutex);
    if (auto found = core_->units.find(unit); found != core_->units.end()) {
        found->second.inputLost = lost;
    }
}

std::vector<std::vector<uint8_t>> SimBus::OutputLog(int unit) const {
    std::lock_guard lock(core_->mutex);
    auto found = core_->units.find(unit);
    return found == core_->units.end() ? std::vector<std::vector<uint8_t>>{}
                                       : found->second.outputLog;
}

int SimBus::OpenConnections(int unit) const {
    std::lock_guard lock(core_->mutex);
    auto found = core_->units.find(unit);
    if (found == core_->units.end()) return 0;
    int count = 0;
    for (const auto& iface : found->second.interfaces) {
        // In hidraw mode every connection to a node shares one open file.
        if (core_->kernel) count += core_->kernel->OpenFiles(iface.node);
        for (const auto& [collection, weak] : iface.connections)
            count += weak.expired() ? 0 : 1;
    }
    return count;
}

}  // namespace q731
