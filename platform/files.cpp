#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <system_error>
#include <utility>

namespace q731 {

namespace {

void SetError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

std::string Errno(std::string_view what, const fs::path& path) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

struct WriteHooks {
    std::mutex mutex;
    std::shared_ptr<const std::function<void(const WriteFailure&)>> observer;
    fs::path faultFolder;
    int faultError = 0;
    int faultAfter = 0;  // writes under the folder that still succeed
};

WriteHooks& Hooks() {
    static WriteHooks hooks;
    return hooks;
}

bool IsUnder(const fs::path& path, const fs::path& folder) {
    const fs::path rel = path.lexically_normal().lexically_relative(folder.lexically_normal());
    return !rel.empty() && *rel.begin() != "..";
}

// The injected fault for `path`, or 0.
int InjectedFault(const fs::path& path) {
    WriteHooks& hooks = Hooks();
    std::lock_guard lock(hooks.mutex);
    if (hooks.faultError == 0 || !IsUnder(path, hooks.faultFolder)) return 0;
    if (hooks.faultAfter > 0) {
        --hooks.faultAfter;
        return 0;
    }
    return hooks.faultError;
}

bool ReportFailure(const fs::path& path, int error) {
    std::shared_ptr<const std::function<void(const WriteFailure&)>> observer;
    {
        std::lock_guard lock(Hooks().mutex);
        observer = Hooks().observer;
    }
    if (observer && *observer) {
        const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
        (*observer)({path, dir, error});
    }
    return false;
}

}  // namespace

void SetWriteFailureObserver(std::function<void(const WriteFailure&)> observer) {
    auto shared =
        observer
            ? std::make_shared<const std::function<void(const WriteFailure&)>>(std::move(observer))
            : nullptr;
    std::lock_guard lock(Hooks().mutex);
    Hooks().observer = std::move(shared);
}

void InjectWriteFault(const fs::path& folder, int error, int after) {
    std::lock_guard lock(Hooks().mutex);
    Hooks().faultFolder = folder;
    Hooks().faultError = error;
    Hooks().faultAfter = after;
}

ReadStatus ReadFileBytes(const fs::path& path, std::string& out, std::size_t maxBytes,
                         std::string* error) {
    out.clear();
    // O_NONBLOCK: a FIFO named as a file must not block the caller in open.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        const bool missing = errno == ENOENT || errno == ENOTDIR;
        SetError(error, Errno("cannot open", path));
        return missing ? ReadStatus::Missing : ReadStatus::Error;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        SetError(error, "not a regular file: " + path.string());
        return ReadStatus::Error;
    }
    if (static_cast<std::size_t>(info.st_size) > maxBytes) {
        SetError(error, "file too large: " + path.string());
        return ReadStatus::TooLarge;
    }
    // The size may change under us; never read past the cap.
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            SetError(error, Errno("cannot read", path));
            out.clear();
            return ReadStatus::Error;
        }
        if (got == 0) break;
        if (out.size() + static_cast<std::size_t>(got) > maxBytes) {
            SetError(error, "file too large: " + path.string());
            out.clear();
            return ReadStatus::TooLarge;
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
    return ReadStatus::Ok;
}

bool WriteFileAtomically(const fs::path& path, std::string_view data, std::string* error) {
    static std::atomic<unsigned> counter{0};
    const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const fs::path temp =
        dir / ("." + path.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
               std::to_string(counter.fetch_add(1)));
    mode_t mode = 0644;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) mode = existing.st_mode & 07777;

    if (const int injected = InjectedFault(path)) {
        errno = injected;
        SetError(error, Errno("cannot create", temp));
        return ReportFailure(path, injected);
    }
    Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        const int saved = errno;
        SetError(error, Errno("cannot create", temp));
        return ReportFailure(path, saved);
    }
    const bool ok =
        WriteAll(fd.get(), data) && ::fchmod(fd.get(), mode) == 0 && ::fsync(fd.get()) == 0;
    int saved = ok ? 0 : errno;
    const int closeResult = ::close(fd.release());
    if (ok && closeResult != 0) saved = errno;  // a full disk may only show at close
    if (!ok || closeResult != 0) {
        errno = saved;
        SetError(error, Errno("cannot write", temp));
        ::unlink(temp.c_str());
        return ReportFailure(path, saved);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        saved = errno;
        SetError(error, Errno("cannot replace", path));
        ::unlink(temp.c_str());
        return ReportFailure(path, saved);
    }
    // Make the rename itself durable.
    Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.get() >= 0) ::fsync(dirFd.get());
    return true;
}

fs::path MoveAside(const fs::path& path, std::string_view tag, std::string_view stamp) {
    const std::string base =
        path.filename().string() + "." + std::string(tag) + "-" + std::string(stamp);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        fs::path target =
            path.parent_path() / (attempt == 0 ? base : base + "-" + std::to_string(attempt));
        // link + unlink never replaces an existing file, unlike rename.
        if (::link(path.c_str(), target.c_str()) == 0) {
            ::unlink(path.c_str());
            return target;
        }
        if (errno == EPERM || errno == EOPNOTSUPP) {
            // No hard links on this file system: rename, after checking the name is free.
            std::error_code ec;
            if (!fs::exists(target, ec) && ::rename(path.c_str(), target.c_str()) == 0) {
                return target;
            }
            continue;
        }
        if (errno != EEXIST) break;
    }
    return {};
}

bool EnsureDirectory(const fs::path& dir, fs::perms perms, std::string* error) {
    std::error_code ec;
    if (fs::is_directory(dir, ec)) return true;
    if (dir.has_parent_path() && dir.parent_path() != dir &&
        !EnsureDirectory(dir.parent_path(), perms, error)) {
        return false;
    }
    if (::mkdir(dir.c_str(), static_cast<mode_t>(perms)) != 0 && errno != EEXIST) {
        SetError(error, Errno("cannot create folder", dir));
        return false;
    }
    return fs::is_directory(dir, ec);
}

namespace {

// Device names Windows reserves in every folder, with or without an extension.
bool IsReservedDeviceName(std::string_view name) {
    const std::string_view stem = name.substr(0, name.find('.'));
    std::string upper(stem);
    for (char& c : upper)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    static constexpr std::array<std::string_view, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
    for (std::string_view reserved : kPlain) {
        if (upper == reserved) return true;
    }
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
           upper[3] >= '0' && upper[3] <= '9';
}

}  // namespace

bool IsSafeIdentifier(std::string_view name) {
    if (name.empty() || name.size() > 200) return false;
    for (char c : name) {
        const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                        (c >= 'A' && c <= 'Z') || c == '_' || c == '{' || c == '}' || c == '-';
        if (!ok) return false;
    }
    return !IsReservedDeviceName(name);
}

}  // namespace q731
