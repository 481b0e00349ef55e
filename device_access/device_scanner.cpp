#include "device_access/device_scanner.h"

#include <algorithm>
#include <set>

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
    if (!relist_ && watching_ && !changed) return;

    std::optional<std::vector<std::string>> paths = backend_->Enumerate();
    ++listings_;
    if (!paths) {
        // One failed listing must not end hot-plug: try again next pass.
        if (!listingFailureLogged_) LogWarning("device scan: listing the HID interfaces failed");
        listingFailureLogged_ = true;
        relist_ = true;
    } else {
        listingFailureLogged_ = false;
        relist_ = false;
        // Arrivals: claim every candidate path, then let the UI handle it.
        for (const std::string& path : *paths) {
            if (list_.AllClaimed()) break;
            const std::vector<DeviceEntry> rows = list_.Snapshot();
            if (!IsCandidate(EntryFromPath(path), rows)) continue;
            const std::optional<DeviceEntry> probed = Probe(probe_, path);
            if (!probed) {
                relist_ = true;  // may be a device still settling: look again
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
            relist_ = true;
            if (!Deliver(handlers_.removal, row)) return;
        }
    }
    if (!firstPassDone_) {
        firstPassDone_ = true;
        if (handlers_.firstPassDone) loop_.Post(handlers_.firstPassDone);
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
