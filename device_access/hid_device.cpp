#include "device_access/hid_device.h"

#include <fmt/format.h>

#include "device_access/device_path.h"

namespace q731 {

struct HidDevice::OpenState {
    std::unique_ptr<IHidConnection> connection;
    HidAttributes attributes;
    HidCollectionCaps caps;
    std::vector<uint8_t> descriptor;
    std::mutex decodeMutex;
    std::array<std::vector<HidData>, kHidReportKindCount> items;
};

// Counts a transfer or decode in flight for as long as it lives.
class HidDevice::TransferGuard {
public:
    explicit TransferGuard(HidDevice& device) : device_(device) {
        std::lock_guard lock(device_.mutex_);
        state_ = device_.open_;
        if (state_) ++device_.inFlight_;
    }
    ~TransferGuard() {
        if (!state_) return;
        state_.reset();
        std::lock_guard lock(device_.mutex_);
        if (--device_.inFlight_ == 0) device_.idle_.notify_all();
    }
    TransferGuard(const TransferGuard&) = delete;
    TransferGuard& operator=(const TransferGuard&) = delete;

    OpenState* State() const { return state_.get(); }

private:
    HidDevice& device_;
    std::shared_ptr<OpenState> state_;
};

HidDevice::HidDevice(std::shared_ptr<IHidBackend> backend) : backend_(std::move(backend)) {}

HidDevice::~HidDevice() {
    Close();
    FreePaths();
}

bool HidDevice::ListPaths() {
    FreePaths();
    auto paths = backend_->Enumerate();
    if (!paths) return false;
    paths_ = std::move(*paths);
    cursor_ = 0;
    return true;
}

std::optional<std::string> HidDevice::NextPath() {
    if (cursor_ >= paths_.size()) return std::nullopt;
    return paths_[cursor_++];
}

void HidDevice::FreePaths() {
    paths_.clear();
    cursor_ = 0;
}

bool HidDevice::Open(const std::string& path, const HidOpenParameters& parameters) {
    std::lock_guard openLock(openMutex_);
    CloseLocked();
    {
        std::lock_guard lock(mutex_);
        path_ = path;
        parameters_ = parameters;
        interfaceNumber_ = static_cast<int>(HexAfterMarker(path, "&mi_"));
        collectionNumber_ = static_cast<int>(HexAfterMarker(path, "&col"));
    }

    HidOpenResult opened = backend_->Open(path, parameters);
    HidOpenError error = opened.error;
    std::string message = std::move(opened.message);
    auto state = std::make_shared<OpenState>();
    if (opened.connection) {
        const HidConnectionInfo& info = opened.connection->Info();
        const ParsedDescriptor parsed = ParseReportDescriptor(info.reportDescriptor);
        const bool indexOk =
            info.collectionIndex >= 0 &&
            static_cast<std::size_t>(info.collectionIndex) < parsed.collections.size();
        if (!parsed.Ok() || !indexOk) {
            error = HidOpenError::BadDescriptor;
            message =
                fmt::format("{}: report descriptor unusable ({})", path,
                            parsed.Ok() ? "no such collection" : DescriptorErrorText(parsed.error));
        } else {
            error = HidOpenError::None;
            state->connection = std::move(opened.connection);
            state->attributes = {info.vendorId, info.productId, info.version};
            state->caps = parsed.collections[static_cast<std::size_t>(info.collectionIndex)];
            state->descriptor = info.reportDescriptor;
            for (int kind = 0; kind < kHidReportKindCount; ++kind) {
                state->items[kind] = MakeItems(state->caps, static_cast<HidReportKind>(kind));
            }
        }
    } else if (error == HidOpenError::None) {
        error = HidOpenError::Failed;
    }

    std::lock_guard lock(mutex_);
    lastOpenError_ = error;
    lastOpenMessage_ = std::move(message);
    if (error != HidOpenError::None) return false;
    open_ = std::move(state);
    return true;
}

void HidDevice::Close() {
    std::lock_guard openLock(openMutex_);
    CloseLocked();
}

void HidDevice::CloseLocked() {
    std::shared_ptr<OpenState> state;
    {
        std::lock_guard lock(mutex_);
        state = std::move(open_);
        open_.reset();
    }
    if (!state) return;
    // Wake every transfer of this open, then free only once none is left.
    state->connection->Abort();
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return inFlight_ == 0; });
    lock.unlock();
    state.reset();
}

