#include <gtest/gtest.h>

#include <thread>

#include "link_fixture.h"

namespace q731 {
namespace {

using std::chrono::milliseconds;

Bytes Pattern(std::size_t size, uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    return bytes;
}

struct ChunkCase {
    SimChannel channel;
    std::vector<int> pieces;
};

TEST_F(LinkTest, DeviceInfoIsReadInChannelSizedChunks) {
    for (const ChunkCase& c :
         {ChunkCase{SimChannel::Wired, {34}}, ChunkCase{SimChannel::Receiver, {24, 10}}}) {
        Attach(c.channel);
        std::array<uint8_t, kDeviceInfoBytes> info{};
        ASSERT_EQ(link_->ReadDeviceInfo(info), LinkResult::Ok);
        EXPECT_EQ(info[kSimInfoKeyCount], 11);
        EXPECT_EQ(info[kSimInfoMacroUnits], 32);
        const std::vector<Bytes> sent = Sent();
        ASSERT_EQ(sent.size(), c.pieces.size());
        int address = 0;
        for (std::size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(sent[i][3], 0x03);
            EXPECT_EQ(sent[i][4], c.pieces[i]);
            EXPECT_EQ(sent[i][5] | sent[i][6] << 8, address);
            address += c.pieces[i];
        }
        ExpectNoViolations();
    }
}

TEST_F(LinkTest, ShootDataGoesIn56BytePiecesOnEitherChannel) {
    for (SimChannel channel : {SimChannel::Wired, SimChannel::Receiver}) {
        Attach(channel);
        const Bytes data = Pattern(130, 3);
        ASSERT_EQ(link_->EnterConfig(), LinkResult::Ok);
        ASSERT_EQ(link_->WriteShootData(data), LinkResult::Ok);
        ASSERT_EQ(link_->LeaveConfig(), LinkResult::Ok);
        std::vector<int> pieces;
        for (const Bytes& frame : Sent()) {
            if (frame[3] == 0x17) pieces.push_back(frame[4]);
        }
        EXPECT_EQ(pieces, (std::vector<int>{56, 56, 18}));
        EXPECT_TRUE(
            std::equal(data.begin(), data.end(), firmware_->Region(SimRegion::Shoot).begin()));
        ExpectNoViolations();
    }
}

TEST_F(LinkTest, ConfigurationWriteRoundTripsThroughDeviceMemory) {
    Attach(SimChannel::Receiver);
    const Bytes block = Pattern(66, 9);
    EXPECT_TRUE(link_->QueryLink());
    ASSERT_EQ(link_->EnterConfig(), LinkResult::Ok);
    ASSERT_EQ(link_->WriteMemory(block, 0x100), LinkResult::Ok);
    ASSERT_EQ(link_->LeaveConfig(), LinkResult::Ok);
    Bytes back(66);
    ASSERT_EQ(link_->ReadMemory(back, 0x100), LinkResult::Ok);
    EXPECT_EQ(back, block);
    EXPECT_FALSE(firmware_->InConfig());
    ExpectNoViolations();  // includes the 10 ms pause before LeaveConfig
}

TEST_F(LinkTest, StrictFirmwareCatchesAWriteOutsideConfiguration) {
    Attach(SimChannel::Wired);
    ASSERT_EQ(link_->WriteMemory(Pattern(8, 1), 0), LinkResult::Ok);
    ASSERT_EQ(firmware_->Violations().size(), 1u);
    EXPECT_NE(firmware_->Violations()[0].what.find("outside configuration"), std::string::npos);
}

TEST_F(LinkTest, KeyTableFollowsTheTransferSize) {
    Attach(SimChannel::Wired);
    EXPECT_FALSE(link_->SetTransferSize(513));
    EXPECT_EQ(link_->TransferSize(), 512);
    const Bytes table = Pattern(512, 5);
    ASSERT_EQ(link_->EnterConfig(), LinkResult::Ok);
    EXPECT_EQ(link_->WriteKeyTable(table, 1), LinkResult::BadBank);
    EXPECT_EQ(firmware_->FramesReceived(), 1);  // the bank refusal sent nothing
    ASSERT_EQ(link_->WriteKeyTable(table, 0), LinkResult::Ok);
    EXPECT_EQ(firmware_->FramesReceived(), 1 + 10);  // 9 x 56 + 8
    ASSERT_EQ(link_->LeaveConfig(), LinkResult::Ok);
    ASSERT_TRUE(link_->SetTransferSize(33));
    EXPECT_FALSE(link_->SetTransferSize(600));
    Bytes back(33);
    ASSERT_EQ(link_->ReadKeyTable(back), LinkResult::Ok);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), table.begin()));
    Bytes map(11);
    EXPECT_EQ(link_->ReadLedMap(map), LinkResult::Ok);
    Bytes tooSmall(10);
    EXPECT_EQ(link_->ReadLedMap(tooSmall), LinkResult::WriteFailed);
    ExpectNoViolations();
}

