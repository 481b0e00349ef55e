#include "devices/device_manager.h"

#include <fmt/format.h>

#include "platform/log.h"

namespace q731 {

namespace {

// Mice and keyboards come by cable or through their receiver; a receiver's
// rows point at the cable's as their partner.
bool HasTwoWays(const DeviceEntry& entry) {
    const std::optional<ProductOnChannel> decoded = DecodeType(entry.deviceType);
    return decoded && RecordOf(decoded->product).HasReceiver();
}

// The channel a row's interface is reached on; a row of no product counts as
// a cable's.
Channel ChannelOfRow(const DeviceEntry& entry) {
    const std::optional<ProductOnChannel> decoded = DecodeType(entry.deviceType);
    return decoded ? decoded->channel : Channel::Cable;
}

}  // namespace

DeviceManager::DeviceManager(UiLoop& loop, std::shared_ptr<IHidBackend> backend,
                             DeviceFactory factory)
    : loop_(loop), backend_(std::move(backend)), factory_(std::move(factory)) {}

DeviceManager::~DeviceManager() {
    Shutdown();
}

void DeviceManager::CreateStartupTabs() {
    CreateTab(Product::Mouse);
    CreateTab(Product::Keyboard);
}

std::unique_ptr<DeviceScanner> DeviceManager::MakeScanner(
    std::function<void()> firstPassDone, std::function<void(const std::string&)> accessDenied) {
    return std::make_unique<DeviceScanner>(
        backend_, list_, loop_,
        DeviceScanner::Handlers{[this](int index) { OnArrival(index); },
                                [this](int index) { OnRemoval(index); }, std::move(firstPassDone),
                                std::move(accessDenied)});
}

int DeviceManager::CreateTab(Product product) {
    if (const int existing = TabOfProduct(product); existing >= 0) return existing;
    std::unique_ptr<CVexloUSBDevice> device = factory_ ? factory_(product) : nullptr;
    if (!device) return -1;
    const ProductRecord& record = RecordOf(product);
    // A device's identity is its cable's command interface.
    const int tableRow = CommandRow(product, Channel::Cable);
    device->AttachLoop(&loop_);
    device->SetKeyCount(record.keyCount);
    device->SetLedCount(record.ledCount);
    device->SetHasBattery(record.hasBattery);
    if (tableRow >= 0) {
        device->SetIdentity(
            DeviceEntry::FromRow(kSupportedDevices[static_cast<std::size_t>(tableRow)]));
    }
    device->SetProfileMode(record.profileMode);
    // A device whose profiles cannot be read or made still gets its tab and
    // runs on what it has; the profile code has said why.
    if (!device->Folders().deviceFolder.empty()) (void)device->StartProfiles();
    device->Initialise();

    // The tab's mark follows the device's flag, whoever changes it.
    device->SetSyncObserver([this, product](bool on) {
        const int own = TabOfProduct(product);
        if (own < 0) return;
        tabs_[static_cast<std::size_t>(own)].synchronised = on;
        Changed();
    });
    tabs_.push_back({device.get(), product, false, false, false});
    devices_.push_back(std::move(device));
    const int tab = static_cast<int>(tabs_.size()) - 1;
    if (observer_) observer_->TabCreated(tab);
    return tab;
}

int DeviceManager::TabOfProduct(Product product) const {
    for (std::size_t tab = 0; tab < tabs_.size(); ++tab) {
        if (tabs_[tab].product == product) return static_cast<int>(tab);
    }
    return -1;
}

int DeviceManager::TabOfDevice(const CVexloUSBDevice* device) const {
    for (std::size_t tab = 0; tab < tabs_.size(); ++tab) {
        if (tabs_[tab].device == device) return static_cast<int>(tab);
    }
    return -1;
}

CVexloUSBDevice* DeviceManager::DeviceOfEntry(const DeviceEntry& entry) {
    const std::optional<ProductOnChannel> decoded = DecodeType(entry.deviceType);
    const int tab = decoded ? TabOfProduct(decoded->product) : -1;
    return tab < 0 ? nullptr : tabs_[static_cast<std::size_t>(tab)].device;
}

void DeviceManager::OnArrival(int index) {
    const std::optional<DeviceEntry> entry = list_.Row(index);
    if (!entry || !entry->connected) return;
    const std::optional<ProductOnChannel> decoded = DecodeType(entry->deviceType);
    if (!decoded || CreateTab(decoded->product) < 0) return;
    if (entry->role == kRoleEvent) {
        if (CVexloUSBDevice* device = DeviceOfEntry(*entry)) {
            if (!device->OpenListener(decoded->channel, entry->path)) {
                LogWarning("cannot open the event interface " + entry->path);
            }
        }
    } else {
        Connect(index);
    }
    if (observer_) observer_->RestoreAndRaise();
}

void DeviceManager::Connect(int index) {
    const std::optional<DeviceEntry> entry = list_.Row(index);
    if (!entry) return;
    if (HasTwoWays(*entry) && entry->paired) {
        const std::optional<DeviceEntry> partner = list_.Row(entry->partner);
        if (partner && partner->connected && !partner->path.empty() && partner->partner == index) {
            // Already reached the other way: a cable takes over, a receiver waits.
            if (ChannelOfRow(*entry) == Channel::Cable) SwitchChannel(index, entry->partner);
            return;
        }
    }
    CVexloUSBDevice* device = DeviceOfEntry(*entry);
    if (!device || device->Link().IsOpen()) return;
    const Channel channel = ChannelOfRow(*entry);
    const bool receiver = channel == Channel::Receiver;
    if (!device->Link().OpenChannel(channel, entry->path)) {
        LogWarning(
            "cannot open " + entry->path + ": " +
            (receiver ? device->Link().ReceiverConnection() : device->Link().WiredConnection())
                .LastOpenMessage());
        return;
    }
    const int tab = TabOfDevice(device);
    // A device on its receiver shows its tab only once it answers.
    if (!receiver) ShowTab(tab, true, VisibleTabCount() == 0);
    StartDeviceTimers(*device, Millis(500));
}

void DeviceManager::StartDeviceTimers(CVexloUSBDevice& device, Millis connectDelay) {
    loop_.SetOneShotTimer(&device, kTimerConnect, connectDelay,
                          [this, &device] { OnConnectTimer(device); });
}

void DeviceManager::OnConnectTimer(CVexloUSBDevice& device) {
    const Product product = tabs_[static_cast<std::size_t>(TabOfDevice(&device))].product;
    if (device.OnReceiver() && device.Link().IsOpen() && !device.CheckLink()) {
        SetProductShown(product, false);
        StartDeviceTimers(device, Millis(3000));
        return;
    }
    if (device.OnReceiver()) SetProductShown(product, true);
    if (device.Connect() != LinkResult::Ok && device.Link().IsOpen()) {
        // One failed read must not leave the device half set up for the run.
        LogWarning("connect failed; trying again in 3 s");
        StartDeviceTimers(device, Millis(3000));
        return;
    }
    CVexloUSBDevice* target = &device;
    auto tick = [this, target] {
        if (!target->Link().IsOpen()) {
            loop_.KillTimer(target, kTimerTick);
            return;
        }
        target->LightTick();
    };
    loop_.SetOneShotTimer(target, kTimerTick, Millis(5), [this, target, tick] {
        tick();
        loop_.SetTimer(target, kTimerTick, Millis(50), tick);
    });
    if (device.PollsPower() && device.Link().IsOpen()) {
        // A read that fails shows nothing new; the next one asks again.
        auto power = [target] { (void)target->ReadPower(); };
        loop_.SetOneShotTimer(target, kTimerPower, Millis(50), [this, target, power] {
            power();
            loop_.SetTimer(target, kTimerPower, Millis(5000), power);
        });
    }
    if (device.OnReceiver()) {
        loop_.SetOneShotTimer(target, kTimerLinkCheck, Millis(2000), [this, target] {
            OnLinkCheck(*target);
            loop_.SetTimer(target, kTimerLinkCheck, Millis(3000),
                           [this, target] { OnLinkCheck(*target); });
        });
    }
}

void DeviceManager::OnLinkCheck(CVexloUSBDevice& device) {
    if (!device.OnReceiver() || !device.Link().IsOpen()) {
        loop_.KillTimer(&device, kTimerLinkCheck);
        return;
    }
    const TabState& tab = tabs_[static_cast<std::size_t>(TabOfDevice(&device))];
    const bool up = device.CheckLink();
    if (up && !tab.visible) {
        SetProductShown(tab.product, true);
        if (device.HasBattery()) (void)device.ReadPower();  // the poll asks again
    } else if (!up && tab.visible) {
        SetProductShown(tab.product, false);
    }
}

void DeviceManager::SwitchChannel(int index, int partner) {
    const std::optional<DeviceEntry> entry = list_.Row(index);
    const std::optional<DeviceEntry> other = list_.Row(partner);
    if (!entry || !other) return;
    CVexloUSBDevice* device = DeviceOfEntry(*entry);
    if (!device) return;
    const bool toCable = device->OnReceiver();
    // The cable's entry is `index` when a cable arrives or leaves; the
    // receiver's is then the partner.
    const std::string& path = toCable ? entry->path : other->path;
    if (path.empty()) return;
    if (!device->Link().OpenChannel(toCable ? Channel::Cable : Channel::Receiver, path)) {
        // The device stays on the channel it had, with its timers running.
        LogWarning("channel switch: cannot open " + path);
        return;
    }
    loop_.KillTimers(device);
    // The cable left: its connection is dead, close it.
    if (!toCable) device->Link().WiredConnection().Close();
    const Product product = tabs_[static_cast<std::size_t>(TabOfDevice(device))].product;
    if (toCable) {
        StartDeviceTimers(*device, Millis(500));
        SetProductShown(product, true);
        if (device->HasBattery()) (void)device->ReadPower();  // the poll asks again
        return;
    }
    if (device->HasBattery()) {
        ProbeAfterSwitch(*device, kSwitchProbeTries);
    } else {
        CVexloUSBDevice* target = device;
        loop_.SetOneShotTimer(target, kTimerLinkCheck, Millis(2000), [this, target] {
            OnLinkCheck(*target);
            loop_.SetTimer(target, kTimerLinkCheck, Millis(3000),
                           [this, target] { OnLinkCheck(*target); });
        });
    }
}

void DeviceManager::ProbeAfterSwitch(CVexloUSBDevice& device, int triesLeft) {
    // Asked from a timer, one try per tick, so the window stays responsive
    // while the receiver finds its device again.
    bool up = false;
    const LinkResult result = device.Link().QueryLinkDetailed(up);
    const bool timedOut = result == LinkResult::Failed;
    if (!up && !timedOut && triesLeft > 1) {
        loop_.SetOneShotTimer(&device, kTimerSwitchProbe, Millis(50), [this, &device, triesLeft] {
            ProbeAfterSwitch(device, triesLeft - 1);
        });
        return;
    }
    if (!timedOut) (void)device.ReadPower();  // the poll asks again
    CVexloUSBDevice* target = &device;
    loop_.SetOneShotTimer(target, kTimerLinkCheck, Millis(2000), [this, target] {
        OnLinkCheck(*target);
        loop_.SetTimer(target, kTimerLinkCheck, Millis(3000),
                       [this, target] { OnLinkCheck(*target); });
    });
}

void DeviceManager::OnRemoval(int index) {
    const std::optional<DeviceEntry> entry = list_.Row(index);
    if (!entry) return;
    CVexloUSBDevice* device = DeviceOfEntry(*entry);
    if (!device) return;
    if (entry->role == kRoleEvent) {
        device->CloseListener(ChannelOfRow(*entry));
        return;
    }
    if (HasTwoWays(*entry) && entry->paired) {
        const std::optional<DeviceEntry> partner = list_.Row(entry->partner);
        if (partner && partner->connected) {
            // The cable left while the receiver stays: back to the receiver.
            // The receiver left while the cable stays: only its connection goes.
            if (ChannelOfRow(*entry) == Channel::Cable) {
                SwitchChannel(index, entry->partner);
            } else if (!device->OnReceiver()) {
                device->Link().ReceiverConnection().Close();
            }
            return;
        }
    }
    loop_.KillTimers(device);
    device->Link().Close();
    HideTab(TabOfDevice(device));
}

void DeviceManager::ShowTab(int tab, bool visible, bool select) {
    if (tab < 0 || tab >= static_cast<int>(tabs_.size())) return;
    TabState& state = tabs_[static_cast<std::size_t>(tab)];
    state.visible = visible;
    if (select) {
        for (TabState& other : tabs_)
            other.selected = false;
    }
    state.selected = select;
    int synchronised = 0;
    for (const TabState& other : tabs_)
        synchronised += other.visible && other.synchronised;
    if (synchronised < 2) {
        // Fewer than two devices take part: synchronisation ends for all.
        for (TabState& other : tabs_) {
            other.synchronised = false;
            if (other.device) other.device->Link().SetSyncFlag(false);
        }
    }
    Changed();
}

void DeviceManager::HideTab(int tab) {
    if (tab < 0 || tab >= static_cast<int>(tabs_.size())) return;
    const TabState& state = tabs_[static_cast<std::size_t>(tab)];
    int next = -1;
    if (state.visible && state.selected) {
        if (observer_) observer_->SelectedTabHiding();
        for (std::size_t other = 0; other < tabs_.size(); ++other) {
            if (static_cast<int>(other) != tab && tabs_[other].visible) {
                next = static_cast<int>(other);
                break;
            }
        }
    }
    ShowTab(tab, false, false);
    if (next >= 0) ShowTab(next, true, true);
}

void DeviceManager::SetProductShown(Product product, bool shown) {
    const int tab = TabOfProduct(product);
    if (tab < 0) return;
    if (!shown) {
        HideTab(tab);
    } else if (!tabs_[static_cast<std::size_t>(tab)].visible) {
        ShowTab(tab, true, VisibleTabCount() == 0);
    }
}

void DeviceManager::SelectTab(int tab) {
    if (tab < 0 || tab >= static_cast<int>(tabs_.size()) ||
        !tabs_[static_cast<std::size_t>(tab)].visible) {
        return;
    }
    ShowTab(tab, true, true);
}

void DeviceManager::SelectPrevious() {
    const int current = CurrentTab();
    if (current < 0) return;
    for (int tab = current - 1; tab >= 0; --tab) {
        if (tabs_[static_cast<std::size_t>(tab)].visible) return SelectTab(tab);
    }
}

void DeviceManager::SelectNext() {
    const int current = CurrentTab();
    if (current < 0) return;
    for (int tab = current + 1; tab < static_cast<int>(tabs_.size()); ++tab) {
        if (tabs_[static_cast<std::size_t>(tab)].visible) return SelectTab(tab);
    }
}

int DeviceManager::VisibleTabCount() const {
    int count = 0;
    for (const TabState& tab : tabs_)
        count += tab.visible;
    return count;
}

int DeviceManager::CurrentTab() const {
    for (std::size_t tab = 0; tab < tabs_.size(); ++tab) {
        if (tabs_[tab].visible && tabs_[tab].selected) return static_cast<int>(tab);
    }
    return -1;
}

CVexloUSBDevice* DeviceManager::CurrentDevice() const {
    const int tab = CurrentTab();
    return tab < 0 ? nullptr : tabs_[static_cast<std::size_t>(tab)].device;
}

void DeviceManager::SetSynchronised(int tab, bool synchronised) {
    if (tab < 0 || tab >= static_cast<int>(tabs_.size())) return;
    TabState& state = tabs_[static_cast<std::size_t>(tab)];
    state.synchronised = synchronised;
    if (state.device) state.device->Link().SetSyncFlag(synchronised);
    Changed();
}

void DeviceManager::Changed() {
    if (observer_) observer_->TabsChanged();
}

std::vector<CVexloUSBDevice*> DeviceManager::Devices() const {
    std::vector<CVexloUSBDevice*> devices;
    for (const TabState& tab : tabs_)
        devices.push_back(tab.device);
    return devices;
}

void DeviceManager::Shutdown() {
    for (auto& device : devices_) {
        loop_.KillTimers(device.get());
        device->CloseDevice();
    }
}

}  // namespace q731
