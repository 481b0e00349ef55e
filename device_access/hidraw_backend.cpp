#include "device_access/hidraw_backend.h"
#include "device_access/udev_watch.h"

#include <fcntl.h>
#include <hidapi/hidapi.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>

#include <fmt/format.h>

#include "device_access/device_path.h"
#include "device_access/report_descriptor.h"
#include "platform/files.h"
#include "platform/log.h"

namespace q731 {

namespace {

constexpr std::string_view kNodePrefix = "/dev/hidraw";
constexpr std::size_t kRawReportBytes = 4096;

struct NodeInfo {
    std::string node;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t version = 0;
    int interfaceNumber = -1;
};

// False when hidapi cannot work at all (then nothing can be listed).
bool InitOnce() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        ready = hid_init() == 0;
        if (!ready) LogError("hidapi: hid_init failed");
    });
    return ready;
}

bool IsNodePath(const std::string& node) {
    if (node.size() <= kNodePrefix.size() ||
        node.compare(0, kNodePrefix.size(), kNodePrefix) != 0) {
        return false;
    }
    for (std::size_t i = kNodePrefix.size(); i < node.size(); ++i) {
        if (node[i] < '0' || node[i] > '9') return false;
    }
    return true;
}

std::vector<NodeInfo> ListNodes(bool& ok) {
    std::vector<NodeInfo> nodes;
    ok = InitOnce();
    if (!ok) return nodes;
    std::set<std::string> seen;
    // hidapi answers "nothing" both for no device and for a failed udev query;
    // both read as an empty bus.
    hid_device_info* list = hid_enumerate(0, 0);
    for (hid_device_info* info = list; info != nullptr; info = info->next) {
        if (info->path == nullptr || !seen.insert(info->path).second) continue;
        nodes.push_back({info->path, info->vendor_id, info->product_id, info->release_number,
                         info->interface_number});
    }
    hid_free_enumeration(list);
    return nodes;
}

std::vector<uint8_t> ReadDescriptor(const std::string& node) {
    const std::string name = std::filesystem::path(node).filename().string();
    std::string bytes;
    const auto sysfs =
        std::filesystem::path("/sys/class/hidraw") / name / "device" / "report_descriptor";
    if (ReadFileBytes(sysfs, bytes, kMaxDescriptorBytes) == ReadStatus::Ok && !bytes.empty()) {
        return {bytes.begin(), bytes.end()};
    }
    // No sysfs (containers): ask the node itself.
    const int fd = ::open(node.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::vector<uint8_t> result;
    int size = 0;
    hidraw_report_descriptor descriptor{};
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size > 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
        descriptor.size = static_cast<uint32_t>(size);
        if (::ioctl(fd, HIDIOCGRDESC, &descriptor) == 0) {
            result.assign(descriptor.value, descriptor.value + size);
        }
    }
    ::close(fd);
    return result;
}

// The identity of the node file itself. The kernel reuses the lowest free
// hidraw number, so a device replugged between two scans can come back on the
// same node; its node file is new, though, and so is this number. Carried in
// the path ("&sn_"), it makes the old path vanish and a new one appear.
std::uint64_t NodeIdentity(const std::string& node) {
    struct stat info {};
    if (::stat(node.c_str(), &info) != 0) return 0;
    return (static_cast<std::uint64_t>(info.st_ino) << 32) ^
           static_cast<std::uint64_t>(info.st_ctim.tv_sec) * 1000000007u ^
           static_cast<std::uint64_t>(info.st_ctim.tv_nsec);
}

std::string MakePath(const NodeInfo& node, int collection, std::size_t collectionCount) {
    std::string path =
        fmt::format("{}#vid_{:04x}&pid_{:04x}", node.node, node.vendorId, node.productId);
    if (node.interfaceNumber >= 0) path += fmt::format("&mi_{:02x}", node.interfaceNumber);
    if (collectionCount > 1) path += fmt::format("&col{:02x}", collection + 1);
    path += fmt::format("&sn_{:016x}", NodeIdentity(node.node));
    return path;
}

