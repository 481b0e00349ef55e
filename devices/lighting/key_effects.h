#pragma once
// The keyboard's per-key effect state and the operations its effects share:
// an intensity, a colour index, a phase and a reactive state per logical key,
// two position counters, four wave buffers of one byte per key-matrix column
// (bit r = row r; bit 6 a start point one row below the bottom), and the music
// levels pushed for the music mode. Only the render thread touches it, and
// the start steps a mode change runs before the thread's next frame.

#include <array>
#include <cstdint>
#include <random>

namespace q731 {

class KeyEffects {
public:
    static constexpr int kKeys = 170;
    static constexpr int kColumns = 23;
    static constexpr int kMusicColumns = 25;

    using KeyBytes = std::array<std::uint8_t, kKeys>;
    using Wave = std::array<std::uint8_t, kColumns>;

    // p, F, the intensities, colours and reactive states and the wave buffers
    // to 0 (the phases stay), then the music state.
    void Clear();
    // The pushed music levels to 0 and every column's peak flag set.
    void ClearMusic();

    // Lowers the intensity of `key` by a step that depends on its size and on
    // `kind` (0; 11 and 21; anything else).
    void Decay(int key, int kind);
    // Every cell (column, rows 0-5) set in the combined wave buffers: its key
    // at full intensity and, with `multiColor`, a random colour.
    void Ignite(bool multiColor, std::mt19937& random);
    // The waves one step on: A left and up, B right and up, C right and down,
    // D left and down; a bit set in all four grows into a diamond ring.
    void Spread();
    // B one column right, D one column left; A and C cleared.
    void Slide();
    // Action 1 (a key pressed): the key's cell set in all four buffers.
    void StartRipple(int key, int action);
    // The colours spread round the wheel: C[k] = 33 (k + 1) mod 192.
    void SpreadColours();
    // A mode's start step after Clear (mode 20's custom colours are the
    // keyboard's own and come first).
    void StartMode(int mode);

    // The four buffers combined at `column`; 0 off the grid.
    std::uint8_t Combined(int column) const;
    // Sets `bits` at `column` in all four buffers.
    void SetAll(int column, std::uint8_t bits);

    KeyBytes intensity{};
    KeyBytes colour{};
    KeyBytes phase{};
    KeyBytes reactive{};
    std::uint8_t position = 0;  // p
    std::uint8_t frame = 0;     // F
    Wave a{}, b{}, c{}, d{};
    std::array<std::int32_t, kMusicColumns> musicLevels{};
    std::array<std::int32_t, kMusicColumns> peaks{};
    std::uint8_t musicPosition = 0;  // q, kept across mode changes
    std::uint8_t musicFrames = 0;    // G, kept across mode changes
};

}  // namespace q731