TEST_F(LinkTest, TransfersPastTheAddressSpaceAreRefusedUnsent) {
    Attach(SimChannel::Wired);
    EXPECT_EQ(link_->WriteMemory(Pattern(32, 0), 0xFFF0), LinkResult::WriteFailed);
    EXPECT_EQ(link_->WriteKeyColours(Pattern(32, 0), 0x80, 512), LinkResult::WriteFailed);
    Bytes power(57);
    EXPECT_EQ(link_->ReadPowerStatus(power, 57, 0), LinkResult::WriteFailed);
    EXPECT_EQ(firmware_->FramesReceived(), 0);
}

TEST_F(LinkTest, PowerStatusCopiesOnlyTheRequestedLength) {
    Attach(SimChannel::Wired);
    // A reply claiming another length never sizes the copy.
    firmware_->AddFault({.kind = SimFaultKind::WrongByte4});
    std::array<uint8_t, kPowerStatusBytes> power{};
    ASSERT_EQ(link_->ReadPowerStatus(power, kPowerStatusBytes, 0), LinkResult::Ok);
    EXPECT_EQ(power[0], 85);
    EXPECT_EQ(power[1], 2);
    ExpectNoViolations();
}

TEST_F(LinkTest, ClosedLinkSendsNothing) {
    Attach(SimChannel::Wired);
    link_->SetOpen(false);
    Bytes info(kDeviceInfoBytes);
    EXPECT_EQ(link_->EnterConfig(), LinkResult::Failed);
    EXPECT_EQ(link_->ReadDeviceInfo(info), LinkResult::Failed);
    EXPECT_EQ(firmware_->FramesReceived(), 0);
    EXPECT_FALSE(link_->IsBusy());
}

TEST_F(LinkTest, WiredDeviceNeverSendsQueryLink) {
    Attach(SimChannel::Wired);
    EXPECT_TRUE(link_->QueryLink());
    EXPECT_EQ(firmware_->FramesReceived(), 0);
}

TEST_F(LinkTest, ReceiverAnswersQueryLinkForItself) {
    Attach(SimChannel::Receiver);
    EXPECT_TRUE(link_->QueryLink());
    EXPECT_EQ(Sent().back()[3], 0xAA);
    firmware_->SetRadioOn(false);
    EXPECT_FALSE(link_->QueryLink());
    EXPECT_EQ(link_->EnterConfig(), LinkResult::Failed);  // silent: time-out
    firmware_->SetRadioOffReply(RadioOffReply::Unsolicited0xAA);
    EXPECT_EQ(link_->EnterConfig(), LinkResult::ReceiverLost);
}

struct MatchCase {
    const char* name;
    SimChannel channel;
    SimFault fault;
    LinkResult expected;
};

TEST_F(LinkTest, ReplyMatching) {
    const MatchCase cases[] = {
        {"stray then answer",
         SimChannel::Wired,
         {.kind = SimFaultKind::StrayBefore, .strays = 1},
         LinkResult::Ok},
        {"two strays are no answer",
         SimChannel::Wired,
         {.kind = SimFaultKind::StrayBefore, .strays = 2},
         LinkResult::Failed},
        {"0xAA on the receiver",
         SimChannel::Receiver,
         {.kind = SimFaultKind::StrayBefore, .strayCommand = 0xAA},
         LinkResult::ReceiverLost},
        {"0xAA on the cable is just a stray",
         SimChannel::Wired,
         {.kind = SimFaultKind::StrayBefore, .strayCommand = 0xAA},
         LinkResult::Ok},
        {"status 0xFF",
         SimChannel::Wired,
         {.kind = SimFaultKind::StatusFF},
         LinkResult::StatusError},
        {"status 0xFE",
         SimChannel::Receiver,
         {.kind = SimFaultKind::StatusFE},
         LinkResult::StatusBusy},
    };
    for (const MatchCase& c : cases) {
        Attach(c.channel);
        firmware_->AddFault(c.fault);
        EXPECT_EQ(link_->EnterConfig(), c.expected) << c.name;
        // The next command starts clean.
        EXPECT_EQ(link_->EnterConfig(), LinkResult::Ok) << c.name;
    }
}

struct FaultCase {
    const char* name;
    SimFault fault;
    LinkResult expected;
};

