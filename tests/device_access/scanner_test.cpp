#include "device_access/device_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>

#include "platform/log.h"
#include "sim/hid_backends.h"
#include "sim/sim_bus.h"
#include "sim/sim_products.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

// The test thread is the UI thread: sends from RunPass run inline.
struct ScannerTest : ::testing::Test {
    std::shared_ptr<SimBus> bus = std::make_shared<SimBus>();
    DeviceList list;
    ManualClock clock;
    UiLoop loop{clock};
    std::vector<std::pair<char, int>> events;  // ('+', index) arrival, ('-', index) removal
    int wakes = 0;
    DeviceScanner scanner{bus,
                          list,
                          loop,
                          {[this](int index) {
                               events.push_back({'+', index});
                           },
                           [this](int index) {
                               events.push_back({'-', index});
                           },
                           [this] { ++wakes; },
                           {}}};

    // The events so far, in a stable order: the bus lists collections in its own order.
    std::vector<std::pair<char, int>> TakeEvents() {
        loop.ProcessPending();
        std::sort(events.begin(), events.end());
        return std::exchange(events, {});
    }
};

using Events = std::vector<std::pair<char, int>>;

TEST_F(ScannerTest, ReceiverMouseClaimsRowsSixAndSevenAndTheWindowIsWokenOnce) {
    bus->Plug(MouseReceiverProduct());
    scanner.RunPass();
    EXPECT_EQ(TakeEvents(), (Events{{'+', 6}, {'+', 7}}));
    EXPECT_EQ(wakes, 1);
    scanner.RunPass();
    EXPECT_TRUE(TakeEvents().empty());
    EXPECT_EQ(wakes, 1);
    const auto row = list.Row(6);
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->connected, 1);
    EXPECT_NE(row->path.find("pid_221d"), std::string::npos);
}

TEST_F(ScannerTest, EmptyBusStillWakesTheWindowAfterTheFirstPass) {
    scanner.RunPass();
    loop.ProcessPending();
    EXPECT_EQ(wakes, 1);
}

TEST_F(ScannerTest, UnplugReleasesRowsAndReplugClaimsThemAgain) {
    const int pad = bus->Plug(MousePadProduct());
    scanner.RunPass();
    EXPECT_EQ(TakeEvents(), (Events{{'+', 8}, {'+', 9}}));
    bus->Unplug(pad);
    scanner.RunPass();
    EXPECT_EQ(TakeEvents(), (Events{{'-', 8}, {'-', 9}}));
    EXPECT_EQ(list.Row(8)->connected, 0);
    EXPECT_TRUE(list.Row(8)->path.empty());
    bus->Plug(MousePadProduct());
    scanner.RunPass();
    EXPECT_EQ(TakeEvents(), (Events{{'+', 8}, {'+', 9}}));
}

