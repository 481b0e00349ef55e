#pragma once
// The colour palette's behaviour, without widgets: the window that shows it
// implements IColourPaletteView, forwards its controls' events here and runs
// the result. The model keeps the preset and collected swatches, follows the
// current colour through the palette, the swatches and the channel boxes,
// fills the collected swatch the user chose as target, and keeps the
// swatches in the colour options file of the user data folder.
//
// Every write of that file syncs it to disk, so saves are coalesced: the
// first change after a quiet spell is written at once, later ones at most
// once per kSaveInterval, and whatever is pending when the window closes
// (Finish) is written then.

#include <json/json.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui_loop.h"

namespace q731 {

namespace fs = std::filesystem;

using ArgbColour = std::uint32_t;  // 0xAARRGGBB

inline constexpr int kPaletteSwatches = 20;
inline constexpr const char* kColourOptionsFileName = "color_option_info.config";

// The colour options file's keys.
namespace colour_keys {
inline constexpr const char* kRoot = "coloroptioninfo";
inline constexpr const char* kPresets = "palletDialogcoloroption";
inline constexpr const char* kPresetIndex = "palletDialogcoloroption_selectitem";
inline constexpr const char* kCollected = "palletDialogcollectcoloroption";
inline constexpr const char* kCollectedIndex = "palletDialogcollectcoloroption_selectitem";
inline constexpr const char* kColour = "color";
inline constexpr const char* kUserData = "UserData";
}  // namespace colour_keys

// What a palette run ends with.
namespace palette_result {
inline constexpr int kClosed = 0;     // the close or "later" button, or the window manager
inline constexpr int kOk = 1;         // OK: the preview's colour is the choice
inline constexpr int kNoPalette = 2;  // OK in a layout without the palette control
}  // namespace palette_result

// "FF00FF00": exactly eight upper-case hexadecimal digits.
std::string ColourString(ArgbColour colour);
// Eight hexadecimal digits (either case) and nothing else; anything else is
// no colour.
std::optional<ArgbColour> ParseColourString(std::string_view text);

// A channel box's text read as 0-255: the leading decimal number (none reads
// 0), clamped. `rewrite` is set when the box must show `value` instead of
// what it holds (empty, out of range, or anything but the plain number).
struct ChannelReading {
    int value = 0;
    bool rewrite = false;
};
ChannelReading ReadChannelBox(std::string_view text);

enum class ColourChannel { Red = 0, Green = 1, Blue = 2 };

// What the palette window shows. Swatch indexes are 0-19.
class IColourPaletteView {
public:
    virtual ~IColourPaletteView() = default;

    // The continuous palette control; without one OK gives kNoPalette.
    virtual bool HasPalette() const = 0;
    virtual void ShowPaletteColour(ArgbColour colour) = 0;
    // The preview swatch: its colour is what OK returns. No preview: nullopt.
    virtual void ShowPreviewColour(ArgbColour colour) = 0;
    virtual std::optional<ArgbColour> PreviewColour() const = 0;
    // The seven-colour choice: its option selected without a notification and
    // the preview's seven-colour picture shown, or both off.
    virtual void ShowSevenColour(bool on) = 0;
    virtual void ShowSevenColourAvailable(bool available) = 0;
    virtual std::string ChannelText(ColourChannel channel) const = 0;
    virtual void ShowChannelText(ColourChannel channel, const std::string& text) = 0;

    // Swatches the layout has, and the colours it gives them.
    virtual std::optional<ArgbColour> PresetColour(int index) const = 0;
    virtual std::optional<ArgbColour> CollectedColour(int index) const = 0;
    virtual bool CollectedSelected(int index) const = 0;
    // A collected swatch's look: filled shows `colour` without a border;
    // empty shows `colour` (white) with the layout's border.
    virtual void ShowCollected(int index, ArgbColour colour, bool filled) = 0;
};

class ColourPaletteModel {
public:
    static constexpr Millis kSaveInterval{200};

    // `userFolder` and `defaultFolder` hold the colour options file; the
    // loop's clock and timers pace the saves.
    ColourPaletteModel(IColourPaletteView& view, UiLoop& loop, fs::path userFolder,
                       fs::path defaultFolder);
    ~ColourPaletteModel();
    ColourPaletteModel(const ColourPaletteModel&) = delete;
    ColourPaletteModel& operator=(const ColourPaletteModel&) = delete;

    // The opener's calls, before Load.
    void SetColour(ArgbColour colour);
    void SetSevenColourAvailable(bool available);
    ArgbColour Colour() const { return colour_; }

    // Reads the colour options file (copying the default into the user folder
    // when the user has none, keeping a damaged one aside first) and shows the
    // stored swatches. The window opens with no collected swatch as target.
    void Load();

    // Events of the window's controls.
    void ChoosePreset(int index);
    void ChooseCollected(int index);
    void PaletteDragged(ArgbColour colour);
    void ChannelsEdited();
    void SevenColourToggled(bool selected);
    // OK: the result code, and the preview's colour becomes the colour.
    int Accept();
    // Writes what is still pending; the window calls it when it closes.
    void Finish();

    // State visible to tests and benchmarks.
    int PresetIndex() const { return presetIndex_; }
    int CollectedIndex() const { return collectedIndex_; }
    bool SevenColour() const { return sevenColour_; }
    int FileWrites() const { return writes_; }
    fs::path UserFile() const { return userFolder_ / kColourOptionsFileName; }

private:
    struct Collected {
        ArgbColour colour = 0xFFFFFFFF;
        std::string userData;
    };
    enum Section : unsigned { kPresetSection = 1, kCollectedSection = 2 };

    void ShowChannels(ArgbColour colour);
    void FillTarget();
    void SevenColourOff();
    void RequestSave(unsigned sections);
    void WritePending();
    void ApplyCollected(const Json::Value& entries);

    IColourPaletteView& view_;
    UiLoop& loop_;
    fs::path userFolder_;
    fs::path defaultFolder_;
    ArgbColour colour_ = 0xFFFFFFFF;
    int presetIndex_ = 4;
    int collectedIndex_ = 0;
    bool sevenColour_ = false;
    std::array<std::optional<ArgbColour>, kPaletteSwatches> presets_{};
    std::array<std::optional<Collected>, kPaletteSwatches> collected_{};
    unsigned pending_ = 0;
    std::optional<SteadyTime> lastWrite_;
    bool writable_ = true;
    int writes_ = 0;
};

}  // namespace q731
