#include "devices/device_listener.h"

#include <array>

#include "platform/log.h"

namespace q731 {

namespace {
constexpr std::uint16_t kConsumerPage = 0x0C;
// After a failed read (device gone, connection closed) the thread pauses
// rather than spinning until it is stopped or reopened.
constexpr Millis kFailurePause{100};
}  // namespace

std::optional<std::uint16_t> EventValueOf(const std::vector<HidData>& items,
                                          std::uint8_t reportId) {
    for (const HidData& item : items) {
        if (!item.isButton && item.isSet && (item.reportId & 0xFF) == reportId &&
            item.usagePage == kConsumerPage &&
            // The collection declares no physical range, so only the scaled
            // read fails; the raw value is good.
            (item.status == kHidStatusSuccess || item.status == kHidStatusBadLogPhyValues)) {
            return static_cast<std::uint16_t>(item.value);
        }
    }
    return std::nullopt;
}

DeviceListener::DeviceListener(HidDevice& wired, HidDevice& receiver, Handler handler,
                               std::string exitText)
    : handler_(std::move(handler)), exitText_(std::move(exitText)) {
    wired_.connection = &wired;
    receiver_.connection = &receiver;
}

DeviceListener::~DeviceListener() {
    CloseAll();
}

bool DeviceListener::Open(Channel channel, const std::string& path) {
    Slot& slot = SlotOf(channel);
    std::lock_guard lock(slot.mutex);
    StopLocked(slot);
    if (!slot.connection->Open(path, kOpenReadWrite)) return false;
    slot.open.store(true);
    slot.stop.store(false);
    slot.thread = std::thread([this, &slot, channel] { Run(slot, channel); });
    return true;
}

void DeviceListener::Close(Channel channel) {
    Slot& slot = SlotOf(channel);
    std::lock_guard lock(slot.mutex);
    StopLocked(slot);
}

void DeviceListener::CloseAll() {
    Close(Channel::Cable);
    Close(Channel::Receiver);
}

bool DeviceListener::IsOpen(Channel channel) const {
    return SlotOf(channel).open.load();
}

void DeviceListener::StopLocked(Slot& slot) {
    slot.stop.store(true);
    slot.pause.Poke();
    // Closing aborts a read in flight; the thread then sees its stop flag.
    slot.connection->Close();
    if (slot.thread.joinable()) slot.thread.join();
    slot.open.store(false);
}

void DeviceListener::Run(Slot& slot, Channel channel) {
    std::array<std::uint8_t, 64> report{};
    std::vector<HidData> items;
    while (!slot.stop.load()) {
        const HidIoResult read = slot.connection->ReadReport(report, kHidInfinite);
        if (slot.stop.load()) break;
        if (!read.Ok()) {
            slot.pause.WaitUntil(std::chrono::steady_clock::now() + kFailurePause);
            continue;
        }
        reports_.fetch_add(1);
        const std::span<const std::uint8_t> received(report.data(), read.bytes);
        if (received.empty() ||
            !slot.connection->DecodeInputReport(received, HidReportKind::Input, &items)) {
            continue;
        }
        if (const auto value = EventValueOf(items, received[0])) handler_(*value, channel);
    }
    LogInfo(exitText_);
}

}  // namespace q731
