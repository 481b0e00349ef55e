// What the companion computes without any socket: the analysis on generated
// sound, and the command state with the calls it makes of the sound source.

#include "lighting_extras/companion/music_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "lighting_extras/companion/command_state.h"

namespace q731::companion {
namespace {

constexpr double kBinHz = static_cast<double>(kCaptureRate) / kFftSize;

std::vector<float> Generate(std::size_t count, const std::function<double(std::size_t)>& sample) {
    std::vector<float> out(count);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<float>(sample(i));
    return out;
}

std::vector<float> Sine(double hz, std::size_t count = 4096, double amplitude = 0.5) {
    return Generate(count, [=](std::size_t i) {
        return amplitude * std::sin(2 * std::numbers::pi * hz * i / kCaptureRate);
    });
}

// Every frame the samples make.
std::vector<SpectrumFrame> Frames(SpectrumAnalyser& analyser, const std::vector<float>& samples) {
    std::vector<SpectrumFrame> frames;
    analyser.Push(samples, [&](const SpectrumFrame& frame) { frames.push_back(frame); });
    return frames;
}

TEST(MusicAnalysis, ASineLightsItsBandWellAboveTheOthers) {
    for (double hz : {150.0, 1000.0, 7000.0, 12000.0}) {
        SCOPED_TRACE(hz);
        SpectrumAnalyser analyser;
        const SpectrumFrame frame = Frames(analyser, Sine(hz)).back();
        const auto peak = static_cast<std::size_t>(
            std::max_element(frame.bands.begin(), frame.bands.end()) - frame.bands.begin());
        EXPECT_NEAR(SpectrumAnalyser::BandCentreHz(peak), hz, kBinHz);
        EXPECT_GT(frame.bands[peak], 1500);  // -6 dB of full scale
        for (std::size_t i = 0; i < kFrameValues; ++i) {
            const double centre = SpectrumAnalyser::BandCentreHz(i);
            if (std::abs(centre - hz) > std::max(hz / 2, 4 * kBinHz)) {
                EXPECT_LT(frame.bands[i], frame.bands[peak] / 3) << centre << " Hz";
            }
        }
    }
}

TEST(MusicAnalysis, SilenceIsExactlyZeroOnceTheWindowHoldsNothingElse) {
    const std::vector<float> silence(2 * kFftSize, 0.0f);
    SpectrumAnalyser fresh;
    SpectrumAnalyser afterTone;
    Frames(afterTone, Sine(100, 4096, 1.0));
    const std::vector<SpectrumFrame> frames = Frames(afterTone, silence);
    const SpectrumFrame zero{};
    for (const SpectrumFrame& frame : Frames(fresh, silence)) {
        EXPECT_EQ(frame.bands, zero.bands);
        EXPECT_EQ(frame.colour, zero.colour);
    }
    // The tone's tail is in the first frames; a whole window later it is gone.
    EXPECT_NE(frames.front().bands, zero.bands);
    EXPECT_EQ(frames.back().bands, zero.bands);
    EXPECT_EQ(frames.back().colour, zero.colour);
}

TEST(MusicAnalysis, LoudAndBrokenInputStaysInRange) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::function<double(std::size_t)>> inputs = {
        [&](std::size_t) { return noise(random); },
        [](std::size_t i) { return (i / 24) % 2 ? 1.0 : -1.0; },  // 1 kHz square
        [](std::size_t i) { return i % 2 ? 8.0 : -8.0; },         // beyond full scale
        [&](std::size_t i) { return i % 3 == 0   ? nan
                                    : i % 3 == 1 ? inf
                                                 : -inf; },
    };
    for (std::size_t input = 0; input < inputs.size(); ++input) {
        SCOPED_TRACE(input);
        SpectrumAnalyser analyser;
        const std::vector<SpectrumFrame> frames = Frames(analyser, Generate(48000, inputs[input]));
        EXPECT_EQ(frames.size(), 48000 / kHopSamples);
        for (const SpectrumFrame& frame : frames) {
            for (std::int32_t level : frame.bands)
                ASSERT_TRUE(level >= 0 && level <= kMaxLevel) << level;
            for (std::int32_t value : frame.colour)
                ASSERT_TRUE(value >= 0 && value <= 255) << value;
        }
    }
}

TEST(MusicAnalysis, ColourIsEachGroupWeightedByTheStyle) {
    // Bass, mid and treble all sound.
    const std::vector<float> mix = Generate(4096, [](std::size_t i) {
        double sum = 0;
        for (double hz : {100.0, 1000.0, 8000.0})
            sum += 0.3 * std::sin(2 * std::numbers::pi * hz * i / kCaptureRate);
        return sum;
    });
    SpectrumAnalyser full;
    const SpectrumFrame reference = Frames(full, mix).back();
    for (int group = 0; group < 3; ++group)
        ASSERT_GT(reference.colour[group], 10) << group;

    const StyleWeights cases[] = {{0, 9, 0}, {4, 0, 9}, {12, -1, 3}};
    for (const StyleWeights& weights : cases) {
        SpectrumAnalyser analyser;
        analyser.SetWeights(weights);
        const SpectrumFrame frame = Frames(analyser, mix).back();
        for (std::size_t group = 0; group < 3; ++group) {
            const int weight = std::clamp(weights[group], 0, kMaxWeight);
            EXPECT_NEAR(frame.colour[group], reference.colour[group] * weight / 9.0, 1.0)
                << "group " << group << " weight " << weights[group];
            if (weight == 0) {
                EXPECT_EQ(frame.colour[group], 0);
            }
        }
        EXPECT_EQ(frame.colour[3] | frame.colour[4] | frame.colour[5], 0);
    }
    EXPECT_EQ(SamplesBlock(reference).size(), kMaxSamplesBlockBytes);
    EXPECT_EQ(ColourBlock(reference).size(), kMaxColourBlockBytes);
}

// The source's calls, in order.
struct RecordingSource final : ISoundSource {
    std::string calls;
    void Connect() override { calls += "connect "; }
    void Disconnect() override { calls += "disconnect "; }
    void StartCapture() override { calls += "start "; }
    void StopCapture() override { calls += "stop "; }
    int Wait(std::span<pollfd>, int) override { return 0; }
};

BusMessage Command(MusicCommand command, std::int64_t value = 0) {
    return {std::string(kMusicCommandName), static_cast<int>(command), value, {}};
}

TEST(MusicCommands, TheSourceFollowsTheStateEachBatchLeaves) {
    using C = MusicCommand;
    struct Case {
        std::vector<std::vector<MusicCommand>> batches;
        std::string calls;
    };
    const Case cases[] = {
        {{{C::Connect, C::Capture, C::Stop}}, "connect "},
        {{{C::Connect}, {C::Capture}}, "connect start "},
        {{{C::Capture}, {C::Register, C::Connect}}, "connect start "},
        {{{C::Connect, C::Capture}, {C::Disconnect}}, "connect start stop disconnect "},
        {{{C::Connect, C::Capture}, {C::Stop, C::Capture}}, "connect start "},
        {{{C::Connect, C::Capture}, {C::Disconnect}, {C::Connect}},
         "connect start stop disconnect connect start "},
    };
    for (const Case& c : cases) {
        RecordingSource source;
        SourceControl control(source);
        MusicCommandState state;
        for (const auto& batch : c.batches) {
            for (MusicCommand command : batch)
                EXPECT_TRUE(state.Apply(Command(command)));
            control.Sync(state);
        }
        EXPECT_EQ(source.calls, c.calls);
        EXPECT_FALSE(state.ExitRequested());
    }
}

TEST(MusicCommands, WeightsAreClampedAndWhatIsUnknownIsIgnored) {
    MusicCommandState state;
    EXPECT_TRUE(state.Apply(Command(MusicCommand::ChannelR, 12)));
    EXPECT_TRUE(state.Apply(Command(MusicCommand::ChannelG, -3)));
    EXPECT_TRUE(state.Apply(Command(MusicCommand::ChannelB, 4)));
    EXPECT_EQ(state.Weights(), (StyleWeights{9, 0, 4}));

    std::string style(kStyleBlockBytes, '\0');
    const std::int32_t rgb[] = {5, 20, -1};
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t byte = 0; byte < 4; ++byte)
            style[4 * i + byte] = static_cast<char>(static_cast<std::uint32_t>(rgb[i]) >> 8 * byte);
    EXPECT_TRUE(state.Apply({std::string(kMusicStyleName), 0, 0, style}));
    EXPECT_EQ(state.Weights(), (StyleWeights{5, 9, 0}));

    const BusMessage ignored[] = {
        {std::string(kMusicStyleName), 0, 0, style.substr(0, 12)},
        {std::string(kMusicCommandName), 9, 0, {}},
        {std::string(kMusicCommandName), -1, 0, {}},
        {std::string(kMusicCommandName), std::int64_t{1} << 40 | 1, 0, {}},
        {"frame", static_cast<int>(MusicCommand::Connect), 0, {}},
    };
    for (const BusMessage& message : ignored)
        EXPECT_FALSE(state.Apply(message)) << message.name << " " << message.wParam;
    EXPECT_EQ(state.Weights(), (StyleWeights{5, 9, 0}));
    EXPECT_FALSE(state.SoundServerWanted());

    EXPECT_TRUE(state.Apply(Command(MusicCommand::Exit)));
    EXPECT_TRUE(state.ExitRequested());
}

}  // namespace
}  // namespace q731::companion