bool HidDevice::IsOpen() const {
    std::lock_guard lock(mutex_);
    return open_ != nullptr;
}

HidIoResult HidDevice::ReadReport(std::span<uint8_t> buffer, uint32_t timeoutMs) {
    TransferGuard guard(*this);
    if (guard.State() == nullptr || buffer.empty()) return {HidIoStatus::Failed, 0};
    return guard.State()->connection->Read(buffer, timeoutMs);
}

HidIoResult HidDevice::WriteReport(std::span<const uint8_t> report, uint32_t timeoutMs) {
    TransferGuard guard(*this);
    if (guard.State() == nullptr || report.empty()) return {HidIoStatus::Failed, 0};
    return guard.State()->connection->Write(report, timeoutMs);
}

bool HidDevice::Read(uint8_t* buffer, std::size_t count, std::size_t* outCount,
                     uint32_t timeoutMs) {
    if (outCount != nullptr) *outCount = 0;
    if (buffer == nullptr) return false;
    const HidIoResult result = ReadReport({buffer, count}, timeoutMs);
    if (outCount != nullptr && result.Ok()) *outCount = result.bytes;
    return result.Ok();
}

bool HidDevice::Write(const uint8_t* buffer, std::size_t count, std::size_t* outCount,
                      uint32_t timeoutMs) {
    if (outCount != nullptr) *outCount = 0;
    if (buffer == nullptr) return false;
    const HidIoResult result = WriteReport({buffer, count}, timeoutMs);
    if (outCount != nullptr && result.Ok()) *outCount = result.bytes;
    return result.Ok();
}

bool HidDevice::DecodeInputReport(std::span<const uint8_t> report, HidReportKind kind,
                                  std::vector<HidData>* itemsOut) {
    TransferGuard guard(*this);
    OpenState* state = guard.State();
    if (state == nullptr) return false;
    std::lock_guard lock(state->decodeMutex);
    auto& items = state->items[static_cast<int>(kind)];
    const bool ok = DecodeReport(report, kind, items, state->caps);
    if (itemsOut != nullptr) *itemsOut = items;
    return ok;
}

HidAttributes HidDevice::Attributes() const {
    std::lock_guard lock(mutex_);
    return open_ ? open_->attributes : HidAttributes{};
}

HidCaps HidDevice::Caps() const {
    std::lock_guard lock(mutex_);
    if (!open_) return {};
    const HidCollectionCaps& caps = open_->caps;
    return {caps.usagePage, caps.usage, caps.Of(HidReportKind::Input).reportByteLength,
            caps.Of(HidReportKind::Output).reportByteLength,
            caps.Of(HidReportKind::Feature).reportByteLength};
}

HidCollectionCaps HidDevice::CollectionCaps() const {
    std::lock_guard lock(mutex_);
    return open_ ? open_->caps : HidCollectionCaps{};
}

std::vector<uint8_t> HidDevice::ReportDescriptor() const {
    std::lock_guard lock(mutex_);
    return open_ ? open_->descriptor : std::vector<uint8_t>{};
}

std::string HidDevice::OpenPath() const {
    std::lock_guard lock(mutex_);
    return path_;
}

HidOpenParameters HidDevice::Parameters() const {
    std::lock_guard lock(mutex_);
    return parameters_;
}

int HidDevice::InterfaceNumber() const {
    std::lock_guard lock(mutex_);
    return interfaceNumber_;
}

int HidDevice::CollectionNumber() const {
    std::lock_guard lock(mutex_);
    return collectionNumber_;
}

HidOpenError HidDevice::LastOpenError() const {
    std::lock_guard lock(mutex_);
    return lastOpenError_;
}

std::string HidDevice::LastOpenMessage() const {
    std::lock_guard lock(mutex_);
    return lastOpenMessage_;
}

}  // namespace q731
