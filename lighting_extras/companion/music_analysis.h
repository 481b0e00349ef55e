#pragma once
// What the companion makes of the captured sound: every kHopSamples (5 ms) the
// latest kFftSize samples are Hann-windowed and transformed, and the spectrum
// becomes kFrameValues log-spaced band levels from kLowestHz to kHighestHz
// plus the colour block (bass, mid, treble, each weighted by the style).
//
// Band levels are decibels relative to a full-scale sine, mapped linearly from
// kFloorDb (level 0) to 0 dB (kMaxLevel) and clamped, so loud music spans the
// range and digital silence is exactly 0. A colour value is the loudness of
// its group's frequencies (all the power of their bins, on the same scale as
// the bands) mapped to 0-255 and multiplied by weight/9; the block's values
// 3-5 are always 0.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "lighting_extras/music_link.h"

namespace q731::companion {

inline constexpr int kCaptureRate = 48000;
inline constexpr std::size_t kFftSize = 1024;
inline constexpr std::size_t kHopSamples = 240;
inline constexpr double kLowestHz = 30.0;
inline constexpr double kHighestHz = 16000.0;
inline constexpr double kFloorDb = -70.0;
inline constexpr std::int32_t kMaxLevel = 2000;
inline constexpr int kMaxWeight = 9;
// Where the colour groups meet.
inline constexpr double kBassTopHz = 250.0;
inline constexpr double kMidTopHz = 4000.0;

struct SpectrumFrame {
    std::array<std::int32_t, kFrameValues> bands{};
    std::array<std::int32_t, kColourValues> colour{};
};

// The style's three weights (R weighs bass, G mid, B treble), each 0-9.
using StyleWeights = std::array<int, 3>;

class SpectrumAnalyser {
public:
    SpectrumAnalyser();
    ~SpectrumAnalyser();
    SpectrumAnalyser(const SpectrumAnalyser&) = delete;
    SpectrumAnalyser& operator=(const SpectrumAnalyser&) = delete;

    // Clamped to 0-9.
    void SetWeights(const StyleWeights& weights);
    // Forgets the samples seen so far (a new stream starts from silence).
    void Reset();
    // Takes captured samples; `onFrame` runs for every hop they complete.
    // Samples that are not finite count as 0, louder ones are clipped to +-1.
    void Push(std::span<const float> samples,
              const std::function<void(const SpectrumFrame&)>& onFrame);

    // The centre frequency of band `index`.
    static double BandCentreHz(std::size_t index);

private:
    void Analyse();

    struct Band {
        // Narrower than a bin: the magnitude interpolated at `centre` (in bins);
        // otherwise the largest magnitude of bins first..last.
        bool narrow = false;
        double centre = 0;
        std::size_t first = 0;
        std::size_t last = 0;
    };

    struct Fft;
    std::unique_ptr<Fft> fft_;
    std::vector<float> window_;
    std::vector<float> ring_;
    std::vector<float> input_;
    std::vector<float> magnitude_;
    std::vector<Band> bands_;
    // Each bin's colour group (0 bass, 1 mid, 2 treble; 3 none).
    std::vector<std::size_t> binGroup_;
    std::size_t position_ = 0;
    std::size_t sinceFrame_ = 0;
    StyleWeights weights_{kMaxWeight, kMaxWeight, kMaxWeight};
    SpectrumFrame frame_;
};

// The frame's two blocks as "frame" message payloads: int32 little-endian.
std::string SamplesBlock(const SpectrumFrame& frame);
std::string ColourBlock(const SpectrumFrame& frame);

}  // namespace q731::companion
