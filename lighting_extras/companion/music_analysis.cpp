#include "lighting_extras/companion/music_analysis.h"

#include <kissfft/kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace q731::companion {

namespace {

constexpr std::size_t kBins = kFftSize / 2 + 1;
constexpr double kBinHz = static_cast<double>(kCaptureRate) / kFftSize;
// A Hann-windowed sine of amplitude A peaks at A * N / 4 in its bin.
constexpr double kFullScale = kFftSize / 4.0;

double BandRatio() {
    return std::pow(kHighestHz / kLowestHz, 1.0 / (kFrameValues - 1));
}

std::int32_t LevelOf(double magnitude) {
    if (!(magnitude > 0)) return 0;
    const double db = 20.0 * std::log10(magnitude / kFullScale);
    const double level = (db - kFloorDb) / -kFloorDb * kMaxLevel;
    return static_cast<std::int32_t>(std::clamp(std::lround(level), 0L, long{kMaxLevel}));
}

void PutInt32(std::string& out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
}

}  // namespace

struct SpectrumAnalyser::Fft {
    kiss_fftr_cfg config = kiss_fftr_alloc(static_cast<int>(kFftSize), 0, nullptr, nullptr);
    std::vector<kiss_fft_cpx> spectrum = std::vector<kiss_fft_cpx>(kBins);
    ~Fft() { kiss_fftr_free(config); }
};

SpectrumAnalyser::SpectrumAnalyser()
    : fft_(std::make_unique<Fft>()),
      window_(kFftSize),
      ring_(kFftSize, 0.0f),
      input_(kFftSize),
      magnitude_(kBins),
      bands_(kFrameValues),
      binGroup_(kBins) {
    for (std::size_t i = 0; i < kFftSize; ++i) {
        window_[i] =
            static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / kFftSize));
    }
    for (std::size_t i = 0; i < kBins; ++i) {
        const double hz = static_cast<double>(i) * kBinHz;
        binGroup_[i] = hz < kLowestHz || hz > kHighestHz ? 3
                       : hz < kBassTopHz                 ? 0
                       : hz < kMidTopHz                  ? 1
                                                         : 2;
    }
    const double halfStep = std::sqrt(BandRatio());
    for (std::size_t i = 0; i < kFrameValues; ++i) {
        const double centre = BandCentreHz(i);
        const double low = centre / halfStep / kBinHz;
        const double high = std::min(centre * halfStep / kBinHz, double(kBins - 1));
        Band& band = bands_[i];
        band.centre = centre / kBinHz;
        band.first = static_cast<std::size_t>(std::ceil(low));
        band.last = static_cast<std::size_t>(std::floor(high));
        band.narrow = band.last < band.first || high - low < 1.0;
    }
}

SpectrumAnalyser::~SpectrumAnalyser() = default;

double SpectrumAnalyser::BandCentreHz(std::size_t index) {
    return kLowestHz * std::pow(BandRatio(), static_cast<double>(index));
}

void SpectrumAnalyser::SetWeights(const StyleWeights& weights) {
    for (std::size_t i = 0; i < weights.size(); ++i)
        weights_[i] = std::clamp(weights[i], 0, kMaxWeight);
}

void SpectrumAnalyser::Reset() {
    std::fill(ring_.begin(), ring_.end(), 0.0f);
    position_ = 0;
    sinceFrame_ = 0;
}

void SpectrumAnalyser::Push(std::span<const float> samples,
                            const std::function<void(const SpectrumFrame&)>& onFrame) {
    for (float sample : samples) {
        ring_[position_] = std::isfinite(sample) ? std::clamp(sample, -1.0f, 1.0f) : 0.0f;
        position_ = (position_ + 1) % kFftSize;
        if (++sinceFrame_ < kHopSamples) continue;
        sinceFrame_ = 0;
        Analyse();
        if (onFrame) onFrame(frame_);
    }
}

void SpectrumAnalyser::Analyse() {
    bool silent = true;
    for (std::size_t i = 0; i < kFftSize; ++i) {
        const float sample = ring_[(position_ + i) % kFftSize];
        silent = silent && sample == 0.0f;
        input_[i] = sample * window_[i];
    }
    if (silent) {
        frame_ = SpectrumFrame{};
        return;
    }
    kiss_fftr(fft_->config, input_.data(), fft_->spectrum.data());
    for (std::size_t i = 0; i < kBins; ++i) {
        const kiss_fft_cpx& bin = fft_->spectrum[i];
        magnitude_[i] = std::sqrt(bin.r * bin.r + bin.i * bin.i);
    }
    for (std::size_t i = 0; i < kFrameValues; ++i) {
        const Band& band = bands_[i];
        double magnitude = 0;
        if (band.narrow) {
            const auto below = std::min(static_cast<std::size_t>(band.centre), kBins - 2);
            const double fraction = band.centre - static_cast<double>(below);
            magnitude = magnitude_[below] * (1.0 - fraction) + magnitude_[below + 1] * fraction;
        } else {
            magnitude = *std::max_element(magnitude_.begin() + static_cast<long>(band.first),
                                          magnitude_.begin() + static_cast<long>(band.last) + 1);
        }
        frame_.bands[i] = LevelOf(magnitude);
    }

    // Bass, mid and treble: the power of the group's bins, as the level of
    // one sine of that power, weighted. A sine puts its power into its bin
    // and half the amplitude into each neighbour.
    std::array<double, 4> power{};
    for (std::size_t i = 0; i < kBins; ++i)
        power[binGroup_[i]] += double(magnitude_[i]) * magnitude_[i];
    frame_.colour = {};
    for (std::size_t group = 0; group < 3; ++group) {
        const double level = LevelOf(std::sqrt(power[group] / 1.5));
        const double value = level / kMaxLevel * 255.0 * weights_[group] / kMaxWeight;
        frame_.colour[group] = static_cast<std::int32_t>(std::clamp(std::lround(value), 0L, 255L));
    }
}

std::string SamplesBlock(const SpectrumFrame& frame) {
    std::string out;
    out.reserve(kMaxSamplesBlockBytes);
    for (std::int32_t value : frame.bands)
        PutInt32(out, value);
    return out;
}

std::string ColourBlock(const SpectrumFrame& frame) {
    std::string out;
    out.reserve(kMaxColourBlockBytes);
    for (std::int32_t value : frame.colour)
        PutInt32(out, value);
    return out;
}

}  // namespace q731::companion
