#include "lighting_extras/music_analyser.h"

#include <algorithm>
#include <limits>

namespace q731 {

namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

std::int32_t Saturate(std::int64_t value) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(), kInt32Max));
}

// Sum of non-negative terms that stops at the largest int64.
std::int64_t AddSaturating(std::int64_t sum, std::int64_t term) {
    return sum > std::numeric_limits<std::int64_t>::max() - term
               ? std::numeric_limits<std::int64_t>::max()
               : sum + term;
}

std::int32_t ReadLittleEndian(std::string_view bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i]))
                 << (8 * i);
    return static_cast<std::int32_t>(value);
}

}  // namespace

std::optional<MusicBlockData> CheckMusicBlock(int type, std::string_view payload) {
    MusicBlockData block;
    std::size_t maxBytes = 0;
    if (type == static_cast<int>(MusicBlock::Samples)) {
        block.type = MusicBlock::Samples;
        maxBytes = kMaxSamplesBlockBytes;
    } else if (type == static_cast<int>(MusicBlock::Colour)) {
        block.type = MusicBlock::Colour;
        maxBytes = kMaxColourBlockBytes;
    } else {
        return std::nullopt;
    }
    if (payload.empty() || payload.size() > maxBytes || payload.size() % 4 != 0)
        return std::nullopt;
    const std::size_t values = payload.size() / 4;
    for (std::size_t i = 0; i < values; ++i)
        block.values[i] = ReadLittleEndian(payload, i * 4);
    // A short samples block is a whole frame whose remaining values are zero.
    block.count = block.type == MusicBlock::Samples ? kFrameValues : values;
    return block;
}

MusicAnalyser::MusicAnalyser(Clock& clock) : clock_(clock) {}

bool MusicAnalyser::HandleBlock(int type, std::string_view payload) {
    const std::optional<MusicBlockData> block = CheckMusicBlock(type, payload);
    if (!block) return false;
    HandleBlock(*block);
    return true;
}

void MusicAnalyser::HandleBlock(const MusicBlockData& block) {
    if (block.type == MusicBlock::Samples) {
        HandleSamples(block.values);
    } else if (hostColour_) {
        hostColour_(block.Values().first(std::min(block.count, kColourValues)));
    }
}

void MusicAnalyser::HandleSamples(const Frame& samples) {
    active_ = true;
    lastFrame_ = clock_.Now();
    ++frameCounter_;

    Frame differences{};
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < kFrameValues; ++i) {
        const std::int64_t delta = std::int64_t{samples[i]} - std::int64_t{previous_[i]};
        differences[i] = Saturate(delta < 0 ? -delta : delta);
        sum = AddSaturating(sum, differences[i]);
    }
    previous_ = samples;

    differences_.push_back(differences);
    usable_.push_back(sum <= 0 || sum >= kNoiseSum);
    if (differences_.size() < kQueueDepth) return;
    if (!std::all_of(usable_.begin(), usable_.end(), [](bool usable) { return usable; })) {
        ClearQueues();
        return;
    }
    differences_.pop_front();
    usable_.pop_front();
    ComputeLevels(differences_.back());
}

void MusicAnalyser::ComputeLevels(const Frame& differences) {
    // Band b sums differences 5b .. 5b+3 and carries a quarter of its old level.
    const auto smooth = [&differences](std::int32_t& level, std::size_t band) {
        std::int64_t sum = level;
        for (std::size_t i = 0; i < kGroupWidth; ++i)
            sum += differences[band * kGroupStride + i];
        level = Saturate(sum / 4);
    };
    for (std::size_t b = 0; b < kBands; ++b) {
        smooth(levels_[b], b);
        heldLevels_[b] = std::max(heldLevels_[b], levels_[b]);
    }
    for (std::size_t b = 0; b < kCoarseBands; ++b) {
        smooth(coarse_[b], b);
        heldCoarse_[b] = std::max(heldCoarse_[b], coarse_[b]);
    }
    if (frameCounter_ < kFramesPerSend) return;
    frameCounter_ = 0;

    Frame buffer{};
    std::copy(heldLevels_.begin(), heldLevels_.end(), buffer.begin());
    if (keyboards_) keyboards_(buffer);
    // The mouse's levels are the coarse ones over the first bands, read from
    // the second value on: kMouseValues values end with the buffer.
    std::copy(heldCoarse_.begin(), heldCoarse_.end(), buffer.begin());
    if (mouse_) mouse_(std::span<const std::int32_t>(buffer).subspan(1, kMouseValues));
    heldLevels_.fill(0);
    heldCoarse_.fill(0);
}

void MusicAnalyser::CheckSilence() {
    if (!active_ || clock_.Now() - lastFrame_ <= kSilence) return;
    ClearQueues();
    active_ = false;
}

void MusicAnalyser::ClearQueues() {
    differences_.clear();
    usable_.clear();
    heldLevels_.fill(0);
    heldCoarse_.fill(0);
}

}  // namespace q731
