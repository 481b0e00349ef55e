#include "sim/sim_bus.h"

#include <gtest/gtest.h>

#include "device_access/device_path.h"
#include "device_access/hid_device.h"
#include "sim/hid_backends.h"
#include "sim/sim_products.h"
#include "tests/support/sim_helpers.h"

namespace q731 {
namespace {

using Bytes = std::vector<uint8_t>;

std::string CommandPath(const SimBus& bus, int unit) {
    return testing::CommandPathOf(bus, unit);
}

TEST(SimBus, ProductsExposeTheInterfacesAndCollectionsTheTablesExpect) {
    SimBus bus;
    const int mouse = bus.Plug(MouseReceiverProduct());
    const int headset = bus.Plug(HeadsetProduct());
    std::vector<std::string> expected;
    for (const char* tail :
         {"&mi_00#", "&mi_01&col01#", "&mi_01&col02#", "&mi_01&col03#", "&mi_01&col04#"}) {
        expected.push_back(std::string("vid_320f&pid_221d") + tail);
    }
    const std::vector<std::string> paths = bus.PathsOf(mouse);
    ASSERT_EQ(paths.size(), expected.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_NE(paths[i].find(expected[i]), std::string::npos) << paths[i];
        EXPECT_EQ(paths[i].rfind("\\\\?\\hid#", 0), 0u) << paths[i];
    }
    ASSERT_EQ(bus.PathsOf(headset).size(), 1u);
    EXPECT_NE(bus.PathsOf(headset)[0].find("vid_0c76&pid_1630&mi_03#"), std::string::npos);
}

TEST(SimBus, SecondUnitHasPathsOfItsOwnAndUnplugRemovesOnlyIt) {
    SimBus bus;
    const int first = bus.Plug(MousePadProduct());
    const int second = bus.Plug(MousePadProduct());
    const auto firstPaths = bus.PathsOf(first);
    const auto secondPaths = bus.PathsOf(second);
    for (const std::string& path : secondPaths) {
        EXPECT_EQ(std::find(firstPaths.begin(), firstPaths.end(), path), firstPaths.end());
    }
    EXPECT_EQ(bus.Enumerate()->size(), 10u);
    EXPECT_TRUE(bus.Unplug(first));
    EXPECT_FALSE(bus.Unplug(first));
    EXPECT_EQ(*bus.Enumerate(), secondPaths);
}

TEST(SimBus, PlugAndUnplugPokeWatchers) {
    SimBus bus;
    auto waker = std::make_shared<Waker>();
    ASSERT_TRUE(bus.WatchChanges(waker));
    const int unit = bus.Plug(HeadsetProduct());
    EXPECT_TRUE(waker->TakePoke());
    EXPECT_FALSE(waker->TakePoke());
    bus.Unplug(unit);
    EXPECT_TRUE(waker->TakePoke());
}

TEST(SimBus, InjectedFaults) {
    auto bus = std::make_shared<SimBus>();
    const int unit = bus->Plug(KeyboardWiredProduct());
    bus->FailEnumerations(2);
    EXPECT_FALSE(bus->Enumerate().has_value());
    EXPECT_FALSE(bus->Enumerate().has_value());
    EXPECT_TRUE(bus->Enumerate().has_value());

    bus->SetOpenFault(unit, HidOpenError::Failed);
    EXPECT_EQ(bus->Open(CommandPath(*bus, unit), {}).error, HidOpenError::Failed);
    bus->SetOpenFault(unit, HidOpenError::None);

    HidDevice device(bus);
    ASSERT_TRUE(device.Open(CommandPath(*bus, unit), kOpenReadWrite));
    bus->SetWriteFault(unit, true);
    EXPECT_EQ(device.WriteReport(Bytes(64, 4), 100).status, HidIoStatus::Failed);
    bus->SetWriteFault(unit, false);
    EXPECT_TRUE(device.WriteReport(Bytes(64, 4), 100).Ok());

    bus->SetInputLost(unit, true);
    bus->SendInput(unit, kSimCommandInterface, Bytes(64, 4));
    uint8_t buffer[64];
    EXPECT_EQ(device.ReadReport(buffer, 5).status, HidIoStatus::TimedOut);
}

TEST(SimBus, DelayedInputIsHeldBackUntilItsTime) {
    auto bus = std::make_shared<SimBus>();
    const int unit = bus->Plug(MousePadProduct());
    HidDevice device(bus);
    ASSERT_TRUE(device.Open(CommandPath(*bus, unit), kOpenReadWrite));
    bus->SendInput(unit, kSimCommandInterface, Bytes(64, 4), std::chrono::milliseconds(30));
    uint8_t buffer[64];
    EXPECT_EQ(device.ReadReport(buffer, 0).status, HidIoStatus::TimedOut);
    EXPECT_TRUE(device.ReadReport(buffer, 5000).Ok());
}

TEST(SimBus, OutputReportsWithoutFirmwareAreLogged) {
    auto bus = std::make_shared<SimBus>();
    const int unit = bus->Plug(HeadsetProduct());
    HidDevice device(bus);
    ASSERT_TRUE(device.Open(bus->PathsOf(unit)[0], kOpenReadWrite));
    EXPECT_EQ(device.Caps().outputReportByteLength, 17);
    Bytes report(17, 0);
    report[0] = kSimHeadsetLedReportId;
    report[1] = 0x22;
    ASSERT_TRUE(device.WriteReport(report, 100).Ok());
    ASSERT_EQ(bus->OutputLog(unit).size(), 1u);
    EXPECT_EQ(bus->OutputLog(unit)[0], report);
}

TEST(SimBus, QueueKeepsTheNewestReportsWhenFull) {
    auto bus = std::make_shared<SimBus>();
    const int unit = bus->Plug(MousePadProduct());
    HidDevice device(bus);
    ASSERT_TRUE(device.Open(CommandPath(*bus, unit), kOpenReadWrite));
    for (int i = 0; i < 100; ++i) {
        Bytes report(64, 0);
        report[0] = 4;
        report[1] = static_cast<uint8_t>(i);
        bus->SendInput(unit, kSimCommandInterface, report);
    }
    uint8_t buffer[64];
    ASSERT_TRUE(device.ReadReport(buffer, 0).Ok());
    EXPECT_EQ(buffer[1], 36);
}

TEST(BackendSelection, SimSettingAttachesTheFamilyOtherwiseHidraw) {
    const SelectedBackend sim = SelectHidBackend("sim");
    ASSERT_TRUE(sim.simBus);
    EXPECT_EQ(sim.backend->Name(), "sim");
    EXPECT_EQ(sim.backend->Enumerate()->size(), 16u);
    const SelectedBackend all = SelectHidBackend("sim-all");
    EXPECT_GT(all.backend->Enumerate()->size(), 16u);
    const SelectedBackend real = SelectHidBackend("");
    EXPECT_FALSE(real.simBus);
    EXPECT_EQ(real.backend->Name(), "hidraw");
}

}  // namespace
}  // namespace q731
