#pragma once
// One running copy per user: an advisory lock (flock) on a file in the runtime
// folder. The kernel drops the lock when its holder dies, so the lock file left
// behind by a crashed run never blocks the next start.

#include <filesystem>
#include <string>

namespace q731 {

class InstanceLock {
public:
    enum class Result { Acquired, HeldElsewhere, Error };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    Result Acquire(const std::filesystem::path& lockFile, std::string* error = nullptr);
    void Release();
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace q731

namespace q731 {

enum class InstanceRole { Primary, Secondary, Unresponsive, Failed };

// Start-up's single-instance step: takes the lock in `runtimeFolder`; when a
// running copy holds it, sends that copy the wake message (wParam 0, lParam 1)
// over the local bus and reports Secondary, and the caller exits with code 0.
// When the copy holding the lock cannot be reached within `patienceMs`, the
// answer is Unresponsive and `error` says which process holds the lock and
// how to end it.
InstanceRole ClaimInstance(const std::filesystem::path& runtimeFolder, InstanceLock& lock,
                           std::string* error = nullptr, int patienceMs = 2000);

// The process id the lock's holder wrote into the lock file, or 0.
long LockHolderPid(const std::filesystem::path& lockFile);

}  // namespace q731
