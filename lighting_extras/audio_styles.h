#pragma once
// Music lighting's styles: four named sets of red, green and blue weights
// (0-9) that the companion applies to the bass, mid and treble of the music,
// one of them active. They live in the user data folder's AudioFile.json,
// made from the default copy the first time and whenever the user's copy has
// no usable content; a damaged copy is kept aside, never overwritten.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "lighting_extras/music_link.h"

namespace q731 {

namespace fs = std::filesystem;

inline constexpr const char* kAudioFileName = "AudioFile.json";
inline constexpr int kAudioStyles = 4;
inline constexpr int kAudioStyleMaxValue = 9;

struct AudioLightStyles {
    int active = 0;
    std::array<std::string, kAudioStyles> names;
    std::array<std::array<int, 3>, kAudioStyles> values{};  // R, G, B per style

    bool operator==(const AudioLightStyles&) const = default;
};

// The name a style takes when its name box is left empty; empty for an index
// outside 0-3.
std::string DefaultStyleName(int index);

// The "style" message's payload: the active style's R, G and B as three
// little-endian int32, the rest zero; weights are clamped to 0-9 and a green
// weight of 0 goes out as 1.
std::array<std::uint8_t, kStyleBlockBytes> StyleBlock(const AudioLightStyles& styles);

class AudioStyleStore {
public:
    AudioStyleStore(fs::path userFile, fs::path defaultFile);

    // The user's styles. A user copy without a "Device" object (missing,
    // damaged or of another shape) is replaced by the default copy, a present
    // one being kept aside as "<name>.corrupt-<stamp>" first; when it cannot
    // be kept aside, or the user's copy cannot be read at all, the defaults
    // are used without touching it.
    AudioLightStyles Load();
    // The default styles, written over the user's copy (which is left alone
    // when there is no usable default copy).
    AudioLightStyles Reset();
    // Stores `styles` in the user's copy, keeping everything else it holds.
    // False when it could not be written.
    bool Save(const AudioLightStyles& styles);

    const fs::path& UserFile() const { return userFile_; }

private:
    fs::path userFile_;
    fs::path defaultFile_;
};

}  // namespace q731
