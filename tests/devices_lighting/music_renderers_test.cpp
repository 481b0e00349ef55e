// The keyboard's music mode: the level mapping and its edge cases, pushes drawn
// once, bars shrinking from their free end, one flash per column, the ripple
// trigger, and every audio mode over levels from INT_MIN to INT_MAX (the
// sanitizers watch every index and every sum).

#include "devices/lighting/music_renderers.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "devices/lighting/keyboard_layout.h"

namespace q731 {
namespace {

struct Music {
    explicit Music(int audioMode, int fx = 1, int wheel = 0) {
        audio.audioMode = static_cast<std::uint8_t>(audioMode);
        audio.backgroundBlue = 40;
        audio.foregroundRed = 255;
        audio.sevenColors = static_cast<std::uint8_t>(wheel);
        light.brightness = 4;
        light.direction = static_cast<std::uint8_t>(fx);
        light.multiColor = static_cast<std::uint8_t>(wheel);
        state.Clear();
    }
    // Pushes `level` to every column, or to `only`, and draws a frame.
    bool Frame(std::int32_t level, int only = -1) {
        for (int i = 0; i < kMusicLevels; ++i) {
            if (only < 0 || i == only) state.musicLevels[static_cast<std::size_t>(i)] = level;
        }
        return Draw();
    }
    bool Draw() { return RenderMusicFrame(audio, light, state, leds, random); }
    int I(int column, int row) const { return state.intensity[KeyMatrixCell(column, row)]; }
    std::vector<int> LitRows(int column) const {
        std::vector<int> rows;
        for (int row = 0; row < kKeyMatrixRows; ++row) {
            if (KeyMatrixCell(column, row) < 170 && I(column, row) == 255) rows.push_back(row);
        }
        return rows;
    }

