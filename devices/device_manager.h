#pragma once
// Device selection: one device object and one tab per product, opened on the
// channel it arrives on, switched between cable and receiver on the same
// object, shown and hidden as it comes, goes, or falls silent on its receiver,
// and kept in step by its timers on the UI loop. Everything here runs on the
// UI thread; the scan thread reaches it only through OnArrival / OnRemoval,
// which its scanner sends.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device_access/device_scanner.h"
#include "devices/usb_device.h"
#include "platform/ui_loop.h"

namespace q731 {

struct TabState {
    CVexloUSBDevice* device = nullptr;
    Product product = Product::Mouse;
    bool visible = false;
    bool selected = false;
    bool synchronised = false;
};

// What the window does with tabs. All calls come on the UI thread.
class ITabObserver {
public:
    virtual ~ITabObserver() = default;
    // A tab was created (hidden): build its button and battery panel.
    virtual void TabCreated(int tab) { (void)tab; }
    // Visibility, selection or synchronisation of some tab changed.
    virtual void TabsChanged() {}
    // A device arrived: bring the window to the front.
    virtual void RestoreAndRaise() {}
    // The selected tab is about to be hidden: close secondary windows.
    virtual void SelectedTabHiding() {}
};

class DeviceManager {
public:
    // Makes the device object of a product, named for its page; nothing when
    // the product is not supported.
    using DeviceFactory = std::function<std::unique_ptr<CVexloUSBDevice>(Product product)>;

    // Timer ids, owned by the device they serve.
    static constexpr int kTimerTick = 1000;
    static constexpr int kTimerConnect = 1001;
    static constexpr int kTimerPower = 1005;
    static constexpr int kTimerLinkCheck = 1007;
    static constexpr int kTimerSwitchProbe = 1008;
    static constexpr int kSwitchProbeTries = 26;

    DeviceManager(UiLoop& loop, std::shared_ptr<IHidBackend> backend, DeviceFactory factory);
    ~DeviceManager();
    DeviceManager(const DeviceManager&) = delete;
    DeviceManager& operator=(const DeviceManager&) = delete;

    void SetObserver(ITabObserver* observer) { observer_ = observer; }
    // Start-up: the mouse and keyboard tabs exist before any device is seen.
    void CreateStartupTabs();

    DeviceList& List() { return list_; }
    // The scan pass for worker slot 0; `firstPassDone` is posted once, and
    // `accessDenied` once per run when one of our nodes may not be opened.
    std::unique_ptr<DeviceScanner> MakeScanner(
        std::function<void()> firstPassDone,
        std::function<void(const std::string& node)> accessDenied = {});

    // Arrival and removal of device-list row `index` (UI thread).
    void OnArrival(int index);
    void OnRemoval(int index);

    // Tabs.
    const std::vector<TabState>& Tabs() const { return tabs_; }
    int TabOfProduct(Product product) const;
    int TabOfDevice(const CVexloUSBDevice* device) const;
    void ShowTab(int tab, bool visible, bool select);
    void HideTab(int tab);
    // Shows (selecting it when no other tab is visible) or hides a product's tab.
    void SetProductShown(Product product, bool shown);
    void SelectTab(int tab);
    void SelectPrevious();
    void SelectNext();
    int VisibleTabCount() const;
    int CurrentTab() const;
    CVexloUSBDevice* CurrentDevice() const;
    // Marks the tab and sets its device's flag together.
    void SetSynchronised(int tab, bool synchronised);
    // Every device object, in tab order (they are never removed).
    std::vector<CVexloUSBDevice*> Devices() const;

    // Stops every device's timers, listeners and links.
    void Shutdown();

private:
    int CreateTab(Product product);
    void Connect(int index);
    void SwitchChannel(int index, int partner);
    void StartDeviceTimers(CVexloUSBDevice& device, Millis connectDelay);
    void OnConnectTimer(CVexloUSBDevice& device);
    void OnLinkCheck(CVexloUSBDevice& device);
    void ProbeAfterSwitch(CVexloUSBDevice& device, int triesLeft);
    CVexloUSBDevice* DeviceOfEntry(const DeviceEntry& entry);
    void Changed();

    UiLoop& loop_;
    std::shared_ptr<IHidBackend> backend_;
    DeviceFactory factory_;
    ITabObserver* observer_ = nullptr;
    DeviceList list_;
    std::vector<std::unique_ptr<CVexloUSBDevice>> devices_;
    std::vector<TabState> tabs_;
};

}  // namespace q731
