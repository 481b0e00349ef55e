#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include <utility>

#include "platform/log.h"
#include "platform/message_bus.h"
#include "platform/message_names.h"

namespace q731 {

InstanceLock::~InstanceLock() {
    Release();
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

InstanceLock::Result InstanceLock::Acquire(const std::filesystem::path& lockFile,
                                           std::string* error) {
    Release();
    // O_CLOEXEC: a program we start must not inherit (and so keep) the lock.
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        if (error) *error = "cannot open " + lockFile.string() + ": " + std::strerror(errno);
        return Result::Error;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int saved = errno;
        ::close(fd);
        if (saved == EWOULDBLOCK) return Result::HeldElsewhere;
        if (error) *error = "cannot lock " + lockFile.string() + ": " + std::strerror(saved);
        return Result::Error;
    }
    // Leave the holder's pid in the file for people looking at it; nothing reads it.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t ignored = ::write(fd, pid.data(), pid.size());
    }
    fd_ = fd;
    return Result::Acquired;
}

void InstanceLock::Release() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace q731

namespace q731 {

InstanceRole ClaimInstance(const std::filesystem::path& runtimeFolder, InstanceLock& lock,
                           std::string* error) {
    if (runtimeFolder.empty()) {
        if (error) *error = "no private runtime folder";
        return InstanceRole::Failed;
    }
    switch (lock.Acquire(runtimeFolder / "instance.lock", error)) {
        case InstanceLock::Result::Acquired:
            return InstanceRole::Primary;
        case InstanceLock::Result::Error:
            return InstanceRole::Failed;
        case InstanceLock::Result::HeldElsewhere:
            break;
    }
    // The running copy may still be starting: give its bus a moment to come up.
    BusMessage wake{std::string(messages::kWake), 0, 1, {}};
    std::string sendError;
    if (!SendBusMessageWithin(BusSocketPath(runtimeFolder), wake, 2000, &sendError)) {
        LogWarning("could not wake the running copy: " + sendError);
    }
    return InstanceRole::Secondary;
}

}  // namespace q731
