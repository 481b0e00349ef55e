#include "device_access/hidraw_backend.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include <fmt/format.h>

#include "device_access/device_path.h"
#include "device_access/device_table.h"
#include "device_access/hidraw_node.h"
#include "device_access/report_descriptor.h"
#include "platform/log.h"

namespace q731 {

namespace {

constexpr std::string_view kNodePrefix = "/dev/hidraw";
constexpr std::string_view kIdentityMarker = "&sn_";

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

// The identity as it goes into a path: the kernel's names ("0003:320F:221D.0007")
// as they are, anything else hashed, so that no marker can hide in it.
std::string IdentityMarker(const std::string& identity) {
    if (identity.empty()) return {};
    const bool plain = std::all_of(identity.begin(), identity.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.';
    });
    if (plain && identity.size() <= 32) return fmt::format("{}{}", kIdentityMarker, identity);
    uint64_t hash = 1469598103934665603ull;
    for (char c : identity) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return fmt::format("{}{:016x}", kIdentityMarker, hash);
}

std::string MakePath(const HidrawNodeInfo& node, int collection, std::size_t collectionCount) {
    std::string path =
        fmt::format("{}#vid_{:04x}&pid_{:04x}", node.node, node.vendorId, node.productId);
    if (node.interfaceNumber >= 0) path += fmt::format("&mi_{:02x}", node.interfaceNumber);
    if (collectionCount > 1) path += fmt::format("&col{:02x}", collection + 1);
    path += IdentityMarker(node.identity);
    return path;
}

bool IsFamilyProduct(uint16_t vendorId, uint16_t productId) {
    return std::any_of(kSupportedDevices.begin(), kSupportedDevices.end(),
                       [&](const DeviceRow& row) {
                           return row.vendorId == vendorId && row.productId == productId;
                       });
}

HidOpenError OpenErrorOf(int error) {
    if (error == EACCES || error == EPERM) return HidOpenError::AccessDenied;
    if (error == ENOENT || error == ENODEV || error == ENXIO) return HidOpenError::NotFound;
    return HidOpenError::Failed;
}

class HidrawConnection final : public IHidConnection {
public:
    HidrawConnection(std::shared_ptr<HidrawNode> node, std::shared_ptr<HidrawSubscriber> subscriber,
                     HidConnectionInfo info)
        : node_(std::move(node)), subscriber_(std::move(subscriber)), info_(std::move(info)) {}
    ~HidrawConnection() override { node_->Unsubscribe(subscriber_); }
    HidrawConnection(const HidrawConnection&) = delete;
    HidrawConnection& operator=(const HidrawConnection&) = delete;

    const HidConnectionInfo& Info() const override { return info_; }
    HidIoResult Read(std::span<uint8_t> buffer, uint32_t timeoutMs) override {
        return node_->Read(*subscriber_, buffer, timeoutMs);
    }
    HidIoResult Write(std::span<const uint8_t> report, uint32_t timeoutMs) override {
        return node_->Write(*subscriber_, report, timeoutMs);
    }
    void Abort() override { node_->Abort(*subscriber_); }

private:
    std::shared_ptr<HidrawNode> node_;
    std::shared_ptr<HidrawSubscriber> subscriber_;
    HidConnectionInfo info_;
};

class HidrawBackend final : public IHidBackend {
public:
    explicit HidrawBackend(std::shared_ptr<IHidrawSystem> system) : system_(std::move(system)) {}

    std::string Name() const override { return system_->Name(); }

    bool WatchChanges(std::shared_ptr<Waker> waker) override {
        return system_->WatchChanges(std::move(waker));
    }

    std::optional<std::vector<std::string>> Enumerate() override {
        const std::optional<std::vector<HidrawNodeInfo>> nodes = system_->ListNodes();
        if (!nodes) return std::nullopt;
        std::vector<std::string> paths;
        for (const HidrawNodeInfo& node : *nodes) {
            const ParsedDescriptor parsed = Parse(node);
            const std::size_t count = parsed.Ok() ? parsed.collections.size() : 1;
            for (std::size_t index = 0; index < std::max<std::size_t>(count, 1); ++index) {
                paths.push_back(MakePath(node, static_cast<int>(index), count));
            }
        }
        return paths;
    }

    HidOpenResult Open(const std::string& path, const HidOpenParameters& parameters) override {
        HidOpenResult result;
        Located located = Locate(path, result);
        if (!located.found) return result;
        const HidrawNodeInfo& node = located.node;
        std::shared_ptr<HidrawNode> session = SessionOf(node, located.parsed, result);
        if (!session) return result;
        HidConnectionInfo info{node.vendorId, node.productId, node.version,
                               std::move(located.descriptor), located.index};
        // A connection that can write talks to the device, and must not miss
        // an answer that comes before its first read.
        auto subscriber = session->Subscribe(located.index, parameters.writeAccess);
        result.connection =
            std::make_unique<HidrawConnection>(session, std::move(subscriber), std::move(info));
        result.error = HidOpenError::None;
        return result;
    }

    std::optional<HidConnectionInfo> Inspect(const std::string& path) override {
        HidOpenResult ignored;
        Located located = Locate(path, ignored);
        if (!located.found) return std::nullopt;
        return HidConnectionInfo{located.node.vendorId, located.node.productId,
                                 located.node.version, std::move(located.descriptor),
                                 located.index};
    }

private:
    struct Located {
        bool found = false;
        HidrawNodeInfo node;
        std::vector<uint8_t> descriptor;
        ParsedDescriptor parsed;
        int index = 0;
    };

