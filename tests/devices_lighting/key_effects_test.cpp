// The keyboard's per-key effect state: decay steps, waves and start steps
// against hand-computed values, and the tables' shape.

#include "devices/lighting/key_effects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "devices/lighting/key_effect_tables.h"
#include "devices/lighting/keyboard_layout.h"

namespace q731 {
namespace {

using namespace key_effects;

std::vector<int> DecaySteps(int start, int kind) {
    KeyEffects effects;
    effects.intensity[5] = static_cast<std::uint8_t>(start);
    std::vector<int> steps{start};
    while (effects.intensity[5] != 0 && steps.size() < 300) {
        effects.Decay(5, kind);
        steps.push_back(effects.intensity[5]);
    }
    return steps;
}

TEST(KeyEffects, DecayStepsFollowTheKindsTables) {
    std::vector<int> expected = {255, 215, 175, 135, 95, 65, 35, 25, 17, 9};
    for (int v = 8; v >= 0; --v)
        expected.push_back(v);
    EXPECT_EQ(DecaySteps(255, 8), expected);
    std::vector<int> slow = {20, 15};
    for (int v = 14; v >= 0; --v)
        slow.push_back(v);
    EXPECT_EQ(DecaySteps(20, 21), slow) << "never rises";
    EXPECT_EQ(DecaySteps(40, 0), (std::vector<int>{40, 25, 17, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(DecaySteps(150, 11).at(1), 105);
}

TEST(KeyEffects, ARippleGrowsIntoADiamondRing) {
    KeyEffects effects;
    effects.StartRipple(52, 2);
    for (int column = 0; column < KeyEffects::kColumns; ++column)
        EXPECT_EQ(effects.Combined(column), 0) << "action 2 changes nothing";
    effects.StartRipple(52, 1);
    EXPECT_EQ(effects.Combined(11), 1u << 2);
    effects.Spread();
    for (int column = 0; column < KeyEffects::kColumns; ++column) {
        const unsigned expected = column == 10 || column == 12 ? 1u << 2
                                  : column == 11               ? (1u << 1) | (1u << 3)
                                                               : 0u;
        EXPECT_EQ(effects.Combined(column), expected) << column;
    }
    // At distance n the ring holds exactly the cells n steps away.
    for (int n = 2; n <= 4; ++n) {
        effects.Spread();
        for (int column = 0; column < KeyEffects::kColumns; ++column) {
            for (int row = 0; row < 8; ++row) {
                const bool set = (effects.Combined(column) >> row) & 1u;
                const int distance = std::abs(column - 11) + std::abs(row - 2);
                EXPECT_EQ(set, distance == n) << n << " " << column << " " << row;
            }
        }
    }
}

TEST(KeyEffects, IgniteLightsRowsZeroToFiveOnlyAndSlideMovesTwoBuffers) {
    KeyEffects effects;
    std::mt19937 random(7);
    effects.SetAll(9, 1u << 6);  // the fountain's start point
    effects.SetAll(22, 0xC0);    // bits that stand for no row, at the last column
    effects.Ignite(true, random);
    for (int key = 0; key < KeyEffects::kKeys; ++key)
        EXPECT_EQ(effects.intensity[static_cast<std::size_t>(key)], 0) << key;
    effects.SetAll(3, 1u << 1);
    effects.Ignite(false, random);
    EXPECT_EQ(effects.intensity[KeyMatrixCell(3, 1)], 255);

    effects.Slide();
    EXPECT_EQ(effects.b[4], 1u << 1);
    EXPECT_EQ(effects.d[2], 1u << 1);
    EXPECT_EQ(effects.a[3] | effects.c[3], 0);
}

TEST(KeyEffects, StartStepsSetTheirCells) {
    KeyEffects twinkle;
    twinkle.StartMode(15);
    // Escape sits at column 2, row 1 of the wide matrix: entry 6 x 2 + 1.
    EXPECT_EQ(twinkle.intensity[0], kStartIntensities[13]);
    EXPECT_EQ(twinkle.intensity[0], 100);
    EXPECT_EQ(twinkle.colour[0], 14);
    // Key 105 at column 0, row 6 takes the first value of the next group.
    EXPECT_EQ(twinkle.intensity[105], 72);
    EXPECT_EQ(twinkle.colour[105], 0);

    KeyEffects ramp;
    ramp.StartMode(22);
    // Column 2: a = 176; rows 0, 1: 141, 106 (Escape at row 1).
    EXPECT_EQ(ramp.phase[0], 106);
    EXPECT_EQ(ramp.colour[0], 14);
    // Column 0: 192, then 157, 122, 87, 52, 17; 17 - 35 wraps past 192, so
    // row 5 takes 17 - 98 = 175 (mod 256), and row 6 (key 105) 140.
    EXPECT_EQ(ramp.phase[105], 140);

    KeyEffects fountain;
    fountain.StartMode(13);
    EXPECT_EQ(fountain.Combined(9), 1u << 6);
    KeyEffects other;
    other.StartMode(4);
    EXPECT_EQ(other.colour[0], 33);
    EXPECT_EQ(other.colour[169], 33 * 170 % 192);
}

TEST(KeyEffectTables, EveryCellIsAKeyOrEmptyAndTheOrdersHoldWhatTheySay) {
    for (const auto& row : kDiagonals)
        for (std::uint8_t cell : row)
            EXPECT_TRUE(IsKey(cell) || cell == kEmpty);
    for (const auto& row : kSweepTable)
        for (std::uint8_t cell : row)
            EXPECT_TRUE(IsKey(cell) || cell == kNoKey);
    EXPECT_EQ(kSequenceOrder[109], 105);
    EXPECT_EQ(kSequenceOrder[110], kEmpty);
    EXPECT_EQ(kSequenceOrder[126], 0) << "Escape again from entry 126";
    std::vector<int> seen(111, 0);
    for (int i = 0; i < 111; ++i)
        ++seen[kSparkleOrder[static_cast<std::size_t>(i)]];
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 111) << "every number once";
    EXPECT_EQ(FindEffectKey(58), 58);
    EXPECT_EQ(FindEffectKey(57), kNoKey);
    EXPECT_EQ(kFadeCurve[24], 255);
    EXPECT_EQ(kFadeCurve[88], 0);
}

}  // namespace
}  // namespace q731