class HidrawConnection final : public IHidConnection {
public:
    HidrawConnection(hid_device* device, HidConnectionInfo info, HidCollectionCaps caps,
                     bool usesReportIds)
        : device_(device),
          info_(std::move(info)),
          caps_(std::move(caps)),
          usesReportIds_(usesReportIds) {}
    ~HidrawConnection() override { hid_close(device_); }

    const HidConnectionInfo& Info() const override { return info_; }

    HidIoResult Read(std::span<uint8_t> buffer, uint32_t timeoutMs) override {
        using Clock = std::chrono::steady_clock;
        const bool infinite = timeoutMs == kHidInfinite;
        const auto deadline = Clock::now() + std::chrono::milliseconds(infinite ? 0 : timeoutMs);
        std::array<uint8_t, kRawReportBytes> raw{};
        while (true) {
            if (aborted_.load(std::memory_order_acquire)) return {HidIoStatus::Aborted, 0};
            int slice = static_cast<int>(kHidrawAbortSliceMs);
            if (!infinite) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
                slice = static_cast<int>(std::clamp<int64_t>(left.count(), 0, slice));
            }
            const int got = hid_read_timeout(device_, raw.data(), raw.size(), slice);
            if (got < 0) return {HidIoStatus::Disconnected, 0};
            if (got > 0) {
                const auto report =
                    std::span<const uint8_t>(raw.data(), static_cast<std::size_t>(got));
                if (auto bytes = Deliver(report, buffer)) return {HidIoStatus::Ok, *bytes};
            }
            if (!infinite && Clock::now() >= deadline) return {HidIoStatus::TimedOut, 0};
        }
    }

    HidIoResult Write(std::span<const uint8_t> report, uint32_t /*timeoutMs*/) override {
        // hidapi offers no bounded write; hidraw writes end within the kernel's
        // own USB time-out.
        if (aborted_.load(std::memory_order_acquire)) return {HidIoStatus::Aborted, 0};
        const int written = hid_write(device_, report.data(), report.size());
        if (written < 0) return {HidIoStatus::Failed, 0};
        return {HidIoStatus::Ok, static_cast<std::size_t>(written)};
    }

    void Abort() override { aborted_.store(true, std::memory_order_release); }

private:
    // Copies a report of this collection into `buffer` with the report id first;
    // nothing for a report that belongs to another collection.
    std::optional<std::size_t> Deliver(std::span<const uint8_t> report, std::span<uint8_t> buffer) {
        if (!usesReportIds_) {
            buffer[0] = 0;
            const std::size_t count = std::min(report.size(), buffer.size() - 1);
            std::copy_n(report.begin(), count, buffer.begin() + 1);
            return count + 1;
        }
        if (!caps_.OwnsReportId(report[0])) return std::nullopt;
        const std::size_t count = std::min(report.size(), buffer.size());
        std::copy_n(report.begin(), count, buffer.begin());
        return count;
    }

    hid_device* device_;
    HidConnectionInfo info_;
    HidCollectionCaps caps_;
    bool usesReportIds_;
    std::atomic<bool> aborted_{false};
};

class HidrawBackend final : public IHidBackend {
public:
    std::string Name() const override { return "hidraw"; }

    bool WatchChanges(std::shared_ptr<Waker> waker) override {
        return watch_.Add(std::move(waker));
    }

    std::optional<std::vector<std::string>> Enumerate() override {
        bool ok = false;
        const std::vector<NodeInfo> nodes = ListNodes(ok);
        if (!ok) return std::nullopt;
        std::vector<std::string> paths;
        for (const NodeInfo& node : nodes) {
            const ParsedDescriptor parsed = ParseReportDescriptor(ReadDescriptor(node.node));
            const std::size_t count = parsed.Ok() ? parsed.collections.size() : 1;
            for (std::size_t index = 0; index < std::max<std::size_t>(count, 1); ++index) {
                paths.push_back(MakePath(node, static_cast<int>(index), count));
            }
        }
        return paths;
    }

