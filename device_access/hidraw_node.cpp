#include "device_access/hidraw_node.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <fmt/format.h>

#include "platform/log.h"

namespace q731 {

namespace {

// Reads per pump before the reader looks at the world again; far more than the
// kernel's ring holds, so one pump normally empties it.
constexpr int kMaxReadsPerPump = 256;

bool GoneErrno(long error) {
    return error == ENODEV || error == ESHUTDOWN || error == EPIPE;
}

}  // namespace

// The writer's state outlives the node when a write is stuck in the kernel:
// the thread then finishes on its own, holding the file until the kernel
// gives the write back.
struct HidrawNode::Writer {
    explicit Writer(std::shared_ptr<IHidrawFile> target) : file(std::move(target)) {}

    static void Run(const std::shared_ptr<Writer>& self) {
        while (true) {
            std::vector<uint8_t> report;
            {
                std::unique_lock lock(self->mutex);
                self->changed.wait(lock, [&] { return self->hasJob || self->stop; });
                if (!self->hasJob) return;
                report = std::move(self->job);
                self->hasJob = false;
            }
            long written = 0;
            do {
                written = self->file->Write(report);
            } while (written == -EINTR);
            {
                std::lock_guard lock(self->mutex);
                self->result = written;
                ++self->done;
                self->busy = false;
                self->wedged = false;
            }
            self->changed.notify_all();
        }
    }

