#pragma once
// The listener threads of a mouse or keyboard: one per input interface (cable
// and receiver). Each blocks in a read with no time-out and hands every 16-bit
// event value the device sends to the device's handler. Closing a listener
// aborts its read, so a close never waits on a device that stays silent.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device_access/hid_device.h"
#include "platform/clock.h"
#include "platform/products.h"

namespace q731 {

// Event values a device sends on its event interface.
namespace device_event {
inline constexpr std::uint16_t kResyncRequest = 0x0401;
inline constexpr std::uint16_t kKeyboardProfileChanged = 0x0402;
inline constexpr std::uint16_t kMouseButton = 0x0403;
inline constexpr std::uint16_t kProfileHigh = 0x10;       // 0x10pp: profile p
inline constexpr std::uint16_t kProfileStageHigh = 0x11;  // 0x11sp: profile p, DPI stage s
}  // namespace device_event

// The 16-bit event value of an input report of the event collection: the first
// consumer-page value item that report `reportId` carries. Nothing for any
// other report (items of other reports keep what they last decoded).
std::optional<std::uint16_t> EventValueOf(const std::vector<HidData>& items, std::uint8_t reportId);

class DeviceListener {
public:
    // Runs on the listener thread: touch only atomics and post to the UI thread.
    using Handler = std::function<void(std::uint16_t value, Channel channel)>;

    DeviceListener(HidDevice& wired, HidDevice& receiver, Handler handler, std::string exitText);
    ~DeviceListener();
    DeviceListener(const DeviceListener&) = delete;
    DeviceListener& operator=(const DeviceListener&) = delete;

    // (Re)opens the event interface of `channel` on `path` and runs its
    // thread. Opening a channel that is already open stops and reopens it.
    [[nodiscard]] bool Open(Channel channel, const std::string& path);
    // Stops the thread and closes the connection; nothing when not open.
    void Close(Channel channel);
    void CloseAll();
    bool IsOpen(Channel channel) const;

    // The line written when a listener thread ends (devices word it their own way).
    void SetExitText(std::string text) { exitText_ = std::move(text); }

    // Reports read so far (both channels), for tests and diagnostics.
    std::uint64_t ReportsRead() const { return reports_.load(); }

private:
    struct Slot {
        HidDevice* connection = nullptr;
        std::mutex mutex;  // guards open/close of this slot
        std::thread thread;
        std::atomic<bool> stop{false};
        std::atomic<bool> open{false};
        Waker pause;
    };

    Slot& SlotOf(Channel channel) { return channel == Channel::Cable ? wired_ : receiver_; }
    const Slot& SlotOf(Channel channel) const {
        return channel == Channel::Cable ? wired_ : receiver_;
    }
    void StopLocked(Slot& slot);
    void Run(Slot& slot, Channel channel);

    Handler handler_;
    std::string exitText_;
    Slot wired_;
    Slot receiver_;
    std::atomic<std::uint64_t> reports_{0};
};

}  // namespace q731
