#include "devices/lighting/light_stream.h"

#include <gtest/gtest.h>

#include <thread>

#include "sim/sim_bus.h"
#include "sim/sim_firmware.h"
#include "sim/sim_pad.h"
#include "sim/sim_products.h"
#include "tests/support/hex.h"
#include "tests/support/sim_helpers.h"
#include "tests/support/wait.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;
using testing::CommandPathOf;
using testing::CountFrames;
using testing::WaitUntil;

// Three bytes (one LED) to a group.
std::string Hex(std::span<const std::uint8_t> bytes) {
    return testing::ToHex(bytes, 3);
}

constexpr int kStreamCommand = 0x12;

TEST(LightFrameTest, ComponentsAreScaledByBrightnessAtThreeBytesPerLed) {
    const std::vector<LedColour> leds = {{255, 128, 2, 255}, {200, 100, 50, 128}, {9, 9, 9, 0}};
    EXPECT_EQ(Hex(BuildLightFrame(leds, 9)), "fe7f01 643219 000000");
}

TEST(LightFrameTest, LedsThatDoNotFitAreLeftOut) {
    // The mouse's information block counts 11 keys: 33 bytes for 15 LEDs.
    const std::vector<LedColour> leds(15, LedColour{10, 20, 30, 255});
    const std::vector<std::uint8_t> frame = BuildLightFrame(leds, 3 * 11);
    ASSERT_EQ(frame.size(), 33u);
    EXPECT_EQ(frame[30], 9);
    EXPECT_EQ(Hex(BuildLightFrame(leds, 5)), "09131d 0000");
    EXPECT_TRUE(BuildLightFrame(leds, 0).empty());
    EXPECT_EQ(BuildLightFrame(leds, 4096).size(), kMaxLightFrameBytes);
}

TEST(LightFrameTest, MapPlacesEachLedAndSkipsNoneAndOutOfFrameIndexes) {
    const std::vector<LedColour> leds = {
        {1, 1, 1, 255}, {2, 2, 2, 255}, {3, 3, 3, 255}, {4, 4, 4, 255}, {5, 5, 5, 255}};
    // LED 0 at slot 2, LED 1 none, LED 2 at slot 0, LED 3 beyond the frame,
    // LED 4 past the end of the map.
    const std::vector<std::uint8_t> map = {2, kNoLedIndex, 0, 200};
    EXPECT_EQ(Hex(BuildLightFrame(leds, 9, map)), "020202 000000 000000");
}

// A link on a simulated mouse whose stream frames take as long as a test says,
// on a manual clock.
class LightStreamTest : public ::testing::Test {
protected:
    void Attach(SimChannel channel) {
        firmware_ = std::make_shared<SimCommandFirmware>(channel, MouseMemoryLayout());
        slow_ = std::make_shared<SimClockedLatency>(firmware_, clock_);
        const bool receiver = channel == SimChannel::Receiver;
        unit_ = bus_->Plug(receiver ? MouseReceiverProduct() : MouseWiredProduct(), slow_);
        const Channel linkChannel = receiver ? Channel::Receiver : Channel::Cable;
        link_.SetTimeouts(linkChannel, {300, 300, 300, 300});
        ASSERT_TRUE(link_.OpenChannel(linkChannel, CommandPathOf(*bus_, unit_)));
    }
    int StreamFrames() const { return CountFrames(*firmware_, kStreamCommand); }
    StreamOutcome SendOne() { return stream_.SendLeds(link_, leds_, 3 * 11); }

    ManualClock clock_;
    std::shared_ptr<SimBus> bus_ = testing::MakeTestBus();
    std::shared_ptr<SimCommandFirmware> firmware_;
    std::shared_ptr<SimClockedLatency> slow_;
    CDeviceLink link_{bus_};
    LightStream stream_{clock_};
    LedColourList leds_{15};
    int unit_ = -1;
};

TEST_F(LightStreamTest, TwoSlowSendsInARowStopTheChannelUntilReconnect) {
    Attach(SimChannel::Wired);
    slow_->SetLatency(kStreamCommand, 600ms);
    EXPECT_EQ(SendOne(), StreamOutcome::Slow);
    EXPECT_EQ(SendOne(), StreamOutcome::Stopping);
    EXPECT_TRUE(stream_.Stopped(Channel::Cable));
    EXPECT_EQ(SendOne(), StreamOutcome::Stopped);
    EXPECT_EQ(StreamFrames(), 2);

    slow_->SetLatency(kStreamCommand, 0ms);
    stream_.OnLinkCheck(true);  // the receiver's check does not restart the cable
    EXPECT_EQ(SendOne(), StreamOutcome::Stopped);
    stream_.Restart(Channel::Cable);
    EXPECT_EQ(SendOne(), StreamOutcome::Sent);
    EXPECT_EQ(StreamFrames(), 3);
}

