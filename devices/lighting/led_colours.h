#pragma once
// The LED colour list a device's renderer writes and its picture and light
// stream read, possibly on other threads. Each 4-byte entry is stored in one
// atomic word, so a reader never sees half an entry; a frame may mix two
// renders, which only shows for one tick.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "devices/lighting/lighting_tables.h"

namespace q731 {

struct LedColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t brightness = 0;

    friend constexpr bool operator==(const LedColour&, const LedColour&) = default;

    static constexpr LedColour Of(Rgb colour, int brightness) {
        return {
            colour.red, colour.green, colour.blue,
            static_cast<std::uint8_t>(brightness < 0 ? 0 : (brightness > 255 ? 255 : brightness))};
    }
    // What the LED shows: each component scaled by the brightness.
    constexpr Rgb Shaded() const {
        return {static_cast<std::uint8_t>(red * brightness / 256),
                static_cast<std::uint8_t>(green * brightness / 256),
                static_cast<std::uint8_t>(blue * brightness / 256)};
    }
    constexpr std::uint32_t Pack() const {
        return std::uint32_t{red} | std::uint32_t{green} << 8 | std::uint32_t{blue} << 16 |
               std::uint32_t{brightness} << 24;
    }
    static constexpr LedColour Unpack(std::uint32_t word) {
        return {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
                static_cast<std::uint8_t>(word >> 16), static_cast<std::uint8_t>(word >> 24)};
    }
};

class LedColourList {
public:
    explicit LedColourList(std::size_t count = 0) { Resize(count); }

    // Not safe while a renderer runs: the LED count is fixed before threads start.
    void Resize(std::size_t count) {
        entries_ = std::make_unique<std::atomic<std::uint32_t>[]>(count);
        size_ = count;
        for (std::size_t i = 0; i < count; ++i)
            entries_[i].store(0, std::memory_order_relaxed);
    }
    std::size_t Size() const { return size_; }

    // Out-of-range indexes are ignored (set) or read as black (get).
    void Set(std::size_t index, LedColour colour) {
        if (index < size_) entries_[index].store(colour.Pack(), std::memory_order_relaxed);
    }
    LedColour Get(std::size_t index) const {
        return index < size_ ? LedColour::Unpack(entries_[index].load(std::memory_order_relaxed))
                             : LedColour{};
    }
    // Changes only the brightness of an entry, never a colour another thread
    // sets meanwhile.
    void SetBrightness(std::size_t index, std::uint8_t brightness) {
        if (index >= size_) return;
        std::uint32_t word = entries_[index].load(std::memory_order_relaxed);
        while (!entries_[index].compare_exchange_weak(
            word, (word & 0x00FFFFFFu) | std::uint32_t{brightness} << 24,
            std::memory_order_relaxed)) {
        }
    }
    void Fill(LedColour colour) {
        for (std::size_t i = 0; i < size_; ++i)
            Set(i, colour);
    }
    std::vector<LedColour> Snapshot() const {
        std::vector<LedColour> out(size_);
        for (std::size_t i = 0; i < size_; ++i)
            out[i] = Get(i);
        return out;
    }

private:
    std::unique_ptr<std::atomic<std::uint32_t>[]> entries_;
    std::size_t size_ = 0;
};

}  // namespace q731