    AudioLightSetting audio;
    LightSetting light;
    KeyEffects state;
    LedColourList leds{200};
    std::mt19937 random{99};
};

TEST(MusicLevels, MappingInSixtyFourBitsWithSilenceForNegativeLevels) {
    struct Row {
        std::int64_t level, v, clamped;
    };
    const Row rows[] = {
        {0, 600, 600},
        {2000, 0, 0},
        {4000, -600, 500},
        {-5, 600, 600},
        {INT_MIN, 600, 600},
        {1000, 300, 300},
        {INT_MAX, 600 - 644245094, 500},
        {7LL * INT_MAX / 3, 600 - 7LL * INT_MAX / 3 * 600 / 2000, 500},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(MusicValue(row.level), row.v) << row.level;
        EXPECT_EQ(ClampedMusicValue(row.level), row.clamped) << row.level;
    }
    const std::int32_t shortPush[] = {7, 8, 9};
    EXPECT_EQ(TakeMusicLevels(shortPush), (MusicLevels{7, 8, 9}));
    std::vector<std::int32_t> oversized(500);
    for (std::size_t i = 0; i < oversized.size(); ++i)
        oversized[i] = static_cast<std::int32_t>(i);
    const MusicLevels taken = TakeMusicLevels(oversized);
    EXPECT_EQ(taken[0], 0);
    EXPECT_EQ(taken[24], 24);
}

TEST(MusicModes, ColumnBarsFollowTheLevelsOnceAndShrinkFromTheTop) {
    struct Row {
        std::int32_t level;
        std::vector<int> lit;
    };
    const Row rows[] = {
        {0, {}},                     // v = 600, h = 7
        {2000, {1, 2, 3, 4, 5}},     // v = 0, h = 1
        {4000, {0, 1, 2, 3, 4, 5}},  // v = -600, h = -5, not clamped
        {INT_MAX, {0, 1, 2, 3, 4, 5}},
        {INT_MIN, {}},
    };
    for (const Row& row : rows) {
        Music music(0);
        ASSERT_TRUE(music.Frame(row.level, 6));
        EXPECT_EQ(music.LitRows(6), row.lit) << row.level;
        EXPECT_TRUE(music.LitRows(7).empty());
    }
    Music music(0);
    music.Frame(2000, 6);
    EXPECT_EQ(music.leds.Get(KeyMatrixCell(6, 0)), (LedColour{0, 0, 40, 255}));
    EXPECT_EQ(music.leds.Get(KeyMatrixCell(6, 3)), (LedColour{255, 0, 0, 254}));
    music.Draw();  // nothing pushed: the levels were taken
    EXPECT_EQ(music.I(6, 1), 210) << "the free end fades";
    EXPECT_EQ(music.I(6, 2), 255) << "a key under a lit key holds";
    for (int i = 0; i < 200; ++i)
        music.Draw();
    EXPECT_EQ(music.I(6, 5), 0) << "the whole bar falls back";
}

TEST(MusicModes, GroupedBarsAndFlashesAtTheirEdges) {
    // Audio mode 5: a group value of 2000 (levels 0-1 sum to 6000) lights the
    // bottom row from the left up to column 20.
    Music left(5);
    left.state.musicLevels[0] = 3000;
    left.state.musicLevels[1] = 3000;
    ASSERT_TRUE(left.Draw());
    for (int column = 0; column < kKeyMatrixColumns; ++column) {
        const int key = KeyMatrixCell(column, 5);
        if (key >= 170) continue;
        EXPECT_EQ(left.I(column, 5) == 255, column <= 20) << column;
    }
    EXPECT_TRUE(left.LitRows(9).size() == 1) << "the other rows stay dark";

    // Audio mode 4: however loud, a column starts at most one flash a frame.
    Music flashes(4);
    for (int frame = 0; frame < 30; ++frame) {
        std::array<int, kKeyMatrixColumns> before{};
        for (int column = 0; column < kKeyMatrixColumns; ++column)
            before[static_cast<std::size_t>(column)] =
                static_cast<int>(flashes.LitRows(column).size());
        ASSERT_TRUE(flashes.Frame(INT_MAX));
        for (int column = 0; column < kKeyMatrixColumns; ++column) {
            EXPECT_LE(static_cast<int>(flashes.LitRows(column).size()),
                      before[static_cast<std::size_t>(column)] + 1)
                << "frame " << frame << " column " << column;
        }
    }
}

TEST(MusicRipples, TheTriggerFiresWhenTheSumReachesSeventyOne) {
    struct Row {
        std::vector<std::int32_t> pushes;  // every level of a push
        int ripples, sum;
    };
    const Row rows[] = {
        {{2000, 2000, 1600}, 0, 70},  // 25 + 25 + 20
        {{2000, 2000, 1667}, 1, 0},   // 25 + 25 + 21 = 71
        {{0, 0, 0, 0}, 0, 0},         // silence adds nothing
        // Clamped, the loudest levels count as v = 500: 5 each.
        {{INT_MAX, INT_MIN, INT_MAX, 4000}, 0, 15},
        {{2000, 2000, 2000, 2000, 2000, 2000}, 2, 0},
    };
    for (const Row& row : rows) {
        MusicRippleTrigger trigger;
        int ripples = 0;
        for (std::int32_t level : row.pushes) {
            MusicLevels levels;
            levels.fill(level);
            ripples += trigger.Add(levels) ? 1 : 0;
        }
        EXPECT_EQ(ripples, row.ripples) << row.pushes.size();
        EXPECT_EQ(trigger.Sum(), row.sum) << row.pushes.size();
    }
}

TEST(MusicModes, EveryAudioModeOverExtremeLevelsStaysInItsTables) {
    const std::int32_t levels[] = {INT_MIN, -1, 0, 1000, 2000, 4000, INT_MAX};
    const LedColour untouched{1, 2, 3, 4};
    for (int mode = 0; mode <= kAudioModes; ++mode) {
        for (int fx = 0; fx <= 1; ++fx) {
            for (int wheel = 0; wheel <= 1; ++wheel) {
                Music music(mode, fx, wheel);
                music.leds.Fill(untouched);
                std::mt19937 pick(static_cast<unsigned>(mode * 4 + fx * 2 + wheel));
                for (int frame = 0; frame < 2000; ++frame) {
                    for (std::int32_t& level : music.state.musicLevels)
                        level = levels[pick() % std::size(levels)];
                    if (frame % 97 == 0) music.state.StartRipple(51, 1);
                    ASSERT_EQ(music.Draw(), mode < kAudioModes) << mode;
                }
                for (std::size_t led = 170; led < music.leds.Size(); ++led)
                    ASSERT_EQ(music.leds.Get(led), untouched) << "mode " << mode << " LED " << led;
            }
        }
    }
}

}  // namespace
}  // namespace q731