    // The node a path names, checked against what is there now: node numbers
    // are reused after an unplug. Fills `result` with the reason when not found.
    Located Locate(const std::string& path, HidOpenResult& result) {
        Located located;
        std::string nodePath;
        std::string markers;
        if (!SplitHidrawPath(path, nodePath, markers)) {
            result.error = HidOpenError::NotFound;
            result.message = fmt::format("{}: not a hidraw path", path);
            return located;
        }
        const std::optional<std::vector<HidrawNodeInfo>> nodes = system_->ListNodes();
        const auto found =
            nodes ? std::find_if(nodes->begin(), nodes->end(),
                                 [&](const HidrawNodeInfo& node) { return node.node == nodePath; })
                  : std::vector<HidrawNodeInfo>::const_iterator();
        if (!nodes || found == nodes->end()) {
            result.error = HidOpenError::NotFound;
            result.message = fmt::format("{}: no longer present", path);
            return located;
        }
        const PathIds ids = ParseDevicePath(markers);
        const uint16_t interfaceNumber = static_cast<uint16_t>(std::max(found->interfaceNumber, 0));
        const std::size_t at = markers.find(kIdentityMarker);
        const bool sameDevice = (at == std::string::npos ? std::string() : markers.substr(at)) ==
                                IdentityMarker(found->identity);
        if (found->vendorId != ids.vendorId || found->productId != ids.productId ||
            interfaceNumber != ids.interfaceNumber || !sameDevice) {
            result.error = HidOpenError::Mismatch;
            result.message = fmt::format("{}: node now belongs to another device", path);
            return located;
        }
        located.node = *found;
        located.descriptor = system_->ReadDescriptor(nodePath);
        located.parsed = Parse(located.node, located.descriptor);
        located.index = ids.collection == 0 ? 0 : ids.collection - 1;
        if (!located.parsed.Ok() ||
            static_cast<std::size_t>(located.index) >= located.parsed.collections.size()) {
            result.error = HidOpenError::BadDescriptor;
            result.message =
                fmt::format("{}: report descriptor unusable ({})", path,
                            located.parsed.Ok() ? "no such collection"
                                                : DescriptorErrorText(located.parsed.error));
            return located;
        }
        located.found = true;
        return located;
    }

    ParsedDescriptor Parse(const HidrawNodeInfo& node) {
        return Parse(node, system_->ReadDescriptor(node.node));
    }

    // Parses and, for the family's products, says once per plugged device what
    // the parser could not use: that is where a new firmware shows first.
    ParsedDescriptor Parse(const HidrawNodeInfo& node, const std::vector<uint8_t>& descriptor) {
        ParsedDescriptor parsed = ParseReportDescriptor(descriptor);
        const bool remarkable = !parsed.Ok() || !parsed.skipped.empty();
        if (!remarkable || !IsFamilyProduct(node.vendorId, node.productId)) return parsed;
        std::lock_guard lock(mutex_);
        if (!described_.insert(node.node + IdentityMarker(node.identity)).second) return parsed;
        if (!parsed.Ok()) {
            LogWarning(fmt::format("{} ({:04x}:{:04x}): report descriptor rejected: {}", node.node,
                                   node.vendorId, node.productId,
                                   DescriptorErrorText(parsed.error)));
        }
        for (const std::string& note : parsed.skipped) {
            LogWarning(fmt::format("{} ({:04x}:{:04x}): report descriptor {}", node.node,
                                   node.vendorId, node.productId, note));
        }
        return parsed;
    }

    // The node's shared session, opened on first use.
    std::shared_ptr<HidrawNode> SessionOf(const HidrawNodeInfo& node,
                                          const ParsedDescriptor& parsed, HidOpenResult& result) {
        const std::string key = node.node + IdentityMarker(node.identity);
        std::lock_guard lock(mutex_);
        std::erase_if(sessions_, [](const auto& entry) { return entry.second.expired(); });
        if (auto existing = sessions_[key].lock()) return existing;
        HidrawOpenResult opened = system_->Open(node.node);
        if (!opened.file) {
            result.error = OpenErrorOf(opened.error);
            result.message = result.error == HidOpenError::AccessDenied
                                 ? AccessDeniedMessage(node.node)
                                 : fmt::format("{}: {}", node.node, std::strerror(opened.error));
            sessions_.erase(key);
            return nullptr;
        }
        auto session = std::make_shared<HidrawNode>(std::move(opened.file), parsed, node.node);
        sessions_[key] = session;
        return session;
    }

    std::shared_ptr<IHidrawSystem> system_;
    std::mutex mutex_;
    std::map<std::string, std::weak_ptr<HidrawNode>> sessions_;
    std::set<std::string> described_;
};

}  // namespace

std::string AccessDeniedMessage(const std::string& node) {
    return fmt::format(
        "Permission denied on {}. Install the udev rule {} (from packaging/) into "
        "/etc/udev/rules.d/, run 'sudo udevadm control --reload && sudo udevadm trigger', "
        "then plug the device in again (README, \"{}\").",
        node, kUdevRuleName, kUdevReadmeSection);
}

bool SplitHidrawPath(const std::string& path, std::string& node, std::string& markers) {
    const std::size_t hash = path.find('#');
    if (hash == std::string::npos) return false;
    node = path.substr(0, hash);
    markers = path.substr(hash);
    return IsNodePath(node);
}

std::unique_ptr<IHidBackend> MakeHidrawBackend(std::shared_ptr<IHidrawSystem> system) {
    return std::make_unique<HidrawBackend>(std::move(system));
}

std::unique_ptr<IHidBackend> MakeHidrawBackend() {
    return MakeHidrawBackend(MakeLinuxHidrawSystem());
}

}  // namespace q731
