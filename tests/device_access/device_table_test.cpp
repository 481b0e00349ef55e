#include "device_access/device_table.h"

#include <gtest/gtest.h>

#include <optional>

#include "device_access/hid_device.h"
#include "sim/sim_bus.h"
#include "sim/sim_products.h"

namespace q731 {
namespace {

// Runs the discovery rules over every path of the bus, as a scan pass does.
struct ScanResult {
    std::vector<DeviceEntry> list = MakeDeviceList();
    std::vector<ClaimResult> results;
    std::vector<std::string> paths;
};

ScanResult Scan(const std::shared_ptr<SimBus>& bus,
                std::vector<DeviceEntry> list = MakeDeviceList()) {
    ScanResult scan;
    scan.list = std::move(list);
    HidDevice lister(bus);
    HidDevice probe(bus);
    EXPECT_TRUE(lister.ListPaths());
    while (auto path = lister.NextPath()) {
        scan.paths.push_back(*path);
        scan.results.push_back(ClaimPath(probe, *path, scan.list));
    }
    return scan;
}

std::vector<int> ClaimedRows(const ScanResult& scan) {
    std::vector<int> rows;
    for (const ClaimResult& result : scan.results) {
        if (result.outcome == ClaimOutcome::Claimed) rows.push_back(result.index);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

TEST(DeviceTable, SupportedRowsPartnerEachOther) {
    for (std::size_t index = 0; index < kSupportedDevices.size(); ++index) {
        const DeviceRow& row = kSupportedDevices[index];
        if (row.paired == 0) continue;
        const DeviceRow& partner = kSupportedDevices[row.partner];
        EXPECT_EQ(kSupportedDevices[partner.partner].productId, row.productId) << index;
        EXPECT_EQ(partner.role, row.role) << index;
        EXPECT_EQ(partner.collection, row.collection) << index;
    }
}

TEST(DeviceTable, ReceiverMouseClaimsItsCommandAndEventRows) {
    auto bus = std::make_shared<SimBus>();
    bus->Plug(MouseReceiverProduct());
    const ScanResult scan = Scan(bus);
    EXPECT_EQ(ClaimedRows(scan), (std::vector<int>{6, 7}));
    EXPECT_EQ(scan.list[6].connected, 1);
    EXPECT_NE(scan.list[6].path.find("&col04"), std::string::npos);
    EXPECT_NE(scan.list[7].path.find("&col03"), std::string::npos);
    for (const ClaimResult& result : scan.results) {
        if (result.outcome != ClaimOutcome::Claimed) continue;
        EXPECT_EQ(result.probed.deviceType, RecordOf(Product::Mouse).receiver.type);
        EXPECT_EQ(result.probed.role, result.index == 6 ? kRoleCommand : kRoleEvent);
    }
}

TEST(DeviceTable, WholeFamilyClaimsEveryRowAndDecoysNone) {
    auto bus = std::make_shared<SimBus>();
    for (DecoyKind kind : {DecoyKind::OtherInterface, DecoyKind::OtherCollection,
                           DecoyKind::WrongUsage, DecoyKind::OtherVendor}) {
        bus->Plug(DecoyProduct(kind));
    }
    EXPECT_TRUE(ClaimedRows(Scan(bus)).empty());
    for (const SimProductSpec& product :
         {MouseWiredProduct(), MouseReceiverProduct(), KeyboardWiredProduct(),
          KeyboardReceiverProduct(), MousePadProduct(), HeadsetProduct()}) {
        bus->Plug(product);
    }
    const ScanResult scan = Scan(bus);
    EXPECT_EQ(ClaimedRows(scan), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_TRUE(AllClaimed(scan.list));
}

TEST(DeviceTable, InterfaceOrCollectionOutsideTheTableIsNeverOpened) {
    auto bus = std::make_shared<SimBus>();
    const int decoy = bus->Plug(DecoyProduct(DecoyKind::OtherInterface));
    const int mouse = bus->Plug(MouseWiredProduct());
    // Every open would fail: only candidates report an open failure.
    bus->SetOpenFault(decoy, HidOpenError::AccessDenied);
    bus->SetOpenFault(mouse, HidOpenError::AccessDenied);
    const ScanResult scan = Scan(bus);
    int opened = 0;
    for (std::size_t i = 0; i < scan.paths.size(); ++i) {
        const DeviceEntry ids = EntryFromPath(scan.paths[i]);
        const bool inTable =
            ids.interfaceNumber == 1 && (ids.collection == 3 || ids.collection == 4);
        EXPECT_EQ(scan.results[i].outcome,
                  inTable ? ClaimOutcome::OpenFailed : ClaimOutcome::NotCandidate)
            << scan.paths[i];
        opened += inTable ? 1 : 0;
        if (inTable) {
            EXPECT_NE(scan.results[i].openMessage.find("Permission denied"), std::string::npos);
        }
    }
    EXPECT_EQ(opened, 2);
    EXPECT_TRUE(ClaimedRows(scan).empty());
}

TEST(DeviceTable, WrongUsageIsProbedButNotClaimed) {
    auto bus = std::make_shared<SimBus>();
    bus->Plug(DecoyProduct(DecoyKind::WrongUsage));
    const ScanResult scan = Scan(bus);
    int probedNotClaimed = 0;
    for (const ClaimResult& result : scan.results) {
        if (result.outcome == ClaimOutcome::NotMatched) ++probedNotClaimed;
    }
    EXPECT_EQ(probedNotClaimed, 2);
    EXPECT_TRUE(ClaimedRows(scan).empty());
}

TEST(DeviceTable, SecondIdenticalUnitIsNotClaimedWhileTheFirstHoldsTheRow) {
    auto bus = std::make_shared<SimBus>();
    const int first = bus->Plug(MouseReceiverProduct());
    const int second = bus->Plug(MouseReceiverProduct());
    ScanResult scan = Scan(bus);
    EXPECT_EQ(ClaimedRows(scan), (std::vector<int>{6, 7}));
    const std::vector<std::string> firstPaths = bus->PathsOf(first);
    EXPECT_NE(std::find(firstPaths.begin(), firstPaths.end(), scan.list[6].path), firstPaths.end());
    // Candidate test: the second unit's paths are not even opened now.
    for (const std::string& path : bus->PathsOf(second)) {
        EXPECT_FALSE(IsCandidate(EntryFromPath(path), scan.list));
    }
    // Once the first unit is gone and its rows freed, the second one claims them.
    bus->Unplug(first);
    std::vector<DeviceEntry> list = scan.list;
    for (DeviceEntry& entry : list) {
        entry.connected = 0;
        entry.path.clear();
    }
    scan = Scan(bus, list);
    EXPECT_EQ(ClaimedRows(scan), (std::vector<int>{6, 7}));
    const std::vector<std::string> secondPaths = bus->PathsOf(second);
    EXPECT_NE(std::find(secondPaths.begin(), secondPaths.end(), scan.list[6].path),
              secondPaths.end());
}

TEST(DeviceTable, HeadsetPathWithoutCollectionMarkerMatchesCollectionZero) {
    auto bus = std::make_shared<SimBus>();
    const int unit = bus->Plug(HeadsetProduct());
    const std::vector<std::string> paths = bus->PathsOf(unit);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0].find("&col"), std::string::npos);
    EXPECT_EQ(ClaimedRows(Scan(bus)), (std::vector<int>{10}));
}

TEST(DeviceTable, RowLookups) {
    EXPECT_EQ(TableRow(kVendorMain, kProductMouseReceiver, 6, kRoleEvent), 7);
    EXPECT_EQ(TableRow(kVendorHeadset, kProductHeadset, 7, kRoleCommand), 10);
    EXPECT_EQ(TableRow(kVendorMain, kProductMouseReceiver, 2, kRoleEvent), -1);
    EXPECT_EQ(CommandRow(Product::Keyboard, Channel::Cable), 0);
    EXPECT_EQ(CommandRow(Product::Mouse, Channel::Receiver), 6);
    EXPECT_EQ(CommandRow(Product::Headset, Channel::Cable), 10);
    EXPECT_EQ(CommandRow(Product::MousePad, Channel::Receiver), -1) << "the pad has no receiver";
}

TEST(DeviceTable, TypeBytesStandForOneProductOnOneChannel) {
    struct Case {
        uint16_t type;
        std::optional<Product> product;
        Channel channel;
    };
    const Case cases[] = {
        {1, Product::Keyboard, Channel::Cable}, {9, Product::Keyboard, Channel::Receiver},
        {2, Product::Mouse, Channel::Cable},    {6, Product::Mouse, Channel::Receiver},
        {3, Product::MousePad, Channel::Cable}, {7, Product::Headset, Channel::Cable},
        {0, std::nullopt, Channel::Cable},      {4, std::nullopt, Channel::Cable},
        {5, std::nullopt, Channel::Cable},      {8, std::nullopt, Channel::Cable},
    };
    for (const Case& c : cases) {
        const std::optional<ProductOnChannel> decoded = DecodeType(c.type);
        ASSERT_EQ(decoded.has_value(), c.product.has_value()) << c.type;
        if (!decoded) continue;
        EXPECT_EQ(decoded->product, *c.product) << c.type;
        EXPECT_EQ(decoded->channel, c.channel) << c.type;
    }
    // Every row of the table carries the type of the product and channel it is for.
    for (const DeviceRow& row : kSupportedDevices) {
        const std::optional<ProductOnChannel> decoded = DecodeType(row.deviceType);
        ASSERT_TRUE(decoded.has_value()) << row.deviceType;
        const ProductRecord& record = RecordOf(decoded->product);
        EXPECT_EQ(row.vendorId, record.vendorId);
        EXPECT_EQ(row.productId, record.Way(decoded->channel).productId);
    }
}

TEST(DeviceTable, TabKeyOfReceiverRowsIsTheCablePartner) {
    const std::vector<DeviceEntry> list = MakeDeviceList();
    struct Case {
        std::size_t index;
        uint16_t expectedProduct;
        uint16_t expectedType;
    };
    const Case cases[] = {
        {6, kProductMouseWired, 2},    {7, kProductMouseWired, 2}, {2, kProductKeyboardWired, 1},
        {3, kProductKeyboardWired, 1}, {4, kProductMouseWired, 2}, {5, kProductMouseWired, 2},
        {8, kProductMousePad, 3},      {10, kProductHeadset, 7},
    };
    for (const Case& c : cases) {
        const DeviceEntry key = TabKey(list, c.index);
        EXPECT_EQ(key.productId, c.expectedProduct) << c.index;
        EXPECT_EQ(key.deviceType, c.expectedType) << c.index;
        EXPECT_EQ(key.role, kRoleCommand) << c.index;
        const std::optional<ProductOnChannel> decoded = DecodeType(key.deviceType);
        ASSERT_TRUE(decoded.has_value()) << c.index;
        EXPECT_EQ(decoded->channel, Channel::Cable) << c.index << ": only cables have tabs";
    }
    // A broken partner index is never followed.
    std::vector<DeviceEntry> broken = list;
    broken[6].partner = 99;
    EXPECT_EQ(TabKey(broken, 6).productId, kProductMouseReceiver);
    EXPECT_EQ(TabKey(list, 99).productId, 0);
}

TEST(DeviceTable, SameInterfaceIgnoresConnectionState) {
    std::vector<DeviceEntry> list = MakeDeviceList();
    DeviceEntry copy = list[4];
    copy.connected = 1;
    copy.path = "x";
    copy.partner = 0;
    EXPECT_TRUE(copy.SameInterface(list[4]));
    copy.usage = 0x93;
    EXPECT_FALSE(copy.SameInterface(list[4]));
    EXPECT_FALSE(AllClaimed(list));
}

}  // namespace
}  // namespace q731
