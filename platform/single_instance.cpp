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

long LockHolderPid(const std::filesystem::path& lockFile) {
    const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return 0;
    char text[32] = {};
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got <= 0) return 0;
    long pid = 0;
    for (ssize_t i = 0; i < got && text[i] >= '0' && text[i] <= '9'; ++i) {
        pid = pid * 10 + (text[i] - '0');
        if (pid > 1'000'000'000) return 0;
    }
    return pid;
}

InstanceRole ClaimInstance(const std::filesystem::path& runtimeFolder, InstanceLock& lock,
                           std::string* error, int patienceMs) {
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
    if (SendBusMessageWithin(BusSocketPath(runtimeFolder), wake, patienceMs, &sendError)) {
        return InstanceRole::Secondary;
    }
    const std::filesystem::path lockFile = runtimeFolder / "instance.lock";
    const long pid = LockHolderPid(lockFile);
    std::string why = "another copy is running but does not answer (" + sendError + ")";
    if (pid > 0) {
        why += "; it is process " + std::to_string(pid) + " (holding " + lockFile.string() +
               "). If it is stuck, end it with: kill " + std::to_string(pid) + " (or kill -9 " +
               std::to_string(pid) + " if that does not help), then start again";
    } else {
        why += "; the process holding " + lockFile.string() + " can be found with: fuser -v " +
               lockFile.string();
    }
    LogWarning(why);
    if (error) *error = why;
    return InstanceRole::Unresponsive;
}

}  // namespace q731
