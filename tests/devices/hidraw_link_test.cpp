// The command link on the hidraw back end, where the command collection shares
// its node with the mouse, key and event collections.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

#include "devices/device_link.h"
#include "platform/log.h"
#include "sim/sim_bus.h"
#include "sim/sim_products.h"
#include "tests/support/hex.h"
#include "tests/support/sim_helpers.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using testing::Bytes;

// Answers every frame with its header echoed, status 0 and the frame's number
// (from 1) as data byte 0, after the delay the test set for that number, and
// surrounds every answer with a mouse movement, a key and an event report.
class NumberedAnswers final : public ISimFirmware {
public:
    void AnswerAfter(int frame, milliseconds delay) { delays_[frame] = delay; }
    void SetAnswerBytes(std::size_t bytes) { answerBytes_ = bytes; }

    bool OnOutputReport(uint16_t interfaceNumber, std::span<const uint8_t> report,
                        const SimPort& port) override {
        const int number = ++frames_;
        const auto found = delays_.find(number);
        const std::chrono::microseconds delay = found == delays_.end() ? 0ms : found->second;
        Bytes answer(kFrameBytes, 0);
        std::copy_n(report.begin(), std::min(report.size(), kFrameData - 1), answer.begin());
        answer[kFrameData] = static_cast<uint8_t>(number);
        answer.resize(answerBytes_);
        const Bytes noise[] = {testing::FromHex("01 00 05 fb 00"), testing::FromHex("02 81"),
                               testing::FromHex("03 01 04")};
        for (const Bytes& before : noise)
            port.SendInput(interfaceNumber, before, delay);
        port.SendInput(interfaceNumber, answer, delay);
        for (const Bytes& after : noise)
            port.SendInput(interfaceNumber, after, delay + 1ms);
        return true;
    }

private:
    std::map<int, milliseconds> delays_;
    std::size_t answerBytes_ = kFrameBytes;
    int frames_ = 0;
};

struct HidrawLinkTest : ::testing::Test {
    void SetUp() override {
        unit = bus->Plug(MouseWiredProduct(), firmware);
        link.SetTimeouts(Channel::Cable, {200, 250, 200, 250});
        ASSERT_TRUE(link.OpenChannel(Channel::Cable, testing::CommandPathOf(*bus, unit)));
    }

    std::shared_ptr<SimBus> bus = std::make_shared<SimBus>(SimBusMode::Hidraw);
    std::shared_ptr<NumberedAnswers> firmware = std::make_shared<NumberedAnswers>();
    CDeviceLink link{bus};
    int unit = 0;
};

struct Request {
    bool power;  // ReadPowerStatus; otherwise a one-byte ReadMemory
    milliseconds answerAfter;
    milliseconds pauseAfter;
    LinkResult expected;
};

TEST_F(HidrawLinkTest, EveryRequestGetsItsOwnAnswerOrATimeOutNeverAnOldOne) {
    // The host gives up after 250 ms; a late answer comes after 350.
    const Request requests[] = {
        // Its answer arrives after the host gave up and waits, among event and
        // key reports, until the next request drains it.
        {true, 350ms, 200ms, LinkResult::Failed},
        {true, 0ms, 0ms, LinkResult::Ok},
        // Given up; its answer comes while the next request waits for its own.
        {true, 350ms, 0ms, LinkResult::Failed},
        {false, 150ms, 0ms, LinkResult::Ok},
        {true, 0ms, 0ms, LinkResult::Ok},
    };
    for (std::size_t index = 0; index < std::size(requests); ++index) {
        firmware->AnswerAfter(static_cast<int>(index) + 1, requests[index].answerAfter);
    }
    for (std::size_t index = 0; index < std::size(requests); ++index) {
        const Request& request = requests[index];
        std::array<uint8_t, kPowerStatusBytes> data{};
        const LinkResult result = request.power ? link.ReadPowerStatus(data, kPowerStatusBytes, 0)
                                                : link.ReadMemory(std::span(data).first(1), 0x10);
        EXPECT_EQ(result, request.expected) << "request " << index + 1;
        if (result == LinkResult::Ok) {
            EXPECT_EQ(data[0], index + 1) << "an old answer";
        }
        std::this_thread::sleep_for(request.pauseAfter);
    }
}

TEST_F(HidrawLinkTest, ShortAnswersCountWhenTheyCarryWhatWasAskedFor) {
    struct Case {
        std::size_t answerBytes;
        LinkResult enterConfig;
        LinkResult powerStatus;
    };
    const Case cases[] = {
        {kFrameData, LinkResult::Ok, LinkResult::Failed},
        {kFrameData + kPowerStatusBytes, LinkResult::Ok, LinkResult::Ok},
        {kFrameData - 1, LinkResult::Failed, LinkResult::Failed},
    };
    for (const Case& c : cases) {
        firmware->SetAnswerBytes(c.answerBytes);
        EXPECT_EQ(link.EnterConfig(), c.enterConfig) << c.answerBytes;
        std::array<uint8_t, kPowerStatusBytes> power{0xEE};
        EXPECT_EQ(link.ReadPowerStatus(power, kPowerStatusBytes, 0), c.powerStatus)
            << c.answerBytes;
    }
}

TEST(HidrawLinkOpen, ACommandCollectionWithoutSixtyFourByteFramesIsLoggedWithItsDescriptor) {
    // Page 0xFF1C usage 0x92, report 4 with 63 bytes in but only 31 out.
    const Bytes descriptor = testing::FromHex(
        "06 1c ff 09 92 a1 01 85 04 15 00 26 ff 00 75 08 95 3f 09 01 81 02 95 1f 09 01 91 02 c0");
    auto bus = std::make_shared<SimBus>(SimBusMode::Hidraw);
    const int unit = bus->Plug({.name = "narrow",
                                .vendorId = 0x320F,
                                .productId = 0x221C,
                                .interfaces = {{1, descriptor}}});
    CDeviceLink link(bus);
    LogCapture log;
    ASSERT_TRUE(link.OpenChannel(Channel::Cable, bus->PathsOf(unit).at(0)));
    EXPECT_TRUE(log.Contains("its output reports have 32 bytes"))
        << ::testing::PrintToString(log.Lines());
    EXPECT_TRUE(log.Contains(testing::ToHex(descriptor, 0)));
}

}  // namespace
}  // namespace q731
