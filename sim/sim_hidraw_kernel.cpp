#include "sim/sim_hidraw_kernel.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

#include <fmt/format.h>

namespace q731 {

namespace {

using KernelClock = std::chrono::steady_clock;

struct Pending {
    std::vector<uint8_t> bytes;
    KernelClock::time_point readyAt;
};

struct FileState {
    int minor = -1;
    uint64_t plug = 0;  // which plug of the node this file belongs to
    std::deque<std::vector<uint8_t>> ring;
    bool hungUp = false;
    bool woken = false;
};

struct Node {
    SimHidrawKernel::NodeSetup setup;
    uint64_t plug = 0;
    std::string identity;
    int openError = 0;
    int interrupts = 0;
    bool stalled = false;
    int dropped = 0;
    std::deque<Pending> pending;  // in arrival order
    std::vector<std::weak_ptr<FileState>> files;
};

}  // namespace

struct SimHidrawKernel::State {
    // Moves the node's reports that have arrived by `now` into its files' rings.
    void Settle(Node& node, KernelClock::time_point now) {
        while (!node.pending.empty() && node.pending.front().readyAt <= now) {
            for (const auto& weak : node.files) {
                auto file = weak.lock();
                if (!file) continue;
                if (file->ring.size() + 1 >= kSimHidrawRingSlots) {
                    ++node.dropped;  // the kernel keeps the old, drops the new
                    continue;
                }
                file->ring.push_back(node.pending.front().bytes);
            }
            node.pending.pop_front();
        }
        std::erase_if(node.files, [](const auto& weak) { return weak.expired(); });
    }

    Node* NodeOf(const FileState& file) {
        auto found = nodes.find(file.minor);
        if (found == nodes.end() || found->second.plug != file.plug) return nullptr;
        return &found->second;
    }

    Node* NodeAt(const std::string& path) {
        for (auto& [minor, node] : nodes) {
            if (NodePath(minor) == path) return &node;
        }
        return nullptr;
    }

    mutable std::mutex mutex;
    std::condition_variable changed;
    std::map<int, Node> nodes;
    uint64_t plugs = 0;
    int failListings = 0;
};

namespace {

class SimHidrawFile final : public IHidrawFile {
public:
    SimHidrawFile(std::shared_ptr<SimHidrawKernel::State> state, std::shared_ptr<FileState> file)
        : state_(std::move(state)), file_(std::move(file)) {}

    int Poll(int timeoutMs) override {
        const auto deadline =
            KernelClock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
        std::unique_lock lock(state_->mutex);
        while (true) {
            const auto now = KernelClock::now();
            Node* node = state_->NodeOf(*file_);
            if (node != nullptr) {
                state_->Settle(*node, now);
                if (node->interrupts > 0) {
                    --node->interrupts;
                    return -EINTR;
                }
            }
            int bits = 0;
            if (!file_->ring.empty()) bits |= kRawPollReadable;
            if (file_->hungUp) bits |= kRawPollHangUp;
            if (std::exchange(file_->woken, false)) bits |= kRawPollWoken;
            if (bits != 0) return bits;
            if (timeoutMs == 0 || (timeoutMs > 0 && now >= deadline)) return 0;
            auto wakeAt = timeoutMs < 0 ? KernelClock::time_point::max() : deadline;
            if (node != nullptr && !node->pending.empty()) {
                wakeAt = std::min(wakeAt, node->pending.front().readyAt);
            }
            if (wakeAt == KernelClock::time_point::max()) {
                state_->changed.wait(lock);
            } else {
                state_->changed.wait_until(lock, wakeAt);
            }
        }
    }

    long Read(std::span<uint8_t> buffer) override {
        std::lock_guard lock(state_->mutex);
        if (Node* node = state_->NodeOf(*file_)) {
            state_->Settle(*node, KernelClock::now());
            if (node->interrupts > 0) {
                --node->interrupts;
                return -EINTR;
            }
        }
        if (file_->ring.empty()) return file_->hungUp ? -EIO : -EAGAIN;
        const std::vector<uint8_t> report = std::move(file_->ring.front());
        file_->ring.pop_front();
        const std::size_t count = std::min(report.size(), buffer.size());
        std::copy_n(report.begin(), count, buffer.begin());
        return static_cast<long>(count);
    }

    long Write(std::span<const uint8_t> report) override {
        if (report.empty()) return -EINVAL;
        SimHidrawKernel::WriteHandler handler;
        {
            std::unique_lock lock(state_->mutex);
            state_->changed.wait(lock, [&] {
                const Node* node = state_->NodeOf(*file_);
                return node == nullptr || !node->stalled;
            });
            Node* node = state_->NodeOf(*file_);
            if (node == nullptr) return -ENODEV;
            handler = node->setup.onWrite;
        }
        // usbhid does not send the 0 that stands for "no report id".
        const auto sent = report[0] == 0 ? report.subspan(1) : report;
        const int taken = handler ? handler(sent) : 0;
        return taken < 0 ? taken : static_cast<long>(report.size());
    }