TEST_F(LightStreamTest, AQuickSendBetweenSlowOnesKeepsTheStreamGoing) {
    Attach(SimChannel::Wired);
    slow_->SetLatency(kStreamCommand, 600ms);
    EXPECT_EQ(SendOne(), StreamOutcome::Slow);
    slow_->SetLatency(kStreamCommand, 500ms);  // exactly the limit is not slow
    EXPECT_EQ(SendOne(), StreamOutcome::Sent);
    EXPECT_EQ(stream_.SlowSends(Channel::Cable), 0);
    slow_->SetLatency(kStreamCommand, 600ms);
    EXPECT_EQ(SendOne(), StreamOutcome::Slow);
    EXPECT_FALSE(stream_.Stopped(Channel::Cable));
}

TEST_F(LightStreamTest, ReceiverStreamRestartsOnlyWhenTheLinkCheckAnswers) {
    Attach(SimChannel::Receiver);
    slow_->SetLatency(kStreamCommand, 600ms);
    SendOne();
    EXPECT_EQ(SendOne(), StreamOutcome::Stopping);
    // 33 bytes in 24-byte receiver chunks: two frames per send.
    EXPECT_EQ(StreamFrames(), 4);
    slow_->SetLatency(kStreamCommand, 0ms);
    stream_.OnLinkCheck(false);
    EXPECT_EQ(SendOne(), StreamOutcome::Stopped);
    stream_.OnLinkCheck(true);
    EXPECT_EQ(SendOne(), StreamOutcome::Sent);
    EXPECT_EQ(StreamFrames(), 6);
    // A silent receiver stops a stream that was running well.
    stream_.OnLinkCheck(false);
    EXPECT_EQ(SendOne(), StreamOutcome::Stopped);
    EXPECT_FALSE(stream_.Stopped(Channel::Cable));
}

TEST_F(LightStreamTest, AFailedSendPausesTheChannelFor200Ms) {
    Attach(SimChannel::Wired);
    SimFault fault;
    fault.kind = SimFaultKind::StatusFF;
    fault.command = kStreamCommand;
    firmware_->AddFault(fault);
    EXPECT_EQ(SendOne(), StreamOutcome::Failed);
    clock_.Advance(199ms);
    EXPECT_EQ(SendOne(), StreamOutcome::Paused);
    EXPECT_EQ(StreamFrames(), 1);
    clock_.Advance(1ms);
    EXPECT_EQ(SendOne(), StreamOutcome::Sent);
    EXPECT_EQ(StreamFrames(), 2);
    EXPECT_FALSE(stream_.Stopped(Channel::Cable));
}

TEST_F(LightStreamTest, ABusyLinkDropsTheChunkWithoutCountingAFailure) {
    Attach(SimChannel::Wired);
    std::thread command;
    {
        // A command stuck waiting for the exchange keeps the link busy.
        std::lock_guard hold(link_.ExchangeLock());
        command = std::thread([this] {
            std::array<std::uint8_t, kPowerStatusBytes> block{};
            (void)link_.ReadPowerStatus(block, kPowerStatusBytes, 0);  // only waits
        });
        ASSERT_TRUE(WaitUntil([this] { return link_.IsBusy(); }));
        EXPECT_EQ(SendOne(), StreamOutcome::Sent);
    }
    command.join();
    EXPECT_EQ(StreamFrames(), 0);
    EXPECT_EQ(SendOne(), StreamOutcome::Sent);
    EXPECT_EQ(StreamFrames(), 1);
}

// The firmware's own latency, in real time: a device that answers in 600 ms.
TEST(LightStreamRealLatencyTest, ADeviceAnsweringIn600MsIsStoppedAfterTwoSends) {
    auto bus = testing::MakeTestBus();
    auto firmware = std::make_shared<SimCommandFirmware>(SimChannel::Wired, MouseMemoryLayout());
    const int unit = bus->Plug(MouseWiredProduct(), firmware);
    CDeviceLink link(bus);
    ASSERT_TRUE(link.OpenChannel(Channel::Cable, CommandPathOf(*bus, unit)));
    firmware->SetLatency(600ms);
    LightStream stream(SteadyClock::Instance());
    LedColourList leds(15);
    EXPECT_EQ(stream.SendLeds(link, leds, 33), StreamOutcome::Slow);
    EXPECT_EQ(stream.SendLeds(link, leds, 33), StreamOutcome::Stopping);
    EXPECT_EQ(stream.SendLeds(link, leds, 33), StreamOutcome::Stopped);
    EXPECT_EQ(CountFrames(*firmware, kStreamCommand), 2);
}

}  // namespace
}  // namespace q731
