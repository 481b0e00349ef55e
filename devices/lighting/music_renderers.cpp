#include "devices/lighting/music_renderers.h"

#include <algorithm>

#include "devices/lighting/key_effect_tables.h"
#include "devices/lighting/keyboard_layout.h"
#include "devices/lighting/lighting_tables.h"

namespace q731 {

using namespace key_effects;

namespace {

constexpr int kBarRows = kKeyMatrixRows;
constexpr int kBarColumns = KeyEffects::kColumns;

// The drawing context of one music frame.
struct MusicFrame {
    const AudioLightSetting& audio;
    const LightSetting& light;
    KeyEffects& s;
    LedColourList& leds;
    const MusicLevels& levels;

    int B() const { return BrightnessOfLevel(light.brightness); }
    int Fx() const { return light.direction == 1 ? 1 : 0; }
    bool WheelForeground() const { return audio.sevenColors != 0; }
    Rgb Foreground() const {
        return {audio.foregroundRed, audio.foregroundGreen, audio.foregroundBlue};
    }
    Rgb Background() const {
        return {audio.backgroundRed, audio.backgroundGreen, audio.backgroundBlue};
    }
    std::int64_t Level(int index) const { return levels[static_cast<std::size_t>(index)]; }

    std::uint8_t& I(int key) const { return s.intensity[static_cast<std::size_t>(key)]; }
    // An empty cell, one off the grid or a key below `limit`: the neighbour
    // that lets a bar's key fade.
    bool Below(int column, int row, int limit) const {
        const int key = KeyMatrixCell(column, row);
        return !IsKey(key) || I(key) < limit;
    }
    void Set(int key, Rgb colour, int brightness) const {
        leds.Set(static_cast<std::size_t>(key), LedColour::Of(colour, brightness));
    }
    void StepP(int modulus, int step = 1) const {
        s.position = static_cast<std::uint8_t>(StepPosition(Fx(), modulus, s.position, step));
    }
    void StepQ(int modulus) const {
        s.musicPosition =
            static_cast<std::uint8_t>(StepPosition(Fx(), modulus, s.musicPosition, 1));
    }
    // The bar modes' common rule: a key lit now shows the foreground at full
    // intensity, a fading key the foreground at its intensity, any other the
    // background. True when the key took the foreground colour.
    bool DrawBar(int key, bool lit, int wheelEntry) const {
        if (!IsKey(key)) return false;
        const Rgb foreground = WheelForeground() ? WheelColour(wheelEntry) : Foreground();
        if (lit) I(key) = 255;
        if (I(key) > 9) {
            Set(key, foreground, B() * I(key) / 256);
            return true;
        }
        Set(key, Background(), B());
        return false;
    }
};

// Bar heights and lengths from a mapped value.
std::int64_t ColumnHeight(std::int64_t v) {
    return (v + 100) * 6 / 600;
}

// Consecutive groups of levels, each sum divided by 3.
template <std::size_t N>
std::array<std::int64_t, N> GroupLevels(const MusicLevels& levels,
                                        const std::array<int, N>& sizes) {
    std::array<std::int64_t, N> groups{};
    std::size_t next = 0;
    for (std::size_t g = 0; g < N; ++g) {
        std::int64_t sum = 0;
        for (int i = 0; i < sizes[g]; ++i)
            sum += std::max<std::int64_t>(levels[next++], 0);
        groups[g] = sum / 3;
    }
    return groups;
}

void ColumnBars(const MusicFrame& f) {
    KeyEffects& s = f.s;
    f.StepP(192);
    if (s.musicFrames > 30) {
        s.musicFrames = 0;
        f.StepQ(25);
    }
    ++s.musicFrames;
    for (int column = 0; column < kBarColumns; ++column) {
        const std::int64_t h = ColumnHeight(MusicValue(f.Level(column)));
        const int entry = (s.position + 10 * (column + 1)) % 192;
        for (int row = 0; row < kBarRows; ++row) {
            const int key = KeyMatrixCell(column, row);
            if (!IsKey(key)) continue;
            if (row == 0 || f.Below(column, row - 1, 10)) s.Decay(key, 21);
            f.DrawBar(key, row >= h, entry);
        }
    }
}

void CentreBars(const MusicFrame& f) {
    KeyEffects& s = f.s;
    f.StepP(192);
    f.StepQ(25);
    for (int row = 0; row < kBarRows; ++row) {
        const std::int64_t left =
            (ClampedMusicValue(f.Level((s.musicPosition + 3 * (row + 1)) % 25)) + 100) * 12 / 600;
        const std::int64_t right = (ClampedMusicValue(f.Level(2 * row + 1)) + 100) * 12 / 600;
        for (int column = 0; column < kBarColumns; ++column) {
            const int key = KeyMatrixCell(column, row);
            if (!IsKey(key)) continue;
            const int entry = (s.position + 7 * (column + 1)) % 192;
            if (column <= 8) {
                if (f.Below(column - 1, row, 10)) s.Decay(key, 21);
                f.DrawBar(key, column >= left, entry);
            } else {
                if (column > 20 || f.Below(column + 1, row, 10)) s.Decay(key, 21);
                f.DrawBar(key, column - 9 <= 12 - right, entry);
            }
        }
    }
}

void Ripples(const MusicFrame& f, std::mt19937& random) {
    KeyEffects& s = f.s;
    s.Ignite(f.light.multiColor != 0, random);
    s.Spread();
    for (int key = 0; key < KeyEffects::kKeys; ++key) {
        s.Decay(key, 21);
        auto& colour = s.colour[static_cast<std::size_t>(key)];
        colour = static_cast<std::uint8_t>((colour + 9) % 192);
        if (f.I(key) > 9) {
            const Rgb foreground = f.WheelForeground() ? WheelColour(colour) : f.Foreground();
            f.Set(key, foreground, f.B() * f.I(key) / 256);
        } else {
            f.Set(key, f.Background(), f.B());
        }
    }
}

void Rings(const MusicFrame& f) {
    KeyEffects& s = f.s;
    std::int64_t sum = 0;
    for (int i = 0; i < kMusicLevels; ++i)
        sum += ClampedMusicValue(f.Level(i));
    const auto reach = static_cast<int>(sum / kMusicLevels * 20 / 600);  // 0-20
    f.StepP(192, reach);
    for (int row = 0; row < kDiagonalRows; ++row) {
        const auto entry = static_cast<std::uint8_t>((s.position + 9 * (row + 1)) % 192);
        for (std::uint8_t cell : kDiagonals[static_cast<std::size_t>(row)]) {
            const int key = FindEffectKey(cell);
            if (!IsKey(key)) continue;
            if (row < 20 - reach) {
                f.I(key) = 255;
                s.colour[static_cast<std::size_t>(key)] = entry;
            } else {
                s.Decay(key, 0);
            }
            f.Set(key, WheelColour(s.colour[static_cast<std::size_t>(key)]),
                  f.B() * f.I(key) / 256);
        }
    }
}

void ColumnFlashes(const MusicFrame& f) {
    KeyEffects& s = f.s;
    f.StepP(192);
    if (s.musicFrames > 10) s.musicFrames = 0;
    ++s.musicFrames;
    for (int column = 0; column < kBarColumns; ++column) {
        const std::int64_t h =
            ColumnHeight(MusicValue(f.Level((s.musicPosition + column + 1) % 25)));
        auto& peak = s.peaks[static_cast<std::size_t>(column)];
        if (f.Below(column, kBarRows - 1, 10)) peak = 0;
        for (int row = 0; row < kBarRows; ++row) {
            const int key = KeyMatrixCell(column, row);
            if (!IsKey(key)) continue;
            if (row == 0 || f.Below(column, row - 1, 5)) s.Decay(key, 21);
            f.DrawBar(key, false, s.colour[static_cast<std::size_t>(key)]);
            // At most one key of a column starts a flash in a frame; it shows
            // from the next frame on.
            if (row >= h && peak == 0) {
                f.I(key) = 255;
                peak = 1;
            }
        }
    }
}

void LeftBars(const MusicFrame& f) {
    KeyEffects& s = f.s;
    const auto groups = GroupLevels(f.levels, std::array<int, 6>{2, 3, 3, 4, 5, 7});
    f.StepP(192);
    f.StepQ(8);
    for (int row = 0; row < kBarRows; ++row) {
        const std::int64_t length =
            23 - (ClampedMusicValue(groups[static_cast<std::size_t>(5 - row)]) + 100) * 23 / 600;
        for (int column = 0; column < kBarColumns; ++column) {
            const int key = KeyMatrixCell(column, row);
            if (!IsKey(key)) continue;
            if (column > 20 || f.Below(column + 1, row, 10)) s.Decay(key, 21);
            f.DrawBar(key, column <= length, (s.position + 3 * (column + 1)) % 192);
        }
    }
}

void AlternatingBars(const MusicFrame& f) {
    KeyEffects& s = f.s;
    const auto groups = GroupLevels(f.levels, std::array<int, 6>{2, 2, 3, 4, 5, 5});
    f.StepP(192);
    f.StepQ(25);
    for (int row = 0; row < kBarRows; ++row) {
        const std::int64_t length =
            ClampedMusicValue(groups[static_cast<std::size_t>(row)]) * 23 / 600;
        int entry = s.position;
        for (int column = 0; column < kBarColumns; ++column) {
            const int key = KeyMatrixCell(column, row);
            if (!IsKey(key)) continue;
            bool lit = false;
            if (row % 2 == 0) {  // from the right
                if (column < 2 || f.Below(column - 1, row, 10)) s.Decay(key, 21);
                lit = column >= length;
            } else {  // from the left
                if (column > 20 || f.Below(column + 1, row, 10)) s.Decay(key, 21);
                lit = column <= 23 - length;
            }
            if (f.DrawBar(key, lit, entry) && f.WheelForeground()) entry = (entry + 2) % 192;
        }
    }
}

}  // namespace

MusicLevels TakeMusicLevels(std::span<const std::int32_t> values) {
    MusicLevels levels{};
    std::copy_n(values.begin(), std::min(values.size(), levels.size()), levels.begin());
    return levels;
}

std::int64_t MusicValue(std::int64_t level) {
    return 600 - std::max<std::int64_t>(level, 0) * 600 / 2000;
}

std::int64_t ClampedMusicValue(std::int64_t level) {
    const std::int64_t v = MusicValue(level);
    return v < 0 ? 500 : v;
}

bool RenderMusicFrame(const AudioLightSetting& audio, const LightSetting& light, KeyEffects& state,
                      LedColourList& leds, std::mt19937& random) {
    const MusicLevels levels = state.musicLevels;
    state.musicLevels.fill(0);
    const MusicFrame f{audio, light, state, leds, levels};
    switch (audio.audioMode) {
        case 0:
            ColumnBars(f);
            return true;
        case 1:
            CentreBars(f);
            return true;
        case 2:
            Ripples(f, random);
            return true;
        case 3:
            Rings(f);
            return true;
        case 4:
            ColumnFlashes(f);
            return true;
        case 5:
            LeftBars(f);
            return true;
        case 6:
            AlternatingBars(f);
            return true;
        default:
            return false;
    }
}

bool MusicRippleTrigger::Add(const MusicLevels& levels) {
    std::int64_t sum = 0;
    for (std::int32_t level : levels)
        sum += ClampedMusicValue(level);
    const std::int64_t average = sum / kMusicLevels;
    sum_ += static_cast<int>(25 - average * 25 / 600);
    if (sum_ < kThreshold) return false;
    sum_ = 0;
    return true;
}

}  // namespace q731
