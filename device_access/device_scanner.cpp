#include "device_access/device_scanner.h"

#include <algorithm>
#include <set>

#include <fmt/format.h>

#include "device_access/device_path.h"
#include "device_access/hidraw_backend.h"
#include "platform/log.h"

namespace q731 {

std::vector<DeviceEntry> DeviceList::Snapshot() const {
    std::lock_guard lock(mutex_);
    return rows_;
}

std::optional<DeviceEntry> DeviceList::Row(int index) const {
    std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= rows_.size()) return std::nullopt;
    return rows_[static_cast<std::size_t>(index)];
}

std::size_t DeviceList::Size() const {
    std::lock_guard lock(mutex_);
    return rows_.size();
}

bool DeviceList::AllClaimed() const {
    std::lock_guard lock(mutex_);
    return q731::AllClaimed(rows_);
}

int DeviceList::Claim(DeviceEntry probed, const std::string& path) {
    std::lock_guard lock(mutex_);
    probed.path = path;
    return q731::Claim(probed, rows_);
}

bool DeviceList::Release(int index) {
    std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= rows_.size()) return false;
    DeviceEntry& row = rows_[static_cast<std::size_t>(index)];
    if (!row.connected) return false;
    row.connected = 0;
    row.path.clear();
    return true;
}

DeviceScanner::DeviceScanner(std::shared_ptr<IHidBackend> backend, DeviceList& list, UiLoop& loop,
                             Handlers handlers)
    : backend_(std::move(backend)),
      list_(list),
      loop_(loop),
      handlers_(std::move(handlers)),
      probe_(backend_),
      changes_(std::make_shared<Waker>()) {
    watching_ = backend_->WatchChanges(changes_);
}

bool DeviceScanner::Deliver(const std::function<void(int)>& handler, int index) {
    if (!handler) return true;
    return loop_.Send([&] { handler(index); });
}

void DeviceScanner::RunPass() {
    ++passes_;
    const bool changed = changes_->TakePoke();
    // A change lists at once; otherwise a pending retry waits for its turn,
    // and without change notifications every pass lists when none is pending.
    const bool retryDue = relist_ && --passesToRetry_ <= 0;
    if (!changed && !retryDue && (watching_ || relist_)) return;

    std::optional<std::vector<std::string>> paths = backend_->Enumerate();
    ++listings_;
    bool retry = false;
    bool removed = false;
    if (!paths) {
        // One failed listing must not end hot-plug: try again.
        if (!listingFailureLogged_) LogWarning("device scan: listing the HID interfaces failed");
        listingFailureLogged_ = true;
        retry = true;
    } else {
        listingFailureLogged_ = false;
        // Arrivals: claim every candidate path, then let the UI handle it.
        for (const std::string& path : *paths) {
            if (list_.AllClaimed()) break;
            const std::vector<DeviceEntry> rows = list_.Snapshot();
            if (!IsCandidate(EntryFromPath(path), rows)) continue;
            const std::optional<DeviceEntry> probed = Probe(probe_, path);
            if (!probed) {
                ReportOpenFailure(path);
                retry = true;  // may be a device still settling: look again
                continue;
            }
            const int index = list_.Claim(*probed, path);
            if (index < 0) continue;
            if (!Deliver(handlers_.arrival, index)) return;  // shutting down
        }
        // Removals: a connected row whose path is gone.
        const std::set<std::string> present(paths->begin(), paths->end());
        const std::vector<DeviceEntry> rows = list_.Snapshot();
        for (std::size_t index = 0; index < rows.size(); ++index) {
            if (!rows[index].connected || present.contains(rows[index].path)) continue;
            const int row = static_cast<int>(index);
            if (!list_.Release(row)) continue;
            // A unit that found its row taken may be waiting: look again next pass.
            removed = true;
            if (!Deliver(handlers_.removal, row)) return;
        }
    }
    // Retries back off while they keep failing; a change starts them afresh.
    if (retry) {
        retryDelayPasses_ =
            changed || !relist_ ? 1 : std::clamp(retryDelayPasses_ * 2, 1, kMaxRetryPasses);
    } else {
        retryDelayPasses_ = removed ? 1 : 0;
    }
    relist_ = retry || removed;
    passesToRetry_ = retryDelayPasses_;
    if (!firstPassDone_) {
        firstPassDone_ = true;
        if (handlers_.firstPassDone) loop_.Post(handlers_.firstPassDone);
    }
}

void DeviceScanner::ReportOpenFailure(const std::string& path) {
    // One interface is one key, whichever of its collections was tried: a
    // hidraw node with its device's identity, or the ids the path carries.
    std::string node;
    std::string markers;
    const bool hidraw = SplitHidrawPath(path, node, markers);
    const std::size_t identity = markers.find("&sn_");
    const PathIds ids = ParseDevicePath(path);
    const std::string key =
        fmt::format("{}{} {:04x}:{:04x}:{:02x}", hidraw ? node : std::string(),
                    identity == std::string::npos ? std::string() : markers.substr(identity),
                    ids.vendorId, ids.productId, ids.interfaceNumber);
    if (!reportedInterfaces_.insert(key).second) return;
    LogWarning("device scan: " + probe_.LastOpenMessage());
    if (probe_.LastOpenError() != HidOpenError::AccessDenied || accessDeniedTold_) return;
    accessDeniedTold_ = true;
    if (handlers_.accessDenied) {
        loop_.Post(
            [handler = handlers_.accessDenied, name = hidraw ? node : path] { handler(name); });
    }
}

void DeviceScanner::Run(const WorkerArgs& args, Clock& clock) {
    RunWorkerLoop(args, clock, [this] {
        RunPass();
        return kPeriod;
    });
    LogInfo("device scan thread ended");
}

}  // namespace q731
