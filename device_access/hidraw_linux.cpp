// The real kernel under the hidraw back end.

#include <fcntl.h>
#include <hidapi/hidapi.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <mutex>
#include <set>

#include "device_access/hidraw_system.h"
#include "device_access/report_descriptor.h"
#include "device_access/udev_watch.h"
#include "platform/files.h"
#include "platform/log.h"

namespace q731 {

namespace {

// hidapi keeps one process-wide error string that hid_init and hid_enumerate
// replace without a lock: two threads listing at once free it twice. Every
// hidapi call of the process goes through this lock.
std::mutex& HidapiLock() {
    static std::mutex lock;
    return lock;
}

// False when hidapi cannot work at all (then nothing can be listed). Called
// with the hidapi lock held.
bool InitHidapiLocked() {
    static bool tried = false;
    static bool ready = false;
    if (!tried) {
        tried = true;
        ready = hid_init() == 0;
        if (!ready) LogError("hidapi: hid_init failed");
    }
    return ready;
}

std::string NodeName(const std::string& node) {
    return std::filesystem::path(node).filename().string();
}

// The HID device the node belongs to ("0003:320F:221D.0007"). The kernel
// numbers HID devices in plug order and never reuses a number while it runs,
// so a device plugged again has a new name even on a reused hidraw node,
// while the node's own times change with every chmod or ACL update.
std::string ReadIdentity(const std::string& node) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(
        std::filesystem::path("/sys/class/hidraw") / NodeName(node) / "device", error);
    return error ? std::string() : target.filename().string();
}

class LinuxHidrawFile final : public IHidrawFile {
public:
    LinuxHidrawFile(int fd, int wakeFd) : fd_(fd), wakeFd_(wakeFd) {}
    ~LinuxHidrawFile() override {
        ::close(fd_);
        ::close(wakeFd_);
    }
    LinuxHidrawFile(const LinuxHidrawFile&) = delete;
    LinuxHidrawFile& operator=(const LinuxHidrawFile&) = delete;

    int Poll(int timeoutMs) override {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeoutMs);
        if (ready < 0) return -errno;
        int bits = 0;
        if ((fds[1].revents & POLLIN) != 0) {
            uint64_t count = 0;
            // Consumes the wake-up; a failure leaves it set for the next poll.
            [[maybe_unused]] const ssize_t ignored = ::read(wakeFd_, &count, sizeof count);
            bits |= kRawPollWoken;
        }
        if ((fds[0].revents & POLLIN) != 0) bits |= kRawPollReadable;
        if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) bits |= kRawPollHangUp;
        return bits;
    }

    long Read(std::span<uint8_t> buffer) override {
        const ssize_t got = ::read(fd_, buffer.data(), buffer.size());
        return got < 0 ? -errno : static_cast<long>(got);
    }

    long Write(std::span<const uint8_t> report) override {
        const ssize_t written = ::write(fd_, report.data(), report.size());
        return written < 0 ? -errno : static_cast<long>(written);
    }

    void Wake() override {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(wakeFd_, &one, sizeof one);
    }

private:
    int fd_;
    int wakeFd_;
};

class LinuxHidrawSystem final : public IHidrawSystem {
public:
    std::string Name() const override { return "hidraw"; }

    std::optional<std::vector<HidrawNodeInfo>> ListNodes() override {
        std::vector<HidrawNodeInfo> nodes;
        {
            std::lock_guard lock(HidapiLock());
            if (!InitHidapiLocked()) return std::nullopt;
            std::set<std::string> seen;
            // hidapi answers "nothing" both for no device and for a failed udev
            // query; both read as an empty bus.
            hid_device_info* list = hid_enumerate(0, 0);
            for (hid_device_info* info = list; info != nullptr; info = info->next) {
                if (info->path == nullptr || !seen.insert(info->path).second) continue;
                nodes.push_back({.node = info->path,
                                 .vendorId = info->vendor_id,
                                 .productId = info->product_id,
                                 .version = info->release_number,
                                 .interfaceNumber = info->interface_number,
                                 .identity = {}});
            }
            hid_free_enumeration(list);
        }
        for (HidrawNodeInfo& node : nodes)
            node.identity = ReadIdentity(node.node);
        return nodes;
    }

    std::vector<uint8_t> ReadDescriptor(const std::string& node) override {
        std::string bytes;
        const auto sysfs = std::filesystem::path("/sys/class/hidraw") / NodeName(node) / "device" /
                           "report_descriptor";
        if (ReadFileBytes(sysfs, bytes, kMaxDescriptorBytes) == ReadStatus::Ok && !bytes.empty()) {
            return {bytes.begin(), bytes.end()};
        }
        // No sysfs (some containers): ask the node itself, which needs access.
        const int fd = ::open(node.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return {};
        std::vector<uint8_t> result;
        int size = 0;
        hidraw_report_descriptor descriptor{};
        if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size > 0 &&
            size <= HID_MAX_DESCRIPTOR_SIZE) {
            descriptor.size = static_cast<uint32_t>(size);
            if (::ioctl(fd, HIDIOCGRDESC, &descriptor) == 0) {
                result.assign(descriptor.value, descriptor.value + size);
            }
        }
        ::close(fd);
        return result;
    }

    HidrawOpenResult Open(const std::string& node) override {
        // Non-blocking reads: the back end waits in poll, where a wake-up can
        // reach it. Writes block in usbhid whatever the flag says.
        const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return {nullptr, errno};
        const int wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wakeFd < 0) {
            const int error = errno;
            ::close(fd);
            return {nullptr, error};
        }
        return {std::make_unique<LinuxHidrawFile>(fd, wakeFd), 0};
    }

    bool WatchChanges(std::shared_ptr<Waker> waker) override {
        return watch_.Add(std::move(waker));
    }

private:
    UdevWatch watch_;
};

}  // namespace

std::shared_ptr<IHidrawSystem> MakeLinuxHidrawSystem() {
    return std::make_shared<LinuxHidrawSystem>();
}

}  // namespace q731