    void Wake() override {
        std::lock_guard lock(state_->mutex);
        file_->woken = true;
        state_->changed.notify_all();
    }

private:
    std::shared_ptr<SimHidrawKernel::State> state_;
    std::shared_ptr<FileState> file_;
};

}  // namespace

SimHidrawKernel::SimHidrawKernel() : state_(std::make_shared<State>()) {}

SimHidrawKernel::~SimHidrawKernel() {
    // Files may outlive the kernel object: hang them up and free stalled writers.
    std::lock_guard lock(state_->mutex);
    for (auto& [minor, node] : state_->nodes) {
        for (const auto& weak : node.files) {
            if (auto file = weak.lock()) file->hungUp = true;
        }
    }
    state_->nodes.clear();
    state_->changed.notify_all();
}

std::string SimHidrawKernel::NodePath(int minor) {
    return fmt::format("/dev/hidraw{}", minor);
}

int SimHidrawKernel::AddNode(NodeSetup setup) {
    std::lock_guard lock(state_->mutex);
    int minor = 0;
    while (state_->nodes.contains(minor))
        ++minor;
    Node node;
    node.plug = ++state_->plugs;
    node.identity =
        fmt::format("0003:{:04X}:{:04X}.{:04X}", setup.vendorId, setup.productId, node.plug);
    node.setup = std::move(setup);
    state_->nodes.emplace(minor, std::move(node));
    return minor;
}

void SimHidrawKernel::RemoveNode(int minor) {
    std::lock_guard lock(state_->mutex);
    auto found = state_->nodes.find(minor);
    if (found == state_->nodes.end()) return;
    for (const auto& weak : found->second.files) {
        if (auto file = weak.lock()) file->hungUp = true;
    }
    state_->nodes.erase(found);
    state_->changed.notify_all();
}

void SimHidrawKernel::Deliver(int minor, std::span<const uint8_t> report,
                              std::chrono::microseconds delay) {
    std::lock_guard lock(state_->mutex);
    auto found = state_->nodes.find(minor);
    if (found == state_->nodes.end() || report.empty()) return;
    Node& node = found->second;
    const auto now = KernelClock::now();
    node.pending.push_back({{report.begin(), report.end()}, now + delay});
    // Reports arrive in order: one sent later never overtakes an earlier one.
    if (node.pending.size() > 1) {
        auto& last = node.pending.back();
        last.readyAt = std::max(last.readyAt, node.pending[node.pending.size() - 2].readyAt);
    }
    state_->Settle(node, now);
    state_->changed.notify_all();
}

void SimHidrawKernel::FailListings(int count) {
    std::lock_guard lock(state_->mutex);
    state_->failListings = count;
}

void SimHidrawKernel::SetOpenError(int minor, int error) {
    std::lock_guard lock(state_->mutex);
    if (auto found = state_->nodes.find(minor); found != state_->nodes.end()) {
        found->second.openError = error;
    }
}

void SimHidrawKernel::InterruptCalls(int minor, int count) {
    std::lock_guard lock(state_->mutex);
    if (auto found = state_->nodes.find(minor); found != state_->nodes.end()) {
        found->second.interrupts = count;
    }
    state_->changed.notify_all();
}

void SimHidrawKernel::StallWrites(int minor, bool stall) {
    std::lock_guard lock(state_->mutex);
    if (auto found = state_->nodes.find(minor); found != state_->nodes.end()) {
        found->second.stalled = stall;
    }
    state_->changed.notify_all();
}

int SimHidrawKernel::OpenFiles(int minor) const {
    std::lock_guard lock(state_->mutex);
    auto found = state_->nodes.find(minor);
    if (found == state_->nodes.end()) return 0;
    return static_cast<int>(std::count_if(found->second.files.begin(), found->second.files.end(),
                                          [](const auto& weak) { return !weak.expired(); }));
}

int SimHidrawKernel::DroppedReports(int minor) const {
    std::lock_guard lock(state_->mutex);
    auto found = state_->nodes.find(minor);
    return found == state_->nodes.end() ? 0 : found->second.dropped;
}

std::optional<std::vector<HidrawNodeInfo>> SimHidrawKernel::ListNodes() {
    std::lock_guard lock(state_->mutex);
    if (state_->failListings > 0) {
        --state_->failListings;
        return std::nullopt;
    }
    std::vector<HidrawNodeInfo> nodes;
    for (const auto& [minor, node] : state_->nodes) {
        nodes.push_back({.node = NodePath(minor),
                         .vendorId = node.setup.vendorId,
                         .productId = node.setup.productId,
                         .version = node.setup.version,
                         .interfaceNumber = node.setup.interfaceNumber,
                         .identity = node.identity});
    }
    return nodes;
}

std::vector<uint8_t> SimHidrawKernel::ReadDescriptor(const std::string& node) {
    std::lock_guard lock(state_->mutex);
    const Node* found = state_->NodeAt(node);
    return found == nullptr ? std::vector<uint8_t>{} : found->setup.descriptor;
}

HidrawOpenResult SimHidrawKernel::Open(const std::string& node) {
    std::lock_guard lock(state_->mutex);
    Node* found = state_->NodeAt(node);
    if (found == nullptr) return {nullptr, ENOENT};
    if (found->openError != 0) return {nullptr, found->openError};
    auto file = std::make_shared<FileState>();
    for (const auto& [minor, candidate] : state_->nodes) {
        if (&candidate == found) file->minor = minor;
    }
    file->plug = found->plug;
    found->files.push_back(file);
    return {std::make_unique<SimHidrawFile>(state_, std::move(file)), 0};
}

}  // namespace q731
