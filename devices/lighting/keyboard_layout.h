#pragma once
// Where the keyboard's logical keys sit on its physical grid. The key matrix
// (23 columns x 6 rows) places every lit key; the wide key matrix (23 x 7) adds
// a row above the function keys and the keys left out of the narrow one, and
// repeats a key in every cell it covers (Backspace, the right Shift, the
// keypad 0 ...). Both are stored column by column, cell (column, row) of the
// key matrix at 6 x column + row and of the wide one at 7 x column + row, as
// the per-key effects sweep them; the tables below are written row by row so
// that they read like the keyboard.

#include <array>
#include <cstdint>

namespace q731 {

inline constexpr std::uint8_t kEmptyKeyCell = 255;  // an empty cell
inline constexpr int kKeyMatrixColumns = 23;
inline constexpr int kKeyMatrixRows = 6;
inline constexpr int kWideKeyMatrixRows = 7;

namespace keyboard_layout_detail {

template <int Rows>
using RowTable = std::array<std::array<std::uint8_t, kKeyMatrixColumns>, Rows>;

template <int Rows>
constexpr std::array<std::uint8_t, kKeyMatrixColumns * Rows> ByColumn(const RowTable<Rows>& rows) {
    std::array<std::uint8_t, kKeyMatrixColumns * Rows> cells{};
    for (int column = 0; column < kKeyMatrixColumns; ++column) {
        for (int row = 0; row < Rows; ++row)
            cells[static_cast<std::size_t>(column * Rows + row)] =
                rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    }
    return cells;
}

inline constexpr std::uint8_t _ = kEmptyKeyCell;

// clang-format off
inline constexpr RowTable<kKeyMatrixRows> kKeyRows = {{
    {  _,   _,   0,   1,   2,   3,   4,   _,   5,   6,   7,   8,   9,  10,  11,  12,  56,  36,  35,  37,  58,   _,   _},
    {  _,  21,  22,  23,  24,  25,  26,  27,  28,  29,  30,  31,  32,  33,   _,  34,   _,  38,  39,  40,  41,   _,   _},
    {  _,  42,  43,  44,  45,  46,  47,  48,  49,  50,  51,  52,  53,  54,   _,  55,   _,  59,  60,  61, 119,   _,   _},
    {  _,  63,  64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,   _,  75,   _,   _,  76,  77,  78,   _,   _,   _},
    { 84, 102,  85,  86,  87,  88,  89,  90,  91,  92,  93,  94,   _,   _,  95,   _,  96,  97,  98,  99, 118,   _,   _},
    {105, 106, 107,   _,   _,   _, 108,   _,   _, 109, 110, 112,   _,   _,   _, 113, 114, 115, 116, 117,   _,   _,   _},
}};

inline constexpr RowTable<kWideKeyMatrixRows> kWideKeyRows = {{
    {  _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _,   _, 125,   _,   _},
    {  _,   _,   0,   1,   2,   3,   4,   _,   5,   6,   7,   8,   9,  10,  11,  12,  13,  14,  15,  17,  18,  19,  20},
    {  _,  21,  22,  23,  24,  25,  26,  27,  28,  29,  30,  31,  32,  33,  34,  34,  35,  36,  37,  38,  39,  40,  41},
    {  _,  42,  43,  44,  45,  46,  47,  48,  49,  50,  51,  52,  53,  54,  55,  55,  56,  57,  58,  59,  60,  61,   _},
    {  _,  63,  64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,   _,   _,   _,   _,   _,  76,  77,  78, 119},
    {  _,  84,  85,  86,  87,  88,  89,  90,  91,  92,  93,  94,   _,   _,  95,  95,   _,  96,   _,  97,  98,  99, 118},
    {105, 106, 107,   _,   _,   _, 108,   _,   _, 109, 109, 110, 111,   _, 112, 112, 113, 114, 115, 116, 116, 117,   _},
}};
// clang-format on

}  // namespace keyboard_layout_detail

inline constexpr std::array<std::uint8_t, kKeyMatrixColumns* kKeyMatrixRows> kKeyMatrix =
    keyboard_layout_detail::ByColumn<kKeyMatrixRows>(keyboard_layout_detail::kKeyRows);
inline constexpr std::array<std::uint8_t, kKeyMatrixColumns* kWideKeyMatrixRows> kWideKeyMatrix =
    keyboard_layout_detail::ByColumn<kWideKeyMatrixRows>(keyboard_layout_detail::kWideKeyRows);

// The logical key in a cell, or kEmptyKeyCell for an empty cell or one off the grid.
constexpr std::uint8_t KeyMatrixCell(int column, int row) {
    if (column < 0 || column >= kKeyMatrixColumns || row < 0 || row >= kKeyMatrixRows)
        return kEmptyKeyCell;
    return kKeyMatrix[static_cast<std::size_t>(column * kKeyMatrixRows + row)];
}
constexpr std::uint8_t WideKeyMatrixCell(int column, int row) {
    if (column < 0 || column >= kKeyMatrixColumns || row < 0 || row >= kWideKeyMatrixRows) {
        return kEmptyKeyCell;
    }
    return kWideKeyMatrix[static_cast<std::size_t>(column * kWideKeyMatrixRows + row)];
}

}  // namespace q731