    HidOpenResult Open(const std::string& path, const HidOpenParameters& parameters) override {
        (void)parameters;  // hidapi always opens read-write and shared
        HidOpenResult result;
        std::string node;
        std::string markers;
        if (!SplitHidrawPath(path, node, markers)) {
            result.error = HidOpenError::NotFound;
            result.message = fmt::format("{}: not a hidraw path", path);
            return result;
        }
        // Node numbers are reused after an unplug: make sure the node still
        // belongs to the device and interface the path names.
        bool ok = false;
        const PathIds ids = ParseDevicePath(markers);
        const NodeInfo* found = nullptr;
        const std::vector<NodeInfo> nodes = ListNodes(ok);
        for (const NodeInfo& candidate : nodes) {
            if (candidate.node == node) found = &candidate;
        }
        if (found == nullptr) {
            result.error = HidOpenError::NotFound;
            result.message = fmt::format("{}: no longer present", path);
            return result;
        }
        const uint16_t interfaceNumber = static_cast<uint16_t>(std::max(found->interfaceNumber, 0));
        const std::string identity = fmt::format("&sn_{:016x}", NodeIdentity(node));
        const bool sameNode = markers.find("&sn_") == std::string::npos ||
                              markers.find(identity) != std::string::npos;
        if (found->vendorId != ids.vendorId || found->productId != ids.productId ||
            interfaceNumber != ids.interfaceNumber || !sameNode) {
            result.error = HidOpenError::Mismatch;
            result.message = fmt::format("{}: node now belongs to another device", path);
            return result;
        }
        if (::access(node.c_str(), R_OK | W_OK) != 0) {
            const int error = errno;
            result.error = error == EACCES ? HidOpenError::AccessDenied : HidOpenError::NotFound;
            result.message = error == EACCES ? AccessDeniedMessage(node)
                                             : fmt::format("{}: {}", node, std::strerror(error));
            return result;
        }
        const std::vector<uint8_t> descriptor = ReadDescriptor(node);
        const ParsedDescriptor parsed = ParseReportDescriptor(descriptor);
        const int index = ids.collection == 0 ? 0 : ids.collection - 1;
        if (!parsed.Ok() || static_cast<std::size_t>(index) >= parsed.collections.size()) {
            result.error = HidOpenError::BadDescriptor;
            result.message =
                fmt::format("{}: report descriptor unusable ({})", path,
                            parsed.Ok() ? "no such collection" : DescriptorErrorText(parsed.error));
            return result;
        }
        hid_device* device = hid_open_path(node.c_str());
        if (device == nullptr) {
            result.error = errno == EACCES ? HidOpenError::AccessDenied : HidOpenError::Failed;
            result.message = errno == EACCES ? AccessDeniedMessage(node)
                                             : fmt::format("{}: cannot be opened", node);
            return result;
        }
        HidConnectionInfo info{found->vendorId, found->productId, found->version, descriptor,
                               index};
        result.connection = std::make_unique<HidrawConnection>(
            device, std::move(info), parsed.collections[static_cast<std::size_t>(index)],
            parsed.usesReportIds);
        result.error = HidOpenError::None;
        return result;
    }

private:
    UdevWatch watch_;
};

}  // namespace

std::string AccessDeniedMessage(const std::string& node) {
    return fmt::format(
        "Permission denied on {}. Install the udev rule {} (from packaging/) into "
        "/etc/udev/rules.d/, run 'sudo udevadm control --reload && sudo udevadm trigger', "
        "then plug the device in again.",
        node, kUdevRuleName);
}

bool SplitHidrawPath(const std::string& path, std::string& node, std::string& markers) {
    const std::size_t hash = path.find('#');
    if (hash == std::string::npos) return false;
    node = path.substr(0, hash);
    markers = path.substr(hash);
    return IsNodePath(node);
}

std::unique_ptr<IHidBackend> MakeHidrawBackend() {
    return std::make_unique<HidrawBackend>();
}

}  // namespace q731
