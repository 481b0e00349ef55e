// Writes the keyboard picture of the keyboard page (skin/XML/DeviceXml/keyboard_keys.xml)
// from the keyboard's layout tables, so that the picture and the per-key
// effects can never disagree about which keys exist and where they sit.
//
//   q731-keyboard-layout FILE          writes the layout
//   q731-keyboard-layout --check FILE  exit status 1 when FILE is not what would be written
//
// One key button per distinct key of the wide key matrix (a key covering two
// cells of a row is one wide button), plus the keys that only the key matrix
// holds (the ISO key beside the left Shift), placed right of their neighbour
// there. The navigation block and the keypad stand on the matrix's columns; in
// the main block the matrix is a key narrower than the keyboard, so its keys
// follow each other at the widths of a real keyboard (kWidths), every row 15
// keys long. A button is named "key_N" after its logical key, carries "light_N"
// (its LED) as user data and shows the key's name text.

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "devices/lighting/keyboard_layout.h"
#include "tools/q731-keyboard-layout/key_names.h"

namespace {

using q731::kEmptyKeyCell;

// Geometry in quarters of a key; a key is 32 design pixels.
constexpr int kQuarter = 8;
constexpr int kKey = 4;
constexpr int kCaseX = 12;  // the case's rim around the keys, in pixels
constexpr int kCaseY = 10;

struct RowSpan {
    int top;
    int height;
};
// Row 0 holds one key, above the keypad's top row; the function row stands a
// quarter key apart from the rows below it.
constexpr std::array<RowSpan, q731::kWideKeyMatrixRows> kRowSpans = {
    {{0, 4}, {4, 4}, {9, 4}, {13, 4}, {17, 4}, {21, 4}, {25, 4}}};
constexpr int kKeysHeight = 29;

constexpr int kMainBlockColumns = 16;
constexpr int kMainBlockWidth = 15 * kKey;
constexpr int kNavigationLeft = kMainBlockWidth + 2;         // columns 16-18
constexpr int kKeypadLeft = kNavigationLeft + 3 * kKey + 2;  // columns 19-22
constexpr int kKeysWidth = kKeypadLeft + 4 * kKey;

struct Quarters {
    int key;
    int quarters;
};
// Main-block keys that are not one key wide (the rest are: a cell each).
constexpr Quarters kWidths[] = {
    {34, 8},                                                      // Backspace
    {42, 6},  {55, 6},                                            // Tab, backslash
    {63, 7},  {75, 9},                                            // Caps Lock, Enter
    {84, 5},  {95, 11},                                           // the Shifts, ISO
    {105, 5}, {106, 5}, {107, 5}, {108, 25}, {109, 5}, {110, 5},  // bottom row
    {111, 5}, {112, 5},
};
// Space left before a key of the function row: F1, F5, F9.
constexpr Quarters kGapsBefore[] = {{1, 4}, {5, 2}, {9, 2}};

struct Tall {
    int key;
    int firstRow;
    int lastRow;
};
// Keypad keys two rows high; the matrix puts each in one of its rows.
constexpr Tall kTallKeys[] = {{119, 3, 4}, {118, 5, 6}};  // Num +, Num Enter

int Lookup(const auto& table, int key, int fallback) {
    for (const Quarters& entry : table) {
        if (entry.key == key) return entry.quarters;
    }
    return fallback;
}

struct Cell {
    int key;
    int column;
    int span;
};

// The keys of one row of the wide key matrix, left to right, one per run of cells.
std::vector<Cell> RowCells(int row) {
    std::vector<Cell> cells;
    for (int column = 0; column < q731::kKeyMatrixColumns; ++column) {
        const int key = q731::WideKeyMatrixCell(column, row);
        if (key == kEmptyKeyCell) continue;
        if (!cells.empty() && cells.back().key == key &&
            cells.back().column + cells.back().span == column) {
            ++cells.back().span;
            continue;
        }
        cells.push_back({key, column, 1});
    }
    return cells;
}

bool InWideMatrix(int key) {
    for (std::uint8_t cell : q731::kWideKeyMatrix) {
        if (cell == key) return true;
    }
    return false;
}

// Adds the keys only the key matrix has, each after its left neighbour there.
bool AddNarrowOnlyKeys(std::array<std::vector<Cell>, q731::kWideKeyMatrixRows>& rows) {
    for (int row = 0; row < q731::kKeyMatrixRows; ++row) {
        int neighbour = kEmptyKeyCell;
        for (int column = 0; column < q731::kKeyMatrixColumns; ++column) {
            const int key = q731::KeyMatrixCell(column, row);
            if (key == kEmptyKeyCell) continue;
            if (!InWideMatrix(key)) {
                bool placed = false;
                for (auto& cells : rows) {
                    for (auto it = cells.begin(); it != cells.end() && !placed; ++it) {
                        if (it->key != neighbour) continue;
                        cells.insert(std::next(it), Cell{key, it->column, 1});
                        placed = true;
                    }
                    if (placed) break;
                }
                if (!placed) {
                    std::fprintf(stderr, "key %d has no neighbour in the wide matrix\n", key);
                    return false;
                }
            }
            neighbour = key;
        }
    }
    return true;
}

struct Placed {
    int key;
    int left;  // quarters
    int top;
    int width;
    int height;
};

std::optional<std::vector<Placed>> PlaceKeys() {
    std::array<std::vector<Cell>, q731::kWideKeyMatrixRows> rows;
    for (int row = 0; row < q731::kWideKeyMatrixRows; ++row)
        rows[static_cast<std::size_t>(row)] = RowCells(row);
    if (!AddNarrowOnlyKeys(rows)) return std::nullopt;

    std::vector<Placed> keys;
    for (int row = 0; row < q731::kWideKeyMatrixRows; ++row) {
        const RowSpan span = kRowSpans[static_cast<std::size_t>(row)];
        int mainBlockEnd = 0;
        for (const Cell& cell : rows[static_cast<std::size_t>(row)]) {
            Placed key{cell.key, 0, span.top, cell.span * kKey, span.height};
            if (cell.column < kMainBlockColumns) {
                key.left = mainBlockEnd + Lookup(kGapsBefore, cell.key, 0);
                key.width = Lookup(kWidths, cell.key, kKey);
                mainBlockEnd = key.left + key.width;
            } else if (cell.column < 19) {
                key.left = kNavigationLeft + (cell.column - kMainBlockColumns) * kKey;
            } else {
                key.left = kKeypadLeft + (cell.column - 19) * kKey;
            }
            for (const Tall& tall : kTallKeys) {
                if (tall.key != cell.key) continue;
                key.top = kRowSpans[static_cast<std::size_t>(tall.firstRow)].top;
                const RowSpan last = kRowSpans[static_cast<std::size_t>(tall.lastRow)];
                key.height = last.top + last.height - key.top;
            }
            keys.push_back(key);
        }
        // A width table that does not match the matrix would leave a ragged edge.
        if (mainBlockEnd != 0 && mainBlockEnd != kMainBlockWidth) {
            std::fprintf(stderr, "row %d of the main block is %d quarters wide, not %d\n", row,
                         mainBlockEnd, kMainBlockWidth);
            return std::nullopt;
        }
    }
    return keys;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Keycaps: flat, a shade lighter than the case, the LED glow drawn over them.
constexpr const char* kKeyStyle =
    "font=\"12\" textcolor=\"#FFC3CBD8\" hottextcolor=\"#FFFFFFFF\" align=\"center\" "
    "wordbreak=\"true\" bkcolor=\"#FF1C212A\" hotbkcolor=\"#FF262D38\" pushedbkcolor=\"#FF161A21\" "
    "bordercolor=\"#FF2E3643\" bordersize=\"1\" borderround=\"4\" "
    "lightimage=\"file='Device/key_light.svg' corner='6,6,6,6'\" "
    "keysetimage=\"file='Device/keyset_mark.svg' dest='3,3,9,9'\"";

std::string Layout(const std::vector<Placed>& keys) {
    std::ostringstream out;
    const int width = kKeysWidth * kQuarter + 2 * kCaseX;
    const int height = kKeysHeight * kQuarter + 2 * kCaseY;
    out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        << "<!-- Written by tools/q731-keyboard-layout from devices/lighting/keyboard_layout.h;\n"
        << "     run it again instead of editing. The keyboard picture: one button per key,\n"
        << "     \"key_N\" for logical key N with its LED \"light_N\" as user data. -->\n"
        << "<SelectPanel name=\"keyboard_device_key_light\" width=\"" << width << "\" height=\""
        << height << "\" bkimage=\"file='Device/keyboard_case.svg' corner='16,16,16,16'\">\n";
    for (const Placed& key : keys) {
        const int left = kCaseX + key.left * kQuarter + 1;
        const int top = kCaseY + key.top * kQuarter + 1;
        const int right = kCaseX + (key.left + key.width) * kQuarter - 2;
        const int bottom = kCaseY + (key.top + key.height) * kQuarter - 2;
        out << "  <DeviceKeyButton name=\"key_" << key.key << "\" userdata=\"light_" << key.key
            << "\" float=\"true\" pos=\"" << left << ',' << top << ',' << right << ',' << bottom
            << "\" text=\"" << Escape(q731::KeyboardKeyNameId(key.key))
            << "\" resourcetext=\"true\" " << kKeyStyle << "/>\n";
    }
    out << "</SelectPanel>\n";
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    const bool check = argc == 3 && std::string(argv[1]) == "--check";
    if (argc != 2 && !check) {
        std::fprintf(stderr, "usage: %s FILE | --check FILE\n", argv[0]);
        return 2;
    }
    const std::string file = argv[argc - 1];
    const auto keys = PlaceKeys();
    if (!keys) return 1;
    const std::string layout = Layout(*keys);
    if (check) {
        std::ifstream in(file, std::ios::binary);
        const std::string current{std::istreambuf_iterator<char>(in), {}};
        if (current == layout) return 0;
        std::fprintf(stderr, "%s is out of date: run q731-keyboard-layout %s\n", file.c_str(),
                     file.c_str());
        return 1;
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << layout;
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return 1;
    }
    return 0;
}