    std::shared_ptr<IHidrawFile> file;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<uint8_t> job;
    bool hasJob = false;
    bool busy = false;    // a job waits or is in the kernel
    bool wedged = false;  // and its caller gave up waiting for it
    bool stop = false;
    uint64_t submitted = 0;
    uint64_t done = 0;
    long result = 0;  // of the last job done
    std::thread thread;
};

HidrawNode::HidrawNode(std::shared_ptr<IHidrawFile> file, ParsedDescriptor parsed, std::string name)
    : file_(std::move(file)),
      parsed_(std::move(parsed)),
      name_(std::move(name)),
      pumpBuffer_(kHidrawMaxReportBytes),
      writer_(std::make_shared<Writer>(file_)) {}

HidrawNode::~HidrawNode() {
    stopping_.store(true);
    file_->Wake();
    if (reader_.joinable()) reader_.join();
    bool stuck = false;
    {
        std::lock_guard lock(writer_->mutex);
        writer_->stop = true;
        stuck = writer_->busy;
    }
    writer_->changed.notify_all();
    if (!writer_->thread.joinable()) return;
    // Closing must not wait for usbhid's time-out: a stuck write ends on its own.
    if (stuck) {
        writer_->thread.detach();
    } else {
        writer_->thread.join();
    }
}

std::shared_ptr<HidrawSubscriber> HidrawNode::Subscribe(int collection, bool readNow) {
    auto subscriber = std::make_shared<HidrawSubscriber>();
    subscriber->collection = collection;
    {
        std::lock_guard lock(mutex_);
        subscribers_.push_back(subscriber);
    }
    if (readNow) StartReader();
    return subscriber;
}

void HidrawNode::Unsubscribe(const std::shared_ptr<HidrawSubscriber>& subscriber) {
    std::lock_guard lock(mutex_);
    std::erase(subscribers_, subscriber);
}

void HidrawNode::StartReader() {
    std::lock_guard lock(mutex_);
    if (reader_.joinable() || stopping_.load()) return;
    reader_ = std::thread([this] { ReaderLoop(); });
}

void HidrawNode::ReaderLoop() {
    while (!stopping_.load()) {
        const int polled = file_->Poll(kRawWaitForever);
        if (polled == -EINTR) continue;  // a signal, not an unplug
        if (polled < 0) {
            MarkDisconnected(std::strerror(-polled));
            return;
        }
        if (stopping_.load()) return;
        if ((polled & (kRawPollReadable | kRawPollHangUp)) == 0) continue;
        // Reports still in the ring after an unplug are delivered first.
        if (!Pump()) return;
        if ((polled & kRawPollHangUp) != 0) {
            MarkDisconnected("hung up");
            return;
        }
    }
}

bool HidrawNode::Pump() {
    std::lock_guard lock(pumpMutex_);
    if (disconnected_.load()) return false;
    for (int reads = 0; reads < kMaxReadsPerPump; ++reads) {
        const long got = file_->Read(pumpBuffer_);
        if (got == -EINTR) continue;
        if (got == -EAGAIN || got == 0) return true;
        if (got < 0) {
            MarkDisconnected(std::strerror(static_cast<int>(-got)));
            return false;
        }
        Route(std::span<const uint8_t>(pumpBuffer_.data(), static_cast<std::size_t>(got)));
    }
    return true;
}

void HidrawNode::Route(std::span<const uint8_t> raw) {
    std::vector<uint8_t> report;
    int collection = -1;  // every collection
    if (!parsed_.usesReportIds) {
        // The kernel hands out unnumbered reports bare; ours carry id 0 first.
        report.reserve(raw.size() + 1);
        report.push_back(0);
        report.insert(report.end(), raw.begin(), raw.end());
    } else {
        for (std::size_t index = 0; index < parsed_.collections.size(); ++index) {
            if (parsed_.collections[index].OwnsReportId(raw[0])) {
                collection = static_cast<int>(index);
                break;
            }
        }
        if (collection < 0) return;  // a report id no collection owns
        report.assign(raw.begin(), raw.end());
    }
    std::lock_guard lock(mutex_);
    bool delivered = false;
    for (const auto& subscriber : subscribers_) {
        if (collection >= 0 && subscriber->collection != collection) continue;
        if (subscriber->queue.size() >= kHidrawQueueReports) subscriber->queue.pop_front();
        subscriber->queue.push_back(report);
        delivered = true;
    }
    if (delivered) changed_.notify_all();
}

void HidrawNode::MarkDisconnected(std::string_view why) {
    if (!disconnected_.exchange(true)) LogInfo(fmt::format("{}: device gone ({})", name_, why));
    std::lock_guard lock(mutex_);
    changed_.notify_all();
}

HidIoResult HidrawNode::Read(HidrawSubscriber& subscriber, std::span<uint8_t> buffer,
                             uint32_t timeoutMs) {
    if (buffer.empty()) return {HidIoStatus::Failed, 0};
    StartReader();
    if (timeoutMs == 0) (void)Pump();  // a gone device shows in the flag below
    const bool infinite = timeoutMs == kHidInfinite;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(infinite ? 0 : timeoutMs);
    std::unique_lock lock(mutex_);
    while (true) {
        if (subscriber.aborted.load()) return {HidIoStatus::Aborted, 0};
        if (disconnected_.load()) return {HidIoStatus::Disconnected, 0};
        if (!subscriber.queue.empty()) {
            const std::vector<uint8_t> report = std::move(subscriber.queue.front());
            subscriber.queue.pop_front();
            const std::size_t count = std::min(report.size(), buffer.size());
            std::copy_n(report.begin(), count, buffer.begin());
            return {HidIoStatus::Ok, count};
        }
        if (timeoutMs == 0) return {HidIoStatus::TimedOut, 0};
        if (infinite) {
            changed_.wait(lock);
        } else if (changed_.wait_until(lock, deadline) == std::cv_status::timeout &&
                   subscriber.queue.empty() && !subscriber.aborted.load() &&
                   !disconnected_.load()) {
            return {HidIoStatus::TimedOut, 0};
        }
    }
}

HidIoResult HidrawNode::Write(HidrawSubscriber& subscriber, std::span<const uint8_t> report,
                              uint32_t timeoutMs) {
    if (subscriber.aborted.load()) return {HidIoStatus::Aborted, 0};
    if (disconnected_.load()) return {HidIoStatus::Disconnected, 0};
    Writer& writer = *writer_;
    const bool infinite = timeoutMs == kHidInfinite;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(infinite ? 0 : timeoutMs);
    // Waits for `ready` within the caller's time-out; false when it did not come.
    const auto waitFor = [&](std::unique_lock<std::mutex>& lock, auto ready) {
        if (infinite) {
            writer.changed.wait(lock, ready);
            return true;
        }
        return writer.changed.wait_until(lock, deadline, ready);
    };
    std::unique_lock lock(writer.mutex);
    if (writer.wedged) return {HidIoStatus::Failed, 0};  // see the header
    // Another connection's write in flight: wait our turn, within our time-out.
    if (!waitFor(lock, [&] { return !writer.busy || subscriber.aborted.load(); }) ||
        subscriber.aborted.load()) {
        return {subscriber.aborted.load() ? HidIoStatus::Aborted : HidIoStatus::TimedOut, 0};
    }
    if (!writer.thread.joinable()) {
        writer.thread = std::thread([self = writer_] { Writer::Run(self); });
    }
    writer.job.assign(report.begin(), report.end());
    writer.hasJob = true;
    writer.busy = true;
    const uint64_t ticket = ++writer.submitted;
    writer.changed.notify_all();
    (void)waitFor(lock, [&] { return writer.done >= ticket || subscriber.aborted.load(); });
    if (writer.done < ticket) {
        if (subscriber.aborted.load()) return {HidIoStatus::Aborted, 0};
        writer.wedged = true;
        LogWarning(
            fmt::format("{}: a write did not end within {} ms; writes fail until the "
                        "device takes it",
                        name_, timeoutMs));
        return {HidIoStatus::TimedOut, 0};
    }
    const long written = writer.result;
    if (written == static_cast<long>(report.size())) {
        return {HidIoStatus::Ok, static_cast<std::size_t>(written)};
    }
    if (written < 0 && GoneErrno(-written)) return {HidIoStatus::Disconnected, 0};
    return {HidIoStatus::Failed, 0};
}

void HidrawNode::Abort(HidrawSubscriber& subscriber) {
    subscriber.aborted.store(true);
    {
        std::lock_guard lock(mutex_);
        changed_.notify_all();
    }
    std::lock_guard lock(writer_->mutex);
    writer_->changed.notify_all();
}

}  // namespace q731
