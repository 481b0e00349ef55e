#pragma once
// One hidraw node as this process uses it: a single open file shared by every
// connection to any of the node's top-level collections, one reader that
// empties the kernel's ring as reports arrive and hands each to the queues of
// the connections whose collection owns its report id, and one writer that
// carries out writes the callers wait for with their own time-out.
//
// Why: the kernel gives every open file every report of the interface and
// keeps only 64 of them, dropping the newest. A connection that read the node
// itself would see mouse and key reports it must skip, and while nobody read,
// busy input would push a command's answer out of the ring. Here each
// connection has a queue of its own collection's reports only, as a Windows
// handle per collection has, and the ring is emptied as fast as it fills.
//
// Writes block in usbhid up to 5 s when the device does not take the report.
// A caller waits at most its time-out; a write that outlives it leaves the
// node "wedged": later writes fail at once, without queueing behind it, until
// the kernel gives the stuck one back.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "device_access/hid_backend.h"
#include "device_access/hidraw_system.h"
#include "device_access/report_descriptor.h"

namespace q731 {

// Reports kept per connection; the oldest goes when a reader falls behind.
inline constexpr std::size_t kHidrawQueueReports = 64;
// The longest report the kernel hands out (HID_MAX_BUFFER_SIZE).
inline constexpr std::size_t kHidrawMaxReportBytes = 16384;

// One connection's place at the node.
struct HidrawSubscriber {
    int collection = 0;
    std::deque<std::vector<uint8_t>> queue;  // guarded by the node's mutex
    std::atomic<bool> aborted{false};
};

class HidrawNode {
public:
    // `name` is the node's path, for the log.
    HidrawNode(std::shared_ptr<IHidrawFile> file, ParsedDescriptor parsed, std::string name);
    ~HidrawNode();
    HidrawNode(const HidrawNode&) = delete;
    HidrawNode& operator=(const HidrawNode&) = delete;

    // A queue for `collection`. With `readNow` the reader starts at once, so
    // nothing that arrives from now on is lost; otherwise at the first Read.
    std::shared_ptr<HidrawSubscriber> Subscribe(int collection, bool readNow);
    void Unsubscribe(const std::shared_ptr<HidrawSubscriber>& subscriber);

    // One report of the subscriber's collection, report id first. With a
    // time-out of 0 the node's file is emptied first, so "timed out" means
    // that no report of the collection is waiting anywhere.
    HidIoResult Read(HidrawSubscriber& subscriber, std::span<uint8_t> buffer, uint32_t timeoutMs);
    HidIoResult Write(HidrawSubscriber& subscriber, std::span<const uint8_t> report,
                      uint32_t timeoutMs);
    void Abort(HidrawSubscriber& subscriber);

private:
    struct Writer;

    void StartReader();
    void ReaderLoop();
    // Reads every report waiting in the file and routes it. Returns false
    // once the device is gone.
    bool Pump();
    void Route(std::span<const uint8_t> raw);
    void MarkDisconnected(std::string_view why);

    const std::shared_ptr<IHidrawFile> file_;
    const ParsedDescriptor parsed_;
    const std::string name_;

    // Guards the subscribers, their queues and the reader's start.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::shared_ptr<HidrawSubscriber>> subscribers_;
    std::atomic<bool> disconnected_{false};
    std::atomic<bool> stopping_{false};
    std::thread reader_;

    // One pump at a time, from the reader or from a zero-time-out Read.
    std::mutex pumpMutex_;
    std::vector<uint8_t> pumpBuffer_;

    std::shared_ptr<Writer> writer_;
};

}  // namespace q731