TEST_F(ScannerTest, DecoysAndASecondUnitAreNotClaimed) {
    PlugFullFamily(*bus);  // every product, decoys and a second receiver mouse
    scanner.RunPass();
    const Events arrived = TakeEvents();
    EXPECT_EQ(arrived.size(), 11u) << "one arrival per row, no more";
    EXPECT_TRUE(list.AllClaimed());
    scanner.RunPass();
    EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(ScannerTest, SecondUnitTakesTheRowWhenTheFirstLeaves) {
    const int first = bus->Plug(MousePadProduct());
    scanner.RunPass();
    TakeEvents();
    const int second = bus->Plug(MousePadProduct());
    scanner.RunPass();
    EXPECT_TRUE(TakeEvents().empty());
    bus->Unplug(first);
    scanner.RunPass();  // removal of the first
    EXPECT_EQ(TakeEvents(), (Events{{'-', 8}, {'-', 9}}));
    scanner.RunPass();  // the second is now claimable
    EXPECT_EQ(TakeEvents(), (Events{{'+', 8}, {'+', 9}}));
    const auto paths = bus->PathsOf(second);
    EXPECT_NE(std::find(paths.begin(), paths.end(), list.Row(8)->path), paths.end());
}

TEST_F(ScannerTest, AFailedListingIsRetriedOnTheNextPass) {
    bus->Plug(KeyboardWiredProduct());
    bus->FailEnumerations(1);
    LogCapture log;
    scanner.RunPass();
    EXPECT_TRUE(TakeEvents().empty());
    EXPECT_EQ(wakes, 1) << "the window must appear even when the first listing fails";
    EXPECT_TRUE(log.Contains("listing the HID interfaces failed"));
    scanner.RunPass();
    EXPECT_EQ(TakeEvents(), (Events{{'+', 0}, {'+', 1}}));
}

TEST_F(ScannerTest, IdlePassesDoNotListTheBus) {
    bus->Plug(MousePadProduct());
    scanner.RunPass();
    const int listings = scanner.Listings();
    for (int pass = 0; pass < 50; ++pass)
        scanner.RunPass();
    EXPECT_EQ(scanner.Listings(), listings) << "nothing changed, nothing listed";
    bus->Plug(HeadsetProduct());
    scanner.RunPass();
    EXPECT_EQ(scanner.Listings(), listings + 1);
    EXPECT_EQ(TakeEvents().back(), (std::pair<char, int>{'+', 10}));
}

TEST_F(ScannerTest, AnInterfaceThatCannotBeOpenedIsTriedAgain) {
    const int pad = bus->Plug(MousePadProduct());
    bus->SetOpenFault(pad, HidOpenError::AccessDenied);
    scanner.RunPass();
    EXPECT_TRUE(TakeEvents().empty());
    bus->SetOpenFault(pad, HidOpenError::None);
    scanner.RunPass();
    EXPECT_EQ(TakeEvents().size(), 2u);
}

TEST(ScannerAccess, ANodeWeMayNotOpenIsToldOnceAndListedWithBackOff) {
    // Without the udev rule, on the hidraw back end: the mouse pad's two
    // collections are one node, refused.
    auto bus = std::make_shared<SimBus>(SimBusMode::Hidraw);
    const int pad = bus->Plug(MousePadProduct());
    bus->SetOpenFault(pad, HidOpenError::AccessDenied);
    DeviceList list;
    ManualClock clock;
    UiLoop loop{clock};
    std::vector<std::string> told;
    int arrivals = 0;
    DeviceScanner scanner{bus,
                          list,
                          loop,
                          {[&](int) { ++arrivals; }, [](int) {}, [] {},
                           [&](const std::string& node) { told.push_back(node); }}};
    LogCapture log;
    const auto tenSeconds = 10s / DeviceScanner::kPeriod;
    for (int pass = 0; pass < tenSeconds; ++pass) {
        scanner.RunPass();
        loop.ProcessPending();
    }
    EXPECT_EQ(told, (std::vector<std::string>{"/dev/hidraw1"}));
    EXPECT_EQ(log.Count("Permission denied"), 1u);
    EXPECT_LE(scanner.Listings(), 10) << "not ten times a second";
    // Once the rule is in place the pad is found within the longest back-off.
    bus->SetOpenFault(pad, HidOpenError::None);
    for (int pass = 0; pass < DeviceScanner::kMaxRetryPasses; ++pass)
        scanner.RunPass();
    loop.ProcessPending();
    EXPECT_EQ(arrivals, 2);
    EXPECT_EQ(told.size(), 1u);
}

TEST(ScannerThread, ShutdownWhileTheScanThreadIsBlockedInASendEndsPromptly) {
    auto bus = std::make_shared<SimBus>();
    bus->Plug(KeyboardWiredProduct());
    DeviceList list;
    UiLoop loop;  // never processed: the UI thread is busy shutting down
    std::promise<void> blocked;
    std::atomic<bool> once{false};
    loop.SetWakeHook([&] {
        if (!once.exchange(true)) blocked.set_value();
    });
    DeviceScanner scanner(bus, list, loop, {[](int) {}, [](int) {}, [] {}, {}});
    WorkerSlots slots;
    ASSERT_TRUE(slots.Start(WorkerSlots::kDeviceScanSlot, "scan", [&](const WorkerArgs& args) {
        scanner.Run(args, SteadyClock::Instance());
    }));
    ASSERT_EQ(blocked.get_future().wait_for(5s), std::future_status::ready);
    const auto before = std::chrono::steady_clock::now();
    loop.BeginShutdown();
    const auto report = slots.StopAll();
    EXPECT_EQ(report.stopped, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
}

}  // namespace
}  // namespace q731
