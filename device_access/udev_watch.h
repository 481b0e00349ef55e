#pragma once
// Tells interested sleepers when a hidraw node comes or goes, from udev's
// netlink monitor, so the device scan lists the bus only after a change.

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/clock.h"

struct udev;
struct udev_monitor;

namespace q731 {

class UdevWatch {
public:
    UdevWatch() = default;
    ~UdevWatch();
    UdevWatch(const UdevWatch&) = delete;
    UdevWatch& operator=(const UdevWatch&) = delete;

    // Starts the monitor on first use; false when udev cannot be watched (no
    // udev in a container, say), and callers then poll.
    bool Add(std::shared_ptr<Waker> waker);

private:
    bool StartLocked();
    void Serve();
    void PokeAll();

    std::mutex mutex_;
    std::vector<std::weak_ptr<Waker>> wakers_;
    ::udev* udev_ = nullptr;
    ::udev_monitor* monitor_ = nullptr;
    int stopPipe_[2] = {-1, -1};
    std::thread thread_;
    bool started_ = false;
    bool failed_ = false;
};

}  // namespace q731
