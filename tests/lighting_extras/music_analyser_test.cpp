// Music analysis on a manual clock: which blocks are taken, when the queues
// survive, the smoothed levels and the buffers the devices receive.

#include "lighting_extras/music_analyser.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace q731 {
namespace {

using namespace std::chrono_literals;
using Frame = std::array<std::int32_t, kFrameValues>;
using Calls = std::vector<std::vector<std::int32_t>>;

std::string Payload(const std::vector<std::int32_t>& values) {
    std::string bytes;
    for (const std::int32_t value : values) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<char>(bits >> (8 * i) & 0xFF));
    }
    return bytes;
}

// All zero but `value` at `index`.
Frame With(std::size_t index, std::int32_t value) {
    Frame frame{};
    frame[index] = value;
    return frame;
}

// Band b's four summed values are times * (10(b+1) .. 10(b+1)+3); every
// fifth value, which no band reads, is large.
Frame Groups(std::int32_t times) {
    Frame frame{};
    for (std::size_t b = 0; b < MusicAnalyser::kBands; ++b) {
        for (std::size_t i = 0; i < 4; ++i)
            frame[5 * b + i] = times * static_cast<std::int32_t>(10 * (b + 1) + i);
        frame[5 * b + 4] = times * 7777;
    }
    return frame;
}

class MusicAnalyserTest : public ::testing::Test {
protected:
    static MusicAnalyser::Sink Recorder(Calls& calls) {
        return
            [&calls](std::span<const std::int32_t> v) { calls.emplace_back(v.begin(), v.end()); };
    }
    MusicAnalyserTest() {
        analyser_.SetKeyboardSink(Recorder(keyboards_));
        analyser_.SetMouseSink(Recorder(mouse_));
        analyser_.SetHostColourSink(Recorder(colours_));
    }
    void Feed(const Frame& frame, int times = 1) {
        for (int i = 0; i < times; ++i)
            analyser_.HandleSamples(frame);
    }

    ManualClock clock_;
    MusicAnalyser analyser_{clock_};
    Calls keyboards_, mouse_, colours_;
};

TEST_F(MusicAnalyserTest, OnlyWholeBlocksOfAKnownTypeWithinTheirSizeAreTaken) {
    struct Case {
        int type;
        std::size_t bytes;
        std::size_t count;  // 0: refused
    };
    for (const Case& c : {Case{1, 4, kFrameValues}, Case{1, 2000, kFrameValues}, Case{1, 2004, 0},
                          Case{1, 0, 0}, Case{1, 6, 0}, Case{2, 24, 6}, Case{2, 8, 2},
                          Case{2, 28, 0}, Case{2, 3, 0}, Case{0, 8, 0}, Case{3, 8, 0}}) {
        SCOPED_TRACE(::testing::Message() << "type " << c.type << ", " << c.bytes << " bytes");
        const std::optional<MusicBlockData> block =
            CheckMusicBlock(c.type, std::string(c.bytes, '\x01'));
        ASSERT_EQ(block.has_value(), c.count != 0);
        if (!block) continue;
        EXPECT_EQ(block->count, c.count);
        EXPECT_EQ(block->values[c.bytes / 4 - 1], 0x01010101);
        EXPECT_EQ(block->values[kFrameValues - 1], c.bytes == 2000 ? 0x01010101 : 0);
    }
    EXPECT_FALSE(analyser_.HandleBlock(1, "abc"));
    EXPECT_FALSE(analyser_.Active());

    // Little-endian values; a colour block reaches the host as it came.
    EXPECT_EQ(CheckMusicBlock(1, Payload({1, -2}))->values[1], -2);
    EXPECT_EQ(CheckMusicBlock(2, Payload({1, -2}))->values[0], 1);
    EXPECT_TRUE(analyser_.HandleBlock(2, Payload({255, -1, 7})));
    EXPECT_EQ(colours_, (Calls{{255, -1, 7}}));
    EXPECT_FALSE(analyser_.Active());
}

TEST_F(MusicAnalyserTest, IdenticalFramesGiveZeroLevelsFromTheNewestDifferences) {
    Feed(Groups(1), 3);  // the first differs from the zero start
    EXPECT_EQ(analyser_.QueuedDifferences(), 3u);
    EXPECT_TRUE(keyboards_.empty());
    Feed(Groups(1));
    EXPECT_EQ(analyser_.QueuedDifferences(), 3u);
    EXPECT_EQ(analyser_.QueuedFlags(), 3u);
    EXPECT_EQ(keyboards_, Calls(1, std::vector<std::int32_t>(kFrameValues, 0)));
    EXPECT_EQ(mouse_, Calls(1, std::vector<std::int32_t>(kFrameValues - 1, 0)));
}

