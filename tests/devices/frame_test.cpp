#include <gtest/gtest.h>

#include "link_fixture.h"

namespace q731 {
namespace {

Bytes Padded(const std::string& head) {
    Bytes bytes = FromHex(head);
    bytes.resize(kFrameBytes, 0);
    return bytes;
}

TEST(LinkFrame, GoldenFrames) {
    const Frame enter = MakeFrame(LinkCommand::EnterConfig);
    EXPECT_EQ(Bytes(enter.begin(), enter.end()), Padded("04 01 00 01"));
    const Frame query = MakeFrame(LinkCommand::QueryLink);
    EXPECT_EQ(Bytes(query.begin(), query.end()), Padded("04 AA 00 AA"));
    const Frame power = MakeFrame(LinkCommand::ReadPowerStatus, 6, 0x0102);
    EXPECT_EQ(Bytes(power.begin(), power.end()), Padded("04 23 00 1A 06 02 01"));
}

TEST(LinkFrame, AllOnesChecksumIs15555) {
    Frame frame{};
    frame.fill(0xFF);
    frame[0] = kFrameReportId;
    StampChecksum(frame);
    EXPECT_EQ(FrameChecksum(frame), 15555);
    EXPECT_EQ(frame[1], 0xC3);
    EXPECT_EQ(frame[2], 0x3C);
}

TEST_F(LinkTest, ShortRequestGoesOutZeroPadded) {
    Attach(SimChannel::Wired);
    const Frame enter = MakeFrame(LinkCommand::EnterConfig);
    Frame reply{};
    std::size_t count = 99;
    ASSERT_EQ(link_->Exchange(std::span(enter).first(4), reply, &count), LinkResult::Ok);
    EXPECT_EQ(count, kFrameBytes);
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0], Padded("04 01 00 01"));
    ExpectNoViolations();
}

TEST_F(LinkTest, OversizedRequestIsRefusedUnsent) {
    Attach(SimChannel::Wired);
    const Bytes request(65, 0);
    Frame reply{};
    EXPECT_EQ(link_->Exchange(request, reply, nullptr), LinkResult::WriteFailed);
    EXPECT_EQ(firmware_->FramesReceived(), 0);
}

}  // namespace
}  // namespace q731