TEST_F(LinkTest, FaultMatrixGivesTheRightCodeOnBothChannels) {
    const FaultCase cases[] = {
        {"no reply", {.kind = SimFaultKind::NoReply}, LinkResult::Failed},
        {"delay within the time-out",
         {.kind = SimFaultKind::Delay, .delay = milliseconds(5)},
         LinkResult::Ok},
        {"late reply",
         {.kind = SimFaultKind::LateReply, .delay = milliseconds(100)},
         LinkResult::Failed},
        {"short reply", {.kind = SimFaultKind::ShortReply}, LinkResult::Failed},
        {"wrong byte 4", {.kind = SimFaultKind::WrongByte4}, LinkResult::Failed},
        {"status 0xFF", {.kind = SimFaultKind::StatusFF}, LinkResult::StatusError},
        {"write failure", {.kind = SimFaultKind::WriteFailure}, LinkResult::WriteFailed},
        {"unplug after the write", {.kind = SimFaultKind::UnplugAfterWrite}, LinkResult::Failed},
        {"unplug before frame 1",
         {.kind = SimFaultKind::UnplugBeforeFrame, .frame = 1},
         LinkResult::WriteFailed},
    };
    for (SimChannel channel : {SimChannel::Wired, SimChannel::Receiver}) {
        for (const FaultCase& c : cases) {
            Attach(channel);
            firmware_->FillRegion(SimRegion::Settings, 0, Pattern(100, 1));
            firmware_->AddFault(c.fault);
            // A two-frame read on either channel: the fault hits one frame.
            Bytes data(80);
            const LinkResult result = link_->ReadMemory(data, 0);
            EXPECT_EQ(result, c.expected) << c.name;
            if (result == LinkResult::Ok) {
                EXPECT_EQ(data, Pattern(80, 1)) << c.name;
            }
            // Whatever happened, later commands neither crash nor succeed on a gone device.
            const LinkResult next = link_->EnterConfig();
            if (bus_->IsPlugged(unit_)) {
                EXPECT_EQ(next, LinkResult::Ok) << c.name;
            } else {
                EXPECT_NE(next, LinkResult::Ok) << c.name;
            }
        }
    }
}

TEST_F(LinkTest, LateReplyIsNeverTakenForTheNextRequest) {
    Attach(SimChannel::Wired);
    link_->SetTimeouts(channel_, {200, 200, 200, 200});
    firmware_->FillRegion(SimRegion::Settings, 0, Bytes(56, 0xAA));
    firmware_->FillRegion(SimRegion::Settings, 0x40, Bytes(56, 0x55));
    // The answer to frame 0 arrives while frame 1 waits for its own, slower one.
    firmware_->AddFault({.kind = SimFaultKind::LateReply, .frame = 0, .delay = milliseconds(260)});
    firmware_->AddFault({.kind = SimFaultKind::Delay, .frame = 1, .delay = milliseconds(120)});
    Bytes data(56);
    EXPECT_EQ(link_->ReadMemory(data, 0), LinkResult::Failed);
    ASSERT_EQ(link_->ReadMemory(data, 0x40), LinkResult::Ok);
    EXPECT_EQ(data, Bytes(56, 0x55));
    // A late answer that arrives between requests is drained before the next
    // write, even for a command whose answers carry no echo to tell them apart.
    firmware_->AddFault({.kind = SimFaultKind::LateReply, .delay = milliseconds(230)});
    std::array<uint8_t, kPowerStatusBytes> power{};
    EXPECT_EQ(link_->ReadPowerStatus(power, kPowerStatusBytes, 0), LinkResult::Failed);
    firmware_->FillRegion(SimRegion::Power, 0, Bytes{42});
    std::this_thread::sleep_for(milliseconds(100));
    ASSERT_EQ(link_->ReadPowerStatus(power, kPowerStatusBytes, 0), LinkResult::Ok);
    EXPECT_EQ(power[0], 42);
}

TEST_F(LinkTest, CloseEndsAnExchangeWaitingOnASilentReceiver) {
    Attach(SimChannel::Receiver);
    link_->SetTimeouts(channel_, kReceiverTimeouts);
    firmware_->SetRadioOn(false);
    LinkResult result = LinkResult::Ok;
    std::thread sender([&] { result = link_->EnterConfig(); });
    std::this_thread::sleep_for(milliseconds(20));
    link_->Close();
    sender.join();
    EXPECT_EQ(result, LinkResult::Failed);
    EXPECT_EQ(link_->EnterConfig(), LinkResult::Failed);
}

TEST_F(LinkTest, LightingAndCommandThreadsShareOneLink) {
    Attach(SimChannel::Receiver, KeyboardMemoryLayout());
    std::atomic<bool> stop{false};
    std::atomic<int> lightFailures{0};
    std::thread lighting([&] {
        const Bytes frame = Pattern(170 * 3, 2);
        while (!stop) {
            if (link_->StreamLightFrame(frame) != LinkResult::Ok) ++lightFailures;
            (void)link_->WriteKeyColours(Pattern(96, 4), 1, 512);  // only the commands count
        }
    });
    for (int round = 0; round < 8; ++round) {
        ASSERT_EQ(link_->EnterConfig(), LinkResult::Ok);
        ASSERT_EQ(link_->WriteMemory(Pattern(100, static_cast<uint8_t>(round)), 0), LinkResult::Ok);
        Bytes back(100);
        ASSERT_EQ(link_->ReadMemory(back, 0), LinkResult::Ok);
        EXPECT_EQ(back, Pattern(100, static_cast<uint8_t>(round)));
        ASSERT_EQ(link_->LeaveConfig(), LinkResult::Ok);
    }
    stop = true;
    lighting.join();
    EXPECT_EQ(lightFailures.load(), 0);
    for (const SimViolation& violation : firmware_->Violations()) {
        // A light frame may legitimately fall inside the pause before LeaveConfig.
        EXPECT_NE(violation.what.find("LeaveConfig"), std::string::npos) << violation.what;
    }
}

}  // namespace
}  // namespace q731