TEST_F(MusicAnalyserTest, AFrameOfNoiseEmptiesTheQueues) {
    // Sum of a frame's differences -> queue length after three steady frames and it.
    for (const auto& [sum, queued] : {std::pair{0, 3u}, std::pair{1, 0u}, std::pair{50, 0u},
                                      std::pair{99, 0u}, std::pair{100, 3u}}) {
        MusicAnalyser analyser(clock_);
        for (int i = 0; i < 3; ++i)
            analyser.HandleSamples(Frame{});
        analyser.HandleSamples(With(499, sum));
        EXPECT_EQ(analyser.QueuedDifferences(), queued) << sum;
        EXPECT_EQ(analyser.QueuedFlags(), queued) << sum;
    }

    // After noise, levels wait for four new steady frames.
    Feed(Frame{}, 3);
    Feed(With(0, 50));
    Feed(Groups(1), 3);
    EXPECT_EQ(analyser_.QueuedDifferences(), 3u);
    EXPECT_TRUE(keyboards_.empty());
    Feed(Groups(2));
    EXPECT_EQ(analyser_.Levels()[0], 11);  // (0 + 10 + 11 + 12 + 13) / 4
}

TEST_F(MusicAnalyserTest, LevelsAreSmoothedAndSentEveryThirdFrameTheMouseFromTheSecondValue) {
    Feed(Frame{}, 3);
    Feed(Groups(1));
    // Band b sums 40(b+1) + 6: a quarter of it truncates to 10(b+1) + 1.
    std::vector<std::int32_t> keyboard(kFrameValues, 0);
    for (std::size_t b = 0; b < MusicAnalyser::kBands; ++b)
        keyboard[b] = static_cast<std::int32_t>(10 * (b + 1) + 1);
    EXPECT_EQ(keyboards_, Calls{keyboard});
    // Coarse levels 1-9 (equal to the bands they share), band levels 10-24, zeros.
    EXPECT_EQ(mouse_, Calls{std::vector(keyboard.begin() + 1, keyboard.end())});

    Feed(Groups(2));                         // the same differences again
    EXPECT_EQ(analyser_.Levels()[0], 14);    // (11 + 46) / 4
    EXPECT_EQ(analyser_.Levels()[24], 314);  // (251 + 1006) / 4
    EXPECT_EQ(analyser_.CoarseLevels()[0], 14);
    Feed(Groups(3));
    EXPECT_EQ(keyboards_.size(), 1u);
    Feed(Groups(4));
    EXPECT_EQ(keyboards_.size(), 2u);
    EXPECT_EQ(mouse_.size(), 2u);
}

TEST_F(MusicAnalyserTest, ABeatBetweenTwoSendsIsHeldUntilTheNext) {
    Feed(Frame{}, 4);  // sent: all zero
    Feed(Groups(1));   // the beat, in the frame after a send
    Feed(Groups(1), 2);
    ASSERT_EQ(keyboards_.size(), 2u);
    EXPECT_EQ(analyser_.Levels()[0], 0);  // the steady frames after it differ by nothing
    EXPECT_EQ(keyboards_[1][0], 11);      // (0 + 10 + 11 + 12 + 13) / 4
    EXPECT_EQ(mouse_[1][0], 21);          // coarse band 1
    Feed(Groups(1), 3);                   // the hold ends with the send
    EXPECT_EQ(keyboards_[2][0], 0);
}

TEST_F(MusicAnalyserTest, ExtremeSamplesSaturateWithoutOverflow) {
    const std::string low = Payload(std::vector<std::int32_t>(kFrameValues, INT_MIN));
    const std::string high = Payload(std::vector<std::int32_t>(kFrameValues, INT_MAX));
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(analyser_.HandleBlock(1, i % 2 ? high : low));
    for (const std::int32_t level : analyser_.Levels())
        EXPECT_EQ(level, INT_MAX);
    for (const std::int32_t level : analyser_.CoarseLevels())
        EXPECT_EQ(level, INT_MAX);
}

TEST_F(MusicAnalyserTest, SilenceFlushesOnlyAfterMoreThanHalfASecond) {
    Feed(Frame{}, 2);
    clock_.Advance(500ms);
    analyser_.CheckSilence();
    EXPECT_TRUE(analyser_.Active());
    EXPECT_EQ(analyser_.QueuedDifferences(), 2u);

    clock_.Advance(1ms);
    analyser_.CheckSilence();
    EXPECT_FALSE(analyser_.Active());
    EXPECT_EQ(analyser_.QueuedDifferences(), 0u);
    EXPECT_EQ(analyser_.QueuedFlags(), 0u);
    Feed(Frame{});
    EXPECT_TRUE(analyser_.Active());
}

}  // namespace
}  // namespace q731
