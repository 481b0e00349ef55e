#pragma once
// Hot-plug: the device list shared between the scan thread and the UI thread,
// and the scan pass that claims arriving interfaces and releases departed ones.
// Arrivals and removals are handed to the UI thread with a blocking send, so
// the UI sees them one at a time and in order; once shutdown has begun the
// send fails and the pass ends at once.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "device_access/device_table.h"
#include "device_access/hid_backend.h"
#include "device_access/hid_device.h"
#include "platform/ui_loop.h"
#include "platform/worker_slots.h"

namespace q731 {

// The main window's 11 rows. Rows never move; only a row's connected flag and
// path change, always under the lock, so the UI thread never reads a row
// half-written by the scan thread.
class DeviceList {
public:
    DeviceList() : rows_(MakeDeviceList()) {}

    std::vector<DeviceEntry> Snapshot() const;
    std::optional<DeviceEntry> Row(int index) const;
    std::size_t Size() const;
    bool AllClaimed() const;

    // Claims the first free row matching `probed` (as the discovery rules say);
    // -1 when none is free any more.
    int Claim(DeviceEntry probed, const std::string& path);
    // Frees a connected row; false when it was not connected.
    bool Release(int index);

private:
    mutable std::mutex mutex_;
    std::vector<DeviceEntry> rows_;
};

class DeviceScanner {
public:
    struct Handlers {
        // Run on the UI thread, one at a time, with the device-list index.
        std::function<void(int index)> arrival;
        std::function<void(int index)> removal;
        // Posted once, after the first pass, whatever it found.
        std::function<void()> firstPassDone;
        // Posted once per run, the first time one of our interfaces cannot be
        // opened for lack of permission, with the node (or path) refused.
        std::function<void(const std::string& node)> accessDenied;
    };

    static constexpr Millis kPeriod{100};
    // After a pass whose probes failed, the next listing waits 1, 2, 4, ...
    // passes, at most this many: a device still settling is seen again at
    // once, one we may not open is not listed ten times a second for ever.
    static constexpr int kMaxRetryPasses = 32;

    DeviceScanner(std::shared_ptr<IHidBackend> backend, DeviceList& list, UiLoop& loop,
                  Handlers handlers);

    // One pass. Lists the interfaces only when the back end reported a change
    // (or cannot report changes), so an idle program does not walk the bus.
    void RunPass();
    // The worker-slot body: passes every 100 ms until the stop event.
    void Run(const WorkerArgs& args, Clock& clock);

    int Passes() const { return passes_; }
    int Listings() const { return listings_; }

private:
    bool Deliver(const std::function<void(int)>& handler, int index);
    // Logs an open failure once per interface and tells the user once per
    // run when it is a matter of permissions.
    void ReportOpenFailure(const std::string& path);

    std::shared_ptr<IHidBackend> backend_;
    DeviceList& list_;
    UiLoop& loop_;
    Handlers handlers_;
    HidDevice probe_;
    std::shared_ptr<Waker> changes_;
    bool watching_ = false;
    bool relist_ = true;
    int retryDelayPasses_ = 0;  // passes to wait before the next retry listing
    int passesToRetry_ = 0;
    std::set<std::string> reportedInterfaces_;
    bool accessDeniedTold_ = false;
    bool firstPassDone_ = false;
    bool listingFailureLogged_ = false;
    int passes_ = 0;
    int listings_ = 0;
};

}  // namespace q731
