// The hidraw back end on the simulator's kernel: every report of an interface
// reaches every open file of it, 63 reports fit a file's ring, writes can
// stall, calls can be interrupted, and unplugged nodes hang up.

#include "device_access/hidraw_backend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/log.h"
#include "platform/products.h"
#include "sim/sim_bus.h"
#include "sim/sim_hidraw_kernel.h"
#include "sim/sim_products.h"
#include "tests/support/hex.h"
#include "tests/support/sim_helpers.h"
#include "tests/support/wait.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;
using Clock = std::chrono::steady_clock;

// A report of `id` whose first data byte is `mark`; the command frame is 64
// bytes, the others as short as the simulated family sends them.
Bytes Report(uint8_t id, uint8_t mark) {
    Bytes report(id == kSimCommandReportId ? 64 : 4, 0);
    report[0] = id;
    report[1] = mark;
    return report;
}

struct HidrawBackendTest : ::testing::Test {
    std::unique_ptr<IHidConnection> Open(int collection,
                                         const HidOpenParameters& parameters = kOpenReadWrite) {
        HidOpenResult opened =
            bus->Open(testing::CollectionPath(*bus, unit, collection), parameters);
        EXPECT_EQ(opened.error, HidOpenError::None) << opened.message;
        return std::move(opened.connection);
    }
    void Send(const Bytes& report, std::chrono::microseconds delay = 0us) {
        bus->SendInput(unit, kSimCommandInterface, report, delay);
    }
    // The marks of the reports waiting for `connection`, read until none is left.
    static std::vector<int> Drain(IHidConnection& connection) {
        std::vector<int> marks;
        Bytes buffer(64);
        while (connection.Read(buffer, 0).Ok())
            marks.push_back(buffer[0] * 1000 + buffer[1]);
        return marks;
    }

    std::shared_ptr<SimBus> bus = std::make_shared<SimBus>(SimBusMode::Hidraw);
    SimHidrawKernel& kernel = *bus->Kernel();
    int unit = bus->Plug(MouseWiredProduct());
    int node = bus->NodeOf(unit, kSimCommandInterface);
};

TEST_F(HidrawBackendTest, EachConnectionReadsOnlyItsOwnCollection) {
    auto commands = Open(4);
    auto events = Open(3);
    // A late answer queued behind a mouse movement, a key and an event: the
    // drain before a request must reach it, not stop at the first stranger.
    for (const Bytes& report : {Report(1, 1), Report(2, 2), Report(3, 3), Report(4, 4),
                                Report(1, 5), Report(4, 6), Report(3, 7)}) {
        Send(report);
    }
    EXPECT_EQ(Drain(*commands), (std::vector<int>{4004, 4006}));
    EXPECT_EQ(Drain(*events), (std::vector<int>{3003, 3007}));
    EXPECT_EQ(kernel.OpenFiles(node), 1) << "one open file per node, shared";
}

TEST_F(HidrawBackendTest, BusyInputDoesNotPushAnAnswerOutOfTheKernelsRing) {
    auto commands = Open(4);
    // A mouse reporting at 1000 Hz for 200 ms, then the answer; nobody reads
    // the command collection meanwhile. The kernel keeps 63 reports per file.
    for (int i = 0; i < 200; ++i)
        Send(Report(1, static_cast<uint8_t>(i)), std::chrono::milliseconds(i));
    Send(Report(4, 42), 200ms);
    Bytes answer(64);
    ASSERT_TRUE(testing::WaitUntil([&] { return commands->Read(answer, 0).Ok(); }));
    EXPECT_EQ(answer[1], 42);
    EXPECT_EQ(kernel.DroppedReports(node), 0);
}

TEST_F(HidrawBackendTest, InterruptedCallsAreRetriedNotTakenForAnUnplug) {
    auto commands = Open(4);
    kernel.InterruptCalls(node, 5);
    Send(Report(4, 9));
    Bytes answer(64);
    const HidIoResult read = commands->Read(answer, 1000);
    ASSERT_EQ(read.status, HidIoStatus::Ok);
    EXPECT_EQ(answer[1], 9);
    EXPECT_TRUE(commands->Write(Report(4, 1), 1000).Ok());
}

TEST_F(HidrawBackendTest, UnplugEndsReadsAndWritesWithDisconnected) {
    // A reader meets the hang-up; a connection that never read meets ENODEV
    // in its write.
    for (const bool reading : {true, false}) {
        unit = bus->Plug(MouseWiredProduct());
        auto commands = Open(4, reading ? kOpenReadWrite : kOpenReadOnly);
        HidIoResult blocked{HidIoStatus::Disconnected, 0};
        std::thread reader;
        if (reading) {
            reader = std::thread([&] {
                Bytes buffer(64);
                blocked = commands->Read(buffer, kHidInfinite);
            });
            std::this_thread::sleep_for(20ms);
        }
        bus->Unplug(unit);
        if (reader.joinable()) reader.join();
        EXPECT_EQ(blocked.status, HidIoStatus::Disconnected) << reading;
        EXPECT_EQ(commands->Write(Report(4, 1), 1000).status, HidIoStatus::Disconnected) << reading;
    }
}

