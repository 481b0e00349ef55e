#include "device_access/udev_watch.h"

#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <unistd.h>

#include "platform/log.h"

namespace q731 {

UdevWatch::~UdevWatch() {
    if (thread_.joinable()) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(stopPipe_[1], &byte, 1);
        thread_.join();
    }
    if (stopPipe_[0] >= 0) ::close(stopPipe_[0]);
    if (stopPipe_[1] >= 0) ::close(stopPipe_[1]);
    if (monitor_) udev_monitor_unref(monitor_);
    if (udev_) udev_unref(udev_);
}

bool UdevWatch::Add(std::shared_ptr<Waker> waker) {
    std::lock_guard lock(mutex_);
    if (!started_ && !failed_) failed_ = !StartLocked();
    if (failed_) return false;
    wakers_.push_back(std::move(waker));
    return true;
}

bool UdevWatch::StartLocked() {
    udev_ = udev_new();
    if (!udev_) return false;
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor_ ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0 || ::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        LogInfo("udev monitor unavailable: the device scan lists the bus every pass");
        return false;
    }
    started_ = true;
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void UdevWatch::PokeAll() {
    std::lock_guard lock(mutex_);
    std::erase_if(wakers_, [](const std::weak_ptr<Waker>& weak) {
        auto waker = weak.lock();
        if (!waker) return true;
        waker->Poke();
        return false;
    });
}

void UdevWatch::Serve() {
    const int monitorFd = udev_monitor_get_fd(monitor_);
    while (true) {
        pollfd fds[2] = {{monitorFd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents != 0) return;
        if ((fds[0].revents & POLLIN) == 0) continue;
        if (udev_device* device = udev_monitor_receive_device(monitor_)) udev_device_unref(device);
        PokeAll();
    }
}

}  // namespace q731
