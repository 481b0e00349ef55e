#include "device_access/hid_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "device_access/device_table.h"
#include "sim/sim_bus.h"
#include "sim/sim_products.h"
#include "tests/support/sim_helpers.h"

namespace q731 {
namespace {

using Bytes = std::vector<uint8_t>;

class HidDeviceTest : public ::testing::Test {
protected:
    std::string PathOf(int unit, int collection) {
        return testing::CollectionPath(*bus_, unit, collection);
    }
    // Lets a reader thread reach its blocking wait, so a close usually meets a
    // waiting reader; the assertions hold whichever comes first.
    static void WaitBriefly() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

    std::shared_ptr<SimBus> bus_ = std::make_shared<SimBus>();
};

TEST_F(HidDeviceTest, OpenReadsAttributesCapsAndPathNumbers) {
    const int unit = bus_->Plug(MouseReceiverProduct());
    HidDevice device(bus_);
    ASSERT_TRUE(device.Open(PathOf(unit, 4), kOpenReadWrite));
    EXPECT_EQ(device.Attributes().vendorId, kVendorMain);
    EXPECT_EQ(device.Attributes().productId, kProductMouseReceiver);
    EXPECT_EQ(device.Caps().usagePage, kCommandUsagePage);
    EXPECT_EQ(device.Caps().usage, kCommandUsage);
    EXPECT_EQ(device.Caps().inputReportByteLength, 64);
    EXPECT_EQ(device.Caps().outputReportByteLength, 64);
    EXPECT_EQ(device.InterfaceNumber(), 1);
    EXPECT_EQ(device.CollectionNumber(), 4);
    device.Close();
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.Caps().inputReportByteLength, 0);
    EXPECT_EQ(device.OpenPath(), PathOf(unit, 4));  // the path stays after a close
}

TEST_F(HidDeviceTest, ListingKeepsEveryPathBeyondEight) {
    for (int i = 0; i < 3; ++i)
        bus_->Plug(KeyboardWiredProduct());
    HidDevice device(bus_);
    ASSERT_TRUE(device.ListPaths());
    EXPECT_EQ(device.PathCount(), 15u);
    int count = 0;
    while (device.NextPath())
        ++count;
    EXPECT_EQ(count, 15);
    EXPECT_FALSE(device.NextPath().has_value());
    device.FreePaths();
    EXPECT_FALSE(device.NextPath().has_value());
}

TEST_F(HidDeviceTest, FailedEnumerationReportsFailure) {
    bus_->Plug(MousePadProduct());
    bus_->FailEnumerations(1);
    HidDevice device(bus_);
    EXPECT_FALSE(device.ListPaths());
    EXPECT_EQ(device.PathCount(), 0u);
    EXPECT_TRUE(device.ListPaths());
}

TEST_F(HidDeviceTest, ReadWithTimeoutZeroOnIdleDeviceFailsAtOnce) {
    const int unit = bus_->Plug(MousePadProduct());
    HidDevice device(bus_);
    ASSERT_TRUE(device.Open(PathOf(unit, 4), kOpenReadWrite));
    uint8_t buffer[64];
    std::size_t count = 99;
    EXPECT_FALSE(device.Read(buffer, sizeof buffer, &count, 0));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(device.ReadReport(buffer, 0).status, HidIoStatus::TimedOut);
    // Nothing was left pending: the next report is read normally.
    const Bytes report(64, kSimCommandReportId);
    bus_->SendInput(unit, kSimCommandInterface, report);
    EXPECT_TRUE(device.Read(buffer, sizeof buffer, &count, 0));
    EXPECT_EQ(count, 64u);
}

TEST_F(HidDeviceTest, ReportsGoToTheCollectionThatOwnsTheirId) {
    const int unit = bus_->Plug(MouseWiredProduct());
    HidDevice events(bus_);
    HidDevice commands(bus_);
    HidDevice commands2(bus_);
    ASSERT_TRUE(events.Open(PathOf(unit, 3), kOpenReadOnly));
    ASSERT_TRUE(commands.Open(PathOf(unit, 4), kOpenReadWrite));
    ASSERT_TRUE(commands2.Open(PathOf(unit, 4), kOpenReadWrite));
    bus_->SendInput(unit, kSimCommandInterface, Bytes{kSimEventReportId, 0x01, 0x04});
    bus_->SendInput(unit, kSimCommandInterface, Bytes(64, kSimCommandReportId));
    bus_->SendInput(unit, kSimCommandInterface, Bytes{9, 1, 2});  // nobody's id
    uint8_t buffer[64];
    std::size_t count = 0;
    ASSERT_TRUE(events.Read(buffer, sizeof buffer, &count, 0));
    EXPECT_EQ(buffer[0], kSimEventReportId);
    EXPECT_FALSE(events.Read(buffer, sizeof buffer, &count, 0));
    // Every open connection of the owning collection has its own queue.
    for (HidDevice* device : {&commands, &commands2}) {
        ASSERT_TRUE(device->Read(buffer, sizeof buffer, &count, 0));
        EXPECT_EQ(buffer[0], kSimCommandReportId);
        EXPECT_FALSE(device->Read(buffer, sizeof buffer, &count, 0));
    }
}

TEST_F(HidDeviceTest, CloseFromAnotherThreadEndsAReadWithNoTimeout) {
    const int unit = bus_->Plug(KeyboardWiredProduct());
    HidDevice device(bus_);
    ASSERT_TRUE(device.Open(PathOf(unit, 3), kOpenReadWrite));
    std::atomic<int> finished{0};
    std::atomic<bool> result{true};
    std::thread reader([&] {
        uint8_t buffer[8];
        std::size_t count = 0;
        result = device.Read(buffer, sizeof buffer, &count, kHidInfinite);
        // Decoding after the close must fail cleanly, never touch freed items.
        const Bytes report{kSimEventReportId, 1, 4};
        std::vector<HidData> items;
        if (device.DecodeInputReport(report, HidReportKind::Input, &items)) result = true;
        finished = 1;
    });
    WaitBriefly();
    EXPECT_EQ(finished.load(), 0);
    device.Close();
    reader.join();
    EXPECT_FALSE(result.load());
    EXPECT_EQ(bus_->OpenConnections(unit), 0);
}

TEST_F(HidDeviceTest, CloseWakesBothAReaderAndAWriterAndTheNextOpenIsClean) {
    const int unit = bus_->Plug(KeyboardWiredProduct());
    bus_->SetInputLost(unit, true);
    HidDevice device(bus_);
    ASSERT_TRUE(device.Open(PathOf(unit, 4), kOpenReadWrite));
    std::thread first([&] {
        uint8_t buffer[64];
        EXPECT_EQ(device.ReadReport(buffer, kHidInfinite).status, HidIoStatus::Aborted);
    });
    std::thread second([&] {
        uint8_t buffer[64];
        EXPECT_EQ(device.ReadReport(buffer, kHidInfinite).status, HidIoStatus::Aborted);
    });
    WaitBriefly();
    device.Close();
    first.join();
    second.join();
    // The abort belonged to that open: the reopened connection works.
    bus_->SetInputLost(unit, false);
    ASSERT_TRUE(device.Open(PathOf(unit, 4), kOpenReadWrite));
    bus_->SendInput(unit, kSimCommandInterface, Bytes(64, kSimCommandReportId));
    uint8_t buffer[64];
    EXPECT_TRUE(device.ReadReport(buffer, 1000).Ok());
    EXPECT_TRUE(device.WriteReport(Bytes(64, kSimCommandReportId), 1000).Ok());
}

TEST_F(HidDeviceTest, UnplugWakesABlockedReaderAsDisconnected) {
    const int unit = bus_->Plug(MouseReceiverProduct());
    HidDevice device(bus_);
    ASSERT_TRUE(device.Open(PathOf(unit, 4), kOpenReadWrite));
    std::thread reader([&] {
        uint8_t buffer[64];
        EXPECT_EQ(device.ReadReport(buffer, kHidInfinite).status, HidIoStatus::Disconnected);
    });
    WaitBriefly();
    bus_->Unplug(unit);
    reader.join();
    EXPECT_EQ(device.WriteReport(Bytes(64, 4), 100).status, HidIoStatus::Disconnected);
    // Its path is gone: reopening fails and leaves the object closed.
    EXPECT_FALSE(device.Open(PathOf(unit, 4), kOpenReadWrite));
    EXPECT_FALSE(device.IsOpen());
}

TEST_F(HidDeviceTest, ClosedOrFailedOpenTransfersNothing) {
    const int unit = bus_->Plug(MousePadProduct());
    HidDevice device(bus_);
    uint8_t buffer[64]{};
    std::size_t count = 5;
    EXPECT_FALSE(device.Write(buffer, sizeof buffer, &count, 100));
    EXPECT_EQ(count, 0u);
    bus_->SetOpenFault(unit, HidOpenError::AccessDenied);
    EXPECT_FALSE(device.Open(PathOf(unit, 4), kOpenReadWrite));
    EXPECT_EQ(device.LastOpenError(), HidOpenError::AccessDenied);
    EXPECT_FALSE(device.IsOpen());
}

TEST_F(HidDeviceTest, DecodeUsesTheOpenCollectionsItems) {
    const int unit = bus_->Plug(MouseWiredProduct());
    HidDevice device(bus_);
    ASSERT_TRUE(device.Open(PathOf(unit, 3), kOpenReadOnly));
    std::vector<HidData> items;
    ASSERT_TRUE(device.DecodeInputReport(Bytes{kSimEventReportId, 0x23, 0x11}, HidReportKind::Input,
                                         &items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].value, 0x1123u);
    EXPECT_TRUE(items[0].isSet);
}

TEST_F(HidDeviceTest, CloseRacingManyReadsAndDecodesIsSafe) {
    const int unit = bus_->Plug(MouseWiredProduct());
    HidDevice device(bus_);
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        uint8_t buffer[8];
        const Bytes report{kSimEventReportId, 0x01, 0x04};
        std::vector<HidData> items;
        while (!stop) {
            // Either may fail once the close has begun; that is the point.
            (void)device.ReadReport(buffer, 1);
            (void)device.DecodeInputReport(report, HidReportKind::Input, &items);
        }
    });
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(device.Open(PathOf(unit, 3), kOpenReadOnly));
        bus_->SendInput(unit, kSimCommandInterface, Bytes{kSimEventReportId, 1, 4});
        device.Close();
    }
    stop = true;
    reader.join();
}

}  // namespace
}  // namespace q731
