#pragma once
// The tables the keyboard's per-key effects walk, beside the key matrices of
// keyboard_layout.h: which keys the effects light and in what order, the
// diagonals, the sweep's path, the fade curve, the twinkle's start
// intensities, the scripted sequence and the sparkle's order. A cell holding
// 170 or 255 is empty and is skipped wherever it is read.

#include <array>
#include <cstdint>

namespace q731::key_effects {

inline constexpr std::uint8_t kNoKey = 170;  // empty cell of the sweep table
inline constexpr std::uint8_t kEmpty = 255;  // empty cell of the other tables
inline constexpr int kEffectKeys = 100;

constexpr bool IsKey(int cell) {
    return cell >= 0 && cell < kNoKey;
}

// The keys most effects light, in drawing order.
inline constexpr std::array<std::uint8_t, kEffectKeys> kEffectKeyList = {
    58, 37, 35,  36,  56,  12,  11,  10,  9,   8,   7,   6,   5,   4,   3,   2,   1,  0,  21, 42,
    63, 84, 105, 106, 107, 108, 109, 110, 112, 113, 114, 115, 116, 117, 118, 119, 41, 40, 39, 38,
    34, 33, 32,  31,  30,  29,  28,  27,  26,  25,  24,  23,  22,  43,  64,  102, 85, 86, 87, 88,
    89, 90, 91,  92,  93,  94,  95,  96,  97,  98,  99,  78,  61,  60,  59,  55,  54, 53, 52, 51,
    50, 49, 48,  47,  46,  45,  44,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74, 75, 76, 77};

// Whether each logical key is on the effect key list.
inline constexpr std::array<bool, kNoKey> kOnEffectList = [] {
    std::array<bool, kNoKey> on{};
    for (std::uint8_t key : kEffectKeyList)
        on[key] = true;
    return on;
}();

// `key` when the effect key list holds it, 170 otherwise.
constexpr std::uint8_t FindEffectKey(int key) {
    return IsKey(key) && kOnEffectList[static_cast<std::size_t>(key)]
               ? static_cast<std::uint8_t>(key)
               : kNoKey;
}

inline constexpr int kDiagonalRows = 12;
inline constexpr int kDiagonalCells = 12;
inline constexpr std::uint8_t E = kEmpty;
// clang-format off
inline constexpr std::array<std::array<std::uint8_t, kDiagonalCells>, kDiagonalRows> kDiagonals = {{
    {51, E, E, E, E, E, E, E, E, E, E, E},
    {30, 50, 71, 72, 52, 31, E, E, E, E, E, E},
    {8, 29, 49, 70, 91, 92, 93, 73, 53, 32, E, E},
    {7, 28, 48, 69, 90, 109, 94, 74, 54, 33, 9, 55},
    {6, 27, 47, 68, 89, 110, E, 75, E, 34, 10, 11},
    {5, 26, 46, 67, 88, 108, 95, E, 112, E, E, 12},
    {4, 25, 45, 66, 87, 113, 96, 57, 36, 13, E, E},
    {3, 24, 44, 65, 86, 114, 115, E, E, E, E, E},
    {2, 23, 43, 64, 85, 107, 97, 76, 59, 38, 102, E},
    {1, 22, 42, 63, 84, 106, 116, 98, 77, 60, 39, 56},
    {0, 21, 105, 117, 99, 78, 61, 40, 35, 36, E, E},
    {118, 119, 41, 58, 37, E, E, E, E, E, E, E},
}};
// clang-format on

// The order mode 29 lights the keys in: 110 entries of keys (two empty), 16
// empty, then 44 entries of Escape.
inline constexpr int kSequenceEntries = 170;
inline constexpr std::array<std::uint8_t, kSequenceEntries> kSequenceOrder = [] {
    std::array<std::uint8_t, kSequenceEntries> order{};
    int at = 0;
    const auto put = [&](int key) {
        order[static_cast<std::size_t>(at++)] = static_cast<std::uint8_t>(key);
    };
    for (int key = 0; key <= 15; ++key)
        put(key);
    for (int key : {17, 18, 19, 20})
        put(key);
    for (int key = 41; key >= 21; --key)
        put(key);
    for (int key = 42; key <= 61; ++key)
        put(key);
    for (int key : {119, 78, 77, 76, 75})
        put(key);
    put(kEmpty);
    for (int key = 74; key >= 63; --key)
        put(key);
    put(84);
    put(kEmpty);
    for (int key = 85; key <= 99; ++key)
        put(key);
    for (int key = 118; key >= 105; --key)
        put(key);
    for (int i = 0; i < 16; ++i)
        put(kEmpty);
    while (at < kSequenceEntries)
        put(0);
    return order;
}();

// The sweep's path (mode 24): one row of keys per step, 170 = empty.
inline constexpr int kSweepRows = 52;
inline constexpr int kSweepCells = 12;
inline constexpr std::array<std::array<std::uint8_t, kSweepCells>, kSweepRows> kSweepTable = [] {
    // clang-format off
    constexpr std::uint8_t rows[kSweepRows][kSweepCells] = {
        {25, 26, 50, 51}, {0, 26, 27, 50, 51}, {27, 28, 50, 51}, {1, 27, 50, 51}, {2, 27, 50, 51},
        {3, 28, 51}, {4, 29, 51}, {29, 51}, {5, 29, 51}, {6, 30, 51}, {7, 30, 51}, {8, 51},
        {31, 52}, {9, 32, 52}, {10, 32, 52}, {11, 33, 52}, {12, 34, 53, 52}, {13, 34, 53, 52},
        {14, 34, 53, 52}, {15, 35, 52}, {36, 52}, {37, 52}, {38, 52}, {39, 52},
        {41, 40, 38, 52, 54, 53, 55, 39}, {119, 61, 60, 59, 58, 57, 56, 62, 54, 53, 52},
        {52, 53, 76, 78, 77, 54, 55}, {73, 74, 75, 97, 98, 99, 118}, {73, 74, 96, 117, 116},
        {73, 95, 96, 75, 116, 117}, {73, 74, 95, 115, 116}, {73, 95, 115, 114}, {73, 95, 114, 113},
        {73, 95, 113}, {73, 95, 112}, {73, 94, 111}, {73, 94, 125, 110}, {73, 93, 109},
        {72, 92, 108}, {72, 92, 108}, {108, 91, 72}, {108, 90, 91, 72}, {108, 90, 71, 72},
        {108, 89, 90, 71, 72}, {107, 88, 89, 71, 72}, {106, 107, 87, 88, 89, 70, 71, 72},
        {105, 106, 87, 88, 70, 72}, {124, 105, 86, 87, 88, 70, 71, 72},
        {123, 84, 85, 69, 70, 71, 72, 86, 102}, {122, 63, 64, 65, 68, 66, 67, 50, 51},
        {121, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51}, {51, 21, 22, 23, 24, 48, 49, 50, 120},
    };
    // clang-format on
    // Rows list between 2 and 11 keys; a key 0 past a row's end is padding.
    constexpr int lengths[kSweepRows] = {4, 5, 4, 4, 4, 3, 3, 2,  3, 3, 3, 2, 2, 3, 3,  3, 4, 4,
                                         4, 3, 2, 2, 2, 2, 8, 11, 7, 7, 5, 6, 5, 4, 4,  3, 3, 3,
                                         4, 3, 3, 3, 3, 4, 4, 5,  5, 8, 6, 8, 9, 9, 11, 9};
    std::array<std::array<std::uint8_t, kSweepCells>, kSweepRows> table{};
    for (int row = 0; row < kSweepRows; ++row) {
        for (int cell = 0; cell < kSweepCells; ++cell) {
            table[static_cast<std::size_t>(row)][static_cast<std::size_t>(cell)] =
                cell < lengths[row] ? rows[row][cell] : kNoKey;
        }
    }
    return table;
}();

// Brightness along the twinkle and random-ramp phases: a rise, a long fall, dark.
inline constexpr int kFadeEntries = 192;
inline constexpr std::array<std::uint8_t, kFadeEntries> kFadeCurve = [] {
    constexpr std::uint8_t start[] = {
        0,   4,   8,   14,  22,  33,  45,  61,  77,  84,  100, 110, 120, 130, 140, 150, 158, 166,
        175, 182, 191, 204, 220, 234, 255, 248, 241, 234, 227, 220, 213, 206, 200, 194, 188, 182,
        176, 170, 164, 158, 152, 146, 140, 134, 129, 124, 119, 114, 109, 104, 99,  94,  89,  85,
        81,  77,  73,  69,  65,  61,  57,  53,  49,  45,  42,  39,  36,  33,  30,  27,  24,  22,
        20,  18,  16,  14,  12,  10,  9,   8,   7,   6,   5,   4,   3,   2,   2,   1};
    static_assert(sizeof(start) == 88);
    std::array<std::uint8_t, kFadeEntries> curve{};  // the remaining 104 stay 0
    for (std::size_t i = 0; i < sizeof(start); ++i)
        curve[i] = start[i];
    return curve;
}();

// Start intensities of the twinkle (mode 15), read at 6 x column + row of the
// wide key matrix: 23 groups of 6, then a final 0.
inline constexpr std::array<std::uint8_t, 23 * 6 + 1> kStartIntensities = {
    72,  52,  32,  12,  182, 162, 72,  52,  32, 12,  182, 162, 120, 100, 80,  60,  40, 20, 92,  82,
    72,  62,  52,  42,  160, 140, 120, 100, 80, 60,  80,  70,  60,  50,  20,  10,  90, 30, 0,   160,
    130, 100, 50,  30,  10,  180, 160, 140, 32, 22,  12,  2,   182, 172, 120, 100, 80, 60, 40,  20,
    20,  5,   185, 170, 155, 140, 60,  35,  15, 180, 155, 130, 120, 110, 100, 90,  80, 70, 192, 162,
    132, 102, 72,  32,  80,  70,  60,  50,  20, 10,  100, 95,  90,  85,  80,  75,  90, 80, 70,  60,
    50,  40,  140, 110, 80,  50,  20,  180, 70, 55,  40,  25,  10,  190, 120, 100, 80, 60, 40,  20,
    92,  82,  72,  62,  52,  42,  60,  50,  40, 30,  20,  10,  192, 162, 132, 102, 72, 32, 0};

// The scripted sequence (mode 14): 16 opening steps of up to 6 keys, then 16
// pairs.
// clang-format off
inline constexpr std::array<std::array<std::uint8_t, 6>, 16> kScriptOpening = {{
    {0, 118, E, E, E, E}, {1, 117, E, E, E, E}, {2, 116, E, E, E, E}, {3, 115, 21, 118, E, E},
    {4, 114, 22, 99, E, E}, {5, 113, 23, 98, E, E}, {6, 112, 24, 97, 42, 119},
    {7, 110, 25, 96, 43, 78}, {8, 109, 26, 95, 44, 77}, {9, 92, 27, 100, 45, 76},
    {33, 71, 28, 94, 46, E}, {54, 50, 29, 93, 47, 75}, {74, 30, 30, 92, 48, 62},
    {94, 31, 31, 71, 49, 74}, {93, 32, 52, 50, 50, 73}, {92, 33, 72, 30, 51, 72},
}};
inline constexpr std::array<std::array<std::uint8_t, 2>, 16> kScriptPairs = {{
    {30, 94}, {31, 93}, {32, 92}, {33, 71}, {54, 50}, {74, 30}, {94, 31}, {93, 32},
    {92, 33}, {71, 54}, {50, 74}, {51, 73}, {52, 72}, {53, 51}, {73, 52}, {72, 53},
}};
// clang-format on

// The sparkle (mode 10) picks keys of this list through this order at random:
// every number 0-110 once (any arrangement serves; ours begins as the
// original), then six 0.
inline constexpr std::array<std::uint8_t, 117> kSparkleOrder = [] {
    std::array<std::uint8_t, 117> order{};
    constexpr std::uint8_t first[] = {88, 24, 101, 57, 16, 69, 35, 34, 36, 51};
    std::size_t at = 0;
    for (std::uint8_t n : first)
        order[at++] = n;
    for (int n = 0; n <= 110; ++n) {
        bool taken = false;
        for (std::uint8_t f : first)
            taken = taken || f == n;
        if (!taken) order[at++] = static_cast<std::uint8_t>(n);
    }
    return order;  // the last six stay 0
}();
inline constexpr std::array<std::uint8_t, 111> kSparkleKeys = [] {
    std::array<std::uint8_t, 111> keys{};  // the last eleven stay key 0
    for (std::size_t i = 0; i < kEffectKeyList.size(); ++i)
        keys[i] = kEffectKeyList[i];
    return keys;
}();

}  // namespace q731::key_effects