TEST_F(HidrawBackendTest, AWriteThatOutlivesItsTimeOutWedgesTheNodeUntilItEnds) {
    auto commands = Open(4);
    kernel.StallWrites(node, true);
    auto started = Clock::now();
    EXPECT_EQ(commands->Write(Report(4, 1), 50).status, HidIoStatus::TimedOut);
    EXPECT_LT(Clock::now() - started, 1s);
    // While the kernel holds the first, later writes fail at once.
    started = Clock::now();
    EXPECT_EQ(commands->Write(Report(4, 2), 1000).status, HidIoStatus::Failed);
    EXPECT_LT(Clock::now() - started, 500ms);
    // Once the kernel gives it back, writes go through again; the ones
    // refused meanwhile never reach the device.
    kernel.StallWrites(node, false);
    ASSERT_TRUE(testing::WaitUntil([&] { return commands->Write(Report(4, 3), 1000).Ok(); }));
    EXPECT_EQ(bus->OutputLog(unit).size(), 2u);
    // Closing never waits for a stuck write.
    kernel.StallWrites(node, true);
    EXPECT_EQ(commands->Write(Report(4, 4), 20).status, HidIoStatus::TimedOut);
    started = Clock::now();
    commands.reset();
    EXPECT_LT(Clock::now() - started, 500ms);
    // The stuck write still reaches the device once the kernel lets it go.
    kernel.StallWrites(node, false);
    EXPECT_TRUE(testing::WaitUntil([&] { return bus->OutputLog(unit).size() == 3; }));
}

TEST_F(HidrawBackendTest, UnnumberedReportsAreReadWithIdZeroFirst) {
    const std::vector<std::string> paths = bus->PathsOf(unit);
    const auto boot = std::find_if(paths.begin(), paths.end(), [](const std::string& path) {
        return path.find("&mi_00") != std::string::npos;
    });
    ASSERT_NE(boot, paths.end());
    HidOpenResult opened = bus->Open(*boot, kOpenReadWrite);
    ASSERT_TRUE(opened.connection) << opened.message;
    bus->SendInput(unit, 0, testing::FromHex("00 01 fe 02"));
    Bytes report(8);
    const HidIoResult read = opened.connection->Read(report, 1000);
    ASSERT_TRUE(read.Ok());
    EXPECT_EQ(testing::ToHex(std::span(report).first(read.bytes)), "00 01 fe 02");
}

TEST_F(HidrawBackendTest, APlugOnAReusedNodeIsANewDevice) {
    const std::string before = testing::CommandPathOf(*bus, unit);
    bus->Unplug(unit);
    unit = bus->Plug(MouseWiredProduct());
    ASSERT_EQ(bus->NodeOf(unit, kSimCommandInterface), node) << "the kernel reuses the number";
    EXPECT_NE(testing::CommandPathOf(*bus, unit), before);
    EXPECT_EQ(bus->Open(before, kOpenReadWrite).error, HidOpenError::Mismatch);
}

TEST_F(HidrawBackendTest, AccessDeniedNamesTheRule) {
    bus->SetOpenFault(unit, HidOpenError::AccessDenied);
    const HidOpenResult opened = bus->Open(testing::CommandPathOf(*bus, unit), kOpenReadOnly);
    EXPECT_EQ(opened.error, HidOpenError::AccessDenied);
    EXPECT_NE(opened.message.find(kUdevRuleName), std::string::npos) << opened.message;
}

TEST(HidrawDescriptorNotes, WhatIsSkippedInTheFamilysDescriptorsIsLoggedOncePerDevice) {
    // The command interface with a 64-bit field added to its last collection.
    Bytes descriptor = CommandInterfaceDescriptor();
    const Bytes wide = testing::FromHex("75 40 95 01 09 03 81 02");
    descriptor.insert(descriptor.end() - 1, wide.begin(), wide.end());
    const std::pair<uint16_t, std::size_t> cases[] = {{kVendorMain, 1}, {0x1234, 0}};
    for (const auto& [vendorId, lines] : cases) {
        auto bus = std::make_shared<SimBus>(SimBusMode::Hidraw);
        bus->Plug({.name = "wide",
                   .vendorId = vendorId,
                   .productId = kProductMouseWired,
                   .interfaces = {{kSimCommandInterface, descriptor}}});
        LogCapture log;
        (void)bus->Enumerate();  // the paths do not matter here
        (void)bus->Enumerate();
        EXPECT_EQ(log.Count("field of 64 bits"), lines) << vendorId;
    }
}

// hidapi's process-wide error string has no lock of its own.
TEST(HidrawSystem, TwoThreadsListingAThousandTimesEach) {
    const std::unique_ptr<IHidBackend> backend = MakeHidrawBackend();
    const auto list = [&] {
        for (int i = 0; i < 1000; ++i)
            (void)backend->Enumerate();  // what is present does not matter here
    };
    std::thread first(list);
    std::thread second(list);
    first.join();
    second.join();
}

}  // namespace
}  // namespace q731
